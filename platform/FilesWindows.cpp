// Files on Windows (64-bit, built with MinGW-w64).
#include "platform/Files.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace {

// File names are UTF-8 inside the program; one that is not (the ANSI code
// page's bytes) is read in that code page instead.
std::wstring WideName(const char* path)
{
    for (const UINT codePage : {static_cast<UINT>(CP_UTF8), static_cast<UINT>(CP_ACP)}) {
        const DWORD flags = codePage == CP_UTF8 ? MB_ERR_INVALID_CHARS : 0;
        const int n = MultiByteToWideChar(codePage, flags, path, -1, nullptr, 0);
        if (n > 0) {
            std::wstring wide(static_cast<std::size_t>(n), L'\0');
            MultiByteToWideChar(codePage, flags, path, -1, &wide[0], n);
            wide.resize(static_cast<std::size_t>(n - 1));
            return wide;
        }
    }
    return std::wstring();
}

} // namespace

int WriteNewFile(const char* path, const void* data, std::size_t size)
{
    const std::wstring name = WideName(path);
    const int fd = _wopen(name.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                          _S_IREAD | _S_IWRITE);
    if (fd < 0)
        return errno;
    const char* p = static_cast<const char*>(data);
    std::size_t left = size;
    int error = 0;
    while (left > 0 && error == 0) {
        const unsigned chunk = left > (1u << 30) ? (1u << 30) : static_cast<unsigned>(left);
        const int n = _write(fd, p, chunk);
        if (n > 0) {
            p += n;
            left -= static_cast<std::size_t>(n);
        } else {
            error = n < 0 ? errno : EIO;
        }
    }
    if (error == 0 && _commit(fd) != 0)
        error = errno;
    if (_close(fd) != 0 && error == 0)
        error = errno;
    if (error != 0)
        _wremove(name.c_str());
    return error;
}

bool RenameOver(const char* from, const char* to, std::string& error)
{
    if (MoveFileExW(WideName(from).c_str(), WideName(to).c_str(),
                    MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return true;
    const DWORD code = GetLastError();
    char text[256] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text, sizeof text,
                   nullptr);
    error = text;
    while (!error.empty() && (error.back() == '\n' || error.back() == '\r' || error.back() == ' '))
        error.pop_back();
    if (error.empty())
        error = "Windows error " + std::to_string(code);
    return false;
}

void RemoveCreatedFile(const char* path)
{
    _wremove(WideName(path).c_str());
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

namespace {

// The errno value for a Windows error code.
int ErrnoOf(DWORD code)
{
    switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
        return ENOENT;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
        return EEXIST;
    case ERROR_ACCESS_DENIED:
        return EACCES;
    case ERROR_SHARING_VIOLATION:
        return EBUSY;
    case ERROR_LOCK_VIOLATION:
        return EWOULDBLOCK;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return ENOSPC;
    case ERROR_WRITE_PROTECT:
        return EROFS;
    default:
        return EIO;
    }
}

// Past SQLite's lock bytes (1 GiB to 1 GiB + 511) and any world's data:
// Windows locks keep others from reading and writing the bytes they cover.
constexpr DWORD ProgramLockByte = 0x60000000;

// Shared with every other opener, deletion included, so that the file can
// still be moved to its name while the lock is held.
LockedFile OpenAndLock(const char* path, DWORD access, DWORD disposition, FileLock kind, int& error)
{
    const std::wstring name = WideName(path);
    const HANDLE file = CreateFileW(name.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = ErrnoOf(GetLastError());
        return NoLockedFile;
    }
    OVERLAPPED at{};
    at.Offset = ProgramLockByte;
    const DWORD flags = LOCKFILE_FAIL_IMMEDIATELY | (kind == FileLock::Exclusive ? LOCKFILE_EXCLUSIVE_LOCK : 0);
    if (!LockFileEx(file, flags, 0, 1, 0, &at)) {
        error = ErrnoOf(GetLastError());
        CloseHandle(file);
        if (disposition == CREATE_NEW)
            DeleteFileW(name.c_str());
        return NoLockedFile;
    }
    error = 0;
    return reinterpret_cast<LockedFile>(file);
}

bool FileIdentity(HANDLE file, BY_HANDLE_FILE_INFORMATION& info)
{
    return file != INVALID_HANDLE_VALUE && GetFileInformationByHandle(file, &info);
}

} // namespace

bool MoveToFreeName(const char* from, const char* to, int& error)
{
    // Write-through: the rename is on disk when this returns, so there is no
    // folder to flush afterwards. Without MOVEFILE_REPLACE_EXISTING nothing
    // at `to` is ever replaced.
    if (MoveFileExW(WideName(from).c_str(), WideName(to).c_str(), MOVEFILE_WRITE_THROUGH)) {
        error = 0;
        return true;
    }
    error = ErrnoOf(GetLastError());
    return false;
}

LockedFile OpenLocked(const char* path, FileLock lock, int& error)
{
    const DWORD access = lock == FileLock::Exclusive ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ;
    return OpenAndLock(path, access, OPEN_EXISTING, lock, error);
}

LockedFile CreateLocked(const char* path, int& error)
{
    return OpenAndLock(path, GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FileLock::Exclusive, error);
}

std::int64_t LockedFileSize(LockedFile file)
{
    LARGE_INTEGER size;
    return file != NoLockedFile && GetFileSizeEx(reinterpret_cast<HANDLE>(file), &size) ? size.QuadPart : -1;
}

bool IsLockedFile(LockedFile file, const char* path)
{
    if (file == NoLockedFile)
        return false;
    const HANDLE named = CreateFileW(WideName(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION a{}, b{};
    // Wine reports volume serial 0 for a handle whose file was renamed
    // since it was opened: a serial is compared only where both have one.
    const bool same = FileIdentity(reinterpret_cast<HANDLE>(file), a) && FileIdentity(named, b) &&
                      (a.dwVolumeSerialNumber == b.dwVolumeSerialNumber || a.dwVolumeSerialNumber == 0 ||
                       b.dwVolumeSerialNumber == 0) &&
                      a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
    if (named != INVALID_HANDLE_VALUE)
        CloseHandle(named);
    return same;
}

bool RemoveLockedFile(LockedFile& file, const char* path)
{
    // Windows keeps the name of a file deleted while open until its last
    // handle closes: closed first, then removed.
    const bool same = IsLockedFile(file, path);
    CloseLocked(file);
    return same && DeleteFileW(WideName(path).c_str());
}

void CloseLocked(LockedFile& file)
{
    if (file != NoLockedFile)
        CloseHandle(reinterpret_cast<HANDLE>(file));
    file = NoLockedFile;
}

void SyncFolderOf(const char*) {}
