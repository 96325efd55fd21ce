#pragma once
#include <cstdint>
#include <filesystem>
#include <vector>

namespace Orvane {

// A copy of the back buffer: rows top to bottom, 3 bytes (r, g, b) per pixel.
struct RgbImage {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::vector<std::uint8_t> pixels;
};

// Writes the image as a PNG file, replacing one that exists. False after one
// logged error line.
bool WritePng(const RgbImage& image, const std::filesystem::path& path);

} // namespace Orvane
