// Protocol: each message is its type byte and its fields in order,
// little-endian, written by ByteWriter and read back by ByteReader, which
// fails on the first read past the end.
#include "net/Protocol.h"

#include "core/ByteFields.h"
#include "core/PrintableText.h"
#include "world/ChunkCodec.h"
#include "world/MapDimensions.h"
#include "world/VoxelType.h"

namespace {

const std::uint8_t Magic[4] = {'V', 'L', 'D', 'M'};

void Text(ByteWriter& out, const std::string& text)
{
    out.U8(static_cast<std::uint8_t>(text.size()));
    out.Bytes(text.data(), text.size());
}

bool ReadText(ByteReader& in, std::size_t most, std::string& text)
{
    const std::size_t n = in.U8();
    const std::uint8_t* bytes = in.Take(n);
    if (!in.Ok() || n > most)
        return false;
    text.assign(reinterpret_cast<const char*>(bytes), n);
    return true;
}

void WriteEdit(ByteWriter& out, const VoxelEdit& edit)
{
    out.U8(static_cast<std::uint8_t>(edit.kind));
    out.U16(edit.x);
    out.U16(edit.y);
    out.U16(edit.z);
    out.U8(edit.type);
}

bool ReadEdit(ByteReader& in, VoxelEdit& edit, std::string& reason)
{
    const std::uint8_t kind = in.U8();
    edit.x = in.U16();
    edit.y = in.U16();
    edit.z = in.U16();
    edit.type = in.U8();
    if (!in.Ok()) {
        reason = "the edit is cut short";
        return false;
    }
    if (kind < static_cast<std::uint8_t>(EditKind::Dig) || kind > static_cast<std::uint8_t>(EditKind::Remove)) {
        reason = "edit of unknown kind " + std::to_string(kind);
        return false;
    }
    edit.kind = static_cast<EditKind>(kind);
    if (edit.x >= MapWidth || edit.y >= MapDepth || edit.z >= MapHeight) {
        reason = "edit at (" + std::to_string(edit.x) + ", " + std::to_string(edit.y) + ", " + std::to_string(edit.z) +
                 ") outside the map";
        return false;
    }
    const bool placing = edit.kind == EditKind::Place;
    if (placing ? (edit.type == Air || edit.type >= VoxelTypeCount) : edit.type != 0) {
        reason = "edit with voxel type " + std::to_string(edit.type) + ", which " +
                 (placing ? "cannot be placed" : "a dig or removal does not carry");
        return false;
    }
    return true;
}

bool Fail(std::string& reason, const std::string& why)
{
    reason = why;
    return false;
}

// Which side may send a type; false for a type no side sends.
bool SentBy(std::uint8_t type, Sender& sender)
{
    if (type >= static_cast<std::uint8_t>(MessageType::Hello) && type <= static_cast<std::uint8_t>(MessageType::Leaving))
        sender = Sender::Player;
    else if (type >= static_cast<std::uint8_t>(MessageType::Welcome) &&
             type <= static_cast<std::uint8_t>(MessageType::Farewell))
        sender = Sender::Server;
    else
        return false;
    return true;
}

} // namespace

std::vector<std::uint8_t> Encode(const Message& m)
{
    ByteWriter out;
    out.U8(static_cast<std::uint8_t>(m.type));
    switch (m.type) {
    case MessageType::Hello:
        out.Bytes(Magic, sizeof Magic);
        out.U16(m.version);
        Text(out, m.name);
        Text(out, m.password);
        break;
    case MessageType::Edit:
        WriteEdit(out, m.edit);
        break;
    case MessageType::Pose:
        WritePose(out, m.pose);
        break;
    case MessageType::Leaving:
        break;
    case MessageType::Welcome:
        out.U16(m.version);
        out.U32(m.seed);
        out.U16(m.player);
        out.U32(m.chunkCount);
        out.U8(m.hasPose ? 1 : 0);
        if (m.hasPose)
            WritePose(out, m.pose);
        break;
    case MessageType::Refusal:
        out.U8(static_cast<std::uint8_t>(m.refusal));
        out.U16(m.version);
        Text(out, m.text);
        break;
    case MessageType::Chunks:
        out.U16(static_cast<std::uint16_t>(m.chunks.size()));
        for (const StoredChunk& chunk : m.chunks) {
            out.U16(chunk.id);
            out.U16(static_cast<std::uint16_t>(chunk.stored.size()));
            out.Bytes(chunk.stored.data(), chunk.stored.size());
        }
        break;
    case MessageType::Ready:
    case MessageType::Farewell:
        out.U64(m.checksum);
        break;
    case MessageType::EditApplied:
        out.U16(m.player);
        WriteEdit(out, m.edit);
        break;
    case MessageType::PlayerJoined:
        out.U16(m.player);
        Text(out, m.name);
        break;
    case MessageType::PlayerLeft:
        out.U16(m.player);
        break;
    case MessageType::PlayersMoved:
        out.U8(static_cast<std::uint8_t>(m.moves.size()));
        for (const MovedPlayer& moved : m.moves) {
            out.U16(moved.player);
            WritePose(out, moved.pose);
        }
        break;
    }
    return std::move(out.bytes);
}

bool HelloVersion(const std::uint8_t* data, std::size_t size, std::uint16_t& version)
{
    ByteReader in(data, size);
    const std::uint8_t type = in.U8();
    const std::uint8_t* magic = in.Take(sizeof Magic);
    version = in.U16();
    for (std::size_t i = 0; in.Ok() && i < sizeof Magic; ++i)
        if (magic[i] != Magic[i])
            return false;
    return in.Ok() && type == static_cast<std::uint8_t>(MessageType::Hello);
}

