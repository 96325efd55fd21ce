#pragma once
// stb_truetype's declarations (Debian's libstb-dev); StbTrueType.cpp holds its code.
#include <stb_truetype.h>
