#include "platform/scene/gltf/SceneEncoder.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <tuple>
#include <unordered_map>

#include "platform/graphics/Backend.h"
#include "platform/scene/gltf/GlbContainer.h"
#include "platform/scene/gltf/TinyGltf.h"

namespace scene::gltf {

namespace {
using platform::fail;
using platform::Result;
using tinygltf::Value;

constexpr int componentFloat = TINYGLTF_COMPONENT_TYPE_FLOAT;
constexpr int componentUnsignedShort = TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT;

std::uint64_t bitsOf(double value) { return std::bit_cast<std::uint64_t>(value); }
bool allBitsZero(Vector3 v) {
    return std::bit_cast<std::uint32_t>(v.x) == 0 && std::bit_cast<std::uint32_t>(v.y) == 0 &&
           std::bit_cast<std::uint32_t>(v.z) == 0;
}
bool allBitsZero(Vector4 v) {
    return allBitsZero(Vector3{v.x, v.y, v.z}) && std::bit_cast<std::uint32_t>(v.w) == 0;
}
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
    return {0, 1, 1, 1, 1, 0, 0, 0};
}

// The unit quaternion (x, y, z, w) that viewers need, for the rotation the
// renderer draws: the axis normalised, no rotation for a zero axis or angle.
std::optional<std::array<double, 4>> quaternionOf(Vector4 rotation) {
    double x = rotation.x, y = rotation.y, z = rotation.z;
    double length = std::sqrt(x * x + y * y + z * z);
    if (length == 0 || rotation.w == 0) return std::nullopt;
    double half = static_cast<double>(rotation.w) / 2;
    double s = std::sin(half) / length;
    std::array<double, 4> q{x * s, y * s, z * s, std::cos(half)};
    double norm = std::sqrt(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3]);
    for (double& c : q) c /= norm;
    if (q[0] == 0 && q[1] == 0 && q[2] == 0) return std::nullopt;
    return q;
}

Value numbers(std::initializer_list<double> values) {
    Value::Array array;
    for (double v : values) array.emplace_back(v);
    return Value(std::move(array));
}

class Encoder {
public:
    explicit Encoder(const Limits& limits) : limits_(limits) {}

    Result<std::vector<std::uint8_t>> encode(const Scene& scene) {
        model_.asset.version = "2.0";
        model_.asset.generator = "Scrawlet";
        model_.extensions[extensionName] =
            Value(Value::Object{{field::version, Value(layoutVersion)}});
        model_.extensionsUsed.push_back(extensionName);

        if (auto r = addNodes(*scene.rootNode()); !r) return platform::Error{r.error()};

        tinygltf::Scene gltfScene;
        gltfScene.nodes = {0};
        model_.scenes.push_back(std::move(gltfScene));
        model_.defaultScene = 0;
        if (unlitUsed_) model_.extensionsUsed.push_back(unlitExtensionName);

        // A drawing of containers alone has no binary data, and glTF wants
        // no empty buffer.
        if (!bin_.empty()) {
            tinygltf::Buffer buffer;
            buffer.data = std::move(bin_);
            model_.buffers.push_back(std::move(buffer));
        }

        std::ostringstream stream;
        try {
            tinygltf::TinyGLTF writer;
            if (!writer.WriteGltfSceneToStream(&model_, stream, false, true))
                return fail("tinygltf could not write the scene");
        } catch (const std::exception& error) {
            return fail(std::string("tinygltf could not write the scene: ") + error.what());
        }
        std::string text = std::move(stream).str();
        std::vector<std::uint8_t> bytes(text.begin(), text.end());
        // What we write, we must be able to read back.
        if (bytes.size() > limits_.maxFileBytes)
            return fail("the drawing would take " + std::to_string(bytes.size()) +
                        " bytes, more than the " + std::to_string(limits_.maxFileBytes) +
                        " a scene file may have");
        auto chunks = splitGlb(bytes, limits_);
        if (!chunks) return fail("the drawing is too large: " + chunks.error());
        if (auto shape = scanJson(chunks.value().json, limits_); !shape)
            return fail("the drawing is too large: " + shape.error());
        return bytes;
    }

private:
    const Limits& limits_;
    tinygltf::Model model_;
    std::vector<std::uint8_t> bin_;
    bool unlitUsed_ = false;

