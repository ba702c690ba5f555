#include "platform/scene/gltf/SceneDecoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/graphics/Backend.h"
#include "platform/graphics/PictureFiles.h"
#include "platform/scene/gltf/JsonReader.h"

namespace scene::gltf {

namespace {
using platform::fail;
using platform::Result;
using Token = JsonReader::Token;

constexpr std::uint32_t none = UINT32_MAX;

std::string describe(const char* kind, std::size_t index) {
    return std::string(kind) + " " + std::to_string(index);
}

// The parts of a glTF file that refer to one another by index.
enum class Kind : std::uint8_t {
    node,
    mesh,
    material,
    texture,
    image,
    sampler,
    accessor,
    bufferView,
    buffer,
    scene,
    camera,
    skin,
};

const char* nameOf(Kind kind) {
    switch (kind) {
        case Kind::node: return "node";
        case Kind::mesh: return "mesh";
        case Kind::material: return "material";
        case Kind::texture: return "texture";
        case Kind::image: return "image";
        case Kind::sampler: return "sampler";
        case Kind::accessor: return "accessor";
        case Kind::bufferView: return "buffer view";
        case Kind::buffer: return "buffer";
        case Kind::scene: return "scene";
        case Kind::camera: return "camera";
        case Kind::skin: return "skin";
    }
    platform::unreachable("nameOf");
}

// An index found while reading, checked once every array's length is known.
struct Reference {
    std::uint32_t index;
    std::uint32_t ownerIndex;
    Kind target;
    Kind owner;
};

struct NodeData {
    std::uint32_t mesh = none;
    std::uint32_t firstChild = 0;
    std::uint32_t childCount = 0;
};

struct MeshData {
    bool sized = false;
    double width = 0, height = 0;
    std::size_t primitives = 0;
    std::uint32_t material = none;  // of the first primitive
    std::vector<int> billboards;
};

struct MaterialData {
    bool doubleSided = false;
    std::uint32_t texture = none;
};

struct TextureData {
    std::uint32_t source = none;
    double scale = 1;
    graphics::ImageOrientation orientation = graphics::ImageOrientation::up;
    bool opaque = false;
};

struct AccessorData {
    std::uint32_t bufferView = none;
    std::uint64_t byteOffset = 0;
    std::uint64_t count = 0;
    std::uint64_t elementBytes = 0;
};

struct BufferViewData {
    std::uint32_t buffer = none;
    std::uint64_t byteOffset = 0;
    std::uint64_t byteLength = 0;
    std::uint64_t byteStride = 0;
};

std::optional<graphics::ImageOrientation> orientationNamed(std::string_view name) {
    using graphics::ImageOrientation;
    for (auto orientation :
         {ImageOrientation::up, ImageOrientation::down, ImageOrientation::left,
          ImageOrientation::right, ImageOrientation::upMirrored, ImageOrientation::downMirrored,
          ImageOrientation::leftMirrored, ImageOrientation::rightMirrored})
        if (graphics::orientationName(orientation) == name) return orientation;
    return std::nullopt;
}

// The axis-angle rotation of a quaternion that did not come with our exact
// one: the angle in [0, π], no rotation as (0, 0, 0, 0).
std::optional<Vector4> rotationOfQuaternion(const double (&q)[4]) {
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

// Reads the JSON of a scene file in one pass into the nodes of the graph and
// small records of everything else, refusing anything that is not as a
// drawing has it as soon as it is seen.
class DocumentReader {
public:
    DocumentReader(std::span<const std::uint8_t> json, const Limits& limits)
        : json_(json, limits.maxJsonDepth), limits_(limits) {}

    JsonReader json_;
    const Limits& limits_;

    int layout = 0;
    std::optional<std::uint32_t> defaultScene;
    std::vector<std::shared_ptr<Node>> nodes;
    std::vector<NodeData> nodeData;
    std::vector<std::uint32_t> children;
    std::vector<std::pair<std::uint32_t, std::uint32_t>> scenes;  // first, count in sceneRoots
    std::vector<std::uint32_t> sceneRoots;
    std::vector<MeshData> meshes;
    std::vector<MaterialData> materials;
    std::vector<TextureData> textures;
    std::vector<std::uint32_t> images;  // buffer view of each
    std::vector<AccessorData> accessors;
    std::vector<BufferViewData> bufferViews;
    std::vector<std::uint64_t> buffers;
    std::size_t samplers = 0, cameras = 0, skins = 0;
    std::vector<Reference> references;

    Result<void> read() {
        bool sawAsset = false;
        // A second list of nodes (or of anything read) would add to the
        // first beyond its limit.
        static constexpr std::string_view readKeys[] = {
            "asset",   "extensionsRequired", "extensions", "scene",  "scenes",    "nodes",
            "meshes",  "materials",          "textures",   "images", "accessors", "bufferViews",
            "buffers", "samplers",           "cameras",    "skins",  "animations"};
        std::uint32_t seen = 0;
        auto ok = object("its JSON is not an object", [&](std::string_view key) -> Result<void> {
            auto known = std::find(std::begin(readKeys), std::end(readKeys), key);
            if (known != std::end(readKeys)) {
                auto bit = std::uint32_t{1} << (known - std::begin(readKeys));
                if ((seen & bit) != 0)
                    return fail("its JSON gives its " + std::string(key) + " twice");
                seen |= bit;
            }
            if (key == "asset") {
                sawAsset = true;
                return readAsset();
            }
            if (key == "extensionsRequired") return readRequiredExtensions();
            if (key == "extensions") return readRootExtensions();
            if (key == "scene") {
                std::uint32_t index;
                TRY(readIndex(index, limits_.maxScenes, "the file", Kind::scene));
                defaultScene = index;
                return {};
            }
            if (key == "scenes")
                return entries(key, limits_.maxScenes,
                               [&](std::size_t i) -> Result<void> { return readScene(i); });
            if (key == "nodes")
                return entries(key, limits_.maxNodes,
                               [&](std::size_t i) -> Result<void> { return readNode(i); });
            if (key == "meshes")
                return entries(key, limits_.maxMeshes,
                               [&](std::size_t i) -> Result<void> { return readMesh(i); });
            if (key == "materials")
                return entries(key, limits_.maxMaterials,
                               [&](std::size_t i) -> Result<void> { return readMaterial(i); });
            if (key == "textures")
                return entries(key, limits_.maxTextures,
                               [&](std::size_t i) -> Result<void> { return readTexture(i); });
            if (key == "images")
                return entries(key, limits_.maxImages,
                               [&](std::size_t i) -> Result<void> { return readImage(i); });
            if (key == "accessors")
                return entries(key, limits_.maxAccessors,
                               [&](std::size_t i) -> Result<void> { return readAccessor(i); });
            if (key == "bufferViews")
                return entries(key, limits_.maxBufferViews,
                               [&](std::size_t i) -> Result<void> { return readBufferView(i); });
            if (key == "buffers")
                return entries(key, limits_.maxBuffers,
                               [&](std::size_t i) -> Result<void> { return readBuffer(i); });
            // Parts a drawing never has (animations) or only counts.
            struct Counted {
                const char* name;
                std::size_t limit;
                std::size_t* count;
            };
            for (Counted counted : {Counted{"samplers", limits_.maxSamplers, &samplers},
                                    Counted{"cameras", limits_.maxOtherEntries, &cameras},
                                    Counted{"skins", limits_.maxOtherEntries, &skins},
                                    Counted{"animations", limits_.maxOtherEntries, nullptr}})
                if (key == counted.name)
                    return entries(key, counted.limit, [&](std::size_t i) -> Result<void> {
                        if (counted.count != nullptr) *counted.count = i + 1;
                        return skip();
                    });
            return skip();
        });
        if (!ok) return ok;
        TRY(json_.next());
        if (!sawAsset) return fail("it has no glTF asset description");
        if (layout == 0)
            return fail("it is a glTF file, but not a drawing saved by Scrawlet (it has no " +
                        std::string(extensionName) + " extension)");
        return {};
    }

private:
    // Passes over a value the reader does not need.
    Result<void> skip() { return json_.skipValue(); }

    // Reads a token that must be `token`; `wrong` says what anything else
    // means (broken text says so first).
    Result<void> expect(Token token, const std::string& wrong) {
        TRY_LET(next, json_.next());
        if (next != token) return fail(wrong);
        return {};
    }

    // Reads `{ key: value, … }`, handing each key to `member`, which reads
    // the value (skipping it when it is not wanted).
    template <class Member>
    Result<void> object(const std::string& wrong, Member&& member) {
        TRY(expect(Token::beginObject, wrong));
        for (;;) {
            // Inside an object the reader gives keys and the object's end only.
            TRY_LET(token, json_.next());
            if (token == Token::endObject) return {};
            TRY(member(json_.string()));
        }
    }

    // Reads `[ value, … ]` of at most `limit` values, handing each one's
    // position to `element`, which reads it.
    template <class Element>
    Result<void> array(const std::string& wrong, std::size_t limit, const std::string& tooMany,
                       Element&& element) {
        TRY(expect(Token::beginArray, wrong));
        for (std::size_t i = 0;; ++i) {
            TRY_LET(token, json_.peek());
            if (token == Token::endArray) {
                TRY(json_.next());
                return {};
            }
            if (i >= limit) return fail(tooMany);
            TRY(element(i));
        }
    }

    // A top-level array of objects.
    template <class Entry>
    Result<void> entries(std::string_view key, std::size_t limit, Entry&& entry) {
        std::string name(key);
        return array(
            "its " + name + " are not a list", limit,
            "it has more " + name + " than the " + std::to_string(limit) + " a drawing may have",
            [&](std::size_t i) -> Result<void> {
                TRY_LET(token, json_.peek());
                if (token != Token::beginObject)
                    return fail("its " + name + " hold an entry of the wrong kind");
                return entry(i);
            });
    }

    // A whole number, or none when the value is something else.
    Result<std::optional<std::uint64_t>> wholeNumber() {
        TRY_LET(token, json_.next());
        if (token != Token::number) return std::optional<std::uint64_t>{};
        return json_.wholeNumber();
    }

    // An index into the array of `target`, checked against that array's
    // length once it is known.
    Result<void> readIndex(std::uint32_t& index, std::size_t limit, const std::string& owner,
                           Kind target) {
        TRY_LET(n, wholeNumber());
        if (!n)
            return fail(owner + " refers to a " + nameOf(target) +
                        " by something other than a number");
        if (*n >= limit)
            return fail(owner + " refers to " + nameOf(target) + " " + std::to_string(*n) +
                        ", more than a drawing has");
        index = static_cast<std::uint32_t>(*n);
        return {};
    }

    std::size_t limitOf(Kind kind) const {
        switch (kind) {
            case Kind::node: return limits_.maxNodes;
            case Kind::mesh: return limits_.maxMeshes;
            case Kind::material: return limits_.maxMaterials;
            case Kind::texture: return limits_.maxTextures;
            case Kind::image: return limits_.maxImages;
            case Kind::sampler: return limits_.maxSamplers;
            case Kind::accessor: return limits_.maxAccessors;
            case Kind::bufferView: return limits_.maxBufferViews;
            case Kind::buffer: return limits_.maxBuffers;
            case Kind::scene: return limits_.maxScenes;
            case Kind::camera:
            case Kind::skin: return limits_.maxOtherEntries;
        }
        platform::unreachable("limitOf");
    }

    Result<void> reference(Kind target, Kind owner, std::size_t ownerIndex,
                           const std::string& ownerName, std::uint32_t* into = nullptr) {
        std::uint32_t index;
        TRY(readIndex(index, limitOf(target), ownerName, target));
        if (references.size() >= limits_.maxReferences)
            return fail("its parts refer to one another more often than a drawing's do");
        references.push_back({index, static_cast<std::uint32_t>(ownerIndex), target, owner});
        if (into != nullptr) *into = index;
        return {};
    }

    Result<void> readNumbers(float* out, std::size_t size, const std::string& owner,
                             const char* what) {
        std::size_t count = 0;
        auto ok = array(
            owner + " has a " + what + " of the wrong size", size,
            owner + " has a " + what + " of the wrong size", [&](std::size_t i) -> Result<void> {
                TRY(expect(Token::number, owner + " has a " + what + " that is not numbers"));
                auto value = json_.floatNumber();
                if (!value) return fail(owner + " has a " + what + " out of range");
                out[i] = *value;
                count = i + 1;
                return {};
            });
        if (ok && count != size) return fail(owner + " has a " + what + " of the wrong size");
        return ok;
    }

    Result<void> readAsset() {
        return object(
            "it has no glTF asset description", [&](std::string_view key) -> Result<void> {
                if (key != "version") {
                    return skip();
                }
                TRY(expect(Token::string, "it does not say which glTF version it is"));
                std::string version(json_.string().substr(0, 32));
                if (version.rfind("2.", 0) != 0)
                    return fail("it is glTF version " + version + "; only 2.0 can be read");
                return {};
            });
    }

    Result<void> readRequiredExtensions() {
        return array(
            "its list of required extensions is not a list", limits_.maxOtherEntries,
            "it requires too many extensions", [&](std::size_t) -> Result<void> {
                TRY(expect(Token::string, "its list of required extensions holds a non-name"));
                return fail("it needs the glTF extension " +
                            std::string(json_.string().substr(0, 64)) +
                            ", which Scrawlet cannot read");
            });
    }

    Result<void> readRootExtensions() {
        return object(
            "its extensions are not an object", [&](std::string_view key) -> Result<void> {
                if (key != extensionName) {
                    return skip();
                }
                std::optional<std::uint64_t> version;
                auto ok =
                    object("its " + std::string(extensionName) + " extension is not an object",
                           [&](std::string_view field) -> Result<void> {
                               if (field != field::version) {
                                   return skip();
                               }
                               TRY_LET(number, wholeNumber());
                               version = number;
                               return {};
                           });
                if (!ok) return ok;
                if (!version)
                    return fail("its " + std::string(extensionName) +
                                " extension gives no layout version");
                if (*version < oldestLayoutVersion || *version > layoutVersion)
                    return fail("it was saved in drawing layout " + std::to_string(*version) +
                                ", but this Scrawlet reads layouts up to " +
                                std::to_string(layoutVersion));
                layout = static_cast<int>(*version);
                return {};
            });
    }

    Result<void> readScene(std::size_t i) {
        std::string owner = describe("scene", i);
        std::uint32_t first = static_cast<std::uint32_t>(sceneRoots.size()), count = 0;
        auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
            if (key != "nodes") {
                return skip();
            }
            return array(owner + " has nodes of the wrong kind", limits_.maxNodes,
                         owner + " lists more nodes than a drawing has",
                         [&](std::size_t) -> Result<void> {
                             std::uint32_t node;
                             if (sceneRoots.size() >= limits_.maxNodes)
                                 return fail("its scenes list more nodes than a drawing has");
                             TRY(reference(Kind::node, Kind::scene, i, owner, &node));
                             sceneRoots.push_back(node);
                             ++count;
                             return {};
                         });
        });
        scenes.emplace_back(first, count);
        return ok;
    }

