#include "platform/scene/gltf/SceneEncoder.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <optional>
#include <tuple>
#include <unordered_map>

#include "platform/Bits.h"
#include "platform/graphics/Backend.h"
#include "platform/scene/gltf/GlbContainer.h"
#include "platform/scene/gltf/JsonWriter.h"

namespace scene::gltf {

std::uint64_t EncodedScene::size() const {
    return header.size() + json.size() + (bin.empty() ? 0 : binHeader.size() + bin.size());
}

std::vector<std::span<const std::uint8_t>> EncodedScene::pieces() const {
    std::vector<std::span<const std::uint8_t>> all{
        header, {reinterpret_cast<const std::uint8_t*>(json.data()), json.size()}};
    if (!bin.empty()) {
        all.emplace_back(binHeader);
        all.emplace_back(bin);
    }
    return all;
}

std::vector<std::uint8_t> EncodedScene::bytes() const {
    std::vector<std::uint8_t> joined;
    joined.reserve(size());
    for (auto piece : pieces()) joined.insert(joined.end(), piece.begin(), piece.end());
    return joined;
}

namespace {
using platform::fail;
using platform::Result;

// glTF's numbers for what we write.
constexpr int componentFloat = 5126;
constexpr int componentUnsignedShort = 5123;
constexpr int targetArrayBuffer = 34962;
constexpr int targetElementArrayBuffer = 34963;
constexpr int filterLinear = 9729;
constexpr int wrapClampToEdge = 33071;
// Photos are kept as JPEG files of this quality: a 2048-pixel photo takes
// under a megabyte, and on a plane a metre wide no loss shows.
constexpr int photoQuality = 85;

// The one way a photo is stored, in a save or ahead of one.
Result<std::vector<std::uint8_t>> encodePhoto(const graphics::Bitmap& bitmap) {
    return graphics::backend().encodeJpeg(bitmap, photoQuality);
}

std::uint32_t bitsOf(float value) { return platform::bitCast<std::uint32_t>(value); }
std::uint64_t bitsOf(double value) { return platform::bitCast<std::uint64_t>(value); }
bool allBitsZero(Vector3 v) { return bitsOf(v.x) == 0 && bitsOf(v.y) == 0 && bitsOf(v.z) == 0; }
bool allBitsZero(Vector4 v) { return allBitsZero(Vector3{v.x, v.y, v.z}) && bitsOf(v.w) == 0; }
bool finite(Vector3 v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }
bool finite(Vector4 v) { return finite(Vector3{v.x, v.y, v.z}) && std::isfinite(v.w); }

std::string nodeName(const Node& node) { return "node " + std::to_string(node.id()); }

// Where each corner of the picture as it is seen lies in the stored pixels
// (u to the right, v downwards, as glTF has it), for the quad's corners in
// the order bottom-left, bottom-right, top-right, top-left. Folding the
// orientation into the texture coordinates lets viewers show the picture
// upright without touching its pixels.
std::array<float, 8> textureCoordinates(graphics::ImageOrientation orientation) {
    using graphics::ImageOrientation;
    switch (orientation) {
        case ImageOrientation::up: return {0, 1, 1, 1, 1, 0, 0, 0};
        case ImageOrientation::down: return {1, 0, 0, 0, 0, 1, 1, 1};
        case ImageOrientation::left: return {0, 0, 0, 1, 1, 1, 1, 0};
        case ImageOrientation::right: return {1, 1, 1, 0, 0, 0, 0, 1};
        case ImageOrientation::upMirrored: return {1, 1, 0, 1, 0, 0, 1, 0};
        case ImageOrientation::downMirrored: return {0, 0, 1, 0, 1, 1, 0, 1};
        case ImageOrientation::leftMirrored: return {1, 0, 1, 1, 0, 1, 0, 0};
        case ImageOrientation::rightMirrored: return {0, 1, 0, 0, 1, 0, 1, 1};
    }
    platform::unreachable("textureCoordinates");
}

// The unit quaternion (x, y, z, w) that viewers need, for the rotation the
// renderer draws: the axis normalised, no rotation for a zero axis or angle.
std::optional<std::array<float, 4>> quaternionOf(Vector4 rotation) {
    double x = rotation.x, y = rotation.y, z = rotation.z;
    double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0 || rotation.w == 0) return std::nullopt;
    double half = static_cast<double>(rotation.w) / 2;
    double s = std::sin(half) / length;
    std::array<double, 4> q{x * s, y * s, z * s, std::cos(half)};
    double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    std::array<float, 4> unit{};
    for (std::size_t i = 0; i < 4; ++i) unit[i] = static_cast<float>(q[i] / norm);
    if (unit[0] == 0 && unit[1] == 0 && unit[2] == 0) return std::nullopt;
    return unit;
}

// The free axes of a node's billboard constraints, in order; none for a
// constraint of another kind.
std::optional<std::vector<int>> billboardsOf(const Node& node) {
    std::vector<int> axes;
    for (const auto& constraint : node.constraints()) {
        const auto* billboard = dynamic_cast<const BillboardConstraint*>(constraint.get());
        if (billboard == nullptr) return std::nullopt;
        axes.push_back(static_cast<int>(billboard->freeAxes()));
    }
    return axes;
}

void writeNumbers(JsonWriter& json, std::string_view key, std::initializer_list<float> values) {
    json.key(key);
    json.beginArray();
    for (float v : values) json.value(v);
    json.endArray();
}

class Encoder {
public:
    explicit Encoder(const Limits& limits) : limits_(limits) {}

