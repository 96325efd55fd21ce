#include "platform/Renderer.h"

#include "platform/Screenshot.h"
#include "platform/Window.h"
#include "platform/text/TextRaster.h"
#include "platform/win32/GdiplusInclude.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace Orvane {

namespace {

// GDI+ is started once for the whole process, however many renderers exist.
std::int32_t gdiplusUsers = 0;
ULONG_PTR gdiplusToken = 0;

COLORREF ToColorRef(Color color) {
    return static_cast<COLORREF>(color.r) | (static_cast<COLORREF>(color.g) << 8) |
           (static_cast<COLORREF>(color.b) << 16);
}

// Edges are truncated sums (left + width in float, then truncated), not
// truncated left plus truncated width.
RECT ScreenRect(float sx, float sy, float width, float height) {
    RECT rect;
    rect.left = ToPixelEdge(sx);
    rect.top = ToPixelEdge(sy);
    rect.right = ToPixelEdge(sx + width);
    rect.bottom = ToPixelEdge(sy + height);
    return rect;
}

// FillRect with a brush made for this one fill.
void FillSolid(HDC dc, const RECT& rect, Color color) {
    const HBRUSH brush = CreateSolidBrush(ToColorRef(color));
    FillRect(dc, &rect, brush);
    DeleteObject(brush);
}

// A 32-bit top-down DIB section on a memory DC of its own, for AlphaBlend sources.
class BlendSource {
public:
    BlendSource(HDC compatible, int width, int height) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;   // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc = CreateCompatibleDC(compatible);
        void* bits = nullptr;
        bitmap = CreateDIBSection(compatible, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        if (dc != nullptr && bitmap != nullptr && bits != nullptr) {
            previous = SelectObject(dc, bitmap);
            pixels = static_cast<std::uint32_t*>(bits);
        }
    }
    ~BlendSource() {
        if (previous != nullptr) {
            SelectObject(dc, previous);
        }
        if (bitmap != nullptr) {
            DeleteObject(bitmap);
        }
        if (dc != nullptr) {
            DeleteDC(dc);
        }
    }
    BlendSource(const BlendSource&) = delete;
    BlendSource& operator=(const BlendSource&) = delete;

    HDC Dc() const { return dc; }
    std::uint32_t* Pixels() const { return pixels; }   // 0xAARRGGBB, null on failure

private:
    HDC dc = nullptr;
    HBITMAP bitmap = nullptr;
    HGDIOBJ previous = nullptr;
    std::uint32_t* pixels = nullptr;
};

} // namespace

void Renderer::BeginFrame(Color clearColor) {
    if (window == nullptr) {
        return;
    }
    const HWND handle = window->GetHandle();
    RECT client{0, 0, 0, 0};
    GetClientRect(handle, &client);
    const std::int32_t width = client.right - client.left;
    const std::int32_t height = client.bottom - client.top;

    if (memoryDC == nullptr || width != backBufferWidth || height != backBufferHeight) {
        ReleaseBackBuffer();
        windowDC = GetDC(handle);
        memoryDC = CreateCompatibleDC(windowDC);
        backBuffer = CreateCompatibleBitmap(windowDC, width, height);
        previousBitmap = SelectObject(memoryDC, backBuffer);
        backBufferWidth = width;
        backBufferHeight = height;
    }

    FillSolid(memoryDC, client, clearColor);
}

void Renderer::DrawRect(float x, float y, float width, float height, Color color) {
    if (memoryDC == nullptr) {
        return;
    }
    FillSolid(memoryDC, ScreenRect(x - cameraX, y - cameraY, width, height), color);
}

void Renderer::DrawDebugRect(float x, float y, float width, float height, Color color) {
    if (memoryDC == nullptr) {
        return;
    }
    const RECT rect = ScreenRect(x - cameraX, y - cameraY, width, height);
    const HPEN pen = CreatePen(PS_SOLID, 2, ToColorRef(color));
    const HGDIOBJ hollowBrush = GetStockObject(NULL_BRUSH);
    const HGDIOBJ keptPen = SelectObject(memoryDC, pen);
    const HGDIOBJ keptBrush = SelectObject(memoryDC, hollowBrush);
    Rectangle(memoryDC, rect.left, rect.top, rect.right, rect.bottom);
    SelectObject(memoryDC, keptBrush);
    SelectObject(memoryDC, keptPen);
    DeleteObject(pen);
}