    // Our extension on a node: its exact rotation, opacity and constraints.
    Result<void> readNodeExtension(Node& node, const std::string& owner, bool& exactRotation) {
        std::vector<std::shared_ptr<Constraint>> constraints;
        auto billboard = [&](std::uint64_t axes) -> Result<void> {
            if (axes < 1 || axes > 7)
                return fail(owner + " has a billboard constraint with unknown free axes");
            auto constraint = std::make_shared<BillboardConstraint>();
            constraint->setFreeAxes(static_cast<BillboardConstraint::Axes>(axes));
            constraints.push_back(std::move(constraint));
            return {};
        };
        auto ok = object(owner + " has an extension of the wrong kind",
                         [&](std::string_view key) -> Result<void> {
                             if (key == field::rotation) {
                                 float r[4];
                                 TRY(readNumbers(r, 4, owner, "exact rotation"));
                                 node.setRotation({r[0], r[1], r[2], r[3]});
                                 exactRotation = true;
                                 return {};
                             }
                             if (key == field::opacity) {
                                 std::optional<float> opacity;
                                 TRY_LET(token, json_.next());
                                 if (token == Token::number) opacity = json_.floatNumber();
                                 if (!opacity)
                                     return fail(owner + " has an opacity that is not a number");
                                 node.setOpacity(*opacity);
                                 return {};
                             }
                             if (key == field::billboards) return readBillboards(owner, billboard);
                             if (key == field::constraints)
                                 return array(owner + " has constraints of the wrong kind",
                                              limits_.maxConstraints,
                                              owner + " has more constraints than a drawing has",
                                              [&](std::size_t) -> Result<void> {
                                                  return readOldConstraint(owner, billboard);
                                              });
                             return skip();
                         });
        if (ok && !constraints.empty()) node.setConstraints(std::move(constraints));
        return ok;
    }

