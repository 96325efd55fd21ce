#pragma once
#include <string>

namespace Orvane {

// One line per message, flushed at once: "[Info] " and "[Warn] " to standard
// output, "[Error] " to standard error.
void LogInfo(const std::string& message);
void LogWarn(const std::string& message);
void LogError(const std::string& message);

} // namespace Orvane
