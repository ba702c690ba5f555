#include "platform/render/MaterialTable.h"

#include <algorithm>
#include <iterator>

#include "platform/Precondition.h"
#include "platform/render/ImageMapping.h"
#include "platform/render/SceneShader.h"

namespace render {

namespace {

float facingCode(Look::Facing facing) {
    switch (facing) {
        case Look::Facing::fixed: return 0;
        case Look::Facing::camera: return 1;
        case Look::Facing::upright: return 2;
    }
    platform::unreachable("facingCode");
}

bool samePlace(const TextureSlot& a, const TextureSlot& b) {
    return a.texture == b.texture && a.u0 == b.u0 && a.v0 == b.v0 && a.u1 == b.u1 && a.v1 == b.v1;
}

}  // namespace

MaterialTable MaterialTable::make() {
    MaterialTable table;
    table.texture_ = makeTableTexture();
    return table;
}

std::shared_ptr<const PictureCoverage> MaterialTable::coverageOf(
    const std::shared_ptr<const graphics::Bitmap>& bitmap) {
    auto known = pictures_.find(bitmap.get());
    if (known != pictures_.end() && known->second.bitmap.lock() == bitmap)
        return known->second.coverage;
    auto coverage = std::make_shared<const PictureCoverage>(PictureCoverage::of(*bitmap));
    pictures_[bitmap.get()] = {bitmap, coverage};
    return coverage;
}

bool MaterialTable::resolve(const SceneCache& cache, TextureCache& textures, bool& runsBroken) {
    const auto& looks = cache.looks();
    bool changed = resolved_.size() != looks.size();
    resolved_.resize(looks.size());
    for (std::size_t i = 0; i < looks.size(); ++i) {
        if (looks[i].users == 0) continue;
        const Look& look = looks[i].look;
        TextureSlot slot{textures.white(), 0, 0, 1, 1};
        if (look.bitmap) slot = textures.slotFor(look.bitmap);
        Resolved& known = resolved_[i];
        if (known.slot.texture != 0 && known.slot.texture != slot.texture) runsBroken = true;
        if (samePlace(known.slot, slot)) continue;
        known = {slot, nullptr};
        // A picture square to the screen and upright is drawn only where it
        // is not transparent, and occludes what lies behind where it is
        // opaque; one still uploading hides nothing.
        if (look.bitmap && !textures.uploading(slot) && look.facing == Look::Facing::camera &&
            look.orientation == graphics::ImageOrientation::up && look.bitmap->width() > 0 &&
            look.bitmap->height() > 0)
            known.coverage = coverageOf(look.bitmap);
        changed = true;
    }
    if (changed) {
        coverage_.resize(resolved_.size());
        for (std::size_t i = 0; i < resolved_.size(); ++i)
            coverage_[i] = resolved_[i].coverage.get();
        // Pictures no longer alive are forgotten.
        if (pictures_.size() > 2 * resolved_.size() + 64)
            std::erase_if(pictures_,
                          [](const auto& known) { return known.second.bitmap.expired(); });
    }
    return changed;
}

bool MaterialTable::upload(const SceneCache& cache, bool changed) {
    if (!changed && uploaded_ == cache.looksGeneration()) return false;
    uploaded_ = cache.looksGeneration();
    const auto& looks = cache.looks();
    const std::size_t rows =
        std::max<std::size_t>(1, (looks.size() + materialsPerRow - 1) / materialsPerRow);
    std::vector<float> texels(rows * materialsPerRow * texelsPerMaterial * 4, 0.0f);
    for (std::size_t i = 0; i < looks.size(); ++i) {
        if (looks[i].users == 0) continue;
        const Look& look = looks[i].look;
        const TextureSlot& slot = resolved_[i].slot;
        static const PictureCoverage drawnWhole;
        const PictureCoverage* coverage = resolved_[i].coverage.get();
        const PictureCoverage& shown = coverage ? *coverage : drawnWhole;
        StoredMapping mapping = storedMapping(look.orientation);
        const float du = slot.u1 - slot.u0, dv = slot.v1 - slot.v0;
        // The layout SceneShader's vertex shader reads.
        const float values[texelsPerMaterial * 4] = {
            look.right.x,
            look.right.y,
            look.right.z,
            facingCode(look.facing),
            look.up.x,
            look.up.y,
            look.up.z,
            look.opacity,
            slot.u0 + static_cast<float>(mapping.origin.x) * du,
            slot.v0 + static_cast<float>(mapping.origin.y) * dv,
            static_cast<float>(mapping.sAxis.x) * du,
            static_cast<float>(mapping.sAxis.y) * dv,
            static_cast<float>(mapping.tAxis.x) * du,
            static_cast<float>(mapping.tAxis.y) * dv,
            look.doubleSided ? 1.0f : 0.0f,
            coverage ? static_cast<float>(coverage->width) : 0.0f,
            shown.visible[0],
            shown.visible[1],
            shown.visible[2],
            shown.visible[3],
            shown.corners[0],
            shown.corners[1],
            shown.corners[2],
            shown.corners[3],
        };
        std::copy(std::begin(values), std::end(values), texels.data() + i * texelsPerMaterial * 4);
    }
    glBindTexture(GL_TEXTURE_2D, texture_.get());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA32F, materialsPerRow * texelsPerMaterial,
                 static_cast<GLsizei>(rows), 0, GL_RGBA, GL_FLOAT, texels.data());
    return true;
}

void MaterialTable::readFacts(const SceneCache& cache) {
    const auto& looks = cache.looks();
    facts_.assign(looks.size(), {});
    for (std::size_t i = 0; i < looks.size(); ++i) {
        if (looks[i].users == 0) continue;
        facts_[i] = MaterialFacts::of(looks[i].look, resolved_[i].slot.texture);
    }
}

}  // namespace render
