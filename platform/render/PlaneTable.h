// The scene's planes as the GPU reads them: one unsigned-integer RGBA texel
// per slot of the scene cache (its centre's three floats, bit for bit, and
// its material's index), `perRow` to a row, which the vertex shader
// fetches by the slot an instance names. Draw lists then hold slots alone:
// a new order uploads four bytes a plane, and a plane's own data goes up
// once, when it comes into the scene or changes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "platform/render/Gl.h"
#include "platform/render/SceneCache.h"

namespace render {

// Which slots an upload sends: [from, to), into a texture of `rows` rows
// (made anew, every slot sent, when `reallocate`).
struct PlaneUpload {
    std::size_t from = 0, to = 0;
    std::size_t rows = 0;
    bool reallocate = false;
};

class PlaneTable {
public:
    // Planes to a row of the texture.
    static constexpr std::size_t perRow = 1024;

    static PlaneTable make();

    // What bringing a table of `rows` rows that holds `uploadedSlots` slots
    // as they were at `uploadedReshaped` up to `slots` slots at `reshaped`
    // sends: the slots added at the end when nothing else changed, all of
    // them otherwise; rows for twice the slots when they outgrow the table.
    static PlaneUpload needed(std::size_t rows, std::size_t uploadedSlots,
                              std::uint64_t uploadedReshaped, std::size_t slots,
                              std::uint64_t reshaped) {
        PlaneUpload upload;
        upload.rows = rows;
        upload.from = uploadedReshaped == reshaped && slots >= uploadedSlots ? uploadedSlots : 0;
        upload.to = slots;
        const std::size_t wanted = std::max<std::size_t>(1, (slots + perRow - 1) / perRow);
        if (wanted > rows) {
            upload.rows = std::max(wanted, (2 * slots + perRow - 1) / perRow);
            upload.reallocate = true;
            upload.from = 0;
        }
        return upload;
    }

    // Brings the texture up to the cache's entries. Gives whether it sent
    // anything.
    bool upload(const SceneCache& cache);
    GLuint texture() const { return texture_.get(); }

private:
    Texture texture_;
    std::size_t rows_ = 0;
    std::size_t uploadedSlots_ = 0;
    std::uint64_t uploadedEntries_ = ~0ull;
    std::uint64_t uploadedReshaped_ = ~0ull;
};

}  // namespace render
