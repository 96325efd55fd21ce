#pragma once
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace Orvane {

// A recorded run: everything the runtime sent to the script host, frame by frame
// (time step, keys, input events), with a digest of each frame's answer, so the
// same run can be played again and checked. The text format (README "Recordings"):
//
//   orvane-recording 1
//   main-class <class>
//   start-scene <scene>
//   protocol <version>
//   then per frame: "reload" when the game was reloaded before it, one "> <line>"
//   per line sent, "= <digest, 16 hex digits>"
//   end <number of frames>
struct RecordedFrame {
    bool reloadBefore = false;
    std::string lines;          // as sent, joined by "\n"
    std::uint64_t digest = 0;
};

struct Recording {
    std::string mainClass;
    std::string startScene;
    int protocolVersion = 1;
    std::vector<RecordedFrame> frames;
};

class RecordingWriter {
public:
    // Creates the file; false after setting error (one message).
    bool Open(const std::filesystem::path& path, std::string& error);
    // The header, once the protocol version is known.
    void Begin(const std::string& mainClass, const std::string& startScene, int protocolVersion);
    void AddReload();
    void AddFrame(const std::string& sentLines, std::uint64_t digest);
    // Writes the closing line; false when the file could not be written.
    bool Finish();

private:
    std::ofstream file;
    std::int64_t frames = 0;
    bool reloadPending = false;
};

// Reads and checks a whole recording; false after setting error to one message
// (not a recording, truncated, malformed).
bool LoadRecording(const std::filesystem::path& path, Recording& recording, std::string& error);

// Parses recording text (LoadRecording's work, for files and tests alike).
bool ParseRecording(const std::string& text, Recording& recording, std::string& error);

} // namespace Orvane
