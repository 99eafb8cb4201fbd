// WorldLock: the lock, the building name and the move into place.
#include "world/WorldLock.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

#include "platform/Utf8Path.h"

namespace fs = std::filesystem;

namespace {

// A new world is built as "<name>.veldmarrow-new-<8 hex digits>".
const std::string BuildingMark = ".veldmarrow-new-";
const std::size_t BuildingDigits = 8;
const int BuildingAttempts = 100;
// Links followed before a name counts as a loop.
const int MostLinks = 40;

std::string BuildingName(const std::string& file)
{
    static std::mt19937 random(static_cast<unsigned>(std::random_device{}()) ^
                               static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", static_cast<unsigned>(random()));
    return file + BuildingMark + digits;
}

bool IsBuildingName(const std::string& name, const std::string& base)
{
    if (name.size() != base.size() + BuildingMark.size() + BuildingDigits || name.compare(0, base.size(), base) != 0 ||
        name.compare(base.size(), BuildingMark.size(), BuildingMark) != 0)
        return false;
    for (std::size_t i = base.size() + BuildingMark.size(); i < name.size(); ++i)
        if (!((name[i] >= '0' && name[i] <= '9') || (name[i] >= 'a' && name[i] <= 'f')))
            return false;
    return true;
}

} // namespace

std::string WorldTarget(const std::string& path)
{
    fs::path name = Utf8Path(path);
    std::error_code error;
    for (int hop = 0; hop < MostLinks && fs::is_symlink(fs::symlink_status(name, error)); ++hop) {
        const fs::path to = fs::read_symlink(name, error);
        if (error)
            break;
        name = to.is_absolute() ? to : name.parent_path() / to;
    }
    return name.u8string();
}

std::string FolderOf(const std::string& file)
{
    const std::string folder = Utf8Path(file).parent_path().u8string();
    return folder.empty() ? "." : folder;
}

int FolderWritable(const std::string& file)
{
    WorldLock probe;
    int error = 0;
    if (!probe.CreateBeside(file, error))
        return error;
    probe.RemoveAndRelease(probe.Building());
    return 0;
}

void RemoveBuildingLeftovers(const std::string& file)
{
    const fs::path path = Utf8Path(file);
    const std::string base = path.filename().u8string();
    std::error_code error;
    fs::directory_iterator entries(path.parent_path().empty() ? fs::path(".") : path.parent_path(), error);
    for (; !error && entries != fs::directory_iterator(); entries.increment(error)) {
        if (!IsBuildingName(entries->path().filename().u8string(), base) || !entries->is_regular_file(error))
            continue;
        // Held: another program is building the world right now. Empty:
        // it may have just been created, a moment before its builder takes
        // the lock (which comes before its first byte), so it is left alone.
        WorldLock leftover;
        int ignored = 0;
        const std::string name = entries->path().u8string();
        if (leftover.TakeExisting(name, FileLock::Exclusive, ignored) == WorldLock::Taken::Yes &&
            leftover.HeldSize() > 0)
            leftover.RemoveAndRelease(name);
    }
}

WorldLock::Taken WorldLock::TakeExisting(const std::string& file, FileLock kind, int& error)
{
    Release();
    held = OpenLocked(file.c_str(), kind, error);
    if (held != NoLockedFile)
        return Taken::Yes;
    return error == EWOULDBLOCK ? Taken::Held : Taken::Failed;
}

bool WorldLock::CreateBeside(const std::string& file, int& error)
{
    Release();
    for (int attempt = 0; attempt < BuildingAttempts; ++attempt) {
        building = BuildingName(file);
        held = CreateLocked(building.c_str(), error);
        if (held != NoLockedFile)
            return true;
        if (error != EEXIST)
            break;
    }
    building.clear();
    return false;
}

bool WorldLock::MoveIntoPlace(const std::string& file, int& error)
{
    if (!MoveToFreeName(building.c_str(), file.c_str(), error))
        return false;
    building.clear();
    return true;
}

void WorldLock::RemoveAndRelease(const std::string& file)
{
    RemoveLockedFile(held, file.c_str());
    building.clear();
}

void WorldLock::Release()
{
    CloseLocked(held);
    building.clear();
}
