#include "net/Endpoint.h"

#include <chrono>
#include <utility>

#include <enet/enet.h>

#include "net/NetAddress.h"
#include "net/NetLibrary.h"
#include "net/Protocol.h"

namespace {

// A peer that stops answering is given up after 3 to 10 seconds (ENet's
// own are 5 to 30): a player sees a crashed server soon, and a server
// frees a vanished player's name soon.
void KeepTimeouts(ENetPeer* peer) { enet_peer_timeout(peer, 0, 3000, 10000); }

constexpr std::size_t ChannelCount = 2;

// ENet's event as ours; a received packet is copied out and destroyed here,
// whatever happens to the copy.
NetEvent Convert(const ENetEvent& e)
{
    NetEvent out;
    out.peer = e.peer;
    switch (e.type) {
    case ENET_EVENT_TYPE_CONNECT:
        out.type = NetEvent::Type::Connect;
        KeepTimeouts(e.peer);
        break;
    case ENET_EVENT_TYPE_DISCONNECT:
        out.type = NetEvent::Type::Disconnect;
        break;
    case ENET_EVENT_TYPE_RECEIVE: {
        const std::unique_ptr<ENetPacket, void (*)(ENetPacket*)> packet(e.packet, enet_packet_destroy);
        out.type = NetEvent::Type::Receive;
        // ENet drops messages on channels beyond the two the connection has.
        out.channel = e.channelID == 0 ? NetChannel::Reliable : NetChannel::Unreliable;
        out.bytes.assign(packet->data, packet->data + packet->dataLength);
        break;
    }
    case ENET_EVENT_TYPE_NONE:
        break;
    }
    return out;
}

bool Usable(const NetLibrary& net, std::string& reason)
{
    if (!net.Ok())
        reason = "the network is not set up: " + net.Reason();
    return net.Ok();
}

// No message of the protocol is larger than MostMessageBytes: ENet refuses
// a larger one, and holds at most a few megabytes of any peer's unfinished
// messages, so no peer grows the program by sending (its defaults are 32 MiB).
void Bound(ENetHost* host)
{
    host->maximumPacketSize = MostMessageBytes;
    host->maximumWaitingData = 4 * 1024 * 1024;
}

} // namespace

std::unique_ptr<Endpoint> Endpoint::Listen(const NetLibrary& net, const std::string& bindHost, std::uint16_t port,
                                           std::size_t peerLimit, std::string& reason)
{
    if (!Usable(net, reason))
        return nullptr;
    if (peerLimit < 1 || peerLimit > ENET_PROTOCOL_MAXIMUM_PEER_ID) {
        reason = "the peer limit is 1 to " + std::to_string(ENET_PROTOCOL_MAXIMUM_PEER_ID);
        return nullptr;
    }
    ENetAddress address{};
    address.host = ENET_HOST_ANY;
    address.port = port;
    if (!bindHost.empty()) {
        HostPort checked;
        if (bindHost.find(':') != std::string::npos) {
            reason = "the address to listen on is given without a port";
            return nullptr;
        }
        if (!ParseHostPort(bindHost, checked, reason))
            return nullptr;
        if (enet_address_set_host(&address, bindHost.c_str()) != 0) {
            reason = "cannot resolve " + bindHost;
            return nullptr;
        }
    }
    ENetHost* host = enet_host_create(&address, peerLimit, ChannelCount, 0, 0);
    if (host == nullptr) {
        reason = "cannot listen on UDP port " + std::to_string(port) + " of " + (bindHost.empty() ? "this machine" : bindHost) +
                 " (in use, or not an address of this machine)";
        return nullptr;
    }
    Bound(host);
    return std::unique_ptr<Endpoint>(new Endpoint(host));
}

std::unique_ptr<Endpoint> Endpoint::Client(const NetLibrary& net, std::string& reason)
{
    if (!Usable(net, reason))
        return nullptr;
    ENetHost* host = enet_host_create(nullptr, 1, ChannelCount, 0, 0);
    if (host == nullptr) {
        reason = "cannot open a UDP socket";
        return nullptr;
    }
    Bound(host);
    return std::unique_ptr<Endpoint>(new Endpoint(host));
}

Endpoint::~Endpoint()
{
    StopAside();
    enet_host_destroy(host);
}

bool Endpoint::ServiceInto(std::uint32_t timeoutMs, std::vector<NetEvent>& events)
{
    ENetEvent e;
    int found = enet_host_service(host, &e, timeoutMs);
    // Then what has arrived already, without reading the socket again: a
    // flood of messages cannot keep the caller here.
    while (found > 0) {
        events.push_back(Convert(e));
        found = enet_host_check_events(host, &e);
    }
    return found >= 0;
}

