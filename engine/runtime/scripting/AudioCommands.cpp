// The version-2 sound lines. Numbers must be finite; out-of-range volumes, pans,
// pitches and fades are clamped, so a game's arithmetic slip still plays.
#include "scripting/AudioCommands.h"

#include "core/Log.h"
#include "scripting/LineProtocol.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <charconv>
#include <cmath>
#include <string>

namespace Orvane {

namespace {

constexpr std::size_t mostPieces = 6;
using Pieces = std::array<std::string_view, mostPieces + 1>;

// A frame holds at most this many sound commands; a runaway loop in a game must
// not grow the frame without bound.
constexpr std::size_t maxAudioCommandsPerFrame = 100000;
constexpr float minPitch = 0.25f;
constexpr float maxPitch = 4;
constexpr float maxFade = 3600;

bool ParseFinite(std::string_view piece, float& value) {
    return ParseFloatPiece(piece, value) && std::isfinite(value);
}

bool ParseClamped(std::string_view piece, float low, float high, float& value) {
    if (!ParseFinite(piece, value)) {
        return false;
    }
    value = std::clamp(value, low, high);
    return true;
}

bool ParseFlag(std::string_view piece, bool& flag) {
    if (piece != "0" && piece != "1") {
        return false;
    }
    flag = piece == "1";
    return true;
}

bool ParseHandle(std::string_view piece, std::int64_t& handle) {
    const char* end = piece.data() + piece.size();
    const auto [last, error] = std::from_chars(piece.data(), end, handle);
    return error == std::errc() && last == end && handle > 0;
}

// Parses the pieces of one known command; false drops the line.
bool ParseCommand(std::string_view line, const AudioPathResolver& resolvePath, AudioCommand& command) {
    Pieces pieces;
    const std::size_t count = SplitViews(line, '|', pieces);
    const std::string_view keyword = pieces[0];
    if (keyword == "SOUND") {
        command.kind = AudioCommandKind::Sound;
        if (count != 6 || !ParseHandle(pieces[1], command.handle) || pieces[2].empty() ||
            !ParseClamped(pieces[3], 0, 1, command.volume) || !ParseClamped(pieces[4], -1, 1, command.pan) ||
            !ParseClamped(pieces[5], minPitch, maxPitch, command.pitch)) {
            return false;
        }
        command.path = resolvePath(pieces[2]);
        return true;
    }
    if (keyword == "SOUND_STOP") {
        command.kind = AudioCommandKind::SoundStop;
        return count == 2 && ParseHandle(pieces[1], command.handle);
    }
    if (keyword == "MUSIC") {
        command.kind = AudioCommandKind::Music;
        if (count != 5 || pieces[1].empty() || !ParseFlag(pieces[2], command.loop) ||
            !ParseClamped(pieces[3], 0, 1, command.volume) || !ParseClamped(pieces[4], 0, maxFade, command.fade)) {
            return false;
        }
        command.path = resolvePath(pieces[1]);
        return true;
    }
    if (keyword == "MUSIC_PAUSE" || keyword == "MUSIC_RESUME") {
        command.kind = keyword == "MUSIC_PAUSE" ? AudioCommandKind::MusicPause : AudioCommandKind::MusicResume;
        return count == 1;
    }
    if (keyword == "MUSIC_STOP") {
        command.kind = AudioCommandKind::MusicStop;
        return count == 2 && ParseClamped(pieces[1], 0, maxFade, command.fade);
    }
    if (keyword == "MUSIC_VOLUME") {
        command.kind = AudioCommandKind::MusicVolume;
        return count == 3 && ParseClamped(pieces[1], 0, 1, command.volume) &&
               ParseClamped(pieces[2], 0, maxFade, command.fade);
    }
    command.kind = AudioCommandKind::Settings;
    return count == 4 && ParseClamped(pieces[1], 0, 1, command.volume) && ParseFlag(pieces[2], command.muted) &&
           ParseFlag(pieces[3], command.pauseUnfocused);
}

bool IsAudioKeyword(std::string_view line) {
    static constexpr std::array<std::string_view, 8> keywords = {
        "SOUND", "SOUND_STOP", "MUSIC", "MUSIC_PAUSE", "MUSIC_RESUME", "MUSIC_STOP", "MUSIC_VOLUME", "AUDIO"};
    for (std::string_view keyword : keywords) {
        if (StartsWith(line, keyword) && (line.size() == keyword.size() || line[keyword.size()] == '|')) {
            return true;
        }
    }
    return false;
}

std::atomic<bool> warnedCommandLimit{false};

} // namespace

bool ParseAudioLine(std::string_view line, const AudioPathResolver& resolvePath,
                    std::vector<AudioCommand>& commands) {
    if (!IsAudioKeyword(line)) {
        return false;
    }
    if (commands.size() >= maxAudioCommandsPerFrame) {
        if (!warnedCommandLimit.exchange(true)) {
            LogWarn("A frame sent more than " + std::to_string(maxAudioCommandsPerFrame) +
                    " sound commands; the rest of each such frame's sound commands are dropped.");
        }
        return true;
    }
    AudioCommand command;
    if (ParseCommand(line, resolvePath, command)) {
        commands.push_back(std::move(command));
    }
    return true;
}

} // namespace Orvane
