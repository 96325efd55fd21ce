#include "core/Paths.h"

#include "core/Log.h"

#ifdef _WIN32
#include <windows.h>
#endif

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
#ifdef _WIN32
    // Text that is not UTF-8 was most likely written in the ANSI code page, which
    // is what the conversion did before paths were read as UTF-8.
    if (!text.empty() && MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(),
                                             static_cast<int>(text.size()), nullptr, 0) == 0) {
        const int count =
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
        std::wstring wide(static_cast<std::size_t>(count > 0 ? count : 0), L'\0');
        if (count > 0) {
            MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), count);
        }
        return fs::path(wide);
    }
#endif
    return fs::path(std::u8string(text.begin(), text.end()));
}

fs::path ResolvePath(const fs::path& baseFolder, const fs::path& path) {
    if (path.is_absolute()) {
        return fs::weakly_canonical(path);
    }
    return fs::weakly_canonical(baseFolder / path);
}

} // namespace Orvane
