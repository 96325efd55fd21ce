// The script host as a POSIX child process: two non-blocking pipes, fork + exec
// with the project folder as working directory, and the shutdown.
#include "scripting/ScriptHostBridgeImpl.h"

#include "core/Log.h"
#include "scripting/DotnetHost.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#if defined(__linux__)
#include <sys/prctl.h>
#endif
#include <sys/wait.h>
#include <unistd.h>

namespace Orvane {

namespace {

constexpr auto shutdownGrace = std::chrono::milliseconds(300);

const char* const startFailedMessage =
    "Could not start .NET script host. Make sure dotnet is available on PATH.";

void CloseAndReset(int& descriptor) {
    if (descriptor >= 0) {
        close(descriptor);
        descriptor = -1;
    }
}

// Both ends close-on-exec: the child gets its ends only as the copies made onto
// its standard streams, so no other child inherits any of them.
bool CreatePipe(int ends[2]) {
#if defined(__APPLE__)
    if (pipe(ends) != 0) {
        return false;
    }
    for (int i = 0; i < 2; ++i) {
        if (fcntl(ends[i], F_SETFD, FD_CLOEXEC) != 0) {
            close(ends[0]);
            close(ends[1]);
            return false;
        }
    }
    return true;
#else
    return pipe2(ends, O_CLOEXEC) == 0;
#endif
}

// A frame of ten thousand commands is some 400 KB of answer. With the default 64 KiB
// the host stalls on a full pipe several times a frame, and each stall costs both
// processes a wake-up; with room for a whole frame it writes on while the runtime
// parses. Where the system refuses the size, the default stays: it only costs speed.
void WidenPipe(int descriptor) {
#if defined(__linux__)
    constexpr int answerPipeBytes = 1 << 20;
    (void)fcntl(descriptor, F_SETPIPE_SZ, answerPipeBytes);
#else
    (void)descriptor;
#endif
}

bool MakeNonBlocking(int descriptor) {
    const int flags = fcntl(descriptor, F_GETFL);
    return flags != -1 && fcntl(descriptor, F_SETFL, flags | O_NONBLOCK) != -1;
}

// A write to a child that has gone must fail with EPIPE instead of ending the
// runtime with SIGPIPE. A handler the program installed itself is left alone.
void IgnoreBrokenPipeSignal() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            sigaction(SIGPIPE, &ignore, nullptr);
        }
    });
}

void WriteAll(int descriptor, const void* data, std::size_t size) {
    const char* bytes = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = write(descriptor, bytes, size);
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return;
        }
        bytes += written;
        size -= static_cast<std::size_t>(written);
    }
}

// Runs in the forked child: only async-signal-safe calls until exec. A failure
// sends errno through the status pipe, which exec closes on success.
[[noreturn]] void RunChild(int stdinRead, int stdoutWrite, int statusWrite, const char* directory,
                           const char* program, bool searchPath, char* const* argv, pid_t parent) {
#if defined(__linux__)
    // The host ends with the runtime, even when the runtime is killed outright.
    // A runtime that died before this call is no longer our parent: go at once.
    if (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent) {
        _exit(127);
    }
#else
    (void)parent;
#endif
    // Lift every end above the standard descriptors first, so that the copies
    // below cannot overwrite one another whatever numbers the pipes received.
    const int input = fcntl(stdinRead, F_DUPFD, 3);
    const int output = fcntl(stdoutWrite, F_DUPFD, 3);
    const int status = fcntl(statusWrite, F_DUPFD_CLOEXEC, 3);
    int error = 0;
    if (input < 0 || output < 0 || status < 0 || dup2(input, STDIN_FILENO) < 0 ||
        dup2(output, STDOUT_FILENO) < 0 || dup2(output, STDERR_FILENO) < 0) {
        error = errno;
    } else {
        close(input);
        close(output);
        // The runtime ignores SIGPIPE; the host starts with the default.
        signal(SIGPIPE, SIG_DFL);
        if (directory[0] != '\0' && chdir(directory) != 0) {
            error = errno;
        } else {
            if (searchPath) {
                execvp(program, argv);
            } else {
                execv(program, argv);
            }
            error = errno;
        }
    }
    WriteAll(status >= 0 ? status : statusWrite, &error, sizeof(error));
    _exit(127);
}

