#include "platform/scene/gltf/SceneDecoder.h"

#include <cfloat>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Backend.h"
#include "platform/scene/gltf/DocumentCheck.h"
#include "platform/scene/gltf/GlbContainer.h"
#include "platform/scene/gltf/TinyGltf.h"

namespace scene::gltf {

namespace {
using platform::fail;
using platform::Result;
using tinygltf::Value;

// tinygltf hands over each picture's bytes as they are in the file; they
// are kept undecoded here so that our own decoder, with our limits, is the
// only one that ever looks inside them.
bool keepImageBytes(tinygltf::Image* image, const int, std::string*, std::string*, int, int,
                    const unsigned char* bytes, int size, void*) {
    image->image.assign(bytes, bytes + size);
    image->as_is = true;
    return true;
}

// A scene file is one file: tinygltf may not open any other.
bool noFileExists(const std::string&, void*) { return false; }
std::string samePath(const std::string& path, void*) { return path; }
bool refuseRead(std::vector<unsigned char>*, std::string* error, const std::string&, void*) {
    if (error != nullptr) *error += "it refers to data in another file";
    return false;
}
bool refuseWrite(std::string* error, const std::string&, const std::vector<unsigned char>&, void*) {
    if (error != nullptr) *error += "reading a scene file writes nothing";
    return false;
}

std::string firstLine(const std::string& text) {
    auto end = text.find('\n');
    return end == std::string::npos ? text : text.substr(0, end);
}

Result<tinygltf::Model> loadModel(std::span<const std::uint8_t> bytes) {
    tinygltf::TinyGLTF loader;
    loader.SetImageLoader(keepImageBytes, nullptr);
    loader.SetFsCallbacks({noFileExists, samePath, refuseRead, refuseWrite, nullptr});
    tinygltf::Model model;
    std::string error, warning;
    bool loaded = false;
    try {
        loaded = loader.LoadBinaryFromMemory(&model, &error, &warning, bytes.data(),
                                             static_cast<unsigned int>(bytes.size()), "",
                                             tinygltf::REQUIRE_VERSION);
    } catch (const std::exception& exception) {
        return fail(std::string("tinygltf could not read it (") + exception.what() + ")");
    }
    if (!loaded) return fail("tinygltf could not read it (" + firstLine(error) + ")");
    return model;
}

std::string describe(const char* kind, std::size_t index) {
    return std::string(kind) + " " + std::to_string(index);
}

// A number that fits a float, or none.
std::optional<float> toFloat(double value) {
    if (!std::isfinite(value) || std::fabs(value) > FLT_MAX) return std::nullopt;
    return static_cast<float>(value);
}

const Value* ourExtension(const tinygltf::ExtensionMap& extensions) {
    auto it = extensions.find(extensionName);
    if (it == extensions.end() || !it->second.IsObject()) return nullptr;
    return &it->second;
}

const Value* fieldOf(const Value* extension, const char* key) {
    if (extension == nullptr || !extension->IsObject() || !extension->Has(key)) return nullptr;
    return &extension->Get(key);
}

std::optional<double> numberOf(const Value* value) {
    if (value == nullptr || !value->IsNumber()) return std::nullopt;
    return value->GetNumberAsDouble();
}

// The axis-angle rotation of a quaternion that did not come with our exact
// one: the angle in [0, π], no rotation as (0, 0, 0, 0).
std::optional<Vector4> rotationOfQuaternion(const std::vector<double>& q) {
    double x = q[0], y = q[1], z = q[2], w = q[3];
    double norm = std::sqrt(x * x + y * y + z * z + w * w);
    if (!std::isfinite(norm) || norm == 0) return std::nullopt;
    // q and -q are the same rotation; the one with w ≥ 0 gives an angle
    // of at most π.
    double sign = w < 0 ? -1 : 1;
    x *= sign / norm;
    y *= sign / norm;
    z *= sign / norm;
    w *= sign / norm;
    double sinHalf = std::sqrt(x * x + y * y + z * z);
    if (sinHalf < 1e-12) return Vector4{};
    double angle = 2 * std::atan2(sinHalf, w);
    return Vector4{static_cast<float>(x / sinHalf), static_cast<float>(y / sinHalf),
                   static_cast<float>(z / sinHalf), static_cast<float>(angle)};
}

std::optional<graphics::ImageOrientation> orientationNamed(const std::string& name) {
    using graphics::ImageOrientation;
    for (auto orientation :
         {ImageOrientation::up, ImageOrientation::down, ImageOrientation::left,
          ImageOrientation::right, ImageOrientation::upMirrored, ImageOrientation::downMirrored,
          ImageOrientation::leftMirrored, ImageOrientation::rightMirrored})
        if (graphics::orientationName(orientation) == name) return orientation;
    return std::nullopt;
}

struct PngSize {
    std::uint32_t width = 0, height = 0;
};

// The size a PNG picture claims in its header, read before the decoder
// allocates anything for it.
std::optional<PngSize> claimedPngSize(const std::vector<unsigned char>& bytes) {
    static const unsigned char signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};
    if (bytes.size() < 24 || std::memcmp(bytes.data(), signature, 8) != 0 ||
        std::memcmp(bytes.data() + 12, "IHDR", 4) != 0)
        return std::nullopt;
    auto bigEndian = [&](std::size_t at) {
        return static_cast<std::uint32_t>(bytes[at]) << 24 |
               static_cast<std::uint32_t>(bytes[at + 1]) << 16 |
               static_cast<std::uint32_t>(bytes[at + 2]) << 8 |
               static_cast<std::uint32_t>(bytes[at + 3]);
    };
    return PngSize{bigEndian(16), bigEndian(20)};
}

class Builder {
public:
    Builder(const tinygltf::Model& model, const Limits& limits)
        : model_(model),
          limits_(limits),
          planes_(model.meshes.size()),
          materials_(model.materials.size()),
          pictures_(model.textures.size()),
          bitmaps_(model.images.size()),
          opaqueBitmaps_(model.images.size()) {}

