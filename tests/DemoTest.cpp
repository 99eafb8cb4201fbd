// Demo files, the command line and the timedemo figures.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <sstream>

#include "app/CommandLine.h"
#include "core/ExitStatus.h"
#include "core/PrintableText.h"
#include "demo/DemoFile.h"
#include "demo/DemoRecorder.h"
#include "demo/DemoReplay.h"
#include "demo/TimedemoReport.h"
#include "support/TestWorld.h"

namespace {

Demo Sample()
{
    Demo demo;
    demo.worldSeed = 20261207;
    demo.worldChecksum = 0x0123456789ABCDEFull;
    demo.screenWidth = 800;
    demo.screenHeight = 600;
    demo.programVersion = "1.2.3";
    demo.finalChecksum = 0xFEDCBA9876543210ull;
    return demo;
}

PassInput Pass(int dx, int dy, std::uint8_t keys, bool dig)
{
    PassInput p;
    p.dx = dx;
    p.dy = dy;
    p.keys = keys;
    p.dig = dig;
    return p;
}

PassInput Build(std::uint8_t actions, std::uint8_t slot, std::int8_t wheel, PassInput p = PassInput())
{
    p.actions = actions;
    p.slot = slot;
    p.wheel = wheel;
    return p;
}

// Somewhere else than StartPose() in every field.
PlayerPose Elsewhere()
{
    PlayerPose pose;
    pose.position[0] = 12.25f;
    pose.position[1] = -0.1f;
    pose.position[2] = 300.5f;
    pose.yaw = 359.75f;
    pose.pitch = -89.5f;
    pose.walking = true;
    pose.slot = 7;
    pose.hud = true;
    return pose;
}

// The bytes of the file at `path`.
std::vector<std::uint8_t> FileBytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<std::uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool Decodes(const std::vector<std::uint8_t>& bytes, std::string& reason)
{
    Demo out;
    return DecodeDemo(bytes.data(), bytes.size(), out, reason);
}

void Reseal(std::vector<std::uint8_t>& bytes)
{
    const std::uint32_t crc = Crc32(bytes.data(), bytes.size() - 4);
    for (int i = 0; i < 4; ++i)
        bytes[bytes.size() - 4 + i] = static_cast<std::uint8_t>(crc >> (8 * i));
}

} // namespace

TEST(DemoFile, EveryPassComesBackAsRecordedInFewBytes)
{
    Demo demo = Sample();
    demo.start = Elsewhere();
    std::vector<PassInput> passes = {
        Pass(0, 0, 0, false),          Pass(3, -2, MoveForward | MoveRight, false),
        Pass(0, 0, MoveUp, true),      Pass(INT_MIN, INT_MAX, AllMoveKeys, true),
        Pass(-1, 1, MoveBack, false),  Pass(100000, -100000, MoveLeft, false),
        // Building and walking: each control alone, then all at once with
        // motion, keys and a dig.
        Build(MoveDown, 0, 0),         Build(PlaceVoxel, 0, 0),
        Build(PickType, 0, 0),         Build(RemoveVoxel, 0, 0),
        Build(ToggleWalk, 0, 0),       Build(ToggleHud, 0, 0),
        Build(0, 1, 0),                Build(0, 9, 0),
        Build(0, 0, -128),             Build(0, 0, 127),
        Build(AllActions, 5, -1, Pass(-7, 300, AllMoveKeys, true)),
        Build(MoveDown, 0, 2, Pass(1, 0, MoveLeft, false)),
    };
    for (const PassInput& p : passes)
        AppendPass(demo, p);
    // A pass of held keys alone stays one byte.
    const std::size_t before = demo.passes.size();
    AppendPass(demo, Pass(0, 0, MoveForward, false));
    EXPECT_EQ(demo.passes.size(), before + 1);
    passes.push_back(Pass(0, 0, MoveForward, false));
    for (int i = 0; i < 3600; ++i) // a minute at 60 passes a second, flying straight on
        AppendPass(demo, Pass(0, 0, MoveForward, false));
    const std::vector<std::uint8_t> bytes = EncodeDemo(demo);
    EXPECT_LT(bytes.size(), 4000u);

    Demo back;
    std::string reason;
    ASSERT_TRUE(DecodeDemo(bytes.data(), bytes.size(), back, reason)) << reason;
    EXPECT_EQ(back.worldSeed, demo.worldSeed);
    EXPECT_EQ(back.worldChecksum, demo.worldChecksum);
    EXPECT_EQ(back.screenWidth, 800u);
    EXPECT_EQ(back.screenHeight, 600u);
    EXPECT_EQ(back.programVersion, "1.2.3");
    EXPECT_EQ(back.finalChecksum, demo.finalChecksum);
    EXPECT_TRUE(back.start == Elsewhere());
    ASSERT_EQ(back.passCount, passes.size() + 3600);
    DemoCursor cursor(back);
    PassInput p;
    for (std::size_t i = 0; i < passes.size(); ++i) {
        ASSERT_TRUE(cursor.Next(p));
        EXPECT_TRUE(p == passes[i]) << "pass " << i << ": " << p.dx << " " << p.dy << " actions " << int(p.actions)
                                    << " slot " << int(p.slot) << " wheel " << int(p.wheel);
    }
    for (int i = 0; i < 3600; ++i)
        ASSERT_TRUE(cursor.Next(p) && p == Pass(0, 0, MoveForward, false));
    EXPECT_FALSE(cursor.Next(p));
}

