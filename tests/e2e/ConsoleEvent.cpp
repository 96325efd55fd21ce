// Test helper for the end-to-end runs on Windows: starts a program in a console
// of its own, with its output in files, waits, sends it a console event, and
// reports how it ended.
//
//   ConsoleEvent c|break DELAY_MS STDOUT_FILE STDERR_FILE PROGRAM [ARGUMENT]...
//
// Prints "exit <code> ms <time from the event to the end>". Exit codes: 0 the
// program ended after the event, 1 it did not end within 30 s (then it is
// terminated), 2 the event could not be sent (the reason on stderr), 3 bad usage
// or the program could not start.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

HANDLE OpenOutput(const wchar_t* path) {
    SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
    return CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 6 || (std::wcscmp(argv[1], L"c") != 0 && std::wcscmp(argv[1], L"break") != 0)) {
        std::fwprintf(stderr, L"usage: ConsoleEvent c|break DELAY_MS STDOUT_FILE STDERR_FILE PROGRAM [ARGUMENT]...\n");
        return 3;
    }
    const DWORD event = std::wcscmp(argv[1], L"c") == 0 ? CTRL_C_EVENT : CTRL_BREAK_EVENT;
    const DWORD delay = static_cast<DWORD>(_wtoi(argv[2]));
    std::wstring command;
    for (int i = 5; i < argc; ++i) {
        command += (i > 5 ? L" \"" : L"\"");
        command += argv[i];
        command += L'"';
    }

    // A console shared with the program only: the event goes to every process
    // attached to it, and this one ignores it (below).
    FreeConsole();
    if (!AllocConsole()) {
        std::fwprintf(stderr, L"ConsoleEvent: no console (error %lu)\n", GetLastError());
        return 2;
    }

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = OpenOutput(argv[3]);
    startup.hStdError = OpenOutput(argv[4]);
    PROCESS_INFORMATION process{};
    if (startup.hStdOutput == INVALID_HANDLE_VALUE || startup.hStdError == INVALID_HANDLE_VALUE ||
        !CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        std::fwprintf(stderr, L"ConsoleEvent: cannot start %ls (error %lu)\n", argv[5], GetLastError());
        return 3;
    }
    CloseHandle(startup.hStdOutput);
    CloseHandle(startup.hStdError);
    // Only after the start: a child inherits the ignoring of Ctrl+C.
    SetConsoleCtrlHandler(nullptr, TRUE);

    if (WaitForSingleObject(process.hProcess, delay) == WAIT_OBJECT_0) {
        std::fwprintf(stderr, L"ConsoleEvent: the program ended before the event\n");
        return 3;
    }
    LARGE_INTEGER frequency;
    LARGE_INTEGER sent;
    LARGE_INTEGER ended;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&sent);
    if (!GenerateConsoleCtrlEvent(event, 0)) {
        std::fwprintf(stderr, L"GenerateConsoleCtrlEvent(%ls) failed with error %lu\n",
                      event == CTRL_C_EVENT ? L"CTRL_C_EVENT" : L"CTRL_BREAK_EVENT", GetLastError());
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, 10000);
        return 2;
    }
    const DWORD waited = WaitForSingleObject(process.hProcess, 30000);
    QueryPerformanceCounter(&ended);
    DWORD code = 0;
    if (waited != WAIT_OBJECT_0) {
        TerminateProcess(process.hProcess, 9);
        WaitForSingleObject(process.hProcess, 10000);
    }
    GetExitCodeProcess(process.hProcess, &code);
    std::printf("exit %lu ms %.0f\n", code, (ended.QuadPart - sent.QuadPart) * 1000.0 / frequency.QuadPart);
    return waited == WAIT_OBJECT_0 ? 0 : 1;
}
