// Protocol: the messages a Veldmarrow server and its players exchange, one
// message to one ENet packet, and their encoding. Every message a program
// receives is decoded here, and every field is checked against what the
// game allows before anyone uses it: its size, its type, names, coordinates
// inside the map, voxel types that exist, poses within their ranges.
// Pure: no sockets, no SDL, no OpenGL. docs/protocol.md describes it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "world/PlayerPose.h"
#include "world/VoxelEdit.h"

// Raised whenever an encoding changes; both sides refuse another version.
constexpr std::uint16_t ProtocolVersion = 2;
// The channels as Endpoint numbers them: 0 reliable and ordered (all but
// poses), 1 unreliable (poses).
constexpr std::uint8_t ReliableChannel = 0;
constexpr std::uint8_t PoseChannel = 1;

constexpr std::size_t MostPasswordBytes = 64;
constexpr std::size_t MostRefusalBytes = 200;
// A batch of stored chunks stays under this; no message may be larger.
constexpr std::size_t MostMessageBytes = 64 * 1024;
// Poses in one PlayersMoved: a full one stays within one UDP datagram.
constexpr std::size_t MostMovesPerMessage = 64;

enum class MessageType : std::uint8_t {
    // from a player to the server
    Hello = 1,   // magic, protocol version, name, password
    Edit = 2,    // a dig, a placement or a removal asked for
    Pose = 3,    // where the player is now (unreliable)
    Leaving = 4, // the player ends the session; the server answers Farewell
    // from the server to a player
    Welcome = 16,      // the world's seed, the player's id, its pose, the chunk count
    Refusal = 17,      // why the player may not play; the server disconnects
    Chunks = 18,       // stored chunks, compressed as the world file keeps them
    Ready = 19,        // every chunk is sent: the world's checksum
    EditApplied = 20,  // an edit as the server applied it, to every player
    PlayerJoined = 21, // another player's id and name
    PlayerLeft = 22,   // that player's id
    PlayersMoved = 23, // the poses of players that moved (unreliable)
    Farewell = 24,     // the session ends: the server's checksum at that moment
};

// Which side a decoder serves: a server accepts only what players send.
enum class Sender : std::uint8_t { Player, Server };


enum class RefusalReason : std::uint8_t {
    Full = 1,          // the server has its most players
    WrongPassword = 2, // no password, or another one
    WrongVersion = 3,  // another protocol version
    NameInUse = 4,     // a player of that name is playing
    BadName = 5,       // empty, too long or not printable
};

struct MovedPlayer {
    std::uint16_t player = 0;
    PlayerPose pose;
};

struct StoredChunk {
    std::uint16_t id = 0;              // numbered as the world file numbers them
    std::vector<std::uint8_t> stored;  // zlib, at most ChunkCodec::MostStored bytes
};

// One message of any type; only the fields of its type are meaningful.
struct Message {
    MessageType type = MessageType::Leaving;
    std::uint16_t version = ProtocolVersion; // Hello, Welcome, Refusal
    std::string name;                        // Hello, PlayerJoined
    std::string password;                    // Hello
    VoxelEdit edit;                          // Edit, EditApplied
    PlayerPose pose;                         // Pose, Welcome (when hasPose)
    bool hasPose = false;                    // Welcome: the name has played here before
    std::uint16_t player = 0;                // Welcome (the receiver's own id), EditApplied, PlayerJoined/Left
    std::vector<MovedPlayer> moves;          // PlayersMoved: 1 to MostMovesPerMessage
    std::uint32_t seed = 0;                  // Welcome
    std::uint32_t chunkCount = 0;            // Welcome: how many stored chunks follow
    std::vector<StoredChunk> chunks;         // Chunks
    std::uint64_t checksum = 0;              // Ready, Farewell
    RefusalReason refusal = RefusalReason::Full;
    std::string text;                        // Refusal: one line for the player
};

// The bytes of `message`; the caller keeps within the limits above (a
// chunk batch under MostMessageBytes, names and texts within theirs).
std::vector<std::uint8_t> Encode(const Message& message);

// Decodes `size` bytes from `from` into `message`; false, with what is
// wrong in `reason`, for anything that is not exactly one well-formed
// message that side may send: unknown or misdirected type, a field cut
// short or left over, a name or password too long or not printable, an edit
// outside the map or of a type that does not exist, a pose out of range, a
// chunk id outside the map, a chunk stored larger than zlib's worst case,
// or more than MostMessageBytes.
bool Decode(const std::uint8_t* data, std::size_t size, Sender from, Message& message, std::string& reason);

// The protocol version of a Hello, read before anything else of it is
// checked, so that another version is refused by its number; false when
// the bytes are not a Hello at all.
bool HelloVersion(const std::uint8_t* data, std::size_t size, std::uint16_t& version);
