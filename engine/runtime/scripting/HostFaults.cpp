// What the error screen and the recordings need from the line stream: the game's
// last error with the first lines of its trace, a digest of each frame's answer,
// and the state an old host hands to its successor on a reload.
#include "scripting/ScriptHostBridgeImpl.h"

#include "scripting/LineProtocol.h"

#include <string_view>

namespace Orvane {

namespace {

constexpr std::size_t maxTraceLines = 12;
constexpr std::uint64_t digestOffset = 14695981039346656037ull;
constexpr std::uint64_t digestPrime = 1099511628211ull;

// Commands are what a frame draws and reports; log lines and console text may
// carry times and are left out of the digest.
bool IsAnswerCommand(std::string_view line) {
    if (StartsWith(line, "LOG|") || StartsWith(line, "ERROR|") || StartsWith(line, "STATE|")) {
        return false;
    }
    const std::size_t separator = line.find('|');
    if (separator == std::string_view::npos || separator == 0) {
        return false;
    }
    for (std::size_t at = 0; at < separator; ++at) {
        const char c = line[at];
        if (!((c >= 'A' && c <= 'Z') || c == '_')) {
            return false;
        }
    }
    return true;
}

} // namespace

void ScriptHostBridge::Impl::NoteLineForFaults(const std::string& line) {
    if (digestAnswers && IsAnswerCommand(line)) {
        std::uint64_t digest = answerDigest == 0 ? digestOffset : answerDigest;
        for (const char c : line) {
            digest = (digest ^ static_cast<unsigned char>(c)) * digestPrime;
        }
        answerDigest = (digest ^ '\n') * digestPrime;
    }
    if (StartsWith(line, "ERROR|")) {
        errorPending = true;
        errorMessage = line.substr(6);
        errorTrace.clear();
        collectingTrace = true;
        return;
    }
    if (collectingTrace && StartsWith(line, "LOG|Error|")) {
        if (errorTrace.size() < maxTraceLines) {
            errorTrace.push_back(line.substr(10));
        }
        return;
    }
    collectingTrace = false;
}

} // namespace Orvane
