#pragma once
#include <cstdint>
#include <filesystem>
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
    std::filesystem::path texturePath;     // already resolved against the project folder
};

struct ColliderCommand {
    std::int32_t id = 0;
    float x = 0;
    float y = 0;
    float width = 0;
    float height = 0;
};

// One frame of script output, as the renderer draws it.
struct FrameSnapshot {
    float cameraX = 0;
    float cameraY = 0;
    std::vector<RectCommand> rects;
    std::vector<SpriteCommand> sprites;
    std::vector<RectCommand> debugRects;
};

} // namespace Orvane
