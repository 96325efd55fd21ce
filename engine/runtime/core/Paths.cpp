#include "core/Paths.h"

#include "core/Log.h"

namespace Orvane {

namespace fs = std::filesystem;

bool FileExists(const fs::path& path) { return fs::exists(path); }

bool FileExistsOrWarn(const fs::path& path) {
    std::error_code error;
    const bool exists = fs::exists(path, error);
    if (error) {
        LogWarn("Could not check " + PathToUtf8(path) + ": " + error.message());
        return false;
    }
    return exists;
}

std::string PathToUtf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path Utf8ToPath(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

fs::path ResolvePath(const fs::path& baseFolder, const fs::path& path) {
    if (path.is_absolute()) {
        return fs::weakly_canonical(path);
    }
    return fs::weakly_canonical(baseFolder / path);
}

} // namespace Orvane
