// The commands only a version-2 host may send: filled rectangles with opacity,
// outlines, lines, transformed sprites, text, the zoom and the screen-space switch.
// Version-1 parsing lives in ScriptHostProtocol.cpp and is untouched by these.
#include "scripting/ScriptHostBridgeImpl.h"

#include "core/Log.h"
#include "scripting/AudioCommands.h"
#include "scripting/LineProtocol.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace Orvane {

namespace {

constexpr std::size_t fillPieces = 9;
constexpr std::size_t outlinePieces = 10;
constexpr std::size_t linePieces = 10;
constexpr std::size_t imagePieces = 21;
constexpr std::size_t textFieldsBeforeText = 9;   // TEXT, x, y, size, r, g, b, a, font

constexpr float maxThickness = 1024;
constexpr float minTextSize = 1;
constexpr float maxTextSize = 512;
constexpr float minZoom = 0.01f;
constexpr float maxZoom = 100;

using Pieces = std::array<std::string_view, imagePieces + 1>;

bool SplitExactly(std::string_view line, std::size_t count, Pieces& pieces) {
    return SplitViews(line, '|', pieces) == count;
}

// Version-2 numbers must be finite: NaN and infinity have no place in a picture.
bool ParseFinite(std::string_view piece, float& value) {
    return ParseFloatPiece(piece, value) && std::isfinite(value);
}

bool ParseFloats(const Pieces& pieces, std::size_t first, std::initializer_list<float*> values) {
    std::size_t at = first;
    for (float* value : values) {
        if (!ParseFinite(pieces[at++], *value)) {
            return false;
        }
    }
    return true;
}

// A channel of a version-2 field: any 32-bit integer, clamped to 0..255.
bool ParseChannel(std::string_view piece, std::uint8_t& channel) {
    std::int32_t value = 0;
    if (!ParseIntPiece(piece, value)) {
        return false;
    }
    channel = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    return true;
}

bool ParseColorAlpha(const Pieces& pieces, std::size_t first, ColorAlpha& color) {
    return ParseChannel(pieces[first], color.r) && ParseChannel(pieces[first + 1], color.g) &&
           ParseChannel(pieces[first + 2], color.b) && ParseChannel(pieces[first + 3], color.a);
}

bool ParseColor(const Pieces& pieces, std::size_t first, Color& color) {
    return ParseChannel(pieces[first], color.r) && ParseChannel(pieces[first + 1], color.g) &&
           ParseChannel(pieces[first + 2], color.b);
}

bool ParseThickness(std::string_view piece, float& thickness) {
    if (!ParseFinite(piece, thickness) || thickness <= 0) {
        return false;
    }
    thickness = std::min(thickness, maxThickness);
    return true;
}

// "\n" is a line break and "\\" a backslash; any other backslash stays as it is.
std::string UnescapeText(std::string_view text) {
    std::string result;
    result.reserve(text.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\\' && at + 1 < text.size() && (text[at + 1] == 'n' || text[at + 1] == '\\')) {
            result.push_back(text[at + 1] == 'n' ? '\n' : '\\');
            ++at;
        } else {
            result.push_back(text[at]);
        }
    }
    return result;
}

// Cuts text to at most limit bytes without splitting a UTF-8 sequence.
void CutAtCharacter(std::string& text, std::size_t limit) {
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    text.resize(end);
}

} // namespace

bool ScriptHostBridge::Impl::AddDrawItem(DrawKind kind, std::size_t index) {
    if (snapshot.drawOrder.size() >= maxDrawCommandsPerFrame) {
        if (!warnedDrawLimit) {
            warnedDrawLimit = true;
            LogWarn("A frame sent more than " + std::to_string(maxDrawCommandsPerFrame) +
                    " draw commands; the rest of each such frame's draw commands are dropped.");
        }
        return false;
    }
    snapshot.drawOrder.push_back({kind, screenSpace, static_cast<std::uint32_t>(index)});
    return true;
}