    Result<std::shared_ptr<Scene>> build() {
        auto order = sceneOrder();
        if (!order) return platform::Error{order.error()};
        const std::vector<int>& indices = order.value();

        // Every node is made and checked before any is attached, so that a
        // refusal never leaves a deep chain behind.
        auto scene = std::make_shared<Scene>();
        std::vector<std::shared_ptr<Node>> nodes(model_.nodes.size());
        for (std::size_t k = 0; k < indices.size(); ++k) {
            auto i = static_cast<std::size_t>(indices[k]);
            nodes[i] = k == 0 ? scene->rootNode() : Node::make();
            if (auto r = fillNode(i, *nodes[i]); !r) return platform::Error{r.error()};
        }
        for (int index : indices) {
            auto i = static_cast<std::size_t>(index);
            for (int child : model_.nodes[i].children)
                nodes[i]->addChildNode(nodes[static_cast<std::size_t>(child)]);
        }
        return scene;
    }

private:
    struct PlaneData {
        bool known = false;
        double width = 0, height = 0;
        int material = -1;
    };
    struct MaterialData {
        bool known = false;
        bool doubleSided = false;
        std::shared_ptr<const graphics::Image> image;
    };

    const tinygltf::Model& model_;
    const Limits& limits_;
    std::vector<PlaneData> planes_;
    std::vector<MaterialData> materials_;
    std::vector<std::shared_ptr<const graphics::Image>> pictures_;
    std::vector<std::shared_ptr<const graphics::Bitmap>> bitmaps_;
    std::vector<std::shared_ptr<const graphics::Bitmap>> opaqueBitmaps_;
    std::uint64_t imagePixels_ = 0;

    static bool inRange(int index, std::size_t count) {
        return index >= 0 && static_cast<std::size_t>(index) < count;
    }

