#pragma once
#include <SDL.h>

#include <cstdint>

namespace Orvane {

// Maps an SDL key to the Windows virtual-key code that a Win32 window would see
// for the same physical key, so games read the same codes on every platform.
//
// Letters follow the keyboard layout, as Windows letter codes do (the key that
// types "a" on an AZERTY keyboard reports 65): the keycode decides when it is a
// Latin letter. Every other key, and letters of non-Latin layouts, are mapped by
// scancode, i.e. by position on a US keyboard; Windows also reports the digit row
// as 48-57 whatever the layout. Both shift keys give 16, both control keys 17 and
// both alt keys 18, as WM_KEYDOWN reports them (never 160-165).
// With NumLock off the keypad's digits and point report the navigation codes
// (Home, Up, ..., Insert, Delete; 12 for the middle key), as on Windows.
// Returns 0 for keys that have no code.
std::uint32_t VirtualKeyFromSdl(SDL_Keycode keycode, SDL_Scancode scancode,
                                std::uint16_t modifiers = KMOD_NUM);

// Keys that reach a Win32 window as system keys (WM_SYSKEYDOWN) and therefore
// never mark a key as held: the alt keys, F10, and anything pressed while alt is
// held without control (control+alt, also AltGr, gives plain key messages).
bool IsSystemKey(SDL_Scancode scancode, std::uint16_t modifiers);

} // namespace Orvane
