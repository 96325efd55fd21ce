#pragma once
#include "project/ScriptHostConfig.h"
#include "scripting/CollisionTracker.h"
#include "scripting/FrameSnapshot.h"
#include "scripting/ScriptHostBridge.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/types.h>
#endif

namespace Orvane {

// Longest line the reader keeps; a longer one is dropped with one warning.
inline constexpr std::size_t maxLineLength = 1024 * 1024;

// Most bytes one ReadAvailableLines call takes from the child. A child that never
// stops writing would otherwise keep the call looping, and the waits could never
// check their limits; the rest stays in the pipe for the next call.
inline constexpr std::size_t maxBytesPerRead = 1024 * 1024;

// Ends a fragment of a line whose rest was dropped (CAN): no command accepts it.
inline constexpr char cancelLineByte = '\x18';

struct ScriptHostBridge::Impl {
    // ---- native: child process and the bridge's ends of the two pipes ----
#ifdef _WIN32
    HANDLE processHandle = nullptr;
    HANDLE threadHandle = nullptr;
    HANDLE stdinWrite = nullptr;
    HANDLE stdoutRead = nullptr;
    HANDLE jobHandle = nullptr;   // kills the child when the runtime's last handle to it closes
#else
    pid_t processId = -1;   // -1 whenever no child is held
    int stdinWrite = -1;
    int stdoutRead = -1;
#endif
    // ---- portable ----
    std::filesystem::path projectPath;
    std::string readBuffer;
    FrameSnapshot snapshot;
    FrameSnapshot lastComplete;   // version 2: the last frame whose END_FRAME came
    std::vector<ColliderCommand> colliders;
    bool ready = false;
    bool started = false;
    bool frameEnded = false;

    // Protocol version: 1 until the host offered version 2 before READY and the
    // runtime answered it before START.
    int protocolVersion = 1;
    bool hostOffersVersion2 = false;
    // Version 2: bytes read after a frame's END_FRAME, handled in the next frame.
    std::string heldBytes;
    // One read takes what is waiting, up to this; a frame of ten thousand
    // commands is some 300 KB, which small reads would take in hundreds of calls.
    static constexpr std::size_t readChunkSize = 64 * 1024;
    std::unique_ptr<char[]> readChunk;
    bool lastReadGotBytes = false;   // the last ReadAvailableLines took something
    bool warnedDrawLimit = false;
    bool warnedColliderLimit = false;
    bool warnedLongText = false;
    bool warnedContactCap = false;   // a frame's colliders reached maxContactPairsPerFrame
    bool screenSpace = false;   // version 2: SPACE|screen is in effect
    bool quitRequested = false; // version 2: the host asked to end the run

    // What went wrong in the game, for the error screen (version 2).
    bool outputClosed = false;          // end of file on the child's output: it has ended
    bool errorPending = false;          // an ERROR| line arrived since the last TakeError
    bool collectingTrace = false;       // LOG|Error| lines right after it are its trace
    std::string errorMessage;
    std::vector<std::string> errorTrace;
    // Digest of the frame's answer (every command line, in order), for recordings.
    std::uint64_t answerDigest = 0;
    bool digestAnswers = false;
    // State handed from an old host to its successor on a reload (version 2).
    bool stateReceived = false;
    std::string savedState;             // escaped as on the wire
    std::string stateToRestore;         // sent before START when not empty
    ScriptHostConfig startConfig;       // what Start was given, for restarts
    std::string lastFrameLines;         // what the last Frame sent, events and frame line
    std::string replayFrameLines;       // when set, the next Frame sends these instead

