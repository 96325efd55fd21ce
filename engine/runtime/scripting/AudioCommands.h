#pragma once
#include "scripting/AudioCommand.h"

#include <filesystem>
#include <functional>
#include <string_view>
#include <vector>

namespace Orvane {

// Resolves a path piece against the project folder (the bridge's memoised resolver).
using AudioPathResolver = std::function<std::filesystem::path(std::string_view piece)>;

// Parses one version-2 sound line into commands. True when the line was a sound
// command (valid or dropped); false when it is something else.
bool ParseAudioLine(std::string_view line, const AudioPathResolver& resolvePath,
                    std::vector<AudioCommand>& commands);

} // namespace Orvane
