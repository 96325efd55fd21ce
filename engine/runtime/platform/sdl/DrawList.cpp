#include "platform/sdl/DrawList.h"

#include <algorithm>
#include <cmath>

namespace Orvane {

namespace {

// Fewer recorded operations than this are drawn on the caller's thread alone:
// handing over costs more than they take.
constexpr std::size_t minEntriesForThreads = 64;
// About 240 KB of a 1280-pixel-wide buffer: half a core's L2 cache.
constexpr std::size_t bandBytes = 240 * 1024;
constexpr int minBandRows = 8;
// A record larger than this is drawn before more is taken.
constexpr std::size_t maxRecordedEntries = 1 << 18;
constexpr std::size_t maxPlannerFootprint = std::size_t{32} << 20;

} // namespace

DrawList::DrawList(int threads) {
    if (threads <= 0) {
        threads = std::thread::hardware_concurrency() >= 2 ? 2 : 1;
    }
    this->threads = std::min(threads, 2);
}

DrawList::~DrawList() {
    if (worker.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex);
            stopping = true;
        }
        wake.notify_one();
        worker.join();
    }
}

void DrawList::Begin(SDL_Surface* surface) {
    if (clearing != nullptr && clearing != surface) {
        Settle();
    }
    target = surface;
    planner.Reset();
    if (clearing != nullptr) {
        clearing = nullptr;
        FillOpaque(surface, 0, 0, surface->w, surface->h, clearColor);
    }
}

void DrawList::Clear(SDL_Surface* surface, Color color) {
    if (Recording()) {
        FillOpaque(surface, 0, 0, surface->w, surface->h, color);
        return;
    }
    Settle();
    clearing = surface;
    clearColor = color;
}

void DrawList::Settle() {
    if (clearing != nullptr) {
        SDL_Surface* surface = clearing;
        clearing = nullptr;
        Orvane::FillOpaque(PixelBand::Whole(surface), 0, 0, surface->w, surface->h, clearColor);
    }
}

void DrawList::Forget(SDL_Surface* surface) {
    if (clearing == surface) {
        clearing = nullptr;
    }
}

// Outside a batch the planner holds nothing: a texture may be freed between
// batches, and its address taken by another.
void DrawList::Finish() {
    if (target != nullptr) {
        Play();
    }
    target = nullptr;
    planner.Reset();
}

void DrawList::FillOpaque(SDL_Surface* surface, std::int64_t left, std::int64_t top, std::int64_t right,
                          std::int64_t bottom, Color color) {
    if (!Recording()) {
        Settle();
        Orvane::FillOpaque(PixelBand::Whole(surface), left, top, right, bottom, color);
        return;
    }
    if (right <= left) {
        return;
    }
    Record(Kind::Fill, static_cast<std::uint32_t>(boxes.size()), top, bottom);
    boxes.push_back({left, top, right, bottom, {color.r, color.g, color.b, 255}});
    FlushWhenLarge();
}

void DrawList::FillBlended(SDL_Surface* surface, std::int64_t left, std::int64_t top, std::int64_t right,
                           std::int64_t bottom, ColorAlpha color) {
    if (!Recording()) {
        Settle();
        Orvane::FillBlended(PixelBand::Whole(surface), left, top, right, bottom, color);
        return;
    }
    if (right <= left || color.a == 0) {
        return;
    }
    if (bottom == top + 1) {
        if (top >= 0 && top < target->h) {
            RecordRow(left, top, right, color);
        }
        return;   // a row outside the buffer draws nothing
    }
    Record(Kind::Blend, static_cast<std::uint32_t>(boxes.size()), top, bottom);
    boxes.push_back({left, top, right, bottom, color});
    FlushWhenLarge();
}

void DrawList::BlendCoverage(SDL_Surface* surface, CoverageImage&& image, ColorAlpha color) {
    if (!Recording()) {
        Settle();
        BlendCoverageImage(PixelBand::Whole(surface), image, color);
        return;
    }
    Record(Kind::Coverage, static_cast<std::uint32_t>(coverages.size()), image.top,
           std::int64_t{image.top} + image.height);
    coverages.push_back({std::move(image), color});
    FlushWhenLarge();
}

void DrawList::Stretch(SDL_Surface* surface, SDL_Surface* image, float x, float y, float width, float height) {
    StretchPlan plan;
    if (!planner.Plan(surface, image, x, y, width, height, plan)) {
        return;
    }
    if (!Recording()) {
        Settle();
        DrawStretch(PixelBand::Whole(surface), plan);
        // Nothing is kept between immediate draws: a texture may go before the
        // next.
        planner.Reset();
        return;
    }
    Record(Kind::Stretch, static_cast<std::uint32_t>(stretches.size()), plan.rows.first, plan.rows.last);
    stretches.push_back(plan);
    FlushWhenLarge();
}

void DrawList::Quad(SDL_Surface* surface, SDL_Surface* image, const ImagePlacement& placement, const ImageLook& look) {
    if (!Recording()) {
        Settle();
        DrawQuad(PixelBand::Whole(surface), image, placement, look);
        return;
    }
    double xs[4];
    double ys[4];
    placement.Corners(xs, ys);
    // The rows DrawQuad will cover; none when a corner is not finite, as it draws nothing then.
    const SampleSpan rows = CoveredBy(ys, 0, target->h);
    if (rows.last <= rows.first) {
        return;
    }
    Record(Kind::Quad, static_cast<std::uint32_t>(quads.size()), rows.first, rows.last);
    quads.push_back({image, placement, look});
    FlushWhenLarge();
}

