#include "scripting/CollisionTracker.h"

#include <algorithm>

namespace Orvane {

namespace {

// Touching edges do not count as overlap.
bool Overlaps(const ColliderCommand& a, const ColliderCommand& b) {
    return a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
           b.y < a.y + a.height;
}

std::string PairKey(std::int32_t first, std::int32_t second) {
    return std::to_string(std::min(first, second)) + ":" + std::to_string(std::max(first, second));
}

} // namespace

std::vector<CollisionEvent> CollisionTracker::Update(const std::vector<ColliderCommand>& colliders) {
    std::set<std::string> currentPairs;
    std::vector<CollisionEvent> events;
    for (std::size_t i = 0; i < colliders.size(); ++i) {
        for (std::size_t j = i + 1; j < colliders.size(); ++j) {
            const ColliderCommand& a = colliders[i];
            const ColliderCommand& b = colliders[j];
            if (a.id == b.id || !Overlaps(a, b)) {
                continue;
            }
            std::string key = PairKey(a.id, b.id);
            // An entity made of several boxes touches another once: only the first
            // box pair of a new contact reports it.
            const bool newThisFrame = !previousContacts.contains(key);
            if (currentPairs.insert(std::move(key)).second && newThisFrame) {
                events.push_back({a.id, b.id});
                events.push_back({b.id, a.id});
            }
        }
    }
    previousContacts = std::move(currentPairs);
    return events;
}

} // namespace Orvane