    Result<EncodedScene> encode(const Scene& scene) {
        std::string& text = encoded_.json;
        // A sprite takes some 70 bytes; reserving them spares the copies
        // that growing the text would make.
        text.reserve(4096 + 80 * countNodes(*scene.rootNode()));
        JsonWriter json(text);
        json.beginObject();
        json.key("asset");
        json.beginObject();
        json.member("version", "2.0");
        json.member("generator", "Scrawlet");
        json.endObject();
        json.key("extensions");
        json.beginObject();
        json.key(extensionName);
        json.beginObject();
        json.member(field::version, layoutVersion);
        json.endObject();
        json.endObject();
        json.member("scene", 0);
        json.key("scenes");
        json.beginArray();
        json.beginObject();
        json.key("nodes");
        json.beginArray();
        json.value(0);
        json.endArray();
        json.endObject();
        json.endArray();

        json.key("nodes");
        json.beginArray();
        if (auto r = writeNodes(json, *scene.rootNode()); !r) return platform::Error{r.error()};
        json.endArray();

        json.key("extensionsUsed");
        json.beginArray();
        json.value(extensionName);
        if (!meshes_.empty()) json.value(unlitExtensionName);
        json.endArray();
        for (auto [key, list] : {std::pair{"meshes", &meshes_},
                                 {"materials", &materials_},
                                 {"textures", &textures_},
                                 {"samplers", &samplers_},
                                 {"images", &images_},
                                 {"accessors", &accessors_},
                                 {"bufferViews", &bufferViews_}}) {
            if (list->empty()) continue;
            json.key(key);
            json.beginArray();
            text += *list;
            json.endArray();
        }
        // A drawing of containers alone has no binary data, and glTF
        // wants no empty buffer.
        encoded_.bin.resize((encoded_.bin.size() + 3) / 4 * 4, 0);
        if (!encoded_.bin.empty()) {
            json.key("buffers");
            json.beginArray();
            json.beginObject();
            json.member("byteLength", std::uint64_t{encoded_.bin.size()});
            json.endObject();
            json.endArray();
        }
        json.endObject();

        // What we write, we must be able to read back.
        while (text.size() % 4 != 0) text += ' ';
        if (text.size() > limits_.maxJsonBytes)
            return fail("the drawing is too large: its description would take " +
                        std::to_string(text.size()) + " bytes, more than the " +
                        std::to_string(limits_.maxJsonBytes) + " a scene file may have");
        encoded_.header = glbHeader(text.size(), encoded_.bin.size());
        encoded_.binHeader = binChunkHeader(encoded_.bin.size());
        if (encoded_.size() > limits_.maxFileBytes)
            return fail("the drawing would take " + std::to_string(encoded_.size()) +
                        " bytes, more than the " + std::to_string(limits_.maxFileBytes) +
                        " a scene file may have");
        return std::move(encoded_);
    }

private:
    const Limits& limits_;
    EncodedScene encoded_;