void DrawList::FlushWhenLarge() {
    if (entries.size() >= maxRecordedEntries || planner.Footprint() >= maxPlannerFootprint) {
        Play();
        planner.Reset();
    }
}

// The rows are clipped to the buffer here; an entry with none is never drawn.
void DrawList::Record(Kind kind, std::uint32_t index, std::int64_t firstRow, std::int64_t lastRow) {
    firstRow = std::max<std::int64_t>(firstRow, 0);
    lastRow = std::min<std::int64_t>(lastRow, target->h);
    entries.push_back({kind, index, static_cast<int>(firstRow), static_cast<int>(std::max(firstRow, lastRow))});
}

void DrawList::RecordRow(std::int64_t left, std::int64_t row, std::int64_t right, ColorAlpha color) {
    if (!entries.empty()) {
        Entry& last = entries.back();
        if (last.kind == Kind::Rows && last.lastRow == row && rowRuns[last.index].color == color) {
            rowSpans.push_back({left, right});
            ++last.lastRow;
            return;
        }
    }
    Record(Kind::Rows, static_cast<std::uint32_t>(rowRuns.size()), row, row + 1);
    rowRuns.push_back({static_cast<std::uint32_t>(rowSpans.size()), color});
    rowSpans.push_back({left, right});
    FlushWhenLarge();
}

void DrawList::PlayEntry(const Entry& entry, const PixelBand& band) const {
    switch (entry.kind) {
    case Kind::Fill: {
        const Box& box = boxes[entry.index];
        Orvane::FillOpaque(band, box.left, box.top, box.right, box.bottom,
                           Color{box.color.r, box.color.g, box.color.b});
        break;
    }
    case Kind::Blend: {
        const Box& box = boxes[entry.index];
        Orvane::FillBlended(band, box.left, box.top, box.right, box.bottom, box.color);
        break;
    }
    case Kind::Rows: {
        const RowRun& run = rowRuns[entry.index];
        const int first = std::max(entry.firstRow, band.first);
        const int end = std::min(entry.lastRow, band.last);
        for (int row = first; row < end; ++row) {
            const Span& span = rowSpans[run.firstSpan + static_cast<std::uint32_t>(row - entry.firstRow)];
            Orvane::FillBlended(band, span.left, row, span.right, row + 1, run.color);
        }
        break;
    }
    case Kind::Coverage: {
        const Coverage& coverage = coverages[entry.index];
        BlendCoverageImage(band, coverage.image, coverage.color);
        break;
    }
    case Kind::Stretch:
        DrawStretch(band, stretches[entry.index]);
        break;
    case Kind::Quad: {
        const QuadOp& quad = quads[entry.index];
        DrawQuad(band, quad.image, quad.placement, quad.look);
        break;
    }
    }
}

void DrawList::TakeBands() {
    const int bandCount = static_cast<int>(bandEntries.size());
    for (int band = nextBand.fetch_add(1); band < bandCount; band = nextBand.fetch_add(1)) {
        const PixelBand pixels{target, band * bandRows, std::min(target->h, (band + 1) * bandRows)};
        for (const std::uint32_t entry : bandEntries[static_cast<std::size_t>(band)]) {
            PlayEntry(entries[entry], pixels);
        }
    }
}

void DrawList::Play() {
    const int rows = target->h;
    const std::size_t rowBytes = std::max<std::size_t>(static_cast<std::size_t>(target->pitch), 1);
    bandRows = std::max(minBandRows, static_cast<int>(bandBytes / rowBytes));
    const int bandCount = std::max(1, (rows + bandRows - 1) / bandRows);
    if (bandEntries.size() < static_cast<std::size_t>(bandCount)) {
        bandEntries.resize(static_cast<std::size_t>(bandCount));
    }
    for (int band = 0; band < bandCount; ++band) {
        bandEntries[static_cast<std::size_t>(band)].clear();
    }
    bandEntries.resize(static_cast<std::size_t>(bandCount));
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const Entry& entry = entries[i];
        if (entry.lastRow <= entry.firstRow) {
            continue;
        }
        const int last = (entry.lastRow - 1) / bandRows;
        for (int band = entry.firstRow / bandRows; band <= last; ++band) {
            bandEntries[static_cast<std::size_t>(band)].push_back(static_cast<std::uint32_t>(i));
        }
    }
    nextBand.store(0);
    if (threads < 2 || entries.size() < minEntriesForThreads || bandCount < 2) {
        TakeBands();
    } else {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!worker.joinable()) {
                worker = std::thread([this] { WorkerLoop(); });
            }
            ++jobsGiven;
        }
        wake.notify_one();
        TakeBands();
        std::unique_lock<std::mutex> lock(mutex);
        done.wait(lock, [this] { return jobsDone == jobsGiven; });
    }
    entries.clear();
    boxes.clear();
    rowRuns.clear();
    rowSpans.clear();
    coverages.clear();
    stretches.clear();
    quads.clear();
}

void DrawList::WorkerLoop() {
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        wake.wait(lock, [this] { return stopping || jobsDone != jobsGiven; });
        if (stopping) {
            return;
        }
        lock.unlock();
        TakeBands();
        lock.lock();
        jobsDone = jobsGiven;
        done.notify_one();
    }
}

} // namespace Orvane
