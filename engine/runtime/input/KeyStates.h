#pragma once
#include <array>
#include <cstdint>

namespace Orvane {

// Key-down flags by Windows virtual-key code; written by the window, read by the
// frame exchange.
inline constexpr std::size_t keyCount = 256;
extern std::array<bool, keyCount> keyStates;

// Sets entry code to down; codes of 256 and above change nothing.
void SetKeyState(std::uint32_t code, bool down);

// Releases every key (the window lost the focus, so key-ups would go elsewhere).
void ClearKeyStates();

// Whether the key went down since the last call for it, however briefly: a press
// and release between two looks still counts once (the runtime's own keys).
bool TakeKeyPress(std::uint32_t code);

} // namespace Orvane
