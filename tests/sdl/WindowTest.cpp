// The SDL window: key table, close requests, size and title, failure report.
// Runs on the X display in DISPLAY (Xvfb in CI), or SDL_VIDEODRIVER=offscreen.
#include "input/KeyStates.h"
#include "platform/Window.h"
#include "platform/sdl/VirtualKeys.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <string>

namespace Orvane {
namespace {

SDL_Event KeyEvent(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, Uint16 modifiers = KMOD_NONE,
                   Uint8 repeat = 0) {
    SDL_Event event{};
    event.type = type;
    event.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    event.key.repeat = repeat;
    event.key.keysym.scancode = scancode;
    event.key.keysym.sym = keycode;
    event.key.keysym.mod = modifiers;
    return event;
}

SDL_Event WindowEvent(const Window& window, SDL_WindowEventID id) {
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.event = static_cast<Uint8>(id);
    event.window.windowID = SDL_GetWindowID(window.GetHandle());
    return event;
}

int HeldKeyCount() {
    int count = 0;
    for (bool down : keyStates) {
        count += down ? 1 : 0;
    }
    return count;
}

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearKeyStates();
        ASSERT_TRUE(window.Create(320, 200, "Orvane test"));
        // Whatever the display sends on mapping (exposure, focus) must not
        // interleave with the events a test pushes.
        window.PumpMessages();
        ClearKeyStates();
    }
    void TearDown() override { ClearKeyStates(); }

    Window window;
};

struct KeyCase {
    SDL_Scancode scancode;
    SDL_Keycode keycode;   // what a US layout reports for the scancode
    std::uint32_t virtualKey;
};

const KeyCase usKeys[] = {
    {SDL_SCANCODE_A, SDLK_a, 65},           {SDL_SCANCODE_M, SDLK_m, 77},
    {SDL_SCANCODE_Z, SDLK_z, 90},           {SDL_SCANCODE_0, SDLK_0, 48},
    {SDL_SCANCODE_1, SDLK_1, 49},           {SDL_SCANCODE_9, SDLK_9, 57},
    {SDL_SCANCODE_LEFT, SDLK_LEFT, 37},     {SDL_SCANCODE_UP, SDLK_UP, 38},
    {SDL_SCANCODE_RIGHT, SDLK_RIGHT, 39},   {SDL_SCANCODE_DOWN, SDLK_DOWN, 40},
    {SDL_SCANCODE_SPACE, SDLK_SPACE, 32},   {SDL_SCANCODE_RETURN, SDLK_RETURN, 13},
    {SDL_SCANCODE_KP_ENTER, SDLK_KP_ENTER, 13}, {SDL_SCANCODE_ESCAPE, SDLK_ESCAPE, 27},
    {SDL_SCANCODE_TAB, SDLK_TAB, 9},        {SDL_SCANCODE_BACKSPACE, SDLK_BACKSPACE, 8},
    {SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, 16}, {SDL_SCANCODE_RSHIFT, SDLK_RSHIFT, 16},
    {SDL_SCANCODE_LCTRL, SDLK_LCTRL, 17},   {SDL_SCANCODE_RCTRL, SDLK_RCTRL, 17},
    {SDL_SCANCODE_F1, SDLK_F1, 112},        {SDL_SCANCODE_F9, SDLK_F9, 120},
    {SDL_SCANCODE_F11, SDLK_F11, 122},      {SDL_SCANCODE_F12, SDLK_F12, 123},
    {SDL_SCANCODE_KP_0, SDLK_KP_0, 96},     {SDL_SCANCODE_KP_1, SDLK_KP_1, 97},
    {SDL_SCANCODE_KP_9, SDLK_KP_9, 105},    {SDL_SCANCODE_KP_MULTIPLY, SDLK_KP_MULTIPLY, 106},
    {SDL_SCANCODE_KP_PLUS, SDLK_KP_PLUS, 107}, {SDL_SCANCODE_KP_MINUS, SDLK_KP_MINUS, 109},
    {SDL_SCANCODE_KP_PERIOD, SDLK_KP_PERIOD, 110}, {SDL_SCANCODE_KP_DIVIDE, SDLK_KP_DIVIDE, 111},
    {SDL_SCANCODE_INSERT, SDLK_INSERT, 45}, {SDL_SCANCODE_DELETE, SDLK_DELETE, 46},
    {SDL_SCANCODE_HOME, SDLK_HOME, 36},     {SDL_SCANCODE_END, SDLK_END, 35},
    {SDL_SCANCODE_PAGEUP, SDLK_PAGEUP, 33}, {SDL_SCANCODE_PAGEDOWN, SDLK_PAGEDOWN, 34},
    {SDL_SCANCODE_SEMICOLON, SDLK_SEMICOLON, 186}, {SDL_SCANCODE_EQUALS, SDLK_EQUALS, 187},
    {SDL_SCANCODE_COMMA, SDLK_COMMA, 188},  {SDL_SCANCODE_MINUS, SDLK_MINUS, 189},
    {SDL_SCANCODE_PERIOD, SDLK_PERIOD, 190}, {SDL_SCANCODE_SLASH, SDLK_SLASH, 191},
    {SDL_SCANCODE_GRAVE, SDLK_BACKQUOTE, 192}, {SDL_SCANCODE_LEFTBRACKET, SDLK_LEFTBRACKET, 219},
    {SDL_SCANCODE_BACKSLASH, SDLK_BACKSLASH, 220}, {SDL_SCANCODE_RIGHTBRACKET, SDLK_RIGHTBRACKET, 221},
    {SDL_SCANCODE_APOSTROPHE, SDLK_QUOTE, 222},
};