    // The arrays other than the nodes, as JSON text without their brackets,
    // with their entry counts.
    std::string meshes_, materials_, textures_, samplers_, images_, accessors_, bufferViews_;
    std::size_t meshCount_ = 0, materialCount_ = 0, textureCount_ = 0, imageCount_ = 0,
                accessorCount_ = 0, bufferViewCount_ = 0;

    // Pictures are stored once per distinct set of pixels: sprites of
    // different strokes have bitmaps of their own with the same emoji.
    std::unordered_map<std::uint64_t, std::vector<int>> imagesByHash_;
    std::vector<const graphics::Bitmap*> imageBitmaps_;
    // Sprites of one stroke share one bitmap object: no need to compare.
    std::unordered_map<const graphics::Bitmap*, int> imagesByBitmap_;
    std::uint64_t imagePixels_ = 0;

    int normals_ = -1;
    int indices_ = -1;
    std::array<int, 8> textureCoordinates_{-1, -1, -1, -1, -1, -1, -1, -1};
    std::map<std::pair<std::uint64_t, std::uint64_t>, int> positions_;
    // image, scale, orientation, opaque
    using TextureKey = std::tuple<int, std::uint64_t, int, bool>;
    std::map<TextureKey, int> textureIndex_;
    // texture, double-sided, viewers' alpha
    using MaterialKey = std::tuple<int, bool, std::uint32_t>;
    std::map<MaterialKey, int> materialIndex_;
    // width, height, material, orientation, billboards
    using MeshKey = std::tuple<std::uint64_t, std::uint64_t, int, int, std::vector<int>>;
    std::map<MeshKey, int> meshIndex_;
    // Sprites come in strokes of the same mesh: the last one is tried first.
    std::optional<std::pair<MeshKey, int>> lastMesh_;

    // Appends bytes to the binary chunk at a 4-byte boundary and makes a
    // buffer view of them.
    int addBufferView(const void* data, std::size_t size, int target) {
        auto& bin = encoded_.bin;
        bin.resize((bin.size() + 3) / 4 * 4, 0);
        JsonWriter json(bufferViews_);
        if (bufferViewCount_ > 0) bufferViews_ += ',';
        json.beginObject();
        json.member("buffer", 0);
        json.member("byteOffset", std::uint64_t{bin.size()});
        json.member("byteLength", std::uint64_t{size});
        if (target != 0) json.member("target", target);
        json.endObject();
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        bin.insert(bin.end(), bytes, bytes + size);
        return static_cast<int>(bufferViewCount_++);
    }

    int addAccessor(int view, int componentType, int count, const char* type,
                    const float* bounds = nullptr, int components = 0) {
        JsonWriter json(accessors_);
        if (accessorCount_ > 0) accessors_ += ',';
        json.beginObject();
        json.member("bufferView", view);
        json.member("componentType", componentType);
        json.member("count", count);
        json.member("type", type);
        if (bounds != nullptr) {
            // Positions must say their bounds.
            for (auto [key, best] : {std::pair{"min", -1}, {"max", 1}}) {
                json.key(key);
                json.beginArray();
                for (int c = 0; c < components; ++c) {
                    float value = bounds[c];
                    for (int i = 1; i < count; ++i)
                        value = best < 0 ? std::min(value, bounds[i * components + c])
                                         : std::max(value, bounds[i * components + c]);
                    json.value(value);
                }
                json.endArray();
            }
        }
        json.endObject();
        return static_cast<int>(accessorCount_++);
    }

