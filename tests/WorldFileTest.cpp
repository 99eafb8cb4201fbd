// Kept worlds on disk: worlds that cannot be used are refused with the
// reason the player reads and left as they were, one program at a time
// plays in a world, and a save that fails loses nothing.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <zlib.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "support/TestWorld.h"
#include "world/ChunkCodec.h"
#include "world/VoxelType.h"
#include "world/WorldFile.h"

namespace fs = std::filesystem;

namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes Compressed(const Bytes& data, int level = 6)
{
    uLongf size = compressBound(static_cast<uLong>(data.size()));
    Bytes out(size);
    compress2(out.data(), &size, data.data(), static_cast<uLong>(data.size()), level);
    out.resize(size);
    return out;
}

using Chunks = std::vector<std::pair<int, Bytes>>;

void Exec(sqlite3* db, const std::string& sql)
{
    ASSERT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK) << sql;
}

// A world file as the program writes one (`checksum` is SQL), or shaped otherwise.
void MakeWorld(const std::string& path, const char* checksum = "NULL", const Chunks& chunks = {}, int version = 1,
               int width = MapWidth, const char* journal = "WAL")
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    Exec(db, "PRAGMA application_id=" + std::to_string(WorldFormat::ApplicationId) +
                "; PRAGMA user_version=" + std::to_string(version) + ";");
    Exec(db, "CREATE TABLE world (id INTEGER PRIMARY KEY CHECK (id = 1), format INTEGER NOT NULL, program TEXT NOT "
            "NULL, seed INTEGER NOT NULL, width INTEGER NOT NULL, depth INTEGER NOT NULL, height INTEGER NOT NULL, "
            "checksum INTEGER, saves INTEGER NOT NULL, created TEXT NOT NULL, saved TEXT NOT NULL);"
            "CREATE TABLE chunk (id INTEGER PRIMARY KEY, voxels BLOB NOT NULL);");
    Exec(db, "INSERT INTO world VALUES (1, " + std::to_string(version) + ", '0.9.0', 7, " +
                std::to_string(width) + ", 512, 256, " + checksum + ", 1, 'then', 'then');");
    if (version >= 2)
        Exec(db, "CREATE TABLE player (id INTEGER PRIMARY KEY CHECK (id = 1), x REAL NOT NULL, y REAL NOT NULL, z REAL "
                 "NOT NULL, yaw REAL NOT NULL, pitch REAL NOT NULL, walking INTEGER NOT NULL, selected INTEGER NOT "
                 "NULL, hud INTEGER NOT NULL); INSERT INTO player VALUES (1, 256, 256, 128, 0, 0, 0, 1, 0);");
    for (const auto& chunk : chunks) {
        sqlite3_stmt* insert = nullptr;
        ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO chunk VALUES (?, ?)", -1, &insert, nullptr), SQLITE_OK);
        sqlite3_bind_int(insert, 1, chunk.first);
        sqlite3_bind_blob(insert, 2, chunk.second.data(), static_cast<int>(chunk.second.size()), SQLITE_STATIC);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_finalize(insert);
    }
    Exec(db, std::string("PRAGMA journal_mode=") + journal + ";");
    sqlite3_close(db);
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// A file's bytes and modification time.
std::pair<std::string, fs::file_time_type> Fingerprint(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::string(std::istreambuf_iterator<char>(in), {}), fs::last_write_time(path)};
}

std::set<std::string> Listing(const fs::path& folder)
{
    std::set<std::string> names;
    for (const auto& entry : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(entry.path(), folder).string());
    return names;
}

std::string Quoted(const std::string& path) { return "world \"" + path + "\""; }

// Lowers the process's file size limit to `bytes` while it lives: a write
// past it fails (EFBIG) as one on a full disk fails.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &before);
        handler = signal(SIGXFSZ, SIG_IGN);
        rlimit low = before;
        low.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &low);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &before);
        signal(SIGXFSZ, handler);
    }

private:
    rlimit before{};
    void (*handler)(int) = SIG_DFL;
};

class WorldFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string name = (fs::temp_directory_path() / "veldmarrow-world-XXXXXX").string();
        ASSERT_NE(mkdtemp(name.data()), nullptr);
        folder = name;
    }
    void TearDown() override { fs::remove_all(folder); }
    std::string At(const std::string& name) const { return (folder / name).string(); }

    fs::path folder;
};

