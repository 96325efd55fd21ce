#pragma once
// Kept inline: it runs for every number of a frame's commands, from two places
// (ParseFloatPiece and the one-pass reader of PlainFields).
#include <cfloat>
#include <cstdint>

namespace Orvane {

// The common shape of ParseFloatPiece's input, read without a library call:
// digits, a point and more digits ("12", "640.5", ".5"), at most 24 bits of digits
// and at most 10 fraction digits, so that both the digits and the power of ten are
// exact floats and one IEEE division rounds as strtof does. Stores the magnitude
// and where the number stops. Anything else (no digit, exponents, hex, longer
// digit runs) returns false and is left to the general way.
inline bool ParsePlainDecimal(const char* first, const char* last, float& magnitude, const char*& stop) {
#if FLT_EVAL_METHOD == 0
    static constexpr float powersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                            1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    constexpr std::uint32_t exactLimit = std::uint32_t{1} << 24;
    std::uint32_t digits = 0;
    int fractionDigits = 0;
    bool anyDigit = false;
    const char* at = first;
    for (; at != last && *at >= '0' && *at <= '9'; ++at) {
        digits = digits * 10 + static_cast<std::uint32_t>(*at - '0');
        anyDigit = true;
        if (digits > exactLimit) {
            return false;
        }
    }
    if (at != last && *at == '.') {
        for (++at; at != last && *at >= '0' && *at <= '9'; ++at) {
            digits = digits * 10 + static_cast<std::uint32_t>(*at - '0');
            anyDigit = true;
            if (digits > exactLimit || ++fractionDigits > 10) {
                return false;
            }
        }
    }
    if (!anyDigit || (at != last && (*at == 'e' || *at == 'E' || *at == 'x' || *at == 'X'))) {
        return false;
    }
    magnitude = static_cast<float>(digits) / powersOfTen[fractionDigits];
    stop = at;
    return true;
#else
    (void)first;
    (void)last;
    (void)magnitude;
    (void)stop;
    return false;
#endif
}

} // namespace Orvane