    // Pictures are stored once per distinct set of pixels: every sprite of
    // a stroke has its own bitmap of the same emoji.
    std::unordered_map<std::uint64_t, std::vector<int>> imagesByHash_;
    std::vector<const graphics::Bitmap*> imageBitmaps_;
    // Sprites of one stroke may share a bitmap object: no need to compare.
    std::unordered_map<const graphics::Bitmap*, int> imagesByBitmap_;
    std::uint64_t imagePixels_ = 0;
    int sampler_ = -1;
    int normals_ = -1;
    int indices_ = -1;
    std::array<int, 8> textureCoordinates_{-1, -1, -1, -1, -1, -1, -1, -1};
    std::map<std::pair<std::uint64_t, std::uint64_t>, int> positions_;
    // image, scale, orientation, opaque
    using TextureKey = std::tuple<int, std::uint64_t, int, bool>;
    std::map<TextureKey, int> textures_;
    // texture, double-sided, viewers' alpha
    using MaterialKey = std::tuple<int, bool, std::uint64_t>;
    std::map<MaterialKey, int> materials_;
    // width, height, material, orientation
    using MeshKey = std::tuple<std::uint64_t, std::uint64_t, int, int>;
    std::map<MeshKey, int> meshes_;

    // Appends bytes to the binary chunk at a 4-byte boundary and makes a
    // buffer view of them.
    int addBufferView(const void* data, std::size_t size, int target) {
        while (bin_.size() % 4 != 0) bin_.push_back(0);
        tinygltf::BufferView view;
        view.buffer = 0;
        view.byteOffset = bin_.size();
        view.byteLength = size;
        view.target = target;
        const auto* bytes = static_cast<const std::uint8_t*>(data);
        bin_.insert(bin_.end(), bytes, bytes + size);
        model_.bufferViews.push_back(std::move(view));
        return static_cast<int>(model_.bufferViews.size() - 1);
    }

    int addFloatAccessor(const float* values, int count, int type, int components,
                         bool withBounds) {
        auto size =
            static_cast<std::size_t>(count) * static_cast<std::size_t>(components) * sizeof(float);
        tinygltf::Accessor accessor;
        accessor.bufferView = addBufferView(values, size, TINYGLTF_TARGET_ARRAY_BUFFER);
        accessor.componentType = componentFloat;
        accessor.count = static_cast<std::size_t>(count);
        accessor.type = type;
        if (withBounds) {
            accessor.minValues.assign(static_cast<std::size_t>(components), INFINITY);
            accessor.maxValues.assign(static_cast<std::size_t>(components), -INFINITY);
            for (int i = 0; i < count; ++i)
                for (int c = 0; c < components; ++c) {
                    auto k = static_cast<std::size_t>(c);
                    double v = values[i * components + c];
                    accessor.minValues[k] = std::min(accessor.minValues[k], v);
                    accessor.maxValues[k] = std::max(accessor.maxValues[k], v);
                }
        }
        model_.accessors.push_back(std::move(accessor));
        return static_cast<int>(model_.accessors.size() - 1);
    }

    int positionsFor(double width, double height) {
        auto key = std::make_pair(bitsOf(width), bitsOf(height));
        if (auto it = positions_.find(key); it != positions_.end()) return it->second;
        auto x = static_cast<float>(width / 2), y = static_cast<float>(height / 2);
        const float corners[12] = {-x, -y, 0, x, -y, 0, x, y, 0, -x, y, 0};
        int accessor = addFloatAccessor(corners, 4, TINYGLTF_TYPE_VEC3, 3, true);
        positions_.emplace(key, accessor);
        return accessor;
    }