    int floatAccessor(const float* values, int count, const char* type, int components,
                      bool withBounds) {
        auto size = static_cast<std::size_t>(count * components) * sizeof(float);
        int view = addBufferView(values, size, targetArrayBuffer);
        return addAccessor(view, componentFloat, count, type, withBounds ? values : nullptr,
                           components);
    }

    int positionsFor(double width, double height) {
        auto key = std::pair{bitsOf(width), bitsOf(height)};
        if (auto it = positions_.find(key); it != positions_.end()) return it->second;
        auto w = static_cast<float>(width / 2), h = static_cast<float>(height / 2);
        const float corners[12] = {-w, -h, 0, w, -h, 0, w, h, 0, -w, h, 0};
        int accessor = floatAccessor(corners, 4, "VEC3", 3, true);
        positions_.emplace(key, accessor);
        return accessor;
    }

    int normals() {
        if (normals_ < 0) {
            const float up[12] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
            normals_ = floatAccessor(up, 4, "VEC3", 3, false);
        }
        return normals_;
    }

    int textureCoordinatesFor(graphics::ImageOrientation orientation) {
        auto slot = static_cast<std::size_t>(orientation);
        if (textureCoordinates_[slot] < 0) {
            auto uv = textureCoordinates(orientation);
            textureCoordinates_[slot] = floatAccessor(uv.data(), 4, "VEC2", 2, false);
        }
        return textureCoordinates_[slot];
    }

    int indices() {
        if (indices_ < 0) {
            // Two triangles, counter-clockwise seen from +z.
            const std::uint16_t triangles[6] = {0, 1, 2, 0, 2, 3};
            int view = addBufferView(triangles, sizeof triangles, targetElementArrayBuffer);
            indices_ = addAccessor(view, componentUnsignedShort, 6, "SCALAR");
        }
        return indices_;
    }

    // The image holding `bitmap`'s pixels, stored once per distinct set of
    // pixels: as the file it was read from or first stored as, else an
    // opaque one (a photo) as a JPEG, which it keeps for the next save, and
    // one with alpha (an emoji) as a PNG.
    Result<int> imageFor(const graphics::Bitmap& bitmap) {
        if (auto it = imagesByBitmap_.find(&bitmap); it != imagesByBitmap_.end()) return it->second;
        auto& candidates = imagesByHash_[bitmap.contentHash()];
        for (int image : candidates)
            if (imageBitmaps_[static_cast<std::size_t>(image)]->samePixels(bitmap)) {
                imagesByBitmap_.emplace(&bitmap, image);
                return image;
            }

        auto pixels = static_cast<std::uint64_t>(bitmap.width()) *
                      static_cast<std::uint64_t>(bitmap.height());
        if (bitmap.width() > limits_.maxImageSide || bitmap.height() > limits_.maxImageSide ||
            pixels > limits_.maxImagePixels)
            return fail("a picture of " + std::to_string(bitmap.width()) + " × " +
                        std::to_string(bitmap.height()) +
                        " pixels is larger than a scene file may hold");
        imagePixels_ += pixels;
        if (imagePixels_ > limits_.maxTotalImagePixels || imageCount_ >= limits_.maxImages)
            return fail("the drawing has more picture data than a scene file may hold");

        std::shared_ptr<const graphics::PictureFile> file = bitmap.storedAs();
        if (!file) {
            bool opaque = bitmap.format().alphaInfo == graphics::AlphaInfo::noneSkipLast;
            auto encoded = opaque ? encodePhoto(bitmap) : graphics::backend().encodePng(bitmap);
            if (!encoded) return fail("a picture could not be stored: " + encoded.error());
            file = std::make_shared<graphics::PictureFile>(graphics::PictureFile{
                opaque ? "image/jpeg" : "image/png", std::move(encoded).value()});
            // A PNG file gives back the same pixels and can be made again;
            // a JPEG file cannot, and is kept.
            if (opaque) bitmap.keepStoredAs(file);
        }
        int view = addBufferView(file->bytes.data(), file->bytes.size(), 0);
        JsonWriter json(images_);
        if (imageCount_ > 0) images_ += ',';
        json.beginObject();
        json.member("bufferView", view);
        json.member("mimeType", file->mimeType);
        json.endObject();
        int index = static_cast<int>(imageCount_++);
        candidates.push_back(index);
        imageBitmaps_.push_back(&bitmap);
        imagesByBitmap_.emplace(&bitmap, index);
        return index;
    }