// With NumLock on, as the keypad codes of the table are (without it the keypad
// reports navigation codes, see WindowEventsTest.cpp).
TEST_F(WindowTest, EachKeySetsAndClearsOnlyItsVirtualKeyCode) {
    for (const KeyCase& key : usKeys) {
        SCOPED_TRACE(SDL_GetScancodeName(key.scancode));
        window.HandleEvent(KeyEvent(SDL_KEYDOWN, key.scancode, key.keycode, KMOD_NUM));
        EXPECT_TRUE(keyStates[key.virtualKey]);
        EXPECT_EQ(HeldKeyCount(), 1);
        window.HandleEvent(KeyEvent(SDL_KEYUP, key.scancode, key.keycode, KMOD_NUM));
        EXPECT_EQ(HeldKeyCount(), 0);
    }
}

TEST(VirtualKeys, LettersFollowTheLayoutOtherKeysTheirPosition) {
    // AZERTY: the key in the US "Q" place types "a" and reports 65, as on Windows.
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_a, SDL_SCANCODE_Q), 65u);
    // AZERTY digit row types "&" unshifted; Windows still reports '1'.
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_AMPERSAND, SDL_SCANCODE_1), 49u);
    // A non-Latin letter (Cyrillic ef, U+0444) falls back to its US position.
    EXPECT_EQ(VirtualKeyFromSdl(0x0444, SDL_SCANCODE_A), 65u);
    // Keys without a Windows code, and out-of-range scancodes.
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_UNKNOWN, SDL_SCANCODE_UNKNOWN), 0u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_AUDIOPLAY, SDL_SCANCODE_AUDIOPLAY), 0u);
    EXPECT_EQ(VirtualKeyFromSdl(SDLK_UNKNOWN, static_cast<SDL_Scancode>(SDL_NUM_SCANCODES)), 0u);
}

TEST_F(WindowTest, KeyWithoutCodeChangesNothing) {
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE));
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_AUDIOPLAY, SDLK_AUDIOPLAY));
    window.HandleEvent(KeyEvent(SDL_KEYUP, SDL_SCANCODE_AUDIOPLAY, SDLK_AUDIOPLAY));
    EXPECT_TRUE(keyStates[32]);
    EXPECT_EQ(HeldKeyCount(), 1);
}

TEST_F(WindowTest, RepeatKeepsTheKeyHeldUntilItsRelease) {
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_RIGHT, SDLK_RIGHT));
    for (int i = 0; i < 3; ++i) {
        window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_RIGHT, SDLK_RIGHT, KMOD_NONE, 1));
        EXPECT_TRUE(keyStates[39]);
    }
    window.HandleEvent(KeyEvent(SDL_KEYUP, SDL_SCANCODE_RIGHT, SDLK_RIGHT));
    EXPECT_FALSE(keyStates[39]);
}

TEST_F(WindowTest, KeysHeldTogetherStayHeldWhateverTheReleaseOrder) {
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a));
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE));
    EXPECT_TRUE(keyStates[65]);
    EXPECT_TRUE(keyStates[32]);
    window.HandleEvent(KeyEvent(SDL_KEYUP, SDL_SCANCODE_A, SDLK_a));
    EXPECT_FALSE(keyStates[65]);
    EXPECT_TRUE(keyStates[32]);
}

TEST_F(WindowTest, AltF10AndAltCombinationsNeverMarkAKeyAsOnWindows) {
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT));
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_RALT, SDLK_RALT, KMOD_RALT));
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_F10, SDLK_F10));
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_F4, SDLK_F4, KMOD_LALT));
    EXPECT_EQ(HeldKeyCount(), 0);
    // Control with alt gives ordinary key messages (AltGr is control+alt).
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_E, SDLK_e, KMOD_LCTRL | KMOD_RALT));
    EXPECT_TRUE(keyStates[69]);
}

TEST_F(WindowTest, ReleaseWhileAltIsHeldStillReleases) {
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_D, SDLK_d));
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_LALT, SDLK_LALT, KMOD_LALT));
    window.HandleEvent(KeyEvent(SDL_KEYUP, SDL_SCANCODE_D, SDLK_d, KMOD_LALT));
    EXPECT_FALSE(keyStates[68]);
}

