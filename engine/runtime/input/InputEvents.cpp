#include "input/InputEvents.h"

#include "core/Log.h"
#include "input/KeyStates.h"

#include <charconv>
#include <cmath>
#include <vector>

namespace Orvane {

namespace {

struct PendingInput {
    std::vector<std::string> lines;   // edges, text and focus, in order
    std::size_t typedBytes = 0;
    bool pointerChanged = false;
    float pointerX = 0;
    float pointerY = 0;
    bool pointerInside = false;
    bool pointerKnown = false;
    float wheelX = 0;
    float wheelY = 0;
    std::int32_t width = -1;
    std::int32_t height = -1;
    bool sizeChanged = false;
    bool warnedFlood = false;
    bool wanted = false;
    bool focused = true;
};

PendingInput pending;

std::string Number(float value) {
    if (!std::isfinite(value)) {
        value = 0;
    }
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

bool Room() {
    if (pending.lines.size() < maxInputEventLinesPerFrame) {
        return true;
    }
    if (!pending.warnedFlood) {
        pending.warnedFlood = true;
        LogWarn("More than " + std::to_string(maxInputEventLinesPerFrame) +
                " input events between two frames; the rest of such floods are dropped.");
    }
    return false;
}

void Push(std::string line) {
    if (pending.wanted && Room()) {
        pending.lines.push_back(std::move(line));
    }
}

// Typed text travels escaped like TEXT| text: "\n" and "\\".
std::string Escape(std::string_view text) {
    std::string escaped;
    for (const char c : text) {
        if (c == '\\') {
            escaped += "\\\\";
        } else if (c == '\n') {
            escaped += "\\n";
        } else if (c != '\r') {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

void RecordKey(std::uint32_t code, bool down, bool repeat) {
    if (code >= keyCount) {
        return;
    }
    const char* state = !down ? "0" : repeat ? "2" : "1";
    Push("KEY|" + std::to_string(code) + "|" + state);
}

void RecordButton(MouseButton button, bool down, float x, float y) {
    Push("BUTTON|" + std::to_string(static_cast<int>(button)) + (down ? "|1|" : "|0|") + Number(x) + "|" +
         Number(y));
}

void RecordPointer(float x, float y, bool inside) {
    if (!pending.wanted) {
        return;
    }
    if (pending.pointerKnown && x == pending.pointerX && y == pending.pointerY && inside == pending.pointerInside) {
        return;
    }
    pending.pointerKnown = true;
    pending.pointerChanged = true;
    pending.pointerX = x;
    pending.pointerY = y;
    pending.pointerInside = inside;
}

void RecordPointerLeft() { RecordPointer(pending.pointerX, pending.pointerY, false); }

void RecordWheel(float dx, float dy) {
    if (pending.wanted && std::isfinite(dx) && std::isfinite(dy)) {
        pending.wheelX += dx;
        pending.wheelY += dy;
    }
}

void RecordText(std::string_view text) {
    if (!pending.wanted || text.empty()) {
        return;
    }
    if (pending.typedBytes + text.size() > maxTypedBytesPerFrame) {
        if (!pending.warnedFlood) {
            pending.warnedFlood = true;
            LogWarn("More than " + std::to_string(maxTypedBytesPerFrame) +
                    " bytes typed between two frames; the rest of such floods are dropped.");
        }
        return;
    }
    pending.typedBytes += text.size();
    // Characters typed one after another travel on one line.
    const std::string prefix = "TEXT_INPUT|";
    if (!pending.lines.empty() && pending.lines.back().rfind(prefix, 0) == 0) {
        pending.lines.back() += Escape(text);
        return;
    }
    Push(prefix + Escape(text));
}

void RecordFocus(bool focused) {
    // Several messages can tell the same change (Win32 sends two on losing it).
    const bool changed = focused != pending.focused;
    pending.focused = focused;
    if (!focused) {
        for (std::size_t code = 0; code < keyCount; ++code) {
            if (keyStates[code]) {
                RecordKey(static_cast<std::uint32_t>(code), false, false);
            }
        }
        ClearKeyStates();
    }
    if (changed) {
        Push(focused ? "FOCUS|1" : "FOCUS|0");
    }
}

void RecordClientSize(std::int32_t width, std::int32_t height) {
    if (width == pending.width && height == pending.height) {
        return;
    }
    pending.width = width;
    pending.height = height;
    pending.sizeChanged = true;
}

std::string TakeClientSizeLine() {
    if (pending.width < 0) {
        return {};
    }
    pending.sizeChanged = false;
    return "SIZE|" + std::to_string(pending.width) + "|" + std::to_string(pending.height);
}

void SetInputEventsWanted(bool wanted) {
    pending.wanted = wanted;
    if (!wanted) {
        DiscardInputEvents();
    }
}

std::string TakeInputEventLines() {
    std::string text;
    if (pending.sizeChanged) {
        text += TakeClientSizeLine() + "\n";
    }
    for (const std::string& line : pending.lines) {
        text += line;
        text += '\n';
    }
    if (pending.pointerChanged) {
        text += "POINTER|" + Number(pending.pointerX) + "|" + Number(pending.pointerY) +
                (pending.pointerInside ? "|1\n" : "|0\n");
    }
    if (pending.wheelX != 0 || pending.wheelY != 0) {
        text += "WHEEL|" + Number(pending.wheelX) + "|" + Number(pending.wheelY) + "\n";
    }
    DiscardInputEvents();
    return text;
}

void DiscardInputEvents() {
    pending.lines.clear();
    pending.typedBytes = 0;
    pending.pointerChanged = false;
    pending.sizeChanged = false;
    pending.wheelX = 0;
    pending.wheelY = 0;
}

} // namespace Orvane