    // The texture showing `image`: its pixels, and in our extension what a
    // picture has beyond them (scale, orientation tag, whether its bitmap
    // has alpha). Our extension lives here rather than on the material,
    // which carries the unlit extension that wants to be alone.
    Result<int> textureFor(const graphics::Image& image) {
        if (!std::isfinite(image.scale()) || !(image.scale() > 0))
            return fail("a picture has a scale that is not a positive number");
        const graphics::Bitmap& bitmap = *image.cgImage();
        auto source = imageFor(bitmap);
        if (!source) return source;
        bool opaque = bitmap.format().alphaInfo == graphics::AlphaInfo::noneSkipLast;
        TextureKey key{source.value(), bitsOf(image.scale()),
                       static_cast<int>(image.imageOrientation()), opaque};
        if (auto it = textureIndex_.find(key); it != textureIndex_.end()) return it->second;

        if (samplers_.empty()) {
            JsonWriter sampler(samplers_);
            sampler.beginObject();
            sampler.member("magFilter", filterLinear);
            sampler.member("minFilter", filterLinear);
            sampler.member("wrapS", wrapClampToEdge);
            sampler.member("wrapT", wrapClampToEdge);
            sampler.endObject();
        }
        JsonWriter json(textures_);
        if (textureCount_ > 0) textures_ += ',';
        json.beginObject();
        json.member("source", source.value());
        json.member("sampler", 0);
        json.key("extensions");
        json.beginObject();
        json.key(extensionName);
        json.beginObject();
        json.member(field::imageScale, image.scale());
        json.member(field::imageOrientation, graphics::orientationName(image.imageOrientation()));
        if (opaque) json.member(field::imageOpaque, true);
        json.endObject();
        json.endObject();
        json.endObject();
        int index = static_cast<int>(textureCount_++);
        textureIndex_.emplace(key, index);
        return index;
    }

    Result<int> materialFor(const Material& material, float alpha) {
        int texture = -1;
        if (const auto& image = material.diffuse.contents) {
            auto made = textureFor(*image);
            if (!made) return made;
            texture = made.value();
        }
        MaterialKey key{texture, material.doubleSided, bitsOf(alpha)};
        if (auto it = materialIndex_.find(key); it != materialIndex_.end()) return it->second;

        JsonWriter json(materials_);
        if (materialCount_ > 0) materials_ += ',';
        json.beginObject();
        json.member("alphaMode", "BLEND");
        json.member("doubleSided", material.doubleSided);
        json.key("pbrMetallicRoughness");
        json.beginObject();
        writeNumbers(json, "baseColorFactor", {1, 1, 1, alpha});
        json.member("metallicFactor", 0);
        json.member("roughnessFactor", 1);
        if (texture >= 0) {
            json.key("baseColorTexture");
            json.beginObject();
            json.member("index", texture);
            json.endObject();
        }
        json.endObject();
        json.key("extensions");
        json.beginObject();
        json.key(unlitExtensionName);
        json.beginObject();
        json.endObject();
        json.endObject();
        json.endObject();
        int index = static_cast<int>(materialCount_++);
        materialIndex_.emplace(key, index);
        return index;
    }

