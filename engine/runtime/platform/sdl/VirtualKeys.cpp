#include "platform/sdl/VirtualKeys.h"

#include <array>

namespace Orvane {

namespace {

struct KeyPair {
    SDL_Scancode scancode;
    std::uint8_t virtualKey;
};

constexpr KeyPair namedKeys[] = {
    {SDL_SCANCODE_BACKSPACE, 8},
    {SDL_SCANCODE_TAB, 9},
    {SDL_SCANCODE_RETURN, 13},
    {SDL_SCANCODE_KP_ENTER, 13},
    {SDL_SCANCODE_LSHIFT, 16},
    {SDL_SCANCODE_RSHIFT, 16},
    {SDL_SCANCODE_LCTRL, 17},
    {SDL_SCANCODE_RCTRL, 17},
    {SDL_SCANCODE_LALT, 18},
    {SDL_SCANCODE_RALT, 18},
    {SDL_SCANCODE_PAUSE, 19},
    {SDL_SCANCODE_CAPSLOCK, 20},
    {SDL_SCANCODE_ESCAPE, 27},
    {SDL_SCANCODE_SPACE, 32},
    {SDL_SCANCODE_PAGEUP, 33},
    {SDL_SCANCODE_PAGEDOWN, 34},
    {SDL_SCANCODE_END, 35},
    {SDL_SCANCODE_HOME, 36},
    {SDL_SCANCODE_LEFT, 37},
    {SDL_SCANCODE_UP, 38},
    {SDL_SCANCODE_RIGHT, 39},
    {SDL_SCANCODE_DOWN, 40},
    {SDL_SCANCODE_INSERT, 45},
    {SDL_SCANCODE_DELETE, 46},
    {SDL_SCANCODE_KP_MULTIPLY, 106},
    {SDL_SCANCODE_KP_PLUS, 107},
    {SDL_SCANCODE_KP_MINUS, 109},
    {SDL_SCANCODE_KP_PERIOD, 110},
    {SDL_SCANCODE_KP_DIVIDE, 111},
    {SDL_SCANCODE_NUMLOCKCLEAR, 144},
    {SDL_SCANCODE_SCROLLLOCK, 145},
    {SDL_SCANCODE_SEMICOLON, 186},
    {SDL_SCANCODE_EQUALS, 187},
    {SDL_SCANCODE_COMMA, 188},
    {SDL_SCANCODE_MINUS, 189},
    {SDL_SCANCODE_PERIOD, 190},
    {SDL_SCANCODE_SLASH, 191},
    {SDL_SCANCODE_GRAVE, 192},
    {SDL_SCANCODE_LEFTBRACKET, 219},
    {SDL_SCANCODE_BACKSLASH, 220},
    {SDL_SCANCODE_RIGHTBRACKET, 221},
    {SDL_SCANCODE_APOSTROPHE, 222},
    {SDL_SCANCODE_NONUSBACKSLASH, 226},
    {SDL_SCANCODE_CLEAR, 12},
    {SDL_SCANCODE_LGUI, 91},
    {SDL_SCANCODE_RGUI, 92},
    {SDL_SCANCODE_APPLICATION, 93},
    {SDL_SCANCODE_PRINTSCREEN, 44},
};

// The keypad with NumLock off, as Windows reports it: navigation keys.
constexpr KeyPair keypadNavigation[] = {
    {SDL_SCANCODE_KP_0, 45}, {SDL_SCANCODE_KP_1, 35}, {SDL_SCANCODE_KP_2, 40},
    {SDL_SCANCODE_KP_3, 34}, {SDL_SCANCODE_KP_4, 37}, {SDL_SCANCODE_KP_5, 12},
    {SDL_SCANCODE_KP_6, 39}, {SDL_SCANCODE_KP_7, 36}, {SDL_SCANCODE_KP_8, 38},
    {SDL_SCANCODE_KP_9, 33}, {SDL_SCANCODE_KP_PERIOD, 46},
};

using ScancodeTable = std::array<std::uint8_t, SDL_NUM_SCANCODES>;

ScancodeTable BuildScancodeTable() {
    ScancodeTable table{};
    // SDL numbers these runs contiguously, like the Windows codes.
    for (int i = 0; i < 26; ++i) {
        table[SDL_SCANCODE_A + i] = static_cast<std::uint8_t>('A' + i);
    }
    // SDL orders the digit row 1..9, 0.
    for (int i = 0; i < 9; ++i) {
        table[SDL_SCANCODE_1 + i] = static_cast<std::uint8_t>('1' + i);
        table[SDL_SCANCODE_KP_1 + i] = static_cast<std::uint8_t>(97 + i);
    }
    table[SDL_SCANCODE_0] = '0';
    table[SDL_SCANCODE_KP_0] = 96;
    for (int i = 0; i < 12; ++i) {
        table[SDL_SCANCODE_F1 + i] = static_cast<std::uint8_t>(112 + i);
        table[SDL_SCANCODE_F13 + i] = static_cast<std::uint8_t>(124 + i);   // F13..F24
    }
    for (const KeyPair& pair : namedKeys) {
        table[pair.scancode] = pair.virtualKey;
    }
    return table;
}

const ScancodeTable scancodeTable = BuildScancodeTable();

} // namespace

std::uint32_t VirtualKeyFromSdl(SDL_Keycode keycode, SDL_Scancode scancode, std::uint16_t modifiers) {
    if (keycode >= SDLK_a && keycode <= SDLK_z) {
        return static_cast<std::uint32_t>('A' + (keycode - SDLK_a));
    }
    if (scancode < 0 || scancode >= SDL_NUM_SCANCODES) {
        return 0;
    }
    if ((modifiers & KMOD_NUM) == 0) {
        for (const KeyPair& pair : keypadNavigation) {
            if (pair.scancode == scancode) {
                return pair.virtualKey;
            }
        }
    }
    return scancodeTable[scancode];
}

bool IsSystemKey(SDL_Scancode scancode, std::uint16_t modifiers) {
    if (scancode == SDL_SCANCODE_LALT || scancode == SDL_SCANCODE_RALT ||
        scancode == SDL_SCANCODE_F10) {
        return true;
    }
    return (modifiers & KMOD_ALT) != 0 && (modifiers & KMOD_CTRL) == 0;
}

} // namespace Orvane