void Renderer::DrawSprite(const SpriteCommand& sprite) {
    Texture* texture = GetTexture(sprite.texturePath);
    if (texture == nullptr || !texture->IsLoaded()) {
        DrawRect(sprite.x, sprite.y, sprite.width, sprite.height, sprite.color);
        return;
    }
    if (memoryDC == nullptr) {
        return;
    }
    // A fresh surface per sprite; its destructor deletes it on every way out.
    Gdiplus::Graphics graphics(memoryDC);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    const Gdiplus::RectF target(sprite.x - cameraX, sprite.y - cameraY, sprite.width, sprite.height);
    graphics.DrawImage(texture->GetBitmap(), target);
}

// Opaque boxes are GDI fills like RECT's; translucent ones stretch one
// pixel of the colour over the box through AlphaBlend's constant opacity.
void Renderer::FillPixelBox(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                            ColorAlpha color) {
    if (memoryDC == nullptr || color.a == 0) {
        return;
    }
    left = std::max<std::int64_t>(left, 0);
    top = std::max<std::int64_t>(top, 0);
    right = std::min<std::int64_t>(right, backBufferWidth);
    bottom = std::min<std::int64_t>(bottom, backBufferHeight);
    if (right <= left || bottom <= top) {
        return;
    }
    const RECT rect{static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(right),
                    static_cast<LONG>(bottom)};
    if (color.a == 255) {
        FillSolid(memoryDC, rect, Color{color.r, color.g, color.b});
        return;
    }
    BlendSource source(memoryDC, 1, 1);
    if (source.Pixels() == nullptr) {
        return;
    }
    source.Pixels()[0] = (std::uint32_t{color.r} << 16) | (std::uint32_t{color.g} << 8) | color.b;
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, color.a, 0};
    AlphaBlend(memoryDC, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, source.Dc(), 0, 0,
               1, 1, blend);
}

// The coverage becomes per-pixel alpha of a premultiplied DIB, blended in one call.
void Renderer::BlendCoverage(CoverageImage image, ColorAlpha color) {
    if (memoryDC == nullptr || image.width <= 0 || image.height <= 0) {
        return;
    }
    BlendSource source(memoryDC, image.width, image.height);
    if (source.Pixels() == nullptr) {
        return;
    }
    const std::size_t count = static_cast<std::size_t>(image.width) * image.height;
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t alpha = (std::uint32_t{image.coverage[i]} * color.a + 127) / 255;
        const std::uint32_t r = (color.r * alpha + 127) / 255;
        const std::uint32_t g = (color.g * alpha + 127) / 255;
        const std::uint32_t b = (color.b * alpha + 127) / 255;
        source.Pixels()[i] = (alpha << 24) | (r << 16) | (g << 8) | b;
    }
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(memoryDC, image.left, image.top, image.width, image.height, source.Dc(), 0, 0, image.width,
               image.height, blend);
}

// GDI+ maps the source rectangle onto the parallelogram of three corners; flips
// swap the corners, tint and opacity go through a colour matrix.
void Renderer::DrawTexturedQuad(Texture& texture, const ImagePlacement& placement, const ImageLook& look) {
    Gdiplus::Bitmap* bitmap = texture.GetBitmap();
    if (memoryDC == nullptr || bitmap == nullptr || look.alpha == 0) {
        return;
    }
    Gdiplus::Graphics graphics(memoryDC);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeNearestNeighbor);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    if (placement.Unturned() && look.Plain()) {
        // Exactly what a plain sprite draws.
        const Gdiplus::RectF target(static_cast<Gdiplus::REAL>(placement.originX),
                                    static_cast<Gdiplus::REAL>(placement.originY),
                                    static_cast<Gdiplus::REAL>(placement.axisUx),
                                    static_cast<Gdiplus::REAL>(placement.axisVy));
        graphics.DrawImage(bitmap, target);
        return;
    }
    const double imageWidth = bitmap->GetWidth();
    const double imageHeight = bitmap->GetHeight();
    double sourceX = 0;
    double sourceY = 0;
    double sourceWidth = 0;
    double sourceHeight = 0;
    if (!look.SourceIn(imageWidth, imageHeight, sourceX, sourceY, sourceWidth, sourceHeight)) {
        return;
    }
    const auto corner = [&](double s, double t) {
        return Gdiplus::PointF(static_cast<Gdiplus::REAL>(placement.originX + s * placement.axisUx + t * placement.axisVx),
                               static_cast<Gdiplus::REAL>(placement.originY + s * placement.axisUy + t * placement.axisVy));
    };
    const double left = (look.flip & flipHorizontal) != 0 ? 1 : 0;
    const double top = (look.flip & flipVertical) != 0 ? 1 : 0;
    const Gdiplus::PointF corners[3] = {corner(left, top), corner(1 - left, top), corner(left, 1 - top)};

    Gdiplus::ImageAttributes attributes;
    // Edge texels are repeated, not blended with what lies outside the source rectangle.
    attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    if (look.alpha != 255 || look.tint.r != 255 || look.tint.g != 255 || look.tint.b != 255) {
        Gdiplus::ColorMatrix matrix{};
        matrix.m[0][0] = look.tint.r / 255.0f;
        matrix.m[1][1] = look.tint.g / 255.0f;
        matrix.m[2][2] = look.tint.b / 255.0f;
        matrix.m[3][3] = look.alpha / 255.0f;
        matrix.m[4][4] = 1.0f;
        attributes.SetColorMatrix(&matrix);
    }
    graphics.DrawImage(bitmap, corners, 3, static_cast<Gdiplus::REAL>(sourceX), static_cast<Gdiplus::REAL>(sourceY),
                       static_cast<Gdiplus::REAL>(sourceWidth), static_cast<Gdiplus::REAL>(sourceHeight),
                       Gdiplus::UnitPixel, &attributes);
}

