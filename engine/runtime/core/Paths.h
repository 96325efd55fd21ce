#pragma once
#include <filesystem>
#include <string>

namespace Orvane {

// True when any entry (file, folder, other) exists. Other failures of the status
// query throw std::filesystem::filesystem_error naming "exists".
bool FileExists(const std::filesystem::path& path);

// FileExists for searches: a failure other than absence counts as absent and is
// logged once as a warning.
bool FileExistsOrWarn(const std::filesystem::path& path);

// The path's text as UTF-8.
std::string PathToUtf8(const std::filesystem::path& path);

// UTF-8 text (project.json, protocol, command line) as a path. On Windows this
// decodes UTF-8 rather than going through the ANSI code page, which would lose
// every character outside it; text that is not valid UTF-8 falls back to the ANSI
// code page.
std::filesystem::path Utf8ToPath(const std::string& text);

// An absolute path as it is, a relative one under baseFolder; weakly canonical.
// Throws std::filesystem::filesystem_error on failures other than absence.
std::filesystem::path ResolvePath(const std::filesystem::path& baseFolder,
                                  const std::filesystem::path& path);

} // namespace Orvane