TEST(DemoFile, DamagedOrForeignFilesAreRefusedWithTheReason)
{
    Demo demo = Sample();
    demo.start = Elsewhere();
    AppendPass(demo, Pass(5, 5, MoveUp, false));
    AppendPass(demo, Pass(0, 0, 0, true));
    AppendPass(demo, Build(PlaceVoxel, 3, -2, Pass(0, 0, MoveForward, false)));
    const std::vector<std::uint8_t> good = EncodeDemo(demo);
    std::string reason;
    ASSERT_TRUE(Decodes(good, reason)) << reason;

    // Every truncation and every single flipped bit is caught.
    for (std::size_t n = 0; n < good.size(); ++n)
        EXPECT_FALSE(Decodes(std::vector<std::uint8_t>(good.begin(), good.begin() + n), reason)) << n;
    for (std::size_t i = 0; i < good.size() * 8; ++i) {
        std::vector<std::uint8_t> bad = good;
        bad[i / 8] ^= static_cast<std::uint8_t>(1 << (i % 8));
        EXPECT_FALSE(Decodes(bad, reason)) << i;
    }

    struct Case {
        std::size_t offset;
        std::vector<std::uint8_t> bytes;
        const char* reason;
    };
    const std::size_t versionEnd = 31 + demo.programVersion.size();
    const std::size_t poseEnd = versionEnd + 23;
    // The third pass: W held (0x84: an extension follows), its extension
    // (PlaceVoxel, a slot, a wheel), slot 3, wheel -2.
    const std::size_t third = poseEnd + 8 + 3 + 1;
    ASSERT_EQ(std::vector<std::uint8_t>(good.begin() + third, good.begin() + third + 4),
              (std::vector<std::uint8_t>{0x84, 0xC2, 3, 0xFE}));
    const Case cases[] = {
        {8, {3, 0}, "format version 3"},
        {poseEnd + 4, {0xF0, 0xFF, 0xFF, 0xFF}, "bytes of passes declared"},
        {poseEnd, {0xFF, 0xFF, 0xFF, 0xFF}, "passes declared in"},
        {poseEnd, {1, 0, 0, 0}, "do not end where declared"},
        {poseEnd, {0, 0, 0, 0}, "no passes"},
        {22, {0, 0, 0, 0}, "screen size 0x600"},
        {30, {200}, "program version of 200 bytes"},
        {versionEnd, {0x00, 0x00, 0xC0, 0x7F}, "starting pose: the player's position"}, // a NaN
        {versionEnd + 12, {0x00, 0x00, 0xB5, 0x43}, "starting pose: the player's view"}, // yaw 362
        {versionEnd + 21, {10}, "starting pose: the player's slot 10"},
        {versionEnd + 20, {2}, "walking or crosshair byte"},
        {third + 1, {0}, "pass 3 of 3 cannot be read: its extension byte is 0"},
        {third + 2, {10}, "pass 3 of 3 cannot be read: its slot 10 is not 1 to 9"},
        {third + 3, {0}, "pass 3 of 3 cannot be read: its wheel byte is 0"},
        {third, {0x80, 0x00}, "pass 3 of 3 cannot be read: the end mark comes first"},
    };
    for (const Case& c : cases) {
        std::vector<std::uint8_t> bad = good;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + c.offset);
        Reseal(bad);
        EXPECT_FALSE(Decodes(bad, reason)) << c.reason;
        EXPECT_NE(reason.find(c.reason), std::string::npos) << reason;
    }
    const std::vector<std::uint8_t> png = {0x89, 'P', 'N', 'G', 13, 10, 26, 10, 0, 0, 0, 13};
    EXPECT_FALSE(Decodes(png, reason));
    EXPECT_EQ(reason, "not a Veldmarrow demo");
}

