#include "platform/render/TextureCache.h"

#include <algorithm>
#include <cstring>

namespace render {

struct TextureCache::Page {
    Texture texture;
    int cellWidth = 0;
    int cellHeight = 0;
    int columns = 0;
    int rows = 0;
    std::vector<int> freeCells;
    int used = 0;
};

struct TextureCache::Entry {
    // One bitmap with these pixels, kept to compare a newcomer's pixels with.
    std::shared_ptr<const graphics::Bitmap> pixels;
    std::uint64_t hash = 0;
    TextureSlot slot;
    Page* page = nullptr;
    int cell = -1;
    Texture own;
    std::size_t ownBytes = 0;
    std::uint64_t lastUsed = 0;
    bool live = true;
    // An upload in bands under way: the picture's size at level 0, the rows
    // uploaded so far (the levels of detail follow them), the pixels when
    // they were halved to fit, and the frame of the last step.
    bool complete = true;
    int width = 0;
    int height = 0;
    int rowsDone = 0;
    std::vector<std::uint8_t> staged;
    std::uint64_t steppedIn = 0;
};

namespace {
// Atlas cells come in steps of this many pixels, so that pictures of about
// the same size share pages and a freed cell fits the next one. A cell's
// corner then lies on a whole pixel of every level of detail up to the
// fifth, so each level of a cell is made from that cell alone.
constexpr int cellStep = 32;
// Atlas pages keep this many levels of detail below the full picture, so
// that a sprite far away is drawn from a smaller picture instead of
// shimmering as it moves.
constexpr int mipLevels = 4;
// Around its picture a cell repeats the picture's edge pixels this far, so
// that filtering at the picture's edge, at every level, sees the picture's
// own edge and never a neighbour's pixels.
constexpr int margin = 1 << (mipLevels - 1);

int roundUp(int value, int step) { return (value + step - 1) / step * step; }

// A cell of `cellWidth` by `cellHeight` pixels holding `bitmap` at
// (margin, margin), with its edge pixels repeated out to the cell's edges.
std::vector<std::uint8_t> cellPixels(const graphics::Bitmap& bitmap, int cellWidth,
                                     int cellHeight) {
    const int w = bitmap.width(), h = bitmap.height();
    std::vector<std::uint8_t> out(static_cast<std::size_t>(cellWidth) *
                                  static_cast<std::size_t>(cellHeight) * 4);
    for (int y = 0; y < cellHeight; ++y) {
        const int sy = std::clamp(y - margin, 0, h - 1);
        const std::uint8_t* row =
            bitmap.data() + static_cast<std::size_t>(sy) * bitmap.bytesPerRow();
        std::uint8_t* dst =
            out.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(cellWidth) * 4;
        for (int x = 0; x < margin; ++x) std::memcpy(dst + x * 4, row, 4);
        std::memcpy(dst + margin * 4, row, static_cast<std::size_t>(w) * 4);
        for (int x = margin + w; x < cellWidth; ++x)
            std::memcpy(dst + static_cast<std::size_t>(x) * 4,
                        row + static_cast<std::size_t>(w - 1) * 4, 4);
    }
    return out;
}

// Halves a premultiplied picture by averaging 2 × 2 blocks: the levels of
// detail of an atlas cell, and pictures larger than the context's largest
// texture.
std::vector<std::uint8_t> halve(const std::vector<std::uint8_t>& pixels, int& width, int& height) {
    int w = std::max(1, width / 2), h = std::max(1, height / 2);
    std::vector<std::uint8_t> out(static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx) {
                        int sx = std::min(2 * x + dx, width - 1),
                            sy = std::min(2 * y + dy, height - 1);
                        sum +=
                            pixels[(static_cast<std::size_t>(sy) * static_cast<std::size_t>(width) +
                                    static_cast<std::size_t>(sx)) *
                                       4 +
                                   static_cast<std::size_t>(c)];
                    }
                out[(static_cast<std::size_t>(y) * static_cast<std::size_t>(w) +
                     static_cast<std::size_t>(x)) *
                        4 +
                    static_cast<std::size_t>(c)] = static_cast<std::uint8_t>((sum + 2) / 4);
            }
    width = w;
    height = h;
    return out;
}

bool sameBitmap(const std::weak_ptr<const graphics::Bitmap>& known,
                const std::shared_ptr<const graphics::Bitmap>& bitmap) {
    return !known.owner_before(bitmap) && !bitmap.owner_before(known) && !known.expired();
}
}  // namespace

TextureCache::TextureCache() = default;

TextureCache::~TextureCache() { clear(); }

void TextureCache::beginFrame() {
    ++frame_;
    budgetLeft_ = bandBudget_;
}

void TextureCache::setBandBudget(std::size_t bytesPerFrame) { bandBudget_ = bytesPerFrame; }

void TextureCache::setUploadWhole(bool whole) { whole_ = whole; }