    // The nodes under the scene's root, parents before children and
    // children in order; refuses a node with two parents, a cycle and a
    // hierarchy deeper than the limit. No recursion: a hostile file may nest
    // as deeply as it likes.
    Result<std::vector<int>> sceneOrder() const {
        std::size_t count = model_.nodes.size();
        int sceneIndex = model_.defaultScene >= 0 ? model_.defaultScene : 0;
        if (!inRange(sceneIndex, model_.scenes.size())) return fail("it holds no scene");
        const auto& roots = model_.scenes[static_cast<std::size_t>(sceneIndex)].nodes;
        if (roots.size() != 1) return fail("its scene does not have exactly one root node");
        int root = roots.front();
        if (!inRange(root, count)) return fail("its scene's root node does not exist");

        std::vector<int> parent(count, -1);
        for (std::size_t i = 0; i < count; ++i) {
            for (int child : model_.nodes[i].children) {
                if (!inRange(child, count))
                    return fail(describe("node", i) + " has a child that does not exist");
                auto c = static_cast<std::size_t>(child);
                if (c == i) return fail(describe("node", i) + " is its own child");
                if (parent[c] == static_cast<int>(i))
                    return fail(describe("node", c) +
                                " is listed twice among the children of node " + std::to_string(i));
                if (parent[c] >= 0)
                    return fail(describe("node", c) + " has two parents, nodes " +
                                std::to_string(parent[c]) + " and " + std::to_string(i));
                parent[c] = static_cast<int>(i);
            }
        }
        if (parent[static_cast<std::size_t>(root)] >= 0)
            return fail("the scene's root node is also a child of node " +
                        std::to_string(parent[static_cast<std::size_t>(root)]));

        // With one parent at most, a cycle is a chain of parents that comes
        // back to itself.
        enum : std::uint8_t { unseen, onPath, done };
        std::vector<std::uint8_t> state(count, unseen);
        std::vector<std::size_t> path;
        for (std::size_t start = 0; start < count; ++start) {
            path.clear();
            int j = static_cast<int>(start);
            while (j >= 0 && state[static_cast<std::size_t>(j)] == unseen) {
                state[static_cast<std::size_t>(j)] = onPath;
                path.push_back(static_cast<std::size_t>(j));
                j = parent[static_cast<std::size_t>(j)];
            }
            if (j >= 0 && state[static_cast<std::size_t>(j)] == onPath)
                return fail("its nodes form a cycle (through node " + std::to_string(j) + ")");
            for (std::size_t k : path) state[k] = done;
        }

        std::vector<int> order;
        std::vector<std::pair<int, int>> stack{{root, 0}};
        while (!stack.empty()) {
            auto [index, depth] = stack.back();
            stack.pop_back();
            if (depth > limits_.maxNodeDepth)
                return fail("it nests nodes more than " + std::to_string(limits_.maxNodeDepth) +
                            " levels deep");
            order.push_back(index);
            const auto& children = model_.nodes[static_cast<std::size_t>(index)].children;
            for (auto it = children.rbegin(); it != children.rend(); ++it)
                stack.emplace_back(*it, depth + 1);
        }
        return order;
    }

    Result<void> fillNode(std::size_t index, Node& node) {
        const tinygltf::Node& source = model_.nodes[index];
        std::string owner = describe("node", index);
        const Value* ours = ourExtension(source.extensions);

        if (!source.matrix.empty())
            return fail(owner + " is placed by a matrix, which a drawing never is");
        if (source.translation.size() == 3) {
            auto x = toFloat(source.translation[0]), y = toFloat(source.translation[1]),
                 z = toFloat(source.translation[2]);
            if (!x || !y || !z) return fail(owner + " has a position out of range");
            node.setPosition({*x, *y, *z});
        } else if (!source.translation.empty()) {
            return fail(owner + " has a position of the wrong size");
        }

        if (const Value* rotation = fieldOf(ours, field::rotation)) {
            if (!rotation->IsArray() || rotation->ArrayLen() != 4)
                return fail(owner + " has an exact rotation of the wrong size");
            std::optional<float> r[4];
            for (int k = 0; k < 4; ++k) r[k] = toFloat(numberOf(&rotation->Get(k)).value_or(NAN));
            if (!r[0] || !r[1] || !r[2] || !r[3])
                return fail(owner + " has an exact rotation out of range");
            node.setRotation({*r[0], *r[1], *r[2], *r[3]});
        } else if (source.rotation.size() == 4) {
            auto rotation = rotationOfQuaternion(source.rotation);
            if (!rotation) return fail(owner + " has a rotation that is not a rotation");
            node.setRotation(*rotation);
        } else if (!source.rotation.empty()) {
            return fail(owner + " has a rotation of the wrong size");
        }

        if (const Value* opacity = fieldOf(ours, field::opacity)) {
            auto value = toFloat(numberOf(opacity).value_or(NAN));
            if (!value) return fail(owner + " has an opacity that is not a number");
            node.setOpacity(*value);
        }

        if (const Value* constraints = fieldOf(ours, field::constraints)) {
            auto made = constraintsOf(*constraints, owner);
            if (!made) return platform::Error{made.error()};
            node.setConstraints(std::move(made).value());
        }

        if (source.mesh >= 0) {
            auto plane = planeFor(source.mesh);
            if (!plane) return platform::Error{plane.error()};
            node.setGeometry(std::move(plane).value());
        }
        return {};
    }

