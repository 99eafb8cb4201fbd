// Platform on Windows (64-bit, built with MinGW-w64).
#include "core/Platform.h"

#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <malloc.h>
#include <sys/stat.h>
#include <stdlib.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>

#include "core/WindowPlacement.h"

void SetProcessEnvironment(const char* name, const char* value)
{
    _putenv_s(name, value);
}

bool DisplayVariableMatters()
{
    // Windows has no DISPLAY: the desktop is always the session's own.
    return false;
}

void* AllocateAligned(std::size_t alignment, std::size_t size)
{
    return _aligned_malloc(size, alignment);
}

void FreeAligned(void* block)
{
    _aligned_free(block);
}

void AdviseLargePages(void*, std::size_t)
{
    // Large pages need a privilege ordinary users lack: small pages it is.
}

std::size_t PageSize()
{
    static const std::size_t page = [] {
        SYSTEM_INFO info;
        GetSystemInfo(&info);
        return static_cast<std::size_t>(info.dwPageSize);
    }();
    return page;
}

void PopulatePageRange(void*, std::size_t)
{
    // No single call supplies committed heap pages ahead of their first touch.
}

void ReleasePageRange(void* data, std::size_t bytes)
{
    // The pages stay committed but need not be kept: the system may reuse them.
    VirtualAlloc(data, bytes, MEM_RESET, PAGE_READWRITE);
}

void ExitProcessWithStatus(int status)
{
    // Under Wine a thread that ends by itself while the process exits can
    // leave its own exit code as the process's: SDL's exit action (SDL_Quit)
    // stops its timer, whose thread then ends, and an exit status of 1 or 3
    // was seen as 0. So the streams are flushed here and the process ends at
    // once, every thread with it; Windows itself releases the window and
    // restores the display mode of a process that ends.
    std::cout.flush();
    std::cerr.flush();
    std::fflush(nullptr);
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(status));
    ExitProcess(static_cast<UINT>(status));
}

double ThreadCpuMilliseconds()
{
    LARGE_INTEGER count, frequency;
    QueryPerformanceCounter(&count);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(count.QuadPart) * 1000.0 / static_cast<double>(frequency.QuadPart);
}

void BeginMillisecondTimer()
{
    timeBeginPeriod(1);
}

void EndMillisecondTimer()
{
    timeEndPeriod(1);
}

std::uint32_t SystemMilliseconds()
{
    return timeGetTime();
}

const char* SystemHeapName()
{
    return "msvcrt";
}

std::uint64_t PeakResidentBytes()
{
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return 0;
    return counters.PeakWorkingSetSize;
}

MemoryRoom AvailableMemory()
{
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return {UINT64_MAX, UINT64_MAX};
    // Windows hands out memory against its commit limit (memory and page
    // file together), whatever is resident.
    return {status.ullAvailVirtual, status.ullAvailPageFile};
}

std::vector<std::string> ProgramArguments(int argc, char* argv[])
{
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> args;
    for (int i = 0; i < count; ++i) {
        const int bytes = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string arg(bytes > 0 ? static_cast<std::size_t>(bytes) : 1u, '\0');
        if (bytes > 0)
            WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, &arg[0], bytes, nullptr, nullptr);
        arg.resize(std::char_traits<char>::length(arg.c_str()));
        args.push_back(arg);
    }
    LocalFree(wide);
    return args;
}

