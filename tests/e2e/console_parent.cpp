// Starts a program as cmd starts a windowed one, from a console of its own:
// the program gets no console and no standard handles, so anything it shows
// there it must write after attaching to this one. Once it ends, prints what
// the console shows (as UTF-8, one line per row) and ends with its status.
// Usage: console_parent PROGRAM [ARGUMENTS...]  (Windows; needs a display
// under Wine, whose consoles keep their text in a window)
#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv)
{
    const HANDLE report = GetStdHandle(STD_OUTPUT_HANDLE);
    FreeConsole();
    if (argc < 2 || !AllocConsole()) {
        std::fprintf(stderr, "console_parent: no program, or no console (error %lu)\n", GetLastError());
        return 120;
    }
    std::wstring line;
    for (int i = 1; i < argc; ++i)
        line += (i > 1 ? L" \"" : L"\"") + std::wstring(argv[i]) + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES; // and all three left null
    PROCESS_INFORMATION child;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, DETACHED_PROCESS, nullptr, nullptr, &startup,
                        &child)) {
        std::fprintf(stderr, "console_parent: cannot start the program (error %lu)\n", GetLastError());
        return 121;
    }
    WaitForSingleObject(child.hProcess, INFINITE);
    DWORD status = 0;
    GetExitCodeProcess(child.hProcess, &status);

    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(console, &info)) {
        std::fprintf(stderr, "console_parent: cannot read the console (error %lu)\n", GetLastError());
        return 122;
    }
    std::string shown;
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        std::wstring row(static_cast<std::size_t>(info.dwSize.X), L' ');
        DWORD read = 0;
        ReadConsoleOutputCharacterW(console, &row[0], static_cast<DWORD>(row.size()), COORD{0, y}, &read);
        row.resize(read);
        while (!row.empty() && row.back() == L' ')
            row.pop_back();
        const int n = WideCharToMultiByte(CP_UTF8, 0, row.data(), static_cast<int>(row.size()), nullptr, 0, nullptr,
                                          nullptr);
        std::string text(static_cast<std::size_t>(n > 0 ? n : 0), '\0');
        if (n > 0)
            WideCharToMultiByte(CP_UTF8, 0, row.data(), static_cast<int>(row.size()), &text[0], n, nullptr, nullptr);
        shown += text + "\n";
    }
    DWORD written = 0;
    WriteFile(report, shown.data(), static_cast<DWORD>(shown.size()), &written, nullptr);
    return static_cast<int>(status);
}
