#include "scripting/CollisionTracker.h"

#include "scripting/RadixSort.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <utility>

namespace Orvane {

namespace {

using FloatKeyed = KeyedIndex<std::uint32_t>;
using IndexPair = std::pair<std::size_t, std::size_t>;

// Index pairs in order, by a radix sort of both indexes in one key.
void SortPairs(std::vector<IndexPair>& pairs) {
    std::vector<KeyedIndex<std::uint64_t>> records;
    records.reserve(pairs.size());
    for (const IndexPair& pair : pairs) {
        records.push_back({(std::uint64_t{pair.first} << 32) | pair.second, 0});
    }
    std::vector<KeyedIndex<std::uint64_t>> scratch;
    StableRadixSort(records, scratch);
    for (std::size_t n = 0; n < pairs.size(); ++n) {
        pairs[n] = {static_cast<std::size_t>(records[n].key >> 32),
                    static_cast<std::size_t>(records[n].key & 0xFFFFFFFFu)};
    }
}

CollisionTracker::PairKey MakePairKey(std::int32_t first, std::int32_t second) {
    return {std::min(first, second), std::max(first, second)};
}

// A contact as one number that orders as its key does, for the radix sort, and back.
std::uint64_t ContactBits(const CollisionTracker::PairKey& key) {
    return (std::uint64_t{SortableIntBits(key.first)} << 32) | SortableIntBits(key.second);
}

CollisionTracker::PairKey ContactOf(std::uint64_t bits) {
    const auto id = [](std::uint32_t sortable) { return std::bit_cast<std::int32_t>(sortable ^ 0x80000000u); };
    return {id(static_cast<std::uint32_t>(bits >> 32)), id(static_cast<std::uint32_t>(bits))};
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

// A box as the passes read it, with its far edges worked out once: the passes
// walk boxes in sorted order, and reading them from one array in that order keeps
// the walk in the cache.
struct Placed {
    float left = 0;
    float right = 0;
    float top = 0;
    float bottom = 0;
    std::int32_t id = 0;
    std::uint32_t index = 0;
};

Placed Place(const ColliderCommand& box, std::uint32_t index) {
    return {box.x, box.x + box.width, box.y, box.y + box.height, box.id, index};
}

// Touching edges do not count as overlap.
bool PlacedOverlap(const Placed& a, const Placed& b) {
    return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

bool Overlaps(const ColliderCommand& a, const ColliderCommand& b) { return PlacedOverlap(Place(a, 0), Place(b, 0)); }

// The quick pass for ordinary frames: sorted by left edge, each box is compared
// with the boxes whose left edge lies before its right edge. Few boxes share a
// column in most games, so this is cheaper than the full sweep; but a column or a
// pile of boxes makes it quadratic, so it gives up (false) after a budget of
// comparisons, and also when a box has a negative size or the pairs reach the cap,
// which the full sweep counts its own way.
bool QuickPairs(const std::vector<ColliderCommand>& colliders, std::vector<IndexPair>& pairs,
                std::vector<FloatKeyed>& records, std::vector<FloatKeyed>& scratch) {
    records.clear();
    for (std::size_t i = 0; i < colliders.size(); ++i) {
        const ColliderCommand& box = colliders[i];
        if (box.width < 0 || box.height < 0) {
            return false;
        }
        // A NaN edge fails every comparison, so such a box overlaps nothing; it
        // must stay out of the sort, which has no place for it.
        if (!std::isnan(box.x) && !std::isnan(box.x + box.width)) {
            records.push_back({SortableFloatBits(box.x), static_cast<std::uint32_t>(i)});
        }
    }
    // By left edge, boxes of one left edge in list order.
    StableRadixSort(records, scratch);
    std::vector<Placed> sorted;
    sorted.reserve(records.size());
    for (const FloatKeyed& record : records) {
        sorted.push_back(Place(colliders[record.index], record.index));
    }
    std::size_t budget = 8 * colliders.size() + 20000;
    std::size_t overlaps = 0;   // with boxes of one entity, as the full sweep counts them
    for (std::size_t k = 0; k < sorted.size(); ++k) {
        const Placed& a = sorted[k];
        for (std::size_t m = k + 1; m < sorted.size() && sorted[m].left < a.right; ++m) {
            if (budget-- == 0) {
                return false;
            }
            const Placed& b = sorted[m];
            if (PlacedOverlap(a, b)) {
                if (++overlaps >= maxContactPairsPerFrame) {
                    return false;
                }
                if (a.id != b.id) {
                    pairs.emplace_back(std::min(a.index, b.index), std::max(a.index, b.index));
                }
            }
        }
    }
    SortPairs(pairs);
    return true;
}

// Index pairs (i < j) of overlapping boxes with different ids, at most
// maxContactPairsPerFrame looked at; reachedCap tells whether the cap stopped it.
// A sweep over the left edges with the open boxes kept by their vertical extent
// finds each pair of overlapping extents in O(log n): O((n + k) log n) for n boxes
// and k pairs, however the boxes lie.
std::vector<IndexPair> OverlappingPairs(
    const std::vector<ColliderCommand>& colliders, bool& reachedCap) {
    reachedCap = false;
    std::vector<IndexPair> pairs;
    std::vector<FloatKeyed> records;
    std::vector<FloatKeyed> scratch;
    records.reserve(colliders.size());
    if (QuickPairs(colliders, pairs, records, scratch)) {
        return pairs;
    }
    pairs.clear();
    std::vector<Extent> extents;
    std::vector<std::uint32_t> boxes;   // indexes of boxes that can overlap anything
    extents.reserve(colliders.size());
    for (std::size_t i = 0; i < colliders.size(); ++i) {
        const Extent extent = MakeExtent(colliders[i]);
        extents.push_back(extent);
        // A NaN edge fails every comparison, so such a box overlaps nothing; it
        // must stay out of the sorts, which have no place for it.
        if (!std::isnan(extent.left) && !std::isnan(extent.right) && !std::isnan(extent.top) &&
            !std::isnan(extent.bottom)) {
            boxes.push_back(static_cast<std::uint32_t>(i));
        }
    }

    // Box indexes ordered by one edge, boxes of one edge in the order given.
    const auto sortedBy = [&](auto edge, auto&& given) {
        records.clear();
        given([&](std::uint32_t i) { records.push_back({SortableFloatBits(edge(extents[i])), i}); });
        StableRadixSort(records, scratch);
        std::vector<std::uint32_t> order;
        order.reserve(records.size());
        for (const FloatKeyed& record : records) {
            order.push_back(record.index);
        }
        return order;
    };
    const auto inListOrder = [&](auto add) {
        for (const std::uint32_t i : boxes) {
            add(i);
        }
    };
    // Sweep order: by left edge; at one left edge the boxes of zero width come
    // first, so they never meet a wider box that opens at the same point.
    const auto flatFirst = [&](auto add) {
        for (const bool wide : {false, true}) {
            for (const std::uint32_t i : boxes) {
                if ((extents[i].left < extents[i].right) == wide) {
                    add(i);
                }
            }
        }
    };
    const std::vector<std::uint32_t> byLeft = sortedBy([](const Extent& e) { return e.left; }, flatFirst);
    const std::vector<std::uint32_t> byRight = sortedBy([](const Extent& e) { return e.right; }, inListOrder);
    const std::vector<std::uint32_t> byTop = sortedBy([](const Extent& e) { return e.top; }, inListOrder);
    std::vector<std::uint32_t> topRank(colliders.size());
    std::vector<float> topsByRank(byTop.size());
    for (std::size_t rank = 0; rank < byTop.size(); ++rank) {
        topRank[byTop[rank]] = static_cast<std::uint32_t>(rank);
        topsByRank[rank] = extents[byTop[rank]].top;
    }

    ActiveBoxes active(byTop.size());
    std::size_t looked = 0;
    std::size_t closing = 0;
    for (const std::uint32_t current : byLeft) {
        const Extent& extent = extents[current];
        // Boxes whose right edge lies at or before this left edge are behind the line.
        while (closing < byRight.size() && extents[byRight[closing]].right <= extent.left) {
            active.Set(topRank[byRight[closing]], -std::numeric_limits<float>::infinity());
            ++closing;
        }
        const std::size_t rankLimit = static_cast<std::size_t>(
            std::lower_bound(topsByRank.begin(), topsByRank.end(), extent.bottom) - topsByRank.begin());
        const bool complete = active.Query(rankLimit, extent.top, [&](std::size_t rank) {
            // Boxes of one entity, and flipped extents that do not really overlap,
            // cost a look all the same, so they count.
            if (looked == maxContactPairsPerFrame) {
                reachedCap = true;
                return false;
            }
            ++looked;
            const std::size_t other = byTop[rank];
            if (colliders[other].id != colliders[current].id && Overlaps(colliders[other], colliders[current])) {
                pairs.emplace_back(std::min<std::size_t>(other, current), std::max<std::size_t>(other, current));
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
    SortPairs(pairs);
    return pairs;
}

} // namespace

std::vector<CollisionEvent> CollisionTracker::Update(const std::vector<ColliderCommand>& colliders) {
    const auto pairs = OverlappingPairs(colliders, reachedPairCap);

    // An entity made of several boxes touches another once: only the first box
    // pair (in list order) of a contact counts, and only a contact that is new.
    // Keyed by (smaller id, larger id); the sort keeps a contact's pairs in list
    // order, so its first record is its first pair.
    std::vector<KeyedIndex<std::uint64_t>> contacts;
    contacts.reserve(pairs.size());
    for (std::size_t n = 0; n < pairs.size(); ++n) {
        contacts.push_back({ContactBits(MakePairKey(colliders[pairs[n].first].id, colliders[pairs[n].second].id)),
                            static_cast<std::uint32_t>(n)});
    }
    std::vector<KeyedIndex<std::uint64_t>> scratch;
    StableRadixSort(contacts, scratch);

    std::vector<PairKey> currentContacts;
    currentContacts.reserve(contacts.size());
    std::vector<std::size_t> newPairs;
    auto previous = previousContacts.begin();   // both in key order: one walk
    for (std::size_t n = 0; n < contacts.size(); ++n) {
        if (n > 0 && contacts[n].key == contacts[n - 1].key) {
            continue;
        }
        const std::size_t first = contacts[n].index;
        const PairKey key = ContactOf(contacts[n].key);
        currentContacts.push_back(key);
        while (previous != previousContacts.end() && *previous < key) {
            ++previous;
        }
        if (previous == previousContacts.end() || *previous != key) {
            newPairs.push_back(first);
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
