// What the sprites of one controller share. Every touch sample of a stroke
// draws the same emoji at the same size: drawing it again would give the
// same pixels, so a sample takes a new image of the bitmap already drawn;
// and the samples of a stroke show one picture, so they share one plane
// with its material, and one constraint. The controller owns its cache.
#pragma once

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/scene/Constraint.h"
#include "platform/scene/Material.h"

namespace scrawlet {

// The pictures of the last few emoji drawn.
class RecentEmoji {
public:
    struct Key {
        std::string text;
        double size;
        double scale;
        friend bool operator==(const Key&, const Key&) = default;
    };
    std::shared_ptr<const graphics::Bitmap> find(const Key& key) const {
        for (const auto& [known, bitmap] : recent_)
            if (known == key) return bitmap;
        return nullptr;
    }
    void remember(Key key, std::shared_ptr<const graphics::Bitmap> bitmap) {
        if (recent_.size() == capacity) recent_.erase(recent_.begin());
        recent_.emplace_back(std::move(key), std::move(bitmap));
    }

private:
    static constexpr std::size_t capacity = 8;
    std::vector<std::pair<Key, std::shared_ptr<const graphics::Bitmap>>> recent_;
};

// The plane and constraint of the last billboard made, kept only while a
// sprite shows them. Nothing changes them once the sprite is placed.
struct LastBillboard {
    std::weak_ptr<scene::Plane> plane;
    std::weak_ptr<scene::BillboardConstraint> constraint;
};

struct SpriteCache {
    RecentEmoji recentEmoji;
    LastBillboard lastBillboard;
};

}  // namespace scrawlet