    template <class Add>
    Result<void> readBillboards(const std::string& owner, Add&& add) {
        return array(
            owner + " has constraints of the wrong kind", limits_.maxConstraints,
            owner + " has more constraints than a drawing has", [&](std::size_t) -> Result<void> {
                TRY_LET(axes, wholeNumber());
                if (!axes)
                    return fail(owner + " has a billboard constraint with unknown free axes");
                return add(*axes);
            });
    }

    // A constraint as layout 1 writes it: {"type": "billboard", "freeAxes": N}.
    template <class Add>
    Result<void> readOldConstraint(const std::string& owner, Add&& add) {
        bool billboard = false;
        std::uint64_t axes = 7;
        auto ok = object(
            owner + " has a constraint of an unknown kind",
            [&](std::string_view key) -> Result<void> {
                if (key == field::type) {
                    TRY_LET(token, json_.next());
                    billboard = token == Token::string && json_.string() == billboardConstraintType;
                    return {};
                }
                if (key == field::freeAxes) {
                    TRY_LET(n, wholeNumber());
                    if (!n)
                        return fail(owner + " has a billboard constraint with unknown free axes");
                    axes = *n;
                    return {};
                }
                return skip();
            });
        if (!ok) return ok;
        if (!billboard) return fail(owner + " has a constraint of an unknown kind");
        return add(axes);
    }

