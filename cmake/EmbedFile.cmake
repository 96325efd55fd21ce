# Writes a C++ file that holds INPUT's bytes and a function NAME returning them:
#   cmake -DINPUT=<file> -DOUTPUT=<file.cpp> -DNAME=<function> -P EmbedFile.cmake
# Used for data that must travel inside the executable (the default font).
file(READ "${INPUT}" hex HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," bytes "${hex}")
string(REGEX REPLACE "(0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,0x..,)" "\\1\n" bytes "${bytes}")
file(WRITE "${OUTPUT}" "// Generated from ${INPUT}; do not edit.
#include <cstddef>
#include <span>

namespace Orvane {
namespace {
const unsigned char embedded[] = {
${bytes}};
} // namespace

std::span<const unsigned char> ${NAME}() { return {embedded, sizeof embedded}; }
} // namespace Orvane
")