TEST_F(WorldFileTest, WorldsThatCannotBeUsedAreRefusedWithTheReasonAndLeftAsTheyWere)
{
    const Bytes blank(ChunkVoxels, Air);
    std::mt19937 random(36);
    Chunks noise;
    for (int i = 0; i < 40; ++i) {
        Bytes bytes(3000);
        for (auto& b : bytes)
            b = static_cast<std::uint8_t>(random());
        noise.emplace_back(i, Compressed(bytes));
    }
    struct Case {
        std::function<void(const std::string&)> make;
        std::string reason; // after `world "NAME" `
    };
    const std::map<std::string, Case> cases = {
        {"notes.txt", {[](const std::string& p) { Write(p, "my notes\n"); },
                       "refused: not a Veldmarrow world (not an SQLite database)"}},
        {"foreign.db", {[](const std::string& p) {
                            sqlite3* db = nullptr;
                            sqlite3_open(p.c_str(), &db);
                            Exec(db, "CREATE TABLE t (x)");
                            sqlite3_close(db);
                        },
                        "refused: not a Veldmarrow world (an SQLite database of another program, application id "
                        "0x00000000)"}},
        {"newer.db", {[](const std::string& p) { MakeWorld(p, "NULL", {}, 3); },
                      "refused: saved by a newer Veldmarrow (world format 3; this one reads format 2)"}},
        {"unknown2.db", {[](const std::string& p) {
                             MakeWorld(p, "1", {{9, Compressed(Bytes(ChunkVoxels, 10))}}, 2);
                         },
                         "refused: the file is damaged: chunk 9 holds a voxel of unknown type 10"}},
        {"slot.db", {[](const std::string& p) {
                         MakeWorld(p, "NULL", {}, 2);
                         sqlite3* db = nullptr;
                         sqlite3_open(p.c_str(), &db);
                         Exec(db, "UPDATE player SET selected = 12");
                         sqlite3_close(db);
                     },
                     "refused: the file is damaged: the player's mode, slot or overlay is out of range"}},
        {"wide.db", {[](const std::string& p) { MakeWorld(p, "NULL", {}, 1, 1024); },
                     "refused: made for a 1024x512x256 map; this Veldmarrow's map is 512x512x256"}},
        {"short.db", {[&](const std::string& p) {
                          MakeWorld(p, "1", {{5, Compressed(Bytes(blank.begin(), blank.end() - 1))}});
                      },
                      "refused: the file is damaged: chunk 5 inflates to 4095 bytes, not 4096"}},
        {"nowhere.db", {[&](const std::string& p) { MakeWorld(p, "1", {{16384, Compressed(blank)}}); },
                        "refused: the file is damaged: a stored chunk is numbered 16384, which names no chunk"}},
        {"bomb.db", {[](const std::string& p) { MakeWorld(p, "1", {{3, Compressed(Bytes(1 << 21), 9)}}); },
                     "refused: the file is damaged: chunk 3 inflates to more than 4096 bytes"}},
        // Format 1 knew the terrain's three types only.
        {"unknown.db", {[](const std::string& p) {
                            MakeWorld(p, "1", {{9, Compressed(Bytes(ChunkVoxels, 4))}});
                        },
                        "refused: the file is damaged: chunk 9 holds a voxel of unknown type 4"}},
        {"nochecksum.db", {[&](const std::string& p) { MakeWorld(p, "NULL", {{1, Compressed(blank)}}); },
                           "refused: the file is damaged: it holds chunks but no checksum"}},
        // A page overwritten: SQLite's own check finds it (its words vary).
        {"damaged.db", {[&](const std::string& p) {
                            MakeWorld(p, "1", noise);
                            std::fstream f(p, std::ios::in | std::ios::out | std::ios::binary);
                            f.seekp(4096 * 3);
                            f << std::string(200, '\xff');
                        },
                        "refused: the file is damaged: "}},
        {"folder", {[](const std::string& p) { fs::create_directory(p); }, "refused: it is a folder"}},
        {"missing/w.db", {[](const std::string&) {},
                          "cannot be created in the folder \"" + (folder / "missing").string() + "\": " +
                              std::strerror(ENOENT)}},
    };
    for (const auto& [name, c] : cases)
        c.make(At(name));
    std::map<std::string, std::pair<std::string, fs::file_time_type>> before;
    for (const auto& [name, c] : cases)
        if (fs::is_regular_file(At(name)))
            before[name] = Fingerprint(At(name));
    const std::set<std::string> listing = Listing(folder);

    for (const auto& [name, c] : cases) {
        SCOPED_TRACE(name);
        WorldFile world;
        std::string reason;
        EXPECT_EQ(world.Open(At(name), WorldAccess::ReadWrite, 7, reason), WorldOpened::Refused);
        if (name == "damaged.db")
            EXPECT_EQ(reason.rfind(Quoted(At(name)) + " " + c.reason, 0), 0u) << reason;
        else
            EXPECT_EQ(reason, Quoted(At(name)) + " " + c.reason);
    }

    // The seed builds another terrain than the one saved: found once the
    // terrain is built, before a byte is written (a world in rollback-journal
    // mode keeps its header too).
    for (const char* journal : {"WAL", "DELETE"}) {
        SCOPED_TRACE(journal);
        const std::string other = At(std::string("other-") + journal + ".db");
        MakeWorld(other, "12345", {}, 1, MapWidth, journal);
        before[fs::path(other).filename().string()] = Fingerprint(other);
        WorldFile world;
        std::string reason;
        ASSERT_EQ(world.Open(other, WorldAccess::ReadWrite, 7, reason), WorldOpened::Ok) << reason;
        std::unique_ptr<Map> map(EmptyMap());
        EXPECT_FALSE(world.Load(*map, reason));
        EXPECT_EQ(reason.rfind(Quoted(other) + " refused: its seed 7 builds another terrain here (checksum ", 0), 0u)
            << reason;
        EXPECT_NE(reason.find(", saved 0000000000003039)"), std::string::npos) << reason;
    }

    for (const auto& [name, fingerprint] : before)
        EXPECT_TRUE(Fingerprint(At(name)) == fingerprint) << name << " was changed";
    std::set<std::string> now = Listing(folder);
    now.erase("other-WAL.db");
    now.erase("other-DELETE.db");
    EXPECT_EQ(now, listing);
}

