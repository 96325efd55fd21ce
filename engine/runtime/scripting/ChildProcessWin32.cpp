// The script host as a Win32 child process: two anonymous pipes, CreateProcessW,
// a non-blocking reader and a write that cannot hang on a child that stopped reading.
#include "scripting/ScriptHostBridgeImpl.h"

#include "core/Log.h"
#include "scripting/DotnetHost.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace Orvane {

namespace {

constexpr int readyTimeoutMilliseconds = 5000;
constexpr DWORD shutdownGraceMilliseconds = 300;
constexpr auto writeStallLimit = std::chrono::milliseconds(500);
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

} // namespace

bool ScriptHostBridge::Impl::Start(const ScriptHostConfig& config) {
    projectPath = config.projectPath;

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
    inputStalled = false;
    inputLineBroken = false;

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
    const BOOL created = CreateProcessW(nullptr, mutableCommand.data(), nullptr, nullptr, TRUE,
                                        CREATE_NO_WINDOW, nullptr, currentDirectory.c_str(),
                                        &startup, &process);

    CloseAndNull(childStdInRead);
    CloseAndNull(childStdOutWrite);

    if (!created) {
        return Fail("Could not start .NET script host. Make sure dotnet is available on PATH.");
    }
    processHandle = process.hProcess;
    threadHandle = process.hThread;

    WaitFor("READY", readyTimeoutMilliseconds);
    if (!ready) {
        return Fail("Script host did not become ready.");
    }
    LogInfo("C# script host started.");
    return true;
}

void ScriptHostBridge::Impl::WriteLine(const std::string& text) {
    if (stdinWrite == nullptr) {
        return;
    }
    std::string payload;
    // The rest of an earlier line was dropped: end that fragment first so that it
    // cannot run into this line on the child's side.
    if (inputLineBroken) {
        payload.push_back('\n');
    }
    payload += text;
    payload.push_back('\n');

    std::size_t sent = 0;
    const auto start = std::chrono::steady_clock::now();
    while (sent < payload.size()) {
        const std::size_t chunk = std::min(payload.size() - sent, writeChunkBytes);
        DWORD written = 0;
        if (!WriteFile(stdinWrite, payload.data() + sent, static_cast<DWORD>(chunk), &written,
                       nullptr)) {
            return;   // the child is gone (broken pipe): writes fail quietly
        }
        sent += written;
        if (sent == payload.size()) {
            break;
        }
        if (written > 0) {
            inputLineBroken = true;   // part of the line is out; a drop now cuts it
        }
        // A child that is known to be stalled gets no further wait until it reads again.
        if (inputStalled && written == 0) {
            return;
        }
        if (std::chrono::steady_clock::now() - start >= writeStallLimit) {
            inputStalled = true;
            LogWarn("Script host is not reading its input; dropped " +
                    std::to_string(payload.size() - sent) + " bytes of a line.");
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    inputStalled = false;
    inputLineBroken = false;
}

void ScriptHostBridge::Impl::ReadAvailableLines() {
    if (stdoutRead == nullptr) {
        return;
    }
    for (std::size_t total = 0; total < maxBytesPerRead;) {
        DWORD available = 0;
        if (!PeekNamedPipe(stdoutRead, nullptr, 0, nullptr, &available, nullptr) ||
            available == 0) {
            return;
        }
        char buffer[512];
        const DWORD wanted = static_cast<DWORD>(std::min(sizeof(buffer), maxBytesPerRead - total));
        DWORD read = 0;
        if (!ReadFile(stdoutRead, buffer, wanted, &read, nullptr) || read == 0) {
            return;
        }
        ReceiveBytes(buffer, read);
        total += read;
    }
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
}

bool ScriptHostBridge::Impl::Fail(const std::string& message) {
    LogError(message);
    Shutdown();
    return false;
}

} // namespace Orvane
