// The 3-D scene from the point of view: planes with their pictures,
// billboards turned to the viewer in the vertex shader, opacity multiplied
// down the tree. A pipeline of stages, each with its own file and its own
// record of what it was made from:
//
//   prepare      SceneCache (the scene's notifications), MaterialTable (the
//                materials, their pictures' PictureCoverage), PlaneTable
//                (each plane's centre and material), PlaneOrder (both
//                passes' orders by SortKey)
//   build lists  DrawList for whole frames; for a region redraw, the planes
//                that ScreenGrid finds there; for a frame drawn whole on a
//                software rasteriser, the sprites cut to what CoveredTiles
//                leaves showing
//   execute      SceneShader's two passes: the opaque texels of every fully
//                opaque plane first, front-to-back, writing depth, so that
//                early-Z rejects what they occlude; then soft edges and
//                see-through planes, back-to-front, blended and tested
//                against that depth. Into a multisampled target, where the
//                host asks for it, the first pass draws fully opaque planes
//                whole, their soft edges by alpha to coverage, and the
//                second only the see-through planes
//
// What is drawn lives in GPU buffers that change only when the scene or the
// point of view does: a frame with nothing new uploads nothing.
#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/Result.h"
#include "platform/render/CoveredTiles.h"
#include "platform/render/DrawList.h"
#include "platform/render/Gl.h"
#include "platform/render/MaterialTable.h"
#include "platform/render/PlaneOrder.h"
#include "platform/render/PlaneTable.h"
#include "platform/render/SceneCache.h"
#include "platform/render/SceneChange.h"
#include "platform/render/SceneShader.h"
#include "platform/render/ScreenGrid.h"
#include "platform/render/TextureCache.h"
#include "platform/scene/Node.h"
#include "platform/ui/RenderOptions.h"

namespace render {

struct ScenePassStats {
    std::size_t planes = 0;
    std::size_t drawCalls = 0;
    // Whether the planes were ordered again.
    bool reordered = false;
    // Planes handed to the GPU by `draw`, counted once for both passes.
    std::size_t drawn = 0;
    // Of those, the sprites drawn over less than their whole quad, or not
    // at all, because nearer ones hide the rest (none when nothing was left
    // out).
    std::size_t trimmed = 0;
    // The main thread's time in the pass before it hands the GPU its draw
    // calls: following changes, ordering, building and uploading lists.
    std::chrono::nanoseconds preparation{0};
};

class ScenePass {
public:
    static platform::Result<std::unique_ptr<ScenePass>> make();

    // Which of the software rasteriser's tricks the pass plays: hiding
    // covered tiles, and the stencil test that makes llvmpipe skip blocks.
    void setOptions(const ui::RenderOptions& options);

    // Makes ready to draw everything under `root` (the root itself
    // included) seen by a camera at `cameraToWorld`, with `viewProjection`
    // from world to clip space: follows what changed, orders and uploads.
    // With `coverage` (a target with several samples a pixel) the opaque
    // pass draws fully opaque planes whole, their soft edges by alpha to
    // coverage, and the blended pass only the see-through planes.
    ScenePassStats prepare(const scene::Node& root, const scene::Matrix4& cameraToWorld,
                           const scene::Matrix4& viewProjection, TextureCache& textures,
                           bool coverage = false);
    // What the pass draws now, as a stamp for `changeSince`.
    std::uint64_t revision() const { return revision_; }
    // What changed in what the pass draws since it drew at `revision`.
    SceneChange changeSince(std::uint64_t revision) const;

    // Draws what the last `prepare` made ready over what the bound
    // framebuffer holds, into a viewport `width` by `height` pixels,
    // counting its draw calls in `stats`. With a `region` (in normalised
    // device coordinates) only the planes that may touch it are drawn, in
    // their order: inside it the picture is the whole scene's.
    void draw(ScenePassStats& stats, int width, int height, const Extent* region = nullptr);

private:
    ScenePass() = default;
    void buildWholeLists();
    void buildRegionLists(const Extent& region);
    bool cullCoveredTiles(int width, int height);
    void execute(const DrawList& opaque, const DrawList& blended, int width, ScenePassStats& stats);

    SceneShader shader_;
    MaterialTable materials_;
    PlaneTable planes_;
    VertexArray vertexArray_;
    Buffer corners_;
    ui::RenderOptions options_;

    SceneCache cache_;
    PlaneOrder order_;
    ScreenView view_;
    // Counts the prepares that changed anything the pass draws (a plane, a
    // material, a picture's place in its texture, or the order, which a
    // different point of view changes), and what the last of them changed.
    std::uint64_t revision_ = 0;
    SceneChange lastChange_ = SceneChange::everything();

    // Both passes' planes: all of them; those that touch a region; each
    // sprite once for each part of it that covered tiles leave showing.
    DrawList wholeOpaque_, wholeBlended_;
    DrawList regionOpaque_, regionBlended_;
    DrawList trimmedOpaque_, trimmedBlended_;
    std::vector<std::uint32_t> regionSlots_;
    std::vector<SortItem> regionBlendedOrder_, regionOpaqueOrder_;

    ScreenGrid grid_;
    CoveredTiles tiles_;
    // What the trimmed lists were made for.
    std::uint64_t culledRevision_ = ~0ull;
    int culledWidth_ = 0, culledHeight_ = 0;
    bool culled_ = false;
};

}  // namespace render
