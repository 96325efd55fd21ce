#include <gtest/gtest.h>

#include "input/KeyStates.h"
#include "scripting/LineProtocol.h"

#include <array>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <random>
#include <cfloat>
#include <cmath>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

namespace {

using Strings = std::vector<std::string>;

TEST(SplitTest, PiecesLikeAGetlineLoop) {
    struct Case {
        std::string text;
        Strings pieces;
    };
    const Case cases[] = {
        {"", {}},
        {"RECT", {"RECT"}},
        {"RECT||2", {"RECT", "", "2"}},
        {"|", {""}},
        {"||", {"", ""}},
        {"|a", {"", "a"}},
        {"a|", {"a"}},
        {"a||", {"a", ""}},
        {"a|||", {"a", "", ""}},
        {"RECT|1|2|3|4|5|6|7", {"RECT", "1", "2", "3", "4", "5", "6", "7"}},
        {"RECT|1|2|3|4|5|6|7|", {"RECT", "1", "2", "3", "4", "5", "6", "7"}},
        {" a | b ", {" a ", " b "}},
        {"x\r|y", {"x\r", "y"}},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.text);
        EXPECT_EQ(Orvane::Split(test.text, '|'), test.pieces);

        // The allocation-free splitter yields the same pieces and the same count.
        std::array<std::string_view, 16> views;
        const std::size_t count = Orvane::SplitViews(test.text, '|', views);
        ASSERT_EQ(count, test.pieces.size());
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(views[i], test.pieces[i]);
        }
    }
}

TEST(SplitTest, ViewsCountPiecesBeyondTheirRoom) {
    std::array<std::string_view, 2> views;
    EXPECT_EQ(Orvane::SplitViews("a|b|c|d|", '|', views), 4u);
    EXPECT_EQ(views[0], "a");
    EXPECT_EQ(views[1], "b");
    EXPECT_EQ(Orvane::SplitViews("a|b", '|', std::span<std::string_view>()), 2u);
}

TEST(ParseFloatPieceTest, ReadsLikeStrtofInTheClassicLocale) {
    struct Case {
        std::string piece;
        float expected;
    };
    const Case cases[] = {
        {"12.5", 12.5f},
        {"12.5px", 12.5f},
        {" 1.5", 1.5f},
        {"\t\n\v\f\r 3", 3.0f},
        {"2xyz", 2.0f},
        {"+2", 2.0f},
        {"-3.25", -3.25f},
        {".5", 0.5f},
        {"5.", 5.0f},
        {"1e3", 1000.0f},
        {"1E-2", 0.01f},
        {"1e", 1.0f},
        {"1e+", 1.0f},
        {"0x1.8p3", 12.0f},
        {"-0X10", -16.0f},
        {"0x.8", 0.5f},
        {"0x", 0.0f},
        {"0xg", 0.0f},
        {"0x-1", 0.0f},
        {"0.1", 0.1f},
        {"16777217", 16777216.0f},
        {"3.4028235e38", FLT_MAX},
        {"1.17549435e-38", FLT_MIN},
        {"0e99999", 0.0f},
        {"inf", INFINITY},
        {"-Infinity", -INFINITY},
        {"1,5", 1.0f},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.piece);
        float value = -99;
        EXPECT_TRUE(Orvane::ParseFloatPiece(test.piece, value));
        EXPECT_EQ(value, test.expected);
    }

    float value = 0;
    EXPECT_TRUE(Orvane::ParseFloatPiece("nan", value));
    EXPECT_TRUE(std::isnan(value));
    EXPECT_TRUE(Orvane::ParseFloatPiece("-0", value));
    EXPECT_TRUE(std::signbit(value));
}

TEST(ParseFloatPieceTest, FailsWithoutANumberOrOutOfRange) {
    for (const std::string piece : {"", " ", "abc", "-", "+", ".", "e5", "+-1", "-+1", "--1", "- 1",
                                    "px12", "1e39", "-1e39", "3.4028236e38", "0x1p200", "1e-50",
                                    "1e-40", "-1e-45"}) {
        SCOPED_TRACE(piece);
        float value = 42;
        EXPECT_FALSE(Orvane::ParseFloatPiece(piece, value));
        EXPECT_EQ(value, 42);
    }
}

