// Serve: the server's main loop. Each turn services the network for at
// most a few milliseconds, hands what came to the server's logic, sends what
// it queued, and lets the world keeper commit at its pace.
#include "app/Serve.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <ostream>

#include "app/WorldKeeper.h"
#include "core/ExitStatus.h"
#include "core/Fatal.h"
#include "core/FaultHandler.h"
#include "core/PrintableText.h"
#include "net/Endpoint.h"
#include "net/NetAddress.h"
#include "net/NetLibrary.h"
#include "net/ServerLogic.h"
#include "platform/Clock.h"
#include "platform/FaultSignals.h"
#include "script/ScriptHost.h"
#include "script/Settings.h"
#include "world/BasicMapGenerator.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr int DefaultPlayers = 8;
// Room beyond the player limit for connections that are being refused.
constexpr std::size_t RefusalRoom = 8;
// Each turn waits at most this long for the network.
constexpr std::uint32_t TurnMs = 5;
// At the end, how long the farewells may take to leave.
constexpr auto FarewellTime = std::chrono::seconds(2);

// Processor time per turn, in 10 µs steps up to 50 ms, for the figures the
// server gives when it stops: fixed in size however long it runs.
class TurnTimes {
public:
    void Add(double ms)
    {
        ++counts[std::min(counts.size() - 1, static_cast<std::size_t>(ms * 100))];
        longest = std::max(longest, ms);
        ++turns;
    }
    // The time that `share` of the turns took at most.
    double Quantile(double share) const
    {
        std::uint64_t seen = 0;
        for (std::size_t i = 0; i < counts.size(); ++i)
            if ((seen += counts[i]) >= share * turns)
                return (i + 1) / 100.0;
        return longest;
    }
    std::uint64_t turns = 0;
    double longest = 0;

private:
    std::vector<std::uint64_t> counts = std::vector<std::uint64_t>(5001);
};

double Seconds(Clock::time_point t) { return std::chrono::duration<double>(t.time_since_epoch()).count(); }

// One line to the log, and to the terminal the server was started from.
void Say(std::streambuf* terminal, const std::string& line)
{
    std::cout << line << std::endl;
    if (terminal != nullptr) {
        std::ostream out(terminal);
        out << "Veldmarrow: " << line << std::endl;
    }
}

} // namespace

