// The checks a scene file's JSON must pass before tinygltf reads it.
// tinygltf trusts what it reads: it takes image bytes from buffer views
// without checking their range, truncates indices to int and follows URIs
// to other files. Here every count, index and byte range is checked on the
// parsed JSON, exactly as written, so that tinygltf only ever sees a file
// whose references hold.
#pragma once

#include <cstddef>
#include <nlohmann/json.hpp>
#include <optional>

#include "platform/Result.h"
#include "platform/scene/gltf/SceneFileLayout.h"

namespace scene::gltf {

// `binBytes` is the size of the file's binary chunk, or none without one.
platform::Result<void> checkDocument(const nlohmann::json& document,
                                     std::optional<std::size_t> binBytes, const Limits& limits);

}  // namespace scene::gltf