// GDI draws each call at once.
void Renderer::BeginBatch() {}

void Renderer::FinishBatch() {}

void Renderer::Present() {
    if (windowDC != nullptr && memoryDC != nullptr) {
        BitBlt(windowDC, 0, 0, backBufferWidth, backBufferHeight, memoryDC, 0, 0, SRCCOPY);
    }
}

void Renderer::ReleaseBackBuffer() {
    if (memoryDC != nullptr && previousBitmap != nullptr) {
        SelectObject(memoryDC, previousBitmap);
    }
    if (backBuffer != nullptr) {
        DeleteObject(backBuffer);
    }
    if (memoryDC != nullptr) {
        DeleteDC(memoryDC);
    }
    if (windowDC != nullptr && window != nullptr) {
        ReleaseDC(window->GetHandle(), windowDC);
    }
    windowDC = nullptr;
    memoryDC = nullptr;
    backBuffer = nullptr;
    previousBitmap = nullptr;
    backBufferWidth = 0;
    backBufferHeight = 0;
}

bool Renderer::ReadPixel(std::int32_t x, std::int32_t y, Color& color) const {
    if (memoryDC == nullptr || x < 0 || y < 0 || x >= backBufferWidth || y >= backBufferHeight) {
        return false;
    }
    const COLORREF value = GetPixel(memoryDC, x, y);
    if (value == CLR_INVALID) {
        return false;
    }
    color.r = GetRValue(value);
    color.g = GetGValue(value);
    color.b = GetBValue(value);
    return true;
}

bool Renderer::ReadBackBuffer(RgbImage& image) const {
    if (memoryDC == nullptr || backBuffer == nullptr || backBufferWidth <= 0 || backBufferHeight <= 0) {
        return false;
    }
    // A negative height asks for rows top to bottom; 32 bits keep rows aligned.
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = backBufferWidth;
    info.bmiHeader.biHeight = -backBufferHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    const std::size_t count = static_cast<std::size_t>(backBufferWidth) * static_cast<std::size_t>(backBufferHeight);
    std::vector<std::uint32_t> bgrx(count);
    // GetDIBits wants the bitmap out of any DC: it is swapped out for the call.
    const HGDIOBJ selected = SelectObject(memoryDC, previousBitmap);
    const int rows = GetDIBits(memoryDC, backBuffer, 0, static_cast<UINT>(backBufferHeight), bgrx.data(), &info,
                               DIB_RGB_COLORS);
    SelectObject(memoryDC, selected);
    if (rows != backBufferHeight) {
        return false;
    }
    image.width = backBufferWidth;
    image.height = backBufferHeight;
    image.pixels.resize(count * 3);
    std::uint8_t* out = image.pixels.data();
    for (const std::uint32_t pixel : bgrx) {
        *out++ = static_cast<std::uint8_t>(pixel >> 16);
        *out++ = static_cast<std::uint8_t>(pixel >> 8);
        *out++ = static_cast<std::uint8_t>(pixel);
    }
    return true;
}

void Renderer::AcquireGdiplus() {
    const std::int32_t previousUsers = gdiplusUsers;
    ++gdiplusUsers;
    if (previousUsers <= 0) {
        Gdiplus::GdiplusStartupInput startupInput;
        Gdiplus::GdiplusStartup(&gdiplusToken, &startupInput, nullptr);
    }
}

void Renderer::ReleaseGdiplus() {
    if (gdiplusUsers <= 0) {
        return;
    }
    --gdiplusUsers;
    if (gdiplusUsers == 0 && gdiplusToken != 0) {
        Gdiplus::GdiplusShutdown(gdiplusToken);
        gdiplusToken = 0;
    }
}

std::int32_t Renderer::GdiplusUsers() { return gdiplusUsers; }

void Renderer::AcquireBackend() { AcquireGdiplus(); }

void Renderer::ReleaseBackend() { ReleaseGdiplus(); }

} // namespace Orvane
