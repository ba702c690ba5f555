// The 3-D scene from the point of view: planes with their pictures,
// billboards turned to the viewer in the vertex shader, opacity multiplied
// down the tree. What is drawn lives in GPU buffers that change only when
// the scene or the point of view does: the scene's notifications keep a
// cache of it (SceneCache), and a frame with nothing new uploads nothing.
//
// Two passes keep overdraw low and transparency right: the opaque texels of
// every fully opaque plane first, nearest first, writing depth, so that
// what they hide is rejected before it is shaded; then soft edges and
// see-through planes, farthest first, blended and tested against that depth.
//
// A frame drawn whole leaves out what nearer sprites hide: over a grid of
// small tiles of the screen, a tile that the opaque texels of a sprite
// cover whole hides what lies behind that sprite, and each sprite is drawn
// only over one or two rectangles of the tiles where it may show, as an
// octagon without its transparent corners.
//
// Sprites added while the point of view stays are drawn only where they
// lie, over the last frame's picture: the planes there are found in a grid
// of the screen and put in order by their keys, without passing over the
// others.
#pragma once

#include <algorithm>
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "platform/Result.h"
#include "platform/render/Gl.h"
#include "platform/render/SceneCache.h"
#include "platform/render/TextureCache.h"
#include "platform/scene/Node.h"

namespace render {

struct ScenePassStats {
    std::size_t planes = 0;
    std::size_t drawCalls = 0;
    // Whether the planes' order and instance buffers were made again.
    bool reordered = false;
    // Counts the prepares that changed anything the pass draws (a plane, a
    // look, a picture's place in its texture, or the planes' order, which a
    // different point of view changes), this one included: a picture drawn
    // at one revision shows the scene as long as it lasts.
    std::uint64_t revision = 0;
    // Whether the change was planes added and nothing else, seen from where
    // the last prepare saw the scene and with the same range of depth: the
    // picture can then have changed only where they lie, within `added`
    // (x0, y0, x1, y1 in normalised device coordinates; unbounded when an
    // added plane's extent is not known).
    bool addedOnly = false;
    std::array<float, 4> added{};
    // Planes handed to the GPU by `draw`, counted once for both passes.
    std::size_t drawn = 0;
    // Of those, the sprites drawn over less than their whole quad, or not
    // at all, because nearer ones hide the rest (none when nothing was left
    // out).
    std::size_t trimmed = 0;
    // The main thread's time in the pass before it hands the GPU its draw
    // calls: following changes, ordering, uploading.
    std::chrono::nanoseconds preparation{0};
};

class ScenePass {
public:
    static platform::Result<std::unique_ptr<ScenePass>> make();

    // Makes ready to draw everything under `root` (the root itself
    // included) seen by a camera at `cameraToWorld`, with `viewProjection`
    // from world to clip space: follows what changed, orders and uploads.
    ScenePassStats prepare(const scene::Node& root, const scene::Matrix4& cameraToWorld,
                           const scene::Matrix4& viewProjection, TextureCache& textures);
    // Draws what the last `prepare` made ready over what the bound
    // framebuffer holds, counting its draw calls in `stats`. With a
    // `region` (in normalised device coordinates, as above) only the planes
    // that may touch it are drawn, in their order: inside it the picture is
    // the whole scene's.
    void draw(ScenePassStats& stats, const std::array<float, 4>* region = nullptr);

    // Whether frames drawn whole leave out what nearer sprites hide (as
    // they do unless told otherwise).
    void setLeavingOutHidden(bool on) { leaveOutHidden_ = on; }

    // One plane as the vertex shader reads it: its centre in the world and
    // its look, an index into the looks texture.
    struct Instance {
        float centre[3];
        std::uint32_t look;
    };

private:
    // Consecutive instances of one pass that share a texture: one draw call.
    struct Run {
        GLuint texture;
        std::size_t first;
        std::size_t count;
    };
    // A look as the GPU sees it: where its picture lies in which texture.
    struct ResolvedLook {
        GLuint texture = 0;
        TextureSlot slot;
        // The part of the picture that is not transparent (fractions of
        // its size), and its width in texels; none (0) when the quad is
        // drawn whole.
        float visible[4] = {0, 0, 1, 1};
        float texels = 0;
        // The largest rectangle of the picture whose texels are all fully
        // opaque (fractions, as above), and its height in texels; empty
        // when it hides nothing.
        float cover[4] = {0, 0, 0, 0};
        float texelsHigh = 0;
        // How far in from the corners of the visible part its transparent
        // corners reach along 45-degree cuts (fractions of its width).
        float corners[4] = {0, 0, 0, 0};
        // How many texels above and to the left of each are not fully
        // opaque (seeThroughTable); none for a picture that hides only
        // behind its opaque middle.
        std::vector<std::uint32_t> seeThrough;
    };

