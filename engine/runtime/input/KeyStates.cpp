#include "input/KeyStates.h"

namespace Orvane {

std::array<bool, keyCount> keyStates{};

namespace {
std::array<bool, keyCount> pressedSinceTaken{};
} // namespace

void SetKeyState(std::uint32_t code, bool down) {
    if (code < keyCount) {
        if (down && !keyStates[code]) {
            pressedSinceTaken[code] = true;
        }
        keyStates[code] = down;
    }
}

bool TakeKeyPress(std::uint32_t code) {
    if (code >= keyCount || !pressedSinceTaken[code]) {
        return false;
    }
    pressedSinceTaken[code] = false;
    return true;
}

void ClearKeyStates() { keyStates.fill(false); }

} // namespace Orvane
