// Fuzzes the network message decoder with arbitrary bytes, as a server and
// as a player receive them. Nothing may crash, hang or read out of bounds;
// a refused message says why; an accepted one encodes back to exactly the
// same bytes, so the decoder accepts nothing the encoder would not write (a
// refusal's text comes back escaped, as one printable line).
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "net/Protocol.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    for (const Sender from : {Sender::Player, Sender::Server}) {
        Message message;
        std::string reason;
        if (!Decode(data, size, from, message, reason)) {
            if (reason.empty())
                std::abort();
            continue;
        }
        const std::vector<std::uint8_t> again = Encode(message);
        if (message.type == MessageType::Refusal) {
            // Shown to the player as one line: no control characters.
            for (const char c : message.text)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
                    std::abort();
        } else if (again != std::vector<std::uint8_t>(data, data + size)) {
            std::abort();
        }
    }
    return 0;
}
