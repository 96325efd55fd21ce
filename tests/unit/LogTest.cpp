#include "support/TestSupport.h"

#include "core/Log.h"

namespace {

using OrvaneTest::CaptureLog;

struct LogCase {
    const char* name;
    void (*log)(const std::string&);
    std::string message;
    std::string expectedOut;
    std::string expectedErr;
};

TEST(LogTest, WritesPrefixMessageAndOneNewlineToTheRightStream) {
    const LogCase cases[] = {
        {"info", Orvane::LogInfo, "hello", "[Info] hello\n", ""},
        {"warn", Orvane::LogWarn, "careful", "[Warn] careful\n", ""},
        {"error", Orvane::LogError, "broken", "", "[Error] broken\n"},
        {"empty error", Orvane::LogError, "", "", "[Error] \n"},
        {"embedded newlines", Orvane::LogInfo, "a\nb\n", "[Info] a\nb\n\n", ""},
        {"bytes kept", Orvane::LogWarn, "Sp\xC3\xA4ter|\t!", "[Warn] Sp\xC3\xA4ter|\t!\n", ""},
    };
    for (const LogCase& test : cases) {
        SCOPED_TRACE(test.name);
        const auto log = CaptureLog([&] { test.log(test.message); });
        EXPECT_EQ(log.out, test.expectedOut);
        EXPECT_EQ(log.err, test.expectedErr);
    }
}

} // namespace
