// What the SDL window tells a version-2 host: the real SDL events a window gets,
// handed to it, and the event lines that come out.
#include "input/InputEvents.h"
#include "input/KeyStates.h"
#include "platform/Window.h"
#include "platform/sdl/VirtualKeys.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace Orvane {
namespace {

class WindowEventsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ClearKeyStates();
        ASSERT_TRUE(window.Create(320, 200, "Orvane events"));
        window.PumpMessages();
        SetInputEventsWanted(true);
        RecordFocus(true);
        TakeInputEventLines();
    }
    void TearDown() override {
        SetInputEventsWanted(false);
        ClearKeyStates();
    }
    SDL_Event Key(Uint32 type, SDL_Scancode scancode, SDL_Keycode keycode, Uint8 repeat = 0, Uint16 mod = KMOD_NUM) {
        SDL_Event event{};
        event.type = type;
        event.key.windowID = SDL_GetWindowID(window.GetHandle());
        event.key.repeat = repeat;
        event.key.keysym.scancode = scancode;
        event.key.keysym.sym = keycode;
        event.key.keysym.mod = mod;
        return event;
    }
    SDL_Event Button(Uint32 type, Uint8 button, int x, int y) {
        SDL_Event event{};
        event.type = type;
        event.button.button = button;
        event.button.x = x;
        event.button.y = y;
        return event;
    }
    SDL_Event WindowEvent(SDL_WindowEventID id, int data1 = 0, int data2 = 0) {
        SDL_Event event{};
        event.type = SDL_WINDOWEVENT;
        event.window.event = static_cast<Uint8>(id);
        event.window.windowID = SDL_GetWindowID(window.GetHandle());
        event.window.data1 = data1;
        event.window.data2 = data2;
        return event;
    }

    Window window;
};

TEST_F(WindowEventsTest, KeysButtonsWheelAndTextComeOutInOrder) {
    window.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE));
    window.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_SPACE, SDLK_SPACE, 1));
    window.HandleEvent(Key(SDL_KEYUP, SDL_SCANCODE_SPACE, SDLK_SPACE));
    window.HandleEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_RIGHT, 12, 34));
    window.HandleEvent(Button(SDL_MOUSEBUTTONUP, SDL_BUTTON_RIGHT, -5, 400));   // dragged out, still told
    window.HandleEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_MIDDLE, 1, 1));
    window.HandleEvent(Button(SDL_MOUSEBUTTONDOWN, SDL_BUTTON_X2, 1, 1));
    SDL_Event text{};
    text.type = SDL_TEXTINPUT;
    std::strcpy(text.text.text, "\xC3\xA9");
    window.HandleEvent(text);
    std::strcpy(text.text.text, "\xF0\x9D\x84\x9E");   // U+1D11E, outside the BMP
    window.HandleEvent(text);
    SDL_Event wheel{};
    wheel.type = SDL_MOUSEWHEEL;
    wheel.wheel.preciseY = 1;
    wheel.wheel.preciseX = -2;
    wheel.wheel.direction = SDL_MOUSEWHEEL_NORMAL;
    window.HandleEvent(wheel);
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 100;
    motion.motion.y = 50;
    window.HandleEvent(motion);
    motion.motion.x = 400;   // outside the 320 x 200 client area
    window.HandleEvent(motion);
    EXPECT_EQ(TakeInputEventLines(),
              "KEY|32|1\nKEY|32|2\nKEY|32|0\nBUTTON|2|1|12|34\nBUTTON|2|0|-5|400\nBUTTON|3|1|1|1\n"
              "BUTTON|5|1|1|1\nTEXT_INPUT|\xC3\xA9\xF0\x9D\x84\x9E\nPOINTER|400|50|0\nWHEEL|-2|1\n");
    EXPECT_FALSE(keyStates[32]);
}

TEST_F(WindowEventsTest, ResizeFocusAndLeavingAreTold) {
    window.HandleEvent(WindowEvent(SDL_WINDOWEVENT_SIZE_CHANGED, 640, 360));
    window.HandleEvent(Key(SDL_KEYDOWN, SDL_SCANCODE_A, SDLK_a));
    window.HandleEvent(WindowEvent(SDL_WINDOWEVENT_FOCUS_LOST));
    window.HandleEvent(WindowEvent(SDL_WINDOWEVENT_FOCUS_GAINED));
    SDL_Event motion{};
    motion.type = SDL_MOUSEMOTION;
    motion.motion.x = 10;
    motion.motion.y = 10;
    window.HandleEvent(motion);
    window.HandleEvent(WindowEvent(SDL_WINDOWEVENT_LEAVE));
    EXPECT_EQ(TakeInputEventLines(), "SIZE|640|360\nKEY|65|1\nKEY|65|0\nFOCUS|0\nFOCUS|1\nPOINTER|10|10|0\n");
}

// The codes every Windows keyboard reports, with NumLock on and off.
TEST(VirtualKeysVersionTwo, WindowsOnlyKeysAndTheKeypadWithoutNumLock) {
    struct Case {
        SDL_Scancode scancode;
        std::uint16_t modifiers;
        std::uint32_t code;
    };
    const Case cases[] = {
        {SDL_SCANCODE_LGUI, KMOD_NUM, 91},     {SDL_SCANCODE_RGUI, KMOD_NUM, 92},
        {SDL_SCANCODE_APPLICATION, KMOD_NUM, 93}, {SDL_SCANCODE_CLEAR, KMOD_NUM, 12},
        {SDL_SCANCODE_F13, KMOD_NUM, 124},     {SDL_SCANCODE_F24, KMOD_NUM, 135},
        {SDL_SCANCODE_KP_7, KMOD_NONE, 36},    {SDL_SCANCODE_KP_8, KMOD_NONE, 38},
        {SDL_SCANCODE_KP_9, KMOD_NONE, 33},    {SDL_SCANCODE_KP_4, KMOD_NONE, 37},
        {SDL_SCANCODE_KP_5, KMOD_NONE, 12},    {SDL_SCANCODE_KP_6, KMOD_NONE, 39},
        {SDL_SCANCODE_KP_1, KMOD_NONE, 35},    {SDL_SCANCODE_KP_2, KMOD_NONE, 40},
        {SDL_SCANCODE_KP_3, KMOD_NONE, 34},    {SDL_SCANCODE_KP_0, KMOD_NONE, 45},
        {SDL_SCANCODE_KP_PERIOD, KMOD_NONE, 46}, {SDL_SCANCODE_KP_5, KMOD_NUM, 101},
        {SDL_SCANCODE_KP_PERIOD, KMOD_NUM, 110}, {SDL_SCANCODE_KP_ENTER, KMOD_NONE, 13},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(SDL_GetScancodeName(c.scancode));
        EXPECT_EQ(VirtualKeyFromSdl(SDL_GetKeyFromScancode(c.scancode), c.scancode, c.modifiers), c.code);
    }
}

} // namespace
} // namespace Orvane
