// The one translation unit that compiles stb_truetype itself.
#define STB_TRUETYPE_IMPLEMENTATION
#include "platform/text/StbTrueType.h"
