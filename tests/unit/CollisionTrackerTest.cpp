#include <gtest/gtest.h>

#include "scripting/CollisionTracker.h"

#include <utility>
#include <vector>

namespace {

using Orvane::ColliderCommand;
using Orvane::CollisionTracker;
using Pairs = std::vector<std::pair<int, int>>;

Pairs Update(CollisionTracker& tracker, const std::vector<ColliderCommand>& colliders) {
    Pairs pairs;
    for (const auto& event : tracker.Update(colliders)) {
        pairs.emplace_back(event.entityId, event.otherId);
    }
    return pairs;
}

ColliderCommand Box(int id, float x, float y, float width = 10, float height = 10) {
    return ColliderCommand{id, x, y, width, height};
}

TEST(CollisionTrackerTest, OnlyStrictOverlapCounts) {
    struct Case {
        const char* name;
        ColliderCommand other;
        bool overlaps;
    };
    const ColliderCommand a = Box(1, 0, 0);
    const Case cases[] = {
        {"overlap", Box(2, 5, 5), true},
        {"inside", Box(2, 2, 2, 1, 1), true},
        {"touching right edge", Box(2, 10, 0), false},
        {"touching bottom edge", Box(2, 0, 10), false},
        {"touching left edge", Box(2, -10, 0), false},
        {"touching top edge", Box(2, 0, -10), false},
        {"apart", Box(2, 50, 50), false},
        {"overlap x only", Box(2, 5, 20), false},
        {"zero size inside", Box(2, 5, 5, 0, 0), true},
        {"zero size on the edge", Box(2, 10, 5, 0, 0), false},
        {"same id never collides", Box(1, 5, 5), false},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(test.name);
        CollisionTracker tracker;
        const Pairs expected = test.overlaps ? Pairs{{1, test.other.id}, {test.other.id, 1}} : Pairs{};
        EXPECT_EQ(Update(tracker, {a, test.other}), expected);
    }
}

TEST(CollisionTrackerTest, ReportsOnlyNewContacts) {
    CollisionTracker tracker;
    const std::vector<ColliderCommand> touching = {Box(7, 0, 0), Box(3, 5, 5)};
    EXPECT_EQ(Update(tracker, touching), (Pairs{{7, 3}, {3, 7}}));
    EXPECT_EQ(Update(tracker, touching), Pairs{});
    // The pair key does not depend on list order.
    EXPECT_EQ(Update(tracker, {Box(3, 5, 5), Box(7, 0, 0)}), Pairs{});
    EXPECT_EQ(Update(tracker, {Box(7, 0, 0), Box(3, 50, 50)}), Pairs{});
    EXPECT_EQ(Update(tracker, {Box(3, 5, 5), Box(7, 0, 0)}), (Pairs{{3, 7}, {7, 3}}));
    // A frame without the pair ends the contact.
    EXPECT_EQ(Update(tracker, {}), Pairs{});
    EXPECT_EQ(Update(tracker, touching), (Pairs{{7, 3}, {3, 7}}));
}

TEST(CollisionTrackerTest, EventsFollowListOrderOfPairs) {
    CollisionTracker tracker;
    EXPECT_EQ(Update(tracker, {Box(1, 0, 0), Box(2, 1, 1), Box(3, 2, 2)}),
              (Pairs{{1, 2}, {2, 1}, {1, 3}, {3, 1}, {2, 3}, {3, 2}}));
    // 1 and 3 keep touching, 2 moved away, 4 is new.
    EXPECT_EQ(Update(tracker, {Box(1, 0, 0), Box(2, 100, 0), Box(3, 2, 2), Box(4, 3, 3)}),
              (Pairs{{1, 4}, {4, 1}, {3, 4}, {4, 3}}));
}

TEST(CollisionTrackerTest, KeysKeepSignsAndDigitsApart) {
    CollisionTracker tracker;
    // "1:23" and "12:3" must stay different contacts, and so must -1 and 1.
    EXPECT_EQ(Update(tracker, {Box(1, 0, 0), Box(23, 1, 1)}), (Pairs{{1, 23}, {23, 1}}));
    EXPECT_EQ(Update(tracker, {Box(12, 0, 0), Box(3, 1, 1)}), (Pairs{{12, 3}, {3, 12}}));
    EXPECT_EQ(Update(tracker, {Box(-5, 0, 0), Box(-1, 1, 1)}), (Pairs{{-5, -1}, {-1, -5}}));
    EXPECT_EQ(Update(tracker, {Box(-5, 0, 0), Box(1, 1, 1)}), (Pairs{{-5, 1}, {1, -5}}));
}

TEST(CollisionTrackerTest, AnEntityOfSeveralBoxesReportsOneContact) {
    // Entity 1 with two boxes over entity 2: one contact, reported once.
    CollisionTracker tracker;
    EXPECT_EQ(Update(tracker, {Box(1, 0, 0), Box(1, 4, 4), Box(2, 5, 5)}),
              (Pairs{{1, 2}, {2, 1}}));
    EXPECT_EQ(Update(tracker, {Box(1, 0, 0), Box(1, 4, 4), Box(2, 5, 5)}), Pairs{});
}

} // namespace
