// The network messages: what is sent comes back as it was, and what no
// honest program sends is refused with its reason, never used.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "net/Protocol.h"
#include "world/ChunkCodec.h"

namespace {

std::vector<Message> Samples()
{
    std::vector<Message> all;
    auto add = [&all](MessageType type) -> Message& {
        all.emplace_back();
        all.back().type = type;
        return all.back();
    };
    Message& hello = add(MessageType::Hello);
    hello.name = "Mirra Öst";
    hello.password = "open sesame";
    Message& edit = add(MessageType::Edit);
    edit.edit = {EditKind::Place, 511, 0, 255, 9};
    Message& pose = add(MessageType::Pose);
    pose.pose.position[0] = 12.5f;
    pose.pose.yaw = 359.5f;
    pose.pose.pitch = -90;
    pose.pose.walking = true;
    pose.pose.slot = 9;
    add(MessageType::Leaving);
    Message& welcome = add(MessageType::Welcome);
    welcome.seed = 20261207;
    welcome.player = 3;
    welcome.chunkCount = 2;
    welcome.hasPose = true;
    welcome.pose.hud = true;
    add(MessageType::Welcome).seed = 1; // a name new to the server: no pose
    Message& refusal = add(MessageType::Refusal);
    refusal.refusal = RefusalReason::WrongVersion;
    refusal.version = 7;
    refusal.text = "the server speaks version 7";
    Message& chunks = add(MessageType::Chunks);
    std::uint8_t voxels[ChunkVoxels] = {};
    voxels[100] = Brick;
    chunks.chunks.push_back({16383, ChunkCodec::Compress(voxels)});
    chunks.chunks.push_back({0, ChunkCodec::Compress(voxels)});
    add(MessageType::Ready).checksum = 0xFEDCBA9876543210ull;
    Message& applied = add(MessageType::EditApplied);
    applied.player = 65535;
    applied.edit = {EditKind::Remove, 1, 2, 3, 0};
    Message& joined = add(MessageType::PlayerJoined);
    joined.player = 4;
    joined.name = "Tovi";
    add(MessageType::PlayerLeft).player = 4;
    Message& moved = add(MessageType::PlayersMoved);
    moved.moves.resize(2);
    moved.moves[0].player = 5;
    moved.moves[1].pose.position[2] = -3;
    add(MessageType::Farewell).checksum = 42;
    return all;
}

Sender From(MessageType type) { return static_cast<int>(type) < 16 ? Sender::Player : Sender::Server; }

std::string Refused(std::vector<std::uint8_t> bytes, Sender from)
{
    Message m;
    std::string reason;
    if (Decode(bytes.data(), bytes.size(), from, m, reason))
        return "accepted";
    EXPECT_FALSE(reason.empty());
    return reason;
}

} // namespace

TEST(Protocol, EveryMessageComesBackAsSentAndNoCutLongerOrMisdirectedCopyIsAccepted)
{
    for (const Message& sent : Samples()) {
        SCOPED_TRACE(static_cast<int>(sent.type));
        const std::vector<std::uint8_t> bytes = Encode(sent);
        Message got;
        std::string reason;
        ASSERT_TRUE(Decode(bytes.data(), bytes.size(), From(sent.type), got, reason)) << reason;
        EXPECT_EQ(Encode(got), bytes);
        EXPECT_EQ(got.name, sent.name);
        EXPECT_TRUE(got.pose == sent.pose);
        EXPECT_EQ(got.chunks.size(), sent.chunks.size());

        for (std::size_t n = 0; n < bytes.size(); ++n)
            EXPECT_NE(Refused({bytes.begin(), bytes.begin() + n}, From(sent.type)), "accepted") << "cut to " << n;
        std::vector<std::uint8_t> longer = bytes;
        longer.push_back(0);
        EXPECT_NE(Refused(longer, From(sent.type)).find("left over"), std::string::npos);
        const Sender other = From(sent.type) == Sender::Player ? Sender::Server : Sender::Player;
        EXPECT_NE(Refused(bytes, other).find("may send"), std::string::npos);
    }
}

