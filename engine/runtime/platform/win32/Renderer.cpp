#include "platform/Renderer.h"

#include "platform/Screenshot.h"
#include "platform/Window.h"
#include "platform/win32/GdiplusInclude.h"

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
