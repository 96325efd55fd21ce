#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace Orvane {

// Pieces between "|" separators; a single trailing separator adds no piece.
std::vector<std::string> Split(const std::string& text, char delimiter);

// strtof in the classic locale; false when no number starts the piece or it is
// out of float range.
bool ParseFloatPiece(const std::string& piece, float& value);

// strtol base 10; false when no digit starts the piece or it is out of 32-bit range.
bool ParseIntPiece(const std::string& piece, std::int32_t& value);

// Codes of the held keys, ascending, joined by ",".
std::string PressedKeysText();

// "FRAME|" + dt (as %g with 6 digits) + "|" + PressedKeysText().
std::string ComposeFrameLine(float dt);

} // namespace Orvane
