#pragma once
#include "scripting/FrameSnapshot.h"

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

namespace Orvane {

struct CollisionEvent {
    std::int32_t entityId = 0;
    std::int32_t otherId = 0;
};

// Reports pairs of entities whose boxes started to overlap since the last Update.
class CollisionTracker {
public:
    // Two entity ids in contact: (smaller id, larger id).
    using PairKey = std::pair<std::int32_t, std::int32_t>;

    std::vector<CollisionEvent> Update(const std::vector<ColliderCommand>& colliders);

private:
    // Entity pairs in contact in the last complete frame.
    std::set<PairKey> previousContacts;
};

} // namespace Orvane
