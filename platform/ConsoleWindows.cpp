// Console on Windows (64-bit, built with MinGW-w64).
#include "platform/Console.h"

#include <windows.h>
#include <shellapi.h>

#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <streambuf>
#include <string>

void SetProcessEnvironment(const char* name, const char* value)
{
    _putenv_s(name, value);
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
