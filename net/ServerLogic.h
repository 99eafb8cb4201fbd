// ServerLogic: what a server does with its players, without a socket.
// Connections are numbers the transport chooses; everything a connection
// sends arrives here as bytes and is decoded and checked before use. The
// server applies edits to its map in the order it receives them and sends
// each, as applied, to every player (the sender too), so every player's map
// stays equal to the server's. What to send and whom to drop are queued for
// the transport to take. Pure: no sockets, no SDL, no OpenGL.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

#include "net/Protocol.h"
#include "world/LiveChecksum.h"
#include "world/Map.h"

using ConnectionId = std::uint32_t;

struct ServerRules {
    std::string password;        // empty: anyone may play
    std::size_t mostPlayers = 8; // players at once
    // Edits a player may make: a steady rate and a burst above it. Past the
    // burst its edits wait (the player is slowed); past mostWaitingEdits
    // waiting, it is dropped.
    double editsPerSecond = 30;
    double editBurst = 60;
    std::size_t mostWaitingEdits = 240;
    double mostPosesPerSecond = 60; // poses are sent at most 20 times a second
    // How often the poses that came are passed on, together: one message
    // per player per interval however many move.
    double poseInterval = 0.05;
    // Every this many intervals, the poses of all players go out, moved or
    // not: one lost on the way (they travel unreliably) is made good.
    int allPosesEvery = 20;
    double greetingSeconds = 5;     // to send Hello after connecting
};

struct Outgoing {
    ConnectionId to;
    std::uint8_t channel;
    std::vector<std::uint8_t> bytes;
};

struct Drop {
    ConnectionId who;
    std::string reason;   // for the server's log
    bool refused = false; // refused at its greeting (rather than dropped)
};

class ServerLogic {
public:
    // Serves `map` (generated from `seed`, with the world's chunks over it).
    // `kept` marks the chunks the world file stores (they may differ from
    // the generated terrain); `poses` the pose each name left with.
    ServerLogic(Map& map, std::uint32_t seed, const ServerRules& rules, const std::vector<bool>& kept,
                std::map<std::string, PlayerPose> poses);

    // A connection opened at `now` (seconds, any steady origin): it has
    // greetingSeconds to send its Hello.
    void Connected(ConnectionId who, double now);
    // `size` bytes came from `who`. Anything malformed drops it.
    void Received(ConnectionId who, const std::uint8_t* data, std::size_t size, double now);
    // The connection closed (or timed out, or was dropped): its player, if
    // any, leaves; the others are told.
    void Disconnected(ConnectionId who);
    // Time passes: slowed edits go on, silent greeters are dropped, the
    // poses that came since the last interval go to the other players.
    void Tick(double now);

    // What to send, in order, and whom to drop (after sending what is
    // queued for them); both emptied by taking.
    std::vector<Outgoing> TakeOutgoing();
    std::vector<Drop> TakeDrops();
    // Lines for the server's log (joins, leaves, refusals), emptied by taking.
    std::vector<std::string> TakeLog();
    // Names whose pose changed since the last take, with the pose.
    std::map<std::string, PlayerPose> TakeMovedPoses();

    // The checksum of the served map now.
    std::uint64_t Checksum() { return checksum.Value(); }
    std::size_t Players() const;
    // Every playing connection gets a Farewell: the server is stopping.
    void Stopping();

private:
    struct Connection {
        bool playing = false;
        std::uint16_t player = 0;
        std::string name;
        double connectedAt = 0;
        double editTokens = 0;
        double lastRefill = 0;
        std::deque<VoxelEdit> waiting;
        double poseWindowStart = 0;
        int posesInWindow = 0;
        bool dropped = false;
        bool hasPose = false;
        bool poseFresh = false; // not yet passed on
        PlayerPose pose;
    };

    Map& map;
    std::uint32_t seed;
    ServerRules rules;
    LiveChecksum checksum;
    std::map<std::string, PlayerPose> poses;
    std::map<std::string, PlayerPose> moved;
    std::map<ConnectionId, Connection> connections;
    std::uint16_t nextPlayer = 1;
    double nextPoses = 0;
    int posesPassed = 0;
    std::vector<Outgoing> outgoing;
    std::vector<Drop> drops;
    std::vector<std::string> log;
    std::vector<bool> kept;

    void Greet(ConnectionId who, Connection& c, const std::uint8_t* data, std::size_t size);
    void Refuse(ConnectionId who, RefusalReason reason, const std::string& text, const std::string& logged);
    void DropConnection(ConnectionId who, Connection& c, const std::string& reason);
    void SendTo(ConnectionId who, const Message& m, std::uint8_t channel = ReliableChannel);
    void SendToPlayers(const Message& m, std::uint8_t channel, ConnectionId except = 0, bool exceptOne = false);
    void SendMoves(ConnectionId who, const std::vector<MovedPlayer>& moves, std::uint8_t channel);
    void PassOnPoses(bool all);
    void Refill(Connection& c, double now);
    void Apply(const Connection& c, const VoxelEdit& edit);
    std::uint16_t FreePlayerNumber();
    std::vector<StoredChunk> ChangedChunks();
};