TEST(Protocol, FieldsOutsideWhatTheGameAllowsAreRefusedWithTheirReason)
{
    auto edit = [](EditKind kind, int x, int y, int z, int type) {
        Message m;
        m.type = MessageType::Edit;
        m.edit = {kind, static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y), static_cast<std::uint16_t>(z),
                  static_cast<std::uint8_t>(type)};
        return Encode(m);
    };
    EXPECT_NE(Refused(edit(EditKind::Dig, 512, 0, 0, 0), Sender::Player).find("outside the map"), std::string::npos);
    EXPECT_NE(Refused(edit(EditKind::Dig, 0, 0, 256, 0), Sender::Player).find("outside the map"), std::string::npos);
    EXPECT_NE(Refused(edit(EditKind::Place, 1, 1, 1, Air), Sender::Player).find("cannot be placed"), std::string::npos);
    EXPECT_NE(Refused(edit(EditKind::Place, 1, 1, 1, VoxelTypeCount), Sender::Player).find("cannot be placed"),
              std::string::npos);
    EXPECT_NE(Refused(edit(EditKind::Remove, 1, 1, 1, Stone), Sender::Player).find("does not carry"), std::string::npos);
    EXPECT_NE(Refused(edit(static_cast<EditKind>(4), 1, 1, 1, 0), Sender::Player).find("unknown kind"),
              std::string::npos);

    Message pose;
    pose.type = MessageType::Pose;
    pose.pose.position[1] = std::numeric_limits<float>::quiet_NaN();
    EXPECT_NE(Refused(Encode(pose), Sender::Player).find("position"), std::string::npos);
    pose.pose.position[1] = 0;
    pose.pose.slot = 0;
    EXPECT_NE(Refused(Encode(pose), Sender::Player).find("slot"), std::string::npos);
    Message moves;
    moves.type = MessageType::PlayersMoved;
    EXPECT_NE(Refused(Encode(moves), Sender::Server).find("poses of 0 players"), std::string::npos);
    moves.moves.resize(MostMovesPerMessage + 1);
    EXPECT_NE(Refused(Encode(moves), Sender::Server).find("poses of 65 players"), std::string::npos);

    Message chunks;
    chunks.type = MessageType::Chunks;
    chunks.chunks.push_back({MapChunkCount, {1, 2, 3}});
    EXPECT_NE(Refused(Encode(chunks), Sender::Server).find("outside the map"), std::string::npos);
    chunks.chunks[0] = {5, std::vector<std::uint8_t>(ChunkCodec::MostStored + 1)};
    EXPECT_NE(Refused(Encode(chunks), Sender::Server).find("stored in"), std::string::npos);

    Message hello;
    hello.type = MessageType::Hello;
    hello.name = std::string(MostNameBytes + 1, 'a');
    EXPECT_NE(Refused(Encode(hello), Sender::Player).find("longer than 32"), std::string::npos);
    EXPECT_NE(Refused(std::vector<std::uint8_t>(MostMessageBytes + 1, 2), Sender::Player).find("above"),
              std::string::npos);
    EXPECT_NE(Refused({99}, Sender::Player).find("unknown type"), std::string::npos);
    EXPECT_NE(Refused({1, 'H', 'T', 'T', 'P', 1, 0, 0, 0}, Sender::Player).find("not Veldmarrow's"), std::string::npos);

    // Another version is told apart by its number, whatever follows it.
    hello.version = 99;
    std::vector<std::uint8_t> newer = Encode(hello);
    newer.resize(7);
    newer.push_back(0xFF);
    std::uint16_t version = 0;
    EXPECT_TRUE(HelloVersion(newer.data(), newer.size(), version));
    EXPECT_EQ(version, 99);

    EXPECT_TRUE(PlayerNameAllowed("Mirra Öst"));
    for (const char* bad : {"", " lead", "trail ", "tab\there", "quote\"", "\xff\xfe", "abcdefghijklmnopqrstuvwxyz0123456"})
        EXPECT_FALSE(PlayerNameAllowed(bad)) << bad;
}
