#include <gtest/gtest.h>

#include "scripting/CollisionTracker.h"

#include <algorithm>
#include <limits>
#include <random>
#include <set>
#include <string>
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

namespace {

// The pass compares every pair of boxes in list order; the tracker must report
// exactly what that plain pass reports, frame after frame.
Pairs EveryPairReference(std::set<std::string>& previous, const std::vector<ColliderCommand>& boxes) {
    std::set<std::string> current;
    Pairs events;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        for (std::size_t j = i + 1; j < boxes.size(); ++j) {
            const ColliderCommand& a = boxes[i];
            const ColliderCommand& b = boxes[j];
            const bool overlap = a.x < b.x + b.width && b.x < a.x + a.width && a.y < b.y + b.height &&
                                 b.y < a.y + a.height;
            if (a.id == b.id || !overlap) {
                continue;
            }
            const std::string key = std::to_string(std::min(a.id, b.id)) + ":" + std::to_string(std::max(a.id, b.id));
            if (current.insert(key).second && !previous.contains(key)) {
                events.emplace_back(a.id, b.id);
                events.emplace_back(b.id, a.id);
            }
        }
    }
    previous = std::move(current);
    return events;
}

TEST(CollisionTrackerTest, MatchesTheEveryPairPassOnRandomFrames) {
    std::mt19937 random(12345);
    std::uniform_int_distribution<int> coordinate(-40, 40);
    std::uniform_int_distribution<int> size(-8, 24);   // negative and zero sizes too
    std::uniform_int_distribution<int> id(0, 12);
    std::uniform_int_distribution<int> special(0, 40);
    const float oddValues[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                               -std::numeric_limits<float>::infinity(), 0.5f};
    CollisionTracker tracker;
    std::set<std::string> previous;
    for (int frame = 0; frame < 400; ++frame) {
        std::vector<ColliderCommand> boxes;
        const int count = frame % 30;
        for (int n = 0; n < count; ++n) {
            ColliderCommand box = Box(id(random), static_cast<float>(coordinate(random)),
                                      static_cast<float>(coordinate(random)), static_cast<float>(size(random)),
                                      static_cast<float>(size(random)));
            if (special(random) == 0) {
                box.x = oddValues[n % 4];
            }
            if (special(random) == 0) {
                box.width = oddValues[(n + 1) % 4];
            }
            boxes.push_back(box);
        }
        SCOPED_TRACE(frame);
        ASSERT_EQ(Update(tracker, boxes), EveryPairReference(previous, boxes));
    }
}

} // namespace

namespace {

// Larger frames, with many ties (integer edges), flat and flipped boxes: the
// sweep must still find exactly the pairs the every-pair pass finds.
TEST(CollisionTrackerTest, MatchesTheEveryPairPassOnCrowdedFrames) {
    std::mt19937 random(777);
    std::uniform_int_distribution<int> coordinate(0, 30);
    std::uniform_int_distribution<int> size(-6, 12);
    std::uniform_int_distribution<int> id(0, 60);
    CollisionTracker tracker;
    std::set<std::string> previous;
    for (int frame = 0; frame < 60; ++frame) {
        std::vector<ColliderCommand> boxes;
        const int count = 50 + frame * 5;
        for (int n = 0; n < count; ++n) {
            boxes.push_back(Box(id(random), static_cast<float>(coordinate(random)),
                                static_cast<float>(coordinate(random)), static_cast<float>(size(random)),
                                static_cast<float>(size(random))));
        }
        SCOPED_TRACE(frame);
        ASSERT_EQ(Update(tracker, boxes), EveryPairReference(previous, boxes));
        EXPECT_FALSE(tracker.ReachedPairCap());
    }
}

std::vector<ColliderCommand> Pile(int count, int firstId = 0) {
    std::vector<ColliderCommand> boxes;
    for (int i = 0; i < count; ++i) {
        boxes.push_back(Box(firstId + i, static_cast<float>(i % 3), static_cast<float>(i % 4), 50, 50));
    }
    return boxes;
}

TEST(CollisionTrackerTest, PilesUpToTheCapAreExact) {
    // n boxes over one another make n (n - 1) / 2 pairs; 141 boxes: 9,870.
    static_assert(Orvane::maxContactPairsPerFrame >= 141 * 140 / 2);
    CollisionTracker tracker;
    std::set<std::string> previous;
    const auto boxes = Pile(141);
    const Pairs events = Update(tracker, boxes);
    EXPECT_EQ(events.size(), 141u * 140u);
    EXPECT_EQ(events, EveryPairReference(previous, boxes));
    EXPECT_FALSE(tracker.ReachedPairCap());
}

TEST(CollisionTrackerTest, AFrameBeyondTheCapStopsThereAndStaysBounded) {
    CollisionTracker tracker;
    // 2,000 boxes over one another: about two million pairs without the cap.
    const auto boxes = Pile(2000);
    const Pairs first = Update(tracker, boxes);
    EXPECT_TRUE(tracker.ReachedPairCap());
    EXPECT_LE(first.size(), 2 * Orvane::maxContactPairsPerFrame);
    EXPECT_GT(first.size(), 0u);
    // The same pile again: the pairs looked at are the same ones, all known.
    EXPECT_EQ(Update(tracker, boxes), Pairs{});
    EXPECT_TRUE(tracker.ReachedPairCap());
    // Boxes of one entity cost looks too: a pile of one id reaches the cap
    // without a single contact.
    std::vector<ColliderCommand> oneEntity = Pile(2000);
    for (ColliderCommand& box : oneEntity) {
        box.id = 9;
    }
    EXPECT_EQ(Update(tracker, oneEntity), Pairs{});
    EXPECT_TRUE(tracker.ReachedPairCap());
    // A small frame afterwards is exact again and reports its contact as new.
    EXPECT_EQ(Update(tracker, {Box(0, 0, 0), Box(1, 5, 5)}), (Pairs{{0, 1}, {1, 0}}));
    EXPECT_FALSE(tracker.ReachedPairCap());
}

} // namespace

namespace {

// Sizes of zero and more only, and both sparse and crowded layouts: frames that
// the quick pass takes, and frames it hands to the full sweep halfway.
TEST(CollisionTrackerTest, QuickAndFullPassesAgreeWithTheEveryPairPass) {
    std::mt19937 random(4242);
    std::uniform_int_distribution<int> size(0, 16);
    std::uniform_int_distribution<int> id(0, 40);
    CollisionTracker tracker;
    std::set<std::string> previous;
    for (int frame = 0; frame < 80; ++frame) {
        // Narrow worlds make columns: many boxes share a left-edge range.
        std::uniform_int_distribution<int> x(0, frame % 2 == 0 ? 4 : 400);
        std::uniform_int_distribution<int> y(0, 2000);
        std::vector<ColliderCommand> boxes;
        const int count = 20 + frame * 6;
        for (int n = 0; n < count; ++n) {
            boxes.push_back(Box(id(random), static_cast<float>(x(random)), static_cast<float>(y(random)),
                                static_cast<float>(size(random)), static_cast<float>(size(random))));
        }
        SCOPED_TRACE(frame);
        ASSERT_EQ(Update(tracker, boxes), EveryPairReference(previous, boxes));
    }
}

} // namespace
