// What changed in what the scene pass draws since a picture of it was
// made: nothing (the picture still shows the scene), planes added within a
// region of the screen and nothing else (the picture is right outside it),
// or anything else. The renderer reads this to keep its picture of the
// scene view, copy it, or draw it again where planes were added.
#pragma once

#include <array>
#include <limits>

namespace render {

struct SceneChange {
    enum class Kind { nothing, planesAdded, everything };

    Kind kind = Kind::everything;
    // Where the planes were added: x0, y0, x1, y1 in normalised device
    // coordinates, unbounded when an added plane's extent is not known.
    std::array<float, 4> region{};

    static SceneChange nothing() { return {Kind::nothing, {}}; }
    static SceneChange everything() { return {Kind::everything, {}}; }
    static SceneChange planesAdded(const std::array<float, 4>& region) {
        return {Kind::planesAdded, region};
    }
};

}  // namespace render
