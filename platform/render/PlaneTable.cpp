#include "platform/render/PlaneTable.h"

#include <algorithm>
#include <cstddef>

namespace render {

static_assert(sizeof(SceneCache::Entry) == 4 * sizeof(std::uint32_t) &&
                  offsetof(SceneCache::Entry, look) == 3 * sizeof(float),
              "a plane's texel is its centre's three floats and its material's index");

PlaneTable PlaneTable::make() {
    PlaneTable table;
    table.texture_ = makeTableTexture();
    return table;
}

bool PlaneTable::upload(const SceneCache& cache) {
    if (uploadedEntries_ == cache.entriesGeneration()) return false;
    const auto& entries = cache.entries();
    const PlaneUpload upload = needed(rows_, uploadedSlots_, uploadedReshaped_, entries.size(),
                                      cache.reshapedGeneration());
    uploadedEntries_ = cache.entriesGeneration();
    uploadedReshaped_ = cache.reshapedGeneration();
    uploadedSlots_ = entries.size();
    glBindTexture(GL_TEXTURE_2D, texture_.get());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (upload.reallocate) {
        rows_ = upload.rows;
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32UI, perRow, static_cast<GLsizei>(rows_), 0,
                     GL_RGBA_INTEGER, GL_UNSIGNED_INT, nullptr);
    }
    // Whole rows where they can be, the first and last partly.
    for (std::size_t from = upload.from; from < upload.to;) {
        const std::size_t row = from / perRow, column = from % perRow;
        std::size_t count = std::min(upload.to - from, perRow - column);
        std::size_t rows = 1;
        if (column == 0 && count == perRow) {
            rows = (upload.to - from) / perRow;
            count = perRow;
        }
        glTexSubImage2D(GL_TEXTURE_2D, 0, static_cast<GLint>(column), static_cast<GLint>(row),
                        static_cast<GLsizei>(count), static_cast<GLsizei>(rows), GL_RGBA_INTEGER,
                        GL_UNSIGNED_INT, entries.data() + from);
        from += rows == 1 ? count : rows * perRow;
    }
    return upload.from < upload.to || upload.reallocate;
}

}  // namespace render
