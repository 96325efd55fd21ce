#include "scripting/ScriptHostBridgeImpl.h"

#include "core/Log.h"
#include "core/Paths.h"
#include "input/InputEvents.h"
#include "core/Termination.h"
#include "scripting/LineProtocol.h"
#include "scripting/PlainFields.h"

#include <array>
#include <chrono>
#include <cstring>
#include <exception>
#include <utility>

namespace Orvane {

namespace {

// Pieces per command line, keyword included.
constexpr std::size_t rectPieces = 8;
constexpr std::size_t spritePieces = 9;
constexpr std::size_t cameraPieces = 3;
constexpr std::size_t colliderPieces = 6;

// Room for the longest command plus one, so that a surplus piece is still counted.
using Pieces = std::array<std::string_view, spritePieces + 1>;

// Splits line and tells whether it has exactly count pieces.
bool SplitExactly(std::string_view line, std::size_t count, Pieces& pieces) {
    return SplitViews(line, '|', pieces) == count;
}

// A channel keeps the low 8 bits: 256 is 0, -1 is 255.
Color ColorOf(const std::int32_t (&channels)[3]) {
    return {static_cast<std::uint8_t>(channels[0]), static_cast<std::uint8_t>(channels[1]),
            static_cast<std::uint8_t>(channels[2])};
}

bool ParseColorPieces(const Pieces& pieces, std::size_t first, Color& color) {
    std::int32_t channels[3] = {0, 0, 0};
    if (!ParseIntPiece(pieces[first], channels[0]) || !ParseIntPiece(pieces[first + 1], channels[1]) ||
        !ParseIntPiece(pieces[first + 2], channels[2])) {
        return false;
    }
    color = ColorOf(channels);
    return true;
}

// x, y, width, height from pieces first .. first + 3.
template <typename Record>
bool ParseBoxPieces(const Pieces& pieces, std::size_t first, Record& record) {
    return ParseFloatPiece(pieces[first], record.x) && ParseFloatPiece(pieces[first + 1], record.y) &&
           ParseFloatPiece(pieces[first + 2], record.width) &&
           ParseFloatPiece(pieces[first + 3], record.height);
}

// x, y, width, height as the one-pass reader stores them.
template <typename Record>
void StoreBox(const float (&box)[4], Record& record) {
    record.x = box[0];
    record.y = box[1];
    record.width = box[2];
    record.height = box[3];
}

// x, y, width, height and a colour after the keyword, read in one pass; false
// when the line needs the general way. tail, if given, takes the last field.
template <typename Record>
bool ReadPlainBoxAndColor(std::string_view line, std::size_t keywordLength, Record& record, std::string_view* tail) {
    float box[4];
    std::int32_t channels[3];
    if (!ReadPlainFields(line.substr(keywordLength), {}, box, channels, tail)) {
        return false;
    }
    StoreBox(box, record);
    record.color = ColorOf(channels);
    return true;
}

bool ParseRectPieces(std::string_view line, RectCommand& command) {
    // "RECT|" and "DEBUG_RECT|" both end at the first separator.
    const std::size_t keywordLength = line.find('|') + 1;
    if (ReadPlainBoxAndColor(line, keywordLength, command, nullptr)) {
        return true;
    }
    Pieces pieces;
    return SplitExactly(line, rectPieces, pieces) && ParseBoxPieces(pieces, 1, command) &&
           ParseColorPieces(pieces, 5, command.color);
}

void WarnLongLine() {
    LogWarn("Dropped a script host line longer than " + std::to_string(maxLineLength) + " bytes.");
}

} // namespace

void ScriptHostBridge::Impl::ReceiveBytes(const char* data, std::size_t count) {
    std::string line;
    std::size_t position = 0;
    while (position < count) {
        const char* lineFeed =
            static_cast<const char*>(std::memchr(data + position, '\n', count - position));
        if (lineFeed == nullptr) {
            // An unfinished line waits for the rest, unless it is already too long.
            const std::size_t tail = count - position;
            if (!discardingLongLine) {
                // One byte of room for the carriage return that may still come.
                if (readBuffer.size() + tail > maxLineLength + 1) {
                    WarnLongLine();
                    readBuffer.clear();
                    readBuffer.shrink_to_fit();
                    discardingLongLine = true;
                } else {
                    readBuffer.append(data + position, tail);
                }
            }
            return;
        }

        const std::size_t end = static_cast<std::size_t>(lineFeed - data);
        const std::size_t segment = end - position;
        const std::size_t start = position;
        position = end + 1;
        if (discardingLongLine) {
            // The end of a line that was already reported and dropped.
            discardingLongLine = false;
            continue;
        }

        line.assign(readBuffer);
        readBuffer.clear();
        std::size_t length = line.size() + segment;
        const char last = segment > 0 ? data[end - 1] : (line.empty() ? '\0' : line.back());
        if (last == '\r') {
            --length;
        }
        if (length > maxLineLength) {
            WarnLongLine();
            continue;
        }
        line.append(data + start, segment);
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        HandleLine(line);
        if (protocolVersion == 2 && frameEnded) {
            // Version 2: whatever follows END_FRAME belongs to the next frame.
            heldBytes.assign(data + position, count - position);
            return;
        }
    }
}

void ScriptHostBridge::Impl::HandleLine(const std::string& line) {
    // A malformed or unresolvable line is dropped; nothing may stop the exchange.
    try {
        NoteLineForFaults(line);
        if (line == "READY") {
            ready = true;
        } else if (line == "STARTED") {
            started = true;
        } else if (line == "END_FRAME") {
            frameEnded = true;
        } else if (StartsWith(line, "LOG|")) {
            ParseLog(line);
        } else if (StartsWith(line, "RECT|")) {
            ParseRect(line);
        } else if (StartsWith(line, "SPRITE|")) {
            ParseSprite(line);
        } else if (StartsWith(line, "CAMERA|")) {
            ParseCamera(line);
        } else if (StartsWith(line, "COLLIDER|")) {
            ParseCollider(line);
        } else if (StartsWith(line, "DEBUG_RECT|")) {
            ParseDebugRect(line);
        } else if (StartsWith(line, "PROTOCOL|")) {
            // Only an offer made before READY counts; later ones change nothing.
            std::int32_t offered = 0;
            if (!ready && ParseIntPiece(std::string_view(line).substr(9), offered) && offered >= 2) {
                hostOffersVersion2 = true;
            }
        } else if (protocolVersion == 2 && HandleVersion2Line(line)) {
        } else if (StartsWith(line, "ERROR|")) {
            LogError(line.substr(6));
        } else if (!line.empty()) {
            LogInfo("[ScriptHost] " + line);
        }
    } catch (...) {
    }
}

void ScriptHostBridge::Impl::ParseLog(const std::string& line) {
    constexpr std::size_t levelStart = 4;   // just past "LOG|"
    const std::size_t separator = line.find('|', levelStart);
    if (separator == std::string::npos) {
        return;
    }
    const std::string_view level = std::string_view(line).substr(levelStart, separator - levelStart);
    const std::string message = line.substr(separator + 1);
    if (level == "Warn") {
        LogWarn(message);
    } else if (level == "Error") {
        LogError(message);
    } else {
        LogInfo(message);
    }
}

void ScriptHostBridge::Impl::ParseRect(const std::string& line) {
    RectCommand command;
    if (ParseRectPieces(line, command)) {
        if (protocolVersion == 2 && !AddDrawItem(DrawKind::Rect, snapshot.rects.size())) {
            return;
        }
        snapshot.rects.push_back(command);
    }
}

void ScriptHostBridge::Impl::ParseDebugRect(const std::string& line) {
    RectCommand command;
    if (ParseRectPieces(line, command)) {
        snapshot.debugRects.push_back(command);
    }
}

void ScriptHostBridge::Impl::ParseSprite(const std::string& line) {
    SpriteCommand command;
    std::string_view path;
    if (!ReadPlainBoxAndColor(line, std::string_view("SPRITE|").size(), command, &path)) {
        Pieces pieces;
        if (!SplitExactly(line, spritePieces, pieces) || !ParseBoxPieces(pieces, 1, command) ||
            !ParseColorPieces(pieces, 5, command.color)) {
            return;
        }
        path = pieces[8];
    }
    command.texturePath = ResolveTexturePiece(path);
    if (protocolVersion == 2 && !AddDrawItem(DrawKind::Sprite, snapshot.sprites.size())) {
        return;
    }
    snapshot.sprites.push_back(std::move(command));
}

// Resolving touches the file system; a frame's sprites mostly repeat a few paths,
// so each raw path is resolved once per frame.
const SharedPath& ScriptHostBridge::Impl::ResolveTexturePiece(std::string_view rawPath) {
    if (!resolvedTextures.empty() && rawPath == lastTexturePiece) {
        return lastTexture;
    }
    auto known = resolvedTextures.find(rawPath);
    if (known == resolvedTextures.end()) {
        std::string piece(rawPath);
        std::filesystem::path resolved = ResolvePath(projectPath, Utf8ToPath(piece));
        known = resolvedTextures.emplace(std::move(piece), std::move(resolved)).first;
    }
    lastTexturePiece.assign(rawPath);
    lastTexture = known->second;
    return lastTexture;
}

void ScriptHostBridge::Impl::ParseCamera(const std::string& line) {
    Pieces pieces;
    float x = 0;
    float y = 0;
    if (!SplitExactly(line, cameraPieces, pieces) || !ParseFloatPiece(pieces[1], x) ||
        !ParseFloatPiece(pieces[2], y)) {
        return;
    }
    snapshot.cameraX = x;
    snapshot.cameraY = y;
}

void ScriptHostBridge::Impl::ParseCollider(const std::string& line) {
    ColliderCommand command;
    std::int32_t id[1];
    float box[4];
    if (ReadPlainFields(std::string_view(line).substr(std::string_view("COLLIDER|").size()), id, box, {},
                        nullptr)) {
        command.id = id[0];
        StoreBox(box, command);
    } else {
        Pieces pieces;
        if (!SplitExactly(line, colliderPieces, pieces) || !ParseIntPiece(pieces[1], command.id) ||
            !ParseBoxPieces(pieces, 2, command)) {
            return;
        }
    }
    if (protocolVersion == 2 && colliders.size() >= maxCollidersPerFrame) {
        if (!warnedColliderLimit) {
            warnedColliderLimit = true;
            LogWarn("A frame sent more than " + std::to_string(maxCollidersPerFrame) +
                    " colliders; the rest of each such frame's colliders are dropped.");
        }
        return;
    }
    colliders.push_back(command);
}

void ScriptHostBridge::Impl::WaitFor(std::string_view name, int timeoutMilliseconds) {
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    const std::chrono::nanoseconds timeout = std::chrono::milliseconds(timeoutMilliseconds);
    bool firstPause = true;
    while (Clock::now() - start < timeout) {
        ReadAvailableLines();
        if (TerminationRequested()) {
            return;
        }
        if ((name == "READY" && ready) || (name == "STARTED" && started) ||
            (name == "END_FRAME" && frameEnded) || (name == "STATE" && stateReceived)) {
            return;
        }
        // Version 2 knows a host that has ended at once instead of waiting it out.
        if (protocolVersion == 2 && outputClosed) {
            return;
        }
        WaitForOutput(1, std::exchange(firstPause, false));
    }
    // Whatever arrived right at the limit still counts for this wait.
    ReadAvailableLines();
}

void ScriptHostBridge::Impl::SendStart() {
    if (hostOffersVersion2) {
        WriteLine("PROTOCOL|2");
        protocolVersion = 2;
        snapshot.protocolVersion = 2;
        SetInputEventsWanted(true);
        if (const std::string size = TakeClientSizeLine(); !size.empty()) {
            WriteLine(size);
        }
        if (!stateToRestore.empty()) {
            WriteLine("RESTORE_STATE|" + stateToRestore);
            stateToRestore.clear();
        }
    }
    WriteLine("START");
    WaitFor("STARTED", 5000);
}

void ScriptHostBridge::Impl::ClearFrameRecords() {
    snapshot.rects.clear();
    snapshot.sprites.clear();
    snapshot.debugRects.clear();
    colliders.clear();
    if (protocolVersion == 2) {
        snapshot.fills.clear();
        snapshot.outlines.clear();
        snapshot.lines.clear();
        snapshot.images.clear();
        snapshot.texts.clear();
        snapshot.drawOrder.clear();
        snapshot.audioCommands.clear();
        screenSpace = false;
    }
}

bool ScriptHostBridge::Impl::RequestState(int timeoutMilliseconds) {
    stateReceived = false;
    savedState.clear();
    if (protocolVersion != 2 || outputClosed) {
        return false;
    }
    // The last frame's END_FRAME holds further reading back; the answer to this
    // request comes after it.
    frameEnded = false;
    WriteLine("SAVE_STATE");
    WaitFor("STATE", timeoutMilliseconds);
    return stateReceived;
}

void ScriptHostBridge::Impl::Frame(float dt) {
    if (protocolVersion == 2 && frameEnded) {
        // Kept for the error screen; swapping also keeps both frames' capacity.
        std::swap(snapshot, lastComplete);
        snapshot.cameraX = lastComplete.cameraX;
        snapshot.cameraY = lastComplete.cameraY;
        snapshot.zoom = lastComplete.zoom;
        snapshot.protocolVersion = lastComplete.protocolVersion;
    }
    ClearFrameRecords();
    ReapExitedHost();
    // A texture file may appear or move between frames.
    resolvedTextures.clear();
    frameEnded = false;
    answerDigest = 0;

    if (!replayFrameLines.empty()) {
        // A replay sends what was recorded; the devices are not heard meanwhile.
        lastFrameLines = std::move(replayFrameLines);
        replayFrameLines.clear();
        if (protocolVersion == 2) {
            TakeInputEventLines();
        }
    } else if (protocolVersion == 2) {
        // What happened since the last frame goes out with the frame line, in one write.
        lastFrameLines = TakeInputEventLines() + ComposeFrameLine(dt);
    } else {
        lastFrameLines = ComposeFrameLine(dt);
    }
    WriteLine(lastFrameLines);
    WaitFor("END_FRAME", 500);

    // Contacts are told only for complete frames: a cut-off collider list would
    // report every contact it missed as new in the next frame.
    if (frameEnded) {
        const std::vector<CollisionEvent> events = collisionTracker.Update(colliders);
        if (collisionTracker.ReachedPairCap() && !warnedContactCap) {
            warnedContactCap = true;
            LogWarn("A frame's colliders overlap in more than " + std::to_string(maxContactPairsPerFrame) +
                    " box pairs; contacts past that are not reported.");
        }
        // One write for all of them: a frame of new contacts can be thousands of
        // lines, and a pipe write per line costs a system call each (under Wine
        // a server round trip: 10000 lines took 1.3 s).
        std::string lines;
        for (const CollisionEvent& event : events) {
            if (!lines.empty()) {
                lines.push_back('\n');
            }
            lines += "COLLISION|" + std::to_string(event.entityId) + "|" + std::to_string(event.otherId);
        }
        if (!lines.empty()) {
            WriteLine(lines);
        }
    }
}

} // namespace Orvane
