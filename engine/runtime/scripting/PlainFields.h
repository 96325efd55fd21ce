#pragma once
// A quick way through the commands that make up most of a frame (RECT, SPRITE,
// DEBUG_RECT, COLLIDER): when every field is a plain number ("12", "-3.25"), the
// line is read in one pass, each byte looked at once, instead of being split
// first and each piece parsed the general way. Whatever the quick way accepts
// reads exactly as SplitViews with ParseFloatPiece and ParseIntPiece would read
// it; anything else (spaces, "+", exponents, hex, trailing letters, long digit
// runs, a wrong field count) is left to the general way.
#include <cstdint>
#include <span>
#include <string_view>

namespace Orvane {

// fields: the line after its keyword and separator. Reads ints.size() integer
// fields, then floats.size() float fields, then intsAfter.size() integer fields,
// each ended by "|". With tail null the last field ends the line instead; with a
// tail, the rest of the line after the last "|" is stored there and must be
// non-empty and free of "|". Returns false, with nothing promised about the
// outputs, whenever the general way has to decide.
bool ReadPlainFields(std::string_view fields, std::span<std::int32_t> ints, std::span<float> floats,
                     std::span<std::int32_t> intsAfter, std::string_view* tail);

} // namespace Orvane
