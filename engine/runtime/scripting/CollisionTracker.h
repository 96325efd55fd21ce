#pragma once
#include "scripting/FrameSnapshot.h"

#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace Orvane {

struct CollisionEvent {
    std::int32_t entityId = 0;
    std::int32_t otherId = 0;
};

// Most overlapping box pairs one Update looks at. Thousands of boxes piled on one
// another would otherwise make millions of pairs (and as many events) per frame;
// past the cap the rest of the frame's pairs are not looked at.
inline constexpr std::size_t maxContactPairsPerFrame = 10000;

// Reports pairs of entities whose boxes started to overlap since the last Update.
class CollisionTracker {
public:
    // Two entity ids in contact: (smaller id, larger id).
    using PairKey = std::pair<std::int32_t, std::int32_t>;

    std::vector<CollisionEvent> Update(const std::vector<ColliderCommand>& colliders);

    // True when the last Update stopped at maxContactPairsPerFrame.
    bool ReachedPairCap() const { return reachedPairCap; }

private:
    // Entity pairs in contact in the last complete frame, sorted.
    std::vector<PairKey> previousContacts;
    bool reachedPairCap = false;
};

} // namespace Orvane