void TextureCache::advance(Entry& entry) {
    if (entry.complete || entry.steppedIn == frame_) return;
    entry.steppedIn = frame_;
    const std::size_t rowBytes = static_cast<std::size_t>(entry.width) * 4;
    const std::uint8_t* pixels = entry.staged.empty() ? entry.pixels->data() : entry.staged.data();
    glBindTexture(GL_TEXTURE_2D, entry.own.get());
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    while (!entry.complete && (whole_ || budgetLeft_ > 0)) {
        if (entry.rowsDone < entry.height) {
            // At least one row, however wide.
            const int rows = whole_ ? entry.height - entry.rowsDone
                                    : std::clamp(static_cast<int>(budgetLeft_ / rowBytes), 1,
                                                 entry.height - entry.rowsDone);
            glTexSubImage2D(GL_TEXTURE_2D, 0, 0, entry.rowsDone, entry.width, rows, GL_RGBA,
                            GL_UNSIGNED_BYTE,
                            pixels + static_cast<std::size_t>(entry.rowsDone) * rowBytes);
            entry.rowsDone += rows;
            const std::size_t bytes = static_cast<std::size_t>(rows) * rowBytes;
            budgetLeft_ = budgetLeft_ > bytes ? budgetLeft_ - bytes : 0;
        } else {
            // The levels of detail take a frame of their own.
            if (!whole_ && budgetLeft_ < bandBudget_) break;
            glGenerateMipmap(GL_TEXTURE_2D);
            budgetLeft_ = 0;
            entry.complete = true;
            entry.staged = {};
            ++stats_.uploads;
        }
    }
}

TextureSlot TextureCache::shown(Entry& entry) {
    advance(entry);
    if (entry.complete) return entry.slot;
    return {transparent(), 0, 0, 1, 1};
}

TextureSlot TextureCache::slotFor(const std::shared_ptr<const graphics::Bitmap>& bitmap) {
    if (!bitmap || bitmap->width() == 0 || bitmap->height() == 0) return {};
    if (auto known = byObject_.find(bitmap.get()); known != byObject_.end()) {
        if (known->second.entry->live && sameBitmap(known->second.bitmap, bitmap)) {
            known->second.entry->lastUsed = frame_;
            return shown(*known->second.entry);
        }
        byObject_.erase(known);
    }
    // A bitmap not seen before: another one may already show its pixels.
    std::uint64_t hash = bitmap->contentHash();
    std::shared_ptr<Entry> entry;
    auto [first, last] = byContent_.equal_range(hash);
    for (auto it = first; it != last; ++it)
        if (it->second->pixels->samePixels(*bitmap)) {
            entry = it->second;
            break;
        }
    if (!entry) entry = upload(bitmap, hash);
    entry->lastUsed = frame_;
    byObject_[bitmap.get()] = {bitmap, entry};
    return shown(*entry);
}

TextureCache::Page* TextureCache::pageWithRoom(int cellWidth, int cellHeight) {
    for (auto& page : pages_)
        if (page->cellWidth == cellWidth && page->cellHeight == cellHeight &&
            !page->freeCells.empty())
            return page.get();
    auto page = std::make_unique<Page>();
    page->cellWidth = cellWidth;
    page->cellHeight = cellHeight;
    page->columns = pageSide / cellWidth;
    page->rows = pageSide / cellHeight;
    // Cells are handed out from the top-left corner on.
    for (int cell = page->columns * page->rows - 1; cell >= 0; --cell)
        page->freeCells.push_back(cell);
    page->texture = makeSamplingTexture();
    glTexStorage2D(GL_TEXTURE_2D, mipLevels + 1, GL_RGBA8, pageSide, pageSide);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, mipLevels);
    pages_.push_back(std::move(page));
    return pages_.back().get();
}