void Endpoint::StartAside()
{
    if (aside.joinable())
        return;
    asideStop = false;
    aside = std::thread([this] {
        std::size_t bytes = 0;
        while (!asideStop && bytes <= MostAsideBytes) {
            const std::size_t before = pending.size();
            if (!ServiceInto(10, pending)) {
                asideFailed = true;
                return;
            }
            for (std::size_t i = before; i < pending.size(); ++i)
                bytes += pending[i].bytes.size();
        }
    });
}

void Endpoint::StopAside()
{
    if (!aside.joinable())
        return;
    asideStop = true;
    aside.join();
}

std::uint16_t Endpoint::BoundPort() const
{
    ENetAddress address{};
    return enet_socket_get_address(host->socket, &address) == 0 ? address.port : 0;
}

ENetPeer* Endpoint::Connect(const std::string& hostPort, std::uint32_t timeoutMs, std::string& reason)
{
    StopAside();
    HostPort where;
    if (!ParseHostPort(hostPort, where, reason))
        return nullptr;
    ENetAddress address{};
    if (enet_address_set_host(&address, where.host.c_str()) != 0) {
        reason = "cannot resolve " + where.host;
        return nullptr;
    }
    address.port = where.port;
    const std::string server = where.host + ":" + std::to_string(where.port);
    ENetPeer* peer = enet_host_connect(host, &address, ChannelCount, 0);
    if (peer == nullptr) {
        reason = "no free connection to reach " + server + " with";
        return nullptr;
    }
    KeepTimeouts(peer);
    using Clock = std::chrono::steady_clock;
    const Clock::time_point deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (Clock::time_point now = Clock::now(); now < deadline; now = Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
        ENetEvent e;
        const int found = enet_host_service(host, &e, static_cast<enet_uint32>(left));
        if (found < 0) {
            enet_peer_reset(peer);
            reason = "the socket failed while connecting to " + server;
            return nullptr;
        }
        if (found == 0)
            continue;
        if (e.peer == peer && e.type == ENET_EVENT_TYPE_CONNECT)
            return peer;
        if (e.peer == peer && e.type == ENET_EVENT_TYPE_DISCONNECT) {
            reason = server + " did not answer (no server there, or it is full)";
            return nullptr;
        }
        pending.push_back(Convert(e));
    }
    enet_peer_reset(peer);
    reason = "no answer from " + server + " within " + std::to_string(timeoutMs) + " ms";
    return nullptr;
}

bool Endpoint::Send(ENetPeer* peer, NetChannel channel, const void* data, std::size_t size, std::string& reason)
{
    StopAside();
    if (peer == nullptr || peer->host != host || peer->state != ENET_PEER_STATE_CONNECTED) {
        reason = "the peer is not connected";
        return false;
    }
    if (size > host->maximumPacketSize) {
        reason = "a message of " + std::to_string(size) + " bytes is larger than the " +
                 std::to_string(host->maximumPacketSize) + " ENet sends";
        return false;
    }
    const enet_uint32 flags = channel == NetChannel::Reliable ? ENET_PACKET_FLAG_RELIABLE : 0;
    ENetPacket* packet = enet_packet_create(data, size, flags);
    if (packet == nullptr) {
        reason = "out of memory for a message of " + std::to_string(size) + " bytes";
        return false;
    }
    if (enet_peer_send(peer, static_cast<enet_uint8>(channel), packet) != 0) {
        // Not queued, so still ours.
        enet_packet_destroy(packet);
        reason = "ENet did not take a message of " + std::to_string(size) + " bytes";
        return false;
    }
    return true;
}

bool Endpoint::Service(std::uint32_t timeoutMs, std::vector<NetEvent>& events, std::string& reason)
{
    StopAside();
    if (asideFailed) {
        reason = "the socket failed";
        return false;
    }
    // What Connect set aside comes first, and then nothing is waited for.
    const bool havePending = !pending.empty();
    for (NetEvent& e : pending)
        events.push_back(std::move(e));
    pending.clear();
    if (!ServiceInto(havePending ? 0 : timeoutMs, events)) {
        reason = "the socket failed";
        return false;
    }
    return true;
}

void Endpoint::Disconnect(ENetPeer* peer)
{
    StopAside();
    if (peer != nullptr && peer->host == host)
        enet_peer_disconnect_later(peer, 0);
}

void Endpoint::Traffic(std::uint64_t& sent, std::uint64_t& received) const
{
    sent = host->totalSentData;
    received = host->totalReceivedData;
}

std::string PeerAddress(const ENetPeer* peer)
{
    char name[64] = "";
    if (enet_address_get_host_ip(&peer->address, name, sizeof name) != 0)
        return "an unknown address";
    return std::string(name) + ":" + std::to_string(peer->address.port);
}
