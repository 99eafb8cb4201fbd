// Fuzzes the demo reader with arbitrary bytes. Half the inputs get a correct
// checksum written over their last four bytes, so the checks behind it (the
// lengths, the passes) are reached too. Nothing may crash, hang or read out
// of bounds; an accepted demo (of either format) yields exactly its declared
// passes and comes back unchanged, starting pose included, from encoding it
// again in the current format.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "demo/DemoFile.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::vector<std::uint8_t> bytes(data, data + size);
    if (size >= 5 && (data[0] & 1)) {
        bytes.erase(bytes.begin());
        const std::uint32_t crc = Crc32(bytes.data(), bytes.size() - 4);
        for (int i = 0; i < 4; ++i)
            bytes[bytes.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
    }
    Demo demo;
    std::string reason;
    if (!DecodeDemo(bytes.data(), bytes.size(), demo, reason)) {
        if (reason.empty())
            std::abort();
        return 0;
    }
    DemoCursor cursor(demo);
    PassInput input;
    Demo again = demo;
    again.passes.clear();
    again.passCount = 0;
    while (cursor.Next(input))
        AppendPass(again, input);
    if (cursor.Taken() != demo.passCount || again.passCount != demo.passCount)
        std::abort();
    // Re-encoding is canonical, so it may be shorter than the input, but it
    // must read back as the same demo.
    const std::vector<std::uint8_t> encoded = EncodeDemo(again);
    Demo back;
    if (!DecodeDemo(encoded.data(), encoded.size(), back, reason) || back.passes != again.passes ||
        back.worldSeed != demo.worldSeed || back.programVersion != demo.programVersion || back.start != demo.start ||
        back.finalChecksum != demo.finalChecksum)
        std::abort();
    return 0;
}