// The demos recorded so far still play: the checksum each carries is zlib's
// CRC-32 of the bytes before it, and each is read whole.
TEST(DemoFile, RecordedDemosStillPlay)
{
    for (const char* folder : {"tests/e2e/demos", "bench/demos"}) {
        int demos = 0;
        for (const auto& entry : std::filesystem::directory_iterator(std::string(VELDMARROW_SOURCE_DIR) + "/" + folder)) {
            if (entry.path().extension() != ".demo")
                continue;
            ++demos;
            std::ifstream in(entry.path(), std::ios::binary);
            const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            ASSERT_GT(bytes.size(), 4u) << entry.path();
            std::uint32_t stored = 0;
            for (std::size_t i = bytes.size(); i > bytes.size() - 4; --i)
                stored = (stored << 8) | bytes[i - 1];
            EXPECT_EQ(Crc32(bytes.data(), bytes.size() - 4), stored) << entry.path();
            Demo demo;
            std::string reason;
            EXPECT_TRUE(DecodeDemo(bytes.data(), bytes.size(), demo, reason)) << entry.path() << ": " << reason;
            // Recorded before the start pose was kept: they began at the usual start.
            EXPECT_TRUE(demo.start == StartPose()) << entry.path();
        }
        EXPECT_GT(demos, 0) << folder;
    }
}

// A replay starts where its recording started, whatever pose the world it
// is replayed in keeps; a demo from before the pose was recorded starts at
// the usual start.
TEST(DemoFile, AReplayStartsWhereItsRecordingStarted)
{
    std::string folder = (std::filesystem::temp_directory_path() / "veldmarrow-demo-XXXXXX").string();
    ASSERT_NE(mkdtemp(folder.data()), nullptr);
    struct Remove {
        std::string folder;
        ~Remove() { std::filesystem::remove_all(folder); }
    } remove{folder};
    const std::string path = folder + "/built.demo";

    const std::unique_ptr<Map> map(EmptyMap());
    const PassInput built = Build(PlaceVoxel | MoveDown, 4, 3, Pass(2, -1, MoveBack, false));
    DemoRecorder recorder;
    std::string reason;
    ASSERT_TRUE(recorder.Open(path, reason)) << reason;
    recorder.WorldBuilt(99, *map, 320, 240, Elsewhere());
    recorder.PassPlayed(built);
    recorder.PassPlayed(Build(ToggleWalk, 0, 0));
    recorder.PlayEnded(*map);
    ASSERT_EQ(recorder.Finish(reason), ExitStatus::Normal) << reason;
    EXPECT_EQ(FileBytes(path)[8], DemoFormatVersion);

    DemoReplay replay(false, DemoReplay::Clock::now());
    ASSERT_TRUE(replay.Open(path, reason)) << reason;
    PlayerPose pose = StartPose();
    ASSERT_TRUE(replay.StartPose(pose));
    EXPECT_TRUE(pose == Elsewhere());
    PassInput p;
    ASSERT_EQ(replay.Next(p), PassStep::Play);
    EXPECT_TRUE(p == built);
    replay.PressesSeen(Build(ToggleHud, 1, -1), p); // live presses are not the demo's
    EXPECT_TRUE(p == built);

    DemoReplay old(false, DemoReplay::Clock::now());
    ASSERT_TRUE(old.Open(std::string(VELDMARROW_SOURCE_DIR) + "/tests/e2e/demos/short.demo", reason)) << reason;
    pose = Elsewhere(); // a kept world's pose
    ASSERT_TRUE(old.StartPose(pose));
    EXPECT_TRUE(pose == StartPose());
}

