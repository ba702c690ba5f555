// The scene's materials as the GPU reads them: each material's picture
// resolved to where it lies in which texture, with its coverage, and one
// row of a float texture (the material table) per 256 materials, which the
// vertex shader reads by a plane's material index. Also the facts that
// ordering needs of each material.
#pragma once

#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/render/Gl.h"
#include "platform/render/PictureCoverage.h"
#include "platform/render/SceneCache.h"
#include "platform/render/SceneItems.h"
#include "platform/render/TextureCache.h"

namespace render {

class MaterialTable {
public:
    static MaterialTable make();

    // Where each material's picture lies now, uploading pictures the
    // texture cache does not hold. Gives whether any material's place
    // changed; `runsBroken` becomes true when a material's picture moved to
    // another texture, which breaks the runs it is drawn in.
    bool resolve(const SceneCache& cache, TextureCache& textures, bool& runsBroken);
    // The table's texture made again when the materials changed since it
    // was; whether it was.
    bool upload(const SceneCache& cache, bool changed);
    // What ordering needs of each material, read again.
    void readFacts(const SceneCache& cache);

    const std::vector<MaterialFacts>& facts() const { return facts_; }
    // Per material, its picture's coverage where its quad is cut to what
    // shows (an upright picture square to the screen); none elsewhere.
    const std::vector<const PictureCoverage*>& coverage() const { return coverage_; }
    GLuint texture() const { return texture_.get(); }

private:
    struct Resolved {
        TextureSlot slot;
        std::shared_ptr<const PictureCoverage> coverage;
    };
    struct KnownPicture {
        std::weak_ptr<const graphics::Bitmap> bitmap;
        std::shared_ptr<const PictureCoverage> coverage;
    };

    std::shared_ptr<const PictureCoverage> coverageOf(
        const std::shared_ptr<const graphics::Bitmap>& bitmap);

    Texture texture_;
    std::vector<Resolved> resolved_;
    std::vector<MaterialFacts> facts_;
    std::vector<const PictureCoverage*> coverage_;
    std::uint64_t uploaded_ = ~0ull;
    // Each picture's coverage, worked out once for as long as it lives.
    std::unordered_map<const graphics::Bitmap*, KnownPicture> pictures_;
};

}  // namespace render
