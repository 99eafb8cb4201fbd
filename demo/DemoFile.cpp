// DemoFile: encoding and checked decoding of demos.
#include "demo/DemoFile.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

const char Magic[8] = {'V', 'E', 'L', 'D', 'D', 'E', 'M', 'O'};

// Bits of a pass's first byte; the five MoveKey bits are its low bits.
const std::uint8_t DigBit = 0x20;
const std::uint8_t MotionBit = 0x40;
const std::uint8_t EndMark = 0x80;

// magic, version, seed, world checksum, width, height, version length
const std::size_t FixedHead = 8 + 2 + 4 + 8 + 4 + 4 + 1;
// pass count, pass bytes, final checksum, file checksum
const std::size_t FixedTail = 4 + 4 + 8 + 4;

void Put(std::vector<std::uint8_t>& out, std::uint64_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

std::uint64_t Get(const std::uint8_t* p, int bytes)
{
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = (value << 8) | p[i];
    return value;
}

// Signed counts as unsigned varints, small magnitudes in few bytes.
void PutVarint(std::vector<std::uint8_t>& out, std::int32_t value)
{
    std::uint32_t v = (static_cast<std::uint32_t>(value) << 1) ^ (value < 0 ? 0xFFFFFFFFu : 0u);
    while (v >= 0x80) {
        out.push_back(static_cast<std::uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<std::uint8_t>(v));
}

bool GetVarint(const std::uint8_t*& p, const std::uint8_t* end, std::int32_t& value)
{
    std::uint64_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        if (p == end)
            return false;
        const std::uint8_t byte = *p++;
        v |= static_cast<std::uint64_t>(byte & 0x7F) << shift;
        if ((byte & 0x80) == 0) {
            if (v > 0xFFFFFFFFu)
                return false;
            const std::uint32_t u = static_cast<std::uint32_t>(v);
            value = static_cast<std::int32_t>((u >> 1) ^ (0u - (u & 1)));
            return true;
        }
    }
    return false;
}

enum class PassResult { Pass, End, Bad };

PassResult GetPass(const std::uint8_t*& p, const std::uint8_t* end, PassInput& input)
{
    if (p == end)
        return PassResult::Bad;
    const std::uint8_t flags = *p++;
    if (flags == EndMark)
        return PassResult::End;
    if (flags & EndMark)
        return PassResult::Bad;
    input = PassInput();
    input.keys = flags & AllMoveKeys;
    input.dig = (flags & DigBit) != 0;
    if ((flags & MotionBit) && !(GetVarint(p, end, input.dx) && GetVarint(p, end, input.dy)))
        return PassResult::Bad;
    return PassResult::Pass;
}

bool Refuse(std::string& reason, const std::string& why)
{
    reason = why;
    return false;
}

} // namespace

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < size; ++i)
        crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

void AppendPass(Demo& demo, const PassInput& input)
{
    const bool moved = input.dx != 0 || input.dy != 0;
    demo.passes.push_back(static_cast<std::uint8_t>((input.keys & AllMoveKeys) | (input.dig ? DigBit : 0) |
                                                    (moved ? MotionBit : 0)));
    if (moved) {
        PutVarint(demo.passes, input.dx);
        PutVarint(demo.passes, input.dy);
    }
    ++demo.passCount;
}

std::vector<std::uint8_t> EncodeDemo(const Demo& demo)
{
    std::vector<std::uint8_t> out(Magic, Magic + sizeof Magic);
    Put(out, DemoFormatVersion, 2);
    Put(out, demo.worldSeed, 4);
    Put(out, demo.worldChecksum, 8);
    Put(out, demo.screenWidth, 4);
    Put(out, demo.screenHeight, 4);
    const std::size_t versionLength = std::min(demo.programVersion.size(), MaxProgramVersionLength);
    Put(out, versionLength, 1);
    out.insert(out.end(), demo.programVersion.begin(), demo.programVersion.begin() + versionLength);
    Put(out, demo.passCount, 4);
    Put(out, demo.passes.size() + 1, 4);
    out.insert(out.end(), demo.passes.begin(), demo.passes.end());
    out.push_back(EndMark);
    Put(out, demo.finalChecksum, 8);
    Put(out, Crc32(out.data(), out.size()), 4);
    return out;
}