std::shared_ptr<TextureCache::Entry> TextureCache::upload(
    const std::shared_ptr<const graphics::Bitmap>& bitmap, std::uint64_t hash) {
    auto entry = std::make_shared<Entry>();
    entry->pixels = bitmap;
    entry->hash = hash;
    const int w = bitmap->width(), h = bitmap->height();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    if (w <= atlasMaxSide && h <= atlasMaxSide) {
        Page* page =
            pageWithRoom(roundUp(w + 2 * margin, cellStep), roundUp(h + 2 * margin, cellStep));
        int cell = page->freeCells.back();
        page->freeCells.pop_back();
        ++page->used;
        int x0 = (cell % page->columns) * page->cellWidth;
        int y0 = (cell / page->columns) * page->cellHeight;
        int cw = page->cellWidth, ch = page->cellHeight;
        auto pixels = cellPixels(*bitmap, cw, ch);
        glBindTexture(GL_TEXTURE_2D, page->texture.get());
        for (int level = 0;; ++level) {
            glTexSubImage2D(GL_TEXTURE_2D, level, x0 >> level, y0 >> level, cw, ch, GL_RGBA,
                            GL_UNSIGNED_BYTE, pixels.data());
            if (level == mipLevels) break;
            pixels = halve(pixels, cw, ch);
        }
        const float side = static_cast<float>(pageSide);
        entry->page = page;
        entry->cell = cell;
        entry->slot = {page->texture.get(), static_cast<float>(x0 + margin) / side,
                       static_cast<float>(y0 + margin) / side,
                       static_cast<float>(x0 + margin + w) / side,
                       static_cast<float>(y0 + margin + h) / side};
    } else {
        // Asked once: in a browser every question to GL waits for its GPU
        // process.
        if (maxSide_ == 0) {
            glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSide_);
            if (maxSide_ <= 0) maxSide_ = 2048;
        }
        const GLint maxSide = maxSide_;
        int width = w, height = h;
        std::vector<std::uint8_t> pixels;
        const std::uint8_t* data = bitmap->data();
        while (width > maxSide || height > maxSide) {
            if (pixels.empty()) pixels.assign(bitmap->data(), bitmap->data() + bitmap->byteCount());
            pixels = halve(pixels, width, height);
            data = pixels.data();
        }
        entry->own = makeTexture();
        glBindTexture(GL_TEXTURE_2D, entry->own.get());
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
        entry->ownBytes =
            static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4 * 4 / 3;
        entry->slot = {entry->own.get(), 0, 0, 1, 1};
        if (bandBudget_ > 0 && !whole_) {
            // Every level's storage now, the pixels band by band.
            GLsizei levels = 1;
            for (int side = std::max(width, height); side > 1; side /= 2) ++levels;
            glTexStorage2D(GL_TEXTURE_2D, levels, GL_RGBA8, width, height);
            entry->complete = false;
            entry->width = width;
            entry->height = height;
            entry->staged = std::move(pixels);
            // The storage takes this frame; the first band waits for the
            // next.
            entry->steppedIn = frame_;
            byContent_.emplace(hash, entry);
            return entry;
        }
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, data);
        glGenerateMipmap(GL_TEXTURE_2D);
    }
    ++stats_.uploads;
    byContent_.emplace(hash, entry);
    return entry;
}

void TextureCache::release(Entry& entry) {
    if (entry.page != nullptr) {
        Page* page = entry.page;
        page->freeCells.push_back(entry.cell);
        if (--page->used == 0)
            pages_.erase(std::find_if(pages_.begin(), pages_.end(),
                                      [page](const auto& p) { return p.get() == page; }));
    }
    entry.page = nullptr;
    entry.own.reset();
    entry.pixels.reset();
    entry.staged = {};
    entry.live = false;
    ++stats_.releases;
}

void TextureCache::endFrame() {
    std::size_t released = 0;
    for (auto it = byContent_.begin(); it != byContent_.end();) {
        if (it->second->lastUsed != frame_) {
            release(*it->second);
            it = byContent_.erase(it);
            ++released;
        } else {
            ++it;
        }
    }
    // The address table forgets released pictures and dead bitmaps: after
    // a release, or once it has grown well past its size at the last sweep.
    if (released > 0 || byObject_.size() > 2 * objectsAtLastSweep_ + 256) {
        std::erase_if(byObject_, [](const auto& item) {
            return !item.second.entry->live || item.second.bitmap.expired();
        });
        objectsAtLastSweep_ = byObject_.size();
    }
}

void TextureCache::clear() {
    for (auto& [hash, entry] : byContent_) release(*entry);
    byContent_.clear();
    byObject_.clear();
    pages_.clear();
    white_.reset();
    transparent_.reset();
    objectsAtLastSweep_ = 0;
}

namespace {
// `texture`, made on first use as one pixel of `rgba`.
GLuint onePixel(Texture& texture, std::uint8_t r, std::uint8_t g, std::uint8_t b, std::uint8_t a) {
    if (!texture) {
        texture = makeSamplingTexture();
        const std::uint8_t pixel[4] = {r, g, b, a};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixel);
    }
    return texture.get();
}
}  // namespace

GLuint TextureCache::white() { return onePixel(white_, 255, 255, 255, 255); }

GLuint TextureCache::transparent() { return onePixel(transparent_, 0, 0, 0, 0); }

TextureStats TextureCache::stats() const {
    TextureStats stats = stats_;
    stats.pictures = byContent_.size();
    stats.atlasPages = pages_.size();
    stats.ownTextures = 0;
    stats.bytes = pages_.size() * static_cast<std::size_t>(pageSide) * pageSide * 4 * 4 / 3;
    for (const auto& [hash, entry] : byContent_)
        if (entry->own) {
            ++stats.ownTextures;
            stats.bytes += entry->ownBytes;
            if (!entry->complete) ++stats.uploading;
        }
    return stats;
}

}  // namespace render
