#pragma once
#include "scripting/FrameSnapshot.h"

#include <string>
#include <vector>

namespace Orvane {

// What the error screen tells: what happened, the game's message, the first
// lines of its trace, and what the player can do.
struct ErrorReport {
    std::string title;     // e.g. "The game's script host has ended."
    std::string message;   // the exception's message, if any
    std::vector<std::string> trace;
};

// The panel as version-2 draw commands in window pixels, drawn over the game's
// last frame: a dark translucent box with the texts, sized to the window.
FrameSnapshot ComposeErrorPanel(const ErrorReport& report, int windowWidth, int windowHeight);

inline constexpr const char* errorScreenHint = "R: restart the game, Esc: quit";

} // namespace Orvane
