// ServerLogic: greetings, edits in order, poses passed on, rates kept.
#include "net/ServerLogic.h"

#include <algorithm>
#include <utility>

#include "core/PrintableText.h"
#include "world/ChunkCodec.h"
#include "world/MapChunks.h"

namespace {

// Chunk batches stay well under the largest message: a chunk is stored in
// at most ChunkCodec::MostStored bytes, plus its id and length.
constexpr std::size_t BatchBytes = MostMessageBytes - ChunkCodec::MostStored - 16;

std::string Version(std::uint16_t v) { return std::to_string(v); }

} // namespace

ServerLogic::ServerLogic(Map& served, std::uint32_t seed, const ServerRules& rules, const std::vector<bool>& kept,
                         std::map<std::string, PlayerPose> poses)
    : map(served), seed(seed), rules(rules), checksum(served), poses(std::move(poses)), kept(kept)
{
    this->kept.resize(MapChunks::Count(map), false);
}

void ServerLogic::Connected(ConnectionId who, double now)
{
    Connection c;
    c.connectedAt = now;
    c.lastRefill = now;
    c.poseWindowStart = now;
    c.editTokens = rules.editBurst;
    connections[who] = c;
}

std::size_t ServerLogic::Players() const
{
    return static_cast<std::size_t>(
        std::count_if(connections.begin(), connections.end(), [](const auto& e) { return e.second.playing; }));
}

void ServerLogic::SendTo(ConnectionId who, const Message& m, std::uint8_t channel)
{
    outgoing.push_back({who, channel, Encode(m)});
}

void ServerLogic::SendToPlayers(const Message& m, std::uint8_t channel, ConnectionId except, bool exceptOne)
{
    const std::vector<std::uint8_t> bytes = Encode(m);
    for (const auto& [id, c] : connections)
        if (c.playing && !c.dropped && !(exceptOne && id == except))
            outgoing.push_back({id, channel, bytes});
}

void ServerLogic::SendMoves(ConnectionId who, const std::vector<MovedPlayer>& moves, std::uint8_t channel)
{
    Message m;
    m.type = MessageType::PlayersMoved;
    for (std::size_t first = 0; first < moves.size(); first += MostMovesPerMessage) {
        const std::size_t n = std::min(MostMovesPerMessage, moves.size() - first);
        m.moves.assign(moves.begin() + static_cast<std::ptrdiff_t>(first),
                       moves.begin() + static_cast<std::ptrdiff_t>(first + n));
        SendTo(who, m, channel);
    }
}

void ServerLogic::PassOnPoses(bool all)
{
    std::vector<MovedPlayer> fresh;
    for (auto& [id, c] : connections)
        if (c.playing && !c.dropped && c.hasPose && (c.poseFresh || all)) {
            fresh.push_back({c.player, c.pose});
            c.poseFresh = false;
        }
    if (fresh.empty())
        return;
    std::vector<MovedPlayer> others;
    for (const auto& [id, c] : connections) {
        if (!c.playing || c.dropped)
            continue;
        others.clear();
        for (const MovedPlayer& moved : fresh)
            if (moved.player != c.player)
                others.push_back(moved);
        SendMoves(id, others, PoseChannel);
    }
}

void ServerLogic::Refuse(ConnectionId who, RefusalReason reason, const std::string& text, const std::string& logged)
{
    Message m;
    m.type = MessageType::Refusal;
    m.refusal = reason;
    m.text = text;
    SendTo(who, m);
    Connection& c = connections[who];
    c.dropped = true;
    drops.push_back({who, logged, true});
}

void ServerLogic::DropConnection(ConnectionId who, Connection& c, const std::string& reason)
{
    if (c.dropped)
        return;
    c.dropped = true;
    drops.push_back({who, reason});
}

std::uint16_t ServerLogic::FreePlayerNumber()
{
    for (;;) {
        const std::uint16_t n = nextPlayer++;
        if (nextPlayer == 0)
            nextPlayer = 1;
        if (n == 0)
            continue;
        bool used = false;
        for (const auto& e : connections)
            used |= e.second.playing && e.second.player == n;
        if (!used)
            return n;
    }
}

std::vector<StoredChunk> ServerLogic::ChangedChunks()
{
    std::vector<StoredChunk> chunks;
    std::vector<std::uint8_t> voxels(ChunkVoxels);
    const int count = MapChunks::Count(map);
    for (int i = 0; i < count; ++i)
        if (kept[i] || checksum.Touched(i)) {
            MapChunks::CopyOut(map, i, voxels.data());
            chunks.push_back({static_cast<std::uint16_t>(i), ChunkCodec::Compress(voxels.data())});
        }
    return chunks;
}

