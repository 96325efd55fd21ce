#include "scripting/PlainFields.h"

#include <cfloat>

namespace Orvane {

namespace {

// The field's end: the separator, or the line's end for the last field.
bool AtFieldEnd(const char* at, const char* end, bool last) {
    return last ? at == end : (at != end && *at == '|');
}

// [-]digits, at most nine of them, so the value fits 32 bits as strtol reads it.
bool ReadInt(const char*& at, const char* end, bool last, std::int32_t& value) {
    const bool negative = at != end && *at == '-';
    const char* digit = at + (negative ? 1 : 0);
    std::int32_t magnitude = 0;
    int count = 0;
    for (; digit != end && *digit >= '0' && *digit <= '9'; ++digit) {
        if (++count > 9) {
            return false;
        }
        magnitude = magnitude * 10 + (*digit - '0');
    }
    if (count == 0 || !AtFieldEnd(digit, end, last)) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    at = digit;
    return true;
}

// [-]digits[.digits] with at most 24 bits of digits and ten fraction digits: the
// digits and the power of ten are exact floats, so one division rounds as strtof
// does (the general way takes the same shortcut for the same shapes).
bool ReadFloat(const char*& at, const char* end, bool last, float& value) {
#if FLT_EVAL_METHOD == 0
    static constexpr float powersOfTen[] = {1e0f, 1e1f, 1e2f, 1e3f, 1e4f, 1e5f,
                                            1e6f, 1e7f, 1e8f, 1e9f, 1e10f};
    constexpr std::uint32_t exactLimit = std::uint32_t{1} << 24;
    const bool negative = at != end && *at == '-';
    const char* digit = at + (negative ? 1 : 0);
    std::uint32_t digits = 0;
    bool anyDigit = false;
    for (; digit != end && *digit >= '0' && *digit <= '9'; ++digit) {
        digits = digits * 10 + static_cast<std::uint32_t>(*digit - '0');
        anyDigit = true;
        if (digits > exactLimit) {
            return false;
        }
    }
    int fractionDigits = 0;
    if (digit != end && *digit == '.') {
        for (++digit; digit != end && *digit >= '0' && *digit <= '9'; ++digit) {
            digits = digits * 10 + static_cast<std::uint32_t>(*digit - '0');
            anyDigit = true;
            if (digits > exactLimit || ++fractionDigits > 10) {
                return false;
            }
        }
    }
    if (!anyDigit || !AtFieldEnd(digit, end, last)) {
        return false;
    }
    const float magnitude = static_cast<float>(digits) / powersOfTen[fractionDigits];
    value = negative ? -magnitude : magnitude;
    at = digit;
    return true;
#else
    (void)at;
    (void)end;
    (void)last;
    (void)value;
    return false;
#endif
}

} // namespace

bool ReadPlainFields(std::string_view fields, std::span<std::int32_t> ints, std::span<float> floats,
                     std::span<std::int32_t> intsAfter, std::string_view* tail) {
    const char* at = fields.data();
    const char* const end = at + fields.size();
    std::size_t remaining = ints.size() + floats.size() + intsAfter.size();
    // Every field but the line's last is followed by a separator, skipped here.
    const auto next = [&](auto read, auto& value) {
        const bool last = --remaining == 0 && tail == nullptr;
        if (!read(at, end, last, value)) {
            return false;
        }
        if (!last) {
            ++at;
        }
        return true;
    };
    for (std::int32_t& value : ints) {
        if (!next(ReadInt, value)) {
            return false;
        }
    }
    for (float& value : floats) {
        if (!next(ReadFloat, value)) {
            return false;
        }
    }
    for (std::int32_t& value : intsAfter) {
        if (!next(ReadInt, value)) {
            return false;
        }
    }
    if (tail != nullptr) {
        const std::string_view rest(at, static_cast<std::size_t>(end - at));
        if (rest.empty() || rest.find('|') != std::string_view::npos) {
            return false;
        }
        *tail = rest;
    }
    return true;
}

} // namespace Orvane
