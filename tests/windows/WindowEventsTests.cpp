// What the Win32 window tells a version-2 host: real messages sent to a real
// window, and the event lines that come out.
#include "input/InputEvents.h"
#include "input/KeyStates.h"
#include "platform/Window.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace Orvane {
namespace {

class WindowEventsTest : public testing::Test {
protected:
    void SetUp() override {
        ClearKeyStates();
        ASSERT_TRUE(window.Create(320, 200, "Orvane events"));
        handle = window.GetHandle();
        window.PumpMessages();
        SetInputEventsWanted(true);
        RecordFocus(true);
        TakeInputEventLines();
    }
    void TearDown() override {
        SetInputEventsWanted(false);
        ClearKeyStates();
    }
    void Send(UINT message, WPARAM wParam, LPARAM lParam = 0) { SendMessageW(handle, message, wParam, lParam); }
    static LPARAM Point(int x, int y) {
        return static_cast<LPARAM>((static_cast<std::uint32_t>(y & 0xFFFF) << 16) | static_cast<std::uint32_t>(x & 0xFFFF));
    }

    Window window;
    HWND handle = nullptr;
};

TEST_F(WindowEventsTest, KeysAutoRepeatButtonsAndWheel) {
    Send(WM_KEYDOWN, 'A', 1);
    Send(WM_KEYDOWN, 'A', 1 | (LPARAM{1} << 30));   // the key was down already
    Send(WM_KEYUP, 'A', 1);
    Send(WM_LBUTTONDOWN, MK_LBUTTON, Point(10, 20));
    Send(WM_LBUTTONUP, 0, Point(-3, 500));
    Send(WM_XBUTTONDOWN, MAKEWPARAM(0, XBUTTON2), Point(1, 2));
    Send(WM_XBUTTONUP, MAKEWPARAM(0, XBUTTON2), Point(1, 2));
    Send(WM_MBUTTONDOWN, MK_MBUTTON, Point(4, 4));
    Send(WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA * 2), Point(0, 0));
    Send(WM_MOUSEHWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), Point(0, 0));
    Send(WM_MOUSEMOVE, 0, Point(50, 60));
    EXPECT_EQ(TakeInputEventLines(),
              "KEY|65|1\nKEY|65|2\nKEY|65|0\nBUTTON|1|1|10|20\nBUTTON|1|0|-3|500\nBUTTON|5|1|1|2\n"
              "BUTTON|5|0|1|2\nBUTTON|3|1|4|4\nPOINTER|50|60|1\nWHEEL|-1|2\n");
}

TEST_F(WindowEventsTest, TypedCharactersIncludingSurrogatePairs) {
    Send(WM_CHAR, 0x00E9);                 // é
    Send(WM_CHAR, 0xD834);                 // U+1D11E as two halves
    Send(WM_CHAR, 0xDD1E);
    Send(WM_CHAR, 0x08);                   // backspace is a key, not text
    Send(WM_CHAR, 0xDC00);                 // a lone second half
    Send(WM_CHAR, 0xD800);                 // a lone first half, then a plain letter
    Send(WM_CHAR, 'x');
    EXPECT_EQ(TakeInputEventLines(),
              "TEXT_INPUT|\xC3\xA9\xF0\x9D\x84\x9E\xEF\xBF\xBD\xEF\xBF\xBDx\n");
}

TEST_F(WindowEventsTest, ResizeAndFocusLoss) {
    Send(WM_SIZE, SIZE_RESTORED, MAKELPARAM(640, 360));
    Send(WM_KEYDOWN, VK_LEFT, 1);
    Send(WM_KILLFOCUS, 0);
    Send(WM_ACTIVATEAPP, FALSE);
    Send(WM_SETFOCUS, 0);
    EXPECT_EQ(TakeInputEventLines(), "SIZE|640|360\nKEY|37|1\nKEY|37|0\nFOCUS|0\nFOCUS|1\n");
    EXPECT_FALSE(keyStates[VK_LEFT]);
}

} // namespace
} // namespace Orvane
