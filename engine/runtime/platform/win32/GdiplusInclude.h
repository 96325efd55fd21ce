#pragma once
// GDI+ headers for a build with NOMINMAX and WIN32_LEAN_AND_MEAN: the Windows SDK's
// GDI+ headers call unqualified min and max and need the COM stream interfaces.
#include <windows.h>

#include <algorithm>
#include <objidl.h>

namespace Gdiplus {
using std::max;
using std::min;
} // namespace Gdiplus

#include <gdiplus.h>