TEST_F(WorldFileTest, OneProgramAtATimePlaysInAWorld)
{
    const std::string path = At("held.db");
    std::string reason;
    std::unique_ptr<Map> map(EmptyMap());
    {
        WorldFile first;
        ASSERT_EQ(first.Open(path, WorldAccess::ReadWrite, 7, reason), WorldOpened::Ok) << reason;
        ASSERT_TRUE(first.Load(*map, reason)) << reason;
        for (WorldAccess access : {WorldAccess::ReadWrite, WorldAccess::ReadOnly}) {
            WorldFile second;
            EXPECT_EQ(second.Open(path, access, 7, reason), WorldOpened::Held);
            EXPECT_EQ(reason, Quoted(path) + " is in use by another running Veldmarrow");
        }
        EXPECT_TRUE(first.Close(reason)) << reason;
    }
    // Once the first has ended, the world is there for the next.
    WorldFile next;
    EXPECT_EQ(next.Open(path, WorldAccess::ReadWrite, 7, reason), WorldOpened::Ok) << reason;
    EXPECT_FALSE(next.Created());
    EXPECT_EQ(next.Facts().saves, 1);
}

TEST_F(WorldFileTest, ASaveThatFailsIsTriedAgainAndLosesNothing)
{
    const std::string path = At("w.db");
    std::string reason;
    Map dug(new FillGenerator(Stone));
    WorldFile world;
    ASSERT_EQ(world.Open(path, WorldAccess::ReadWrite, 7, reason), WorldOpened::Ok) << reason;
    ASSERT_TRUE(world.Load(dug, reason)) << reason;
    const std::int64_t saves = world.Facts().saves;
    dug.CarveSphere(100, 100, 100, 9.0f);
    ASSERT_TRUE(world.BeginRound());
    ASSERT_TRUE(world.Prepare(1000));
    const std::size_t changed = world.Unsaved();
    ASSERT_GT(changed, 1u);
    {
        // No room for the log to grow: the commit fails and is rolled back.
        FileSizeLimit full(fs::file_size(path + "-wal"));
        EXPECT_FALSE(world.Commit(reason));
    }
    EXPECT_EQ(reason.rfind("cannot save " + Quoted(path) + ": ", 0), 0u) << reason;
    EXPECT_EQ(world.Unsaved(), changed);
    EXPECT_EQ(world.Facts().saves, saves);
    // The chunks wait for the next round, which succeeds once there is room.
    world.BeginRound();
    ASSERT_TRUE(world.Prepare(1000));
    ASSERT_TRUE(world.Commit(reason)) << reason;
    EXPECT_EQ(world.LastCommitted(), changed);
    EXPECT_FALSE(world.HasChanges());
    ASSERT_TRUE(world.Close(reason)) << reason;

    WorldFile again;
    ASSERT_EQ(again.Open(path, WorldAccess::ReadWrite, 7, reason), WorldOpened::Ok) << reason;
    EXPECT_EQ(again.StoredChunks(), changed);
    EXPECT_EQ(again.Facts().saves, saves + 1);
    Map resumed(new FillGenerator(Stone));
    ASSERT_TRUE(again.Load(resumed, reason)) << reason;
    EXPECT_EQ(VoxelChecksum(resumed), VoxelChecksum(dug));
    EXPECT_TRUE(again.Close(reason)) << reason;
}

