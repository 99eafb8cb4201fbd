// WorldInspect: the pages, the marker, the facts and the chunks, in turn.
#include "world/WorldInspect.h"

#include <sqlite3.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "world/ChunkCodec.h"
#include "world/Map.h"
#include "world/Sql.h"

namespace {

// SQLite's quick check of every page.
WorldOpened CheckPages(sqlite3* db, const std::string& world, std::string& reason)
{
    const std::string refused = world + " refused: ";
    Sql::Statement check(db, "PRAGMA quick_check(1)");
    int rc = check.PrepareResult();
    if (check.Ok())
        rc = check.Step();
    if (Sql::IsBusy(rc)) {
        reason = world + " is in use by another running Veldmarrow";
        return WorldOpened::Held;
    }
    if (rc != SQLITE_ROW) {
        reason = refused + "the file is damaged: " + Sql::Why(db);
        return WorldOpened::Refused;
    }
    const char* verdict = reinterpret_cast<const char*>(sqlite3_column_text(*check, 0));
    if (verdict == nullptr || std::strcmp(verdict, "ok") != 0) {
        reason = refused + "the file is damaged: " + (verdict ? Sql::OneLine(verdict) : "no verdict");
        return WorldOpened::Refused;
    }
    return WorldOpened::Ok;
}

// The header's marker: this program's application id, a format it reads.
bool CheckMarker(sqlite3* db, const std::string& refused, sqlite3_int64& version, std::string& reason)
{
    auto pragmaInt = [&](const char* sql, sqlite3_int64& out) {
        Sql::Statement s(db, sql);
        if (!s.Ok() || s.Step() != SQLITE_ROW)
            return false;
        out = sqlite3_column_int64(*s, 0);
        return true;
    };
    sqlite3_int64 applicationId = 0;
    if (!pragmaInt("PRAGMA application_id", applicationId) || !pragmaInt("PRAGMA user_version", version)) {
        reason = refused + "the file is damaged: " + Sql::Why(db);
        return false;
    }
    if (applicationId != WorldFormat::ApplicationId) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(applicationId));
        reason = refused + "not a Veldmarrow world (an SQLite database of another program, application id " + id + ")";
        return false;
    }
    if (version > WorldFormat::Version) {
        reason = refused + "saved by a newer Veldmarrow (world format " + std::to_string(version) +
                 "; this one reads format " + std::to_string(WorldFormat::Version) + ")";
        return false;
    }
    if (version < 1) {
        reason = refused + "the file is damaged: no world format version";
        return false;
    }
    return true;
}

// The row of facts: every value present and in range, the map's size this program's.
bool ReadFacts(sqlite3* db, const std::string& refused, sqlite3_int64 version, WorldFacts& facts, std::string& reason)
{
    Sql::Statement row(db, "SELECT format, program, seed, width, depth, height, checksum, saves, created, saved "
                           "FROM world WHERE id = 1");
    if (!row.Ok()) {
        reason = refused + "the file is damaged: " + Sql::Why(db);
        return false;
    }
    const int rc = row.Step();
    if (rc != SQLITE_ROW) {
        reason = refused + "the file is damaged: " + (rc == SQLITE_DONE ? "its row of facts is missing" : Sql::Why(db));
        return false;
    }
    auto integer = [&](int column, sqlite3_int64 low, sqlite3_int64 high, sqlite3_int64& out) {
        if (sqlite3_column_type(*row, column) != SQLITE_INTEGER)
            return false;
        out = sqlite3_column_int64(*row, column);
        return out >= low && out <= high;
    };
    auto text = [&](int column) {
        const unsigned char* t = sqlite3_column_text(*row, column);
        return t != nullptr ? std::string(reinterpret_cast<const char*>(t)) : std::string();
    };
    sqlite3_int64 format = 0, seed = 0, w = 0, d = 0, h = 0, saves = 0;
    if (!integer(0, 1, 1 << 30, format) || !integer(2, 0, 0xFFFFFFFFll, seed) || !integer(3, 0, 1 << 30, w) ||
        !integer(4, 0, 1 << 30, d) || !integer(5, 0, 1 << 30, h) || !integer(7, 0, INT64_MAX, saves)) {
        reason = refused + "the file is damaged: a fact is missing or out of range";
        return false;
    }
    if (format != version) {
        reason = refused + "the file is damaged: its facts say format " + std::to_string(format) + ", its header " +
                 std::to_string(version);
        return false;
    }
    if (w != MapWidth || d != MapDepth || h != MapHeight) {
        reason = refused + "made for a " + std::to_string(w) + "x" + std::to_string(d) + "x" + std::to_string(h) +
                 " map; this Veldmarrow's map is " + std::to_string(MapWidth) + "x" + std::to_string(MapDepth) + "x" +
                 std::to_string(MapHeight);
        return false;
    }
    const int checksumType = sqlite3_column_type(*row, 6);
    if (checksumType != SQLITE_NULL && checksumType != SQLITE_INTEGER) {
        reason = refused + "the file is damaged: its checksum is not a number";
        return false;
    }
    facts.format = static_cast<int>(format);
    facts.program = text(1);
    facts.seed = static_cast<std::uint32_t>(seed);
    facts.width = static_cast<int>(w);
    facts.depth = static_cast<int>(d);
    facts.height = static_cast<int>(h);
    facts.hasChecksum = checksumType == SQLITE_INTEGER;
    facts.checksum = static_cast<std::uint64_t>(sqlite3_column_int64(*row, 6));
    facts.saves = saves;
    facts.created = text(8);
    facts.saved = text(9);
    return true;
}

