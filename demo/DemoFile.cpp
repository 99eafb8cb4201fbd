// DemoFile: encoding and checked decoding of demos.
#include "demo/DemoFile.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/ByteFields.h"

namespace {

const char Magic[8] = {'V', 'E', 'L', 'D', 'D', 'E', 'M', 'O'};

// Bits of a pass's first byte; the five MoveKey bits are its low bits.
const std::uint8_t DigBit = 0x20;
const std::uint8_t MotionBit = 0x40;
// Format 1: the end mark. Format 2: an extension byte follows; with an
// empty extension after an otherwise empty first byte, the end mark.
const std::uint8_t HighBit = 0x80;
// Bits of a format-2 pass's extension byte; the six PassAction bits are its
// low bits.
const std::uint8_t SlotBit = 0x40;
const std::uint8_t WheelBit = 0x80;
const std::size_t EndMark1Size = 1; // HighBit alone
const std::uint8_t EndMark2[] = {HighBit, 0};

// magic, version, seed, world checksum, width, height, version length
const std::size_t FixedHead = 8 + 2 + 4 + 8 + 4 + 4 + 1;
// pass count, pass bytes, final checksum, file checksum
const std::size_t FixedTail = 4 + 4 + 8 + 4;
const std::size_t FinalChecksumSize = 8;

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

bool GetVarint(ByteReader& in, std::int32_t& value)
{
    std::uint64_t v = 0;
    for (int shift = 0; shift < 35; shift += 7) {
        const std::uint8_t byte = in.U8();
        if (!in.Ok())
            return false;
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

PassResult Bad(std::string& why, const std::string& text)
{
    why = text;
    return PassResult::Bad;
}

// Reads one pass of the given format; a Bad pass says why in `why`.
PassResult GetPass(ByteReader& in, int format, PassInput& input, std::string& why)
{
    const std::uint8_t flags = in.U8();
    if (!in.Ok())
        return Bad(why, "it is cut short");
    std::uint8_t extension = 0;
    if (flags & HighBit) {
        if (format == 1) {
            if (flags == HighBit)
                return PassResult::End;
            return Bad(why, "its first byte has bit 7 set");
        }
        extension = in.U8();
        if (!in.Ok())
            return Bad(why, "it is cut short");
        // The encoder sets bit 7 only when the extension holds something.
        if (extension == 0) {
            if (flags == HighBit)
                return PassResult::End;
            return Bad(why, "its extension byte is 0");
        }
    }
    input = PassInput();
    input.keys = flags & AllMoveKeys;
    input.dig = (flags & DigBit) != 0;
    input.actions = extension & AllActions;
    if ((flags & MotionBit) && !(GetVarint(in, input.dx) && GetVarint(in, input.dy)))
        return Bad(why, "its mouse motion is not two varints of 32 bits");
    if (extension & SlotBit) {
        input.slot = in.U8();
        if (!in.Ok())
            return Bad(why, "it is cut short");
        if (input.slot < 1 || input.slot > 9)
            return Bad(why, "its slot " + std::to_string(input.slot) + " is not 1 to 9");
    }
    if (extension & WheelBit) {
        input.wheel = static_cast<std::int8_t>(in.U8());
        if (!in.Ok())
            return Bad(why, "it is cut short");
        if (input.wheel == 0)
            return Bad(why, "its wheel byte is 0");
    }
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
    return static_cast<std::uint32_t>(crc32_z(0, data, size));
}

void AppendPass(Demo& demo, const PassInput& input)
{
    const bool moved = input.dx != 0 || input.dy != 0;
    const bool slot = input.slot >= 1 && input.slot <= 9;
    const std::uint8_t extension = static_cast<std::uint8_t>((input.actions & AllActions) | (slot ? SlotBit : 0) |
                                                             (input.wheel != 0 ? WheelBit : 0));
    demo.passes.push_back(static_cast<std::uint8_t>((input.keys & AllMoveKeys) | (input.dig ? DigBit : 0) |
                                                    (moved ? MotionBit : 0) | (extension ? HighBit : 0)));
    if (extension)
        demo.passes.push_back(extension);
    if (moved) {
        PutVarint(demo.passes, input.dx);
        PutVarint(demo.passes, input.dy);
    }
    if (slot)
        demo.passes.push_back(input.slot);
    if (input.wheel != 0)
        demo.passes.push_back(static_cast<std::uint8_t>(input.wheel));
    ++demo.passCount;
}

std::vector<std::uint8_t> EncodeDemo(const Demo& demo)
{
    const std::size_t versionLength = std::min(demo.programVersion.size(), MaxProgramVersionLength);
    ByteWriter out;
    out.Bytes(Magic, sizeof Magic);
    out.U16(DemoFormatVersion);
    out.U32(demo.worldSeed);
    out.U64(demo.worldChecksum);
    out.U32(demo.screenWidth);
    out.U32(demo.screenHeight);
    out.U8(static_cast<std::uint8_t>(versionLength));
    out.Bytes(demo.programVersion.data(), versionLength);
    WritePose(out, demo.start);
    out.U32(demo.passCount);
    out.U32(static_cast<std::uint32_t>(demo.passes.size() + sizeof EndMark2));
    out.Bytes(demo.passes.data(), demo.passes.size());
    out.Bytes(EndMark2, sizeof EndMark2);
    out.U64(demo.finalChecksum);
    out.U32(Crc32(out.bytes.data(), out.bytes.size()));
    return std::move(out.bytes);
}

bool DecodeDemo(const std::uint8_t* data, std::size_t size, Demo& out, std::string& reason)
{
    if (size < sizeof Magic || std::memcmp(data, Magic, sizeof Magic) != 0)
        return Refuse(reason, "not a Veldmarrow demo");
    if (size > MaxDemoFileSize)
        return Refuse(reason, "larger than " + std::to_string(MaxDemoFileSize >> 20) + " MiB");
    ByteReader head(data + sizeof Magic, size - sizeof Magic);
    const std::uint16_t version = head.U16();
    if (!head.Ok())
        return Refuse(reason, "truncated");
    if (version < OldestDemoFormatVersion || version > DemoFormatVersion)
        return Refuse(reason, "demo format version " + std::to_string(version) + ", this program plays versions " +
                                  std::to_string(OldestDemoFormatVersion) + " and " +
                                  std::to_string(DemoFormatVersion));
    const std::size_t poseSize = version >= 2 ? PoseBytes : 0;
    const std::size_t endMarkSize = version >= 2 ? sizeof EndMark2 : EndMark1Size;
    if (size < FixedHead + poseSize + FixedTail)
        return Refuse(reason, "truncated");
    if (Crc32(data, size - 4) != ByteReader(data + size - 4, 4).U32())
        return Refuse(reason, "damaged or truncated: the checksum does not match");

    // The checksum matched, so what follows is as written; the lengths are
    // still checked, against a file that was written wrongly or on purpose.
    // The fields are read in EncodeDemo's order, the file checksum left out.
    Demo demo;
    ByteReader in(data, size - 4);
    in.Take(sizeof Magic);
    in.U16(); // the format version, checked above
    demo.worldSeed = in.U32();
    demo.worldChecksum = in.U64();
    demo.screenWidth = in.U32();
    demo.screenHeight = in.U32();
    const std::size_t versionLength = in.U8();
    if (demo.screenWidth == 0 || demo.screenHeight == 0 || demo.screenWidth > MaxDemoScreenSide ||
        demo.screenHeight > MaxDemoScreenSide)
        return Refuse(reason, "damaged: screen size " + std::to_string(demo.screenWidth) + "x" +
                                  std::to_string(demo.screenHeight));
    // The version must leave room for the fixed fields after it.
    const std::uint8_t* const versionText = in.Take(versionLength);
    if (versionLength == 0 || versionLength > MaxProgramVersionLength || !in.Ok() ||
        in.Left() < poseSize + FixedTail - 4)
        return Refuse(reason, "damaged: program version of " + std::to_string(versionLength) + " bytes");
    for (std::size_t i = 0; i < versionLength; ++i)
        if (versionText[i] < 0x20 || versionText[i] > 0x7E)
            return Refuse(reason, "damaged: program version is not printable text");
    demo.programVersion.assign(reinterpret_cast<const char*>(versionText), versionLength);

    if (version >= 2) {
        std::string why;
        if (!ReadPose(in, demo.start, why))
            return Refuse(reason, "damaged: starting pose: " + why);
    }

    const std::uint64_t passCount = in.U32();
    const std::uint64_t passBytes = in.U32();
    const std::size_t left = in.Left() - FinalChecksumSize;
    if (passBytes != left)
        return Refuse(reason, "damaged: " + std::to_string(passBytes) + " bytes of passes declared, " +
                                  std::to_string(left) + " present");
    if (passCount == 0)
        return Refuse(reason, "holds no passes of play");
    // Each pass takes at least one byte, the end mark one or two more.
    if (passCount + endMarkSize > passBytes)
        return Refuse(reason, "damaged: " + std::to_string(passCount) + " passes declared in " +
                                  std::to_string(passBytes) + " bytes");
    const std::uint8_t* const passData = in.Take(passBytes);
    ByteReader passes(passData, passBytes);
    PassInput input;
    std::string why;
    for (std::uint64_t i = 0; i < passCount; ++i) {
        const PassResult result = GetPass(passes, version, input, why);
        if (result == PassResult::End)
            why = "the end mark comes first";
        if (result != PassResult::Pass)
            return Refuse(reason, "damaged: pass " + std::to_string(i + 1) + " of " + std::to_string(passCount) +
                                      " cannot be read: " + why);
    }
    if (GetPass(passes, version, input, why) != PassResult::End || passes.Left() != 0)
        return Refuse(reason, "damaged: the passes do not end where declared");
    // A format-1 pass never has bit 7 set, so its bytes read the same as
    // format 2's: the cursor needs no format of its own.
    demo.passCount = static_cast<std::uint32_t>(passCount);
    demo.passes.assign(passData, passData + passBytes - endMarkSize);
    demo.finalChecksum = in.U64();
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
    ByteReader in(demo->passes.data() + offset, demo->passes.size() - offset);
    std::string why;
    if (GetPass(in, DemoFormatVersion, input, why) != PassResult::Pass)
        return false;
    offset = demo->passes.size() - in.Left();
    ++taken;
    return true;
}
