// Textures of the pictures the renderer draws: small ones share atlas pages,
// equal pictures share one texture, and what a frame does not draw is
// released, so that texture memory follows what the scene shows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/render/Gl.h"

namespace render {

// Where a bitmap's pixels are: a texture and the rectangle of texture
// coordinates (top row at v0) that holds exactly its pixels.
struct TextureSlot {
    GLuint texture = 0;
    float u0 = 0, v0 = 0, u1 = 1, v1 = 1;
};

struct TextureStats {
    // Distinct pictures held, atlas pages, and textures of their own.
    std::size_t pictures = 0;
    std::size_t atlasPages = 0;
    std::size_t ownTextures = 0;
    // Bytes of texture memory held, mipmaps included.
    std::size_t bytes = 0;
    // Since the cache was made: uploads and pictures released.
    std::size_t uploads = 0;
    std::size_t releases = 0;
    // Pictures whose upload in bands is under way (not drawn yet).
    std::size_t uploading = 0;
};

class TextureCache {
public:
    // Atlas pages are this many pixels square; images up to `atlasMaxSide`
    // pixels on either side go into them.
    static constexpr int pageSide = 2048;
    static constexpr int atlasMaxSide = 256;

    TextureCache();
    ~TextureCache();
    TextureCache(const TextureCache&) = delete;
    TextureCache& operator=(const TextureCache&) = delete;

    // Starts a frame: what is asked for until `endFrame` counts as drawn.
    void beginFrame();
    // With a budget, a new picture too large for the atlas is uploaded
    // over several frames: its storage in the first, then at most about
    // `bytesPerFrame` of its rows each frame it is asked for, its levels of
    // detail in a frame of their own. Until then `slotFor` gives a texture
    // that is wholly transparent, so its plane leaves nothing on the
    // screen. Zero (the default) uploads every picture whole.
    void setBandBudget(std::size_t bytesPerFrame);
    // While set, pictures are uploaded whole and those under way finished
    // when asked for: for a picture taken of the screen, which must show
    // every picture.
    void setUploadWhole(bool whole);
    // The texture that holds `bitmap`'s pixels, uploaded on first use. An
    // empty bitmap has none (texture 0).
    TextureSlot slotFor(const std::shared_ptr<const graphics::Bitmap>& bitmap);
    // Releases every picture this frame did not ask for.
    void endFrame();
    // Releases everything, as when memory runs low.
    void clear();

    // A 1 × 1 opaque white texture, for planes without a picture.
    GLuint white();
    // A 1 × 1 wholly transparent texture, for pictures still uploading.
    GLuint transparent();
    // Whether `slot` stands for a picture still uploading.
    bool uploading(const TextureSlot& slot) const {
        return transparent_ && slot.texture == transparent_.get();
    }

    TextureStats stats() const;

private:
    struct Page;
    struct Entry;
    struct ObjectRef {
        std::weak_ptr<const graphics::Bitmap> bitmap;
        std::shared_ptr<Entry> entry;
    };

    std::shared_ptr<Entry> upload(const std::shared_ptr<const graphics::Bitmap>& bitmap,
                                  std::uint64_t hash);
    void release(Entry& entry);
    // The next step of `entry`'s upload in bands, once a frame, while the
    // frame's budget lasts (everything left, when uploading whole).
    void advance(Entry& entry);
    // Where `entry`'s picture is drawn from this frame.
    TextureSlot shown(Entry& entry);
    Page* pageWithRoom(int cellWidth, int cellHeight);

    std::uint64_t frame_ = 0;
    // The bitmaps seen, by address: most frames find every picture here
    // without hashing. The weak reference tells a live bitmap from a new
    // one that took a released one's address.
    std::unordered_map<const graphics::Bitmap*, ObjectRef> byObject_;
    // The pictures held, by their pixels' hash.
    std::unordered_multimap<std::uint64_t, std::shared_ptr<Entry>> byContent_;
    std::vector<std::unique_ptr<Page>> pages_;
    Texture white_;
    Texture transparent_;
    std::size_t bandBudget_ = 0;
    std::size_t budgetLeft_ = 0;
    bool whole_ = false;
    TextureStats stats_;
    std::size_t objectsAtLastSweep_ = 0;
    // The largest texture side the context takes, once asked.
    GLint maxSide_ = 0;
};

}  // namespace render