// Every stored chunk: a number naming a chunk, bytes that inflate to one.
WorldOpened ReadChunks(sqlite3* db, const std::string& refused, int chunkCount, int format, WorldContents& contents,
                       std::string& reason)
{
    contents.chunks.clear();
    Sql::Statement rows(db, "SELECT id, voxels FROM chunk ORDER BY id");
    if (!rows.Ok()) {
        reason = refused + "the file is damaged: " + Sql::Why(db);
        return WorldOpened::Refused;
    }
    int rc;
    while ((rc = rows.Step()) == SQLITE_ROW) {
        const sqlite3_int64 id = sqlite3_column_int64(*rows, 0);
        if (id < 0 || id >= chunkCount) {
            reason = refused + "the file is damaged: a stored chunk is numbered " + std::to_string(id) +
                     ", which names no chunk";
            return WorldOpened::Refused;
        }
        const std::string chunk = "the file is damaged: chunk " + std::to_string(id);
        if (sqlite3_column_type(*rows, 1) != SQLITE_BLOB) {
            reason = refused + chunk + " is not stored as bytes";
            return WorldOpened::Refused;
        }
        std::vector<std::uint8_t> voxels(ChunkVoxels);
        std::string wrong;
        if (!ChunkCodec::Inflate(sqlite3_column_blob(*rows, 1), static_cast<std::size_t>(sqlite3_column_bytes(*rows, 1)),
                                 ChunkCodec::HighestVoxel(format), voxels.data(), wrong)) {
            reason = refused + chunk + " " + wrong;
            return WorldOpened::Refused;
        }
        contents.chunks.emplace_back(static_cast<int>(id), std::move(voxels));
    }
    if (rc != SQLITE_DONE) {
        reason = refused + (Sql::IsBusy(rc) ? "in use by another running Veldmarrow" : "the file is damaged: " + Sql::Why(db));
        return Sql::IsBusy(rc) ? WorldOpened::Held : WorldOpened::Refused;
    }
    return WorldOpened::Ok;
}

// A pose from the eight columns of `row` from `first` on (x, y, z, yaw,
// pitch, walking, selected, hud): every value of its type and in range.
bool PoseFromRow(sqlite3_stmt* row, int first, PlayerPose& pose, std::string& wrong)
{
    double real[5];
    for (int c = 0; c < 5; ++c) {
        const int type = sqlite3_column_type(row, first + c);
        if (type != SQLITE_FLOAT && type != SQLITE_INTEGER) {
            wrong = "position or view is not a number";
            return false;
        }
        real[c] = sqlite3_column_double(row, first + c);
    }
    sqlite3_int64 flags[3];
    for (int c = 0; c < 3; ++c) {
        if (sqlite3_column_type(row, first + 5 + c) != SQLITE_INTEGER) {
            wrong = "mode, slot or overlay is not a whole number";
            return false;
        }
        flags[c] = sqlite3_column_int64(row, first + 5 + c);
    }
    // Stored from floats, so read back as the same floats; a value beyond a
    // float's range becomes infinite and is refused below.
    for (int a = 0; a < 3; ++a)
        pose.position[a] = static_cast<float>(std::fmax(-1e30, std::fmin(1e30, real[a])));
    pose.yaw = static_cast<float>(std::fmax(-1e30, std::fmin(1e30, real[3])));
    pose.pitch = static_cast<float>(std::fmax(-1e30, std::fmin(1e30, real[4])));
    if ((flags[0] != 0 && flags[0] != 1) || (flags[2] != 0 && flags[2] != 1) || flags[1] < 1 || flags[1] > 9) {
        wrong = "mode, slot or overlay is out of range";
        return false;
    }
    pose.walking = flags[0] == 1;
    pose.slot = static_cast<std::uint8_t>(flags[1]);
    pose.hud = flags[2] == 1;
    return PoseValid(pose, wrong);
}

