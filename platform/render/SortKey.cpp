#include "platform/render/SortKey.h"

#include <algorithm>
#include <array>
#include <utility>

#include "platform/Bits.h"

namespace render {

std::uint32_t farthestFirst(float depth) {
    std::uint32_t bits = platform::bitCast<std::uint32_t>(depth);
    bits ^= (bits >> 31) != 0 ? 0xFFFFFFFFu : 0x80000000u;
    return ~bits;
}

void radixSort(std::vector<SortItem>& items, std::vector<SortItem>& scratch) {
    // Three digits of eleven bits, counted in one pass over the items.
    constexpr int digits = 3, bits = 11;
    constexpr std::size_t buckets = std::size_t{1} << bits;
    std::array<std::array<std::uint32_t, buckets>, digits> counts{};
    for (SortItem item : items)
        for (int d = 0; d < digits; ++d) ++counts[d][(item >> (32 + bits * d)) & (buckets - 1)];
    scratch.resize(items.size());
    for (int d = 0; d < digits; ++d) {
        const int shift = 32 + bits * d;
        auto& count = counts[d];
        // A digit that all the items share leaves their order as it is
        // (depths within one power of two share their highest bits).
        if (items.empty() || count[(items[0] >> shift) & (buckets - 1)] == items.size()) continue;
        std::uint32_t place = 0;
        for (std::uint32_t& c : count) place += std::exchange(c, place);
        for (SortItem item : items) scratch[count[(item >> shift) & (buckets - 1)]++] = item;
        items.swap(scratch);
    }
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
