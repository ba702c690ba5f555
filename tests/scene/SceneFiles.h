// Helpers for the scene-file tests: pictures and nodes made by hand, the
// first difference between two scene graphs, and a look inside GLB bytes.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/scene/Node.h"
#include "platform/scene/Scene.h"

namespace scenefiles {

// A bitmap of valid premultiplied pixels (no colour above its alpha), a
// different pattern for each seed.
std::shared_ptr<graphics::Bitmap> patternBitmap(int width, int height, int seed);
std::shared_ptr<graphics::Image> patternImage(int width, int height, int seed, double scale = 3);

// A sprite as the app places it: a square plane facing the viewer, its
// picture on a single-sided material.
std::shared_ptr<scene::Node> sprite(std::shared_ptr<const graphics::Image> image,
                                    double side = 0.1);
// A photo as the app pins it: a double-sided, slightly transparent plane.
std::shared_ptr<scene::Node> photo(std::shared_ptr<const graphics::Image> image);

// Empty when the graphs under `a` and `b` hold the same values, bit for bit
// (pictures by their pixels); otherwise where and how they first differ.
std::string firstDifference(const scene::Node& a, const scene::Node& b);

std::vector<std::uint8_t> readBytes(const std::filesystem::path& path);
void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes);

// The JSON chunk and binary chunk of well-formed GLB bytes, and the reverse.
struct Glb {
    nlohmann::json json;
    std::vector<std::uint8_t> bin;
};
Glb splitGlb(const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> joinGlb(const Glb& glb);

// The bytes that buffer view `index` covers.
std::vector<std::uint8_t> bufferViewBytes(const Glb& glb, std::size_t index);

// The scene file of `scene`, written in memory; throws when it cannot be.
std::vector<std::uint8_t> encode(const scene::Scene& scene);

// How many temporary files of saves to `file` lie beside it.
int temporaryFilesBeside(const std::filesystem::path& file);

}  // namespace scenefiles