    int normals() {
        if (normals_ < 0) {
            const float up[12] = {0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
            normals_ = addFloatAccessor(up, 4, TINYGLTF_TYPE_VEC3, 3, false);
        }
        return normals_;
    }

    int textureCoordinatesFor(graphics::ImageOrientation orientation) {
        auto slot = static_cast<std::size_t>(orientation);
        if (textureCoordinates_[slot] < 0) {
            auto uv = textureCoordinates(orientation);
            textureCoordinates_[slot] =
                addFloatAccessor(uv.data(), 4, TINYGLTF_TYPE_VEC2, 2, false);
        }
        return textureCoordinates_[slot];
    }

    int indices() {
        if (indices_ < 0) {
            // Two triangles, counter-clockwise seen from +z.
            const std::uint16_t triangles[6] = {0, 1, 2, 0, 2, 3};
            tinygltf::Accessor accessor;
            accessor.bufferView =
                addBufferView(triangles, sizeof triangles, TINYGLTF_TARGET_ELEMENT_ARRAY_BUFFER);
            accessor.componentType = componentUnsignedShort;
            accessor.count = 6;
            accessor.type = TINYGLTF_TYPE_SCALAR;
            model_.accessors.push_back(std::move(accessor));
            indices_ = static_cast<int>(model_.accessors.size() - 1);
        }
        return indices_;
    }

    int sampler() {
        if (sampler_ < 0) {
            tinygltf::Sampler sampler;
            sampler.magFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
            sampler.minFilter = TINYGLTF_TEXTURE_FILTER_LINEAR;
            sampler.wrapS = TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
            sampler.wrapT = TINYGLTF_TEXTURE_WRAP_CLAMP_TO_EDGE;
            model_.samplers.push_back(std::move(sampler));
            sampler_ = static_cast<int>(model_.samplers.size() - 1);
        }
        return sampler_;
    }

    // The image holding `bitmap`'s pixels as PNG, stored once per distinct
    // set of pixels.
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
        if (imagePixels_ > limits_.maxTotalImagePixels || model_.images.size() >= limits_.maxImages)
            return fail("the drawing has more picture data than a scene file may hold");

        Result<std::vector<std::uint8_t>> png = encodePng(bitmap);
        if (!png) return fail("a picture could not be stored: " + png.error());
        tinygltf::Image image;
        image.mimeType = "image/png";
        image.bufferView = addBufferView(png.value().data(), png.value().size(), 0);
        model_.images.push_back(std::move(image));
        int index = static_cast<int>(model_.images.size() - 1);
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
        const graphics::Bitmap& bitmap = *image.cgImage();
        auto source = imageFor(bitmap);
        if (!source) return source;
        bool opaque = bitmap.format().alphaInfo == graphics::AlphaInfo::noneSkipLast;
        TextureKey key{source.value(), bitsOf(image.scale()),
                       static_cast<int>(image.imageOrientation()), opaque};
        if (auto it = textures_.find(key); it != textures_.end()) return it->second;

        tinygltf::Texture texture;
        texture.source = source.value();
        texture.sampler = sampler();
        Value::Object ours{
            {field::imageScale, Value(image.scale())},
            {field::imageOrientation,
             Value(std::string(graphics::orientationName(image.imageOrientation())))}};
        if (opaque) ours.emplace(field::imageOpaque, Value(true));
        texture.extensions[extensionName] = Value(std::move(ours));
        model_.textures.push_back(std::move(texture));
        int index = static_cast<int>(model_.textures.size() - 1);
        textures_.emplace(key, index);
        return index;
    }

