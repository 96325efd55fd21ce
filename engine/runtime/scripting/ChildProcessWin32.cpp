// The script host as a Win32 child process: two anonymous pipes, CreateProcessW,
// single non-blocking reads and writes, and the shutdown.
#include "scripting/ScriptHostBridgeImpl.h"

#include "core/Log.h"
#include "scripting/DotnetHost.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace Orvane {

namespace {

constexpr DWORD shutdownGraceMilliseconds = 300;
// A non-blocking write larger than the free pipe space may write nothing at all,
// so large lines go out in pieces that fit once the child has read a little.
constexpr std::size_t writeChunkBytes = 512;

void CloseAndNull(HANDLE& handle) {
    if (handle != nullptr) {
        CloseHandle(handle);
        handle = nullptr;
    }
}

std::wstring Utf8ToWide(const std::string& text) {
    if (text.empty()) {
        return {};
    }
    const int count = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()),
                                          nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(count), L'\0');
    if (count > 0) {
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(),
                            count);
    }
    return wide;
}

// Quotes one argument so that the child's argument parser gives back exactly
// `value`: backslashes are literal except in front of a quote, so a run of them
// is doubled before an inner quote (which is escaped) and before the closing quote.
void AppendQuotedArgument(std::wstring& command, const std::wstring& value) {
    command.push_back(L'"');
    std::size_t backslashes = 0;
    for (const wchar_t character : value) {
        if (character == L'\\') {
            ++backslashes;
            continue;
        }
        if (character == L'"') {
            command.append(backslashes * 2 + 1, L'\\');
        } else {
            command.append(backslashes, L'\\');
        }
        backslashes = 0;
        command.push_back(character);
    }
    command.append(backslashes * 2, L'\\');
    command.push_back(L'"');
}

std::wstring BuildCommandLine(const std::filesystem::path& dotnetHost,
                              const ScriptHostConfig& config) {
    const std::wstring arguments[] = {
        dotnetHost.wstring(),
        config.scriptHostPath.wstring(),
        config.mainAssemblyPath.wstring(),
        Utf8ToWide(config.mainClass),
        config.projectPath.wstring(),
        Utf8ToWide(config.startScene),
    };
    std::wstring command;
    for (const std::wstring& argument : arguments) {
        if (!command.empty()) {
            command.push_back(L' ');
        }
        AppendQuotedArgument(command, argument);
    }
    return command;
}

// A job that kills its processes when its last handle closes: the runtime holds
// the only one, so the host ends with the runtime however the runtime ends.
// Null where jobs are unavailable; the host then runs as before.
HANDLE CreateKillOnCloseJob() {
    HANDLE job = CreateJobObjectW(nullptr, nullptr);
    if (job == nullptr) {
        return nullptr;
    }
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!SetInformationJobObject(job, JobObjectExtendedLimitInformation, &limits, sizeof(limits))) {
        CloseHandle(job);
        return nullptr;
    }
    return job;
}

} // namespace

bool ScriptHostBridge::Impl::StartProcess(const ScriptHostConfig& config) {
    SECURITY_ATTRIBUTES security{};
    security.nLength = sizeof(security);
    security.lpSecurityDescriptor = nullptr;
    security.bInheritHandle = TRUE;

    HANDLE childStdInRead = nullptr;
    HANDLE childStdOutWrite = nullptr;

    if (!CreatePipe(&childStdInRead, &stdinWrite, &security, 0)) {
        return Fail("Could not create stdin pipe.");
    }
    if (!SetHandleInformation(stdinWrite, HANDLE_FLAG_INHERIT, 0)) {
        CloseAndNull(childStdInRead);
        return Fail("Could not configure stdin pipe.");
    }
    if (!CreatePipe(&stdoutRead, &childStdOutWrite, &security, 0)) {
        CloseAndNull(childStdInRead);
        return Fail("Could not create stdout pipe.");
    }
    if (!SetHandleInformation(stdoutRead, HANDLE_FLAG_INHERIT, 0)) {
        CloseAndNull(childStdInRead);
        CloseAndNull(childStdOutWrite);
        return Fail("Could not configure stdout pipe.");
    }

    // Our end of the child's input never blocks; WriteLine bounds its retries.
    DWORD pipeMode = PIPE_READMODE_BYTE | PIPE_NOWAIT;
    if (!SetNamedPipeHandleState(stdinWrite, &pipeMode, nullptr, nullptr)) {
        LogWarn("Could not make the script host's input pipe non-blocking; writes may wait.");
    }

    const std::filesystem::path dotnetHost = FindDotnetHost();
    const std::wstring command = BuildCommandLine(dotnetHost, config);

    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childStdInRead;
    startup.hStdOutput = childStdOutWrite;
    startup.hStdError = childStdOutWrite;
    PROCESS_INFORMATION process{};

    std::wstring mutableCommand = command;
    const std::wstring currentDirectory = config.projectPath.wstring();
    // Suspended until it is in the job, so that nothing it starts escapes the job.
    const BOOL created = CreateProcessW(nullptr, mutableCommand.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW | CREATE_SUSPENDED, nullptr,
                                        currentDirectory.c_str(), &startup, &process);

    CloseAndNull(childStdInRead);
    CloseAndNull(childStdOutWrite);

    if (!created) {
        return Fail("Could not start .NET script host. Make sure dotnet is available on PATH.");
    }
    jobHandle = CreateKillOnCloseJob();
    if (jobHandle != nullptr && !AssignProcessToJobObject(jobHandle, process.hProcess)) {
        CloseAndNull(jobHandle);
    }
    ResumeThread(process.hThread);
    processHandle = process.hProcess;
    threadHandle = process.hThread;
    return true;
}

