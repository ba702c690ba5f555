// Helpers for the scene-file tests: pictures and nodes made by hand, the
// first difference between two scene graphs, and a look inside GLB bytes.
#pragma once

#include <bit>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <iterator>
#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <vector>

#include "platform/Files.h"
#include "platform/graphics/Image.h"
#include "platform/scene/Material.h"
#include "platform/scene/Node.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/SceneEncoder.h"

namespace scenefiles {

// A bitmap of valid premultiplied pixels (no colour above its alpha), a
// different pattern for each seed.
inline std::shared_ptr<graphics::Bitmap> patternBitmap(int width, int height, int seed) {
    auto bitmap = std::make_shared<graphics::Bitmap>(width, height);
    std::uint32_t x = 2463534242u ^ static_cast<std::uint32_t>(seed) * 2654435761u;
    auto next = [&x] {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        return x;
    };
    for (int py = 0; py < height; ++py)
        for (int px = 0; px < width; ++px) {
            auto a = static_cast<std::uint8_t>(next() % 256);
            auto channel = [&] {
                return static_cast<std::uint8_t>(a == 0 ? 0 : next() % (a + 1u));
            };
            graphics::Rgba pixel;
            pixel.r = channel();
            pixel.g = channel();
            pixel.b = channel();
            pixel.a = a;
            bitmap->setPixel(px, py, pixel);
        }
    return bitmap;
}

inline std::shared_ptr<graphics::Image> patternImage(int width, int height, int seed,
                                                     double scale = 3) {
    return std::make_shared<graphics::Image>(patternBitmap(width, height, seed), scale);
}

// A sprite as the app places it: a square plane facing the viewer, its
// picture on a single-sided material.
inline std::shared_ptr<scene::Node> sprite(std::shared_ptr<const graphics::Image> image,
                                           double side = 0.1) {
    auto plane = scene::Plane::planeWithWidth(side, side);
    plane->firstMaterial()->diffuse.contents = std::move(image);
    auto node = scene::Node::nodeWithGeometry(plane);
    node->setConstraints({std::make_shared<scene::BillboardConstraint>()});
    return node;
}

// A photo as the app pins it: a double-sided, slightly transparent plane.
inline std::shared_ptr<scene::Node> photo(std::shared_ptr<const graphics::Image> image) {
    auto size = image->size();
    auto plane = scene::Plane::planeWithWidth(1.0, size.height / size.width);
    plane->firstMaterial()->doubleSided = true;
    plane->firstMaterial()->diffuse.contents = std::move(image);
    auto node = scene::Node::nodeWithGeometry(plane);
    node->setOpacity(0.9f);
    return node;
}

template <class T>
std::string bits(T value) {
    std::ostringstream out;
    out << std::hex
        << std::bit_cast<std::conditional_t<sizeof(T) == 4, std::uint32_t, std::uint64_t>>(value)
        << "(" << std::setprecision(9) << value << ")";
    return out.str();
}

// Everything the file stores about one node, exactly: its values as bits
// (and readable), its plane, first material and picture (pixels by their
// hash, a JPEG photo by its file's), its constraints and how many children
// it has.
inline std::string describe(const scene::Node& node) {
    std::ostringstream out;
    auto p = node.position();
    auto r = node.rotation();
    out << "position " << bits(p.x) << " " << bits(p.y) << " " << bits(p.z) << ", rotation "
        << bits(r.x) << " " << bits(r.y) << " " << bits(r.z) << " " << bits(r.w) << ", opacity "
        << bits(node.opacity());
    if (const auto* plane = dynamic_cast<const scene::Plane*>(node.geometry().get())) {
        out << ", plane " << bits(plane->width()) << " " << bits(plane->height());
        if (auto material = plane->firstMaterial()) {
            out << (material->doubleSided ? " double-sided" : " single-sided");
            if (const auto& image = material->diffuse.contents) {
                const auto& bitmap = *image->cgImage();
                out << ", picture scale " << bits(image->scale()) << " "
                    << graphics::orientationName(image->imageOrientation()) << " alpha "
                    << static_cast<int>(bitmap.format().alphaInfo) << " " << bitmap.width() << "x"
                    << bitmap.height();
                // A photo kept as a JPEG file is that file: what decoding it
                // gives depends on the decoder.
                const auto& file = bitmap.storedAs();
                if (file && file->mimeType == "image/jpeg")
                    out << " JPEG file " << std::hex
                        << std::hash<std::string_view>{}(
                               std::string_view(reinterpret_cast<const char*>(file->bytes.data()),
                                                file->bytes.size()))
                        << std::dec;
                else
                    out << " pixels " << std::hex << bitmap.contentHash() << std::dec;
            }
        }
    } else if (node.geometry() != nullptr) {
        out << ", a geometry that is not a plane";
    }
    out << ", constraints";
    for (const auto& constraint : node.constraints()) {
        const auto* billboard = dynamic_cast<const scene::BillboardConstraint*>(constraint.get());
        out << " " << (billboard ? static_cast<int>(billboard->freeAxes()) : -1);
    }
    out << ", " << node.childNodes().size() << " children";
    return out.str();
}

// Empty when the graphs under `a` and `b` hold the same values, bit for bit
// (pictures by their pixels); otherwise where and how they first differ.
inline std::string firstDifference(const scene::Node& a, const scene::Node& b) {
    std::vector<std::tuple<const scene::Node*, const scene::Node*, std::string>> stack{
        {&a, &b, "root"}};
    while (!stack.empty()) {
        auto [na, nb, path] = stack.back();
        stack.pop_back();
        auto da = describe(*na), db = describe(*nb);
        if (da != db) return path + ": " + da + " against " + db;
        for (std::size_t i = na->childNodes().size(); i-- > 0;)
            stack.emplace_back(na->childNodes()[i].get(), nb->childNodes()[i].get(),
                               path + "/" + std::to_string(i));
    }
    return "";
}

inline std::vector<std::uint8_t> readBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path.string());
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void writeBytes(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

// The JSON chunk and binary chunk of well-formed GLB bytes, and the reverse.
struct Glb {
    nlohmann::json json;
    std::vector<std::uint8_t> bin;
};

inline std::uint32_t read32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    if (at + 4 > bytes.size()) throw std::runtime_error("GLB cut off");
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

inline void append32(std::vector<std::uint8_t>& bytes, std::uint32_t value) {
    for (int k = 0; k < 4; ++k) bytes.push_back(static_cast<std::uint8_t>(value >> (8 * k)));
}

inline Glb splitGlb(const std::vector<std::uint8_t>& bytes) {
    Glb glb;
    std::uint32_t jsonLength = read32(bytes, 12);
    if (20 + std::size_t{jsonLength} > bytes.size()) throw std::runtime_error("GLB JSON cut off");
    glb.json = nlohmann::json::parse(bytes.begin() + 20, bytes.begin() + 20 + jsonLength);
    std::size_t at = 20 + jsonLength;
    if (at < bytes.size()) {
        std::uint32_t binLength = read32(bytes, at);
        if (at + 8 + binLength > bytes.size()) throw std::runtime_error("GLB binary chunk cut off");
        glb.bin.assign(bytes.begin() + static_cast<std::ptrdiff_t>(at + 8),
                       bytes.begin() + static_cast<std::ptrdiff_t>(at + 8 + binLength));
    }
    return glb;
}

inline std::vector<std::uint8_t> joinGlb(const Glb& glb) {
    std::string text = glb.json.dump();
    while (text.size() % 4 != 0) text.push_back(' ');
    std::vector<std::uint8_t> bin = glb.bin;
    while (bin.size() % 4 != 0) bin.push_back(0);
    std::vector<std::uint8_t> out{'g', 'l', 'T', 'F'};
    append32(out, 2);
    append32(out,
             static_cast<std::uint32_t>(12 + 8 + text.size() + (bin.empty() ? 0 : 8 + bin.size())));
    append32(out, static_cast<std::uint32_t>(text.size()));
    append32(out, 0x4E4F534A);
    out.insert(out.end(), text.begin(), text.end());
    if (!bin.empty()) {
        append32(out, static_cast<std::uint32_t>(bin.size()));
        append32(out, 0x004E4942);
        out.insert(out.end(), bin.begin(), bin.end());
    }
    return out;
}

// The bytes that buffer view `index` covers.
inline std::vector<std::uint8_t> bufferViewBytes(const Glb& glb, std::size_t index) {
    const auto& view = glb.json.at("bufferViews").at(index);
    std::size_t offset = view.value("byteOffset", std::size_t{0});
    std::size_t length = view.at("byteLength").get<std::size_t>();
    if (offset + length > glb.bin.size())
        throw std::runtime_error("buffer view beyond the binary chunk");
    return {glb.bin.begin() + static_cast<std::ptrdiff_t>(offset),
            glb.bin.begin() + static_cast<std::ptrdiff_t>(offset + length)};
}

// The scene file of `scene`, written in memory; throws when it cannot be.
inline std::vector<std::uint8_t> encode(const scene::Scene& scene) {
    auto encoded = scene::gltf::encodeScene(scene);
    if (!encoded.ok()) throw std::runtime_error(encoded.error());
    return encoded.value().bytes();
}

// How many temporary files of saves to `file` lie beside it.
inline int temporaryFilesBeside(const std::filesystem::path& file) {
    int count = 0;
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path()))
        count += platform::isTemporaryFileFor(file, entry.path()) ? 1 : 0;
    return count;
}

}  // namespace scenefiles
