#include "core/Log.h"

#include <iostream>

namespace Orvane {

namespace {
void WriteLine(std::ostream& stream, const char* prefix, const std::string& message) {
    stream << prefix;
    stream << message;
    stream << '\n' << std::flush;
}
} // namespace

void LogInfo(const std::string& message) { WriteLine(std::cout, "[Info] ", message); }
void LogWarn(const std::string& message) { WriteLine(std::cout, "[Warn] ", message); }
void LogError(const std::string& message) { WriteLine(std::cerr, "[Error] ", message); }

} // namespace Orvane
