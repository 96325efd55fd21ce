// Cost of each kind of draw command on this platform's backend: frames of many
// commands of one kind drawn into a real back buffer, timed, and divided by the
// commands (or glyphs) drawn. Runs on both backends (the Windows build under Wine):
//   orvane_draw_bench [image.png]     (default: the sample's player sprite)
#include "platform/Renderer.h"
#include "platform/Window.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace Orvane;
using Clock = std::chrono::steady_clock;

constexpr int width = 1280;
constexpr int height = 720;

// Median of several timed frames, in nanoseconds per unit.
double Measure(Renderer& renderer, const FrameSnapshot& frame, double units) {
    std::vector<double> samples;
    for (int repeat = 0; repeat < 15; ++repeat) {
        renderer.BeginFrame({18, 20, 26});
        const auto start = Clock::now();
        renderer.DrawSnapshot(frame);
        samples.push_back(std::chrono::duration<double, std::nano>(Clock::now() - start).count() / units);
    }
    std::sort(samples.begin(), samples.end());
    return samples[samples.size() / 2];
}

FrameSnapshot VersionTwo() {
    FrameSnapshot frame;
    frame.protocolVersion = 2;
    return frame;
}

void Add(FrameSnapshot& frame, DrawKind kind, std::size_t index) {
    frame.drawOrder.push_back({kind, false, static_cast<std::uint32_t>(index)});
}

} // namespace

int main(int argc, char** argv) {
    const std::filesystem::path image = std::filesystem::absolute(
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::path("samples/BasicGame/assets/player.png"));
    Window window;
    if (!window.Create(width, height, "Orvane draw cost")) {
        return 1;
    }
    window.PumpMessages();
    Renderer renderer;
    renderer.Initialize(window);
    renderer.BeginFrame({18, 20, 26});

    constexpr int count = 2000;
    const auto place = [](int i, float& x, float& y) {
        x = static_cast<float>((i * 37) % (width - 40));
        y = static_cast<float>((i * 91) % (height - 40));
    };

    FrameSnapshot rects = VersionTwo();
    FrameSnapshot sprites = VersionTwo();
    FrameSnapshot turned = VersionTwo();
    FrameSnapshot fills = VersionTwo();
    FrameSnapshot lines = VersionTwo();
    for (int i = 0; i < count; ++i) {
        float x = 0;
        float y = 0;
        place(i, x, y);
        Add(rects, DrawKind::Rect, rects.rects.size());
        rects.rects.push_back({x, y, 32, 32, {200, 100, 50}});
        Add(sprites, DrawKind::Sprite, sprites.sprites.size());
        sprites.sprites.push_back({x, y, 32, 32, {200, 100, 50}, image});
        ImageCommand turn;
        turn.x = x;
        turn.y = y;
        turn.width = 32;
        turn.height = 32;
        turn.originX = 16;
        turn.originY = 16;
        turn.rotation = static_cast<float>(i % 360);
        turn.texturePath = image;
        Add(turned, DrawKind::Image, turned.images.size());
        turned.images.push_back(turn);
        Add(fills, DrawKind::Fill, fills.fills.size());
        fills.fills.push_back({x, y, 32, 32, {200, 100, 50, 128}});
        Add(lines, DrawKind::Line, lines.lines.size());
        lines.lines.push_back({x, y, x + 30, y + 20, 2, {255, 255, 255, 255}});
    }
    // Text: lines of 50 glyphs at 16 pixels, a HUD's worth.
    FrameSnapshot texts = VersionTwo();
    const std::string line = "Score 12345 - Level 3 - The quick brown fox jumps.";
    constexpr int textCount = 100;
    for (int i = 0; i < textCount; ++i) {
        Add(texts, DrawKind::Text, texts.texts.size());
        texts.texts.push_back({10, static_cast<float>(i * 7 % height), 16, {255, 255, 255, 255}, {}, line});
    }
    // Version 1 for comparison: the fixed order, no draw list.
    FrameSnapshot versionOne;
    versionOne.rects = rects.rects;

    renderer.DrawSnapshot(sprites);   // decode the image before timing
    renderer.DrawSnapshot(texts);     // and rasterise the glyphs

    std::printf("ns per command, %d commands of 32x32 per frame, %dx%d back buffer, median of 15 frames\n", count,
                width, height);
    std::printf("  rect (version 1)      %8.0f\n", Measure(renderer, versionOne, count));
    std::printf("  rect (version 2)      %8.0f\n", Measure(renderer, rects, count));
    std::printf("  fill, opacity 128     %8.0f\n", Measure(renderer, fills, count));
    std::printf("  line, 2 px            %8.0f\n", Measure(renderer, lines, count));
    std::printf("  plain sprite          %8.0f\n", Measure(renderer, sprites, count));
    std::printf("  turned sprite         %8.0f\n", Measure(renderer, turned, count));
    std::printf("  text, per glyph       %8.0f\n",
                Measure(renderer, texts, static_cast<double>(textCount) * static_cast<double>(line.size())));
    return 0;
}
