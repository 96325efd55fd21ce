#include "scripting/PlainFields.h"

#include "scripting/PlainDecimal.h"

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

// [-] and a plain decimal (ParsePlainDecimal), the field's end right after it.
bool ReadFloat(const char*& at, const char* end, bool last, float& value) {
    const bool negative = at != end && *at == '-';
    const char* first = at + (negative ? 1 : 0);
    float magnitude = 0;
    const char* stop = nullptr;
    if (!ParsePlainDecimal(first, end, magnitude, stop) || !AtFieldEnd(stop, end, last)) {
        return false;
    }
    value = negative ? -magnitude : magnitude;
    at = stop;
    return true;
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
