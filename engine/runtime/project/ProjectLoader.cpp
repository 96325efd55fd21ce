#include "project/ProjectLoader.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "core/TextFile.h"

#include <exception>
#include <locale>
#include <regex>
#include <stdexcept>

namespace Orvane {

namespace fs = std::filesystem;

namespace {

// The key goes in verbatim; "\s" must mean the classic locale's white space
// whatever the global locale is.
bool SearchKey(const std::string& json, const std::string& pattern, std::smatch& match) {
    std::regex expression;
    expression.imbue(std::locale::classic());
    expression.assign(pattern, std::regex::ECMAScript);
    return std::regex_search(json, match, expression);
}

// Digits as one unsigned 32-bit value, like stoul where unsigned long has 32 bits
// (the same result and message on every platform).
std::uint32_t DigitsToUInt32(const std::string& digits) {
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

std::string ExtractString(const std::string& json, const std::string& key, const std::string& fallback) {
    std::smatch match;
    if (SearchKey(json, "\"" + key + R"re("\s*:\s*"([^"]*)")re", match)) {
        return match[1].str();
    }
    return fallback;
}

std::int32_t ExtractInt(const std::string& json, const std::string& key, std::int32_t fallback) {
    std::smatch match;
    if (SearchKey(json, "\"" + key + R"re("\s*:\s*([0-9]+))re", match)) {
        // 2147483648 .. 4294967295 keep their bits and read as negative.
        return static_cast<std::int32_t>(DigitsToUInt32(match[1].str()));
    }
    return fallback;
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