    bool inputStalled = false;      // a write timed out; later writes do not wait again
    bool inputLineBroken = false;   // the child holds the front of a line whose rest was dropped
    bool brokenLineNeedsMark = false;   // that front is ended with cancelLineByte
    CollisionTracker collisionTracker;
    bool discardingLongLine = false;   // inside a line longer than maxLineLength
    // Resolved sprite texture paths by raw path piece, for the current frame;
    // looked up by string_view, so a repeated piece costs no allocation.
    struct PieceHash {
        using is_transparent = void;
        std::size_t operator()(std::string_view piece) const { return std::hash<std::string_view>{}(piece); }
    };
    std::unordered_map<std::string, SharedPath, PieceHash, std::equal_to<>> resolvedTextures;
    // Sprites mostly repeat one path many times in a row: the last one found is
    // compared first. It counts only while resolvedTextures is not empty, so
    // clearing the map for a new frame forgets it too.
    std::string lastTexturePiece;
    SharedPath lastTexture;

    Impl() = default;
    ~Impl();
    Impl(const Impl&) = delete;
    Impl& operator=(const Impl&) = delete;

    // Child process layer, portable: the READY wait, bounded writes, bounded reads.
    bool Start(const ScriptHostConfig& config);
    void WriteLine(const std::string& text);
    void ReadAvailableLines();
    bool Fail(const std::string& message);

    // Child process layer, one implementation per platform.
    // Creates the pipes and launches the child; on failure returns Fail's result.
    bool StartProcess(const ScriptHostConfig& config);
    // Writes a prefix of data without blocking: the count written (0 while the
    // pipe is full), or -1 when the input is closed or broken.
    std::ptrdiff_t WriteSome(const char* data, std::size_t size);
    // Where the platform can tell: room = bytes the input pipe takes now without a
    // short write, largest = the most it can ever take at once; false elsewhere.
    bool InputRoom(std::size_t& room, std::size_t& largest);
    // Waits up to limit for the child to make room in its input pipe.
    void WaitForInputSpace(std::chrono::milliseconds limit);
    // Reads what the child's output pipe holds now, up to size bytes, without
    // blocking; 0 when nothing is waiting or the pipe is closed, broken or at its end.
    std::size_t ReadSome(char* buffer, std::size_t size);
    // The pause between two reads of a wait: up to milliseconds, ending early
    // where the platform can tell that output has arrived.
    // firstPause: the wait's first, right after its request was written.
    void WaitForOutput(int milliseconds, bool firstPause);
    void Shutdown();
    // Reaps a child that has exited, so that it does not linger until Shutdown.
    void ReapExitedHost();

    // Portable: cuts bytes read from the child into lines and dispatches them.
    void ReceiveBytes(const char* data, std::size_t count);

    // Line protocol.
    void HandleLine(const std::string& line);
    void WaitFor(std::string_view name, int timeoutMilliseconds);
    void SendStart();
    void Frame(float dt);
    // Empties the frame's lists (the camera and zoom stay), as every frame begins.
    void ClearFrameRecords();
    // Version 2: asks the host for the state its game hands to a successor; false
    // (and no state) when none came within the limit.
    bool RequestState(int timeoutMilliseconds);

    void ParseLog(const std::string& line);
    void ParseRect(const std::string& line);
    void ParseSprite(const std::string& line);
    void ParseCamera(const std::string& line);
    void ParseCollider(const std::string& line);
    void ParseDebugRect(const std::string& line);

    // Error screen support (HostFaults.cpp).
    void NoteLineForFaults(const std::string& line);

    // Version 2 commands (Version2Commands.cpp); true when the line was one of them.
    bool HandleVersion2Line(const std::string& line);
    // Resolves a SPRITE|/IMAGE| path piece against the project folder, memoised per frame.
    const SharedPath& ResolveTexturePiece(std::string_view piece);
    // Appends to the painter's-order list; false (with one warning) past the frame's cap.
    bool AddDrawItem(DrawKind kind, std::size_t index);
};

// Version 2 limits per frame.
inline constexpr std::size_t maxDrawCommandsPerFrame = 200000;
inline constexpr std::size_t maxCollidersPerFrame = 100000;
inline constexpr std::size_t maxTextBytes = 4096;

} // namespace Orvane