    static Result<std::vector<std::shared_ptr<Constraint>>> constraintsOf(
        const Value& list, const std::string& owner) {
        if (!list.IsArray()) return fail(owner + " has constraints of the wrong kind");
        std::vector<std::shared_ptr<Constraint>> constraints;
        for (std::size_t k = 0; k < list.ArrayLen(); ++k) {
            const Value& entry = list.Get(static_cast<int>(k));
            const Value* type = fieldOf(&entry, field::type);
            if (type == nullptr || !type->IsString() ||
                type->Get<std::string>() != billboardConstraintType)
                return fail(owner + " has a constraint of an unknown kind");
            auto billboard = std::make_shared<BillboardConstraint>();
            if (const Value* axes = fieldOf(&entry, field::freeAxes)) {
                if (!axes->IsInt() || axes->Get<int>() < 1 || axes->Get<int>() > 7)
                    return fail(owner + " has a billboard constraint with unknown free axes");
                billboard->setFreeAxes(static_cast<BillboardConstraint::Axes>(axes->Get<int>()));
            }
            constraints.push_back(std::move(billboard));
        }
        return constraints;
    }

    // Each node gets a plane and material of its own, as the app makes them;
    // the pictures, which never change, are shared.
    Result<std::shared_ptr<Plane>> planeFor(int meshIndex) {
        auto m = static_cast<std::size_t>(meshIndex);
        if (!inRange(meshIndex, model_.meshes.size()))
            return fail("a node refers to a mesh that does not exist");
        PlaneData& data = planes_[m];
        if (!data.known) {
            const tinygltf::Mesh& mesh = model_.meshes[m];
            std::string owner = describe("mesh", m);
            const Value* ours = ourExtension(mesh.extensions);
            auto width = numberOf(fieldOf(ours, field::width));
            auto height = numberOf(fieldOf(ours, field::height));
            if (!width || !height) return fail(owner + " is not a plane of a drawing");
            if (!std::isfinite(*width) || !std::isfinite(*height))
                return fail(owner + " has a size that is not a number");
            if (mesh.primitives.size() != 1)
                return fail(owner + " does not have exactly one primitive");
            data.width = *width;
            data.height = *height;
            data.material = mesh.primitives.front().material;
            if (data.material >= 0) {
                auto material = materialFor(data.material);
                if (!material) return platform::Error{material.error()};
            }
            data.known = true;
        }
        auto plane = Plane::planeWithWidth(data.width, data.height);
        if (data.material < 0) {
            plane->setMaterials({});
        } else {
            const MaterialData& source = materials_[static_cast<std::size_t>(data.material)];
            auto material = plane->firstMaterial();
            material->doubleSided = source.doubleSided;
            material->diffuse.contents = source.image;
        }
        return plane;
    }

    Result<void> materialFor(int materialIndex) {
        auto m = static_cast<std::size_t>(materialIndex);
        if (!inRange(materialIndex, model_.materials.size()))
            return fail("a mesh refers to a material that does not exist");
        MaterialData& data = materials_[m];
        if (data.known) return {};
        const tinygltf::Material& material = model_.materials[m];
        data.doubleSided = material.doubleSided;
        int texture = material.pbrMetallicRoughness.baseColorTexture.index;
        if (texture >= 0) {
            auto image = pictureFor(texture);
            if (!image) return platform::Error{image.error()};
            data.image = std::move(image).value();
        }
        data.known = true;
        return {};
    }

    // The picture a texture shows: its image's pixels with the scale,
    // orientation and alpha layout our extension gives.
    Result<std::shared_ptr<const graphics::Image>> pictureFor(int textureIndex) {
        auto t = static_cast<std::size_t>(textureIndex);
        std::string owner = describe("texture", t);
        if (!inRange(textureIndex, model_.textures.size()))
            return fail("a material refers to a texture that does not exist");
        if (pictures_[t]) return pictures_[t];
        const tinygltf::Texture& texture = model_.textures[t];
        if (!inRange(texture.source, model_.images.size())) return fail(owner + " has no picture");
        const Value* ours = ourExtension(texture.extensions);
        double scale = 1;
        if (const Value* value = fieldOf(ours, field::imageScale)) {
            auto number = numberOf(value);
            if (!number || !std::isfinite(*number) || *number <= 0)
                return fail(owner + " gives its picture a scale that is not a positive number");
            scale = *number;
        }
        auto orientation = graphics::ImageOrientation::up;
        if (const Value* value = fieldOf(ours, field::imageOrientation)) {
            auto named =
                value->IsString() ? orientationNamed(value->Get<std::string>()) : std::nullopt;
            if (!named) return fail(owner + " gives its picture an unknown orientation");
            orientation = *named;
        }
        bool opaque = false;
        if (const Value* value = fieldOf(ours, field::imageOpaque))
            opaque = value->IsBool() && value->Get<bool>();
        auto bitmap = bitmapFor(static_cast<std::size_t>(texture.source), opaque);
        if (!bitmap) return platform::Error{bitmap.error()};
        pictures_[t] =
            std::make_shared<graphics::Image>(std::move(bitmap).value(), scale, orientation);
        return pictures_[t];
    }

