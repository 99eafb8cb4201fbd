// Endpoint: one ENet host, a server's that listens or a client's that
// connects, and the events its service hands back. Every connection has two
// channels; ENet's packets stay inside: bytes go in and bytes come out.
#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

class NetLibrary;
// ENet's own names, declared here so that including this header does not
// bring in ENet's (on Windows, the system's socket) headers.
typedef struct _ENetHost ENetHost;
typedef struct _ENetPeer ENetPeer;

// The channels of every connection.
enum class NetChannel : std::uint8_t {
    Reliable = 0,   // delivered, in the order sent
    Unreliable = 1, // may be lost; a message older than one delivered is dropped
};

// What a service of an endpoint found. The peer is valid from its Connect
// event (or from Connect) to its Disconnect event, after which ENet reuses
// it for another connection.
struct NetEvent {
    enum class Type { Connect, Receive, Disconnect };
    Type type = Type::Connect;
    ENetPeer* peer = nullptr;
    NetChannel channel = NetChannel::Reliable; // Receive: the channel it came on
    std::vector<std::uint8_t> bytes;           // Receive: the message
};

class Endpoint {
public:
    // A server's endpoint on UDP `port` (0: any free one, BoundPort() then
    // says which) of the local IPv4 address `bindHost` ("" for all of this
    // machine's), taking up to `peerLimit` (1 to 4095) connections; null with
    // the reason when it cannot be had.
    static std::unique_ptr<Endpoint> Listen(const NetLibrary& net, const std::string& bindHost, std::uint16_t port,
                                            std::size_t peerLimit, std::string& reason);
    // A client's endpoint for one connection, from any free local port; null
    // with the reason when it cannot be had.
    static std::unique_ptr<Endpoint> Client(const NetLibrary& net, std::string& reason);
    // Drops every connection at once (the peers are not told) and frees the socket.
    ~Endpoint();
    Endpoint(const Endpoint&) = delete;
    Endpoint& operator=(const Endpoint&) = delete;

    // The UDP port the endpoint's socket is bound to (a client's: 0 until it
    // has sent), read from the socket itself.
    std::uint16_t BoundPort() const;

    // Connects to "HOST[:PORT]" (see ParseHostPort), waiting up to
    // `timeoutMs` for the server to accept; the peer, or null with the
    // reason. Events for other peers that arrive meanwhile wait for Service.
    ENetPeer* Connect(const std::string& hostPort, std::uint32_t timeoutMs, std::string& reason);

    // Queues `size` bytes of `data` to `peer` on `channel`; they leave at the
    // next Service. False with the reason when the peer is not connected or
    // the message is larger than ENet sends.
    bool Send(ENetPeer* peer, NetChannel channel, const void* data, std::size_t size, std::string& reason);

    // Sends what is queued and waits up to `timeoutMs` for events, then
    // appends to `events` every event that has arrived (none when the time
    // ran out); false with the reason when the socket failed.
    bool Service(std::uint32_t timeoutMs, std::vector<NetEvent>& events, std::string& reason);

    // Bytes this endpoint has sent and received since it was made, ENet's
    // headers included (not to be asked while a thread services it aside).
    void Traffic(std::uint64_t& sent, std::uint64_t& received) const;

    // For work that keeps the owner from servicing for seconds (building a
    // world): until StopAside, a thread of its own services the endpoint,
    // acknowledging what arrives so that the other side does not give the
    // connection up, and keeps the events for the next Service (at most
    // MostAsideBytes of messages: past that it stops taking them). Nothing
    // else may use the endpoint meanwhile.
    void StartAside();
    void StopAside();
    static constexpr std::size_t MostAsideBytes = 16u << 20;

    // Asks `peer` (one of this endpoint's) to end its connection once what is
    // queued for it is sent; its Disconnect event comes from a later Service.
    void Disconnect(ENetPeer* peer);

private:
    explicit Endpoint(ENetHost* created) : host(created) {}
    // One service: sends, waits up to `timeoutMs`, appends what arrived;
    // false when the socket failed.
    bool ServiceInto(std::uint32_t timeoutMs, std::vector<NetEvent>& events);
    ENetHost* host;
    std::vector<NetEvent> pending; // arrived while Connect waited, or aside
    std::thread aside;
    std::atomic<bool> asideStop{false};
    bool asideFailed = false; // the socket failed aside: written by that thread, read after joining it
};

// "a.b.c.d:port" of `peer`, for the log.
std::string PeerAddress(const ENetPeer* peer);