    // What ordering needs of a look, read once per look rather than once
    // per plane.
    struct Facts {
        // How far the plane can reach towards or away from the eye.
        float reach = 0;
        GLuint texture = 0;
        // A see-through plane not turned to the viewer (a photo).
        bool divider = false;
        bool opaque = false;
        // A plane square to the screen (a sprite), and its half width and
        // height.
        bool square = false;
        float halfWidth = 0, halfHeight = 0;
    };
    // A see-through plane that divides the scene, as seen from the eye.
    struct Divider {
        scene::Vector3 centre, normal;
        float eyeSide;
        std::uint32_t slot;
    };

    ScenePass() = default;
    bool resolveLooks(TextureCache& textures);
    void uploadLooks();
    void readFacts();
    // Keys (depth, farthest first, and slot) of the planes from
    // `firstSlot` on, into `keyed_`, widening the depth range; without
    // `dividers`, false at the first divider.
    bool keyPlanes(std::size_t firstSlot, scene::Vector3 eye, scene::Vector3 forward,
                   std::vector<Divider>* dividers);
    Instance instance(std::uint64_t item) const;
    void order(scene::Vector3 eye, scene::Vector3 forward);
    void orderAll(scene::Vector3 eye, scene::Vector3 forward);
    std::size_t mergeAdded();
    void mergeWaiting();
    void blendedRunsFrom(std::size_t unchanged);
    static void upload(const Buffer& buffer, std::size_t& capacity,
                       const std::vector<Instance>& instances, std::size_t from);
    void orderOpaque(scene::Vector3 eye, scene::Vector3 forward);
    void appendOpaqueFrom(const std::vector<std::uint64_t>& items);
    void appendOpaque(scene::Vector3 eye, scene::Vector3 forward);
    void drawRuns(const Buffer& buffer, const std::vector<Run>& runs, const Buffer* parts,
                  ScenePassStats& stats);
    // The extent on the screen of the plane in `slot` (normalised device
    // coordinates), unbounded unless it is a sprite wholly in front of the
    // eye.
    std::array<float, 4> extent(std::size_t slot) const;
    // The extent on the screen of the `part` of a sprite's quad between
    // (x0, y0) and (x1, y1), from -1 to 1 across and upwards; unbounded
    // when it reaches behind the eye.
    std::array<float, 4> quadExtent(const SceneCache::Entry& entry, const Facts& look,
                                    const std::array<float, 4>& part) const;
    void updateExtents();
    static std::array<int, 4> cellsOf(const std::array<float, 4>& e);
    void updateCells();
    void selectRegion(const std::array<float, 4>& region);
    bool leaveOutHidden(int width, int height);
    // A rectangle of tiles, inclusive; empty when x1 < x0.
    struct TileBox {
        int x0 = 0, y0 = 0, x1 = -1, y1 = -1;
        bool empty() const { return x1 < x0; }
        long area() const { return empty() ? 0 : long{x1 - x0 + 1} * long{y1 - y0 + 1}; }
        void add(const TileBox& box) {
            if (box.empty()) return;
            if (empty()) {
                *this = box;
                return;
            }
            x0 = std::min(x0, box.x0), y0 = std::min(y0, box.y0);
            x1 = std::max(x1, box.x1), y1 = std::max(y1, box.y1);
        }
    };
    void splitOpen(int x0, int y0, int x1, int y1, int columns, float depth, TileBox (&pieces)[2]);
    bool coverTiles(const std::array<float, 4>& whole, const ResolvedLook& picture, float depth,
                    float w, float h, int columns);

    Program program_;
    GLint viewProjection_ = -1;
    GLint eye_ = -1;
    GLint cameraRight_ = -1;
    GLint cameraUp_ = -1;
    GLint viewportWidth_ = -1;
    GLint blendPass_ = -1;
    GLint outline_ = -1;
    VertexArray vertexArray_;
    Buffer corners_;
    Texture looksTexture_;
    int looksRows_ = 0;

    SceneCache cache_;
    // What the last `prepare` was given.
    scene::Matrix4 preparedCameraToWorld_, preparedViewProjection_;
    std::uint64_t revision_ = 0;
    // The camera's right and up axes in clip space.
    std::array<float, 4> clipRight_{}, clipUp_{};
    std::vector<ResolvedLook> resolved_;
    std::uint64_t looksUploaded_ = ~0ull;
    std::uint64_t entriesOrdered_ = ~0ull;
    scene::Vector3 orderedEye_, orderedForward_;
    float depthNear_ = 0.001f, depthFar_ = 1000;
    bool orderStale_ = true;

