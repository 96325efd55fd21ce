#include <gtest/gtest.h>

#include "scripting/LineProtocol.h"
#include "scripting/PlainFields.h"

#include <array>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <string_view>

namespace {

// The shape of a RECT line's fields: four floats, then three integers.
struct BoxAndColor {
    std::array<float, 4> box{};
    std::array<std::int32_t, 3> color{};
};

bool ReadRectFields(std::string_view fields, BoxAndColor& out) {
    return Orvane::ReadPlainFields(fields, {}, out.box, out.color, nullptr);
}

// The general way for the same shape: split, then parse each piece.
bool ParseRectFieldsTheGeneralWay(std::string_view fields, BoxAndColor& out) {
    std::array<std::string_view, 8> pieces;
    if (Orvane::SplitViews(fields, '|', pieces) != 7) {
        return false;
    }
    for (std::size_t i = 0; i < 4; ++i) {
        if (!Orvane::ParseFloatPiece(pieces[i], out.box[i])) {
            return false;
        }
    }
    for (std::size_t i = 0; i < 3; ++i) {
        if (!Orvane::ParseIntPiece(pieces[4 + i], out.color[i])) {
            return false;
        }
    }
    return true;
}

bool SameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

TEST(PlainFieldsTest, ReadsPlainNumbersInOnePass) {
    struct Case {
        std::string fields;
        std::array<float, 4> box;
        std::array<std::int32_t, 3> color;
    };
    const Case cases[] = {
        {"1|2|32|32|255|128|0", {1, 2, 32, 32}, {255, 128, 0}},
        {"-3.25|0.5|.5|5.|-1|300|0", {-3.25f, 0.5f, 0.5f, 5.0f}, {-1, 300, 0}},
        {"16777216|0.0000000001|007|1|999999999|-999999999|00", {16777216.0f, 1e-10f, 7, 1},
         {999999999, -999999999, 0}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.fields);
        BoxAndColor read;
        ASSERT_TRUE(ReadRectFields(test.fields, read));
        EXPECT_EQ(read.box, test.box);
        EXPECT_EQ(read.color, test.color);
    }
    BoxAndColor negativeZero;
    ASSERT_TRUE(ReadRectFields("-0|0|0|0|0|0|0", negativeZero));
    EXPECT_TRUE(std::signbit(negativeZero.box[0]));
}

// Everything the general way reads differently, or may, is left to it.
TEST(PlainFieldsTest, LeavesEveryOtherShapeToTheGeneralWay) {
    for (const std::string fields : {
             " 1|2|3|4|5|6|7",          // space before a number
             "+1|2|3|4|5|6|7",          // plus sign
             "1e2|2|3|4|5|6|7",         // exponent
             "0x10|2|3|4|5|6|7",        // hex
             "12px|2|3|4|5|6|7",        // letters after the number
             "1|2|3|4|5|6|7px",
             "1|2|3|4|5|6|7|",          // a trailing separator adds no piece
             "1|2|3|4|5|6",             // a field short
             "1|2|3|4|5|6|7|8",         // a field over
             "1||3|4|5|6|7",            // empty field
             ".|2|3|4|5|6|7",           // no digit
             "-|2|3|4|5|6|7",
             "--1|2|3|4|5|6|7",
             "1.5.5|2|3|4|5|6|7",
             "16777217|2|3|4|5|6|7",    // more than 24 bits of digits
             "0.12345678901|2|3|4|5|6|7",   // eleven fraction digits
             "0.00001234567|2|3|4|5|6|7",   // eleven, though the digits fit 24 bits
             "1|2|3|4|1234567890|6|7",  // ten-digit integer
             "1|2|3|4|5.0|6|7",         // a fraction in an integer field
             "1|2|3|4|5|6|7\r",
         }) {
        SCOPED_TRACE(fields);
        BoxAndColor read;
        EXPECT_FALSE(ReadRectFields(fields, read));
    }
}

TEST(PlainFieldsTest, TailIsTheRestOfTheLineWithoutSeparators) {
    std::array<float, 4> box{};
    std::array<std::int32_t, 3> color{};
    std::string_view tail;
    ASSERT_TRUE(Orvane::ReadPlainFields("1|2|3|4|5|6|7|assets/a b.png", {}, box, color, &tail));
    EXPECT_EQ(tail, "assets/a b.png");
    for (const std::string_view fields : {"1|2|3|4|5|6|7|", "1|2|3|4|5|6|7|a|", "1|2|3|4|5|6|7"}) {
        SCOPED_TRACE(fields);
        EXPECT_FALSE(Orvane::ReadPlainFields(fields, {}, box, color, &tail));
    }
    // Integers before the floats: the shape of a COLLIDER line.
    std::array<std::int32_t, 1> id{};
    ASSERT_TRUE(Orvane::ReadPlainFields("-42|1.5|2|3|4", id, box, {}, nullptr));
    EXPECT_EQ(id[0], -42);
    EXPECT_EQ(box, (std::array<float, 4>{1.5f, 2, 3, 4}));
}

// The general way as the reference over generated lines: whatever the one-pass
// reader accepts, the general way reads to the same bits.
TEST(PlainFieldsTest, AgreesWithTheGeneralWayOnGeneratedLines) {
    std::mt19937 random(2026);
    int accepted = 0;
    // Reads fields both ways; false (with the failure recorded) on a mismatch.
    const auto agrees = [&](const std::string& fields) {
        BoxAndColor quick;
        if (!ReadRectFields(fields, quick)) {
            return true;
        }
        ++accepted;
        BoxAndColor general;
        if (!ParseRectFieldsTheGeneralWay(fields, general)) {
            ADD_FAILURE() << "only the one-pass reader accepts " << fields;
            return false;
        }
        for (std::size_t i = 0; i < 4; ++i) {
            if (!SameBits(quick.box[i], general.box[i])) {
                ADD_FAILURE() << fields << " field " << i << ": " << quick.box[i] << " vs " << general.box[i];
                return false;
            }
        }
        EXPECT_EQ(quick.color, general.color) << fields;
        return quick.color == general.color;
    };
    const std::string alphabet = "0123456789012345678901234567890123456789..--|||| +eEx";
    for (int round = 0; round < 200000; ++round) {
        std::string fields;
        const int length = std::uniform_int_distribution<int>(1, 40)(random);
        for (int i = 0; i < length; ++i) {
            fields += alphabet[random() % alphabet.size()];
        }
        ASSERT_TRUE(agrees(fields));
    }
    // Random text rarely has exactly seven fields; make sure many lines did.
    for (int round = 0; round < 50000; ++round) {
        std::string fields;
        for (int field = 0; field < 7; ++field) {
            if (field > 0) {
                fields += '|';
            }
            if (random() % 2 == 0) {
                fields += '-';
            }
            const int digits = std::uniform_int_distribution<int>(field < 4 ? 0 : 1, 9)(random);
            for (int i = 0; i < digits; ++i) {
                fields += static_cast<char>('0' + random() % 10);
            }
            if (field < 4 && random() % 2 == 0) {
                fields += '.';
                const int fraction = std::uniform_int_distribution<int>(digits == 0 ? 1 : 0, 11)(random);
                for (int i = 0; i < fraction; ++i) {
                    fields += static_cast<char>('0' + random() % 10);
                }
            }
        }
        ASSERT_TRUE(agrees(fields));
    }
    EXPECT_GT(accepted, 2000);
}

} // namespace
