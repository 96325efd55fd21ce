#pragma once
#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace Orvane {

// The bits of a float as an unsigned number that orders as the float does:
// negatives below positives, -0 equal to +0. NaN has no place in that order, so
// callers keep it out.
inline std::uint32_t SortableFloatBits(float value) {
    if (value == 0) {
        value = 0;   // -0 and +0 are one key
    }
    const auto bits = std::bit_cast<std::uint32_t>(value);
    // Positives: above every negative. Negatives: the larger the magnitude, the lower.
    return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

// The bits of an int32 as an unsigned number that orders as the int does.
inline std::uint32_t SortableIntBits(std::int32_t value) { return std::bit_cast<std::uint32_t>(value) ^ 0x80000000u; }

// A record to sort: an unsigned key and what it stands for.
template <typename Key>
struct KeyedIndex {
    Key key = 0;
    std::uint32_t index = 0;
};

// Sorts records by their unsigned `key`, keeping records of one key in their
// given order. A radix sort: the colliders and contacts of a frame come by the ten
// thousand, and a few passes over the records cost far less than n log n
// comparisons. scratch is working space a caller may keep to save the allocation.
template <typename Record>
void StableRadixSort(std::vector<Record>& records, std::vector<Record>& scratch) {
    using Key = decltype(Record{}.key);
    constexpr int digits = sizeof(Key);
    constexpr std::size_t smallCount = 64;
    if (records.size() <= smallCount) {
        std::stable_sort(records.begin(), records.end(),
                         [](const Record& a, const Record& b) { return a.key < b.key; });
        return;
    }
    // One counting pass for every byte, then a scatter per byte that is not the
    // same in every record (near keys share their high bytes).
    std::array<std::array<std::uint32_t, 256>, digits> counts{};
    for (const Record& record : records) {
        for (int digit = 0; digit < digits; ++digit) {
            ++counts[digit][(record.key >> (8 * digit)) & 0xFF];
        }
    }
    scratch.resize(records.size());
    for (int digit = 0; digit < digits; ++digit) {
        std::array<std::uint32_t, 256>& count = counts[digit];
        if (count[(records.front().key >> (8 * digit)) & 0xFF] == records.size()) {
            continue;
        }
        std::uint32_t offset = 0;
        for (std::uint32_t& slot : count) {
            const std::uint32_t here = slot;
            slot = offset;
            offset += here;
        }
        for (const Record& record : records) {
            scratch[count[(record.key >> (8 * digit)) & 0xFF]++] = record;
        }
        records.swap(scratch);
    }
}

}   // namespace Orvane
