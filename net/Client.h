// Client: a player joined to a server, the connection (an Endpoint) and the
// player's side of the protocol (ClientLogic) together. Joining waits for
// the server, within bounds; play then never waits for the network: each
// pass sends what it has and takes what has come.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "net/ClientLogic.h"
#include "net/NetAddress.h"

class Endpoint;
class NetLibrary;
typedef struct _ENetPeer ENetPeer;

// Another player where play should draw it now.
struct OtherBody {
    std::uint16_t player;
    PlayerPose pose; // moved smoothly between the last two the server sent
};

class Client {
public:
    // For joining `server` as `name`, giving `password`.
    Client(const NetLibrary& net, const HostPort& server, const std::string& name, const std::string& password);
    ~Client();
    Client(const Client&) = delete;
    Client& operator=(const Client&) = delete;

    // Connects, greets and takes the world (again, after a lost connection:
    // the world in play before is then gone): true once it is built and
    // agrees with the server's checksum. False with the reason, and
    // `refused` when the server refused (otherwise it could not be reached,
    // fell silent for `silenceMs`, or sent something wrong).
    bool Join(std::uint32_t silenceMs, std::string& reason, bool& refused);
    // Work ahead that keeps play from pumping for seconds (building what
    // draws the world): the connection is kept alive by a thread of its
    // own until the next Pump, so that the server does not give it up.
    void KeepAliveUntilPump();

    // The world in play (the client's: play never changes it, the server's
    // edits do), its seed, and the pose the server kept for the name.
    Map* World() { return logic->World(); }
    std::uint32_t Seed() const { return logic->Seed(); }
    bool StoredPose(PlayerPose& pose) const { return logic->StoredPose(pose); }
    std::uint16_t Player() const { return logic->Player(); }
    std::size_t ChunksReceived() const { return logic->ChunksReceived(); }

    // An edit play asks for: sent at the next Pump; made when the server
    // sends it back.
    void Request(const VoxelEdit& edit);
    // Once a pass: sends the queued edits and the pose (at most 20 times a
    // second, when it changed), applies what the server sent. False once
    // the session has ended, with the reason in `ending` and `farewell`
    // when it was the server's own farewell (it stopped).
    bool Pump(const PlayerPose& pose, std::string& ending, bool& farewell);
    // The other players, placed for this moment.
    std::vector<OtherBody> Others() const;
    // Bytes sent to and received from the server so far.
    void Traffic(std::uint64_t& sent, std::uint64_t& received) const;
    // Lines for the log (others joining and leaving), emptied by taking.
    std::vector<std::string> TakeLog() { return logic->TakeLog(); }

    // Ends the session: tells the server, waits up to `waitMs` for its
    // farewell, and says in `line` whether the world checksums agree.
    void Leave(std::uint32_t waitMs, std::string& line);

private:
    const NetLibrary& net;
    HostPort server;
    std::string name, password;
    std::unique_ptr<ClientLogic> logic;
    std::unique_ptr<Endpoint> endpoint;
    ENetPeer* peer = nullptr;
    std::vector<VoxelEdit> requests;
    PlayerPose lastSent;
    bool sentPose = false;
    double lastPoseAt = -1;
    bool connectionLost = false;

    // Takes the network's events into the logic; false when the
    // connection closed or the socket failed (`why` says).
    // `aside`: the endpoint is kept alive while the events are taken.
    bool Take(std::uint32_t waitMs, std::string& why, bool aside = false);
};