    Result<void> readNode(std::size_t i) {
        std::string owner = describe("node", i);
        auto node = Node::make();
        NodeData data;
        bool exactRotation = false;
        std::optional<std::array<double, 4>> quaternion;
        auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
            if (key == "mesh") return readIndex(data.mesh, limits_.maxMeshes, owner, Kind::mesh);
            if (key == "camera") return reference(Kind::camera, Kind::node, i, owner);
            if (key == "skin") return reference(Kind::skin, Kind::node, i, owner);
            if (key == "matrix")
                return fail(owner + " is placed by a matrix, which a drawing never is");
            if (key == "translation") {
                float t[3];
                TRY(readNumbers(t, 3, owner, "position"));
                node->setPosition({t[0], t[1], t[2]});
                return {};
            }
            if (key == "rotation") {
                float q[4];
                TRY(readNumbers(q, 4, owner, "rotation"));
                quaternion = {q[0], q[1], q[2], q[3]};
                return {};
            }
            if (key == "scale") {
                // Drawings never scale a node; the values are checked only.
                float s[3];
                return readNumbers(s, 3, owner, "scale");
            }
            if (key == "children") {
                if (data.childCount > 0) return fail(owner + " lists its children twice");
                data.firstChild = static_cast<std::uint32_t>(children.size());
                return array(owner + " has children of the wrong kind", limits_.maxNodes,
                             owner + " has more children than a drawing has nodes",
                             [&](std::size_t) -> Result<void> {
                                 std::uint32_t child;
                                 TRY(readIndex(child, limits_.maxNodes, owner, Kind::node));
                                 // Each node has one parent at most, so
                                 // no file lists more children than nodes.
                                 if (children.size() >= limits_.maxNodes)
                                     return fail(
                                         "its nodes list more children than a drawing "
                                         "has nodes");
                                 children.push_back(child);
                                 ++data.childCount;
                                 return {};
                             });
            }
            if (key == "extensions")
                return object(owner + " has extensions of the wrong kind",
                              [&](std::string_view name) -> Result<void> {
                                  if (name == extensionName)
                                      return readNodeExtension(*node, owner, exactRotation);
                                  return skip();
                              });
            return skip();
        });
        if (!ok) return ok;
        if (quaternion && !exactRotation) {
            double q[4] = {(*quaternion)[0], (*quaternion)[1], (*quaternion)[2], (*quaternion)[3]};
            auto rotation = rotationOfQuaternion(q);
            if (!rotation) return fail(owner + " has a rotation that is not a rotation");
            node->setRotation(*rotation);
        }
        nodes.push_back(std::move(node));
        nodeData.push_back(data);
        return {};
    }

    Result<void> readAttributes(std::size_t mesh, const std::string& owner) {
        std::size_t count = 0;
        return object(owner + " has attributes of the wrong kind",
                      [&](std::string_view) -> Result<void> {
                          if (++count > limits_.maxAttributes)
                              return fail(owner + " has more attributes than a drawing has");
                          return reference(Kind::accessor, Kind::mesh, mesh, owner);
                      });
    }

    Result<void> readPrimitive(std::size_t mesh, std::size_t p, MeshData& data) {
        std::string owner = describe("mesh", mesh) + ", primitive " + std::to_string(p) + ",";
        bool sawAttributes = false;
        std::uint32_t material = none;
        auto ok =
            object(owner + " is of the wrong kind", [&](std::string_view key) -> Result<void> {
                if (key == "attributes") {
                    sawAttributes = true;
                    return readAttributes(mesh, owner);
                }
                if (key == "indices") return reference(Kind::accessor, Kind::mesh, mesh, owner);
                if (key == "material")
                    return reference(Kind::material, Kind::mesh, mesh, owner, &material);
                if (key == "targets")
                    return array(
                        owner + " has morph targets of the wrong kind", limits_.maxAttributes,
                        owner + " has more morph targets than a drawing has",
                        [&](std::size_t) -> Result<void> { return readAttributes(mesh, owner); });
                return skip();
            });
        if (!ok) return ok;
        if (!sawAttributes) return fail(owner + " has no attributes");
        if (p == 0) data.material = material;
        data.primitives = p + 1;
        return {};
    }

    Result<void> readMesh(std::size_t i) {
        std::string owner = describe("mesh", i);
        MeshData data;
        std::optional<double> width, height;
        auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
            if (key == "primitives")
                return array(
                    owner + " has no primitives", limits_.maxPrimitivesPerMesh,
                    owner + " has more primitives than a drawing ever has",
                    [&](std::size_t p) -> Result<void> { return readPrimitive(i, p, data); });
            if (key == "extensions")
                return object(
                    owner + " has extensions of the wrong kind",
                    [&](std::string_view name) -> Result<void> {
                        if (name != extensionName) {
                            return skip();
                        }
                        return object(
                            owner + " has an extension of the wrong kind",
                            [&](std::string_view field) -> Result<void> {
                                if (field == field::width || field == field::height) {
                                    auto& size = field == field::width ? width : height;
                                    TRY_LET(token, json_.next());
                                    if (token != Token::number || !(size = json_.doubleNumber()))
                                        return fail(owner + " has a size that is not a number");
                                    return {};
                                }
                                if (field == field::billboards)
                                    return readBillboards(
                                        owner, [&](std::uint64_t axes) -> Result<void> {
                                            if (axes < 1 || axes > 7)
                                                return fail(owner +
                                                            " has a billboard constraint with "
                                                            "unknown free axes");
                                            data.billboards.push_back(static_cast<int>(axes));
                                            return {};
                                        });
                                return skip();
                            });
                    });
            return skip();
        });
        if (!ok) return ok;
        if (data.primitives == 0) return fail(owner + " has no primitives");
        if (width && height) {
            data.sized = true;
            data.width = *width;
            data.height = *height;
        }
        meshes.push_back(std::move(data));
        return {};
    }

    Result<void> readTextureInfo(std::size_t material, const std::string& owner,
                                 std::uint32_t* into) {
        bool sawIndex = false;
        auto ok = object(owner + " has a texture of the wrong kind",
                         [&](std::string_view key) -> Result<void> {
                             if (key != "index") {
                                 return skip();
                             }
                             sawIndex = true;
                             return reference(Kind::texture, Kind::material, material, owner, into);
                         });
        if (ok && !sawIndex) return fail(owner + " has a texture without an index");
        return ok;
    }

    Result<void> readMaterial(std::size_t i) {
        std::string owner = describe("material", i);
        MaterialData data;
        auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
            if (key == "doubleSided") {
                TRY(expect(Token::boolean, owner + " is not a material"));
                data.doubleSided = json_.boolean();
                return {};
            }
            if (key == "pbrMetallicRoughness")
                return object(owner + " has colour properties of the wrong kind",
                              [&](std::string_view field) -> Result<void> {
                                  if (field == "baseColorTexture")
                                      return readTextureInfo(i, owner, &data.texture);
                                  if (field == "metallicRoughnessTexture")
                                      return readTextureInfo(i, owner, nullptr);
                                  return skip();
                              });
            if (key == "normalTexture" || key == "occlusionTexture" || key == "emissiveTexture")
                return readTextureInfo(i, owner, nullptr);
            return skip();
        });
        materials.push_back(data);
        return ok;
    }

    Result<void> readTextureExtension(TextureData& data, const std::string& owner) {
        return object(
            owner + " has an extension of the wrong kind",
            [&](std::string_view key) -> Result<void> {
                if (key == field::imageScale) {
                    std::optional<double> scale;
                    TRY_LET(token, json_.next());
                    if (token == Token::number) scale = json_.doubleNumber();
                    if (!scale || !(*scale > 0))
                        return fail(owner +
                                    " gives its picture a scale that is not a positive number");
                    data.scale = *scale;
                    return {};
                }
                if (key == field::imageOrientation) {
                    std::optional<graphics::ImageOrientation> named;
                    TRY_LET(token, json_.next());
                    if (token == Token::string) named = orientationNamed(json_.string());
                    if (!named) return fail(owner + " gives its picture an unknown orientation");
                    data.orientation = *named;
                    return {};
                }
                if (key == field::imageOpaque) {
                    TRY_LET(token, json_.next());
                    data.opaque = token == Token::boolean && json_.boolean();
                    return {};
                }
                return skip();
            });
    }

    Result<void> readTexture(std::size_t i) {
        std::string owner = describe("texture", i);
        TextureData data;
        auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
            if (key == "source")
                return reference(Kind::image, Kind::texture, i, owner, &data.source);
            if (key == "sampler") return reference(Kind::sampler, Kind::texture, i, owner);
            if (key == "extensions")
                return object(owner + " has extensions of the wrong kind",
                              [&](std::string_view name) -> Result<void> {
                                  if (name == extensionName)
                                      return readTextureExtension(data, owner);
                                  return skip();
                              });
            return skip();
        });
        textures.push_back(data);
        return ok;
    }

    Result<void> readImage(std::size_t i) {
        std::string owner = describe("image", i);
        std::uint32_t view = none;
        auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
            if (key == "uri")
                return fail(owner +
                            " is kept outside the file's binary chunk, which a drawing never does");
            if (key == "bufferView")
                return reference(Kind::bufferView, Kind::image, i, owner, &view);
            return skip();
        });
        if (!ok) return ok;
        if (view == none) return fail(owner + " has no bufferView");
        images.push_back(view);
        return {};
    }

    // A whole number field, failing with `reason` when it is anything else.
    Result<void> readWhole(std::uint64_t& into, const std::string& reason) {
        TRY_LET(n, wholeNumber());
        if (!n) return fail(reason);
        into = *n;
        return {};
    }

    Result<void> readAccessor(std::size_t i) {
        std::string owner = describe("accessor", i);
        AccessorData data;
        std::uint64_t componentType = 0, count = 0;
        std::string_view type;
        std::uint64_t components = 0;
        auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
            if (key == "sparse") return fail(owner + " is sparse, which a drawing never is");
            if (key == "bufferView")
                return reference(Kind::bufferView, Kind::accessor, i, owner, &data.bufferView);
            if (key == "byteOffset")
                return readWhole(data.byteOffset, owner + " has an invalid byte offset");
            if (key == "componentType")
                return readWhole(componentType, owner + " has an unknown component type");
            if (key == "count") return readWhole(count, owner + " has an invalid element count");
            if (key == "type") {
                TRY(expect(Token::string, owner + " has an unknown element type"));
                type = json_.string();
                components = type == "SCALAR" ? 1
                             : type == "VEC2" ? 2
                             : type == "VEC3" ? 3
                             : type == "VEC4" ? 4
                             : type == "MAT2" ? 4
                             : type == "MAT3" ? 9
                             : type == "MAT4" ? 16
                                              : 0;
                return {};
            }
            return skip();
        });
        if (!ok) return ok;
        std::uint64_t componentBytes = 0;
        switch (componentType) {
            case 5120:
            case 5121: componentBytes = 1; break;
            case 5122:
            case 5123: componentBytes = 2; break;
            case 5125:
            case 5126: componentBytes = 4; break;
            default: return fail(owner + " has an unknown component type");
        }
        if (components == 0) return fail(owner + " has an unknown element type");
        if (count == 0 || count > limits_.maxAccessorCount)
            return fail(owner + " has an invalid element count");
        data.count = count;
        data.elementBytes = components * componentBytes;
        accessors.push_back(data);
        return {};
    }

    Result<void> readBufferView(std::size_t i) {
        std::string owner = describe("buffer view", i);
        BufferViewData data;
        auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
            if (key == "buffer")
                return reference(Kind::buffer, Kind::bufferView, i, owner, &data.buffer);
            if (key == "byteOffset")
                return readWhole(data.byteOffset, owner + " has an invalid byte offset");
            if (key == "byteLength")
                return readWhole(data.byteLength, owner + " has no valid byte length");
            if (key == "byteStride") {
                TRY(readWhole(data.byteStride, owner + " has an invalid byte stride"));
                if (data.byteStride < 4 || data.byteStride > 252 || data.byteStride % 4 != 0)
                    return fail(owner + " has an invalid byte stride");
                return {};
            }
            return skip();
        });
        if (!ok) return ok;
        if (data.buffer == none) return fail(owner + " has no buffer");
        if (data.byteLength == 0) return fail(owner + " has no valid byte length");
        bufferViews.push_back(data);
        return {};
    }

    Result<void> readBuffer(std::size_t i) {
        std::string owner = describe("buffer", i);
        std::uint64_t length = 0;
        auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
            if (key == "uri")
                return fail(owner + " keeps its data outside the file, which a drawing never does");
            if (key == "byteLength") return readWhole(length, owner + " has no valid byte length");
            return skip();
        });
        if (!ok) return ok;
        if (length == 0) return fail(owner + " has no valid byte length");
        buffers.push_back(length);
        return {};
    }
};

