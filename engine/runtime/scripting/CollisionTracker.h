#pragma once
#include "scripting/FrameSnapshot.h"

#include <cstdint>
#include <set>
#include <string>
#include <vector>

namespace Orvane {

struct CollisionEvent {
    std::int32_t entityId = 0;
    std::int32_t otherId = 0;
};

// Reports pairs of entities whose boxes started to overlap since the last Update.
class CollisionTracker {
public:
    std::vector<CollisionEvent> Update(const std::vector<ColliderCommand>& colliders);

private:
    std::set<std::string> previousContacts;   // "smallerId:largerId"
};

} // namespace Orvane