void ServerLogic::Greet(ConnectionId who, Connection& c, const std::uint8_t* data, std::size_t size)
{
    std::uint16_t version = 0;
    if (!HelloVersion(data, size, version)) {
        DropConnection(who, c, "its first message is not a Veldmarrow greeting");
        return;
    }
    if (version != ProtocolVersion) {
        Refuse(who, RefusalReason::WrongVersion,
               "the server speaks protocol version " + Version(ProtocolVersion) + ", this program version " +
                   Version(version),
               "protocol version " + Version(version) + ", not " + Version(ProtocolVersion));
        return;
    }
    Message hello;
    std::string why;
    if (!Decode(data, size, Sender::Player, hello, why)) {
        DropConnection(who, c, why);
        return;
    }
    if (!rules.password.empty() && hello.password != rules.password) {
        Refuse(who, RefusalReason::WrongPassword,
               hello.password.empty() ? "the server asks for a password" : "the password is not the server's",
               "a wrong password");
        return;
    }
    if (!PlayerNameAllowed(hello.name)) {
        Refuse(who, RefusalReason::BadName,
               "a name must be 1 to 32 bytes of printable text, without quotes, backslashes or spaces at its ends",
               "a name that is not allowed");
        return;
    }
    for (const auto& e : connections)
        if (e.second.playing && e.second.name == hello.name) {
            Refuse(who, RefusalReason::NameInUse, "a player named " + hello.name + " is playing",
                   "the name " + hello.name + " is in use");
            return;
        }
    if (Players() >= rules.mostPlayers) {
        Refuse(who, RefusalReason::Full, "the server is full (" + std::to_string(rules.mostPlayers) + " players)",
               "the server is full");
        return;
    }

    c.playing = true;
    c.name = hello.name;
    c.player = FreePlayerNumber();
    std::vector<StoredChunk> chunks = ChangedChunks();
    Message welcome;
    welcome.type = MessageType::Welcome;
    welcome.seed = seed;
    welcome.player = c.player;
    welcome.chunkCount = static_cast<std::uint32_t>(chunks.size());
    const auto known = poses.find(c.name);
    welcome.hasPose = known != poses.end();
    if (welcome.hasPose)
        welcome.pose = known->second;
    SendTo(who, welcome);
    Message batch;
    batch.type = MessageType::Chunks;
    std::size_t bytes = 0;
    for (StoredChunk& chunk : chunks) {
        bytes += chunk.stored.size() + 4;
        batch.chunks.push_back(std::move(chunk));
        if (bytes >= BatchBytes) {
            SendTo(who, batch);
            batch.chunks.clear();
            bytes = 0;
        }
    }
    if (!batch.chunks.empty())
        SendTo(who, batch);
    Message ready;
    ready.type = MessageType::Ready;
    ready.checksum = checksum.Value();
    SendTo(who, ready);

    // The newcomer learns who is here, and where; the others learn of it.
    std::vector<MovedPlayer> where;
    for (const auto& [id, other] : connections) {
        if (!other.playing || other.dropped || id == who)
            continue;
        Message joined;
        joined.type = MessageType::PlayerJoined;
        joined.player = other.player;
        joined.name = other.name;
        SendTo(who, joined);
        if (other.hasPose)
            where.push_back({other.player, other.pose});
    }
    SendMoves(who, where, ReliableChannel);
    Message joined;
    joined.type = MessageType::PlayerJoined;
    joined.player = c.player;
    joined.name = c.name;
    SendToPlayers(joined, ReliableChannel, who, true);
    log.push_back("Player joined: " + c.name + " (player " + std::to_string(c.player) + "), " +
                  std::to_string(chunks.size()) + " chunks sent, " + std::to_string(Players()) + " playing");
}

void ServerLogic::Refill(Connection& c, double now)
{
    c.editTokens = std::min(rules.editBurst, c.editTokens + (now - c.lastRefill) * rules.editsPerSecond);
    c.lastRefill = now;
}

void ServerLogic::Apply(const Connection& c, const VoxelEdit& edit)
{
    // A later edit that no longer applies (another player's came first)
    // changes nothing and is not sent.
    if (!ApplyEdit(map, edit))
        return;
    Message applied;
    applied.type = MessageType::EditApplied;
    applied.player = c.player;
    applied.edit = edit;
    SendToPlayers(applied, ReliableChannel);
}

