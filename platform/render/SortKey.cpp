#include "platform/render/SortKey.h"

#include <algorithm>
#include <array>
#include <utility>

namespace render {

namespace {

// One stable pass of a radix sort: `items` by the digit at `shift`, whose
// values `count` counts, into `scratch`, then swapped. Nothing moves when
// every item has the same digit.
void sortByDigit(std::vector<SortItem>& items, std::vector<SortItem>& scratch,
                 std::array<std::uint32_t, DigitCounts::buckets>& count, int shift) {
    constexpr std::size_t mask = DigitCounts::buckets - 1;
    if (items.empty() || count[(items[0] >> shift) & mask] == items.size()) return;
    std::uint32_t place = 0;
    for (std::uint32_t& c : count) place += std::exchange(c, place);
    scratch.resize(items.size());
    const SortItem* from = items.data();
    SortItem* to = scratch.data();
    for (std::size_t i = 0, n = items.size(); i < n; ++i) {
        const SortItem item = from[i];
        to[count[(item >> shift) & mask]++] = item;
    }
    items.swap(scratch);
}

}  // namespace

void radixSort(std::vector<SortItem>& items, std::vector<SortItem>& scratch, DigitCounts& counts) {
    constexpr int bits = DigitCounts::bits;
    sortByDigit(items, scratch, counts.digit(0), 32);
    sortByDigit(items, scratch, counts.digit(1), 32 + bits);
    if (counts.highestShared()) return;
    std::array<std::uint32_t, DigitCounts::buckets> highest{};
    for (SortItem item : items) ++highest[item >> (32 + 2 * bits)];
    sortByDigit(items, scratch, highest, 32 + 2 * bits);
}

void radixSort(std::vector<SortItem>& items, std::vector<SortItem>& scratch) {
    DigitCounts counts;
    for (SortItem item : items) counts.add(depthKeyOf(item));
    radixSort(items, scratch, counts);
}

bool resort(std::vector<SortItem>& items, std::size_t budget, std::size_t& firstMoved,
            std::size_t& endMoved) {
    firstMoved = items.size();
    endMoved = 0;
    // Each item less than the one before it moves at least one place: a
    // pass over them tells at once when the budget cannot do.
    std::size_t descents = 0;
    for (std::size_t i = 1; i < items.size(); ++i) descents += items[i] < items[i - 1] ? 1 : 0;
    if (descents > budget) return false;
    std::size_t moves = 0;
    for (std::size_t i = 1; i < items.size(); ++i) {
        const SortItem item = items[i];
        if (!(item < items[i - 1])) continue;
        std::size_t j = i;
        while (j > 0 && item < items[j - 1]) {
            items[j] = items[j - 1];
            --j;
        }
        items[j] = item;
        firstMoved = std::min(firstMoved, j);
        endMoved = i + 1;
        moves += i - j;
        if (moves > budget) return false;
    }
    return true;
}

std::size_t mergeAdded(std::vector<SortItem>& order, std::vector<SortItem>& added) {
    std::sort(added.begin(), added.end());
    std::size_t kept = order.size(), left = added.size(), out = kept + left;
    order.resize(out);
    // From the end: the kept item goes first between equal depths.
    while (left > 0) {
        --out;
        if (kept > 0 && depthKeyOf(order[kept - 1]) > depthKeyOf(added[left - 1]))
            order[out] = order[--kept];
        else
            order[out] = added[--left];
    }
    return out;
}

void layerByDividers(std::vector<SortItem>& items, const std::vector<Divider>& dividers,
                     const std::vector<SceneCache::Entry>& entries,
                     std::vector<SortItem>& scratch) {
    if (dividers.empty()) return;
    auto layerOf = [&](std::uint32_t slot) {
        std::uint32_t layer = 0;
        bool divider = false;
        for (const Divider& d : dividers) {
            if (d.slot == slot) {
                divider = true;
                continue;
            }
            if (scene::dot(d.normal, entries[slot].centre - d.centre) * d.eyeSide > 0) layer += 2;
        }
        return divider ? layer + 1 : layer;
    };
    std::vector<std::uint32_t> layers(items.size());
    std::uint32_t most = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        layers[i] = layerOf(slotOf(items[i]));
        most = std::max(most, layers[i]);
    }
    // A stable counting sort by layer keeps depth order within each.
    std::vector<std::size_t> counts(most + 2, 0);
    for (std::uint32_t layer : layers) ++counts[layer + 1];
    for (std::size_t i = 1; i < counts.size(); ++i) counts[i] += counts[i - 1];
    scratch.resize(items.size());
    for (std::size_t i = 0; i < items.size(); ++i) scratch[counts[layers[i]]++] = items[i];
    items.swap(scratch);
}

}  // namespace render
