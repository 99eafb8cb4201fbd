// WorldFile: opening, checking, loading and committing a kept world.
#include "world/WorldFile.h"

#include <sqlite3.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/Files.h"
#include "core/PrintableText.h"
#include "platform/Utf8Path.h"
#include "core/Version.h"
#include "world/ChunkCodec.h"
#include "world/MapDimensions.h"

namespace {

const char* const Schema =
    "CREATE TABLE world ("
    " id INTEGER PRIMARY KEY CHECK (id = 1),"
    " format INTEGER NOT NULL,"
    " program TEXT NOT NULL,"
    " seed INTEGER NOT NULL,"
    " width INTEGER NOT NULL,"
    " depth INTEGER NOT NULL,"
    " height INTEGER NOT NULL,"
    " checksum INTEGER,"
    " saves INTEGER NOT NULL,"
    " created TEXT NOT NULL,"
    " saved TEXT NOT NULL);"
    "CREATE TABLE chunk ("
    " id INTEGER PRIMARY KEY,"
    " voxels BLOB NOT NULL);";

const char* const Now = "strftime('%Y-%m-%d %H:%M:%S UTC', 'now')";

std::string Quoted(const std::string& path) { return "world " + QuotedName(path); }

namespace fs = std::filesystem;

bool Exists(const std::string& file)
{
    std::error_code error;
    return fs::exists(Utf8Path(file), error);
}

std::uintmax_t SizeOf(const std::string& file)
{
    std::error_code error;
    const std::uintmax_t size = fs::file_size(Utf8Path(file), error);
    return error ? 0 : size;
}

// The errno value of opening `file` for reading; 0 when it can be read.
int ReadError(const std::string& file)
{
    errno = 0;
    std::ifstream in(Utf8Path(file), std::ios::binary);
    return in ? 0 : errno != 0 ? errno : EACCES;
}

// The frames of a log in bytes: its header, then each page with its own.
std::size_t LogSize(int frames, int pageSize)
{
    return frames <= 0 ? 0 : 32 + static_cast<std::size_t>(frames) * (static_cast<std::size_t>(pageSize) + 24);
}

// One statement, finalised however it ends.
class Statement {
public:
    Statement(sqlite3* db, const std::string& sql) { rc = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr); }
    ~Statement() { sqlite3_finalize(stmt); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;
    bool Ok() const { return rc == SQLITE_OK && stmt != nullptr; }
    int Step() { return sqlite3_step(stmt); }
    sqlite3_stmt* operator*() const { return stmt; }
    int PrepareResult() const { return rc; }

private:
    sqlite3_stmt* stmt = nullptr;
    int rc = SQLITE_OK;
};

// One line, whatever the text holds.
std::string OneLine(std::string text)
{
    for (char& c : text)
        if (c == '\n' || c == '\r')
            c = ' ';
    return text;
}

bool Execute(sqlite3* db, const char* sql, std::string& error)
{
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) == SQLITE_OK)
        return true;
    error = OneLine(message != nullptr ? message : sqlite3_errmsg(db));
    sqlite3_free(message);
    return false;
}

bool IsBusy(int rc) { return (rc & 0xFF) == SQLITE_BUSY || (rc & 0xFF) == SQLITE_LOCKED; }

// SQLite's message, with the system's reason when a system call failed.
std::string Why(sqlite3* db)
{
    std::string why = db != nullptr ? OneLine(sqlite3_errmsg(db)) : "out of memory";
    const int err = db != nullptr ? sqlite3_system_errno(db) : 0;
    if (err != 0)
        why += " (" + std::string(std::strerror(err)) + ")";
    return why;
}