    // The opaque pass, nearest first, grouped by texture; the blended pass,
    // farthest first.
    Buffer opaque_;
    Buffer blended_;
    std::vector<Run> opaqueRuns_;
    std::vector<Run> blendedRuns_;
    // The blended order (keys and slots, farthest first) and what it was
    // made of: the slots then, whether photos divided it.
    std::vector<std::uint64_t> ordered_;
    std::size_t orderedSlots_ = 0;
    std::uint64_t orderedReshaped_ = ~0ull;
    bool orderHasDividers_ = false;
    float nearest_ = 1e30f, farthest_ = 0;
    // Where the opaque order was made from, and of what; its buffer's room
    // in instances, and the textures it was grouped by.
    scene::Vector3 opaqueEye_, opaqueForward_;
    std::uint64_t opaqueReshaped_ = ~0ull;
    std::size_t opaqueSlots_ = 0, opaqueCapacity_ = 0, opaqueTextures_ = 0;
    std::size_t blendedCapacity_ = 0;

    // Kept from frame to frame so that ordering allocates little.
    std::vector<Facts> facts_;
    std::vector<std::uint64_t> keyed_, scratch_;
    std::vector<Instance> blendedInstances_, opaqueInstances_, mergedInstances_;
    // The slots of the opaque pass's planes, in its order.
    std::vector<std::uint32_t> opaqueOrder_, mergedOrder_;

    // Each slot's extent on the screen, and what it was worked out for.
    std::vector<std::array<float, 4>> extents_;
    std::vector<std::uint8_t> touched_;
    std::size_t extentsSlots_ = 0;
    std::uint64_t extentsRenumbered_ = ~0ull;
    scene::Matrix4 extentsViewProjection_, extentsCameraToWorld_;
    // A grid over the screen, each cell with the slots whose extent
    // touches it (those that reach off the screen in the cells along its
    // edge); the slots whose extent is unbounded or covers it all.
    // The cells are made when a region is drawn, for the slots below
    // `cellsSlots_` (none after the extents were worked out afresh): cell
    // c's slots from cellSlots_[cellStart_[c]] to before
    // cellSlots_[cellStart_[c + 1]], and those added since in cellExtra_[c].
    static constexpr int cellsAcross = 16, cellsDown = 32;
    std::size_t cellsSlots_ = 0;
    std::vector<std::size_t> cellStart_, cellFill_;
    std::vector<std::uint32_t> cellSlots_;
    std::vector<std::vector<std::uint32_t>> cellExtra_;
    std::vector<std::uint32_t> everywhere_;
    // Planes added since the blended order was made, keyed, not yet merged
    // into it; each slot's key in that order and place in the opaque order.
    std::vector<std::uint64_t> added_;
    std::vector<std::uint32_t> slotKeys_, opaqueRanks_;
    // The planes of both passes that touch a region, and their buffers.
    Buffer regionOpaque_, regionBlended_;
    std::size_t regionOpaqueCapacity_ = 0, regionBlendedCapacity_ = 0;
    std::vector<Instance> regionOpaqueInstances_, regionBlendedInstances_;
    std::vector<Run> regionOpaqueRuns_, regionBlendedRuns_;
    std::vector<std::uint32_t> regionSlots_;
    std::vector<std::uint64_t> regionOrder_;

    // What frames drawn whole leave out, and what that was worked out for.
    bool leaveOutHidden_ = true;
    std::uint64_t hiddenRevision_ = ~0ull;
    int hiddenWidth_ = 0, hiddenHeight_ = 0;
    bool hidden_ = false;
    std::size_t trimmed_ = 0;
    // Per tile, the nearest depth at which a sprite's opaque texels cover
    // it whole; per slot, the depth cover must be nearer than to hide it
    // (minus infinity where it is never left out), and the parts of its
    // picture drawn (s0, t0, s1, t1 in 65535ths, two bytes each), two a slot, 0
    // where there is no such part.
    std::vector<float> tileCover_, slotDepth_;
    std::vector<std::uint64_t> slotParts_;
    std::vector<TileBox> rowBoxes_, fromRow_;
    std::vector<std::pair<int, int>> coverColumns_;
    // Both passes' planes, a plane once for each part of it drawn, and
    // their buffers.
    Buffer cutOpaque_, cutBlended_;
    std::size_t cutOpaqueCapacity_ = 0, cutBlendedCapacity_ = 0;
    std::vector<Instance> cutOpaqueInstances_, cutBlendedInstances_;
    std::vector<Run> cutOpaqueRuns_, cutBlendedRuns_;
    // The part each of those draws, in the same order.
    Buffer opaqueParts_, blendedParts_;
    std::vector<std::uint64_t> orderedParts_;
};

}  // namespace render
