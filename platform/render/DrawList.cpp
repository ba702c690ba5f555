#include "platform/render/DrawList.h"

#include <algorithm>
#include <cstddef>

#include "platform/render/SceneShader.h"

namespace render {

namespace {
constexpr std::size_t instanceSize = sizeof(std::uint32_t);
}

DrawList DrawList::make() {
    DrawList list;
    list.buffer_ = makeBuffer();
    list.partsBuffer_ = makeBuffer();
    return list;
}

// The runs before `from` kept (the one it falls in cut there), the rest
// made again.
void DrawList::runsFrom(std::size_t from, const std::vector<SceneCache::Entry>& entries,
                        const std::vector<MaterialFacts>& facts) {
    // Most drawings' sprites lie in one atlas page: one run holds them all.
    if (const TextureId only = onlyTexture(facts); only != 0) {
        runs_.clear();
        if (!slots_.empty()) runs_.push_back({only, 0, slots_.size()});
        return;
    }
    while (!runs_.empty() && runs_.back().first >= from) runs_.pop_back();
    if (!runs_.empty()) runs_.back().count = from - runs_.back().first;
    for (std::size_t i = from; i < slots_.size(); ++i) {
        const TextureId texture = facts[entries[slots_[i]].look].texture;
        if (runs_.empty() || runs_.back().texture != texture) runs_.push_back({texture, i, 0});
        ++runs_.back().count;
    }
}

// The instances at [from, to) into the buffer; all of them into a new
// buffer of twice their number when they outgrow it, or when a whole upload
// would use less than a quarter of it. The parts, whole.
void DrawList::upload(std::size_t from, std::size_t to) {
    glBindBuffer(GL_ARRAY_BUFFER, buffer_.get());
    const std::size_t least = 1024;
    if (slots_.size() > capacity_ ||
        (from == 0 && capacity_ > least && slots_.size() < capacity_ / 4)) {
        capacity_ = std::max(least, slots_.size() * 2);
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(capacity_ * instanceSize), nullptr,
                     GL_DYNAMIC_DRAW);
        from = 0;
        to = slots_.size();
    }
    if (from < to)
        glBufferSubData(GL_ARRAY_BUFFER, static_cast<GLintptr>(from * instanceSize),
                        static_cast<GLsizeiptr>((to - from) * instanceSize), slots_.data() + from);
    if (withParts_) {
        glBindBuffer(GL_ARRAY_BUFFER, partsBuffer_.get());
        glBufferData(GL_ARRAY_BUFFER, static_cast<GLsizeiptr>(parts_.size() * sizeof(Part)),
                     parts_.data(), GL_DYNAMIC_DRAW);
    }
}

std::size_t DrawList::execute(std::size_t firstRun, std::size_t endRun) const {
    if (withParts_) {
        glEnableVertexAttribArray(partAttribute);
    } else {
        glDisableVertexAttribArray(partAttribute);
        glVertexAttrib4f(partAttribute, 0, 0, 1, 1);
    }
    endRun = std::min(endRun, runs_.size());
    // Without a base instance (WebGL 2 has none) each run points the
    // instance attributes at its first plane.
    std::size_t calls = 0;
    for (std::size_t r = firstRun; r < endRun; ++r) {
        const Run& run = runs_[r];
        if (withParts_) {
            glBindBuffer(GL_ARRAY_BUFFER, partsBuffer_.get());
            glVertexAttribPointer(partAttribute, 4, GL_UNSIGNED_SHORT, GL_TRUE, sizeof(Part),
                                  reinterpret_cast<const void*>(run.first * sizeof(Part)));
        }
        glBindBuffer(GL_ARRAY_BUFFER, buffer_.get());
        glVertexAttribIPointer(slotAttribute, 1, GL_UNSIGNED_INT, instanceSize,
                               reinterpret_cast<const void*>(run.first * instanceSize));
        glBindTexture(GL_TEXTURE_2D, run.texture);
        glDrawArraysInstanced(GL_TRIANGLE_STRIP, 0, withParts_ ? 8 : 4,
                              static_cast<GLsizei>(run.count));
        ++calls;
    }
    return calls;
}

}  // namespace render