    Result<std::shared_ptr<const graphics::Bitmap>> bitmapFor(std::size_t index, bool opaque) {
        if (!bitmaps_[index]) {
            auto decoded = decodePicture(index);
            if (!decoded) return decoded;
            bitmaps_[index] = std::move(decoded).value();
        }
        if (!opaque) return bitmaps_[index];
        if (!opaqueBitmaps_[index]) {
            const graphics::Bitmap& source = *bitmaps_[index];
            graphics::BitmapFormat format;
            format.alphaInfo = graphics::AlphaInfo::noneSkipLast;
            auto bitmap =
                std::make_shared<graphics::Bitmap>(source.width(), source.height(), format);
            std::memcpy(bitmap->data(), source.data(), source.byteCount());
            opaqueBitmaps_[index] = std::move(bitmap);
        }
        return opaqueBitmaps_[index];
    }

    Result<std::shared_ptr<const graphics::Bitmap>> decodePicture(std::size_t index) {
        const std::vector<unsigned char>& bytes = model_.images[index].image;
        std::string owner = describe("image", index);
        auto claimed = claimedPngSize(bytes);
        if (!claimed) return fail(owner + " is not a PNG picture");
        auto side = static_cast<std::uint32_t>(limits_.maxImageSide);
        if (claimed->width == 0 || claimed->height == 0) return fail(owner + " has no pixels");
        std::uint64_t pixels = std::uint64_t{claimed->width} * claimed->height;
        if (claimed->width > side || claimed->height > side || pixels > limits_.maxImagePixels)
            return fail(owner + " claims " + std::to_string(claimed->width) + " × " +
                        std::to_string(claimed->height) +
                        " pixels, more than a drawing's picture may have");
        imagePixels_ += pixels;
        if (imagePixels_ > limits_.maxTotalImagePixels)
            return fail("its pictures together have more pixels than a drawing may have");

        graphics::DecodeLimits decodeLimits;
        decodeLimits.maxSide = limits_.maxImageSide;
        decodeLimits.maxStoredSide = limits_.maxImageSide;
        auto decoded = graphics::backend().decodeImage(bytes, decodeLimits);
        if (!decoded) return fail(owner + " cannot be decoded: " + decoded.error());
        std::shared_ptr<const graphics::Bitmap> bitmap = decoded.value()->cgImage();
        if (static_cast<std::uint32_t>(bitmap->width()) != claimed->width ||
            static_cast<std::uint32_t>(bitmap->height()) != claimed->height)
            return fail(owner + " decoded to a size other than it claims");
        return bitmap;
    }
};
}  // namespace

Result<std::shared_ptr<Scene>> decodeScene(std::span<const std::uint8_t> bytes,
                                           const Limits& limits) {
    auto chunks = splitGlb(bytes, limits);
    if (!chunks) return platform::Error{chunks.error()};
    auto json = chunks.value().json;
    if (auto shape = scanJson(json, limits); !shape) return platform::Error{shape.error()};
    {
        auto document = nlohmann::json::parse(json.begin(), json.end(), nullptr, false);
        if (document.is_discarded()) return fail("its JSON is not well formed");
        std::optional<std::size_t> binBytes;
        if (chunks.value().bin) binBytes = chunks.value().bin->size();
        if (auto checked = checkDocument(document, binBytes, limits); !checked)
            return platform::Error{checked.error()};
    }
    auto model = loadModel(bytes);
    if (!model) return platform::Error{model.error()};
    return Builder(model.value(), limits).build();
}

}  // namespace scene::gltf
