#include "platform/scene/gltf/DocumentReader.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <string>
#include <vector>

namespace scene::gltf {

using platform::fail;
using platform::Result;
using Token = JsonReader::Token;

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

namespace {
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
}  // namespace

Result<void> DocumentReader::read() {
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
            if ((seen & bit) != 0) return fail("its JSON gives its " + std::string(key) + " twice");
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
        // The lists a drawing is made of, each read entry by entry within
        // its kind's limit.
        struct Listed {
            std::string_view key;
            Kind kind;
            Result<void> (DocumentReader::*read)(std::size_t);
        };
        static constexpr Listed listed[] = {
            {"scenes", Kind::scene, &DocumentReader::readScene},
            {"nodes", Kind::node, &DocumentReader::readNode},
            {"meshes", Kind::mesh, &DocumentReader::readMesh},
            {"materials", Kind::material, &DocumentReader::readMaterial},
            {"textures", Kind::texture, &DocumentReader::readTexture},
            {"images", Kind::image, &DocumentReader::readImage},
            {"accessors", Kind::accessor, &DocumentReader::readAccessor},
            {"bufferViews", Kind::bufferView, &DocumentReader::readBufferView},
            {"buffers", Kind::buffer, &DocumentReader::readBuffer}};
        for (const Listed& part : listed)
            if (key == part.key)
                return entries(key, limitOf(part.kind), [&](std::size_t i) -> Result<void> {
                    return (this->*part.read)(i);
                });
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

template <class Add>
Result<void> DocumentReader::readBillboards(const std::string& owner, Add&& add) {
    return array(owner + " has constraints of the wrong kind", limits_.maxConstraints,
                 owner + " has more constraints than a drawing has",
                 [&](std::size_t) -> Result<void> {
                     TRY_LET(axes, wholeNumber());
                     if (!axes)
                         return fail(owner + " has a billboard constraint with unknown free axes");
                     return add(*axes);
                 });
}

// A constraint as layout 1 writes it: {"type": "billboard", "freeAxes": N}.
template <class Add>
Result<void> DocumentReader::readOldConstraint(const std::string& owner, Add&& add) {
    bool billboard = false;
    std::uint64_t axes = 7;
    auto ok = object(
        owner + " has a constraint of an unknown kind", [&](std::string_view key) -> Result<void> {
            if (key == field::type) {
                TRY_LET(token, json_.next());
                billboard = token == Token::string && json_.string() == billboardConstraintType;
                return {};
            }
            if (key == field::freeAxes) {
                TRY_LET(n, wholeNumber());
                if (!n) return fail(owner + " has a billboard constraint with unknown free axes");
                axes = *n;
                return {};
            }
            return skip();
        });
    if (!ok) return ok;
    if (!billboard) return fail(owner + " has a constraint of an unknown kind");
    return add(axes);
}

Result<void> DocumentReader::readAsset() {
    return object("it has no glTF asset description", [&](std::string_view key) -> Result<void> {
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

Result<void> DocumentReader::readRequiredExtensions() {
    return array("its list of required extensions is not a list", limits_.maxOtherEntries,
                 "it requires too many extensions", [&](std::size_t) -> Result<void> {
                     TRY(expect(Token::string, "its list of required extensions holds a non-name"));
                     return fail("it needs the glTF extension " +
                                 std::string(json_.string().substr(0, 64)) +
                                 ", which Scrawlet cannot read");
                 });
}

Result<void> DocumentReader::readRootExtensions() {
    return object("its extensions are not an object", [&](std::string_view key) -> Result<void> {
        if (key != extensionName) {
            return skip();
        }
        std::optional<std::uint64_t> version;
        auto ok = object("its " + std::string(extensionName) + " extension is not an object",
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
            return fail("its " + std::string(extensionName) + " extension gives no layout version");
        if (*version < oldestLayoutVersion || *version > layoutVersion)
            return fail("it was saved in drawing layout " + std::to_string(*version) +
                        ", but this Scrawlet reads layouts up to " + std::to_string(layoutVersion));
        layout = static_cast<int>(*version);
        return {};
    });
}

Result<void> DocumentReader::readScene(std::size_t i) {
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
Result<void> DocumentReader::readNodeExtension(Node& node, const std::string& owner,
                                               bool& exactRotation) {
    std::vector<std::shared_ptr<Constraint>> constraints;
    auto billboard = [&](std::uint64_t axes) -> Result<void> {
        if (axes < 1 || axes > 7)
            return fail(owner + " has a billboard constraint with unknown free axes");
        auto constraint = std::make_shared<BillboardConstraint>();
        constraint->setFreeAxes(static_cast<BillboardConstraint::Axes>(axes));
        constraints.push_back(std::move(constraint));
        return {};
    };
    auto ok = object(
        owner + " has an extension of the wrong kind", [&](std::string_view key) -> Result<void> {
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
                if (!opacity) return fail(owner + " has an opacity that is not a number");
                node.setOpacity(*opacity);
                return {};
            }
            if (key == field::billboards) return readBillboards(owner, billboard);
            if (key == field::constraints)
                return array(owner + " has constraints of the wrong kind", limits_.maxConstraints,
                             owner + " has more constraints than a drawing has",
                             [&](std::size_t) -> Result<void> {
                                 return readOldConstraint(owner, billboard);
                             });
            return skip();
        });
    if (ok && !constraints.empty()) node.setConstraints(std::move(constraints));
    return ok;
}

Result<void> DocumentReader::readNode(std::size_t i) {
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

Result<void> DocumentReader::readAttributes(std::size_t mesh, const std::string& owner) {
    std::size_t count = 0;
    return object(owner + " has attributes of the wrong kind",
                  [&](std::string_view) -> Result<void> {
                      if (++count > limits_.maxAttributes)
                          return fail(owner + " has more attributes than a drawing has");
                      return reference(Kind::accessor, Kind::mesh, mesh, owner);
                  });
}

Result<void> DocumentReader::readPrimitive(std::size_t mesh, std::size_t p, MeshData& data) {
    std::string owner = describe("mesh", mesh) + ", primitive " + std::to_string(p) + ",";
    bool sawAttributes = false;
    std::uint32_t material = none;
    auto ok = object(owner + " is of the wrong kind", [&](std::string_view key) -> Result<void> {
        if (key == "attributes") {
            sawAttributes = true;
            return readAttributes(mesh, owner);
        }
        if (key == "indices") return reference(Kind::accessor, Kind::mesh, mesh, owner);
        if (key == "material") return reference(Kind::material, Kind::mesh, mesh, owner, &material);
        if (key == "targets")
            return array(owner + " has morph targets of the wrong kind", limits_.maxAttributes,
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

Result<void> DocumentReader::readMesh(std::size_t i) {
    std::string owner = describe("mesh", i);
    MeshData data;
    std::optional<double> width, height;
    auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
        if (key == "primitives")
            return array(owner + " has no primitives", limits_.maxPrimitivesPerMesh,
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

Result<Document> readDocument(std::span<const std::uint8_t> json, const Limits& limits) {
    DocumentReader reader(json, limits);
    TRY(reader.read());
    return std::move(reader).document();
}

}  // namespace scene::gltf