    Result<int> meshFor(const Node& node, const Plane& plane, float alpha,
                        std::vector<int> billboards) {
        // The quad's corners are floats, as glTF has them.
        if (!std::isfinite(static_cast<float>(plane.width() / 2)) ||
            !std::isfinite(static_cast<float>(plane.height() / 2)))
            return fail(nodeName(node) + " has a plane whose size is not a number");
        int material = -1;
        auto orientation = graphics::ImageOrientation::up;
        // A plane shows its first material; further ones are never drawn.
        if (auto first = plane.firstMaterial()) {
            auto made = materialFor(*first, alpha);
            if (!made) return made;
            material = made.value();
            if (first->diffuse.contents) orientation = first->diffuse.contents->imageOrientation();
        }
        MeshKey key{bitsOf(plane.width()), bitsOf(plane.height()), material,
                    static_cast<int>(orientation), std::move(billboards)};
        if (lastMesh_ && lastMesh_->first == key) return lastMesh_->second;
        if (auto it = meshIndex_.find(key); it != meshIndex_.end()) {
            lastMesh_.emplace(key, it->second);
            return it->second;
        }
        if (meshCount_ >= limits_.maxMeshes)
            return fail("the drawing has more than " + std::to_string(limits_.maxMeshes) +
                        " kinds of plane");

        JsonWriter json(meshes_);
        if (meshCount_ > 0) meshes_ += ',';
        json.beginObject();
        json.key("primitives");
        json.beginArray();
        json.beginObject();
        json.key("attributes");
        json.beginObject();
        json.member("POSITION", positionsFor(plane.width(), plane.height()));
        json.member("NORMAL", normals());
        json.member("TEXCOORD_0", textureCoordinatesFor(orientation));
        json.endObject();
        json.member("indices", indices());
        if (material >= 0) json.member("material", material);
        json.endObject();
        json.endArray();
        json.key("extensions");
        json.beginObject();
        json.key(extensionName);
        json.beginObject();
        json.member(field::width, plane.width());
        json.member(field::height, plane.height());
        if (const auto& axes = std::get<4>(key); !axes.empty()) {
            json.key(field::billboards);
            json.beginArray();
            for (int a : axes) json.value(a);
            json.endArray();
        }
        json.endObject();
        json.endObject();
        json.endObject();
        int index = static_cast<int>(meshCount_++);
        meshIndex_.emplace(key, index);
        lastMesh_.emplace(std::move(key), index);
        return index;
    }

