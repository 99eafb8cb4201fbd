// ClientLogic: a joined player's side of the protocol, without a socket.
// It greets, takes the world the server sends (the seed, then the stored
// chunks over the terrain generated from it, checked against the server's
// checksum), applies exactly the edits the server sends, and follows the
// other players. Everything the server sends is decoded and checked first;
// anything malformed ends the session with the reason. Pure: no sockets,
// no SDL, no OpenGL.
#pragma once
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/Protocol.h"
#include "world/LiveChecksum.h"
#include "world/Map.h"

struct OtherPlayer {
    std::string name;
    bool placed = false;  // a pose has come
    PlayerPose from, to;  // the last two poses, for moving smoothly between them
    double toTime = 0;    // when `to` came (seconds)
    double interval = 0.05;
};

class ClientLogic {
public:
    enum class State {
        Greeting, // Hello sent, waiting for Welcome
        Loading,  // the world's chunks are coming
        Playing,  // Ready came and the checksums agreed
        Ended,    // refused, farewelled, or something was wrong: see Ending()
    };

    ClientLogic(const std::string& name, const std::string& password);

    // The greeting to send once connected.
    std::vector<std::uint8_t> Hello() const;
    // `size` bytes came from the server at `now` (seconds). Welcome
    // generates the map from its seed.
    void Received(const std::uint8_t* data, std::size_t size, double now);

    State Now() const { return state; }
    // Why the session ended, for one line to the player; and whether it was
    // the server's refusal (with its reason).
    const std::string& Ending() const { return ending; }
    bool Refused() const { return refused; }
    RefusalReason Refusal() const { return refusal; }

    std::uint32_t Seed() const { return seed; }
    std::uint16_t Player() const { return player; }
    // The pose the server kept for this name, if it had one.
    bool StoredPose(PlayerPose& pose) const;
    std::size_t ChunksReceived() const { return chunksReceived; }
    std::uint32_t ChunksAnnounced() const { return chunksAnnounced; }

    // The map, once Welcome has come (null before). The client's play
    // draws it and never changes it itself: its edits go to the server.
    Map* World() { return map.get(); }
    // The map's checksum now, and the server's at its Farewell.
    std::uint64_t Checksum() { return checksum ? checksum->Value() : 0; }
    bool Farewelled() const { return farewelled; }
    std::uint64_t ServerChecksum() const { return serverChecksum; }

    // Messages for the server.
    static std::vector<std::uint8_t> EditMessage(const VoxelEdit& edit);
    static std::vector<std::uint8_t> PoseMessage(const PlayerPose& pose);
    static std::vector<std::uint8_t> LeavingMessage();

    const std::map<std::uint16_t, OtherPlayer>& Others() const { return others; }
    // Joins and leaves of others, for the log, emptied by taking.
    std::vector<std::string> TakeLog();
    // Edits applied since the last take, for the renderer to redraw.
    std::vector<VoxelEdit> TakeApplied();

private:
    std::string name, password;
    State state = State::Greeting;
    std::string ending;
    bool refused = false;
    RefusalReason refusal = RefusalReason::Full;
    std::uint32_t seed = 0;
    std::uint16_t player = 0;
    bool hasPose = false;
    PlayerPose pose;
    std::uint32_t chunksAnnounced = 0;
    std::size_t chunksReceived = 0;
    std::unique_ptr<Map> map;
    std::unique_ptr<LiveChecksum> checksum;
    bool farewelled = false;
    std::uint64_t serverChecksum = 0;
    std::map<std::uint16_t, OtherPlayer> others;
    std::vector<std::string> log;
    std::vector<VoxelEdit> applied;

    void End(const std::string& why);
    void Take(const Message& m, double now);
};
