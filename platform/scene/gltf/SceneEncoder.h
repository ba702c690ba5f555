// Turns a scene graph into a GLB scene file: planes as textured quads that
// any glTF viewer shows, and everything glTF has no words for in our
// extension, so that reading the file back gives the same graph. The JSON
// is written as the graph is walked, each distinct picture encoded once.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/Result.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/SceneFileLayout.h"

namespace scene::gltf {

// A scene file in the pieces it is written in, so that they need not be
// copied into one buffer first.
struct EncodedScene {
    std::array<std::uint8_t, 20> header{};
    std::string json;  // padded to 4 bytes
    std::array<std::uint8_t, 8> binHeader{};
    std::vector<std::uint8_t> bin;  // padded to 4 bytes; empty without pictures or planes

    std::uint64_t size() const;
    std::vector<std::span<const std::uint8_t>> pieces() const;
    std::vector<std::uint8_t> bytes() const;
};

// Fails with a reason for a graph the file cannot hold: a value that is not
// a number, a geometry or constraint of a kind we do not store, a graph or
// picture larger than the reader accepts.
platform::Result<EncodedScene> encodeScene(const Scene& scene, const Limits& limits = {});

// Stores an opaque picture (a photo) ahead of a save, as the save would: as
// a JPEG file the bitmap keeps, which every save then writes as it is. A
// picture with alpha, or one stored already, is left alone. This encodes
// the whole picture (tens of milliseconds for a photo): a host may do it
// while idle, so that a save after it only writes bytes.
platform::Result<void> storePhotoAhead(const graphics::Bitmap& bitmap);

}  // namespace scene::gltf