struct PictureSize {
    std::uint32_t width = 0, height = 0;
};

// The size a PNG picture claims in its header, read before the decoder
// allocates anything for it.
std::optional<PictureSize> claimedPngSize(std::span<const std::uint8_t> bytes) {
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
    return PictureSize{bigEndian(16), bigEndian(20)};
}

// Photos are kept as JPEG files; drawings saved before kept them as PNG.
// A JPEG picture's size is in its frame header, after its other markers:
// this many bytes hold it in every file we write.
constexpr std::size_t pictureHeadBytes = 64 * 1024;

std::optional<PictureSize> claimedSize(std::span<const std::uint8_t> bytes) {
    if (graphics::pictures::hasJpegSignature(bytes)) {
        auto layout = graphics::pictures::readJpegLayout(bytes);
        if (!layout.sawFrame) return std::nullopt;
        return PictureSize{static_cast<std::uint32_t>(layout.width),
                           static_cast<std::uint32_t>(layout.height)};
    }
    return claimedPngSize(bytes);
}

std::string mimeTypeOf(std::span<const std::uint8_t> bytes) {
    return graphics::pictures::hasJpegSignature(bytes) ? "image/jpeg" : "image/png";
}

// Checks what the records say about one another, orders the scene's nodes,
// reads the pictures and puts the graph together.
class Builder {
public:
    Builder(DocumentReader& document, const GlbSource& source, const GlbChunks& chunks,
            const Limits& limits)
        : d_(document), source_(source), chunks_(chunks), limits_(limits) {}

