#include "input/KeyStates.h"

namespace Orvane {

std::array<bool, keyCount> keyStates{};

void SetKeyState(std::uint32_t code, bool down) {
    if (code < keyCount) {
        keyStates[code] = down;
    }
}

void ClearKeyStates() { keyStates.fill(false); }

} // namespace Orvane