    // One node's entry. `firstChild` is the index its first child gets.
    Result<void> writeNode(JsonWriter& json, const Node& node, bool isRoot, float& alpha,
                           std::size_t firstChild) {
        if (!finite(node.position()) || !finite(node.rotation()) || !std::isfinite(node.opacity()))
            return fail(nodeName(node) +
                        " has a position, rotation or opacity that is not a number");
        alpha *= std::clamp(node.opacity(), 0.0f, 1.0f);
        auto billboards = billboardsOf(node);
        if (!billboards)
            return fail(nodeName(node) + " has a constraint of a kind the scene file cannot store");
        if (billboards->size() > limits_.maxConstraints)
            return fail(nodeName(node) + " has more than " +
                        std::to_string(limits_.maxConstraints) + " constraints");

        std::optional<int> mesh;
        if (const auto& geometry = node.geometry()) {
            const auto* plane = dynamic_cast<const Plane*>(geometry.get());
            if (plane == nullptr)
                return fail(nodeName(node) + " has a geometry other than a plane");
            auto made = meshFor(node, *plane, alpha, std::move(*billboards));
            if (!made) return platform::Error{made.error()};
            mesh = made.value();
            billboards->clear();
        }

        json.beginObject();
        // Names show in viewers' outlines.
        if (isRoot)
            json.member("name", "root");
        else if (!mesh)
            json.member("name", "container");
        if (mesh) json.member("mesh", *mesh);
        if (!allBitsZero(node.position())) {
            Vector3 p = node.position();
            writeNumbers(json, "translation", {p.x, p.y, p.z});
        }
        if (auto q = quaternionOf(node.rotation()))
            writeNumbers(json, "rotation", {(*q)[0], (*q)[1], (*q)[2], (*q)[3]});
        if (const auto& children = node.childNodes(); !children.empty()) {
            json.key("children");
            json.beginArray();
            for (std::size_t i = 0; i < children.size(); ++i)
                json.value(std::uint64_t{firstChild + i});
            json.endArray();
        }

        // Our extension: what the glTF node cannot say exactly.
        bool rotated = !allBitsZero(node.rotation());
        bool translucent = bitsOf(node.opacity()) != bitsOf(1.0f);
        if (rotated || translucent || !billboards->empty()) {
            json.key("extensions");
            json.beginObject();
            json.key(extensionName);
            json.beginObject();
            if (rotated) {
                Vector4 r = node.rotation();
                writeNumbers(json, field::rotation, {r.x, r.y, r.z, r.w});
            }
            if (translucent) json.member(field::opacity, node.opacity());
            if (!billboards->empty()) {
                json.key(field::billboards);
                json.beginArray();
                for (int a : *billboards) json.value(a);
                json.endArray();
            }
            json.endObject();
            json.endObject();
        }
        json.endObject();
        return {};
    }

    static std::size_t countNodes(const Node& root) {
        std::size_t count = 0;
        for (std::vector<const Node*> walk{&root}; !walk.empty(); ++count) {
            const Node* node = walk.back();
            walk.pop_back();
            for (const auto& child : node->childNodes()) walk.push_back(child.get());
        }
        return count;
    }

    // The nodes in breadth-first order, so that the children of each node
    // have consecutive indices that are known when it is written. A queue
    // rather than recursion: each load of a drawing nests it one level
    // deeper.
    Result<void> writeNodes(JsonWriter& json, const Node& root) {
        struct Pending {
            const Node* node;
            int depth;
            float alpha;
        };
        std::vector<Pending> queue{{&root, 0, 1.0f}};
        for (std::size_t i = 0; i < queue.size(); ++i) {
            Pending pending = queue[i];
            const auto& children = pending.node->childNodes();
            if (!children.empty() && pending.depth + 1 > limits_.maxNodeDepth)
                return fail("the drawing nests nodes more than " +
                            std::to_string(limits_.maxNodeDepth) + " levels deep");
            if (queue.size() + children.size() > limits_.maxNodes)
                return fail("the drawing has more than " + std::to_string(limits_.maxNodes) +
                            " nodes");
            float alpha = pending.alpha;
            if (auto r = writeNode(json, *pending.node, i == 0, alpha, queue.size()); !r) return r;
            for (const auto& child : children)
                queue.push_back({child.get(), pending.depth + 1, alpha});
        }
        return {};
    }
};
}  // namespace

Result<EncodedScene> encodeScene(const Scene& scene, const Limits& limits) {
    return Encoder(limits).encode(scene);
}

Result<void> storePhotoAhead(const graphics::Bitmap& bitmap) {
    if (bitmap.storedAs() || bitmap.format().alphaInfo != graphics::AlphaInfo::noneSkipLast)
        return {};
    auto encoded = encodePhoto(bitmap);
    if (!encoded) return fail("a picture could not be stored: " + encoded.error());
    bitmap.keepStoredAs(std::make_shared<graphics::PictureFile>(
        graphics::PictureFile{"image/jpeg", std::move(encoded).value()}));
    return {};
}

}  // namespace scene::gltf