// strtof itself as the reference, over generated pieces of every shape the parser
// has a path for: plain decimals short and long, exponents, hex, signs, junk.
TEST(ParseFloatPieceTest, AgreesWithStrtofOnGeneratedPieces) {
    std::mt19937 random(12345);
    const auto digitRun = [&](int maxLength) {
        std::string run;
        const int length = std::uniform_int_distribution<int>(0, maxLength)(random);
        for (int i = 0; i < length; ++i) {
            run += static_cast<char>('0' + random() % 10);
        }
        return run;
    };
    const char* prefixes[] = {"", "", "-", "+", " ", "0x", "-0x"};
    const char* suffixes[] = {"", "", "px", "e", "e5", "e-7", "E+38", "e-39", "e45", "|", ".", "x"};
    for (int i = 0; i < 200000; ++i) {
        std::string piece = prefixes[random() % std::size(prefixes)];
        piece += digitRun(i % 3 == 0 ? 12 : 7);
        if (random() % 2) {
            piece += "." + digitRun(i % 5 == 0 ? 14 : 6);
        }
        piece += suffixes[random() % std::size(suffixes)];

        errno = 0;
        char* end = nullptr;
        const float expected = std::strtof(piece.c_str(), &end);
        const bool expectedOk = end != piece.c_str() && errno != ERANGE;
        float value = 0;
        const bool ok = Orvane::ParseFloatPiece(piece, value);
        ASSERT_EQ(ok, expectedOk) << piece;
        if (ok) {
            ASSERT_EQ(std::memcmp(&value, &expected, sizeof value), 0) << piece << " " << value << " " << expected;
        }
    }
}

TEST(ParseIntPieceTest, ReadsLikeStrtolBase10In32Bits) {
    struct Case {
        std::string piece;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"0", 0},
        {"7.9", 7},
        {" -12", -12},
        {"+5", 5},
        {"300", 300},
        {"0x10", 0},
        {"0010", 10},
        {"2147483647", 2147483647},
        {"-2147483648", INT32_MIN},
        {"-0", 0},
        {"12abc", 12},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.piece);
        std::int32_t value = -99;
        EXPECT_TRUE(Orvane::ParseIntPiece(test.piece, value));
        EXPECT_EQ(value, test.expected);
    }
    for (const std::string piece : {"", " ", "x", "-", "+", "- 1", "+-1", ".5", "2147483648",
                                    "-2147483649", "99999999999999999999999"}) {
        SCOPED_TRACE(piece);
        std::int32_t value = 42;
        EXPECT_FALSE(Orvane::ParseIntPiece(piece, value));
        EXPECT_EQ(value, 42);
    }
}

class KeyStatesScope {
public:
    KeyStatesScope() { Orvane::ClearKeyStates(); }
    ~KeyStatesScope() { Orvane::ClearKeyStates(); }
};

TEST(FrameLineTest, KeyListInAscendingOrder) {
    KeyStatesScope keys;
    EXPECT_EQ(Orvane::PressedKeysText(), "");
    Orvane::SetKeyState(65, true);
    Orvane::SetKeyState(37, true);
    EXPECT_EQ(Orvane::PressedKeysText(), "37,65");
    Orvane::SetKeyState(255, true);
    Orvane::SetKeyState(0, true);
    EXPECT_EQ(Orvane::PressedKeysText(), "0,37,65,255");
    EXPECT_EQ(Orvane::ComposeFrameLine(0.016666668f), "FRAME|0.0166667|0,37,65,255");
}

TEST(FrameLineTest, TimeStepIsWrittenWithSixSignificantDigits) {
    KeyStatesScope keys;
    struct Case {
        float dt;
        std::string line;
    };
    const Case cases[] = {
        {0.016666668f, "FRAME|0.0166667|"},
        {0.05f, "FRAME|0.05|"},
        {0.0f, "FRAME|0|"},
        {0.00001f, "FRAME|1e-05|"},
        {0.0001f, "FRAME|0.0001|"},
        {0.000123456789f, "FRAME|0.000123457|"},
        {0.0333333f, "FRAME|0.0333333|"},
        {1.0f, "FRAME|1|"},
        {123456789.0f, "FRAME|1.23457e+08|"},
    };
    for (const Case& test : cases) {
        EXPECT_EQ(Orvane::ComposeFrameLine(test.dt), test.line);
    }
}

TEST(FrameLineTest, MatchesDefaultStreamInsertionOfTheFloat) {
    KeyStatesScope keys;
    std::ostringstream stream;
    stream.imbue(std::locale::classic());
    for (int step = 0; step <= 5000; ++step) {
        const float dt = 0.05f * static_cast<float>(step) / 5000.0f;
        stream.str("");
        stream << "FRAME|" << dt << "|";
        ASSERT_EQ(Orvane::ComposeFrameLine(dt), stream.str()) << "step " << step;
    }
}

} // namespace
