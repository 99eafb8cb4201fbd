// ClientLogic: the world taken from the server, then its edits applied.
#include "net/ClientLogic.h"

#include <algorithm>
#include <utility>

#include "world/BasicMapGenerator.h"
#include "world/ChunkCodec.h"
#include "world/MapChunks.h"

ClientLogic::ClientLogic(const std::string& name, const std::string& password) : name(name), password(password) {}

std::vector<std::uint8_t> ClientLogic::Hello() const
{
    Message m;
    m.type = MessageType::Hello;
    m.name = name;
    m.password = password;
    return Encode(m);
}

std::vector<std::uint8_t> ClientLogic::EditMessage(const VoxelEdit& edit)
{
    Message m;
    m.type = MessageType::Edit;
    m.edit = edit;
    return Encode(m);
}

std::vector<std::uint8_t> ClientLogic::PoseMessage(const PlayerPose& pose)
{
    Message m;
    m.type = MessageType::Pose;
    m.pose = pose;
    return Encode(m);
}

std::vector<std::uint8_t> ClientLogic::LeavingMessage()
{
    Message m;
    m.type = MessageType::Leaving;
    return Encode(m);
}

bool ClientLogic::StoredPose(PlayerPose& out) const
{
    if (hasPose)
        out = pose;
    return hasPose;
}

void ClientLogic::End(const std::string& why)
{
    if (state == State::Ended)
        return;
    state = State::Ended;
    ending = why;
}

void ClientLogic::Received(const std::uint8_t* data, std::size_t size, double now)
{
    if (state == State::Ended)
        return;
    Message m;
    std::string why;
    if (!Decode(data, size, Sender::Server, m, why)) {
        End("the server sent " + why);
        return;
    }
    Take(m, now);
}

void ClientLogic::Take(const Message& m, double now)
{
    // Poses travel on their own channel and may overtake the world: before
    // play there is nobody to place.
    if (m.type == MessageType::PlayersMoved && state != State::Playing)
        return;
    const bool greeting = state == State::Greeting;
    const bool loading = state == State::Loading;
    if (m.type == MessageType::Refusal) {
        refused = true;
        refusal = m.refusal;
        End("the server refused: " + m.text);
        return;
    }
    if (greeting != (m.type == MessageType::Welcome)) {
        End(greeting ? "the server did not welcome us first" : "the server welcomed us twice");
        return;
    }
    if (loading != (m.type == MessageType::Chunks || m.type == MessageType::Ready) && m.type != MessageType::Farewell) {
        End("the server sent the world out of order");
        return;
    }
    switch (m.type) {
    case MessageType::Welcome:
        if (m.version != ProtocolVersion) {
            End("the server speaks protocol version " + std::to_string(m.version) + ", this program version " +
                std::to_string(ProtocolVersion));
            return;
        }
        seed = m.seed;
        player = m.player;
        hasPose = m.hasPose;
        pose = m.pose;
        chunksAnnounced = m.chunkCount;
        map = std::make_unique<Map>(new BasicMapGenerator(StandardRandom(), seed));
        state = State::Loading;
        break;
    case MessageType::Chunks: {
        std::uint8_t voxels[ChunkVoxels];
        for (const StoredChunk& chunk : m.chunks) {
            std::string why;
            if (chunksReceived >= chunksAnnounced) {
                End("the server sent more chunks than it announced");
                return;
            }
            if (!ChunkCodec::Inflate(chunk.stored.data(), chunk.stored.size(), VoxelTypeCount - 1, voxels, why)) {
                End("the server sent chunk " + std::to_string(chunk.id) + ", which is " + why);
                return;
            }
            MapChunks::CopyIn(*map, chunk.id, voxels);
            ++chunksReceived;
        }
        break;
    }
    case MessageType::Ready:
        if (chunksReceived != chunksAnnounced) {
            End("the server sent " + std::to_string(chunksReceived) + " chunks of the " +
                std::to_string(chunksAnnounced) + " it announced");
            return;
        }
        checksum = std::make_unique<LiveChecksum>(*map);
        if (checksum->Value() != m.checksum) {
            End("the world built from what the server sent differs from the server's (checksum " +
                std::to_string(checksum->Value()) + ", the server's " + std::to_string(m.checksum) + ")");
            return;
        }
        state = State::Playing;
        break;
    case MessageType::EditApplied: {
        ApplyEdit(*map, m.edit);
        applied.push_back(m.edit);
        break;
    }
    case MessageType::PlayerJoined:
        if (m.player == player || others.size() >= 1024) {
            End("the server announced a player it should not");
            return;
        }
        others[m.player].name = m.name;
        log.push_back("Player joined: " + m.name);
        break;
    case MessageType::PlayerLeft: {
        const auto found = others.find(m.player);
        if (found != others.end()) {
            log.push_back("Player left: " + found->second.name);
            others.erase(found);
        }
        break;
    }
    case MessageType::PlayersMoved:
        for (const MovedPlayer& moved : m.moves) {
            // Poses travel unreliably: one for a player not (or no longer)
            // here is late, not wrong.
            const auto found = others.find(moved.player);
            if (found == others.end())
                continue;
            OtherPlayer& o = found->second;
            o.from = o.placed ? o.to : moved.pose;
            if (o.placed)
                o.interval = std::min(0.5, std::max(0.02, now - o.toTime));
            o.to = moved.pose;
            o.toTime = now;
            o.placed = true;
        }
        break;
    case MessageType::Farewell:
        farewelled = true;
        serverChecksum = m.checksum;
        End("the server said farewell");
        break;
    default:
        break;
    }
}

std::vector<std::string> ClientLogic::TakeLog() { return std::exchange(log, {}); }
std::vector<VoxelEdit> ClientLogic::TakeApplied() { return std::exchange(applied, {}); }
