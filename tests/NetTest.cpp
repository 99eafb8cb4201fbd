// The network's transport: addresses as players type them, and a server
// and a client that meet over loopback UDP through ENet.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <thread>
#include <vector>

#include "net/Endpoint.h"
#include "net/NetAddress.h"
#include "net/NetLibrary.h"

namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

// Generous: the exchange takes milliseconds, but a loaded machine under
// sanitizers, emulation or Wine can stall for seconds.
constexpr std::chrono::seconds Deadline{20};
constexpr std::uint32_t TimeoutMs = 20000;

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// A thread that is joined however the test leaves its scope.
struct JoinedThread {
    std::thread thread;
    ~JoinedThread()
    {
        if (thread.joinable())
            thread.join();
    }
};

} // namespace

TEST(NetAddress, HostAndPortAreCheckedBeforeUse)
{
    HostPort hp;
    std::string reason;
    ASSERT_TRUE(ParseHostPort("127.0.0.1:4000", hp, reason)) << reason;
    EXPECT_EQ(hp.host, "127.0.0.1");
    EXPECT_EQ(hp.port, 4000);
    ASSERT_TRUE(ParseHostPort("localhost", hp, reason)) << reason;
    EXPECT_EQ(hp.host, "localhost");
    EXPECT_EQ(hp.port, DefaultPort);
    ASSERT_TRUE(ParseHostPort("game-1.example.org:65535", hp, reason)) << reason;
    EXPECT_EQ(hp.host, "game-1.example.org");
    EXPECT_EQ(hp.port, 65535);
    ASSERT_TRUE(ParseHostPort("0.0.0.0:1", hp, reason)) << reason;
    EXPECT_EQ(hp.port, 1);
    ASSERT_TRUE(ParseHostPort(std::string(63, 'a') + ".b", hp, reason)) << reason;

    const std::string refused[] = {
        "", ":4000", "host:", "host:0", "host:65536", "host:99999999999", "host:+80", "host:-1", "host:80a",
        "host: 80", "host:080", "::1", "[::1]:80", "host:80:90", "256.0.0.1", "1.2.3", "1.2.3.4.5", "01.2.3.4",
        "1.2.3.4.", ".host", "a..b", "-host", "host-", "a b", "h\xc3\xa9te", "host\n", "host/x", "1.2.3.-4",
        std::string(64, 'a') + ".b", std::string(126, 'a') + "." + std::string(126, 'b') + ".c",
        std::string("ho\0st", 5)};
    for (const std::string& text : refused) {
        HostPort untouched;
        untouched.host = "kept";
        reason.clear();
        EXPECT_FALSE(ParseHostPort(text, untouched, reason)) << "accepted \"" << text << "\"";
        EXPECT_FALSE(reason.empty()) << "no reason for \"" << text << "\"";
        EXPECT_EQ(untouched.host, "kept") << text;
    }
}

TEST(NetTransport, ClientAndServerExchangeMessagesAndPartCleanly)
{
    NetLibrary net;
    ASSERT_TRUE(net.Ok()) << net.Reason();
    NetLibrary second;
    EXPECT_FALSE(second.Ok());
    EXPECT_FALSE(second.Reason().empty());

    std::string reason;
    auto server = Endpoint::Listen(net, "127.0.0.1", 0, 4, reason);
    ASSERT_NE(server, nullptr) << reason;
    const std::uint16_t port = server->BoundPort();
    ASSERT_NE(port, 0);
    auto client = Endpoint::Client(net, reason);
    ASSERT_NE(client, nullptr) << reason;

    // Larger than one datagram, every byte value: fragments reassembled whole.
    Bytes reliable(3000);
    for (std::size_t i = 0; i < reliable.size(); ++i)
        reliable[i] = static_cast<std::uint8_t>(i * 7 + 3);
    const Bytes unreliable = Text("position 12 34 56");
    const Bytes reply = Text("got it");

    // The server on a thread of its own, as it would be in another process:
    // it answers the reliable message and runs until the client has left.
    struct {
        bool connected = false, disconnected = false, replied = false;
        Bytes reliable;
        std::vector<Bytes> unreliable;
        std::string error;
    } seen;
    const Clock::time_point deadline = Clock::now() + Deadline;
    JoinedThread serverSide{std::thread([&] {
        std::vector<NetEvent> events;
        while (!seen.disconnected && Clock::now() < deadline) {
            events.clear();
            if (!server->Service(10, events, seen.error))
                return;
            for (NetEvent& e : events) {
                if (e.type == NetEvent::Type::Connect) {
                    seen.connected = true;
                } else if (e.type == NetEvent::Type::Disconnect) {
                    seen.disconnected = true;
                } else if (e.channel == NetChannel::Unreliable) {
                    seen.unreliable.push_back(e.bytes);
                } else {
                    seen.reliable = e.bytes;
                    seen.replied = server->Send(e.peer, NetChannel::Reliable, reply.data(), reply.size(), seen.error);
                }
            }
        }
    })};

    ENetPeer* peer = client->Connect("127.0.0.1:" + std::to_string(port), TimeoutMs, reason);
    ASSERT_NE(peer, nullptr) << reason;
    ASSERT_TRUE(client->Send(peer, NetChannel::Reliable, reliable.data(), reliable.size(), reason)) << reason;
    ASSERT_TRUE(client->Send(peer, NetChannel::Unreliable, unreliable.data(), unreliable.size(), reason)) << reason;

    Bytes answer;
    bool left = false;
    std::vector<NetEvent> events;
    while (!left && Clock::now() < deadline) {
        events.clear();
        ASSERT_TRUE(client->Service(10, events, reason)) << reason;
        for (NetEvent& e : events) {
            EXPECT_EQ(e.peer, peer);
            if (e.type == NetEvent::Type::Receive) {
                EXPECT_EQ(e.channel, NetChannel::Reliable);
                answer = e.bytes;
                client->Disconnect(peer);
            } else if (e.type == NetEvent::Type::Disconnect) {
                left = true;
            }
        }
    }
    serverSide.thread.join();

    EXPECT_EQ(answer, reply);
    EXPECT_TRUE(left) << "the client's disconnection was not confirmed in time";
    EXPECT_TRUE(seen.connected);
    EXPECT_EQ(seen.reliable, reliable);
    EXPECT_TRUE(seen.replied) << seen.error;
    EXPECT_TRUE(seen.disconnected) << "the server did not see the client leave";
    EXPECT_TRUE(seen.error.empty()) << seen.error;
    // Unreliable messages may be lost, but one that comes is whole.
    for (const Bytes& b : seen.unreliable)
        EXPECT_EQ(b, unreliable);

    // Gone now: sending to it is refused, not queued.
    EXPECT_FALSE(client->Send(peer, NetChannel::Reliable, reply.data(), reply.size(), reason));
}
