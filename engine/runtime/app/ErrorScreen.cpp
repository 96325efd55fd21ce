#include "app/ErrorScreen.h"

#include <algorithm>

namespace Orvane {

namespace {

constexpr float margin = 24;
constexpr float padding = 16;
constexpr float titleSize = 22;
constexpr float textSize = 15;
constexpr float lineHeight = textSize * 1.25f;
constexpr std::size_t maxTraceShown = 8;
constexpr std::size_t maxCharactersPerLine = 160;

class PanelBuilder {
public:
    explicit PanelBuilder(FrameSnapshot& frame) : frame(frame) { frame.protocolVersion = 2; }

    void Fill(float x, float y, float width, float height, ColorAlpha color) {
        Add(DrawKind::Fill, frame.fills.size());
        frame.fills.push_back({x, y, width, height, color});
    }
    void Text(float x, float y, float size, ColorAlpha color, std::string text) {
        Add(DrawKind::Text, frame.texts.size());
        frame.texts.push_back({x, y, size, color, {}, std::move(text)});
    }

private:
    void Add(DrawKind kind, std::size_t index) {
        frame.drawOrder.push_back({kind, true, static_cast<std::uint32_t>(index)});
    }
    FrameSnapshot& frame;
};

// Long lines are cut (on a character boundary) rather than run off the panel.
std::string Shortened(std::string text) {
    if (text.size() <= maxCharactersPerLine) {
        return text;
    }
    std::size_t end = maxCharactersPerLine;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
    return text + "...";
}

} // namespace

FrameSnapshot ComposeErrorPanel(const ErrorReport& report, int windowWidth, int windowHeight) {
    FrameSnapshot frame;
    PanelBuilder panel(frame);
    const std::size_t traceShown = std::min(report.trace.size(), maxTraceShown);
    const float contentHeight = titleSize * 1.4f + (report.message.empty() ? 0 : lineHeight * 1.5f) +
                                static_cast<float>(traceShown) * lineHeight + lineHeight * 2;
    const float width = std::max(0.0f, static_cast<float>(windowWidth) - 2 * margin);
    const float height = std::min(static_cast<float>(windowHeight) - 2 * margin, contentHeight + 2 * padding);
    panel.Fill(margin, margin, width, height, {16, 12, 14, 225});
    panel.Fill(margin, margin, 6, height, {220, 60, 60, 255});   // the red edge says "error" at a glance

    const float left = margin + padding + 6;
    float y = margin + padding;
    panel.Text(left, y, titleSize, {255, 120, 110, 255}, Shortened(report.title));
    y += titleSize * 1.4f;
    if (!report.message.empty()) {
        panel.Text(left, y, textSize, {245, 245, 245, 255}, Shortened(report.message));
        y += lineHeight * 1.5f;
    }
    for (std::size_t i = 0; i < traceShown; ++i) {
        panel.Text(left + 12, y, textSize, {170, 170, 180, 255}, Shortened(report.trace[i]));
        y += lineHeight;
    }
    y += lineHeight * 0.5f;
    panel.Text(left, y, textSize, {250, 210, 90, 255}, errorScreenHint);
    return frame;
}

} // namespace Orvane
