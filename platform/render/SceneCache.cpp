#include "platform/render/SceneCache.h"

#include <algorithm>
#include <functional>

#include "platform/Bits.h"

namespace render {

namespace {

scene::Vector3 column(const scene::Matrix4& m, int c) {
    return {m.columns[c][0], m.columns[c][1], m.columns[c][2]};
}

// The transform from `node`'s parent to the world, and the opacity that
// its ancestors multiply into it. The root's own parent is the world.
std::pair<scene::Matrix4, float> placementOf(const scene::Node& node, const scene::Node* root) {
    scene::Matrix4 toWorld;
    float opacity = 1;
    if (&node == root) return {toWorld, opacity};
    for (const scene::Node* p = node.parentNode(); p != nullptr; p = p->parentNode()) {
        toWorld = p->transform() * toWorld;
        opacity *= p->opacity();
        if (p == root) break;
    }
    return {toWorld, opacity};
}

void mix(std::size_t& hash, std::size_t value) {
    hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
}

}  // namespace

std::size_t SceneCache::LookHash::operator()(const Look& look) const {
    std::size_t hash = std::hash<const void*>()(look.bitmap.get());
    mix(hash, static_cast<std::size_t>(look.orientation));
    mix(hash, static_cast<std::size_t>(look.facing));
    mix(hash, look.doubleSided);
    for (float f :
         {look.opacity, look.right.x, look.right.y, look.right.z, look.up.x, look.up.y, look.up.z})
        mix(hash, platform::bitCast<std::uint32_t>(f));
    return hash;
}

SceneCache::~SceneCache() {
    if (root_ != nullptr) root_->removeObserver(*this);
}

void SceneCache::observe(const scene::Node& root) {
    if (root_ == &root) return;
    if (root_ != nullptr) root_->removeObserver(*this);
    root_ = &root;
    root.addObserver(*this);
    rebuild();
}

void SceneCache::forget() {
    entries_.clear();
    freeEntries_ = 0;
    slots_.clear();
    looks_.clear();
    freeLooks_.clear();
    lookIndices_.clear();
    fixedPlanes_.clear();
    ++entriesGeneration_;
    ++reshapedGeneration_;
    ++renumberedGeneration_;
    ++looksGeneration_;
}

void SceneCache::rebuild() {
    forget();
    appearance_ = scene::appearanceGeneration();
    if (root_ != nullptr) add(*root_, scene::Matrix4::identity(), 1.0f);
}

void SceneCache::refresh() {
    // A plane or material that is shown changed: rare (the program makes
    // its planes before it adds them), so everything is read again.
    if (appearance_ != scene::appearanceGeneration()) {
        rebuild();
        return;
    }
    for (std::size_t i = 0; i < fixedPlanes_.size(); ++i)
        if (fixedPlanes_[i].material->doubleSided != fixedPlanes_[i].doubleSided) {
            const scene::Node& node = *fixedPlanes_[i].node;
            remove(node);
            addSubtree(node);
            // The list changed under the loop; look at it again next frame.
            return;
        }
}

std::uint32_t SceneCache::lookIndex(const Look& look) {
    if (auto known = lookIndices_.find(look); known != lookIndices_.end()) {
        ++looks_[known->second].users;
        return known->second;
    }
    std::uint32_t index;
    if (!freeLooks_.empty()) {
        index = freeLooks_.back();
        freeLooks_.pop_back();
        looks_[index] = {look, 1};
    } else {
        index = static_cast<std::uint32_t>(looks_.size());
        looks_.push_back({look, 1});
    }
    lookIndices_.emplace(look, index);
    ++looksGeneration_;
    return index;
}

void SceneCache::release(std::uint32_t index) {
    LookSlot& slot = looks_[index];
    if (--slot.users > 0) return;
    lookIndices_.erase(slot.look);
    slot.look = {};
    freeLooks_.push_back(index);
    ++looksGeneration_;
}

void SceneCache::add(const scene::Node& node, const scene::Matrix4& parentToWorld,
                     float parentOpacity) {
    const scene::Matrix4 toWorld = parentToWorld * node.transform();
    const float opacity = parentOpacity * node.opacity();
    // A transparent node hides everything below it.
    if (!(opacity > 0)) return;

    if (auto* plane = dynamic_cast<const scene::Plane*>(node.geometry().get())) {
        plane->mark.markShown();
        Look look;
        look.opacity = opacity;
        const auto halfWidth = static_cast<float>(plane->width() / 2);
        const auto halfHeight = static_cast<float>(plane->height() / 2);
        auto material = plane->firstMaterial();
        if (material) {
            material->diffuse.contents.mark.markShown();
            look.doubleSided = material->doubleSided;
            if (const auto& image = material->diffuse.contents) {
                look.bitmap = image->cgImage();
                look.orientation = image->imageOrientation();
            }
        }
        if (const auto* billboard = node.billboardConstraint()) {
            // Turned to the viewer: with all axes free the plane takes the
            // point of view's orientation, square to the screen, so it faces
            // the camera from any side. Free about y alone, it stays upright
            // and turns about the world's vertical towards the eye.
            look.facing = Look::Facing::camera;
            switch (billboard->freeAxes()) {
                case scene::BillboardConstraint::Axes::y:
                    look.facing = Look::Facing::upright;
                    break;
                case scene::BillboardConstraint::Axes::x:
                case scene::BillboardConstraint::Axes::z:
                case scene::BillboardConstraint::Axes::all: break;
            }
            // Only the sizes matter; sidedness does not, a billboard is
            // always seen from the front.
            look.doubleSided = true;
            look.right = {halfWidth, 0, 0};
            look.up = {0, halfHeight, 0};
        } else {
            look.right = column(toWorld, 0) * halfWidth;
            look.up = column(toWorld, 1) * halfHeight;
            if (material) fixedPlanes_.push_back({&node, material.get(), material->doubleSided});
        }
        const auto slot = static_cast<std::uint32_t>(entries_.size());
        entries_.push_back({column(toWorld, 3), lookIndex(look)});
        slots_[&node] = slot;
        ++entriesGeneration_;
    }
    for (const auto& child : node.childNodes()) add(*child, toWorld, opacity);
}

void SceneCache::addSubtree(const scene::Node& node) {
    auto [parentToWorld, opacity] = placementOf(node, root_);
    add(node, parentToWorld, opacity);
}

void SceneCache::remove(const scene::Node& node) {
    if (auto known = slots_.find(&node); known != slots_.end()) {
        Entry& entry = entries_[known->second];
        if (looks_[entry.look].look.facing == Look::Facing::fixed)
            std::erase_if(fixedPlanes_, [&node](const FixedPlane& p) { return p.node == &node; });
        release(entry.look);
        entry.look = none;
        ++freeEntries_;
        slots_.erase(known);
        ++entriesGeneration_;
        ++reshapedGeneration_;
    }
    for (const auto& child : node.childNodes()) remove(*child);
    compact();
}

// Free slots are closed up once they are as many as the planes, keeping
// the order of the rest.
void SceneCache::compact() {
    if (freeEntries_ < 1024 || freeEntries_ < slots_.size()) return;
    std::vector<std::uint32_t> moved(entries_.size(), none);
    std::uint32_t next = 0;
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].look != none) {
            moved[i] = next;
            entries_[next++] = entries_[i];
        }
    entries_.resize(next);
    entries_.shrink_to_fit();
    for (auto& [node, slot] : slots_) slot = moved[slot];
    freeEntries_ = 0;
    ++entriesGeneration_;
    ++reshapedGeneration_;
    ++renumberedGeneration_;
}

void SceneCache::nodeChanged(const scene::Node& node) {
    remove(node);
    addSubtree(node);
}

void SceneCache::childAdded(const scene::Node& child) { addSubtree(child); }

void SceneCache::childRemoving(const scene::Node& child) { remove(child); }

void SceneCache::observedNodeDestroyed(const scene::Node& node) {
    if (&node != root_) return;
    root_ = nullptr;
    forget();
}

}  // namespace render