    // An opaque bitmap's alpha bytes mean nothing; PNG must see them as
    // fully opaque, or viewers and our own decoder would take them as
    // transparency.
    static Result<std::vector<std::uint8_t>> encodePng(const graphics::Bitmap& bitmap) {
        switch (bitmap.format().alphaInfo) {
            case graphics::AlphaInfo::premultipliedLast:
                return graphics::backend().encodePng(bitmap);
            case graphics::AlphaInfo::noneSkipLast: {
                graphics::Bitmap opaque(bitmap.width(), bitmap.height());
                std::memcpy(opaque.data(), bitmap.data(), bitmap.byteCount());
                for (std::size_t i = 3; i < opaque.byteCount(); i += 4) opaque.data()[i] = 255;
                return graphics::backend().encodePng(opaque);
            }
        }
        return fail("a picture has an unknown alpha layout");
    }

    Result<int> materialFor(const Material& material, double alpha) {
        int texture = -1;
        if (const auto& image = material.diffuse.contents) {
            auto made = textureFor(*image);
            if (!made) return made;
            texture = made.value();
        }
        MaterialKey key{texture, material.doubleSided, bitsOf(alpha)};
        if (auto it = materials_.find(key); it != materials_.end()) return it->second;

        tinygltf::Material gltfMaterial;
        gltfMaterial.alphaMode = "BLEND";
        gltfMaterial.doubleSided = material.doubleSided;
        gltfMaterial.pbrMetallicRoughness.baseColorFactor = {1, 1, 1, alpha};
        gltfMaterial.pbrMetallicRoughness.metallicFactor = 0;
        gltfMaterial.pbrMetallicRoughness.roughnessFactor = 1;
        gltfMaterial.pbrMetallicRoughness.baseColorTexture.index = texture;
        gltfMaterial.extensions[unlitExtensionName] = Value(Value::Object{});
        unlitUsed_ = true;
        model_.materials.push_back(std::move(gltfMaterial));
        int index = static_cast<int>(model_.materials.size() - 1);
        materials_.emplace(key, index);
        return index;
    }

    Result<int> meshFor(const Node& node, const Plane& plane, double alpha) {
        if (!std::isfinite(plane.width()) || !std::isfinite(plane.height()))
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
                    static_cast<int>(orientation)};
        if (auto it = meshes_.find(key); it != meshes_.end()) return it->second;

