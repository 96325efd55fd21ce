#pragma once
// A frame's pixel work on the SDL back buffer. Outside a batch each primitive
// is drawn at once. Inside one (Begin .. Finish) the primitives are recorded
// and, at Finish, drawn band by band: the rows are cut into bands small enough
// to stay in a core's cache while all of a band's operations are drawn, and two
// threads take bands in turn. Every pixel sees the same operations in the same
// order, so the picture is identical to drawing them one by one.
#include "platform/sdl/PixelRaster.h"
#include "platform/text/TextRaster.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

namespace Orvane {

class DrawList {
public:
    // threads: how many may share a batch (1 draws on the caller's thread only);
    // 0 takes two where the machine has two cores or more.
    explicit DrawList(int threads = 0);
    ~DrawList();
    DrawList(const DrawList&) = delete;
    DrawList& operator=(const DrawList&) = delete;

    void Begin(SDL_Surface* target);
    void Finish();
    bool Recording() const { return target != nullptr; }

    // The whole surface in one colour. Outside a batch it waits for what comes
    // next: a batch then clears band by band, each band while it is in the cache;
    // anything else clears first. Settle clears now if still waiting; Forget
    // drops a waiting clear of a surface about to go.
    void Clear(SDL_Surface* surface, Color color);
    void Settle();
    void Forget(SDL_Surface* surface);

    void FillOpaque(SDL_Surface* surface, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                    Color color);
    void FillBlended(SDL_Surface* surface, std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom,
                     ColorAlpha color);
    void BlendCoverage(SDL_Surface* surface, CoverageImage&& image, ColorAlpha color);
    void Stretch(SDL_Surface* surface, SDL_Surface* image, float x, float y, float width, float height);
    void Quad(SDL_Surface* surface, SDL_Surface* image, const ImagePlacement& placement, const ImageLook& look);

private:
    enum class Kind : std::uint8_t { Fill, Blend, Rows, Coverage, Stretch, Quad };
    struct Entry {
        Kind kind;
        std::uint32_t index;
        int firstRow; // the rows it may touch
        int lastRow;
    };
    struct Box {
        std::int64_t left;
        std::int64_t top;
        std::int64_t right;
        std::int64_t bottom;
        ColorAlpha color;
    };
    // Consecutive one-row fills of one colour, as a polygon (a line) is filled: one
    // entry for all its rows instead of one per row. The spans are rowSpans
    // [firstSpan, firstSpan + the entry's row count), from the entry's first row.
    struct RowRun {
        std::uint32_t firstSpan;
        ColorAlpha color;
    };
    struct Span {
        std::int64_t left;
        std::int64_t right;
    };
    struct Coverage {
        CoverageImage image;
        ColorAlpha color;
    };
    struct QuadOp {
        SDL_Surface* image;
        ImagePlacement placement;
        ImageLook look;
    };

    void Record(Kind kind, std::uint32_t index, std::int64_t firstRow, std::int64_t lastRow);
    // A one-row blend inside the buffer, joined to the run recorded just before it
    // when that run ends on the row above in the same colour.
    void RecordRow(std::int64_t left, std::int64_t row, std::int64_t right, ColorAlpha color);
    // Draws what is recorded, in bands, and empties the record.
    void Play();
    void PlayEntry(const Entry& entry, const PixelBand& band) const;
    // Draws the bands not yet taken, one at a time, until none is left.
    void TakeBands();
    void WorkerLoop();
    // Past this, what is recorded is drawn before more is taken, so a huge frame
    // keeps a bounded record.
    void FlushWhenLarge();

    SDL_Surface* target = nullptr;
    SDL_Surface* clearing = nullptr;
    Color clearColor;
    std::vector<Entry> entries;
    std::vector<Box> boxes;
    std::vector<RowRun> rowRuns;
    std::vector<Span> rowSpans;
    std::vector<Coverage> coverages;
    std::vector<StretchPlan> stretches;
    std::vector<QuadOp> quads;
    StretchPlanner planner;

    int threads = 1;
    std::thread worker;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable done;
    // Each band's entries in recorded order, for the play under way.
    std::vector<std::vector<std::uint32_t>> bandEntries;
    int bandRows = 0;
    std::atomic<int> nextBand{0};
    std::uint64_t jobsGiven = 0;
    std::uint64_t jobsDone = 0;
    bool stopping = false;
};

} // namespace Orvane
