// UserFolder: the user's folder and the packaged defaults.
#include "core/UserFolder.h"

#include "platform/Utf8Path.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string packagedDataFolder;

std::string UserFolderFor(const char* xdgDataHome, const char* home)
{
    if (xdgDataHome != nullptr && fs::path(xdgDataHome).is_absolute())
        return (fs::path(xdgDataHome) / "veldmarrow").string();
    if (home != nullptr && fs::path(home).is_absolute())
        return (fs::path(home) / ".local" / "share" / "veldmarrow").string();
    return "";
}

std::string AbsoluteFrom(const std::string& base, const std::string& path)
{
    const fs::path p(path);
    return p.is_absolute() ? path : (fs::path(base) / p).string();
}

std::string BesideFile(const std::string& file, const std::string& name)
{
    const fs::path folder = Utf8Path(file).parent_path();
    if (folder.empty())
        return name;
    return (folder / Utf8Path(name)).u8string();
}

bool EnterUserFolder(const std::string& folder, const std::string& defaults, std::string& reason)
{
    const fs::path dir(folder);
    const fs::path settings = dir / "settings.lua";
    std::error_code error;
    fs::create_directories(dir, error);
    if (error) {
        reason = "cannot make the folder " + folder + ": " + error.message();
        return false;
    }
    // symlink_status: a dangling link is the user's too, and is left alone.
    if (!fs::exists(fs::symlink_status(settings, error))) {
        const fs::path source = fs::path(defaults) / "settings.lua";
        const fs::path partial = dir / ".settings.lua.partial";
        fs::copy_file(source, partial, fs::copy_options::overwrite_existing, error);
        if (!error)
            fs::rename(partial, settings, error);
        if (error) {
            std::error_code ignored;
            fs::remove(partial, ignored);
            reason = "cannot copy " + source.string() + " to " + settings.string() + ": " + error.message();
            return false;
        }
    }
    fs::current_path(dir, error);
    if (error) {
        reason = "cannot enter the folder " + folder + ": " + error.message();
        return false;
    }
    return true;
}

std::string DataFilePath(const std::string& name)
{
    std::error_code error;
    if (packagedDataFolder.empty() || fs::exists(fs::path(name), error))
        return name;
    return (fs::path(packagedDataFolder) / name).string();
}