TEST(CommandLine, ArgumentsAndTheirAnswers)
{
    auto parse = [](std::vector<const char*> args) {
        args.insert(args.begin(), "veldmarrow");
        return ParseCommandLine(static_cast<int>(args.size()), args.data());
    };
    EXPECT_EQ(parse({}).mode, RunMode::Normal);
    EXPECT_EQ(parse({"--record", "a.demo"}).mode, RunMode::Record);
    EXPECT_EQ(parse({"--play", "a.demo"}).demoFile, "a.demo");
    EXPECT_EQ(parse({"--timedemo", "--help"}).demoFile, "--help"); // a file may have any name
    EXPECT_EQ(parse({"--help"}).mode, RunMode::Help);
    EXPECT_EQ(parse({"--version"}).mode, RunMode::Version);
    EXPECT_EQ(parse({"--play"}).mode, RunMode::Invalid);
    EXPECT_EQ(parse({"--play", ""}).mode, RunMode::Invalid);
    EXPECT_EQ(parse({"--record", "a", "--play", "b"}).mode, RunMode::Invalid);
    EXPECT_EQ(parse({"a.demo"}).mode, RunMode::Invalid);

    std::ostringstream out, err;
    int status = -1;
    EXPECT_FALSE(AnswerWithoutRunning(parse({"--play", "a"}), out, err, status));
    EXPECT_TRUE(AnswerWithoutRunning(parse({"--fast"}), out, err, status));
    EXPECT_EQ(status, ExitStatus::Usage);
    EXPECT_EQ(err.str(), "veldmarrow: unknown argument '--fast'\n" + UsageLine() + "\n");
    EXPECT_TRUE(out.str().empty());
    EXPECT_TRUE(AnswerWithoutRunning(parse({"--version"}), out, err, status));
    EXPECT_EQ(status, ExitStatus::Normal);
    EXPECT_EQ(out.str().rfind("Veldmarrow ", 0), 0u);
}

TEST(TimedemoReport, FrameStatisticsAndTheJsonLine)
{
    std::vector<double> frames;
    for (int i = 100; i >= 1; --i)
        frames.push_back(i / 1000.0); // 1 to 100 ms, in any order
    TimedemoFigures f;
    f.demoFile = "a \"quoted\"\\name";
    f.allocator = "glibc";
    f.terrainChecksum = 0xABCull;
    f.matchesRecording = true;
    SummariseFrames(frames, f);
    EXPECT_EQ(f.frames, 100u);
    EXPECT_NEAR(f.seconds, 5.05, 1e-9);
    EXPECT_NEAR(f.medianMs, 50.5, 1e-9);
    EXPECT_NEAR(f.p90Ms, 90, 1e-9);
    EXPECT_NEAR(f.p99Ms, 99, 1e-9);
    EXPECT_NEAR(f.maxMs, 100, 1e-9);
    const std::string json = ReportJson(f);
    EXPECT_NE(json.find("\"timedemo\":\"a \\\"quoted\\\"\\\\name\""), std::string::npos) << json;
    EXPECT_NE(json.find("\"terrain_checksum\":\"0000000000000abc\""), std::string::npos) << json;
    EXPECT_EQ(json.find('\n'), std::string::npos);

    SummariseFrames({0.004}, f);
    EXPECT_NEAR(f.medianMs, 4, 1e-9);
    EXPECT_NEAR(f.p99Ms, 4, 1e-9);
}

TEST(PrintableText, NamesStayOneLineAndTheJsonStaysUtf8)
{
    // A newline, a tab, an escape character, a quote and a backslash; bytes
    // that are not UTF-8 (a Latin-1 "é", a cut sequence, an overlong "/",
    // a surrogate); C1 controls; and valid UTF-8, which is kept.
    const std::string name = "a\nb\tc\x1b\"d\\e \xe9 \xe2\x82 \xc0\xaf \xed\xa0\x80 \xc2\x85 caf\xc3\xa9 \xf0\x9f\x8e\xb2";
    EXPECT_EQ(PrintableText(name),
              "a\\nb\\tc\\x1b\\\"d\\\\e \\xe9 \\xe2\\x82 \\xc0\\xaf \\xed\\xa0\\x80 \\xc2\\x85 caf\xc3\xa9 \xf0\x9f\x8e\xb2");
    EXPECT_EQ(QuotedName("log.txt"), "\"log.txt\"");
    EXPECT_EQ(JsonString(name), "\"a\\u000ab\\u0009c\\u001b\\\"d\\\\e \xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd "
                                "\xef\xbf\xbd\xef\xbf\xbd \xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd \xc2\x85 caf\xc3\xa9 "
                                "\xf0\x9f\x8e\xb2\"");
}
