// A stand-in for the .NET host running the script host: plays the scenario in
// the file named by its first argument over its standard input and output.
// The scenario format is described in README.md next to this file.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <windows.h>
#include <shellapi.h>
#else
#include <unistd.h>
#if defined(__linux__)
#include <fcntl.h>
#endif
#endif

namespace {

std::vector<std::string> arguments;   // UTF-8, arguments[0] is the program

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string Utf8FromPath(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

void Write(std::FILE* stream, const std::string& text) {
    std::fwrite(text.data(), 1, text.size(), stream);
    std::fflush(stream);
}

void SleepMilliseconds(long milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

// Writes empty lines until the reader goes away: the cheapest bytes to write and
// the dearest to read, one line each.
[[noreturn]] void FloodForever() {
#if defined(__linux__)
    // A deep pipe: the reader then finds it empty only if the writer is starved
    // for a long time, not after every short scheduling gap.
    fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1024 * 1024);
#endif
    const std::string chunk(64 * 1024, '\n');
    while (std::fwrite(chunk.data(), 1, chunk.size(), stdout) == chunk.size() &&
           std::fflush(stdout) == 0) {
    }
    std::exit(0);
}

// One line that never ends: "x" without a line feed until the reader has gone.
[[noreturn]] void FloodLineForever() {
    const std::string chunk(64 * 1024, 'x');
    while (std::fwrite(chunk.data(), 1, chunk.size(), stdout) == chunk.size() &&
           std::fflush(stdout) == 0) {
    }
    std::exit(0);
}

long ProcessId() {
#ifdef _WIN32
    return static_cast<long>(GetCurrentProcessId());
#else
    return static_cast<long>(getpid());
#endif
}

[[noreturn]] void SleepForever() {
    for (;;) {
        SleepMilliseconds(60 * 60 * 1000);
    }
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// \n, \r, \\ and \xNN; any other backslash stays as it is.
std::string Unescape(const std::string& text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c != '\\' || i + 1 >= text.size()) {
            result += c;
            continue;
        }
        const char next = text[i + 1];
        if (next == 'n') {
            result += '\n';
            ++i;
        } else if (next == 'r') {
            result += '\r';
            ++i;
        } else if (next == '\\') {
            result += '\\';
            ++i;
        } else if (next == 'x' && i + 3 < text.size() && HexDigit(text[i + 2]) >= 0 &&
                   HexDigit(text[i + 3]) >= 0) {
            result += static_cast<char>(HexDigit(text[i + 2]) * 16 + HexDigit(text[i + 3]));
            i += 3;
        } else {
            result += c;
        }
    }
    return result;
}

class Input {
public:
    // One line without its "\n"; false at end of input. Every line read is recorded.
    bool ReadLine(std::string& line) {
        line.clear();
        int c = std::getc(stdin);
        if (c == EOF) {
            return false;
        }
        while (c != EOF && c != '\n') {
            line += static_cast<char>(c);
            c = std::getc(stdin);
        }
        if (record.is_open()) {
            if (stamped) {
                const auto elapsed = std::chrono::steady_clock::now() - started;
                record << std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count() << ' ';
            }
            record << line << '\n' << std::flush;
        }
        return true;
    }

    bool StartRecording(const std::string& file, bool withTimes) {
        stamped = withTimes;
        record.close();
        record.open(PathFromUtf8(file), std::ios::binary | std::ios::app);
        return record.is_open();
    }

private:
    std::ofstream record;
    bool stamped = false;
    std::chrono::steady_clock::time_point started = std::chrono::steady_clock::now();
};

struct FrameAnswer {
    std::vector<std::string> lines;
    long delayMilliseconds = 0;
    std::string state;   // the answer to SAVE_STATE
};

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

// Answers START and FRAME lines until SHUTDOWN or end of input (unless ignored).
[[noreturn]] void Serve(Input& input, const FrameAnswer& answer, bool ignoreShutdown) {
    std::string line;
    for (;;) {
        if (!input.ReadLine(line)) {
            if (ignoreShutdown) {
                SleepForever();
            }
            std::exit(0);
        }
        if (line == "START") {
            Write(stdout, "STARTED\n");
        } else if (StartsWith(line, "FRAME|")) {
            if (answer.delayMilliseconds > 0) {
                SleepMilliseconds(answer.delayMilliseconds);
            }
            std::string reply;
            for (const std::string& frameLine : answer.lines) {
                reply += frameLine;
                reply += '\n';
            }
            reply += "END_FRAME\n";
            Write(stdout, reply);
        } else if (line == "SAVE_STATE") {
            Write(stdout, "STATE|" + answer.state + "\n");
        } else if (line == "SHUTDOWN" && !ignoreShutdown) {
            std::exit(0);
        }
    }
}

void SendArguments() {
    std::string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        text += "ARG|" + std::to_string(i) + "|" + arguments[i] + "\n";
    }
    std::error_code error;
    const std::filesystem::path current = std::filesystem::current_path(error);
    text += "CWD|" + (error ? std::string() : Utf8FromPath(current)) + "\n";
    text += "ARGC|" + std::to_string(arguments.size()) + "\n";
    Write(stdout, text);
}

