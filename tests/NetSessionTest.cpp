// A server and its players wired together in memory: every player's world
// equals the server's, and what a hostile or mistaken player sends is
// refused or dropped while the others play on.
#include <gtest/gtest.h>

#include <memory>

#include "net/ClientLogic.h"
#include "net/ServerLogic.h"
#include "world/BasicMapGenerator.h"
#include "world/MapChunks.h"
#include "world/VoxelType.h"

namespace {

constexpr std::uint32_t Seed = 20261211;

// Carries the server's messages to the players it addresses, in order.
struct Wire {
    ServerLogic& server;
    std::map<ConnectionId, ClientLogic*> players;
    std::vector<Drop> drops;
    double now = 0;

    void Connect(ConnectionId id, ClientLogic& client)
    {
        players[id] = &client;
        server.Connected(id, now);
        Send(id, client.Hello());
    }
    void Send(ConnectionId from, const std::vector<std::uint8_t>& bytes)
    {
        server.Received(from, bytes.data(), bytes.size(), now);
        Deliver();
    }
    void Deliver()
    {
        for (const Outgoing& out : server.TakeOutgoing())
            if (players.count(out.to))
                players[out.to]->Received(out.bytes.data(), out.bytes.size(), now);
        for (const Drop& d : server.TakeDrops()) {
            drops.push_back(d);
            players.erase(d.who);
            server.Disconnected(d.who);
            Deliver();
        }
    }
};

VoxelEdit At(EditKind kind, int x, int y, int z, int type = 0)
{
    return {kind, static_cast<std::uint16_t>(x), static_cast<std::uint16_t>(y), static_cast<std::uint16_t>(z),
            static_cast<std::uint8_t>(type)};
}

int HighestSolid(Map& map, int x, int y)
{
    int z = map.height - 1;
    while (z > 0 && map.At(x, y, z) == Air)
        --z;
    return z;
}

} // namespace

TEST(NetSession, PlayersEditOneWorldAndEachEndsWithTheServersChecksum)
{
    Map served(new BasicMapGenerator(StandardRandom(), Seed));
    // A world kept from before: one chunk dug, as its file stores it.
    served.CarveSphere(300, 300, HighestSolid(served, 300, 300), 6);
    std::vector<bool> kept(MapChunks::Count(served));
    kept[MapChunks::NumberOf(served, 300, 300, HighestSolid(served, 300, 301))] = true;
    for (int dx = -6; dx <= 6; dx += 6)
        for (int dy = -6; dy <= 6; dy += 6)
            for (int dz = -8; dz <= 8; dz += 4) {
                const int z = std::max(0, std::min(255, HighestSolid(served, 300, 300) + dz));
                kept[MapChunks::NumberOf(served, 300 + dx, 300 + dy, z)] = true;
            }
    PlayerPose left;
    left.position[0] = 100;
    left.slot = 4;
    ServerLogic server(served, Seed, ServerRules(), kept, {{"Tovi", left}});
    Wire wire{server, {}, {}, 0};

    ClientLogic mirra("Mirra", ""), tovi("Tovi", "");
    wire.Connect(1, mirra);
    ASSERT_EQ(mirra.Now(), ClientLogic::State::Playing) << mirra.Ending();
    PlayerPose pose;
    EXPECT_FALSE(mirra.StoredPose(pose)); // new here: the usual start
    EXPECT_GT(mirra.ChunksReceived(), 0u);
    EXPECT_EQ(mirra.Checksum(), server.Checksum());

    const int x = 200, y = 210, top = HighestSolid(served, x, y);
    wire.Send(1, ClientLogic::EditMessage(At(EditKind::Dig, x, y, top)));
    wire.Send(1, ClientLogic::EditMessage(At(EditKind::Place, x, y, top + 8, Brick)));
    EXPECT_EQ(mirra.World()->At(x, y, top + 8), Brick); // applied as the server sent it back
    EXPECT_EQ(mirra.Checksum(), server.Checksum());

    // A later player gets the world as it is now, and where it left off.
    wire.Connect(2, tovi);
    ASSERT_EQ(tovi.Now(), ClientLogic::State::Playing) << tovi.Ending();
    ASSERT_TRUE(tovi.StoredPose(pose));
    EXPECT_TRUE(pose == left);
    EXPECT_EQ(tovi.World()->At(x, y, top + 8), Brick);
    EXPECT_EQ(tovi.Others().size(), 1u);
    EXPECT_EQ(mirra.TakeLog(), std::vector<std::string>{"Player joined: Tovi"});

    // The same cell asked for twice: the first edit wins, the second is
    // not applied anywhere.
    wire.Send(2, ClientLogic::EditMessage(At(EditKind::Remove, x, y, top + 8)));
    wire.Send(1, ClientLogic::EditMessage(At(EditKind::Remove, x, y, top + 8)));
    wire.Send(1, ClientLogic::EditMessage(At(EditKind::Place, x, y, top + 8, Snow)));
    wire.Send(2, ClientLogic::EditMessage(At(EditKind::Place, x, y, top + 8, Sand)));
    EXPECT_EQ(served.At(x, y, top + 8), Snow);
    EXPECT_EQ(tovi.World()->At(x, y, top + 8), Snow);

    PlayerPose moved;
    moved.position[2] = 140;
    moved.walking = true;
    wire.Send(2, ClientLogic::PoseMessage(moved));
    wire.now += 1; // poses are passed on together, at the next interval
    server.Tick(wire.now);
    wire.Deliver();
    EXPECT_TRUE(mirra.Others().at(tovi.Player()).to == moved);
    // They travel unreliably: one lost on the way is made good within a
    // second, though Tovi stands still.
    moved.position[0] += 1;
    wire.Send(2, ClientLogic::PoseMessage(moved));
    server.Tick(wire.now += 0.05);
    server.TakeOutgoing(); // lost
    for (int i = 0; i < 20; ++i)
        server.Tick(wire.now += 0.05);
    wire.Deliver();
    EXPECT_TRUE(mirra.Others().at(tovi.Player()).to == moved);

    wire.Send(1, ClientLogic::LeavingMessage());
    ASSERT_TRUE(mirra.Farewelled());
    EXPECT_EQ(mirra.ServerChecksum(), mirra.Checksum());
    server.Disconnected(1);
    wire.Deliver();
    EXPECT_EQ(tovi.TakeLog().back(), "Player left: Mirra");
    EXPECT_EQ(server.TakeMovedPoses().count("Tovi"), 1u);
    EXPECT_EQ(tovi.Checksum(), server.Checksum());
    EXPECT_TRUE(wire.drops.empty());
}