    Result<std::shared_ptr<Scene>> build() {
        TRY(checkReferences());
        TRY(checkByteRanges());
        TRY_LET(order, sceneOrder());
        TRY(readPictures(order));

        // Every node is made and checked before any is attached, so that a
        // refusal never leaves a deep chain behind.
        for (std::uint32_t index : order) TRY(fillNode(index));
        auto scene = std::make_shared<Scene>();
        std::uint32_t root = order.front();
        const Node& fileRoot = *d_.nodes[root];
        Node& sceneRoot = *scene->rootNode();
        sceneRoot.setPosition(fileRoot.position());
        sceneRoot.setRotation(fileRoot.rotation());
        sceneRoot.setOpacity(fileRoot.opacity());
        sceneRoot.setConstraints(fileRoot.constraints());
        sceneRoot.setGeometry(fileRoot.geometry());
        d_.nodes[root] = scene->rootNode();
        for (std::uint32_t index : order) {
            const NodeData& data = d_.nodeData[index];
            for (std::uint32_t k = 0; k < data.childCount; ++k)
                d_.nodes[index]->addChildNode(d_.nodes[d_.children[data.firstChild + k]]);
        }
        return scene;
    }

private:
    DocumentReader& d_;
    const GlbSource& source_;
    const GlbChunks& chunks_;
    const Limits& limits_;
    std::vector<std::shared_ptr<const graphics::Bitmap>> bitmaps_;
    std::vector<std::shared_ptr<const graphics::Bitmap>> opaqueBitmaps_;
    std::vector<std::shared_ptr<const graphics::Image>> pictures_;
    std::vector<std::uint8_t> scratch_;

    std::size_t countOf(Kind kind) const {
        switch (kind) {
            case Kind::node: return d_.nodes.size();
            case Kind::mesh: return d_.meshes.size();
            case Kind::material: return d_.materials.size();
            case Kind::texture: return d_.textures.size();
            case Kind::image: return d_.images.size();
            case Kind::sampler: return d_.samplers;
            case Kind::accessor: return d_.accessors.size();
            case Kind::bufferView: return d_.bufferViews.size();
            case Kind::buffer: return d_.buffers.size();
            case Kind::scene: return d_.scenes.size();
            case Kind::camera: return d_.cameras;
            case Kind::skin: return d_.skins;
        }
        platform::unreachable("countOf");
    }

    Result<void> outOfRange(const std::string& owner, Kind target, std::size_t index) const {
        return fail(owner + " refers to " + nameOf(target) + " " + std::to_string(index) +
                    ", but the file has " + std::to_string(countOf(target)));
    }

    Result<void> checkReferences() const {
        for (const Reference& r : d_.references)
            if (r.index >= countOf(r.target))
                return outOfRange(describe(nameOf(r.owner), r.ownerIndex), r.target, r.index);
        for (std::size_t i = 0; i < d_.nodeData.size(); ++i) {
            const NodeData& data = d_.nodeData[i];
            if (data.mesh != none && data.mesh >= d_.meshes.size())
                return outOfRange(describe("node", i), Kind::mesh, data.mesh);
            for (std::uint32_t k = 0; k < data.childCount; ++k)
                if (d_.children[data.firstChild + k] >= d_.nodes.size())
                    return outOfRange(describe("node", i), Kind::node,
                                      d_.children[data.firstChild + k]);
        }
        if (d_.defaultScene && *d_.defaultScene >= d_.scenes.size())
            return outOfRange("the file", Kind::scene, *d_.defaultScene);
        return {};
    }