        tinygltf::Primitive primitive;
        primitive.mode = TINYGLTF_MODE_TRIANGLES;
        primitive.attributes["POSITION"] = positionsFor(plane.width(), plane.height());
        primitive.attributes["NORMAL"] = normals();
        primitive.attributes["TEXCOORD_0"] = textureCoordinatesFor(orientation);
        primitive.indices = indices();
        primitive.material = material;
        tinygltf::Mesh mesh;
        mesh.primitives.push_back(std::move(primitive));
        mesh.extensions[extensionName] = Value(Value::Object{
            {field::width, Value(plane.width())}, {field::height, Value(plane.height())}});
        model_.meshes.push_back(std::move(mesh));
        int index = static_cast<int>(model_.meshes.size() - 1);
        meshes_.emplace(key, index);
        return index;
    }

    // Our extension on a node: what the glTF node cannot say exactly.
    Result<Value> nodeExtension(const Node& node) {
        Value::Object ours;
        if (!allBitsZero(node.rotation())) {
            Vector4 r = node.rotation();
            ours.emplace(field::rotation, numbers({r.x, r.y, r.z, r.w}));
        }
        if (std::bit_cast<std::uint32_t>(node.opacity()) != std::bit_cast<std::uint32_t>(1.0f))
            ours.emplace(field::opacity, Value(static_cast<double>(node.opacity())));
        if (!node.constraints().empty()) {
            Value::Array constraints;
            for (const auto& constraint : node.constraints()) {
                const auto* billboard = dynamic_cast<const BillboardConstraint*>(constraint.get());
                if (billboard == nullptr)
                    return fail(nodeName(node) +
                                " has a constraint of a kind the scene file cannot store");
                constraints.emplace_back(Value::Object{
                    {field::type, Value(std::string(billboardConstraintType))},
                    {field::freeAxes, Value(static_cast<int>(billboard->freeAxes()))}});
            }
            ours.emplace(field::constraints, Value(std::move(constraints)));
        }
        return Value(std::move(ours));
    }

    Result<void> describeNode(const Node& node, double parentAlpha, tinygltf::Node& gltfNode,
                              double& alpha) {
        if (!finite(node.position()) || !finite(node.rotation()) || !std::isfinite(node.opacity()))
            return fail(nodeName(node) +
                        " has a position, rotation or opacity that is not a number");
        alpha = parentAlpha * std::clamp(static_cast<double>(node.opacity()), 0.0, 1.0);

        if (!allBitsZero(node.position())) {
            Vector3 p = node.position();
            gltfNode.translation = {p.x, p.y, p.z};
        }
        if (auto q = quaternionOf(node.rotation())) gltfNode.rotation.assign(q->begin(), q->end());

        auto extension = nodeExtension(node);
        if (!extension) return platform::Error{extension.error()};
        if (extension.value().Size() > 0)
            gltfNode.extensions[extensionName] = std::move(extension).value();

        if (const auto& geometry = node.geometry()) {
            const auto* plane = dynamic_cast<const Plane*>(geometry.get());
            if (plane == nullptr)
                return fail(nodeName(node) + " has a geometry other than a plane");
            auto mesh = meshFor(node, *plane, alpha);
            if (!mesh) return platform::Error{mesh.error()};
            gltfNode.mesh = mesh.value();
        }
        return {};
    }

    // Walks the graph with a stack of its own rather than recursion: each
    // load of a drawing nests it one level deeper.
    Result<void> addNodes(const Node& root) {
        struct Pending {
            const Node* node;
            int parent;
            int depth;
            double parentAlpha;
        };
        // Counted first, so that tinygltf's large node records are not
        // moved again and again while the list grows.
        std::size_t count = 0;
        for (std::vector<const Node*> walk{&root}; !walk.empty();) {
            const Node* node = walk.back();
            walk.pop_back();
            ++count;
            for (const auto& child : node->childNodes()) walk.push_back(child.get());
        }
        model_.nodes.reserve(std::min(count, limits_.maxNodes));
        std::vector<Pending> stack{{&root, -1, 0, 1.0}};
        while (!stack.empty()) {
            Pending pending = stack.back();
            stack.pop_back();
            if (pending.depth > limits_.maxNodeDepth)
                return fail("the drawing nests nodes more than " +
                            std::to_string(limits_.maxNodeDepth) + " levels deep");
            if (model_.nodes.size() >= limits_.maxNodes)
                return fail("the drawing has more than " + std::to_string(limits_.maxNodes) +
                            " nodes");
            tinygltf::Node gltfNode;
            double alpha = 1;
            if (auto r = describeNode(*pending.node, pending.parentAlpha, gltfNode, alpha); !r)
                return r;
            // Names show in viewers' outlines; they also keep tinygltf from
            // writing a node with nothing else to say as null.
            if (pending.parent < 0)
                gltfNode.name = "root";
            else if (gltfNode.mesh < 0)
                gltfNode.name = "container";
            model_.nodes.push_back(std::move(gltfNode));
            int index = static_cast<int>(model_.nodes.size() - 1);
            if (pending.parent >= 0)
                model_.nodes[static_cast<std::size_t>(pending.parent)].children.push_back(index);
            const auto& children = pending.node->childNodes();
            // Reversed, so that children are taken, and numbered, in order.
            for (auto it = children.rbegin(); it != children.rend(); ++it)
                stack.push_back({it->get(), index, pending.depth + 1, alpha});
        }
        return {};
    }
};
}  // namespace

Result<std::vector<std::uint8_t>> encodeScene(const Scene& scene, const Limits& limits) {
    return Encoder(limits).encode(scene);
}

}  // namespace scene::gltf