TEST(NetSession, RefusalsAndHostilePlayersAreEndedWithTheirReasonWhileOthersPlayOn)
{
    Map served(new BasicMapGenerator(StandardRandom(), Seed));
    ServerRules rules;
    rules.password = "kettle";
    rules.mostPlayers = 2;
    ServerLogic server(served, Seed, rules, {}, {});
    Wire wire{server, {}, {}, 0};

    auto refusal = [&](ConnectionId id, const std::string& name, const std::string& password) {
        ClientLogic client(name, password);
        wire.Connect(id, client);
        EXPECT_TRUE(client.Refused()) << name;
        return client.Ending();
    };
    EXPECT_NE(refusal(10, "Mirra", "").find("asks for a password"), std::string::npos);
    EXPECT_NE(refusal(11, "Mirra", "teapot").find("not the server's"), std::string::npos);
    EXPECT_NE(refusal(12, "Mir\"ra", "kettle").find("printable"), std::string::npos);

    ClientLogic mirra("Mirra", "kettle"), tovi("Tovi", "kettle");
    wire.Connect(1, mirra);
    ASSERT_EQ(mirra.Now(), ClientLogic::State::Playing) << mirra.Ending();
    EXPECT_NE(refusal(13, "Mirra", "kettle").find("is playing"), std::string::npos);
    wire.Connect(2, tovi);
    EXPECT_NE(refusal(14, "Ash", "kettle").find("full"), std::string::npos);

    // Another version is told both numbers, whatever else it sends.
    Message newer;
    newer.type = MessageType::Hello;
    newer.version = ProtocolVersion + 1;
    ClientLogic old("Ash", "kettle");
    wire.players[15] = &old;
    server.Connected(15, wire.now);
    wire.Send(15, Encode(newer));
    EXPECT_NE(old.Ending().find("server speaks protocol version " + std::to_string(ProtocolVersion) +
                                ", this program version " + std::to_string(ProtocolVersion + 1)),
              std::string::npos);

    // A flood is slowed first: the burst is applied at once, the rest waits.
    const int burst = static_cast<int>(rules.editBurst), x = 100, y = 100, z = 250;
    for (int i = 0; i < burst + 10; ++i)
        wire.Send(1, ClientLogic::EditMessage(At(EditKind::Place, x + i, y, z, Planks)));
    EXPECT_EQ(served.At(x + burst - 1, y, z), Planks);
    EXPECT_EQ(served.At(x + burst, y, z), Air);
    wire.now += 1;
    server.Tick(wire.now);
    wire.Deliver();
    EXPECT_EQ(served.At(x + burst + 9, y, z), Planks);
    EXPECT_EQ(mirra.Checksum(), server.Checksum());
    // ... then dropped, while Tovi plays on.
    for (std::size_t i = 0; i < rules.mostWaitingEdits + rules.editBurst + 1; ++i)
        wire.Send(1, ClientLogic::EditMessage(At(EditKind::Dig, x, y, z)));
    ASSERT_FALSE(wire.drops.empty());
    EXPECT_EQ(wire.drops.back().who, 1u);
    EXPECT_NE(wire.drops.back().reason.find("faster than"), std::string::npos);
    EXPECT_EQ(tovi.TakeLog().back(), "Player left: Mirra");

    // Malformed bytes end only their sender.
    wire.Send(2, {2, 1, 0, 2}); // an edit cut short
    EXPECT_NE(wire.drops.back().reason.find("cut short"), std::string::npos);
    EXPECT_EQ(server.Players(), 0u);

    // A connection that never greets is let go.
    server.Connected(20, wire.now);
    wire.now += rules.greetingSeconds + 1;
    server.Tick(wire.now);
    wire.Deliver();
    EXPECT_NE(wire.drops.back().reason.find("did not greet"), std::string::npos);
}