std::ptrdiff_t ScriptHostBridge::Impl::WriteSome(const char* data, std::size_t size) {
    if (stdinWrite == nullptr) {
        return -1;
    }
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min(size, writeChunkBytes));
    if (!WriteFile(stdinWrite, data, chunk, &written, nullptr)) {
        return -1;   // the child is gone (broken pipe)
    }
    return static_cast<std::ptrdiff_t>(written);
}

// The free space of an anonymous pipe cannot be known (Wine's write quota is always
// 0), so cut lines are marked instead.
bool ScriptHostBridge::Impl::InputRoom(std::size_t&, std::size_t&) { return false; }

// An anonymous pipe cannot be waited on for free space: a short pause, then retry.
void ScriptHostBridge::Impl::WaitForInputSpace(std::chrono::milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

std::size_t ScriptHostBridge::Impl::ReadSome(char* buffer, std::size_t size) {
    if (stdoutRead == nullptr) {
        return 0;
    }
    // Peek first: a read on an empty pipe would block.
    DWORD available = 0;
    if (!PeekNamedPipe(stdoutRead, nullptr, 0, nullptr, &available, nullptr)) {
        // Every writer has gone: the child ended (ERROR_BROKEN_PIPE).
        outputClosed = outputClosed || GetLastError() == ERROR_BROKEN_PIPE;
        return 0;
    }
    if (available == 0) {
        return 0;
    }
    // What is waiting, up to size: a read never waits for more.
    DWORD read = 0;
    if (!ReadFile(stdoutRead, buffer, std::min(available, static_cast<DWORD>(size)), &read, nullptr)) {
        return 0;
    }
    return read;
}

// Anonymous pipes cannot be waited on: a plain pause. While an answer is
// arriving, though, the host refills the pipe within microseconds of each read,
// and a pause per piece would cost a millisecond each: yield a few times first.
// The same on a wait's first pause: the answer to a request just written is
// mostly a moment away, and a frame would otherwise lose a millisecond to it.
void ScriptHostBridge::Impl::WaitForOutput(int milliseconds, bool firstPause) {
    if ((lastReadGotBytes || firstPause) && stdoutRead != nullptr) {
        constexpr int yields = 64;
        for (int i = 0; i < yields; ++i) {
            DWORD available = 0;
            if (!PeekNamedPipe(stdoutRead, nullptr, 0, nullptr, &available, nullptr) || available > 0) {
                return;
            }
            SwitchToThread();
        }
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ScriptHostBridge::Impl::Shutdown() {
    if (processHandle != nullptr) {
        WriteLine("SHUTDOWN");
        WaitForSingleObject(processHandle, shutdownGraceMilliseconds);
        DWORD exitCode = 0;
        if (GetExitCodeProcess(processHandle, &exitCode) && exitCode == STILL_ACTIVE) {
            TerminateProcess(processHandle, 0);
        }
    }
    CloseAndNull(stdinWrite);
    CloseAndNull(stdoutRead);
    CloseAndNull(threadHandle);
    CloseAndNull(processHandle);
    CloseAndNull(jobHandle);
}

// A Win32 process leaves no zombie: its handles are closed by Shutdown.
void ScriptHostBridge::Impl::ReapExitedHost() {}

} // namespace Orvane