    Result<void> checkByteRanges() const {
        for (std::size_t i = 0; i < d_.buffers.size(); ++i) {
            std::string owner = describe("buffer", i);
            if (!chunks_.binOffset)
                return fail(owner + " lives in the binary chunk, but the file has none");
            if (d_.buffers[i] > chunks_.binLength)
                return fail(owner + " claims " + std::to_string(d_.buffers[i]) +
                            " bytes, but the binary chunk has " +
                            std::to_string(chunks_.binLength));
        }
        for (std::size_t i = 0; i < d_.bufferViews.size(); ++i) {
            const BufferViewData& view = d_.bufferViews[i];
            std::uint64_t available = d_.buffers[view.buffer];
            if (view.byteOffset > available || view.byteLength > available - view.byteOffset)
                return fail(describe("buffer view", i) + " reaches past the end of its buffer");
        }
        for (std::size_t i = 0; i < d_.accessors.size(); ++i) {
            const AccessorData& accessor = d_.accessors[i];
            if (accessor.bufferView == none) continue;
            const BufferViewData& view = d_.bufferViews[accessor.bufferView];
            std::uint64_t stride = view.byteStride != 0 ? view.byteStride : accessor.elementBytes;
            // count and stride are bounded, so this cannot overflow.
            std::uint64_t span = stride * (accessor.count - 1) + accessor.elementBytes;
            if (accessor.byteOffset > view.byteLength ||
                span > view.byteLength - accessor.byteOffset)
                return fail(describe("accessor", i) + " reaches past the end of its buffer view");
        }
        return {};
    }

    // The nodes under the scene's root, parents before children and
    // children in order; refuses a node with two parents, a cycle and a
    // hierarchy deeper than the limit. No recursion: a hostile file may nest
    // as deeply as it likes.
    Result<std::vector<std::uint32_t>> sceneOrder() const {
        std::size_t count = d_.nodes.size();
        std::uint32_t sceneIndex = d_.defaultScene.value_or(0);
        if (sceneIndex >= d_.scenes.size()) return fail("it holds no scene");
        auto [first, roots] = d_.scenes[sceneIndex];
        if (roots != 1) return fail("its scene does not have exactly one root node");
        std::uint32_t root = d_.sceneRoots[first];

        std::vector<std::uint32_t> parent(count, none);
        for (std::size_t i = 0; i < count; ++i) {
            const NodeData& data = d_.nodeData[i];
            for (std::uint32_t k = 0; k < data.childCount; ++k) {
                std::uint32_t c = d_.children[data.firstChild + k];
                if (c == i) return fail(describe("node", i) + " is its own child");
                if (parent[c] == i)
                    return fail(describe("node", c) +
                                " is listed twice among the children of node " + std::to_string(i));
                if (parent[c] != none)
                    return fail(describe("node", c) + " has two parents, nodes " +
                                std::to_string(parent[c]) + " and " + std::to_string(i));
                parent[c] = static_cast<std::uint32_t>(i);
            }
        }
        if (parent[root] != none)
            return fail("the scene's root node is also a child of node " +
                        std::to_string(parent[root]));

        // With one parent at most, a cycle is a chain of parents that comes
        // back to itself.
        enum : std::uint8_t { unseen, onPath, done };
        std::vector<std::uint8_t> state(count, unseen);
        std::vector<std::uint32_t> path;
        for (std::size_t start = 0; start < count; ++start) {
            path.clear();
            std::uint32_t j = static_cast<std::uint32_t>(start);
            while (j != none && state[j] == unseen) {
                state[j] = onPath;
                path.push_back(j);
                j = parent[j];
            }
            if (j != none && state[j] == onPath)
                return fail("its nodes form a cycle (through node " + std::to_string(j) + ")");
            for (std::uint32_t k : path) state[k] = done;
        }

        std::vector<std::uint32_t> order;
        std::vector<std::pair<std::uint32_t, int>> stack{{root, 0}};
        while (!stack.empty()) {
            auto [index, depth] = stack.back();
            stack.pop_back();
            if (depth > limits_.maxNodeDepth)
                return fail("it nests nodes more than " + std::to_string(limits_.maxNodeDepth) +
                            " levels deep");
            order.push_back(index);
            const NodeData& data = d_.nodeData[index];
            for (std::uint32_t k = data.childCount; k-- > 0;)
                stack.emplace_back(d_.children[data.firstChild + k], depth + 1);
        }
        return order;
    }

    // The mesh a node shows, checked to be a plane of a drawing.
    Result<const MeshData*> meshOf(std::uint32_t node) const {
        std::uint32_t m = d_.nodeData[node].mesh;
        if (m == none) return nullptr;
        const MeshData& mesh = d_.meshes[m];
        std::string owner = describe("mesh", m);
        if (!mesh.sized) return fail(owner + " is not a plane of a drawing");
        // As the writer: the quad's corners must be floats.
        if (!std::isfinite(static_cast<float>(mesh.width / 2)) ||
            !std::isfinite(static_cast<float>(mesh.height / 2)))
            return fail(owner + " has a size that is not a number");
        if (mesh.primitives != 1) return fail(owner + " does not have exactly one primitive");
        return &mesh;
    }

    std::uint32_t textureOf(const MeshData& mesh) const {
        return mesh.material == none ? none : d_.materials[mesh.material].texture;
    }

    // The bytes a picture is kept in, as a range of the file.
    std::pair<std::uint64_t, std::uint64_t> pictureRange(std::uint32_t image) const {
        const BufferViewData& view = d_.bufferViews[d_.images[image]];
        return std::pair{*chunks_.binOffset + view.byteOffset, view.byteLength};
    }

