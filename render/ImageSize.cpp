// ImageSize: the header fields of the common image formats.
#include "render/ImageSize.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

std::uint32_t BigEndian(const unsigned char* p, int bytes)
{
    std::uint32_t value = 0;
    for (int i = 0; i < bytes; ++i)
        value = value << 8 | p[i];
    return value;
}

std::uint32_t LittleEndian(const unsigned char* p, int bytes)
{
    std::uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

bool PeekJpeg(const unsigned char* b, std::size_t n, ImageSize& size)
{
    std::size_t pos = 2;
    while (pos + 4 <= n) {
        if (b[pos] != 0xFF)
            return false;
        const unsigned char marker = b[pos + 1];
        if (marker == 0xFF) { // fill byte
            ++pos;
            continue;
        }
        const std::size_t length = static_cast<std::size_t>(BigEndian(b + pos + 2, 2));
        // Start of frame: every SOFn but DHT (C4), JPG (C8) and DAC (CC).
        if (marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC) {
            if (pos + 9 > n)
                return false;
            size.height = BigEndian(b + pos + 5, 2);
            size.width = BigEndian(b + pos + 7, 2);
            return true;
        }
        if (length < 2)
            return false;
        pos += 2 + length;
    }
    return false;
}

} // namespace

bool PeekImageSize(const unsigned char* b, std::size_t n, ImageSize& size)
{
    static const unsigned char Png[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (n >= 24 && std::memcmp(b, Png, 8) == 0 && std::memcmp(b + 12, "IHDR", 4) == 0) {
        size.width = BigEndian(b + 16, 4);
        size.height = BigEndian(b + 20, 4);
        return true;
    }
    if (n >= 26 && b[0] == 'B' && b[1] == 'M') {
        const long headerSize = LittleEndian(b + 14, 4);
        if (headerSize == 12) { // OS/2 core header: 16-bit sides
            size.width = LittleEndian(b + 18, 2);
            size.height = LittleEndian(b + 20, 2);
            return true;
        }
        // 32-bit signed sides; a negative height means rows top first.
        size.width = static_cast<std::int32_t>(LittleEndian(b + 18, 4));
        size.height = std::llabs(static_cast<long long>(static_cast<std::int32_t>(LittleEndian(b + 22, 4))));
        return true;
    }
    if (n >= 10 && std::memcmp(b, "GIF8", 4) == 0) {
        size.width = LittleEndian(b + 6, 2);
        size.height = LittleEndian(b + 8, 2);
        return true;
    }
    if (n >= 4 && b[0] == 0xFF && b[1] == 0xD8)
        return PeekJpeg(b, n, size);
    return false;
}