void ServerLogic::Received(ConnectionId who, const std::uint8_t* data, std::size_t size, double now)
{
    const auto found = connections.find(who);
    if (found == connections.end() || found->second.dropped)
        return;
    Connection& c = found->second;
    if (!c.playing) {
        Greet(who, c, data, size);
        return;
    }
    Message m;
    std::string why;
    if (!Decode(data, size, Sender::Player, m, why)) {
        DropConnection(who, c, why);
        return;
    }
    switch (m.type) {
    case MessageType::Hello:
        DropConnection(who, c, "it greeted twice");
        break;
    case MessageType::Edit:
        Refill(c, now);
        if (c.waiting.empty() && c.editTokens >= 1) {
            c.editTokens -= 1;
            Apply(c, m.edit);
        } else if (c.waiting.size() < rules.mostWaitingEdits) {
            c.waiting.push_back(m.edit);
        } else {
            DropConnection(who, c, "it sent edits faster than " + std::to_string(static_cast<int>(rules.editsPerSecond)) +
                                       " a second for too long");
        }
        break;
    case MessageType::Pose: {
        if (now - c.poseWindowStart >= 1) {
            c.poseWindowStart = now;
            c.posesInWindow = 0;
        }
        if (++c.posesInWindow > rules.mostPosesPerSecond) {
            DropConnection(who, c, "it sent more than " + std::to_string(static_cast<int>(rules.mostPosesPerSecond)) +
                                       " poses in a second");
            break;
        }
        c.pose = m.pose;
        c.hasPose = true;
        c.poseFresh = true;
        // A world keeps at most MostNamedPlayers names: past that, a new
        // name plays but is not remembered.
        if (poses.size() < MostNamedPlayers || poses.count(c.name) != 0) {
            poses[c.name] = m.pose;
            moved[c.name] = m.pose;
        }
        break;
    }
    case MessageType::Leaving: {
        Message farewell;
        farewell.type = MessageType::Farewell;
        farewell.checksum = checksum.Value();
        SendTo(who, farewell);
        break; // the player disconnects once it has the farewell
    }
    default:
        break; // Decode accepts nothing else from a player
    }
}

void ServerLogic::Tick(double now)
{
    for (auto& [id, c] : connections) {
        if (c.dropped)
            continue;
        if (!c.playing && now - c.connectedAt > rules.greetingSeconds) {
            DropConnection(id, c, "it did not greet within " + std::to_string(static_cast<int>(rules.greetingSeconds)) +
                                      " seconds");
            continue;
        }
        Refill(c, now);
        while (!c.waiting.empty() && c.editTokens >= 1) {
            c.editTokens -= 1;
            Apply(c, c.waiting.front());
            c.waiting.pop_front();
        }
    }
    if (now >= nextPoses) {
        nextPoses = now + rules.poseInterval;
        PassOnPoses(++posesPassed % rules.allPosesEvery == 0);
    }
}

void ServerLogic::Disconnected(ConnectionId who)
{
    const auto found = connections.find(who);
    if (found == connections.end())
        return;
    Connection c = std::move(found->second);
    connections.erase(found);
    if (!c.playing)
        return;
    // Edits it made count even if it left before they were slowed through;
    // not those of a player dropped for flooding.
    if (!c.dropped)
        for (const VoxelEdit& edit : c.waiting)
            Apply(c, edit);
    Message left;
    left.type = MessageType::PlayerLeft;
    left.player = c.player;
    SendToPlayers(left, ReliableChannel);
    log.push_back("Player left: " + c.name + " (player " + std::to_string(c.player) + "), world checksum " +
                  ChecksumText(checksum.Value()) + ", " + std::to_string(Players()) + " playing");
}

void ServerLogic::Stopping()
{
    Message farewell;
    farewell.type = MessageType::Farewell;
    farewell.checksum = checksum.Value();
    SendToPlayers(farewell, ReliableChannel);
}

std::vector<Outgoing> ServerLogic::TakeOutgoing() { return std::exchange(outgoing, {}); }
std::vector<Drop> ServerLogic::TakeDrops() { return std::exchange(drops, {}); }
std::vector<std::string> ServerLogic::TakeLog() { return std::exchange(log, {}); }
std::map<std::string, PlayerPose> ServerLogic::TakeMovedPoses() { return std::exchange(moved, {}); }
