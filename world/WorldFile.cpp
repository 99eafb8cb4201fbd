// WorldFile: opening a kept world (the lock, and a new world where there is
// none), loading it, and its commits from the first to the last.
#include "world/WorldFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "platform/Files.h"
#include "core/PrintableText.h"
#include "platform/Utf8Path.h"
#include "world/ChunkCodec.h"
#include "world/MapChunks.h"
#include "world/WorldCheck.h"

namespace {

std::string Quoted(const std::string& path) { return "world " + QuotedName(path); }

namespace fs = std::filesystem;

// The errno value of opening `file` for reading; 0 when it can be read.
int ReadError(const std::string& file)
{
    errno = 0;
    std::ifstream in(Utf8Path(file), std::ios::binary);
    return in ? 0 : errno != 0 ? errno : EACCES;
}

} // namespace

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
    store.Close();
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
            if (WorldStore::Create(lock, target, name, newSeed, taken, reason)) {
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
        if (FileSize(target) != 0)
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
    WorldContents contents;
    const WorldOpened result = CheckWorldFile(target, access, Quoted(path), contents, reason);
    if (result != WorldOpened::Ok) {
        if (created)
            lock.RemoveAndRelease(target);
        lock.Release();
        return result;
    }
    // The stored chunks are in memory: the file is opened again, for
    // saving, only once the world is accepted (Load).
    TakeContents(contents);
    opened = true;
    return WorldOpened::Ok;
}

WorldOpened WorldFile::OpenImage(const std::uint8_t* data, std::size_t size, std::string& reason)
{
    path = "(in memory)";
    access = WorldAccess::ReadOnly;
    WorldContents contents;
    const WorldOpened result = CheckWorldImage(data, size, Quoted(path), contents, reason);
    if (result == WorldOpened::Ok)
        TakeContents(contents);
    return result;
}

void WorldFile::TakeContents(WorldContents& contents)
{
    facts = contents.facts;
    const int side = ChunkSize;
    stored.assign(static_cast<std::size_t>(facts.width / side) * (facts.depth / side) * (facts.height / side), false);
    for (const auto& chunk : contents.chunks)
        stored[chunk.first] = true;
    storedCount = contents.chunks.size();
    loaded = std::move(contents.chunks);
    hasPose = contents.hasPose;
    // A world without a row is where play starts from anyway.
    committedPose = pose_ = hasPose ? contents.pose : StartPose();
    named = std::move(contents.named);
}

bool WorldFile::Load(Map& into, std::string& reason)
{
    if (!opened || into.width != facts.width || into.depth != facts.depth || into.height != facts.height) {
        reason = Quoted(path) + " cannot be loaded into this map";
        return false;
    }
    map = &into;
    for (const auto& chunk : loaded)
        MapChunks::CopyIn(into, chunk.first, chunk.second.data());
    std::vector<std::pair<int, std::vector<std::uint8_t>>>().swap(loaded);

    changes.Start(into);
    if (facts.hasChecksum && changes.Checksum() != facts.checksum) {
        char text[64];
        std::snprintf(text, sizeof text, "%016llX, saved %016llX", static_cast<unsigned long long>(changes.Checksum()),
                      static_cast<unsigned long long>(facts.checksum));
        reason = Quoted(path) + " refused: its seed " + std::to_string(facts.seed) +
                 " builds another terrain here (checksum " + text + ")";
        map = nullptr;
        return false;
    }
    if (access == WorldAccess::ReadWrite) {
        if (!store.Open(target, Quoted(path), facts.saves, facts.format, notice, reason)) {
            map = nullptr;
            CloseDatabase();
            return false;
        }
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

void WorldFile::EndFold() { store.EndFold(notice); }

void WorldFile::VoxelChanged(int x, int y, int z) { changes.Mark(MapChunks::NumberOf(*map, x, y, z)); }

bool WorldFile::Commit(std::string& reason)
{
    EndFold(); // one user of the connection at a time
    if (!store.IsOpen() || access != WorldAccess::ReadWrite) {
        reason = "the world is not open for saving";
        return false;
    }
    const std::uint64_t next = changes.NextChecksum();
    std::string why;
    if (!store.Commit(changes.Prepared(), next, pose_, namedWaiting, facts.format, facts.saved, why)) {
        changes.Failed(); // everything prepared waits for the next try
        reason = "cannot save " + Quoted(path) + ": " + why;
        return false;
    }
    for (const PreparedChunk& p : changes.Prepared())
        if (!stored[p.number]) {
            stored[p.number] = true;
            ++storedCount;
        }
    lastCommitted = changes.Prepared().size();
    changes.Committed(next);
    committedPose = pose_;
    hasPose = true;
    namedWaiting.clear();
    facts.hasChecksum = true;
    facts.checksum = next;
    ++facts.saves;
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
        store.SyncFully();
        changes.PrepareAll();
        if (!changes.Prepared().empty() || !facts.hasChecksum || pose_ != committedPose || !namedWaiting.empty())
            ok = Commit(reason);
        if (ok)
            store.FoldNow(notice);
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

void WorldFile::KeepNamedPose(const std::string& name, const PlayerPose& pose)
{
    named[name] = pose;
    namedWaiting[name] = pose;
}

bool WorldFile::StoredPose(PlayerPose& pose) const
{
    if (hasPose)
        pose = committedPose;
    return hasPose;
}
