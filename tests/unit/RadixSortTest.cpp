#include "scripting/RadixSort.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <utility>
#include <vector>

namespace {

using FloatKeyed = Orvane::KeyedIndex<std::uint32_t>;
using Orvane::SortableFloatBits;

// The indexes of values in the order a comparison sort that keeps equal values in
// place gives; the radix sort's records must carry exactly these indexes.
template <typename Value, typename Record>
void ExpectStableOrder(const std::vector<Value>& values, const std::vector<Record>& records) {
    std::vector<std::uint32_t> expected(values.size());
    for (std::uint32_t i = 0; i < expected.size(); ++i) {
        expected[i] = i;
    }
    std::stable_sort(expected.begin(), expected.end(),
                     [&](std::uint32_t a, std::uint32_t b) { return values[a] < values[b]; });
    ASSERT_EQ(records.size(), expected.size());
    for (std::size_t n = 0; n < expected.size(); ++n) {
        ASSERT_EQ(records[n].index, expected[n]) << "at " << n;
    }
}

TEST(RadixSortTest, BitsOrderAsTheFloatsDo) {
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {-inf,     -3.0e38f,
                            -1000.5f, -1.0f,
                            -1e-30f,  -std::numeric_limits<float>::denorm_min(),
                            0.0f,     std::numeric_limits<float>::denorm_min(),
                            1e-30f,   1.0f,
                            1.5f,     1000.5f,
                            3.0e38f,  inf};
    for (std::size_t i = 0; i + 1 < std::size(values); ++i) {
        EXPECT_LT(SortableFloatBits(values[i]), SortableFloatBits(values[i + 1])) << values[i];
    }
    EXPECT_EQ(SortableFloatBits(-0.0f), SortableFloatBits(0.0f));
}

// Against std::stable_sort on the floats themselves, for sizes on both sides of
// the small-input path and for key sets that leave some bytes alike.
TEST(RadixSortTest, SortsStablyLikeAComparisonSort) {
    std::mt19937 random(99);
    struct Case {
        const char* name;
        std::size_t count;
        float low;
        float high;
        bool whole;   // whole numbers only: many equal keys
    };
    const Case cases[] = {
        {"tiny", 5, -10, 10, true},
        {"small path edge", 64, -100, 100, false},
        {"just past it", 65, -100, 100, true},
        {"wide range", 5000, -1e30f, 1e30f, false},
        {"screen pixels", 10000, 0, 1280, true},
        {"one value", 3000, 7, 7, true},
        {"signs around zero", 4000, -2, 2, false},
    };
    std::vector<FloatKeyed> scratch;
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        std::uniform_real_distribution<float> value(test.low, test.high);
        std::vector<float> floats(test.count);
        for (float& f : floats) {
            f = test.whole ? std::round(value(random)) : value(random);
        }
        std::vector<FloatKeyed> records;
        for (std::uint32_t i = 0; i < floats.size(); ++i) {
            records.push_back({SortableFloatBits(floats[i]), i});
        }
        Orvane::StableRadixSort(records, scratch);
        ExpectStableOrder(floats, records);
    }
}

// Pairs of ints in one 64-bit key, as contacts between two entities are sorted.
TEST(RadixSortTest, SortsIntPairsAsPairsCompare) {
    std::mt19937 random(7);
    std::uniform_int_distribution<std::int32_t> id(-50, 50);
    std::uniform_int_distribution<std::int32_t> wide(std::numeric_limits<std::int32_t>::min(),
                                                     std::numeric_limits<std::int32_t>::max());
    for (const bool narrow : {true, false}) {
        std::vector<std::pair<std::int32_t, std::int32_t>> pairs(3000);
        for (auto& pair : pairs) {
            pair = narrow ? std::pair{id(random), id(random)} : std::pair{wide(random), wide(random)};
        }
        std::vector<Orvane::KeyedIndex<std::uint64_t>> records;
        for (std::uint32_t i = 0; i < pairs.size(); ++i) {
            records.push_back({(std::uint64_t{Orvane::SortableIntBits(pairs[i].first)} << 32) |
                                   Orvane::SortableIntBits(pairs[i].second),
                               i});
        }
        std::vector<Orvane::KeyedIndex<std::uint64_t>> scratch;
        Orvane::StableRadixSort(records, scratch);
        SCOPED_TRACE(narrow ? "narrow" : "wide");
        ExpectStableOrder(pairs, records);
    }
}

}   // namespace
