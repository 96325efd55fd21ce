// The portable half of drawing a frame: the camera, the fixed order of a
// version-1 frame, the painter's order and spaces of a version-2 frame, and the
// geometry of outlines, lines and turned sprites. The backends supply filled
// pixel boxes, coverage blending and textured quads.
#include "platform/Renderer.h"

#include "platform/text/TextRaster.h"
#include "platform/text/TextRenderer.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <utility>

namespace Orvane {

namespace {

ColorAlpha Opaque(Color color) { return {color.r, color.g, color.b, 255}; }

ColorAlpha WithAlpha(Color color, std::uint8_t alpha) { return {color.r, color.g, color.b, alpha}; }

// Camera and zoom for one version-2 frame; restored when the frame is drawn, so
// a caller that sets the camera itself (tests, the version-1 order) is unaffected.
class CameraScope {
public:
    CameraScope(float& x, float& y, float& zoom) : x(x), y(y), zoom(zoom), savedX(x), savedY(y), savedZoom(zoom) {}
    ~CameraScope() {
        x = savedX;
        y = savedY;
        zoom = savedZoom;
    }
    CameraScope(const CameraScope&) = delete;
    CameraScope& operator=(const CameraScope&) = delete;

private:
    float& x;
    float& y;
    float& zoom;
    float savedX;
    float savedY;
    float savedZoom;
};


} // namespace

void Renderer::SetCamera(float x, float y) {
    cameraX = x;
    cameraY = y;
}

void Renderer::SetZoom(float value) { zoom = value; }

void Renderer::DrawRects(const std::vector<RectCommand>& rects) {
    for (const RectCommand& rect : rects) {
        DrawRect(rect.x, rect.y, rect.width, rect.height, rect.color);
    }
}

void Renderer::DrawSprites(const std::vector<SpriteCommand>& sprites) {
    for (const SpriteCommand& sprite : sprites) {
        DrawSprite(sprite);
    }
}

void Renderer::DrawDebugRects(const std::vector<RectCommand>& rects) {
    for (const RectCommand& rect : rects) {
        DrawDebugRect(rect.x, rect.y, rect.width, rect.height, rect.color);
    }
}

void Renderer::DrawSnapshot(const FrameSnapshot& snapshot) {
    // One batch for the backend, finished however the drawing ends.
    struct Batch {
        Renderer& renderer;
        explicit Batch(Renderer& renderer) : renderer(renderer) { renderer.BeginBatch(); }
        ~Batch() { renderer.FinishBatch(); }
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
    } batch(*this);
    if (snapshot.protocolVersion < 2) {
        SetCamera(snapshot.cameraX, snapshot.cameraY);
        DrawRects(snapshot.rects);
        DrawSprites(snapshot.sprites);
        DrawDebugRects(snapshot.debugRects);
        return;
    }
    SetCamera(snapshot.cameraX, snapshot.cameraY);
    SetZoom(snapshot.zoom);
    for (const DrawItem& item : snapshot.drawOrder) {
        const bool screen = item.screenSpace;
        switch (item.kind) {
        case DrawKind::Rect: {
            const RectCommand& rect = snapshot.rects[item.index];
            const float scale = ScreenScale(screen);
            FillScreenRect(ScreenX(rect.x, screen), ScreenY(rect.y, screen), rect.width * scale,
                           rect.height * scale, Opaque(rect.color));
            break;
        }
        case DrawKind::Sprite:
            DrawSpriteV2(snapshot.sprites[item.index], screen);
            break;
        case DrawKind::Fill:
            DrawFill(snapshot.fills[item.index], screen);
            break;
        case DrawKind::Outline:
            DrawOutline(snapshot.outlines[item.index], screen);
            break;
        case DrawKind::Line:
            DrawLine(snapshot.lines[item.index], screen);
            break;
        case DrawKind::Image:
            DrawImage(snapshot.images[item.index], screen);
            break;
        case DrawKind::Text:
            DrawText(snapshot.texts[item.index], screen);
            break;
        }
    }
    // Outlines go over everything, in world space; the zoom scales them too.
    CameraScope keep(cameraX, cameraY, zoom);
    const float worldX = cameraX;
    const float worldY = cameraY;
    const float scale = zoom;
    SetCamera(0, 0);
    for (const RectCommand& rect : snapshot.debugRects) {
        DrawDebugRect((rect.x - worldX) * scale, (rect.y - worldY) * scale, rect.width * scale,
                      rect.height * scale, rect.color);
    }
}

float Renderer::ScreenX(float x, bool screenSpace) const { return screenSpace ? x : (x - cameraX) * zoom; }

float Renderer::ScreenY(float y, bool screenSpace) const { return screenSpace ? y : (y - cameraY) * zoom; }

float Renderer::ScreenScale(bool screenSpace) const { return screenSpace ? 1.0f : zoom; }

void Renderer::FillScreenRect(float sx, float sy, float width, float height, ColorAlpha color) {
    FillPixelBox(ToPixelEdge(sx), ToPixelEdge(sy), ToPixelEdge(sx + width), ToPixelEdge(sy + height), color);
}

void Renderer::DrawFill(const FillCommand& fill, bool screenSpace) {
    const float scale = ScreenScale(screenSpace);
    FillScreenRect(ScreenX(fill.x, screenSpace), ScreenY(fill.y, screenSpace), fill.width * scale,
                   fill.height * scale, fill.color);
}

// Bands inside the edge box: top and bottom span the width, the sides fill the
// rest, so no pixel is blended twice.
void Renderer::DrawOutline(const OutlineCommand& outline, bool screenSpace) {
    const float scale = ScreenScale(screenSpace);
    const float sx = ScreenX(outline.x, screenSpace);
    const float sy = ScreenY(outline.y, screenSpace);
    std::int64_t left = ToPixelEdge(sx);
    std::int64_t top = ToPixelEdge(sy);
    std::int64_t right = ToPixelEdge(sx + outline.width * scale);
    std::int64_t bottom = ToPixelEdge(sy + outline.height * scale);
    if (right < left) {
        std::swap(left, right);
    }
    if (bottom < top) {
        std::swap(top, bottom);
    }
    const std::int64_t band = std::max<std::int64_t>(1, std::llround(static_cast<double>(outline.thickness) * scale));
    if (2 * band >= right - left || 2 * band >= bottom - top) {
        FillPixelBox(left, top, right, bottom, outline.color);
        return;
    }
    FillPixelBox(left, top, right, top + band, outline.color);
    FillPixelBox(left, bottom - band, right, bottom, outline.color);
    FillPixelBox(left, top + band, left + band, bottom - band, outline.color);
    FillPixelBox(right - band, top + band, right, bottom - band, outline.color);
}

void Renderer::DrawLine(const LineCommand& line, bool screenSpace) {
    const double x1 = ScreenX(line.x1, screenSpace);
    const double y1 = ScreenY(line.y1, screenSpace);
    const double x2 = ScreenX(line.x2, screenSpace);
    const double y2 = ScreenY(line.y2, screenSpace);
    const double dx = x2 - x1;
    const double dy = y2 - y1;
    const double length = std::hypot(dx, dy);
    if (!(length > 0) || !std::isfinite(length)) {
        return;
    }
    // Half the thickness across the segment, at least half a pixel so that a thin
    // line still covers one pixel per row or column.
    const double half = std::max(0.5, static_cast<double>(line.thickness) * ScreenScale(screenSpace) / 2);
    const double nx = -dy / length * half;
    const double ny = dx / length * half;
    const double xs[4] = {x1 + nx, x2 + nx, x2 - nx, x1 - nx};
    const double ys[4] = {y1 + ny, y2 + ny, y2 - ny, y1 - ny};
    FillScreenPolygon(xs, ys, line.color);
}

// Rows are sampled at their centres; each row covers the pixels whose centres
// lie inside the polygon, left edge inclusive, right edge exclusive.
void Renderer::FillScreenPolygon(const double (&xs)[4], const double (&ys)[4], ColorAlpha color) {
    if (BackBufferWidth() <= 0 || BackBufferHeight() <= 0) {
        return;
    }
    double minY = ys[0];
    double maxY = ys[0];
    for (int i = 1; i < 4; ++i) {
        minY = std::min(minY, ys[i]);
        maxY = std::max(maxY, ys[i]);
    }
    if (!std::isfinite(minY) || !std::isfinite(maxY)) {
        return;
    }
    const double height = BackBufferHeight();
    const auto firstRow = static_cast<std::int64_t>(std::clamp(std::ceil(minY - 0.5), 0.0, height));
    const auto lastRow = static_cast<std::int64_t>(std::clamp(std::ceil(maxY - 0.5), 0.0, height));
    for (std::int64_t row = firstRow; row < lastRow; ++row) {
        const double centreY = static_cast<double>(row) + 0.5;
        double low = std::numeric_limits<double>::infinity();
        double high = -std::numeric_limits<double>::infinity();
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            const double ya = ys[i];
            const double yb = ys[j];
            if ((centreY < ya) == (centreY < yb)) {
                continue;   // the edge does not cross this row's centre line
            }
            const double x = xs[i] + (centreY - ya) * (xs[j] - xs[i]) / (yb - ya);
            low = std::min(low, x);
            high = std::max(high, x);
        }
        if (!(low < high)) {
            continue;
        }
        const double width = BackBufferWidth();
        const auto left = static_cast<std::int64_t>(std::clamp(std::ceil(low - 0.5), 0.0, width));
        const auto right = static_cast<std::int64_t>(std::clamp(std::ceil(high - 0.5), 0.0, width));
        FillPixelBox(left, row, right, row + 1, color);
    }
}

