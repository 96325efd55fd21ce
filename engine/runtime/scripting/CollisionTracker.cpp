#include "scripting/CollisionTracker.h"

#include <algorithm>
#include <cmath>
#include <limits>
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

// A box's extent on each axis as low <= high. A box of negative size overlaps
// only boxes that contain its flipped extent, so the flipped extent finds every
// real overlap and maybe a few more, which the exact test then drops.
struct Extent {
    float left = 0;
    float right = 0;
    float top = 0;
    float bottom = 0;
};

Extent MakeExtent(const ColliderCommand& box) {
    const float right = box.x + box.width;
    const float bottom = box.y + box.height;
    return {std::min(box.x, right), std::max(box.x, right), std::min(box.y, bottom),
            std::max(box.y, bottom)};
}

// The boxes that are open on the sweep line, kept by rank of their top edge: each
// node holds the largest bottom edge below it, so a query walks only into parts
// that hold a box reaching below the query's top edge.
class ActiveBoxes {
public:
    explicit ActiveBoxes(std::size_t count) {
        while (leaves < count) {
            leaves *= 2;
        }
        deepest.assign(2 * leaves, lowest);
    }

    void Set(std::size_t rank, float bottom) {
        std::size_t node = leaves + rank;
        deepest[node] = bottom;
        // Up to the first node whose value stays as it was.
        for (node /= 2; node >= 1; node /= 2) {
            const float value = std::max(deepest[2 * node], deepest[2 * node + 1]);
            if (value == deepest[node]) {
                break;
            }
            deepest[node] = value;
        }
    }

    // Calls found(rank) for each open box of rank below rankLimit whose bottom edge
    // lies below top, while found returns true; false once found said stop.
    template <typename Found>
    bool Query(std::size_t rankLimit, float top, Found&& found) const {
        return rankLimit == 0 || Visit(1, 0, leaves, rankLimit, top, found);
    }

private:
    template <typename Found>
    bool Visit(std::size_t node, std::size_t first, std::size_t end, std::size_t rankLimit, float top,
               Found& found) const {
        if (first >= rankLimit || !(deepest[node] > top)) {
            return true;
        }
        if (node >= leaves) {
            return found(first);
        }
        const std::size_t middle = first + (end - first) / 2;
        return Visit(2 * node, first, middle, rankLimit, top, found) &&
               Visit(2 * node + 1, middle, end, rankLimit, top, found);
    }

    static constexpr float lowest = -std::numeric_limits<float>::infinity();
    std::size_t leaves = 1;
    std::vector<float> deepest;
};

// The quick pass for ordinary frames: sorted by left edge, each box is compared
// with the boxes whose left edge lies before its right edge. Few boxes share a
// column in most games, so this is cheaper than the full sweep; but a column or a
// pile of boxes makes it quadratic, so it gives up (false) after a budget of
// comparisons, and also when a box has a negative size or the pairs reach the cap,
// which the full sweep counts its own way.
bool QuickPairs(const std::vector<ColliderCommand>& colliders, std::vector<std::pair<std::size_t, std::size_t>>& pairs) {
    std::vector<std::size_t> order;
    order.reserve(colliders.size());
    for (std::size_t i = 0; i < colliders.size(); ++i) {
        const ColliderCommand& box = colliders[i];
        if (box.width < 0 || box.height < 0) {
            return false;
        }
        // A NaN edge fails every comparison, so such a box overlaps nothing; it
        // must stay out of the sort, whose ordering it would break.
        if (!std::isnan(box.x) && !std::isnan(box.x + box.width)) {
            order.push_back(i);
        }
    }
    std::sort(order.begin(), order.end(), [&](std::size_t first, std::size_t second) {
        return colliders[first].x != colliders[second].x ? colliders[first].x < colliders[second].x : first < second;
    });
    std::size_t budget = 8 * colliders.size() + 20000;
    std::size_t overlaps = 0;   // with boxes of one entity, as the full sweep counts them
    for (std::size_t k = 0; k < order.size(); ++k) {
        const ColliderCommand& a = colliders[order[k]];
        const float right = a.x + a.width;
        for (std::size_t m = k + 1; m < order.size() && colliders[order[m]].x < right; ++m) {
            if (budget-- == 0) {
                return false;
            }
            const ColliderCommand& b = colliders[order[m]];
            if (Overlaps(a, b)) {
                if (++overlaps >= maxContactPairsPerFrame) {
                    return false;
                }
                if (a.id != b.id) {
                    pairs.emplace_back(std::min(order[k], order[m]), std::max(order[k], order[m]));
                }
            }
        }
    }
    std::sort(pairs.begin(), pairs.end());
    return true;
}

