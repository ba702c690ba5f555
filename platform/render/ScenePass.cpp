#include "platform/render/ScenePass.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace render {

namespace {

using Clock = std::chrono::steady_clock;

scene::Vector3 normalizedColumn(const scene::Matrix4& m, int c) {
    const scene::Vector3 v{m.columns[c][0], m.columns[c][1], m.columns[c][2]};
    const float l = scene::length(v);
    return l > 0 ? v * (1.0f / l) : v;
}

}  // namespace

platform::Result<std::unique_ptr<ScenePass>> ScenePass::make() {
    auto shader = SceneShader::make();
    if (!shader) return platform::fail(shader.error());
    std::unique_ptr<ScenePass> pass(new ScenePass());
    pass->shader_ = std::move(shader).value();
    pass->materials_ = MaterialTable::make();
    pass->planes_ = PlaneTable::make();
    for (DrawList* list : {&pass->wholeOpaque_, &pass->wholeBlended_, &pass->regionOpaque_,
                           &pass->regionBlended_, &pass->trimmedOpaque_, &pass->trimmedBlended_})
        *list = DrawList::make();
    pass->vertexArray_ = makeVertexArray();
    pass->corners_ = makeBuffer();
    glBindVertexArray(pass->vertexArray_.get());
    // A quad's four corners; an octagon's eight vertices read the same four
    // twice and work out their places themselves.
    const float corners[] = {-1, -1, 1, -1, -1, 1, 1, 1, -1, -1, 1, -1, -1, 1, 1, 1};
    glBindBuffer(GL_ARRAY_BUFFER, pass->corners_.get());
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glEnableVertexAttribArray(cornerAttribute);
    glVertexAttribPointer(cornerAttribute, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    for (GLuint location : {slotAttribute, partAttribute}) {
        glEnableVertexAttribArray(location);
        glVertexAttribDivisor(location, 1);
    }
    glBindVertexArray(0);
    return pass;
}

void ScenePass::setOptions(const ui::RenderOptions& options) {
    if (options.hideCoveredTiles != options_.hideCoveredTiles) culledRevision_ = ~0ull;
    options_ = options;
}

ScenePassStats ScenePass::prepare(const scene::Node& root, const scene::Matrix4& cameraToWorld,
                                  const scene::Matrix4& viewProjection, TextureCache& textures,
                                  bool coverage) {
    const auto start = Clock::now();
    ScenePassStats stats;
    view_ = ScreenView::of(cameraToWorld, viewProjection);
    const scene::Vector3 eye = view_.eye();
    const scene::Vector3 forward = view_.forward();
    const std::size_t slotsBefore = order_.slots();
    const float nearBefore = order_.depthNear(), farBefore = order_.depthFar();

    cache_.observe(root);
    cache_.refresh();
    bool runsBroken = false;
    const bool materialsMoved = materials_.resolve(cache_, textures, runsBroken);
    if (runsBroken) order_.markStale();
    order_.setCoverage(coverage);
    const bool onlyAdded = order_.onlyAddedSince(cache_, eye, forward);
    bool changed = materials_.upload(cache_, materialsMoved);
    changed = planes_.upload(cache_) || changed;
    SceneChange change = SceneChange::everything();
    if (!order_.current(cache_, eye, forward)) {
        materials_.readFacts(cache_);
        order_.update(cache_, materials_.facts(), eye, forward);
        stats.reordered = true;
        changed = true;
        // Planes added and nothing else, with the same range of depth:
        // where they lie on the screen.
        if (onlyAdded && order_.depthNear() == nearBefore && order_.depthFar() == farBefore) {
            Extent added = emptyExtent();
            for (std::size_t slot = slotsBefore; slot < cache_.entries().size(); ++slot) {
                if (cache_.entries()[slot].look == SceneCache::none) continue;
                const Extent e = view_.extentOf(cache_.entries()[slot], materials_.facts());
                added = {std::min(added[0], e[0]), std::min(added[1], e[1]),
                         std::max(added[2], e[2]), std::max(added[3], e[3])};
            }
            change = SceneChange::planesAdded(added);
        }
    }
    if (changed) {
        ++revision_;
        lastChange_ = change;
    }
    stats.planes = order_.planes();
    stats.preparation = Clock::now() - start;
    return stats;
}

SceneChange ScenePass::changeSince(std::uint64_t revision) const {
    if (revision == revision_) return SceneChange::nothing();
    // Only the change into this revision is known; one drawn before the
    // revision before it has missed others.
    if (revision + 1 == revision_) return lastChange_;
    return SceneChange::everything();
}

void ScenePass::buildWholeLists() {
    const auto& facts = materials_.facts();
    wholeBlended_.build(order_.blended(), order_.blendedChangedFrom(), order_.blendedChangedTo(),
                        cache_, facts);
    wholeOpaque_.build(order_.opaque(), order_.opaqueChangedFrom(), order_.opaque().size(), cache_,
                       facts);
    order_.listsBuilt();
}

// The planes of both passes that may touch `region`, in their order. Only
// the planes in the grid's cells that `region` touches are looked at, and
// put in the blended order by their sort keys (which is that order while no
// see-through photo divides it) and in the opaque order by their places in
// it.
void ScenePass::buildRegionLists(const Extent& region) {
    const auto& facts = materials_.facts();
    grid_.update(cache_, facts, view_);
    if (order_.hasDividers() || isEmpty(region)) {
        order_.mergeWaiting();
        const auto& extents = grid_.extents();
        regionSlots_.clear();
        for (SortItem item : order_.blended()) {
            const Extent& e = extents[slotOf(item)];
            if (e[0] <= region[2] && e[2] >= region[0] && e[1] <= region[3] && e[3] >= region[1])
                regionSlots_.push_back(slotOf(item));
        }
    } else {
        grid_.slotsTouching(region, cache_, facts, regionSlots_);
    }
    order_.orderOf(regionSlots_, order_.hasDividers(), cache_, facts, regionBlendedOrder_,
                   regionOpaqueOrder_);
    regionBlended_.build(regionBlendedOrder_, 0, regionBlendedOrder_.size(), cache_, facts);
    regionOpaque_.build(regionOpaqueOrder_, 0, regionOpaqueOrder_.size(), cache_, facts);
}

// The sprites of the whole lists cut to the tiles where nothing nearer
// covers them, into the trimmed lists. False, the whole lists to be drawn,
// when no tile is covered.
bool ScenePass::cullCoveredTiles(int width, int height) {
    const auto& facts = materials_.facts();
    if (!CoveredTiles::mayCover(width, height, facts, materials_.coverage(), view_,
                                order_.nearest()))
        return false;
    grid_.update(cache_, facts, view_);
    const CullingInput input{&cache_,          &facts, &materials_.coverage(),
                             &grid_.extents(), &view_, order_.depthNear(),
                             order_.depthFar()};
    if (!tiles_.update(width, height, input)) return false;
    trimmedBlended_.buildParts(wholeBlended_, order_.blended(), tiles_.parts());
    trimmedOpaque_.buildParts(wholeOpaque_, order_.opaque(), tiles_.parts());
    return true;
}

void ScenePass::draw(ScenePassStats& stats, int width, int height, const Extent* region) {
    if (!region) order_.mergeWaiting();
    if (order_.planes() == 0) return;
    const auto start = Clock::now();
    const DrawList* opaque = &wholeOpaque_;
    const DrawList* blended = &wholeBlended_;
    if (!region) {
        buildWholeLists();
        stats.drawn = order_.planes();
        if (options_.hideCoveredTiles) {
            if (culledRevision_ != revision_ || culledWidth_ != width || culledHeight_ != height) {
                culled_ = cullCoveredTiles(width, height);
                culledRevision_ = revision_;
                culledWidth_ = width;
                culledHeight_ = height;
            }
            if (culled_) {
                stats.trimmed = tiles_.trimmed();
                opaque = &trimmedOpaque_;
                blended = &trimmedBlended_;
            }
        }
    } else {
        buildRegionLists(*region);
        opaque = &regionOpaque_;
        blended = &regionBlended_;
        stats.drawn = regionBlended_.size() + (order_.coverage() ? regionOpaque_.size() : 0);
    }
    stats.preparation += Clock::now() - start;
    if (stats.drawn == 0) return;
    execute(*opaque, *blended, width, stats);
}

void ScenePass::execute(const DrawList& opaque, const DrawList& blended, int width,
                        ScenePassStats& stats) {
    const scene::Matrix4& cameraToWorld = view_.cameraToWorld;
    shader_.use();
    // The view's projection with its depth mapped to the planes' range:
    // positions on the screen stay exactly as the view projects them.
    scene::Matrix4 fitted = view_.viewProjection;
    {
        const scene::Matrix4 view = scene::rigidInverse(cameraToWorld);
        const float n = order_.depthNear(), f = order_.depthFar();
        const float a = -(f + n) / (f - n), b = -2 * f * n / (f - n);
        for (int c = 0; c < 4; ++c)
            fitted.columns[c][2] = a * view.columns[c][2] + (c == 3 ? b : 0.0f);
    }
    shader_.setView(fitted, view_.eye(), normalizedColumn(cameraToWorld, 0),
                    normalizedColumn(cameraToWorld, 1), static_cast<float>(width));
    glActiveTexture(GL_TEXTURE0 + materialUnit);
    glBindTexture(GL_TEXTURE_2D, materials_.texture());
    glActiveTexture(GL_TEXTURE0 + planeUnit);
    glBindTexture(GL_TEXTURE_2D, planes_.texture());
    usePremultipliedBlending();
    glBindVertexArray(vertexArray_.get());
    glEnable(GL_DEPTH_TEST);
    if (options_.stencilBlockTrick) {
        glEnable(GL_STENCIL_TEST);
        glStencilFunc(GL_ALWAYS, 0, 0);
        glStencilMask(0);
    }

    shader_.setOutline(opaque.hasParts());
    glDisable(GL_BLEND);
    glDepthMask(GL_TRUE);
    glDepthFunc(GL_LEQUAL);
    const bool coverage = order_.coverage();
    if (coverage) glEnable(GL_SAMPLE_ALPHA_TO_COVERAGE);
    shader_.setPass(coverage ? SceneShader::Pass::coverage : SceneShader::Pass::opaqueTexels);
    stats.drawCalls += opaque.execute();
    if (coverage) {
        glDisable(GL_SAMPLE_ALPHA_TO_COVERAGE);
        if (opaque.size() > 0) {
            shader_.makeCoveredSamplesOpaque();
            shader_.use();
            glBindVertexArray(vertexArray_.get());
        }
    }

    glEnable(GL_BLEND);
    glDepthMask(GL_FALSE);
    glDepthFunc(GL_LESS);
    shader_.setPass(SceneShader::Pass::blended);
    stats.drawCalls += blended.execute();

    if (options_.stencilBlockTrick) {
        glDisable(GL_STENCIL_TEST);
        glStencilMask(0xFF);
    }
    glBindVertexArray(0);
}

}  // namespace render