void Renderer::DrawSpriteV2(const SpriteCommand& sprite, bool screenSpace) {
    const float scale = ScreenScale(screenSpace);
    const float sx = ScreenX(sprite.x, screenSpace);
    const float sy = ScreenY(sprite.y, screenSpace);
    ImagePlacement placement;
    placement.originX = sx;
    placement.originY = sy;
    placement.axisUx = sprite.width * scale;
    placement.axisVy = sprite.height * scale;
    Texture* texture = GetTexture(sprite.texturePath);
    if (texture != nullptr && texture->IsLoaded()) {
        DrawTexturedQuad(*texture, placement, ImageLook{});
        return;
    }
    FillScreenRect(sx, sy, sprite.width * scale, sprite.height * scale, Opaque(sprite.color));
}

void Renderer::DrawImage(const ImageCommand& image, bool screenSpace) {
    const double scale = ScreenScale(screenSpace);
    const double sx = ScreenX(image.x, screenSpace);
    const double sy = ScreenY(image.y, screenSpace);
    const double width = image.width * scale;
    const double height = image.height * scale;
    // Corners of the unturned sprite, turned about the pivot.
    const double pivotX = sx + image.originX * scale;
    const double pivotY = sy + image.originY * scale;
    const double radians = static_cast<double>(image.rotation) * std::numbers::pi / 180.0;
    double cosine = std::cos(radians);
    double sine = std::sin(radians);
    // Right angles turn exactly, so a quarter-turned sprite keeps whole-pixel edges.
    if (std::fmod(static_cast<double>(image.rotation), 90.0) == 0.0) {
        cosine = std::round(cosine);
        sine = std::round(sine);
    }
    ImagePlacement placement;
    placement.originX = pivotX + (sx - pivotX) * cosine - (sy - pivotY) * sine;
    placement.originY = pivotY + (sx - pivotX) * sine + (sy - pivotY) * cosine;
    placement.axisUx = width * cosine;
    placement.axisUy = width * sine;
    placement.axisVx = -height * sine;
    placement.axisVy = height * cosine;

    ImageLook look;
    look.sourceX = image.sourceX;
    look.sourceY = image.sourceY;
    look.sourceWidth = image.sourceWidth;
    look.sourceHeight = image.sourceHeight;
    look.flip = image.flip;
    look.tint = image.tint;
    look.alpha = image.alpha;
    DrawPlacedImage(image.texturePath, placement, look, image.fallback);
}