// Index pairs (i < j) of overlapping boxes with different ids, at most
// maxContactPairsPerFrame looked at; reachedCap tells whether the cap stopped it.
// A sweep over the left edges with the open boxes kept by their vertical extent
// finds each pair of overlapping extents in O(log n): O((n + k) log n) for n boxes
// and k pairs, however the boxes lie.
std::vector<std::pair<std::size_t, std::size_t>> OverlappingPairs(
    const std::vector<ColliderCommand>& colliders, bool& reachedCap) {
    reachedCap = false;
    std::vector<std::pair<std::size_t, std::size_t>> pairs;
    if (QuickPairs(colliders, pairs)) {
        return pairs;
    }
    pairs.clear();
    std::vector<Extent> extents;
    std::vector<std::size_t> boxes;   // indexes of boxes that can overlap anything
    extents.reserve(colliders.size());
    for (std::size_t i = 0; i < colliders.size(); ++i) {
        const Extent extent = MakeExtent(colliders[i]);
        extents.push_back(extent);
        // A NaN edge fails every comparison, so such a box overlaps nothing; it
        // must stay out of the sorts, whose ordering it would break.
        if (!std::isnan(extent.left) && !std::isnan(extent.right) && !std::isnan(extent.top) &&
            !std::isnan(extent.bottom)) {
            boxes.push_back(i);
        }
    }

    // Sorted as (key, index) records: sorting plain values is several times faster
    // than sorting indexes through the boxes.
    struct Keyed {
        float key;
        std::uint32_t flat;   // sweep order only: 0 for a box of zero width
        std::uint32_t index;
    };
    const auto sortedBy = [&](auto key, auto flat) {
        std::vector<Keyed> records;
        records.reserve(boxes.size());
        for (const std::size_t i : boxes) {
            records.push_back({key(extents[i]), flat(extents[i]), static_cast<std::uint32_t>(i)});
        }
        std::sort(records.begin(), records.end(), [](const Keyed& a, const Keyed& b) {
            if (a.key != b.key) {
                return a.key < b.key;
            }
            return a.flat != b.flat ? a.flat < b.flat : a.index < b.index;
        });
        return records;
    };
    const auto none = [](const Extent&) { return std::uint32_t{0}; };
    // Sweep order: by left edge; at one left edge the boxes of zero width come
    // first, so they never meet a wider box that opens at the same point.
    const std::vector<Keyed> byLeft = sortedBy([](const Extent& e) { return e.left; },
                                               [](const Extent& e) { return std::uint32_t{e.left < e.right}; });
    const std::vector<Keyed> byRight = sortedBy([](const Extent& e) { return e.right; }, none);
    const std::vector<Keyed> byTop = sortedBy([](const Extent& e) { return e.top; }, none);
    std::vector<std::uint32_t> topRank(colliders.size());
    for (std::size_t rank = 0; rank < byTop.size(); ++rank) {
        topRank[byTop[rank].index] = static_cast<std::uint32_t>(rank);
    }

    ActiveBoxes active(byTop.size());
    std::size_t looked = 0;
    std::size_t closing = 0;
    for (const Keyed& opening : byLeft) {
        const std::size_t current = opening.index;
        const Extent& extent = extents[current];
        // Boxes whose right edge lies at or before this left edge are behind the line.
        while (closing < byRight.size() && byRight[closing].key <= extent.left) {
            active.Set(topRank[byRight[closing].index], -std::numeric_limits<float>::infinity());
            ++closing;
        }
        const std::size_t rankLimit = static_cast<std::size_t>(
            std::partition_point(byTop.begin(), byTop.end(),
                                 [&](const Keyed& top) { return top.key < extent.bottom; }) -
            byTop.begin());
        const bool complete = active.Query(rankLimit, extent.top, [&](std::size_t rank) {
            // Boxes of one entity, and flipped extents that do not really overlap,
            // cost a look all the same, so they count.
            if (looked == maxContactPairsPerFrame) {
                reachedCap = true;
                return false;
            }
            ++looked;
            const std::size_t other = byTop[rank].index;
            if (colliders[other].id != colliders[current].id && Overlaps(colliders[other], colliders[current])) {
                pairs.emplace_back(std::min(other, current), std::max(other, current));
            }
            return true;
        });
        if (!complete) {
            break;
        }
        if (extent.left < extent.right) {
            active.Set(topRank[current], extent.bottom);
        }
    }
    std::sort(pairs.begin(), pairs.end());
    return pairs;
}

} // namespace

std::vector<CollisionEvent> CollisionTracker::Update(const std::vector<ColliderCommand>& colliders) {
    const auto pairs = OverlappingPairs(colliders, reachedPairCap);

    // An entity made of several boxes touches another once: only the first box
    // pair (in list order) of a contact counts, and only a contact that is new.
    struct Contact {
        PairKey key;
        std::size_t firstPair;
    };
    std::vector<Contact> contacts;
    contacts.reserve(pairs.size());
    for (std::size_t n = 0; n < pairs.size(); ++n) {
        contacts.push_back({MakePairKey(colliders[pairs[n].first].id, colliders[pairs[n].second].id), n});
    }
    std::sort(contacts.begin(), contacts.end(), [](const Contact& a, const Contact& b) {
        return a.key != b.key ? a.key < b.key : a.firstPair < b.firstPair;
    });
    contacts.erase(std::unique(contacts.begin(), contacts.end(),
                               [](const Contact& a, const Contact& b) { return a.key == b.key; }),
                   contacts.end());

    std::vector<PairKey> currentContacts;
    currentContacts.reserve(contacts.size());
    std::vector<std::size_t> newPairs;
    for (const Contact& contact : contacts) {
        currentContacts.push_back(contact.key);
        if (!std::binary_search(previousContacts.begin(), previousContacts.end(), contact.key)) {
            newPairs.push_back(contact.firstPair);
        }
    }
    std::sort(newPairs.begin(), newPairs.end());

    std::vector<CollisionEvent> events;
    events.reserve(2 * newPairs.size());
    for (const std::size_t n : newPairs) {
        const ColliderCommand& a = colliders[pairs[n].first];
        const ColliderCommand& b = colliders[pairs[n].second];
        events.push_back({a.id, b.id});
        events.push_back({b.id, a.id});
    }
    previousContacts = std::move(currentContacts);
    return events;
}

} // namespace Orvane
