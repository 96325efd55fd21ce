#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace Orvane {

// What the window saw between two frames, for a version-2 script host: key and
// button edges in order, typed text, focus changes, and the pointer, wheel and
// client size merged to one value per frame. Written by the window, taken by the
// frame exchange; process-wide like the key table.

enum class MouseButton : std::uint8_t { Left = 1, Right = 2, Middle = 3, Extra1 = 4, Extra2 = 5 };

// A key edge; repeat marks the auto-repeat of a key already held. Codes above
// 255 are dropped.
void RecordKey(std::uint32_t code, bool down, bool repeat);
void RecordButton(MouseButton button, bool down, float x, float y);
void RecordPointer(float x, float y, bool inside);
void RecordPointerLeft();
void RecordWheel(float dx, float dy);
// UTF-8 text typed.
void RecordText(std::string_view text);
// Focus gained or lost; losing it releases every held key (with its release edge).
void RecordFocus(bool focused);
void RecordClientSize(std::int32_t width, std::int32_t height);

// The event lines of the frame about to be sent, each ending in "\n", in the order
// the events happened (merged values last); empties the queue.
std::string TakeInputEventLines();
// The SIZE| line for the current client size (empty when it was never told); the
// size then counts as sent.
std::string TakeClientSizeLine();
// Events are kept only for a host that wants them (version 2); until then every
// Record call but the client size's does nothing, and turning it off forgets
// what was queued.
void SetInputEventsWanted(bool wanted);
void DiscardInputEvents();

inline constexpr std::size_t maxInputEventLinesPerFrame = 10000;
inline constexpr std::size_t maxTypedBytesPerFrame = 4096;

} // namespace Orvane