void Renderer::DrawPlacedImage(const std::filesystem::path& texturePath, const ImagePlacement& placement,
                               const ImageLook& look, Color fallback) {
    Texture* texture = GetTexture(texturePath);
    if (look.alpha == 0) {
        return;
    }
    if (texture != nullptr && texture->IsLoaded()) {
        DrawTexturedQuad(*texture, placement, look);
        return;
    }
    const ColorAlpha color = WithAlpha(fallback, look.alpha);
    if (placement.Unturned()) {
        FillScreenRect(static_cast<float>(placement.originX), static_cast<float>(placement.originY),
                       static_cast<float>(placement.axisUx), static_cast<float>(placement.axisVy), color);
        return;
    }
    double xs[4];
    double ys[4];
    placement.Corners(xs, ys);
    FillScreenPolygon(xs, ys, color);
}

void Renderer::DrawText(const TextCommand& text, bool screenSpace) {
    if (text.color.a == 0 || BackBufferWidth() <= 0 || BackBufferHeight() <= 0) {
        return;
    }
    if (!textRenderer) {
        textRenderer = std::make_unique<TextRenderer>();
    }
    const float size = text.size * ScreenScale(screenSpace);
    CoverageImage image = textRenderer->Render(text.fontPath, size, text.text, ScreenX(text.x, screenSpace),
                                                     ScreenY(text.y, screenSpace), BackBufferWidth(),
                                                     BackBufferHeight());
    if (image.width > 0 && image.height > 0) {
        BlendCoverage(std::move(image), text.color);
    }
}

std::int32_t ToPixelEdge(float value) {
    // Compare as double: float cannot represent INT32_MAX exactly.
    constexpr double lowest = std::numeric_limits<std::int32_t>::min();
    constexpr double highest = std::numeric_limits<std::int32_t>::max();
    if (std::isnan(value)) {
        return 0;
    }
    const double truncated = std::trunc(static_cast<double>(value));
    if (truncated <= lowest) {
        return std::numeric_limits<std::int32_t>::min();
    }
    if (truncated >= highest) {
        return std::numeric_limits<std::int32_t>::max();
    }
    return static_cast<std::int32_t>(truncated);
}

} // namespace Orvane
