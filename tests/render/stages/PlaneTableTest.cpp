// What the plane table sends as the scene's planes change: the planes added
// at the end alone while nothing else changed, everything otherwise, and a
// texture of twice the planes' rows when they outgrow it.
#include <gtest/gtest.h>

#include "platform/render/PlaneTable.h"

namespace {

using render::PlaneTable;

TEST(PlaneTable, SendsWhatChangedAndGrowsToTwiceThePlanes) {
    constexpr std::size_t row = PlaneTable::perRow;
    struct Case {
        const char* name;
        std::size_t rows, uploadedSlots;
        std::uint64_t uploadedReshaped;
        std::size_t slots;
        std::uint64_t reshaped;
        std::size_t from, to, newRows;
        bool reallocate;
    };
    const Case cases[] = {
        {"the first planes: a row at least", 0, 0, ~0ull, 10, 1, 0, 10, 1, true},
        {"no planes yet: one row", 0, 0, ~0ull, 0, 1, 0, 0, 1, true},
        {"planes added within the rows", 1, 10, 1, 300, 1, 10, 300, 1, false},
        {"planes added up to the last texel", 1, 300, 1, row, 1, 300, row, 1, false},
        {"one past it: rows for twice the planes, all sent", 1, row, 1, row + 1, 1, 0, row + 1, 3,
         true},
        {"reshaped: all sent again", 4, 2000, 1, 2000, 2, 0, 2000, 4, false},
        {"fewer planes: all sent again", 4, 2000, 2, 1500, 2, 0, 1500, 4, false},
        {"nothing changed: nothing sent", 2, 1500, 2, 1500, 2, 1500, 1500, 2, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const render::PlaneUpload upload =
            PlaneTable::needed(c.rows, c.uploadedSlots, c.uploadedReshaped, c.slots, c.reshaped);
        EXPECT_EQ(upload.from, c.from);
        EXPECT_EQ(upload.to, c.to);
        EXPECT_EQ(upload.rows, c.newRows);
        EXPECT_EQ(upload.reallocate, c.reallocate);
        EXPECT_GE(upload.rows * row, c.slots);
    }
}

}  // namespace