TEST_F(WorldFileTest, WhereThePlayerStoodIsKeptAndAFormatOneWorldBecomesFormatTwo)
{
    const std::string path = At("old.db");
    MakeWorld(path); // format 1: no player's row, as an older Veldmarrow left it
    const auto userVersion = [&] {
        sqlite3* db = nullptr;
        sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr);
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "PRAGMA user_version", -1, &s, nullptr);
        const int version = sqlite3_step(s) == SQLITE_ROW ? sqlite3_column_int(s, 0) : -1;
        sqlite3_finalize(s);
        sqlite3_close(db);
        return version;
    };
    PlayerPose built;
    built.position[0] = 100.25f;
    built.position[1] = 7.5f;
    built.position[2] = 61.6f;
    built.yaw = 271.125f;
    built.pitch = -33.3f;
    built.walking = true;
    built.slot = 9;
    built.hud = true;
    std::string reason;
    {
        WorldFile world;
        ASSERT_EQ(world.Open(path, WorldAccess::ReadWrite, 7, reason), WorldOpened::Ok) << reason;
        EXPECT_EQ(world.Facts().format, 1);
        PlayerPose pose;
        EXPECT_FALSE(world.StoredPose(pose));
        Map map(new FillGenerator(Stone));
        ASSERT_TRUE(world.Load(map, reason)) << reason;
        map.SetVoxel(10, 20, 30, Leaves);
        world.KeepPose(built);
        ASSERT_TRUE(world.Close(reason)) << reason;
    }
    EXPECT_EQ(userVersion(), 2);
    PlayerPose walked = built;
    walked.position[0] = 101.0f;
    walked.walking = false;
    {
        WorldFile world;
        ASSERT_EQ(world.Open(path, WorldAccess::ReadWrite, 7, reason), WorldOpened::Ok) << reason;
        EXPECT_EQ(world.Facts().format, 2);
        PlayerPose pose;
        ASSERT_TRUE(world.StoredPose(pose));
        EXPECT_TRUE(pose == built);
        Map map(new FillGenerator(Stone));
        ASSERT_TRUE(world.Load(map, reason)) << reason;
        EXPECT_EQ(map.At(10, 20, 30), Leaves);
        // Only moved, nothing built: the end's save still keeps the pose,
        // and those a server keeps by name.
        world.KeepPose(walked);
        world.KeepNamedPose("Mirra Öst", built);
        ASSERT_TRUE(world.Close(reason)) << reason;
    }
    WorldFile world;
    ASSERT_EQ(world.Open(path, WorldAccess::ReadOnly, 7, reason), WorldOpened::Ok) << reason;
    PlayerPose pose;
    ASSERT_TRUE(world.StoredPose(pose));
    EXPECT_TRUE(pose == walked);
    ASSERT_EQ(world.NamedPoses().count("Mirra Öst"), 1u);
    EXPECT_TRUE(world.NamedPoses().at("Mirra Öst") == built);
}

} // namespace