bool Decode(const std::uint8_t* data, std::size_t size, Sender from, Message& m, std::string& reason)
{
    if (size == 0)
        return Fail(reason, "an empty message");
    if (size > MostMessageBytes)
        return Fail(reason, "a message of " + std::to_string(size) + " bytes, above the " +
                                std::to_string(MostMessageBytes) + " allowed");
    ByteReader in(data, size);
    const std::uint8_t type = in.U8();
    Sender sender;
    if (!SentBy(type, sender))
        return Fail(reason, "a message of unknown type " + std::to_string(type));
    if (sender != from)
        return Fail(reason, "a message of type " + std::to_string(type) + " that only the " +
                                (sender == Sender::Server ? "server" : "players") + " may send");
    m = Message();
    m.type = static_cast<MessageType>(type);
    std::string why;
    switch (m.type) {
    case MessageType::Hello: {
        if (!HelloVersion(data, size, m.version))
            return Fail(reason, "a greeting that is not Veldmarrow's");
        in.Take(sizeof Magic + 2);
        if (!ReadText(in, MostNameBytes, m.name))
            return Fail(reason, "a greeting whose name is cut short or longer than " + std::to_string(MostNameBytes) +
                                    " bytes");
        if (!ReadText(in, MostPasswordBytes, m.password))
            return Fail(reason, "a greeting whose password is cut short or longer than " +
                                    std::to_string(MostPasswordBytes) + " bytes");
        break; // the name's form is the server's to judge: it answers BadName
    }
    case MessageType::Edit:
    case MessageType::EditApplied:
        if (m.type == MessageType::EditApplied)
            m.player = in.U16();
        if (!ReadEdit(in, m.edit, why))
            return Fail(reason, why);
        break;
    case MessageType::Pose:
        if (!ReadPose(in, m.pose, why))
            return Fail(reason, why);
        break;
    case MessageType::PlayersMoved: {
        const std::size_t count = in.U8();
        if (!in.Ok() || count == 0 || count > MostMovesPerMessage)
            return Fail(reason, "poses of " + std::to_string(count) + " players in one message");
        m.moves.resize(count);
        for (MovedPlayer& moved : m.moves) {
            moved.player = in.U16();
            if (!ReadPose(in, moved.pose, why))
                return Fail(reason, why);
        }
        break;
    }
    case MessageType::Leaving:
        break;
    case MessageType::Welcome: {
        m.version = in.U16();
        m.seed = in.U32();
        m.player = in.U16();
        m.chunkCount = in.U32();
        const std::uint8_t hasPose = in.U8();
        if (!in.Ok() || hasPose > 1)
            return Fail(reason, "a welcome that is cut short or damaged");
        if (m.chunkCount > static_cast<std::uint32_t>(MapChunkCount))
            return Fail(reason, "a welcome announcing " + std::to_string(m.chunkCount) + " chunks, more than the map has");
        m.hasPose = hasPose == 1;
        if (m.hasPose && !ReadPose(in, m.pose, why))
            return Fail(reason, "a welcome with a bad pose: " + why);
        break;
    }
    case MessageType::Refusal: {
        const std::uint8_t refusal = in.U8();
        m.version = in.U16();
        if (!ReadText(in, MostRefusalBytes, m.text) || refusal < 1 ||
            refusal > static_cast<std::uint8_t>(RefusalReason::BadName))
            return Fail(reason, "a refusal that is cut short or of an unknown reason");
        m.refusal = static_cast<RefusalReason>(refusal);
        m.text = PrintableText(m.text); // shown to the player as one line
        break;
    }
    case MessageType::Chunks: {
        const std::size_t count = in.U16();
        // Each chunk takes at least its id and length: a count the bytes
        // cannot hold is refused before anything is reserved for it.
        if (!in.Ok() || count * 4 > in.Left())
            return Fail(reason, "a chunk batch that is cut short");
        m.chunks.resize(count);
        for (StoredChunk& chunk : m.chunks) {
            chunk.id = in.U16();
            const std::size_t n = in.U16();
            const std::uint8_t* stored = in.Take(n);
            if (!in.Ok())
                return Fail(reason, "a chunk batch that is cut short");
            if (chunk.id >= MapChunkCount)
                return Fail(reason, "chunk " + std::to_string(chunk.id) + " outside the map");
            if (n == 0 || n > ChunkCodec::MostStored)
                return Fail(reason, "chunk " + std::to_string(chunk.id) + " stored in " + std::to_string(n) + " bytes");
            chunk.stored.assign(stored, stored + n);
        }
        break;
    }
    case MessageType::Ready:
    case MessageType::Farewell:
        m.checksum = in.U64();
        break;
    case MessageType::PlayerJoined:
        m.player = in.U16();
        if (!ReadText(in, MostNameBytes, m.name) || !PlayerNameAllowed(m.name))
            return Fail(reason, "a player joined under a name that is cut short or not allowed");
        break;
    case MessageType::PlayerLeft:
        m.player = in.U16();
        break;
    }
    if (!in.Ok())
        return Fail(reason, "a message of type " + std::to_string(type) + " that is cut short");
    if (in.Left() != 0)
        return Fail(reason, "a message of type " + std::to_string(type) + " with " + std::to_string(in.Left()) +
                                " bytes left over");
    return true;
}
