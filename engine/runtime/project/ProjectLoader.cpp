#include "project/ProjectLoader.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "core/TextFile.h"

#include <exception>
#include <stdexcept>
#include <string_view>

namespace Orvane {

namespace fs = std::filesystem;

namespace {

// The classic locale's white space, what "\s" matches in the search patterns.
bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The leftmost match of: a quote, the key, a quote, white space, a colon, white
// space, then a value that valueAt accepts at the given offset. This is the search
// "\"key\"\s*:\s*" followed by the value's pattern, done by hand: every part is
// deterministic, so trying each occurrence of the quoted key in turn finds the same
// match a regular-expression search does, but without the recursion of
// std::regex, which overflows the stack on values of some ten thousand bytes.
template <typename ValueAt>
bool FindKeyValue(const std::string& json, const std::string& key, ValueAt valueAt) {
    const std::string quotedKey = "\"" + key + "\"";
    for (std::size_t found = json.find(quotedKey); found != std::string::npos;
         found = json.find(quotedKey, found + 1)) {
        std::size_t at = found + quotedKey.size();
        while (at < json.size() && IsSpace(json[at])) {
            ++at;
        }
        if (at == json.size() || json[at] != ':') {
            continue;
        }
        ++at;
        while (at < json.size() && IsSpace(json[at])) {
            ++at;
        }
        if (valueAt(at)) {
            return true;
        }
    }
    return false;
}

// Digits as one unsigned 32-bit value, like stoul where unsigned long has 32 bits
// (the same result and message on every platform).
std::uint32_t DigitsToUInt32(std::string_view digits) {
    std::uint64_t value = 0;
    for (const char digit : digits) {
        value = value * 10 + static_cast<std::uint64_t>(digit - '0');
        if (value > 0xFFFFFFFFull) {
            throw std::out_of_range("stoul argument out of range");
        }
    }
    return static_cast<std::uint32_t>(value);
}

} // namespace

// "key" : "value" -- the value is any run of bytes without a quote, line breaks
// included; escapes are not interpreted.
std::string ExtractString(const std::string& json, const std::string& key, const std::string& fallback) {
    std::string value;
    const bool found = FindKeyValue(json, key, [&](std::size_t at) {
        if (at == json.size() || json[at] != '"') {
            return false;
        }
        const std::size_t close = json.find('"', at + 1);
        if (close == std::string::npos) {
            return false;
        }
        value = json.substr(at + 1, close - at - 1);
        return true;
    });
    return found ? value : fallback;
}

// "key" : digits -- the longest run of ASCII digits.
std::int32_t ExtractInt(const std::string& json, const std::string& key, std::int32_t fallback) {
    std::string_view digits;
    const bool found = FindKeyValue(json, key, [&](std::size_t at) {
        std::size_t end = at;
        while (end < json.size() && json[end] >= '0' && json[end] <= '9') {
            ++end;
        }
        digits = std::string_view(json).substr(at, end - at);
        return !digits.empty();
    });
    if (!found) {
        return fallback;
    }
    // 2147483648 .. 4294967295 keep their bits and read as negative.
    return static_cast<std::int32_t>(DigitsToUInt32(digits));
}

bool LoadProjectConfig(const fs::path& projectPath, ProjectConfig& config) {
    try {
        const fs::path root = fs::weakly_canonical(projectPath);
        const fs::path projectFile = root / "project.json";
        const std::string json = ReadTextFile(projectFile);

        config.name = ExtractString(json, "name", PathToUtf8(root.filename()));
        config.rootPath = root;
        config.mainClass = ExtractString(json, "mainClass", "");
        config.startScene = ExtractString(json, "startScene", "");
        // Decoded as UTF-8: the file's text, not the ANSI code page.
        config.mainAssemblyPath = ResolvePath(root, Utf8ToPath(ExtractString(json, "mainAssembly", "")));
        config.window.width = ExtractInt(json, "width", config.window.width);
        config.window.height = ExtractInt(json, "height", config.window.height);
        config.window.title = ExtractString(json, "title", config.window.title);
    } catch (const std::exception& error) {
        LogError(error.what());
        return false;
    }
    if (config.mainClass.empty()) {
        LogError("project.json must define mainClass.");
        return false;
    }
    return true;
}

} // namespace Orvane