int Serve(const CommandLine& command, std::streambuf* terminal)
{
    ServerRules rules;
    rules.password = command.hasPassword ? command.password : TextSetting(scriptHost, "serverPassword", "the password");
    const int players = command.players != 0 ? command.players : WholeSetting(scriptHost, "serverPlayers", 1, 256);
    rules.mostPlayers = static_cast<std::size_t>(players != 0 ? players : DefaultPlayers);
    const std::uint16_t port = static_cast<std::uint16_t>(command.port != 0 ? command.port : DefaultPort);

    NetLibrary net;
    if (!net.Ok())
        FatalExit(ExitStatus::NoNetwork, "cannot serve: " + net.Reason());
    std::string reason;
    std::unique_ptr<Endpoint> endpoint = Endpoint::Listen(net, "", port, rules.mostPlayers + RefusalRoom, reason);
    if (!endpoint)
        FatalExit(ExitStatus::NoNetwork, "cannot serve on UDP port " + std::to_string(port) + ": " + reason);

    WorldKeeper keeper;
    keeper.Open(command.worldFile, false, terminal);
    WorldFile& world = *keeper.File();
    const std::uint32_t seed = world.Facts().seed;
    Map map(new BasicMapGenerator(StandardRandom(), seed));
    if (!world.Load(map, reason))
        FatalExit(ExitStatus::BadWorld, reason);
    std::vector<bool> kept = world.StoredSet();
    ServerLogic logic(map, seed, rules, kept, world.NamedPoses());
    Say(terminal, "Serving world " + QuotedName(command.worldFile) + " on UDP port " +
                      std::to_string(endpoint->BoundPort()) + ": seed " + std::to_string(seed) + ", " +
                      std::to_string(world.StoredChunks()) + " changed chunks, at most " +
                      std::to_string(rules.mostPlayers) + " players, " +
                      (rules.password.empty() ? "no password" : "a password asked for"));

    std::map<ENetPeer*, ConnectionId> ids;
    std::map<ConnectionId, ENetPeer*> peers;
    ConnectionId nextId = 1;
    std::vector<NetEvent> events;
    const auto flush = [&] {
        for (const Outgoing& out : logic.TakeOutgoing()) {
            const auto peer = peers.find(out.to);
            std::string why;
            if (peer != peers.end() &&
                !endpoint->Send(peer->second, static_cast<NetChannel>(out.channel), out.bytes.data(), out.bytes.size(),
                                why))
                Say(terminal, "Cannot send to connection " + std::to_string(out.to) + ": " + why);
        }
        for (const Drop& drop : logic.TakeDrops()) {
            const auto peer = peers.find(drop.who);
            Say(terminal, std::string(drop.refused ? "Refused connection " : "Dropped connection ") +
                              std::to_string(drop.who) + ": " + PrintableText(drop.reason));
            if (peer != peers.end())
                endpoint->Disconnect(peer->second);
        }
        for (const std::string& line : logic.TakeLog())
            Say(terminal, line);
        for (const auto& [name, pose] : logic.TakeMovedPoses())
            world.KeepNamedPose(name, pose);
    };
    const auto handle = [&](const NetEvent& e, double now) {
        switch (e.type) {
        case NetEvent::Type::Connect:
            ids[e.peer] = nextId;
            peers[nextId] = e.peer;
            logic.Connected(nextId, now);
            Say(terminal, "Connection " + std::to_string(nextId) + " from " + PeerAddress(e.peer));
            ++nextId;
            break;
        case NetEvent::Type::Receive: {
            const auto id = ids.find(e.peer);
            if (id != ids.end())
                logic.Received(id->second, e.bytes.data(), e.bytes.size(), now);
            break;
        }
        case NetEvent::Type::Disconnect: {
            const auto id = ids.find(e.peer);
            if (id == ids.end())
                break;
            logic.Disconnected(id->second);
            Say(terminal, "Connection " + std::to_string(id->second) + " closed");
            peers.erase(id->second);
            ids.erase(id);
            break;
        }
        }
    };

    TurnTimes times;
    while (QuitSignal() == 0) {
        const double turnBegan = ThreadCpuMilliseconds();
        events.clear();
        if (!endpoint->Service(TurnMs, events, reason))
            Say(terminal, "The network failed: " + reason);
        const double now = Seconds(Clock::now());
        for (const NetEvent& e : events)
            handle(e, now);
        logic.Tick(now);
        flush();
        keeper.AfterPass();
        times.Add(ThreadCpuMilliseconds() - turnBegan);
    }
    char figures[160];
    std::snprintf(figures, sizeof figures,
                  "Server turns: %llu; processor time per turn median %.2f ms, p99 %.2f ms, longest %.2f ms",
                  static_cast<unsigned long long>(times.turns), times.Quantile(0.5), times.Quantile(0.99),
                  times.longest);
    Say(terminal, figures);

    Say(terminal, std::string("Quit on ") + QuitSignalName(QuitSignal()) + ": saying farewell to " +
                      std::to_string(logic.Players()) + " players");
    logic.Stopping();
    flush();
    for (const auto& peer : peers)
        endpoint->Disconnect(peer.second);
    const Clock::time_point until = Clock::now() + FarewellTime;
    while (!ids.empty() && Clock::now() < until) {
        events.clear();
        if (!endpoint->Service(TurnMs, events, reason))
            break;
        for (const NetEvent& e : events)
            handle(e, Seconds(Clock::now()));
        flush();
    }
    Say(terminal, "Server stopped: world checksum " + ChecksumText(logic.Checksum()));
    std::string notSaved;
    const int saved = keeper.Finish(notSaved);
    if (!notSaved.empty())
        TellUser(notSaved);
    return saved;
}