// True once the child has ended and been reaped (or was reaped by someone else).
bool ReapIfExited(pid_t processId) {
    for (;;) {
        int status = 0;
        const pid_t result = waitpid(processId, &status, WNOHANG);
        if (result == processId) {
            return true;
        }
        if (result < 0 && errno == EINTR) {
            continue;
        }
        return result < 0;   // ECHILD: nothing left to wait for
    }
}

void ReapBlocking(pid_t processId) {
    int status = 0;
    while (waitpid(processId, &status, 0) < 0 && errno == EINTR) {
    }
}

} // namespace

bool ScriptHostBridge::Impl::StartProcess(const ScriptHostConfig& config) {
    IgnoreBrokenPipeSignal();

    int stdinPipe[2] = {-1, -1};
    int stdoutPipe[2] = {-1, -1};

    if (!CreatePipe(stdinPipe)) {
        return Fail("Could not create stdin pipe.");
    }
    int childStdInRead = stdinPipe[0];
    stdinWrite = stdinPipe[1];
    if (!MakeNonBlocking(stdinWrite)) {
        CloseAndReset(childStdInRead);
        return Fail("Could not configure stdin pipe.");
    }
    if (!CreatePipe(stdoutPipe)) {
        CloseAndReset(childStdInRead);
        return Fail("Could not create stdout pipe.");
    }
    stdoutRead = stdoutPipe[0];
    int childStdOutWrite = stdoutPipe[1];
    WidenPipe(stdoutRead);
    if (!MakeNonBlocking(stdoutRead)) {
        CloseAndReset(childStdInRead);
        CloseAndReset(childStdOutWrite);
        return Fail("Could not configure stdout pipe.");
    }

    std::filesystem::path dotnetHost = FindDotnetHost();
    // A bare name is searched on PATH. A relative path with a folder part names
    // a file below our own working directory, not below the project folder that
    // the child changes to before exec.
    const bool searchPath = !dotnetHost.has_parent_path();
    if (!searchPath && dotnetHost.is_relative()) {
        std::error_code error;
        const std::filesystem::path absolute = std::filesystem::absolute(dotnetHost, error);
        if (!error) {
            dotnetHost = absolute;
        }
    }

    // A real argument vector: every value arrives exactly, quotes and all.
    const std::string arguments[] = {
        dotnetHost.string(),
        config.scriptHostPath.string(),
        config.mainAssemblyPath.string(),
        config.mainClass,
        config.projectPath.string(),
        config.startScene,
    };
    std::vector<char*> argv;
    for (const std::string& argument : arguments) {
        argv.push_back(const_cast<char*>(argument.c_str()));
    }
    argv.push_back(nullptr);
    const std::string directory = config.projectPath.string();

    int statusPipe[2] = {-1, -1};
    pid_t child = -1;
    const pid_t parent = getpid();
    if (CreatePipe(statusPipe)) {
        child = fork();
        if (child == 0) {
            RunChild(childStdInRead, childStdOutWrite, statusPipe[1], directory.c_str(),
                     arguments[0].c_str(), searchPath, argv.data(), parent);
        }
    }
    CloseAndReset(childStdInRead);
    CloseAndReset(childStdOutWrite);
    CloseAndReset(statusPipe[1]);

    bool launched = child > 0;
    if (launched) {
        // Nothing to read means exec succeeded (the status end closed on exec).
        int childError = 0;
        ssize_t count = 0;
        do {
            count = read(statusPipe[0], &childError, sizeof(childError));
        } while (count < 0 && errno == EINTR);
        if (count > 0) {
            ReapBlocking(child);
            launched = false;
        }
    }
    CloseAndReset(statusPipe[0]);
    if (!launched) {
        return Fail(startFailedMessage);
    }
    processId = child;
    return true;
}

