// The one translation unit that holds stb_vorbis's implementation (Debian's
// libstb-dev ships it as a header); everything else includes it header-only.
#include <stb_vorbis.h>