// The URI that opens `path` read-only as an immutable file.
std::string ReadOnlyUri(const std::string& path)
{
    std::string uri = "file:";
    // A Windows drive letter is written /C:/ in a URI.
    if (path.size() >= 2 && path[1] == ':')
        uri += '/';
    for (char c : path) {
        if (c == '\\') {
            uri += '/';
        } else if (c == '%' || c == '?' || c == '#') {
            char code[4];
            std::snprintf(code, sizeof code, "%%%02X", static_cast<unsigned char>(c));
            uri += code;
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

std::uint64_t Mix(std::uint64_t h)
{
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

} // namespace

std::uint64_t ChunkHash(const std::uint8_t* bytes, int chunkNumber)
{
    std::uint64_t h = 0xCBF29CE484222325ull;
    for (int i = 0; i < ChunkVoxels; i += 8) {
        std::uint64_t w = 0;
        for (int b = 7; b >= 0; --b)
            w = (w << 8) | bytes[i + b];
        h ^= w;
        h = (h << 27 | h >> 37) * 0x9E3779B97F4A7C15ull;
    }
    return Mix(h ^ (static_cast<std::uint64_t>(chunkNumber) * 0x9E3779B97F4A7C15ull));
}

WorldFile::~WorldFile()
{
    EndFold();
    CloseDatabase();
}

void WorldFile::CloseDatabase()
{
    if (map != nullptr) {
        auto& list = map->observers;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        map = nullptr;
    }
    if (db != nullptr) {
        sqlite3_close_v2(db);
        db = nullptr;
        // An empty log goes with the file: a log this program's open put
        // beside it, or one folded in whole. Still held by the lock, so no
        // other program can have begun a log of its own meanwhile.
        const std::string log = target + "-wal";
        if (access == WorldAccess::ReadWrite && (addedLog || logFrames == 0) && Exists(log) && SizeOf(log) == 0) {
            std::error_code ignored;
            fs::remove(Utf8Path(log), ignored);
        }
    }
}

WorldOpened WorldFile::Open(const std::string& worldPath, WorldAccess how, std::uint32_t newSeed, std::string& reason)
{
    path = worldPath;
    target = WorldTarget(path);
    access = how;
    const std::string name = Quoted(path);
    if (how == WorldAccess::ReadWrite)
        RemoveBuildingLeftovers(target);
    // Another program may create or remove the file meanwhile: look again
    // at what is there, a few times.
    for (int look = 0; look < 4; ++look) {
        std::error_code error;
        const fs::file_status status = fs::status(Utf8Path(target), error);
        const bool exists = fs::exists(status);
        if (exists && fs::is_directory(status)) {
            reason = name + " refused: it is a folder";
            return WorldOpened::Refused;
        }
        if (exists && !fs::is_regular_file(status)) {
            reason = name + " refused: not a regular file";
            return WorldOpened::Refused;
        }
        if (!exists) {
            if (how == WorldAccess::ReadOnly) {
                reason = name + " refused: there is no such file";
                return WorldOpened::Refused;
            }
            bool taken = false;
            if (Create(newSeed, taken, reason)) {
                created = true;
                return Check(reason);
            }
            if (!taken)
                return WorldOpened::Refused;
            continue; // another program's new world took the name first
        }
        int why = 0;
        const WorldLock::Taken taken =
            lock.TakeExisting(target, how == WorldAccess::ReadWrite ? FileLock::Exclusive : FileLock::Shared, why);
        if (taken == WorldLock::Taken::Held) {
            reason = name + " is in use by another running Veldmarrow";
            return WorldOpened::Held;
        }
        if (taken == WorldLock::Taken::Failed) {
            if (why == ENOENT)
                continue;
            const int unreadable = ReadError(target);
            if (unreadable != 0)
                reason = name + " refused: the file cannot be read (" + ErrorText(unreadable) + ")";
            else
                reason = name + " refused: the file cannot be written (" + ErrorText(why) +
                         "), so play in it would not be kept";
            return WorldOpened::Refused;
        }
        if (SizeOf(target) != 0)
            return Check(reason);
        if (how == WorldAccess::ReadOnly) {
            reason = name + " refused: the file is empty";
            return WorldOpened::Refused;
        }
        // Nothing to lose: an empty file (made by hand, or the remains of a
        // failed start) is made anew.
        lock.RemoveAndRelease(target);
    }
    // Taken each time a new world is moved to it, yet no file to open
    // there: another program at work, or a name this system cannot follow.
    reason = name + " cannot be created: its name is taken, but by nothing that can be opened (other programs "
                    "creating and removing it, or a link to nothing)";
    return WorldOpened::Refused;
}

WorldOpened WorldFile::Check(std::string& reason)
{
    const std::string name = Quoted(path);
    const auto refuse = [&](WorldOpened result) {
        CloseDatabase();
        if (created)
            lock.RemoveAndRelease(target);
        lock.Release();
        return result;
    };
    {
        // Look before SQLite does: it would take many files for an empty database.
        char header[16] = {};
        std::ifstream probe(Utf8Path(target), std::ios::binary);
        probe.read(header, sizeof header);
        if (!probe || std::memcmp(header, "SQLite format 3", 16) != 0) {
            reason = name + " refused: not a Veldmarrow world (not an SQLite database)";
            return refuse(WorldOpened::Refused);
        }
    }
    const std::string logPath = target + "-wal";
    if (access == WorldAccess::ReadWrite) {
        const int error = FolderWritable(target);
        if (error != 0) {
            reason = name + " refused: its folder " + QuotedName(FolderOf(target)) + " cannot be written (" +
                     ErrorText(error) + "), and a world needs its log beside it";
            return refuse(WorldOpened::Refused);
        }
    } else if (SizeOf(logPath) > 0) {
        // Nobody holds it, yet the file alone is not the whole world.
        reason = name + " is not whole without its log: the last Veldmarrow to play in it was stopped before it "
                        "finished saving (play in it once to finish)";
        return refuse(WorldOpened::Held);
    }
    // SQLite creates the log beside the file when it reads it; a refused
    // world must not gain one. A replay reads the file as immutable: no
    // lock of SQLite's, no log, nothing written beside it.
    addedLog = access == WorldAccess::ReadWrite && !Exists(logPath);
    const std::string file = access == WorldAccess::ReadWrite ? target : ReadOnlyUri(target);
    const int flags =
        access == WorldAccess::ReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
    if (sqlite3_open_v2(file.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        reason = name + " refused: cannot open it: " + Why(db);
        return refuse(WorldOpened::Refused);
    }
    // Checked read only: nothing folds a log into it on close, nothing
    // changes its journal mode, header or time until it is accepted.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(db, 0);
    std::string why;
    if (!Execute(db,
                 access == WorldAccess::ReadWrite
                     ? "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON; PRAGMA locking_mode=EXCLUSIVE; "
                       "PRAGMA query_only=ON;"
                     : "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON; PRAGMA query_only=ON;",
                 why)) {
        reason = name + " refused: " + why;
        return refuse(WorldOpened::Refused);
    }
    const WorldOpened result = Inspect(reason);
    if (result != WorldOpened::Ok)
        return refuse(result);
    // The stored chunks are in memory: the file is opened again, for
    // saving, only once the world is accepted (Load).
    CloseDatabase();
    opened = true;
    return WorldOpened::Ok;
}

WorldOpened WorldFile::OpenImage(const std::uint8_t* data, std::size_t size, std::string& reason)
{
    path = "(in memory)";
    access = WorldAccess::ReadOnly;
    if (sqlite3_open_v2(":memory:", &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        reason = "cannot open an in-memory database";
        CloseDatabase();
        return WorldOpened::Refused;
    }
    std::string why;
    Execute(db, "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON;", why);
    auto* copy = static_cast<unsigned char*>(sqlite3_malloc64(size));
    if (copy == nullptr && size != 0) {
        reason = "out of memory";
        CloseDatabase();
        return WorldOpened::Refused;
    }
    if (size != 0)
        std::memcpy(copy, data, size);
    const int rc = sqlite3_deserialize(db, "main", copy, static_cast<sqlite3_int64>(size),
                                       static_cast<sqlite3_int64>(size),
                                       SQLITE_DESERIALIZE_FREEONCLOSE | SQLITE_DESERIALIZE_READONLY);
    if (rc != SQLITE_OK) {
        reason = "cannot read the image: " + Why(db);
        CloseDatabase();
        return WorldOpened::Refused;
    }
    const WorldOpened result = Inspect(reason);
    if (result != WorldOpened::Ok)
        CloseDatabase();
    return result;
}

bool WorldFile::Create(std::uint32_t seed, bool& taken, std::string& reason)
{
    // Built whole in a locked file of its own, then moved to its name where
    // nothing is yet: a world file is either complete or absent, and held
    // from its first byte, whenever and however the program is stopped.
    taken = false;
    const std::string name = Quoted(path);
    int error = 0;
    if (!lock.CreateBeside(target, error)) {
        reason = name + " cannot be created in the folder " + QuotedName(FolderOf(target)) + ": " + ErrorText(error);
        return false;
    }
    const std::string building = lock.Building();
    sqlite3* fresh = nullptr;
    std::string why;
    bool ok = sqlite3_open_v2(building.c_str(), &fresh, SQLITE_OPEN_READWRITE, nullptr) == SQLITE_OK;
    if (!ok)
        why = Why(fresh);
    const std::string facts = "INSERT INTO world VALUES (1, " + std::to_string(WorldFormat::Version) + ", '" +
                              ProgramVersion + "', " + std::to_string(seed) + ", " + std::to_string(MapWidth) +
                              ", " + std::to_string(MapDepth) + ", " + std::to_string(MapHeight) + ", NULL, 0, " +
                              Now + ", " + Now + ");";
    // No journal: a file stopped half-built is never moved into place, and
    // is removed as a leftover by the next start.
    const std::string script = "PRAGMA journal_mode=OFF; PRAGMA synchronous=FULL; PRAGMA application_id=" +
                               std::to_string(WorldFormat::ApplicationId) +
                               "; PRAGMA user_version=" + std::to_string(WorldFormat::Version) + "; BEGIN; " + Schema +
                               facts + " COMMIT;";
    if (ok && !Execute(fresh, script.c_str(), why))
        ok = false;
    if (ok && sqlite3_close(fresh) != SQLITE_OK) {
        why = Why(fresh);
        ok = false;
    }
    fresh = ok ? nullptr : fresh;
    sqlite3_close_v2(fresh);
    if (ok && !lock.MoveIntoPlace(target, error)) {
        taken = error == EEXIST;
        why = "cannot move it into place: " + ErrorText(error);
        ok = false;
    }
    if (!ok) {
        lock.RemoveAndRelease(building);
        reason = name + " cannot be created: " + why;
        return false;
    }
    return true;
}

WorldOpened WorldFile::Inspect(std::string& reason)
{
    const std::string name = Quoted(path) + " refused: ";
    {
        Statement check(db, "PRAGMA quick_check(1)");
        int rc = check.PrepareResult();
        if (check.Ok())
            rc = check.Step();
        if (IsBusy(rc)) {
            reason = Quoted(path) + " is in use by another running Veldmarrow";
            return WorldOpened::Held;
        }
        if (rc != SQLITE_ROW) {
            reason = name + "the file is damaged: " + Why(db);
            return WorldOpened::Refused;
        }
        const char* verdict = reinterpret_cast<const char*>(sqlite3_column_text(*check, 0));
        if (verdict == nullptr || std::strcmp(verdict, "ok") != 0) {
            reason = name + "the file is damaged: " + (verdict ? OneLine(verdict) : "no verdict");
            return WorldOpened::Refused;
        }
    }
    auto pragmaInt = [&](const char* sql, sqlite3_int64& out) {
        Statement s(db, sql);
        if (!s.Ok() || s.Step() != SQLITE_ROW)
            return false;
        out = sqlite3_column_int64(*s, 0);
        return true;
    };
    sqlite3_int64 applicationId = 0, version = 0;
    if (!pragmaInt("PRAGMA application_id", applicationId) || !pragmaInt("PRAGMA user_version", version)) {
        reason = name + "the file is damaged: " + Why(db);
        return WorldOpened::Refused;
    }
    if (applicationId != WorldFormat::ApplicationId) {
        char id[16];
        std::snprintf(id, sizeof id, "0x%08X", static_cast<unsigned>(applicationId));
        reason = name + "not a Veldmarrow world (an SQLite database of another program, application id " + id + ")";
        return WorldOpened::Refused;
    }
    if (version > WorldFormat::Version) {
        reason = name + "saved by a newer Veldmarrow (world format " + std::to_string(version) +
                 "; this one reads format " + std::to_string(WorldFormat::Version) + ")";
        return WorldOpened::Refused;
    }
    if (version < 1) {
        reason = name + "the file is damaged: no world format version";
        return WorldOpened::Refused;
    }

    {
        Statement row(db, "SELECT format, program, seed, width, depth, height, checksum, saves, created, saved "
                          "FROM world WHERE id = 1");
        if (!row.Ok()) {
            reason = name + "the file is damaged: " + Why(db);
            return WorldOpened::Refused;
        }
        const int rc = row.Step();
        if (rc != SQLITE_ROW) {
            reason = name + "the file is damaged: " + (rc == SQLITE_DONE ? "its row of facts is missing" : Why(db));
            return WorldOpened::Refused;
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
            reason = name + "the file is damaged: a fact is missing or out of range";
            return WorldOpened::Refused;
        }
        if (format != version) {
            reason = name + "the file is damaged: its facts say format " + std::to_string(format) + ", its header " +
                     std::to_string(version);
            return WorldOpened::Refused;
        }
        if (w != MapWidth || d != MapDepth || h != MapHeight) {
            reason = name + "made for a " + std::to_string(w) + "x" + std::to_string(d) + "x" + std::to_string(h) +
                     " map; this Veldmarrow's map is " + std::to_string(MapWidth) + "x" + std::to_string(MapDepth) +
                     "x" + std::to_string(MapHeight);
            return WorldOpened::Refused;
        }
        const int checksumType = sqlite3_column_type(*row, 6);
        if (checksumType != SQLITE_NULL && checksumType != SQLITE_INTEGER) {
            reason = name + "the file is damaged: its checksum is not a number";
            return WorldOpened::Refused;
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
    }

    chunksX = facts.width / ChunkSize;
    chunksY = facts.depth / ChunkSize;
    chunksZ = facts.height / ChunkSize;
    const int chunkCount = chunksX * chunksY * chunksZ;
    stored.assign(chunkCount, false);
    storedCount = 0;
    loaded.clear();
    Statement rows(db, "SELECT id, voxels FROM chunk ORDER BY id");
    if (!rows.Ok()) {
        reason = name + "the file is damaged: " + Why(db);
        return WorldOpened::Refused;
    }
    int rc;
    while ((rc = rows.Step()) == SQLITE_ROW) {
        const sqlite3_int64 id = sqlite3_column_int64(*rows, 0);
        if (id < 0 || id >= chunkCount) {
            reason = name + "the file is damaged: a stored chunk is numbered " + std::to_string(id) +
                     ", which names no chunk";
            return WorldOpened::Refused;
        }
        const std::string chunk = "the file is damaged: chunk " + std::to_string(id);
        if (sqlite3_column_type(*rows, 1) != SQLITE_BLOB) {
            reason = name + chunk + " is not stored as bytes";
            return WorldOpened::Refused;
        }
        std::vector<std::uint8_t> voxels(ChunkVoxels);
        std::string wrong;
        if (!ChunkCodec::Inflate(sqlite3_column_blob(*rows, 1), static_cast<std::size_t>(sqlite3_column_bytes(*rows, 1)),
                                 voxels.data(), wrong)) {
            reason = name + chunk + " " + wrong;
            return WorldOpened::Refused;
        }
        stored[id] = true;
        ++storedCount;
        loaded.emplace_back(static_cast<int>(id), std::move(voxels));
    }
    if (rc != SQLITE_DONE) {
        reason = name + (IsBusy(rc) ? "in use by another running Veldmarrow" : "the file is damaged: " + Why(db));
        return IsBusy(rc) ? WorldOpened::Held : WorldOpened::Refused;
    }
    if (!facts.hasChecksum && storedCount != 0) {
        reason = name + "the file is damaged: it holds chunks but no checksum";
        return WorldOpened::Refused;
    }
    return WorldOpened::Ok;
}

int WorldFile::ChunkNumber(int x, int y, int z) const
{
    const int s = ChunkSize;
    return ((z / s) * chunksY + y / s) * chunksX + x / s;
}

void WorldFile::ChunkBytes(int number, std::uint8_t* out) const
{
    const int s = ChunkSize;
    const int cx = number % chunksX, cy = (number / chunksX) % chunksY, cz = number / (chunksX * chunksY);
    for (int z = 0; z < s; ++z)
        for (int y = 0; y < s; ++y) {
            std::memcpy(out, map->voxels + map->Index(cx * s, cy * s + y, cz * s + z), s);
            out += s;
        }
}

bool WorldFile::Load(Map& into, std::string& reason)
{
    if (!opened || into.width != facts.width || into.depth != facts.depth || into.height != facts.height) {
        reason = Quoted(path) + " cannot be loaded into this map";
        return false;
    }
    map = &into;
    const int s = ChunkSize;
    for (const auto& chunk : loaded) {
        const int number = chunk.first;
        const int cx = number % chunksX, cy = (number / chunksX) % chunksY, cz = number / (chunksX * chunksY);
        const std::uint8_t* in = chunk.second.data();
        for (int z = 0; z < s; ++z)
            for (int y = 0; y < s; ++y) {
                std::memcpy(map->voxels + map->Index(cx * s, cy * s + y, cz * s + z), in, s);
                in += s;
            }
    }
    std::vector<std::pair<int, std::vector<std::uint8_t>>>().swap(loaded);

    const int count = chunksX * chunksY * chunksZ;
    hashes.resize(count);
    checksum = 0;
    std::vector<std::uint8_t> bytes(ChunkVoxels);
    for (int i = 0; i < count; ++i) {
        ChunkBytes(i, bytes.data());
        hashes[i] = ChunkHash(bytes.data(), i);
        checksum += hashes[i];
    }
    if (facts.hasChecksum && checksum != facts.checksum) {
        char text[64];
        std::snprintf(text, sizeof text, "%016llX, saved %016llX", static_cast<unsigned long long>(checksum),
                      static_cast<unsigned long long>(facts.checksum));
        reason = Quoted(path) + " refused: its seed " + std::to_string(facts.seed) +
                 " builds another terrain here (checksum " + text + ")";
        map = nullptr;
        return false;
    }
    if (access == WorldAccess::ReadWrite) {
        if (!OpenForSaving(reason)) {
            map = nullptr;
            CloseDatabase();
            return false;
        }
        dirty.assign(count, 0);
        map->observers.push_back(this);
        // The generated terrain's checksum is recorded at once, so that the
        // next start can tell whether the seed still builds it.
        if (!facts.hasChecksum && !Commit(reason))
            return false;
    } else {
        map = nullptr;
    }
    return true;
}

bool WorldFile::OpenForSaving(std::string& reason)
{
    const std::string name = Quoted(path);
    addedLog = !Exists(target + "-wal");
    if (sqlite3_open_v2(target.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        reason = name + " cannot be opened for saving: " + Why(db);
        return false;
    }
    // The log is folded in by Fold, never on close behind the program's back.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    sqlite3_busy_timeout(db, 0);
    std::string why;
    if (!Execute(db, "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON; PRAGMA locking_mode=EXCLUSIVE;", why)) {
        reason = name + " cannot be opened for saving: " + why;
        return false;
    }
    {
        // SQLite's own lock too, from this read to the close: an older
        // Veldmarrow knows only that one. The file must be as it was checked.
        Statement row(db, "SELECT saves FROM world WHERE id = 1");
        const int rc = row.Ok() ? row.Step() : row.PrepareResult();
        if (rc != SQLITE_ROW) {
            reason = name + (IsBusy(rc) ? " is in use by another program" : " cannot be opened for saving: " + Why(db));
            return false;
        }
        if (sqlite3_column_int64(*row, 0) != facts.saves) {
            reason = name + " was changed by another program while it was being opened";
            return false;
        }
    }
    if (sqlite3_db_readonly(db, "main") == 1) {
        reason = name + " refused: the file cannot be written, so play in it would not be kept";
        return false;
    }
    {
        Statement wal(db, "PRAGMA journal_mode=WAL");
        const unsigned char* mode = wal.Ok() && wal.Step() == SQLITE_ROW ? sqlite3_column_text(*wal, 0) : nullptr;
        if (mode == nullptr || std::strcmp(reinterpret_cast<const char*>(mode), "wal") != 0) {
            reason = name + " cannot keep its log beside it: " + Why(db);
            return false;
        }
    }
    {
        Statement page(db, "PRAGMA page_size");
        if (page.Ok() && page.Step() == SQLITE_ROW)
            pageSize = sqlite3_column_int(*page, 0);
    }
    // Beside Fold's truncation, a bound on what a log reused from its start keeps.
    if (!Execute(db,
                 ("PRAGMA synchronous=NORMAL; PRAGMA journal_size_limit=" + std::to_string(WorldFormat::LogBound) + ";")
                     .c_str(),
                 why)) {
        reason = name + " cannot be opened for saving: " + why;
        return false;
    }
    // Replaces SQLite's own folding (at 1,000 pages, 4 MiB): the program
    // folds the log itself, off the main thread (WorldKeeper).
    sqlite3_wal_hook(db, &WorldFile::LogHook, this);
    // A log an earlier session left (killed, or on a full disk) goes into
    // the file now, before play adds to it.
    logFrames = -1;
    if (!Fold(why, true))
        notice = FoldFailed(why) + "; play goes on, and folding is tried again after the next save";
    return true;
}

int WorldFile::LogHook(void* file, sqlite3*, const char*, int frames)
{
    static_cast<WorldFile*>(file)->logFrames = frames;
    return SQLITE_OK;
}

std::size_t WorldFile::LogBytes() const
{
    if (logFrames >= 0)
        return LogSize(logFrames, pageSize);
    return SizeOf(target + "-wal");
}

bool WorldFile::Fold(std::string& why, bool restart)
{
    int frames = 0, folded = 0;
    const int rc = sqlite3_wal_checkpoint_v2(db, nullptr, SQLITE_CHECKPOINT_TRUNCATE, &frames, &folded);
    if (rc == SQLITE_OK) {
        logFrames = 0;
        // The first commit into an empty log writes the log's header and
        // puts it on disk: done here, by rewriting page 1 as it is, so that
        // the next commit (on the main thread) only appends.
        if (restart) {
            const std::string same = "PRAGMA user_version=" + std::to_string(facts.format) + ";";
            Execute(db, same.c_str(), why);
        }
        return true;
    }
    why = Why(db);
    // What is still there, for the messages: the file's size says it.
    logFrames = -1;
    return false;
}

std::string WorldFile::FoldFailed(const std::string& why) const
{
    return Quoted(path) + ": its log " + QuotedName(target + "-wal") + " (" + std::to_string(LogBytes() / 1024) +
           " KiB) could not be folded into the file: " + why + ". Nothing is lost: the world is whole in the two "
           "files; keep them together, and free some disk space so that the next start can fold the log in";
}

void WorldFile::BeginFold()
{
    if (db == nullptr || folder.joinable())
        return;
    foldEnded = false;
    foldFailure.clear();
    if (sqlite3_threadsafe() == 0) {
        // A library built without threads: folded here and now.
        std::string why;
        if (!Fold(why, true))
            foldFailure = why;
        foldEnded = true;
        return;
    }
    folder = std::thread([this] {
        std::string why;
        if (!Fold(why, true))
            foldFailure = why;
        foldEnded = true;
    });
}

bool WorldFile::Folding()
{
    if (folder.joinable()) {
        if (!foldEnded)
            return true;
        folder.join();
    }
    if (foldEnded) {
        foldEnded = false;
        if (!foldFailure.empty() && notice.empty())
            notice = FoldFailed(foldFailure) + "; play goes on, and folding is tried again after the next save";
    }
    return false;
}

void WorldFile::EndFold()
{
    if (folder.joinable())
        folder.join();
    Folding();
}

std::string WorldFile::TakeNotice()
{
    std::string told;
    told.swap(notice);
    return told;
}

void WorldFile::VoxelChanged(int x, int y, int z)
{
    const int number = ChunkNumber(x, y, z);
    if (dirty[number] == 0) {
        dirty[number] = 1;
        dirtyList.push_back(number);
    }
}

bool WorldFile::BeginRound(std::size_t most)
{
    const std::size_t taken = std::min(most, dirtyList.size());
    round.insert(round.end(), dirtyList.begin(), dirtyList.begin() + static_cast<std::ptrdiff_t>(taken));
    dirtyList.erase(dirtyList.begin(), dirtyList.begin() + static_cast<std::ptrdiff_t>(taken));
    return dirtyList.empty();
}

bool WorldFile::Prepare(std::size_t chunks)
{
    std::uint8_t bytes[ChunkVoxels];
    for (std::size_t done = 0; done < chunks && roundNext < round.size(); ++done) {
        const int number = round[roundNext++];
        dirty[number] = 0; // a change from now on needs the next round
        ChunkBytes(number, bytes);
        Prepared p;
        p.number = number;
        p.hash = ChunkHash(bytes, number);
        p.blob = ChunkCodec::Compress(bytes);
        prepared.push_back(std::move(p));
    }
    if (roundNext < round.size())
        return false;
    round.clear();
    roundNext = 0;
    return true;
}

bool WorldFile::Commit(std::string& reason)
{
    EndFold(); // one user of the connection at a time
    if (db == nullptr || access != WorldAccess::ReadWrite) {
        reason = "the world is not open for saving";
        return false;
    }
    std::uint64_t next = checksum;
    {
        std::vector<std::uint64_t> following; // hashes as this commit leaves them
        for (const Prepared& p : prepared) {
            next += p.hash - hashes[p.number];
            following.push_back(hashes[p.number]);
            hashes[p.number] = p.hash;
        }
        // Restore: the hashes change only once the commit has succeeded.
        for (std::size_t i = prepared.size(); i-- > 0;)
            hashes[prepared[i].number] = following[i];
    }
    std::string why;
    bool ok = Execute(db, "BEGIN IMMEDIATE", why);
    if (ok) {
        Statement insert(db, "INSERT OR REPLACE INTO chunk (id, voxels) VALUES (?, ?)");
        ok = insert.Ok();
        for (std::size_t i = 0; ok && i < prepared.size(); ++i) {
            sqlite3_bind_int(*insert, 1, prepared[i].number);
            sqlite3_bind_blob(*insert, 2, prepared[i].blob.data(), static_cast<int>(prepared[i].blob.size()),
                              SQLITE_STATIC);
            ok = insert.Step() == SQLITE_DONE;
            sqlite3_reset(*insert);
        }
        if (ok) {
            Statement update(db, std::string("UPDATE world SET checksum = ?, saves = saves + 1, saved = ") + Now +
                                     " WHERE id = 1");
            ok = update.Ok();
            if (ok) {
                sqlite3_bind_int64(*update, 1, static_cast<sqlite3_int64>(next));
                ok = update.Step() == SQLITE_DONE;
            }
        }
        if (!ok)
            why = Why(db);
        if (ok && !Execute(db, "COMMIT", why))
            ok = false;
        if (!ok && sqlite3_get_autocommit(db) == 0) {
            std::string ignored;
            Execute(db, "ROLLBACK", ignored);
        }
    }
    if (!ok) {
        // Everything prepared waits for the next try.
        for (const Prepared& p : prepared)
            if (dirty[p.number] == 0) {
                dirty[p.number] = 1;
                dirtyList.push_back(p.number);
            }
        prepared.clear();
        reason = "cannot save " + Quoted(path) + ": " + why;
        return false;
    }
    for (const Prepared& p : prepared) {
        hashes[p.number] = p.hash;
        if (!stored[p.number]) {
            stored[p.number] = true;
            ++storedCount;
        }
    }
    checksum = next;
    lastCommitted = prepared.size();
    prepared.clear();
    facts.hasChecksum = true;
    facts.checksum = next;
    ++facts.saves;
    Statement saved(db, "SELECT saved FROM world WHERE id = 1");
    if (saved.Ok() && saved.Step() == SQLITE_ROW && sqlite3_column_text(*saved, 0) != nullptr)
        facts.saved = reinterpret_cast<const char*>(sqlite3_column_text(*saved, 0));
    return true;
}

bool WorldFile::Close(std::string& reason)
{
    EndFold();
    if (access == WorldAccess::ReadWrite && created && map == nullptr) {
        Abandon();
        return true;
    }
    bool ok = true;
    lastCommitted = 0;
    if (access == WorldAccess::ReadWrite && map != nullptr) {
        // The last commit is on disk in its log before the fold is tried.
        std::string ignored;
        Execute(db, "PRAGMA synchronous=FULL;", ignored);
        BeginRound(Unsaved());
        Prepare(round.size());
        if (!prepared.empty() || !facts.hasChecksum)
            ok = Commit(reason);
        std::string why;
        if (ok && !Fold(why, false))
            notice = FoldFailed(why);
    }
    CloseDatabase();
    lock.Release();
    return ok;
}

void WorldFile::Abandon()
{
    EndFold();
    const bool unused = access == WorldAccess::ReadWrite && created && map == nullptr;
    CloseDatabase();
    if (unused)
        lock.RemoveAndRelease(target);
    lock.Release();
}