namespace {

bool HasHandle(DWORD which)
{
    const HANDLE handle = GetStdHandle(which);
    return handle != nullptr && handle != INVALID_HANDLE_VALUE;
}

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

// The console a program started from cmd attached to, written as UTF-16
// (WriteConsoleW), which every Windows console shows right whatever its code
// page. Text is held until a line ends or the stream is flushed, and a UTF-8
// character split across two writes waits for its last bytes.
class ConsoleBuffer : public std::streambuf {
public:
    explicit ConsoleBuffer(HANDLE console) : console(console) {}

protected:
    int overflow(int c) override
    {
        if (c == traits_type::eof())
            return sync() == 0 ? traits_type::not_eof(c) : traits_type::eof();
        pending.push_back(static_cast<char>(c));
        return c != '\n' || sync() == 0 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override
    {
        pending.append(s, static_cast<std::size_t>(n));
        return pending.find('\n') == std::string::npos || sync() == 0 ? n : 0;
    }
    int sync() override
    {
        std::size_t whole = pending.size();
        // Back to the start of the last character; keep it if it is incomplete.
        std::size_t start = whole;
        while (start > 0 && whole - start < 3 && (static_cast<unsigned char>(pending[start - 1]) & 0xC0) == 0x80)
            --start;
        if (start > 0) {
            const unsigned char lead = static_cast<unsigned char>(pending[start - 1]);
            const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (whole - (start - 1) < length)
                whole = start - 1;
        }
        bool ok = true;
        if (whole > 0) {
            const int n = MultiByteToWideChar(CP_UTF8, 0, pending.data(), static_cast<int>(whole), nullptr, 0);
            std::wstring wide(static_cast<std::size_t>(n > 0 ? n : 0), L'\0');
            if (n > 0)
                MultiByteToWideChar(CP_UTF8, 0, pending.data(), static_cast<int>(whole), &wide[0], n);
            for (std::size_t done = 0; ok && done < wide.size();) {
                DWORD written = 0;
                ok = WriteConsoleW(console, wide.data() + done, static_cast<DWORD>(wide.size() - done), &written,
                                   nullptr) &&
                     written > 0;
                done += written;
            }
            pending.erase(0, whole);
        }
        return ok ? 0 : -1;
    }

private:
    HANDLE console;
    std::string pending;
};

} // namespace

void AttachParentConsole()
{
    // A GUI program started from a console gets no standard handles; one
    // started with its output redirected to a file or a pipe has them.
    const bool haveOut = HasHandle(STD_OUTPUT_HANDLE), haveErr = HasHandle(STD_ERROR_HANDLE);
    if ((haveOut && haveErr) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return;
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE)
        return;
    // The C++ streams carry everything the program says: they get the
    // console itself, since the C runtime cannot always reopen a stream it
    // started without (Wine's freopen refuses one). Kept to the end: the
    // process ends without running destructors.
    if (!haveOut) {
        SetStdHandle(STD_OUTPUT_HANDLE, console);
        std::cout.rdbuf(new ConsoleBuffer(console));
        if (std::freopen("CONOUT$", "w", stdout) != nullptr)
            std::setvbuf(stdout, nullptr, _IONBF, 0);
    }
    if (!haveErr) {
        SetStdHandle(STD_ERROR_HANDLE, console);
        std::cerr.rdbuf(new ConsoleBuffer(console));
        if (std::freopen("CONOUT$", "w", stderr) != nullptr)
            std::setvbuf(stderr, nullptr, _IONBF, 0);
    }
}

void ShowErrorMessage(const char* text)
{
    // A fixed buffer: this also runs from the fault handlers. A text too
    // long for it is cut.
    wchar_t wide[2048];
    int length = static_cast<int>(std::strlen(text));
    if (length > 1500)
        length = 1500;
    const int n = MultiByteToWideChar(CP_UTF8, 0, text, length, wide, 2047);
    wide[n > 0 ? n : 0] = L'\0';
    MessageBoxW(nullptr, wide, L"Veldmarrow", MB_OK | MB_ICONERROR | MB_SETFOREGROUND | MB_TOPMOST);
}

bool ProgramClosesOnAltF4()
{
    return true;
}

bool WindowPositionThatFits(int width, int height, int& x, int& y)
{
    RECT work;
    if (!SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0))
        return false;
    // The frame SDL 1.2 gives a window that is not resizable.
    RECT frame = {0, 0, width, height};
    if (!AdjustWindowRectEx(&frame, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, FALSE, 0))
        return false;
    const WindowPlacement placement =
        PlaceInWorkArea({work.left, work.top, work.right - work.left, work.bottom - work.top},
                        {frame.left, frame.top, frame.right - frame.left, frame.bottom - frame.top});
    x = placement.x;
    y = placement.y;
    return placement.moved;
}

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
