// Cost of the collision pass for a frame of many colliders.
#include "scripting/CollisionTracker.h"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

std::vector<Orvane::ColliderCommand> Scatter(int count) {
    std::vector<Orvane::ColliderCommand> colliders;
    colliders.reserve(count);
    for (int i = 0; i < count; ++i) {
        // Spread over a 2560 x 1440 world, 16-pixel boxes, some overlapping.
        colliders.push_back({i, static_cast<float>((i * 37) % 2560), static_cast<float>((i * 91) % 1440), 16, 16});
    }
    return colliders;
}

void BM_CollisionUpdate(benchmark::State& state) {
    const auto colliders = Scatter(static_cast<int>(state.range(0)));
    Orvane::CollisionTracker tracker;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tracker.Update(colliders));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_CollisionUpdate)->Arg(100)->Arg(1000)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

namespace {

// Every box over every other: the pass stops at the pair cap instead of making
// n^2 / 2 pairs.
std::vector<Orvane::ColliderCommand> Pile(int count) {
    std::vector<Orvane::ColliderCommand> colliders;
    colliders.reserve(count);
    for (int i = 0; i < count; ++i) {
        colliders.push_back({i, static_cast<float>(i % 7), static_cast<float>(i % 5), 64, 64});
    }
    return colliders;
}

// A column: every box spans the same x range, none touches another. A sweep on
// x alone would compare every pair.
std::vector<Orvane::ColliderCommand> Column(int count) {
    std::vector<Orvane::ColliderCommand> colliders;
    colliders.reserve(count);
    for (int i = 0; i < count; ++i) {
        colliders.push_back({i, 0, static_cast<float>(i * 20), 16, 16});
    }
    return colliders;
}

template <std::vector<Orvane::ColliderCommand> (*Make)(int)>
void BM_CollisionLayout(benchmark::State& state) {
    const auto colliders = Make(static_cast<int>(state.range(0)));
    Orvane::CollisionTracker tracker;
    for (auto _ : state) {
        benchmark::DoNotOptimize(tracker.Update(colliders));
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK_TEMPLATE(BM_CollisionLayout, Pile)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK_TEMPLATE(BM_CollisionLayout, Column)->Arg(1000)->Arg(10000)->Unit(benchmark::kMillisecond);

} // namespace
