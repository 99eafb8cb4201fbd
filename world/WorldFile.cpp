// WorldFile: opening, checking, loading and committing a kept world.
#include "world/WorldFile.h"

#include <sqlite3.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/Platform.h"
#include "core/Utf8Path.h"
#include "core/Version.h"

namespace {

// Level 6 is zlib's default: a chunk in about 0.1 ms, and the file stays
// within a few percent of what level 9 gives.
const int CompressionLevel = 6;

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

std::string Quoted(const std::string& path) { return "world \"" + path + "\""; }

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
    for (int i = 0; i < WorldFormat::ChunkBytes; i += 8) {
        std::uint64_t w = 0;
        for (int b = 7; b >= 0; --b)
            w = (w << 8) | bytes[i + b];
        h ^= w;
        h = (h << 27 | h >> 37) * 0x9E3779B97F4A7C15ull;
    }
    return Mix(h ^ (static_cast<std::uint64_t>(chunkNumber) * 0x9E3779B97F4A7C15ull));
}

WorldFile::~WorldFile() { CloseDatabase(); }

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
        // An empty log this program's open put beside the file goes with it.
        std::error_code ignored;
        const std::filesystem::path log = Utf8Path(path + "-wal");
        if (addedLog && std::filesystem::exists(log, ignored) && std::filesystem::file_size(log, ignored) == 0)
            std::filesystem::remove(log, ignored);
    }
}

