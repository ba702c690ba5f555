// The outer layer of a glTF binary (GLB) file: the 12-byte header and the
// chunks, checked against the file's real size before anything inside is
// trusted, and a scan of the JSON's nesting before any parser sees it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "platform/Result.h"
#include "platform/scene/gltf/SceneFileLayout.h"

namespace scene::gltf {

struct GlbChunks {
    std::span<const std::uint8_t> json;
    // The binary chunk's bytes, when the file has one.
    std::optional<std::span<const std::uint8_t>> bin;
};

// Splits a GLB file into its JSON and binary chunks. Refuses a wrong magic
// or version, a length that differs from the file's, chunks that overrun the
// file or are not 4-byte aligned, a missing JSON chunk, and a second binary
// chunk. Chunks of other types are skipped, as glTF asks.
platform::Result<GlbChunks> splitGlb(std::span<const std::uint8_t> bytes, const Limits& limits);

struct JsonShape {
    int depth = 0;
    std::size_t values = 0;
};

// Scans JSON text without parsing it: how deeply arrays and objects nest
// and roughly how many values it holds. Stops with a reason as soon as
// either passes its limit, so a parser never recurses into [[[[…]]]].
platform::Result<JsonShape> scanJson(std::span<const std::uint8_t> json, const Limits& limits);

}  // namespace scene::gltf