TEST_F(WindowTest, FocusLossReleasesEveryKey) {
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_LEFT, SDLK_LEFT));
    window.HandleEvent(KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_LSHIFT, SDLK_LSHIFT, KMOD_LSHIFT));
    SDL_Event focusLost = WindowEvent(window, SDL_WINDOWEVENT_FOCUS_LOST);
    ASSERT_EQ(SDL_PushEvent(&focusLost), 1);
    EXPECT_TRUE(window.PumpMessages());
    EXPECT_EQ(HeldKeyCount(), 0);
}

TEST_F(WindowTest, PushedKeyEventsReachTheTableThroughThePump) {
    SDL_Event down = KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_W, SDLK_w);
    SDL_Event escape = KeyEvent(SDL_KEYDOWN, SDL_SCANCODE_ESCAPE, SDLK_ESCAPE);
    SDL_Event up = KeyEvent(SDL_KEYUP, SDL_SCANCODE_W, SDLK_w);
    ASSERT_EQ(SDL_PushEvent(&down), 1);
    ASSERT_EQ(SDL_PushEvent(&escape), 1);
    EXPECT_TRUE(window.PumpMessages());
    EXPECT_TRUE(keyStates[87]);
    EXPECT_TRUE(keyStates[27]);
    ASSERT_EQ(SDL_PushEvent(&up), 1);
    EXPECT_TRUE(window.PumpMessages());
    EXPECT_FALSE(keyStates[87]);
    EXPECT_TRUE(keyStates[27]);
}

TEST_F(WindowTest, QuitOrCloseEndsThePumpButKeepsTheWindow) {
    const SDL_Event requests[] = {WindowEvent(window, SDL_WINDOWEVENT_CLOSE), SDL_Event{SDL_QUIT}};
    for (const SDL_Event& request : requests) {
        Window subject;
        ASSERT_TRUE(subject.Create(64, 48, "close"));
        EXPECT_TRUE(subject.PumpMessages());
        SDL_Event event = request;
        if (event.type == SDL_WINDOWEVENT) {
            event.window.windowID = SDL_GetWindowID(subject.GetHandle());
        }
        ASSERT_EQ(SDL_PushEvent(&event), 1);
        EXPECT_FALSE(subject.PumpMessages());
        EXPECT_FALSE(subject.PumpMessages()) << "closed is never reset";
        ASSERT_NE(subject.GetHandle(), nullptr);
        EXPECT_EQ(SDL_GetWindowFromID(SDL_GetWindowID(subject.GetHandle())), subject.GetHandle());
        EXPECT_TRUE(SDL_GetWindowFlags(subject.GetHandle()) & SDL_WINDOW_SHOWN);
    }
}

TEST_F(WindowTest, CloseOfAnotherWindowIsNotOurs) {
    Window other;
    ASSERT_TRUE(other.Create(64, 48, "other"));
    other.PumpMessages();
    SDL_Event close = WindowEvent(other, SDL_WINDOWEVENT_CLOSE);
    window.HandleEvent(close);
    EXPECT_TRUE(window.PumpMessages());
}

TEST_F(WindowTest, ClientAreaIsTheRequestedSizeAndResizable) {
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(window.GetHandle(), &width, &height);
    EXPECT_EQ(width, 320);
    EXPECT_EQ(height, 200);
    const Uint32 flags = SDL_GetWindowFlags(window.GetHandle());
    EXPECT_TRUE(flags & SDL_WINDOW_SHOWN);
    EXPECT_TRUE(flags & SDL_WINDOW_RESIZABLE);
}

TEST(WindowTitle, Utf8TitleIsShownAsWritten) {
    const std::string title = "Caf\xC3\xA9 \xE2\x98\x85 Orvane";
    Window window;
    ASSERT_TRUE(window.Create(100, 80, title));
    EXPECT_EQ(std::string(SDL_GetWindowTitle(window.GetHandle())), title);
}

TEST(WindowLifetime, WindowsCanComeAndGoOneAfterAnother) {
    for (int i = 0; i < 3; ++i) {
        Window window;
        ASSERT_TRUE(window.Create(50, 40, "again"));
        EXPECT_TRUE(window.PumpMessages());
    }
    // The last window took SDL down; nothing of it is left initialised.
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
}

TEST(WindowFailure, UnusableVideoDriverIsReportedOnce) {
    ASSERT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u) << "needs SDL video down to pick a driver again";
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, "no-such-driver", SDL_HINT_OVERRIDE);
    Window window;
    testing::internal::CaptureStderr();
    const bool created = window.Create(100, 80, "never");
    const std::string errors = testing::internal::GetCapturedStderr();
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
    EXPECT_FALSE(created);
    EXPECT_EQ(window.GetHandle(), nullptr);
    EXPECT_EQ(errors.rfind("[Error] Failed to create window: ", 0), 0u) << errors;
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
    EXPECT_EQ(SDL_WasInit(SDL_INIT_VIDEO), 0u);
    // The next window picks a working driver again.
    Window next;
    EXPECT_TRUE(next.Create(100, 80, "after"));
}

} // namespace
} // namespace Orvane