bool ScriptHostBridge::Impl::HandleVersion2Line(const std::string& line) {
    const auto resolve = [this](std::string_view piece) { return ResolveTexturePiece(piece); };
    if (ParseAudioLine(line, resolve, snapshot.audioCommands)) {
        return true;
    }
    Pieces pieces;
    if (StartsWith(line, "FILL|")) {
        FillCommand command;
        if (SplitExactly(line, fillPieces, pieces) &&
            ParseFloats(pieces, 1, {&command.x, &command.y, &command.width, &command.height}) &&
            ParseColorAlpha(pieces, 5, command.color) &&
            AddDrawItem(DrawKind::Fill, snapshot.fills.size())) {
            snapshot.fills.push_back(command);
        }
        return true;
    }
    if (StartsWith(line, "OUTLINE|")) {
        OutlineCommand command;
        if (SplitExactly(line, outlinePieces, pieces) &&
            ParseFloats(pieces, 1, {&command.x, &command.y, &command.width, &command.height}) &&
            ParseThickness(pieces[5], command.thickness) && ParseColorAlpha(pieces, 6, command.color) &&
            AddDrawItem(DrawKind::Outline, snapshot.outlines.size())) {
            snapshot.outlines.push_back(command);
        }
        return true;
    }
    if (StartsWith(line, "LINE|")) {
        LineCommand command;
        if (SplitExactly(line, linePieces, pieces) &&
            ParseFloats(pieces, 1, {&command.x1, &command.y1, &command.x2, &command.y2}) &&
            ParseThickness(pieces[5], command.thickness) && ParseColorAlpha(pieces, 6, command.color) &&
            AddDrawItem(DrawKind::Line, snapshot.lines.size())) {
            snapshot.lines.push_back(command);
        }
        return true;
    }
    if (StartsWith(line, "IMAGE|")) {
        ImageCommand command;
        std::int32_t flip = 0;
        if (!SplitExactly(line, imagePieces, pieces) || pieces[20].empty() ||
            !ParseFloats(pieces, 1,
                         {&command.x, &command.y, &command.width, &command.height, &command.sourceX,
                          &command.sourceY, &command.sourceWidth, &command.sourceHeight, &command.rotation,
                          &command.originX, &command.originY}) ||
            !ParseIntPiece(pieces[12], flip) || flip < 0 || flip > 3 || !ParseColor(pieces, 13, command.tint) ||
            !ParseChannel(pieces[16], command.alpha) || !ParseColor(pieces, 17, command.fallback)) {
            return true;
        }
        command.flip = static_cast<std::uint8_t>(flip);
        command.texturePath = ResolveTexturePiece(pieces[20]);
        if (AddDrawItem(DrawKind::Image, snapshot.images.size())) {
            snapshot.images.push_back(std::move(command));
        }
        return true;
    }
    if (StartsWith(line, "TEXT|")) {
        // The text is everything after the ninth separator and may hold "|" itself.
        std::size_t textStart = 0;
        for (std::size_t separators = 0; separators < textFieldsBeforeText; ++separators) {
            textStart = line.find('|', textStart);
            if (textStart == std::string::npos) {
                return true;
            }
            ++textStart;
        }
        TextCommand command;
        // Up to and with the ninth separator, so that an empty font still counts as a piece.
        const std::string_view fields = std::string_view(line).substr(0, textStart);
        if (!SplitExactly(fields, textFieldsBeforeText, pieces) ||
            !ParseFloats(pieces, 1, {&command.x, &command.y, &command.size}) ||
            !ParseColorAlpha(pieces, 4, command.color)) {
            return true;
        }
        command.size = std::clamp(command.size, minTextSize, maxTextSize);
        if (!pieces[8].empty()) {
            command.fontPath = ResolveTexturePiece(pieces[8]);
        }
        command.text = UnescapeText(std::string_view(line).substr(textStart));
        if (command.text.size() > maxTextBytes) {
            CutAtCharacter(command.text, maxTextBytes);
            if (!warnedLongText) {
                warnedLongText = true;
                LogWarn("Cut a TEXT command to " + std::to_string(maxTextBytes) +
                        " bytes (further long texts are cut without a warning).");
            }
        }
        if (AddDrawItem(DrawKind::Text, snapshot.texts.size())) {
            snapshot.texts.push_back(std::move(command));
        }
        return true;
    }
    if (StartsWith(line, "STATE|")) {
        savedState = line.substr(6);
        stateReceived = true;
        return true;
    }
    if (line == "QUIT") {
        quitRequested = true;
        return true;
    }
    if (StartsWith(line, "SPACE|")) {
        if (line == "SPACE|screen" || line == "SPACE|world") {
            screenSpace = line == "SPACE|screen";
        }
        return true;
    }
    if (StartsWith(line, "ZOOM|")) {
        float zoom = 0;
        if (SplitExactly(line, 2, pieces) && ParseFinite(pieces[1], zoom) && zoom > 0) {
            snapshot.zoom = std::clamp(zoom, minZoom, maxZoom);
        }
        return true;
    }
    return false;
}

} // namespace Orvane
