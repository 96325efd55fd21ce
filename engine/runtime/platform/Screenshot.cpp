#include "platform/Screenshot.h"

#include "core/Log.h"
#include "core/Paths.h"

#include <fstream>

// stb writes through a callback here: its own fopen takes narrow names, which
// lose characters outside the ANSI code page on Windows.
#define STB_IMAGE_WRITE_IMPLEMENTATION
#define STBI_WRITE_NO_STDIO
#include <stb_image_write.h>

namespace Orvane {

namespace {

void AppendToStream(void* context, void* data, int size) {
    static_cast<std::ofstream*>(context)->write(static_cast<const char*>(data), size);
}

} // namespace

bool WritePng(const RgbImage& image, const std::filesystem::path& path) {
    const std::size_t expected = static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height) * 3;
    if (image.width <= 0 || image.height <= 0 || image.pixels.size() != expected) {
        LogError("Screenshot has no pixels: " + PathToUtf8(path));
        return false;
    }
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    if (!file) {
        LogError("Screenshot file cannot be written: " + PathToUtf8(path));
        return false;
    }
    const int encoded = stbi_write_png_to_func(&AppendToStream, &file, image.width, image.height, 3,
                                               image.pixels.data(), image.width * 3);
    file.close();
    if (encoded == 0 || !file) {
        LogError("Screenshot file could not be written completely: " + PathToUtf8(path));
        return false;
    }
    return true;
}

} // namespace Orvane