// The player's one row (format 2).
bool ReadPlayer(sqlite3* db, const std::string& refused, WorldContents& contents, std::string& reason)
{
    const std::string damaged = refused + "the file is damaged: ";
    Sql::Statement row(db, "SELECT x, y, z, yaw, pitch, walking, selected, hud, (SELECT count(*) FROM player) "
                           "FROM player WHERE id = 1");
    if (!row.Ok()) {
        reason = damaged + Sql::Why(db);
        return false;
    }
    const int rc = row.Step();
    if (rc != SQLITE_ROW) {
        reason = damaged + (rc == SQLITE_DONE ? "the player's row is missing" : Sql::Why(db));
        return false;
    }
    if (sqlite3_column_int64(*row, 8) != 1) {
        reason = damaged + "it holds more than one player's row";
        return false;
    }
    std::string wrong;
    if (!PoseFromRow(*row, 0, contents.pose, wrong)) {
        reason = damaged + (wrong.rfind("the player's", 0) == 0 ? wrong : "the player's " + wrong);
        return false;
    }
    contents.hasPose = true;
    return true;
}

// The poses a server keeps by name, when the world has been served.
bool ReadNamedPlayers(sqlite3* db, const std::string& refused, WorldContents& contents, std::string& reason)
{
    const std::string damaged = refused + "the file is damaged: ";
    Sql::Statement table(db, "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND name = 'named_player'");
    if (!table.Ok() || table.Step() != SQLITE_ROW) {
        reason = damaged + Sql::Why(db);
        return false;
    }
    if (sqlite3_column_int(*table, 0) == 0)
        return true;
    Sql::Statement row(db, "SELECT x, y, z, yaw, pitch, walking, selected, hud, name FROM named_player");
    if (!row.Ok()) {
        reason = damaged + Sql::Why(db);
        return false;
    }
    int rc;
    while ((rc = row.Step()) == SQLITE_ROW) {
        const unsigned char* text = sqlite3_column_text(*row, 8);
        const std::string name = text ? reinterpret_cast<const char*>(text) : "";
        PlayerPose pose;
        std::string wrong;
        if (sqlite3_column_type(*row, 8) != SQLITE_TEXT || !PlayerNameAllowed(name)) {
            reason = damaged + "a player's name kept by the server is not one a player may use";
            return false;
        }
        if (contents.named.size() >= MostNamedPlayers) {
            reason = damaged + "it keeps more than " + std::to_string(MostNamedPlayers) + " players' poses";
            return false;
        }
        if (!PoseFromRow(*row, 0, pose, wrong)) {
            reason = damaged + "the pose kept for the player \"" + name + "\": " + wrong;
            return false;
        }
        contents.named[name] = pose;
    }
    if (rc != SQLITE_DONE) {
        reason = damaged + Sql::Why(db);
        return false;
    }
    return true;
}

} // namespace

WorldOpened InspectWorld(sqlite3* db, const std::string& world, WorldContents& contents, std::string& reason)
{
    const std::string refused = world + " refused: ";
    const WorldOpened pages = CheckPages(db, world, reason);
    if (pages != WorldOpened::Ok)
        return pages;
    sqlite3_int64 version = 0;
    if (!CheckMarker(db, refused, version, reason) || !ReadFacts(db, refused, version, contents.facts, reason))
        return WorldOpened::Refused;
    const int side = ChunkSize;
    const WorldFacts& facts = contents.facts;
    const WorldOpened chunks =
        ReadChunks(db, refused, (facts.width / side) * (facts.depth / side) * (facts.height / side), facts.format,
                   contents, reason);
    if (chunks != WorldOpened::Ok)
        return chunks;
    contents.hasPose = false;
    if (facts.format >= 2 && (!ReadPlayer(db, refused, contents, reason) || !ReadNamedPlayers(db, refused, contents, reason)))
        return WorldOpened::Refused;
    if (!facts.hasChecksum && !contents.chunks.empty()) {
        reason = refused + "the file is damaged: it holds chunks but no checksum";
        return WorldOpened::Refused;
    }
    return WorldOpened::Ok;
}