[[noreturn]] void FailScenario(const std::string& message, int code) {
    Write(stdout, "ERROR|stand-in: " + message + "\n");
    std::exit(code);
}

long ParseCount(const std::string& text, const std::string& line) {
    char* end = nullptr;
    const long value = std::strtol(text.c_str(), &end, 10);
    if (end == text.c_str() || value < 0) {
        FailScenario("bad number in: " + line, 5);
    }
    return value;
}

int RunScenario(const std::string& scenarioText) {
    Input input;
    FrameAnswer answer;
    std::istringstream scenario(scenarioText);
    std::string line;
    while (std::getline(scenario, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        const std::size_t space = line.find(' ');
        const std::string command = line.substr(0, space);
        const std::string rest = space == std::string::npos ? std::string() : line.substr(space + 1);
        const std::string text = Unescape(rest);

        if (command == "send") {
            Write(stdout, text + "\n");
        } else if (command == "sendraw") {
            Write(stdout, text);
        } else if (command == "stderr") {
            Write(stderr, text + "\n");
        } else if (command == "args") {
            SendArguments();
        } else if (command == "sleep") {
            SleepMilliseconds(ParseCount(rest, line));
        } else if (command == "await-file") {
            // A gate the test opens when it is ready, however slow the machine.
            std::error_code error;
            while (!std::filesystem::exists(PathFromUtf8(text), error)) {
                SleepMilliseconds(10);
            }
        } else if (command == "expect" || command == "await") {
            // expect: a line equal to text; await: a line that begins with it.
            std::string received;
            for (;;) {
                if (!input.ReadLine(received)) {
                    return 4;
                }
                if (command == "expect" ? received == text : StartsWith(received, text)) {
                    break;
                }
            }
        } else if (command == "record" || command == "record-times") {
            if (!input.StartRecording(text, command == "record-times")) {
                FailScenario("cannot record to " + text, 5);
            }
        } else if (command == "frame") {
            answer.lines.push_back(text);
        } else if (command == "frame-repeat") {
            const std::size_t gap = rest.find(' ');
            const long count = ParseCount(rest.substr(0, gap), line);
            const std::string repeated =
                gap == std::string::npos ? std::string() : Unescape(rest.substr(gap + 1));
            answer.lines.insert(answer.lines.end(), static_cast<std::size_t>(count), repeated);
        } else if (command == "state") {
            answer.state = text;
        } else if (command == "frame-delay") {
            answer.delayMilliseconds = ParseCount(rest, line);
        } else if (command == "serve") {
            Serve(input, answer, false);
        } else if (command == "serve-ignore-shutdown") {
            Serve(input, answer, true);
        } else if (command == "hang" || command == "stop-reading") {
            SleepForever();
        } else if (command == "flood") {
            Write(stdout, std::string(static_cast<std::size_t>(ParseCount(rest, line)), 'x') + "\n");
        } else if (command == "flood-forever") {
            FloodForever();
        } else if (command == "flood-line-forever") {
            FloodLineForever();
        } else if (command == "pid") {
            Write(stdout, "PID|" + std::to_string(ProcessId()) + "\n");
        } else if (command == "frame-colliders") {
            // n boxes of size s, all over one another, ids 0 .. n-1
            const std::size_t gap = rest.find(' ');
            const long count = ParseCount(rest.substr(0, gap), line);
            const long boxSize = gap == std::string::npos ? 100 : ParseCount(rest.substr(gap + 1), line);
            for (long i = 0; i < count; ++i) {
                answer.lines.push_back("COLLIDER|" + std::to_string(i) + "|" + std::to_string(i % 7) + "|" +
                                       std::to_string(i % 5) + "|" + std::to_string(boxSize) + "|" +
                                       std::to_string(boxSize));
            }
        } else if (command == "exit") {
            return static_cast<int>(ParseCount(rest, line));
        } else {
            FailScenario("unknown command: " + line, 5);
        }
    }
    return 0;
}

int Run() {
    if (arguments.size() < 2) {
        FailScenario("no scenario", 3);
    }
    std::ifstream file(PathFromUtf8(arguments[1]), std::ios::binary);
    if (!file) {
        FailScenario("no scenario", 3);
    }
    std::ostringstream content;
    content << file.rdbuf();
    return RunScenario(content.str());
}

} // namespace

#ifdef _WIN32
// The wide command line keeps every character; arguments become UTF-8.
int main() {
    // Binary streams: no "\r" is added to what the scenario writes or removed
    // from what the runtime sends.
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    int count = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 0; wide != nullptr && i < count; ++i) {
        const int size = WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, nullptr, 0, nullptr, nullptr);
        std::string text(size > 0 ? static_cast<std::size_t>(size) : 1, '\0');
        WideCharToMultiByte(CP_UTF8, 0, wide[i], -1, text.data(), size, nullptr, nullptr);
        text.resize(text.size() - 1);
        arguments.push_back(text);
    }
    LocalFree(wide);
    return Run();
}
#else
int main(int argc, char** argv) {
    arguments.assign(argv, argv + argc);
    return Run();
}
#endif