    // Every picture the scene shows is checked against the limits by the
    // size its header claims, each alone and all together, before any of
    // them is decoded.
    Result<void> readPictures(const std::vector<std::uint32_t>& order) {
        std::vector<bool> used(d_.images.size(), false);
        for (std::uint32_t node : order) {
            TRY_LET(mesh, meshOf(node));
            if (mesh == nullptr) continue;
            std::uint32_t texture = textureOf(*mesh);
            if (texture == none) continue;
            std::uint32_t source = d_.textures[texture].source;
            if (source == none) return fail(describe("texture", texture) + " has no picture");
            used[source] = true;
        }

        std::uint64_t totalPixels = 0;
        auto side = static_cast<std::uint32_t>(limits_.maxImageSide);
        for (std::uint32_t i = 0; i < used.size(); ++i) {
            if (!used[i]) continue;
            std::string owner = describe("image", i);
            auto [offset, length] = pictureRange(i);
            TRY_LET(head, source_.read(
                              offset, static_cast<std::size_t>(std::min<std::uint64_t>(length, 24)),
                              scratch_));
            if (graphics::pictures::hasJpegSignature(head)) {
                TRY_LET(jpegHead, source_.read(offset,
                                               static_cast<std::size_t>(std::min<std::uint64_t>(
                                                   length, pictureHeadBytes)),
                                               scratch_));
                head = jpegHead;
            }
            auto claimed = claimedSize(head);
            if (!claimed) return fail(owner + " is not a PNG or JPEG picture");
            if (claimed->width == 0 || claimed->height == 0) return fail(owner + " has no pixels");
            std::uint64_t pixels = std::uint64_t{claimed->width} * claimed->height;
            if (claimed->width > side || claimed->height > side || pixels > limits_.maxImagePixels)
                return fail(owner + " claims " + std::to_string(claimed->width) + " × " +
                            std::to_string(claimed->height) +
                            " pixels, more than a drawing's picture may have");
            totalPixels += pixels;
            if (totalPixels > limits_.maxTotalImagePixels)
                return fail("its pictures together have more pixels than a drawing may have");
        }

        bitmaps_.resize(d_.images.size());
        for (std::uint32_t i = 0; i < used.size(); ++i) {
            if (!used[i]) continue;
            std::string owner = describe("image", i);
            auto [offset, length] = pictureRange(i);
            TRY_LET(bytes, source_.read(offset, static_cast<std::size_t>(length), scratch_));
            auto claimed = claimedSize(bytes).value();
            graphics::DecodeLimits decodeLimits;
            decodeLimits.maxSide = limits_.maxImageSide;
            decodeLimits.maxStoredSide = limits_.maxImageSide;
            auto decoded = graphics::backend().decodeImage(bytes, decodeLimits);
            if (!decoded) return fail(owner + " cannot be decoded: " + decoded.error());
            std::shared_ptr<const graphics::Bitmap> bitmap = decoded.value()->cgImage();
            if (static_cast<std::uint32_t>(bitmap->width()) != claimed.width ||
                static_cast<std::uint32_t>(bitmap->height()) != claimed.height)
                return fail(owner + " decoded to a size other than it claims");
            // Saved again, the picture is these same bytes, not encoded anew.
            bitmap->keepStoredAs(std::make_shared<graphics::PictureFile>(
                graphics::PictureFile{mimeTypeOf(bytes), {bytes.begin(), bytes.end()}}));
            bitmaps_[i] = std::move(bitmap);
        }
        scratch_ = {};
        return {};
    }

    // The bitmap of an image in the alpha layout a texture asks for: a
    // picture saved from an opaque bitmap comes back opaque.
    std::shared_ptr<const graphics::Bitmap> bitmapOf(std::uint32_t image, bool opaque) {
        const auto& decoded = bitmaps_[image];
        bool isOpaque = decoded->format().alphaInfo == graphics::AlphaInfo::noneSkipLast;
        if (opaque == isOpaque) return decoded;
        opaqueBitmaps_.resize(bitmaps_.size());
        auto& other = opaqueBitmaps_[image];
        if (!other) {
            graphics::BitmapFormat format;
            format.alphaInfo =
                opaque ? graphics::AlphaInfo::noneSkipLast : graphics::AlphaInfo::premultipliedLast;
            auto copy =
                std::make_shared<graphics::Bitmap>(decoded->width(), decoded->height(), format);
            std::memcpy(copy->data(), decoded->data(), decoded->byteCount());
            if (decoded->storedAs()) copy->keepStoredAs(decoded->storedAs());
            other = std::move(copy);
        }
        return other;
    }

    // The picture a texture shows: its image's pixels with the scale,
    // orientation and alpha layout our extension gives.
    std::shared_ptr<const graphics::Image> pictureOf(std::uint32_t texture) {
        pictures_.resize(d_.textures.size());
        if (!pictures_[texture]) {
            const TextureData& data = d_.textures[texture];
            pictures_[texture] = std::make_shared<graphics::Image>(
                bitmapOf(data.source, data.opaque), data.scale, data.orientation);
        }
        return pictures_[texture];
    }

    // Each node gets a plane and material of its own, as the app makes them;
    // the pictures, which never change, are shared. A mesh's billboards are
    // the constraints of the nodes that show it.
    Result<void> fillNode(std::uint32_t index) {
        TRY_LET(mesh, meshOf(index));
        if (mesh == nullptr) return {};
        const MeshData& data = *mesh;
        Node& node = *d_.nodes[index];
        auto plane = Plane::planeWithWidth(data.width, data.height);
        if (data.material == none) {
            plane->setMaterials({});
        } else {
            auto material = plane->firstMaterial();
            material->doubleSided = d_.materials[data.material].doubleSided;
            if (std::uint32_t texture = textureOf(data); texture != none)
                material->diffuse.contents = pictureOf(texture);
        }
        node.setGeometry(std::move(plane));
        if (!data.billboards.empty()) {
            auto constraints = node.constraints();
            for (int axes : data.billboards) {
                auto billboard = std::make_shared<BillboardConstraint>();
                billboard->setFreeAxes(static_cast<BillboardConstraint::Axes>(axes));
                constraints.push_back(std::move(billboard));
            }
            node.setConstraints(std::move(constraints));
        }
        return {};
    }
};
}  // namespace

Result<std::shared_ptr<Scene>> decodeScene(const GlbSource& source, const Limits& limits) {
    TRY_LET(chunks, findGlbChunks(source, limits));
    std::vector<std::uint8_t> jsonBytes;
    TRY_LET(json, source.read(chunks.jsonOffset, chunks.jsonLength, jsonBytes));
    DocumentReader document(json, limits);
    TRY(document.read());
    jsonBytes = {};
    return Builder(document, source, chunks, limits).build();
}

Result<std::shared_ptr<Scene>> decodeScene(std::span<const std::uint8_t> bytes,
                                           const Limits& limits) {
    return decodeScene(MemoryGlbSource(bytes), limits);
}

}  // namespace scene::gltf
