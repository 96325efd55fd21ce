#include "scripting/LineProtocol.h"
#include "scripting/PlainDecimal.h"

#include "input/KeyStates.h"

#include <cfloat>
#include <charconv>
#include <cmath>
#include <system_error>

namespace Orvane {

namespace {

// The "C" locale's white space, as strtof and strtol skip it.
inline bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

inline bool IsHexDigit(char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// Leading white space and one optional sign, as the C conversions read them.
// Returns the index of the first character after them.
inline std::size_t SkipSpaceAndSign(std::string_view text, bool& negative) {
    std::size_t at = 0;
    while (at < text.size() && IsCSpace(text[at])) {
        ++at;
    }
    negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    return at;
}

// The same pieces a getline loop over a string stream yields: every delimiter ends
// a piece, and the text's end ends one only when characters were taken. A plain
// byte loop: pieces are a few bytes long, too short for memchr to pay.
template <typename OnPiece>
void ForEachPiece(std::string_view text, char delimiter, OnPiece onPiece) {
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == delimiter) {
            onPiece(text.substr(start, at - start));
            start = at + 1;
        }
    }
    if (start < text.size()) {
        onPiece(text.substr(start));
    }
}

} // namespace

std::vector<std::string> Split(const std::string& text, char delimiter) {
    std::vector<std::string> parts;
    ForEachPiece(text, delimiter, [&](std::string_view piece) { parts.emplace_back(piece); });
    return parts;
}

std::size_t SplitViews(std::string_view text, char delimiter, std::span<std::string_view> pieces) {
    std::size_t count = 0;
    ForEachPiece(text, delimiter, [&](std::string_view piece) {
        if (count < pieces.size()) {
            pieces[count] = piece;
        }
        ++count;
    });
    return count;
}

// strtof's grammar without its dependence on the global C locale: from_chars reads
// the number itself; white space, "+", and the "0x" prefix are handled here.
bool ParseFloatPiece(std::string_view piece, float& value) {
    bool negative = false;
    const std::size_t at = SkipSpaceAndSign(piece, negative);
    const char* first = piece.data() + at;
    const char* last = piece.data() + piece.size();
    if (first == last || *first == '-' || *first == '+') {
        return false;
    }

    float magnitude = 0;
    const char* stop = nullptr;
    if (ParsePlainDecimal(first, last, magnitude, stop)) {
        value = negative ? -magnitude : magnitude;
        return true;
    }
    const bool hexPrefix = last - first >= 2 && first[0] == '0' && (first[1] == 'x' || first[1] == 'X');
    if (hexPrefix) {
        const char* digits = first + 2;
        const bool hexNumber =
            digits < last && (IsHexDigit(digits[0]) ||
                              (digits[0] == '.' && digits + 1 < last && IsHexDigit(digits[1])));
        if (!hexNumber) {
            // "0x" without hex digits after it reads as the number 0.
            value = negative ? -0.0f : 0.0f;
            return true;
        }
        const auto result = std::from_chars(digits, last, magnitude, std::chars_format::hex);
        if (result.ec != std::errc()) {
            return false;
        }
    } else {
        const auto result = std::from_chars(first, last, magnitude, std::chars_format::general);
        if (result.ec != std::errc()) {
            return false;
        }
    }
    // The C library reports ERANGE for results below the normal range as well.
    if (magnitude != 0 && std::isfinite(magnitude) && magnitude < FLT_MIN) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    return true;
}

bool ParseIntPiece(std::string_view piece, std::int32_t& value) {
    bool negative = false;
    std::size_t at = SkipSpaceAndSign(piece, negative);
    if (at == piece.size() || piece[at] < '0' || piece[at] > '9') {
        return false;
    }
    // Accumulate the magnitude, stopping once it cannot fit any more so that long
    // digit runs cannot overflow the accumulator.
    constexpr std::int64_t limit = std::int64_t{1} << 31;
    std::int64_t magnitude = 0;
    while (at < piece.size() && piece[at] >= '0' && piece[at] <= '9') {
        if (magnitude <= limit) {
            magnitude = magnitude * 10 + (piece[at] - '0');
        }
        ++at;
    }
    const std::int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > INT32_MAX || signedValue < INT32_MIN) {
        return false;
    }
    value = static_cast<std::int32_t>(signedValue);
    return true;
}

std::string PressedKeysText() {
    std::string text;
    for (std::size_t code = 0; code < keyCount; ++code) {
        if (!keyStates[code]) {
            continue;
        }
        if (!text.empty()) {
            text += ',';
        }
        text += std::to_string(code);
    }
    return text;
}

// to_chars with precision 6 in general form prints exactly what a default stream
// prints for the float (%g in the classic locale), and never consults a locale.
std::string ComposeFrameLine(float dt) {
    char number[64];
    const auto result = std::to_chars(number, number + sizeof number, static_cast<double>(dt),
                                      std::chars_format::general, 6);
    std::string line = "FRAME|";
    line.append(number, result.ptr);
    line += '|';
    line += PressedKeysText();
    return line;
}

} // namespace Orvane
