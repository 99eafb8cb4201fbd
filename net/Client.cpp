// Client: joining within bounds, then passes that never wait.
#include "net/Client.h"

#include <algorithm>
#include <chrono>

#include "core/PrintableText.h"
#include "net/Endpoint.h"
#include "net/NetLibrary.h"

namespace {

using Clock = std::chrono::steady_clock;

double Now() { return std::chrono::duration<double>(Clock::now().time_since_epoch()).count(); }

// How long ENet may take to have the server accept the connection.
constexpr std::uint32_t ConnectMs = 5000;
// Poses leave at most this often, and an unchanged one again this often,
// so that one lost on the way is made good.
constexpr double PoseInterval = 0.05;
constexpr double PoseRepeat = 1;

float Between(float a, float b, float t) { return a + (b - a) * t; }

// The shorter way round from one yaw to the next.
float YawBetween(float a, float b, float t)
{
    float d = b - a;
    if (d > 180)
        d -= 360;
    else if (d < -180)
        d += 360;
    float yaw = a + d * t;
    return yaw < 0 ? yaw + 360 : yaw >= 360 ? yaw - 360 : yaw;
}

} // namespace

Client::Client(const NetLibrary& net, const HostPort& server, const std::string& name, const std::string& password)
    : net(net), server(server), name(name), password(password), logic(std::make_unique<ClientLogic>(name, password))
{
}

Client::~Client() = default;

bool Client::Take(std::uint32_t waitMs, std::string& why, bool aside)
{
    std::vector<NetEvent> events;
    if (!endpoint->Service(waitMs, events, why))
        return false;
    // Taking the world builds it, which takes seconds on a slow machine.
    if (aside)
        endpoint->StartAside();
    for (const NetEvent& e : events) {
        if (e.peer != peer)
            continue;
        if (e.type == NetEvent::Type::Receive)
            logic->Received(e.bytes.data(), e.bytes.size(), Now());
        else if (e.type == NetEvent::Type::Disconnect) {
            connectionLost = true;
            why = "the server closed the connection";
            return false;
        }
    }
    return true;
}

bool Client::Join(std::uint32_t silenceMs, std::string& reason, bool& refused)
{
    refused = false;
    // A join after a lost connection starts afresh: a new world, a new socket.
    if (endpoint) {
        peer = nullptr;
        endpoint.reset();
        logic = std::make_unique<ClientLogic>(name, password);
        requests.clear();
        sentPose = false;
        connectionLost = false;
    }
    const std::string where = server.host + ":" + std::to_string(server.port);
    endpoint = Endpoint::Client(net, reason);
    if (!endpoint)
        return false;
    peer = endpoint->Connect(where, ConnectMs, reason);
    if (peer == nullptr) {
        reason = "cannot reach the server at " + where + ": " + reason;
        return false;
    }
    const std::vector<std::uint8_t> hello = logic->Hello();
    if (!endpoint->Send(peer, NetChannel::Reliable, hello.data(), hello.size(), reason))
        return false;
    std::size_t heard = 0;
    Clock::time_point lastHeard = Clock::now();
    while (logic->Now() != ClientLogic::State::Playing) {
        std::string why;
        const bool open = Take(20, why, true);
        if (logic->Now() == ClientLogic::State::Ended) {
            refused = logic->Refused();
            reason = "the server at " + where + (refused ? " refused: " : " ") +
                     (refused ? logic->Ending().substr(std::string("the server refused: ").size()) : logic->Ending());
            return false;
        }
        if (!open) {
            reason = "the server at " + where + " ended the session while joining: " + why;
            return false;
        }
        // Each chunk batch that comes counts as the server speaking.
        const std::size_t now = logic->ChunksReceived() + (logic->Now() == ClientLogic::State::Greeting ? 0 : 1);
        if (now != heard) {
            heard = now;
            lastHeard = Clock::now();
        }
        if (Clock::now() - lastHeard > std::chrono::milliseconds(silenceMs)) {
            reason = "the server at " + where + " fell silent for " + std::to_string(silenceMs / 1000) +
                     " seconds while " + (logic->Now() == ClientLogic::State::Greeting ? "greeting" : "sending the world");
            return false;
        }
    }
    endpoint->StopAside(); // built: the caller services it again
    return true;
}

