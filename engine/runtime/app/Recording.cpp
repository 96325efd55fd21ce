#include "app/Recording.h"

#include "core/Paths.h"

#include <charconv>
#include <sstream>
#include <string_view>

namespace Orvane {

namespace {

constexpr std::string_view magic = "orvane-recording 1";
constexpr std::uintmax_t maxRecordingBytes = 1024ull * 1024 * 1024;

std::string Hex(std::uint64_t value) {
    char text[17];
    for (int i = 15; i >= 0; --i) {
        text[i] = "0123456789abcdef"[value & 0xF];
        value >>= 4;
    }
    text[16] = '\0';
    return text;
}

bool ParseHex(std::string_view text, std::uint64_t& value) {
    if (text.size() != 16) {
        return false;
    }
    const auto result = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
}

bool TakeField(std::string_view line, std::string_view key, std::string& value) {
    if (line.substr(0, key.size()) != key || line.size() <= key.size() || line[key.size()] != ' ') {
        return false;
    }
    value.assign(line.substr(key.size() + 1));
    return true;
}

} // namespace

bool RecordingWriter::Open(const std::filesystem::path& path, std::string& error) {
    file.open(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        error = "--record file cannot be written: " + PathToUtf8(path);
        return false;
    }
    return true;
}

void RecordingWriter::Begin(const std::string& mainClass, const std::string& startScene, int protocolVersion) {
    file << magic << "\nmain-class " << mainClass << "\nstart-scene " << startScene << "\nprotocol "
         << protocolVersion << "\n";
}

void RecordingWriter::AddReload() { reloadPending = true; }

void RecordingWriter::AddFrame(const std::string& sentLines, std::uint64_t digest) {
    if (reloadPending) {
        file << "reload\n";
        reloadPending = false;
    }
    std::size_t start = 0;
    while (start <= sentLines.size()) {
        const std::size_t end = std::min(sentLines.find('\n', start), sentLines.size());
        if (end > start) {
            file << "> ";
            file.write(sentLines.data() + start, static_cast<std::streamsize>(end - start));
            file << '\n';
        }
        start = end + 1;
    }
    file << "= " << Hex(digest) << '\n';
    ++frames;
}

bool RecordingWriter::Finish() {
    file << "end " << frames << '\n';
    file.flush();
    return static_cast<bool>(file);
}

bool ParseRecording(const std::string& text, Recording& recording, std::string& error) {
    recording = Recording{};
    std::istringstream stream(text);
    std::string line;
    if (!std::getline(stream, line) || line != magic) {
        error = "not an orvane recording";
        return false;
    }
    std::string protocol;
    if (!std::getline(stream, line) || !TakeField(line, "main-class", recording.mainClass) ||
        !std::getline(stream, line) || !(TakeField(line, "start-scene", recording.startScene) || line == "start-scene") ||
        !std::getline(stream, line) || !TakeField(line, "protocol", protocol) || (protocol != "1" && protocol != "2")) {
        error = "the recording's header is broken";
        return false;
    }
    recording.protocolVersion = protocol == "2" ? 2 : 1;
    RecordedFrame frame;
    bool inFrame = false;
    while (std::getline(stream, line)) {
        // Every line the writer writes ends in a line feed; one without is where a
        // file was cut, whatever its first bytes happen to look like.
        if (stream.eof()) {
            break;
        }
        if (line.rfind("> ", 0) == 0) {
            if (!frame.lines.empty()) {
                frame.lines += '\n';
            }
            frame.lines.append(line, 2);
            inFrame = true;
        } else if (line.rfind("= ", 0) == 0) {
            if (!inFrame || !ParseHex(std::string_view(line).substr(2), frame.digest)) {
                error = "the recording has a broken frame (frame " + std::to_string(recording.frames.size() + 1) + ")";
                return false;
            }
            recording.frames.push_back(std::move(frame));
            frame = RecordedFrame{};
            inFrame = false;
        } else if (inFrame && (line == "reload" || line.rfind("end ", 0) == 0)) {
            error = "the recording has a broken frame (frame " + std::to_string(recording.frames.size() + 1) + ")";
            return false;
        } else if (line == "reload") {
            frame.reloadBefore = true;
        } else if (line.rfind("end ", 0) == 0) {
            std::int64_t count = -1;
            const std::string_view number = std::string_view(line).substr(4);
            const auto result = std::from_chars(number.data(), number.data() + number.size(), count);
            if (result.ec != std::errc() || result.ptr != number.data() + number.size() ||
                count != static_cast<std::int64_t>(recording.frames.size()) || std::getline(stream, line)) {
                error = "the recording's end does not match its frames";
                return false;
            }
            return true;
        } else {
            error = "the recording has a line it does not know: " + line.substr(0, 40);
            return false;
        }
    }
    error = "the recording is incomplete (it has no end line)";
    return false;
}

bool LoadRecording(const std::filesystem::path& path, Recording& recording, std::string& error) {
    std::error_code status;
    if (!std::filesystem::is_regular_file(path, status)) {
        error = "--replay file does not exist: " + PathToUtf8(path);
        return false;
    }
    if (std::filesystem::file_size(path, status) > maxRecordingBytes) {
        error = "--replay file is too large to be a recording: " + PathToUtf8(path);
        return false;
    }
    std::ifstream file(path, std::ios::binary);
    std::ostringstream text;
    text << file.rdbuf();
    if (!ParseRecording(text.str(), recording, error)) {
        error = "--replay " + PathToUtf8(path) + ": " + error;
        return false;
    }
    return true;
}

} // namespace Orvane
