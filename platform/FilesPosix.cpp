// Files on POSIX systems.
#include "platform/Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

int WriteNewFile(const char* path, const void* data, std::size_t size)
{
    const int fd = open(path, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno;
    const char* p = static_cast<const char*>(data);
    std::size_t left = size;
    int error = 0;
    while (left > 0 && error == 0) {
        const ssize_t n = write(fd, p, left);
        if (n > 0) {
            p += n;
            left -= static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EINTR) {
            error = errno;
        } else if (n == 0) {
            error = EIO;
        }
    }
    if (error == 0 && fsync(fd) != 0)
        error = errno;
    if (close(fd) != 0 && error == 0 && errno != EINTR)
        error = errno;
    if (error != 0)
        unlink(path);
    return error;
}

bool RenameOver(const char* from, const char* to, std::string& error)
{
    if (rename(from, to) != 0) {
        error = std::strerror(errno);
        return false;
    }
    // The rename itself is on disk only once its folder is.
    SyncFolderOf(to);
    return true;
}

void RemoveCreatedFile(const char* path)
{
    unlink(path);
}

std::string ErrorText(int error)
{
    return std::strerror(error);
}

bool MoveToFreeName(const char* from, const char* to, int& error)
{
    error = 0;
    if (renameat2(AT_FDCWD, from, AT_FDCWD, to, RENAME_NOREPLACE) != 0) {
        error = errno;
        if (error == EINVAL || error == ENOSYS) {
            // A file system without it: a hard link is never made over a name either.
            error = link(from, to) == 0 ? 0 : errno;
            if (error == 0)
                unlink(from);
        }
    }
    if (error != 0)
        return false;
    SyncFolderOf(to);
    return true;
}

namespace {

// Past SQLite's lock bytes (1 GiB to 1 GiB + 511) and any world's data.
constexpr off_t ProgramLockByte = 0x60000000;

// The lock on an open file description, not the process: SQLite closing
// its own descriptors of the file never drops it (nor it SQLite's locks).
// Without such locks (kernels before 3.15), flock, which is apart from
// SQLite's fcntl locks as well.
int TakeLock(int fd, FileLock kind)
{
#ifdef F_OFD_SETLK
    struct flock lock {};
    lock.l_type = kind == FileLock::Exclusive ? F_WRLCK : F_RDLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = ProgramLockByte;
    lock.l_len = 1;
    if (fcntl(fd, F_OFD_SETLK, &lock) == 0)
        return 0;
    if (errno != EINVAL)
        return errno == EACCES || errno == EAGAIN ? EWOULDBLOCK : errno;
#endif
    if (flock(fd, (kind == FileLock::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB) == 0)
        return 0;
    return errno == EWOULDBLOCK ? EWOULDBLOCK : errno;
}

LockedFile OpenAndLock(const char* path, int flags, FileLock kind, int& error)
{
    const int fd = open(path, flags | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd < 0) {
        error = errno;
        return NoLockedFile;
    }
    error = TakeLock(fd, kind);
    if (error != 0) {
        if ((flags & O_CREAT) != 0)
            unlink(path);
        close(fd);
        return NoLockedFile;
    }
    return fd;
}

} // namespace

LockedFile OpenLocked(const char* path, FileLock lock, int& error)
{
    return OpenAndLock(path, lock == FileLock::Exclusive ? O_RDWR : O_RDONLY, lock, error);
}

LockedFile CreateLocked(const char* path, int& error)
{
    return OpenAndLock(path, O_RDWR | O_CREAT | O_EXCL, FileLock::Exclusive, error);
}

std::int64_t LockedFileSize(LockedFile file)
{
    struct stat held {};
    return file != NoLockedFile && fstat(static_cast<int>(file), &held) == 0 ? static_cast<std::int64_t>(held.st_size)
                                                                            : -1;
}

bool IsLockedFile(LockedFile file, const char* path)
{
    struct stat held {}, named {};
    return file != NoLockedFile && fstat(static_cast<int>(file), &held) == 0 && stat(path, &named) == 0 &&
           held.st_dev == named.st_dev && held.st_ino == named.st_ino;
}

bool RemoveLockedFile(LockedFile& file, const char* path)
{
    const bool removed = IsLockedFile(file, path) && unlink(path) == 0;
    CloseLocked(file);
    return removed;
}

void CloseLocked(LockedFile& file)
{
    if (file != NoLockedFile)
        close(static_cast<int>(file));
    file = NoLockedFile;
}

void SyncFolderOf(const char* path)
{
    std::string folder(path);
    const std::size_t slash = folder.find_last_of('/');
    folder = slash == std::string::npos ? "." : slash == 0 ? "/" : folder.substr(0, slash);
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd); // some file systems cannot sync a folder; the rename stands
        close(fd);
    }
}