void Client::KeepAliveUntilPump()
{
    if (endpoint)
        endpoint->StartAside();
}

void Client::Traffic(std::uint64_t& sent, std::uint64_t& received) const
{
    sent = received = 0;
    if (endpoint)
        endpoint->Traffic(sent, received);
}

void Client::Request(const VoxelEdit& edit) { requests.push_back(edit); }

bool Client::Pump(const PlayerPose& pose, std::string& ending, bool& farewell)
{
    farewell = false;
    std::string why;
    for (const VoxelEdit& edit : requests) {
        const std::vector<std::uint8_t> bytes = ClientLogic::EditMessage(edit);
        endpoint->Send(peer, NetChannel::Reliable, bytes.data(), bytes.size(), why);
    }
    requests.clear();
    const double now = Now();
    const bool changed = !sentPose || !(pose == lastSent);
    if (now - lastPoseAt >= (changed ? PoseInterval : PoseRepeat)) {
        const std::vector<std::uint8_t> bytes = ClientLogic::PoseMessage(pose);
        endpoint->Send(peer, NetChannel::Unreliable, bytes.data(), bytes.size(), why);
        lastSent = pose;
        sentPose = true;
        lastPoseAt = now;
    }
    const bool open = Take(0, why);
    if (logic->Now() == ClientLogic::State::Ended) {
        farewell = logic->Farewelled();
        ending = farewell ? "the server stopped: world checksum " + ChecksumText(logic->Checksum()) +
                                ", the server's " + ChecksumText(logic->ServerChecksum())
                          : logic->Ending();
        return false;
    }
    if (!open) {
        ending = "the connection to the server was lost: " + why;
        return false;
    }
    return true;
}

std::vector<OtherBody> Client::Others() const
{
    const double now = Now();
    std::vector<OtherBody> bodies;
    for (const auto& [id, o] : logic->Others()) {
        if (!o.placed)
            continue;
        // From the last pose to the newest over the time they came apart,
        // so the body arrives as the next one is due.
        const float t = static_cast<float>(std::min(1.0, std::max(0.0, (now - o.toTime) / o.interval)));
        OtherBody b{id, o.to};
        for (int i = 0; i < 3; ++i)
            b.pose.position[i] = Between(o.from.position[i], o.to.position[i], t);
        b.pose.yaw = YawBetween(o.from.yaw, o.to.yaw, t);
        b.pose.pitch = Between(o.from.pitch, o.to.pitch, t);
        bodies.push_back(b);
    }
    return bodies;
}

void Client::Leave(std::uint32_t waitMs, std::string& line)
{
    if (!endpoint || peer == nullptr)
        return;
    std::string why;
    if (!connectionLost && logic->Now() == ClientLogic::State::Playing) {
        const std::vector<std::uint8_t> bytes = ClientLogic::LeavingMessage();
        endpoint->Send(peer, NetChannel::Reliable, bytes.data(), bytes.size(), why);
        const Clock::time_point until = Clock::now() + std::chrono::milliseconds(waitMs);
        while (logic->Now() == ClientLogic::State::Playing && Clock::now() < until && Take(20, why)) {
        }
    }
    const std::uint64_t mine = logic->Checksum();
    if (logic->Farewelled())
        line = "Left the server: world checksum " + ChecksumText(mine) + ", the server's " +
               ChecksumText(logic->ServerChecksum()) + (mine == logic->ServerChecksum() ? " (equal)" : " (DIFFERENT)");
    else
        line = "Left the server without its farewell: world checksum " + ChecksumText(mine);
    if (!connectionLost) {
        endpoint->Disconnect(peer);
        // Let the disconnection leave; the server times the peer out anyway.
        const Clock::time_point until = Clock::now() + std::chrono::milliseconds(500);
        while (Clock::now() < until && Take(20, why)) {
        }
    }
}