std::ptrdiff_t ScriptHostBridge::Impl::WriteSome(const char* data, std::size_t size) {
    if (stdinWrite < 0) {
        return -1;
    }
    for (;;) {
        const ssize_t written = write(stdinWrite, data, size);
        if (written >= 0) {
            return written;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            return 0;
        }
        if (errno != EINTR) {
            return -1;   // the child is gone (EPIPE) or the pipe failed
        }
    }
}

#if defined(__linux__)
// Free space = pipe size - queued bytes, less two pages: the queued bytes may sit
// in partly used pages at both ends, and a write takes whole pages.
bool ScriptHostBridge::Impl::InputRoom(std::size_t& room, std::size_t& largest) {
    if (stdinWrite < 0) {
        return false;
    }
    const int size = fcntl(stdinWrite, F_GETPIPE_SZ);
    int queued = 0;
    const long page = sysconf(_SC_PAGESIZE);
    if (size <= 0 || page <= 0 || ioctl(stdinWrite, FIONREAD, &queued) != 0 || queued < 0) {
        return false;
    }
    const std::size_t slack = 2 * static_cast<std::size_t>(page);
    largest = static_cast<std::size_t>(size) > slack ? static_cast<std::size_t>(size) - slack : 0;
    room = largest > static_cast<std::size_t>(queued) ? largest - static_cast<std::size_t>(queued) : 0;
    return true;
}
#else
bool ScriptHostBridge::Impl::InputRoom(std::size_t&, std::size_t&) { return false; }
#endif

void ScriptHostBridge::Impl::WaitForInputSpace(std::chrono::milliseconds limit) {
    pollfd writable{stdinWrite, POLLOUT, 0};
    poll(&writable, 1, static_cast<int>(limit.count()) + 1);
}

std::size_t ScriptHostBridge::Impl::ReadSome(char* buffer, std::size_t size) {
    if (stdoutRead < 0) {
        return 0;
    }
    for (;;) {
        const ssize_t count = read(stdoutRead, buffer, size);
        if (count >= 0) {
            outputClosed = outputClosed || count == 0;
            return static_cast<std::size_t>(count);   // 0: the child closed its output
        }
        if (errno != EINTR) {
            return 0;   // nothing waiting (EAGAIN) or an error
        }
    }
}

// poll wakes at the first byte, so the first pause needs nothing of its own.
void ScriptHostBridge::Impl::WaitForOutput(int milliseconds, bool /*firstPause*/) {
    if (stdoutRead >= 0) {
        pollfd readable{stdoutRead, POLLIN, 0};
        const int result = poll(&readable, 1, milliseconds);
        if (result == 0 || (result > 0 && (readable.revents & POLLIN) != 0)) {
            return;   // the pause has passed, or bytes are waiting
        }
    }
    // No pipe, or a hang-up without bytes: poll reports that at once, every
    // time, and the wait would turn into a busy loop. A hang-up mostly means the
    // child has ended: reap it now rather than at the next frame.
    ReapExitedHost();
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

void ScriptHostBridge::Impl::ReapExitedHost() {
    if (processId > 0 && ReapIfExited(processId)) {
        processId = -1;   // the pipes stay until Shutdown; writes to them fail quietly
    }
}

void ScriptHostBridge::Impl::Shutdown() {
    if (processId > 0) {
        WriteLine("SHUTDOWN");
        const auto deadline = std::chrono::steady_clock::now() + shutdownGrace;
        bool exited = ReapIfExited(processId);
        while (!exited && std::chrono::steady_clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            exited = ReapIfExited(processId);
        }
        if (!exited) {
            kill(processId, SIGKILL);
            ReapBlocking(processId);
        }
        processId = -1;
    }
    CloseAndReset(stdinWrite);
    CloseAndReset(stdoutRead);
}

} // namespace Orvane
