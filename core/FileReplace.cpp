// FileReplace: the new file beside the old one, then one rename.
#include "core/FileReplace.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/Files.h"
#include "platform/Utf8Path.h"

namespace fs = std::filesystem;

namespace {

// Another run may be writing beside the same file: a name taken is skipped.
const int TempAttempts = 100;

std::string TempName(const std::string& path, int attempt)
{
    return path + ".new" + (attempt == 0 ? std::string() : std::to_string(attempt));
}

// Creates a new file beside `path` holding the bytes; its name in `temp`.
bool WriteBeside(const std::string& path, const void* data, std::size_t size, std::string& temp,
                 std::string& reason)
{
    for (int attempt = 0; attempt < TempAttempts; ++attempt) {
        temp = TempName(path, attempt);
        const int error = WriteNewFile(temp.c_str(), data, size);
        if (error == 0)
            return true;
        if (error != EEXIST) {
            reason = "cannot create a new file in its folder: " + ErrorText(error);
            return false;
        }
    }
    reason = "cannot create a new file in its folder: " + std::to_string(TempAttempts) + " names beside it are taken";
    return false;
}

// The kind of thing at `path` when it is not a regular file; empty for a
// regular file or nothing.
std::string NotRegular(const fs::file_status& status)
{
    switch (status.type()) {
    case fs::file_type::directory:
        return "it is a directory";
    case fs::file_type::fifo:
        return "it is a FIFO";
    case fs::file_type::socket:
        return "it is a socket";
    case fs::file_type::character:
    case fs::file_type::block:
        return "it is a device";
    case fs::file_type::regular:
    case fs::file_type::not_found:
        return "";
    default:
        return "it is not a regular file";
    }
}

// The file `path` means: a symbolic link's target, since replacing the link
// would put a file where the link was and leave its target stale.
std::string ReplacementTarget(const std::string& path)
{
    std::error_code error;
    if (fs::is_symlink(fs::symlink_status(Utf8Path(path), error))) {
        const fs::path resolved = fs::canonical(Utf8Path(path), error);
        if (!error)
            return resolved.u8string();
    }
    return path;
}

} // namespace

bool CheckReplaceable(const std::string& path, std::string& reason)
{
    std::error_code error;
    const fs::file_status status = fs::status(Utf8Path(path), error);
    if (error && status.type() != fs::file_type::not_found) {
        reason = "cannot be examined: " + error.message();
        return false;
    }
    reason = NotRegular(status);
    if (!reason.empty())
        return false;
    std::string temp;
    if (!WriteBeside(ReplacementTarget(path), nullptr, 0, temp, reason))
        return false;
    RemoveCreatedFile(temp.c_str());
    return true;
}

bool ReplaceFileWhole(const std::string& path, const void* data, std::size_t size, std::string& reason)
{
    std::error_code error;
    const std::string target = ReplacementTarget(path);
    reason = NotRegular(fs::status(Utf8Path(target), error));
    if (!reason.empty())
        return false;
    std::string temp;
    if (!WriteBeside(target, data, size, temp, reason))
        return false;
    if (!RenameOver(temp.c_str(), target.c_str(), reason)) {
        reason = "cannot put the new file in its place: " + reason;
        RemoveCreatedFile(temp.c_str());
        return false;
    }
    return true;
}

bool SameFile(const std::string& a, const std::string& b)
{
    std::error_code errorA, errorB;
    const fs::path fa = Utf8Path(a), fb = Utf8Path(b);
    if (fs::exists(fa, errorA) && fs::exists(fb, errorB)) {
        const bool same = fs::equivalent(fa, fb, errorA);
        return !errorA && same;
    }
    const fs::path pa = fs::weakly_canonical(fs::absolute(fa, errorA), errorA);
    const fs::path pb = fs::weakly_canonical(fs::absolute(fb, errorB), errorB);
    return !errorA && !errorB && pa == pb;
}
