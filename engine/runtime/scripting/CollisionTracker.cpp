#include "scripting/CollisionTracker.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace Orvane {

namespace {

// Touching edges do not count as overlap.
bool Overlaps(const ColliderCommand& a, const ColliderCommand& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

CollisionTracker::PairKey MakePairKey(std::int32_t first, std::int32_t second) {
    return {std::min(first, second), std::max(first, second)};
}

// Index pairs (i < j) of overlapping boxes with different ids, in list order.
// Sweep over the boxes sorted by left edge: a box can only overlap the boxes whose
// left edge lies before its right edge, so a frame of thousands of colliders costs
// far less than comparing every pair.
std::vector<std::pair<std::size_t, std::size_t>> OverlappingPairs(
    const std::vector<ColliderCommand>& colliders) {
    std::vector<std::size_t> order;
    order.reserve(colliders.size());
    for (std::size_t i = 0; i < colliders.size(); ++i) {
        // A NaN edge fails every comparison, so such a box overlaps nothing; it
        // must stay out of the sort, whose ordering it would break.
        if (!std::isnan(colliders[i].x) && !std::isnan(colliders[i].x + colliders[i].width)) {
            order.push_back(i);
        }
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t first, std::size_t second) {
        return colliders[first].x < colliders[second].x;
    });

    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    for (std::size_t k = 0; k < order.size(); ++k) {
        const ColliderCommand& a = colliders[order[k]];
        const float right = a.x + a.width;
        for (std::size_t m = k + 1; m < order.size() && colliders[order[m]].x < right; ++m) {
            const ColliderCommand& b = colliders[order[m]];
            if (a.id != b.id && Overlaps(a, b)) {
                pairs.emplace_back(std::min(order[k], order[m]), std::max(order[k], order[m]));
            }
        }
    }
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

} // namespace

std::vector<CollisionEvent> CollisionTracker::Update(const std::vector<ColliderCommand>& colliders) {
    std::set<PairKey> currentPairs;
    std::vector<CollisionEvent> events;
    for (const auto& [i, j] : OverlappingPairs(colliders)) {
        const ColliderCommand& a = colliders[i];
        const ColliderCommand& b = colliders[j];
        const PairKey key = MakePairKey(a.id, b.id);
        // An entity made of several boxes touches another once: only the first
        // box pair of a new contact reports it.
        const bool newThisFrame = !previousContacts.contains(key);
        if (currentPairs.insert(key).second && newThisFrame) {
            events.push_back({a.id, b.id});
            events.push_back({b.id, a.id});
        }
    }
    previousContacts = std::move(currentPairs);
    return events;
}

} // namespace Orvane
