#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Orvane {

// Whether line begins with prefix (a keyword and its separator, say).
inline bool StartsWith(std::string_view line, std::string_view prefix) {
    return line.substr(0, prefix.size()) == prefix;
}

// Pieces between "|" separators; a single trailing separator adds no piece.
std::vector<std::string> Split(const std::string& text, char delimiter);

// Split's pieces as views into text, without allocating: stores the first
// pieces.size() of them and returns how many there are in all.
std::size_t SplitViews(std::string_view text, char delimiter, std::span<std::string_view> pieces);

// strtof in the classic locale; false when no number starts the piece or it is
// out of float range.
bool ParseFloatPiece(std::string_view piece, float& value);

// strtol base 10; false when no digit starts the piece or it is out of 32-bit range.
bool ParseIntPiece(std::string_view piece, std::int32_t& value);

// Codes of the held keys, ascending, joined by ",".
std::string PressedKeysText();

// "FRAME|" + dt (as %g with 6 digits) + "|" + PressedKeysText().
std::string ComposeFrameLine(float dt);

} // namespace Orvane
