// Platform on Linux and other POSIX systems.
#include "core/Platform.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <ctime>

void SetProcessEnvironment(const char* name, const char* value)
{
    setenv(name, value, 1);
}

bool DisplayVariableMatters()
{
    return true;
}

void* AllocateAligned(std::size_t alignment, std::size_t size)
{
    void* block = nullptr;
    return posix_memalign(&block, alignment, size) == 0 ? block : nullptr;
}

void FreeAligned(void* block)
{
    std::free(block);
}

void AdviseLargePages(void* data, std::size_t bytes)
{
#ifdef MADV_HUGEPAGE
    madvise(data, bytes, MADV_HUGEPAGE); // a refusal just means small pages
#else
    (void)data;
    (void)bytes;
#endif
}

std::size_t PageSize()
{
    static const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return page;
}

void PopulatePageRange(void* data, std::size_t bytes)
{
#ifdef MADV_POPULATE_WRITE
    madvise(data, bytes, MADV_POPULATE_WRITE); // before Linux 5.14: pages come as they are touched
#else
    (void)data;
    (void)bytes;
#endif
}

void ReleasePageRange(void* data, std::size_t bytes)
{
    madvise(data, bytes, MADV_DONTNEED);
}

void ExitProcessWithStatus(int status)
{
    std::exit(status);
}

double ThreadCpuMilliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1000.0 + static_cast<double>(now.tv_nsec) / 1e6;
}

void BeginMillisecondTimer()
{
    // The monotonic clock already has millisecond resolution.
}

void EndMillisecondTimer()
{
}

std::uint32_t SystemMilliseconds()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    // Unsigned arithmetic: the reading wraps exactly like a 32-bit tick counter.
    const std::uint64_t ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u +
                             static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

const char* SystemHeapName()
{
#ifdef __GLIBC__
    return "glibc";
#else
    return "the C library's malloc";
#endif
}

std::uint64_t PeakResidentBytes()
{
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return static_cast<std::uint64_t>(usage.ru_maxrss) * 1024; // Linux counts KiB
}

namespace {

// The value of the "Name:  N kB" line of /proc/meminfo in bytes, or -1.
std::int64_t MemInfoBytes(const char* text, const char* name)
{
    const char* at = std::strstr(text, name);
    if (at == nullptr)
        return -1;
    char* end = nullptr;
    const long long kib = std::strtoll(at + std::strlen(name), &end, 10);
    return end == at + std::strlen(name) || kib < 0 ? -1 : static_cast<std::int64_t>(kib) * 1024;
}

} // namespace

MemoryRoom AvailableMemory()
{
    MemoryRoom room = {UINT64_MAX, UINT64_MAX};
    rlimit limit{};
    if (getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        // The limit counts every mapping the process has, reserved or used.
        unsigned long long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%llu", &pages) != 1)
                pages = 0;
            std::fclose(statm);
        }
        const std::uint64_t mapped = static_cast<std::uint64_t>(pages) * PageSize();
        room.addressSpace = limit.rlim_cur > mapped ? limit.rlim_cur - mapped : 0;
    }
    if (FILE* meminfo = std::fopen("/proc/meminfo", "r")) {
        char text[4096];
        const std::size_t n = std::fread(text, 1, sizeof text - 1, meminfo);
        std::fclose(meminfo);
        text[n] = '\0';
        const std::int64_t free = MemInfoBytes(text, "MemAvailable:"), swap = MemInfoBytes(text, "SwapFree:");
        if (free >= 0)
            room.memory = static_cast<std::uint64_t>(free) + static_cast<std::uint64_t>(swap > 0 ? swap : 0);
    }
    return room;
}

std::vector<std::string> ProgramArguments(int argc, char* argv[])
{
    return std::vector<std::string>(argv, argv + argc);
}

void AttachParentConsole()
{
    // The terminal's streams are the program's own.
}

void ShowErrorMessage(const char*)
{
    // The terminal and error.txt already hold the reason.
}

bool ProgramClosesOnAltF4()
{
    return false;
}

bool WindowPositionThatFits(int, int, int&, int&)
{
    // The window manager keeps the title bar on screen.
    return false;
}

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
