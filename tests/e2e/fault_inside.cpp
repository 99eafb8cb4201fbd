// Makes the Windows program fault from inside, as a bad pointer in its own
// code would: starts a thread in it at address 0, whose access violation
// reaches the C runtime's SIGSEGV handling. The Windows counterpart of
// `kill -SEGV` (Wine does not turn a Linux signal into a Windows fault).
// Usage: fault_inside (the program is found by its window, "Veldmarrow")
#include <windows.h>

#include <cstdio>

int main()
{
    const HWND window = FindWindowW(nullptr, L"Veldmarrow");
    DWORD process = 0;
    if (window == nullptr || GetWindowThreadProcessId(window, &process) == 0) {
        std::fprintf(stderr, "fault_inside: no window named Veldmarrow\n");
        return 1;
    }
    const HANDLE target = OpenProcess(PROCESS_CREATE_THREAD | PROCESS_QUERY_INFORMATION | PROCESS_VM_OPERATION |
                                          PROCESS_VM_WRITE | PROCESS_VM_READ,
                                      FALSE, process);
    if (target == nullptr) {
        std::fprintf(stderr, "fault_inside: cannot open process %lu (error %lu)\n", process, GetLastError());
        return 1;
    }
    const HANDLE thread = CreateRemoteThread(target, nullptr, 0, nullptr, nullptr, 0, nullptr);
    if (thread == nullptr) {
        std::fprintf(stderr, "fault_inside: cannot start a thread in process %lu (error %lu)\n", process,
                     GetLastError());
        return 1;
    }
    CloseHandle(thread);
    CloseHandle(target);
    return 0;
}
