#include "platform/Texture.h"

#include "platform/win32/GdiplusInclude.h"

#include <new>

namespace Orvane {

bool Texture::Decode() {
    ReleaseBitmap();
    // GDI+ objects allocate through GdipAlloc, which returns null instead of
    // throwing; a plain new-expression would construct into that null. Allocate
    // explicitly and construct in place; delete pairs it with GdipFree.
    void* memory = Gdiplus::DllExports::GdipAlloc(sizeof(Gdiplus::Bitmap));
    if (memory == nullptr) {
        return false;
    }
    // No embedded colour management: pixels come out as stored in the file.
    auto* decoded = ::new (memory) Gdiplus::Bitmap(path.c_str(), FALSE);
    if (decoded->GetLastStatus() != Gdiplus::Ok) {
        delete decoded;
        return false;
    }
    bitmap = decoded;
    return true;
}

void Texture::ReleaseBitmap() {
    delete bitmap;
    bitmap = nullptr;
}

} // namespace Orvane
