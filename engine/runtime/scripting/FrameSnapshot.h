#pragma once
#include "core/SharedPath.h"
#include "scripting/AudioCommand.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace Orvane {

// World units are pixels; y grows downwards.
struct Color {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
};

// A filled rectangle, or a debug outline.
struct RectCommand {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    Color color;
};

struct SpriteCommand {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    Color color;                           // fallback fill when the texture is unusable
    SharedPath texturePath;                // already resolved against the project folder
};

struct ColliderCommand {
    std::int32_t id = 0;
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

// ---- protocol version 2: commands drawn in arrival order ----

// A colour with opacity; a = 255 is opaque.
struct ColorAlpha {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    std::uint8_t a = 255;
    bool operator==(const ColorAlpha&) const = default;
};

struct FillCommand {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    ColorAlpha color;
};

// Outline whose thickness is measured inwards from the rectangle's edges.
struct OutlineCommand {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    float thickness = 1;
    ColorAlpha color;
};

struct LineCommand {
    float x1 = 0;
    float y1 = 0;
    float x2 = 0;
    float y2 = 0;
    float thickness = 1;
    ColorAlpha color;
};

inline constexpr std::uint8_t flipHorizontal = 1;
inline constexpr std::uint8_t flipVertical = 2;

// A sprite with a source rectangle, a turn about an origin, flips, tint and opacity.
struct ImageCommand {
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
    float sourceX = 0;
    float sourceY = 0;
    float sourceWidth = 0;    // 0 or less: the whole image
    float sourceHeight = 0;
    float rotation = 0;       // degrees, clockwise on screen
    float originX = 0;        // pivot, from the sprite's top-left, in its own units
    float originY = 0;
    std::uint8_t flip = 0;    // flipHorizontal | flipVertical
    Color tint{255, 255, 255};
    std::uint8_t alpha = 255;
    Color fallback;
    SharedPath texturePath;              // already resolved against the project folder
};

struct TextCommand {
    float x = 0;
    float y = 0;
    float size = 16;                    // em size in pixels
    ColorAlpha color;
    std::filesystem::path fontPath;     // empty: the default font
    std::string text;                   // UTF-8, "\n" already turned into line breaks
};

enum class DrawKind : std::uint8_t { Rect, Sprite, Fill, Outline, Line, Image, Text };

// One entry of the painter's-order list: which list, which record, which space.
struct DrawItem {
    DrawKind kind = DrawKind::Rect;
    bool screenSpace = false;
    std::uint32_t index = 0;
};

// One frame of script output, as the renderer draws it.
struct FrameSnapshot {
    float cameraX = 0;
    float cameraY = 0;
    std::vector<RectCommand> rects;
    std::vector<SpriteCommand> sprites;
    std::vector<RectCommand> debugRects;

    // Version 2 only; a version-1 frame leaves all of these empty and zoom at 1.
    int protocolVersion = 1;
    float zoom = 1;
    std::vector<FillCommand> fills;
    std::vector<OutlineCommand> outlines;
    std::vector<LineCommand> lines;
    std::vector<ImageCommand> images;
    std::vector<TextCommand> texts;
    std::vector<DrawItem> drawOrder;   // every draw command of the frame, in arrival order
    std::vector<AudioCommand> audioCommands;   // sound lines since the last frame exchange began
};

} // namespace Orvane
