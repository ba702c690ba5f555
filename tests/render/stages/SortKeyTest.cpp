// The blended pass's sort key and the sorts over it, against the standard
// library's sorts of the same items.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "platform/render/SortKey.h"

namespace {

using render::SortItem;

std::vector<SortItem> randomItems(std::size_t count, std::uint32_t depthKeys, unsigned seed) {
    std::mt19937 random(seed);
    std::vector<SortItem> items;
    for (std::size_t slot = 0; slot < count; ++slot)
        items.push_back(static_cast<SortItem>(random() % depthKeys) << 32 | slot);
    return items;
}

TEST(SortKey, FartherDepthsComeFirst) {
    const float depths[] = {-1e30f, -2.5f, -0.0f, 0.0f, 1e-30f, 0.001f, 1.234f, 1000, 1e30f};
    for (std::size_t i = 0; i + 1 < std::size(depths); ++i) {
        SCOPED_TRACE(depths[i]);
        EXPECT_GE(render::farthestFirst(depths[i]), render::farthestFirst(depths[i + 1]));
        if (depths[i] != depths[i + 1]) {
            EXPECT_GT(render::farthestFirst(depths[i]), render::farthestFirst(depths[i + 1]));
        }
    }
    const SortItem item = render::sortItem(2.5f, 77);
    EXPECT_EQ(render::slotOf(item), 77u);
    EXPECT_EQ(render::depthKeyOf(item), render::farthestFirst(2.5f));
}

TEST(SortKey, RadixSortIsAStableSortByDepth) {
    struct Case {
        const char* name;
        std::size_t count;
        std::uint32_t depthKeys;
    };
    const Case cases[] = {{"none", 0, 1},
                          {"one", 1, 1},
                          {"all at one depth", 100, 1},
                          {"few depths", 5000, 7},
                          {"keys across all eleven-bit digits", 20000, 0xFFFFFFFFu}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<SortItem> items = randomItems(c.count, c.depthKeys, 7), scratch;
        std::vector<SortItem> expected = items;
        std::stable_sort(expected.begin(), expected.end(), [](SortItem a, SortItem b) {
            return render::depthKeyOf(a) < render::depthKeyOf(b);
        });
        render::radixSort(items, scratch);
        EXPECT_EQ(items, expected);
    }
}

TEST(SortKey, SortingFromTheLastOrderMovesOnlyWhatChanged) {
    struct Case {
        const char* name;
        std::vector<SortItem> items;
        std::size_t budget;
        bool sorted;
        std::size_t firstMoved, endMoved;
    };
    const Case cases[] = {
        {"in order already", {1ull << 32 | 0, 2ull << 32 | 1, 3ull << 32 | 2}, 0, true, 3, 0},
        {"two neighbours swapped",
         {1ull << 32 | 0, 3ull << 32 | 1, 2ull << 32 | 2, 4ull << 32 | 3},
         1,
         true,
         1,
         3},
        {"equal depths in slot order", {5ull << 32 | 2, 5ull << 32 | 1}, 1, true, 0, 2},
        {"one item far out of place",
         {2ull << 32 | 0, 3ull << 32 | 1, 4ull << 32 | 2, 1ull << 32 | 3},
         3,
         true,
         0,
         4},
        {"beyond the budget",
         {4ull << 32 | 0, 3ull << 32 | 1, 2ull << 32 | 2, 1ull << 32 | 3},
         2,
         false,
         0,
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<SortItem> items = c.items;
        std::size_t first = 99, end = 99;
        EXPECT_EQ(render::resort(items, c.budget, first, end), c.sorted);
        if (!c.sorted) continue;
        std::vector<SortItem> expected = c.items;
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(items, expected);
        EXPECT_EQ(first, c.firstMoved);
        EXPECT_EQ(end, c.endMoved);
    }
}

TEST(SortKey, AddedPlanesMergeIntoTheOrderAsSortingAllOfThemWould) {
    struct Case {
        const char* name;
        std::size_t kept, added;
        std::uint32_t depthKeys;
    };
    const Case cases[] = {{"nothing added", 50, 0, 10},
                          {"into nothing", 0, 30, 10},
                          {"ties with kept planes", 200, 40, 5},
                          {"many", 3000, 500, 1000}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<SortItem> all = randomItems(c.kept + c.added, c.depthKeys, 11);
        std::vector<SortItem> order(all.begin(), all.begin() + static_cast<long>(c.kept));
        std::vector<SortItem> added(all.begin() + static_cast<long>(c.kept), all.end());
        std::sort(order.begin(), order.end());
        std::shuffle(added.begin(), added.end(), std::mt19937(3));
        const std::vector<SortItem> before = order;
        const std::size_t unchanged = render::mergeAdded(order, added);
        std::sort(all.begin(), all.end());
        EXPECT_EQ(order, all);
        ASSERT_LE(unchanged, before.size());
        EXPECT_TRUE(std::equal(before.begin(), before.begin() + static_cast<long>(unchanged),
                               order.begin()));
        if (unchanged < before.size() && c.added > 0) {
            EXPECT_NE(order[unchanged], before[unchanged]);
        }
    }
}

TEST(SortKey, ASeeThroughPhotoDividesTheOrder) {
    // A photo 2 m ahead of the eye at the origin, turned 45 degrees; a
    // sprite nearer along the view than the photo's centre but behind its
    // plane, and one farther but on the eye's side of it.
    const float half = 0.70710678f;
    const std::vector<render::SceneCache::Entry> entries = {
        {{0, 0, -2}, 0},      // the photo
        {{-1, 0, -1.5f}, 0},  // nearer, behind it
        {{1, 0, -2.5f}, 0},   // farther, in front of it
    };
    const std::vector<render::Divider> dividers = {{{0, 0, -2}, {half, 0, half}, 1, 0}};
    std::vector<SortItem> items, scratch;
    for (std::uint32_t slot : {0u, 1u, 2u})
        items.push_back(render::sortItem(-entries[slot].centre.z, slot));
    std::sort(items.begin(), items.end());
    auto slots = [&] {
        std::vector<std::uint32_t> in;
        for (SortItem item : items) in.push_back(render::slotOf(item));
        return in;
    };
    EXPECT_EQ(slots(), (std::vector<std::uint32_t>{2, 0, 1}));
    render::layerByDividers(items, dividers, entries, scratch);
    // What lies behind the photo first, then the photo, then what lies on
    // the eye's side of it.
    EXPECT_EQ(slots(), (std::vector<std::uint32_t>{1, 0, 2}));
    // No divider: the depth order stands.
    render::layerByDividers(items, {}, entries, scratch);
    EXPECT_EQ(slots(), (std::vector<std::uint32_t>{1, 0, 2}));
}

}  // namespace