bool DecodeDemo(const std::uint8_t* data, std::size_t size, Demo& out, std::string& reason)
{
    if (size < sizeof Magic || std::memcmp(data, Magic, sizeof Magic) != 0)
        return Refuse(reason, "not a Veldmarrow demo");
    if (size > MaxDemoFileSize)
        return Refuse(reason, "larger than " + std::to_string(MaxDemoFileSize >> 20) + " MiB");
    if (size < sizeof Magic + 2)
        return Refuse(reason, "truncated");
    const std::uint64_t version = Get(data + sizeof Magic, 2);
    if (version != DemoFormatVersion)
        return Refuse(reason, "demo format version " + std::to_string(version) + ", this program plays version " +
                                  std::to_string(DemoFormatVersion));
    if (size < FixedHead + FixedTail)
        return Refuse(reason, "truncated");
    if (Crc32(data, size - 4) != Get(data + size - 4, 4))
        return Refuse(reason, "damaged or truncated: the checksum does not match");

    // The checksum matched, so what follows is as written; the lengths are
    // still checked, against a file that was written wrongly or on purpose.
    Demo demo;
    const std::uint8_t* p = data + sizeof Magic + 2;
    const std::uint8_t* const end = data + size - 4;
    demo.worldSeed = static_cast<std::uint32_t>(Get(p, 4));
    demo.worldChecksum = Get(p + 4, 8);
    demo.screenWidth = static_cast<std::uint32_t>(Get(p + 12, 4));
    demo.screenHeight = static_cast<std::uint32_t>(Get(p + 16, 4));
    const std::size_t versionLength = p[20];
    p += 21;
    if (demo.screenWidth == 0 || demo.screenHeight == 0 || demo.screenWidth > MaxDemoScreenSide ||
        demo.screenHeight > MaxDemoScreenSide)
        return Refuse(reason, "damaged: screen size " + std::to_string(demo.screenWidth) + "x" +
                                  std::to_string(demo.screenHeight));
    if (versionLength == 0 || versionLength > MaxProgramVersionLength ||
        versionLength > static_cast<std::size_t>(end - p) - (FixedTail - 4))
        return Refuse(reason, "damaged: program version of " + std::to_string(versionLength) + " bytes");
    for (std::size_t i = 0; i < versionLength; ++i)
        if (p[i] < 0x20 || p[i] > 0x7E)
            return Refuse(reason, "damaged: program version is not printable text");
    demo.programVersion.assign(reinterpret_cast<const char*>(p), versionLength);
    p += versionLength;

    const std::uint64_t passCount = Get(p, 4);
    const std::uint64_t passBytes = Get(p + 4, 4);
    p += 8;
    const std::size_t left = static_cast<std::size_t>(end - p) - 8;
    if (passBytes != left)
        return Refuse(reason, "damaged: " + std::to_string(passBytes) + " bytes of passes declared, " +
                                  std::to_string(left) + " present");
    if (passCount == 0)
        return Refuse(reason, "holds no passes of play");
    // Each pass takes at least one byte, the end mark one more.
    if (passCount + 1 > passBytes)
        return Refuse(reason, "damaged: " + std::to_string(passCount) + " passes declared in " +
                                  std::to_string(passBytes) + " bytes");
    const std::uint8_t* const passesEnd = p + passBytes;
    const std::uint8_t* q = p;
    PassInput input;
    for (std::uint64_t i = 0; i < passCount; ++i)
        if (GetPass(q, passesEnd, input) != PassResult::Pass)
            return Refuse(reason, "damaged: pass " + std::to_string(i + 1) + " of " + std::to_string(passCount) +
                                      " cannot be read");
    if (GetPass(q, passesEnd, input) != PassResult::End || q != passesEnd)
        return Refuse(reason, "damaged: the passes do not end where declared");
    demo.passCount = static_cast<std::uint32_t>(passCount);
    demo.passes.assign(p, passesEnd - 1);
    demo.finalChecksum = Get(passesEnd, 8);
    out = std::move(demo);
    return true;
}

bool ReplayWindowPossible(const Demo& demo, std::string& reason)
{
    const std::uint64_t pixels = static_cast<std::uint64_t>(demo.screenWidth) * demo.screenHeight;
    if (demo.screenWidth <= MaxReplaySide && demo.screenHeight <= MaxReplaySide && pixels <= MaxReplayPixels)
        return true;
    return Refuse(reason, "its " + std::to_string(demo.screenWidth) + "x" + std::to_string(demo.screenHeight) +
                              " window cannot be opened here (at most " + std::to_string(MaxReplaySide) +
                              " pixels a side and " + std::to_string(MaxReplayPixels) + " pixels in all)");
}

bool DemoCursor::Next(PassInput& input)
{
    if (taken >= demo->passCount)
        return false;
    const std::uint8_t* p = demo->passes.data() + offset;
    const std::uint8_t* const end = demo->passes.data() + demo->passes.size();
    if (GetPass(p, end, input) != PassResult::Pass)
        return false;
    offset = static_cast<std::size_t>(p - demo->passes.data());
    ++taken;
    return true;
}