WorldOpened WorldFile::Open(const std::string& worldPath, WorldAccess how, std::uint32_t newSeed, std::string& reason)
{
    namespace fs = std::filesystem;
    path = worldPath;
    access = how;
    const std::string name = Quoted(path);
    std::error_code error;
    // By its UTF-8 name, as SQLite opens it (on Windows too).
    const fs::path file = Utf8Path(path);
    const fs::file_status status = fs::status(file, error);
    const bool exists = !error && fs::exists(status);
    if (exists && fs::is_directory(status)) {
        reason = name + " refused: it is a folder";
        return WorldOpened::Refused;
    }
    if (exists && !fs::is_regular_file(status)) {
        reason = name + " refused: not a regular file";
        return WorldOpened::Refused;
    }
    const std::uintmax_t size = exists ? fs::file_size(file, error) : 0;
    if (!exists || size == 0) {
        if (how == WorldAccess::ReadOnly) {
            reason = name + " refused: " + (exists ? "the file is empty" : "there is no such file");
            return WorldOpened::Refused;
        }
        // Nothing to lose: no file, or the empty remains of a failed start.
        if (!Create(newSeed, reason))
            return WorldOpened::Refused;
        created = true;
    } else {
        // Look before SQLite does: it would take many files for an empty database.
        char header[16] = {};
        std::ifstream probe(file, std::ios::binary);
        probe.read(header, sizeof header);
        if (!probe || std::memcmp(header, "SQLite format 3", 16) != 0) {
            reason = name + " refused: not a Veldmarrow world (not an SQLite database)";
            return WorldOpened::Refused;
        }
        if (how == WorldAccess::ReadWrite) {
            // Opening for writing changes nothing; SQLite would quietly fall
            // back to reading, and play would not be kept.
            errno = 0;
            std::fstream writable(file, std::ios::in | std::ios::out | std::ios::binary);
            if (!writable) {
                reason = name + " refused: the file cannot be written (" +
                         (errno != 0 ? std::strerror(errno) : "access denied") + "), so play in it would not be kept";
                return WorldOpened::Refused;
            }
        }
    }
    // SQLite creates the log beside the file when it reads it; a refused
    // world must not gain one.
    const std::string logPath = path + "-wal";
    const bool hadLog = fs::exists(Utf8Path(logPath), error);
    addedLog = how == WorldAccess::ReadWrite && !hadLog;
    const auto refuse = [&](WorldOpened result) {
        CloseDatabase();
        return result;
    };

    if (how == WorldAccess::ReadOnly) {
        // Read without a lock: a log beside the file means another program
        // has it open, or the last one was stopped before it folded its log
        // in, and the file alone is not the whole world.
        const std::uintmax_t log = fs::file_size(Utf8Path(logPath), error);
        if (!error && log > 0) {
            reason = name + " is in use by another running Veldmarrow, or the last one to play in it was stopped "
                            "before it finished saving (play in it once to finish)";
            return WorldOpened::Held;
        }
    }
    // Read-only opens the file as immutable: no lock, no log, nothing written beside it.
    const std::string target = how == WorldAccess::ReadWrite ? path : ReadOnlyUri(path);
    const int flags = how == WorldAccess::ReadWrite ? SQLITE_OPEN_READWRITE : SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
    if (sqlite3_open_v2(target.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        reason = name + " refused: cannot open it: " + Why(db);
        return refuse(WorldOpened::Refused);
    }
    // A file refused here must be left exactly as found: nothing folds the
    // log into it on close unless the world was accepted.
    sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 1, nullptr);
    std::string why;
    // One program per world, refused at once rather than waiting; the lock
    // is held from the first read to the close.
    sqlite3_busy_timeout(db, 0);
    if (!Execute(db,
                 how == WorldAccess::ReadWrite
                     ? "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON; PRAGMA locking_mode=EXCLUSIVE;"
                     : "PRAGMA trusted_schema=OFF; PRAGMA cell_size_check=ON; PRAGMA query_only=ON;",
                 why)) {
        reason = name + " refused: " + why;
        return refuse(WorldOpened::Refused);
    }
    const WorldOpened result = Inspect(reason);
    if (result != WorldOpened::Ok)
        return refuse(result);
    if (how == WorldAccess::ReadWrite) {
        if (sqlite3_db_readonly(db, "main") == 1) {
            reason = name + " refused: the file cannot be written, so play in it would not be kept";
            return refuse(WorldOpened::Refused);
        }
        if (!Execute(db, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;", why)) {
            reason = name + " refused: " + why;
            return refuse(WorldOpened::Refused);
        }
    }
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

bool WorldFile::Create(std::uint32_t seed, std::string& reason)
{
    // Built whole beside its final name, then renamed: a world file is
    // either complete or absent, whenever the program is stopped.
    const std::string name = Quoted(path);
    const std::string building = path + ".new";
    RemoveCreatedFile(building.c_str()); // only ever this program's own leftovers
    sqlite3* fresh = nullptr;
    std::string why;
    bool ok = sqlite3_open_v2(building.c_str(), &fresh, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) ==
              SQLITE_OK;
    if (!ok)
        why = Why(fresh);
    const std::string facts = "INSERT INTO world VALUES (1, " + std::to_string(WorldFormat::Version) + ", '" +
                              ProgramVersion + "', " + std::to_string(seed) + ", " + std::to_string(MapWidth) +
                              ", " + std::to_string(MapDepth) + ", " + std::to_string(MapHeight) + ", NULL, 0, " +
                              Now + ", " + Now + ");";
    const std::string script = "PRAGMA application_id=" + std::to_string(WorldFormat::ApplicationId) +
                               "; PRAGMA user_version=" + std::to_string(WorldFormat::Version) +
                               "; PRAGMA synchronous=FULL; BEGIN; " + Schema + facts +
                               " COMMIT; PRAGMA journal_mode=WAL;";
    if (ok && !Execute(fresh, script.c_str(), why))
        ok = false;
    if (ok && sqlite3_close(fresh) != SQLITE_OK) {
        why = Why(fresh);
        ok = false;
    }
    fresh = ok ? nullptr : fresh;
    sqlite3_close_v2(fresh);
    if (ok) {
        std::error_code error;
        if (std::filesystem::exists(Utf8Path(path), error) && std::filesystem::file_size(Utf8Path(path), error) != 0) {
            why = "another program created the file meanwhile";
            ok = false;
        } else if (!MoveIntoPlace(building.c_str(), path.c_str())) {
            why = "cannot rename the new file into place: " + std::string(std::strerror(errno));
            ok = false;
        }
    }
    if (!ok) {
        RemoveCreatedFile(building.c_str());
        RemoveCreatedFile((building + "-journal").c_str());
        RemoveCreatedFile((building + "-wal").c_str());
        reason = name + " cannot be created: " + why;
        return false;
    }
    SyncFolderOf(path.c_str());
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

    chunksX = facts.width / WorldFormat::ChunkSide;
    chunksY = facts.depth / WorldFormat::ChunkSide;
    chunksZ = facts.height / WorldFormat::ChunkSide;
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
        const void* blob = sqlite3_column_blob(*rows, 1);
        const int bytes = sqlite3_column_bytes(*rows, 1);
        if (bytes <= 0 || static_cast<std::size_t>(bytes) > WorldFormat::MaxStoredChunk) {
            reason = name + chunk + " is stored in " + std::to_string(bytes) + " bytes, more than a chunk can take";
            return WorldOpened::Refused;
        }
        std::vector<std::uint8_t> voxels(WorldFormat::ChunkBytes);
        uLongf inflated = voxels.size();
        // The output buffer is exactly one chunk: anything that would
        // inflate further (a decompression bomb included) stops there.
        const int z = uncompress(voxels.data(), &inflated, static_cast<const Bytef*>(blob), static_cast<uLong>(bytes));
        if (z == Z_BUF_ERROR && inflated == voxels.size()) {
            reason = name + chunk + " inflates to more than " + std::to_string(WorldFormat::ChunkBytes) + " bytes";
            return WorldOpened::Refused;
        }
        if (z != Z_OK) {
            reason = name + chunk + " does not inflate (zlib error " + std::to_string(z) + ")";
            return WorldOpened::Refused;
        }
        if (inflated != voxels.size()) {
            reason = name + chunk + " inflates to " + std::to_string(inflated) + " bytes, not " +
                     std::to_string(WorldFormat::ChunkBytes);
            return WorldOpened::Refused;
        }
        for (std::uint8_t v : voxels)
            if (v > 3) {
                reason = name + chunk + " holds a voxel of unknown type " + std::to_string(v);
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
    const int s = WorldFormat::ChunkSide;
    return ((z / s) * chunksY + y / s) * chunksX + x / s;
}

void WorldFile::ChunkBytes(int number, std::uint8_t* out) const
{
    const int s = WorldFormat::ChunkSide;
    const int cx = number % chunksX, cy = (number / chunksX) % chunksY, cz = number / (chunksX * chunksY);
    for (int z = 0; z < s; ++z)
        for (int y = 0; y < s; ++y) {
            std::memcpy(out, map->voxels + map->Index(cx * s, cy * s + y, cz * s + z), s);
            out += s;
        }
}

bool WorldFile::Load(Map& target, std::string& reason)
{
    if (db == nullptr || target.width != facts.width || target.depth != facts.depth || target.height != facts.height) {
        reason = Quoted(path) + " cannot be loaded into this map";
        return false;
    }
    map = &target;
    const int s = WorldFormat::ChunkSide;
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
    std::vector<std::uint8_t> bytes(WorldFormat::ChunkBytes);
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
        CloseDatabase();
        return false;
    }
    if (access == WorldAccess::ReadWrite) {
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

void WorldFile::VoxelChanged(int x, int y, int z)
{
    const int number = ChunkNumber(x, y, z);
    if (dirty[number] == 0) {
        dirty[number] = 1;
        dirtyList.push_back(number);
    }
}

void WorldFile::BeginRound()
{
    round.insert(round.end(), dirtyList.begin(), dirtyList.end());
    dirtyList.clear();
}

bool WorldFile::Prepare(std::size_t chunks)
{
    std::uint8_t bytes[WorldFormat::ChunkBytes];
    for (std::size_t done = 0; done < chunks && roundNext < round.size(); ++done) {
        const int number = round[roundNext++];
        dirty[number] = 0; // a change from now on needs the next round
        ChunkBytes(number, bytes);
        Prepared p;
        p.number = number;
        p.hash = ChunkHash(bytes, number);
        uLongf size = compressBound(WorldFormat::ChunkBytes);
        p.blob.resize(size);
        compress2(p.blob.data(), &size, bytes, WorldFormat::ChunkBytes, CompressionLevel);
        p.blob.resize(size);
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
    if (db == nullptr)
        return true;
    bool ok = true;
    lastCommitted = 0;
    if (access == WorldAccess::ReadWrite && map != nullptr) {
        BeginRound();
        Prepare(round.size());
        if (!prepared.empty() || !facts.hasChecksum)
            ok = Commit(reason);
        if (ok) {
            // Fold the log into the file now that everything is in it; a
            // failure here loses nothing, the log stays beside it.
            sqlite3_db_config(db, SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE, 0, nullptr);
        }
    }
    CloseDatabase();
    return ok;
}
