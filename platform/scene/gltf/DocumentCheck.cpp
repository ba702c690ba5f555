#include "platform/scene/gltf/DocumentCheck.h"

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace scene::gltf {

namespace {
using nlohmann::json;
using platform::fail;
using platform::Result;

std::string describe(std::string_view kind, std::size_t index) {
    return std::string(kind) + " " + std::to_string(index);
}

// A whole number as the JSON spells it: 3 is one, 3.0 and -1 are not.
std::optional<std::uint64_t> wholeNumber(const json& value) {
    if (value.is_number_unsigned()) return value.get<std::uint64_t>();
    if (value.is_number_integer()) {
        auto n = value.get<std::int64_t>();
        if (n >= 0) return static_cast<std::uint64_t>(n);
    }
    return std::nullopt;
}

const json* member(const json& object, const char* key) {
    auto it = object.find(key);
    return it == object.end() ? nullptr : &*it;
}

// The sizes of the arrays that other parts refer to by index.
struct Counts {
    std::size_t nodes = 0, meshes = 0, materials = 0, textures = 0, images = 0, samplers = 0,
                accessors = 0, bufferViews = 0, buffers = 0, scenes = 0, cameras = 0, skins = 0;
};

class Checker {
public:
    Checker(const json& document, std::optional<std::size_t> binBytes, const Limits& limits)
        : document_(document), binBytes_(binBytes), limits_(limits) {}

    Result<void> run() {
        if (!document_.is_object()) return fail("its JSON is not an object");
        if (auto r = checkAsset(); !r) return r;
        if (auto r = checkExtensions(); !r) return r;
        if (auto r = checkArrays(); !r) return r;
        if (auto r = checkBuffers(); !r) return r;
        if (auto r = checkBufferViews(); !r) return r;
        if (auto r = checkAccessors(); !r) return r;
        if (auto r = checkImages(); !r) return r;
        if (auto r = checkTextures(); !r) return r;
        if (auto r = checkMaterials(); !r) return r;
        if (auto r = checkMeshes(); !r) return r;
        if (auto r = checkNodes(); !r) return r;
        return checkScenes();
    }

private:
    const json& document_;
    std::optional<std::size_t> binBytes_;
    const Limits& limits_;
    Counts counts_;
    std::vector<std::uint64_t> bufferLengths_;
    std::vector<std::uint64_t> bufferViewLengths_;
    std::vector<std::uint64_t> bufferViewStrides_;

    const json& array(const char* key) const {
        static const json empty = json::array();
        const json* value = member(document_, key);
        return value != nullptr ? *value : empty;
    }

    Result<void> checkAsset() {
        const json* asset = member(document_, "asset");
        if (asset == nullptr || !asset->is_object())
            return fail("it has no glTF asset description");
        const json* version = member(*asset, "version");
        if (version == nullptr || !version->is_string())
            return fail("it does not say which glTF version it is");
        auto text = version->get<std::string>();
        if (text.rfind("2.", 0) != 0)
            return fail("it is glTF version " + text + "; only 2.0 can be read");
        return {};
    }

    Result<void> checkExtensions() {
        if (const json* required = member(document_, "extensionsRequired")) {
            if (!required->is_array()) return fail("its list of required extensions is not a list");
            for (const auto& name : *required) {
                if (!name.is_string())
                    return fail("its list of required extensions holds a non-name");
                return fail("it needs the glTF extension " + name.get<std::string>() +
                            ", which Scrawlet cannot read");
            }
        }
        const json* extensions = member(document_, "extensions");
        const json* ours = extensions != nullptr && extensions->is_object()
                               ? member(*extensions, extensionName)
                               : nullptr;
        if (ours == nullptr)
            return fail("it is a glTF file, but not a drawing saved by Scrawlet (it has no " +
                        std::string(extensionName) + " extension)");
        const json* version = ours->is_object() ? member(*ours, field::version) : nullptr;
        auto number = version != nullptr ? wholeNumber(*version) : std::nullopt;
        if (!number)
            return fail("its " + std::string(extensionName) + " extension gives no layout version");
        if (*number != static_cast<std::uint64_t>(layoutVersion))
            return fail("it was saved in drawing layout " + std::to_string(*number) +
                        ", but this Scrawlet reads layout " + std::to_string(layoutVersion));
        return {};
    }

    // Every top-level array: a list of objects, no longer than its limit.
    Result<void> checkArrays() {
        struct Entry {
            const char* key;
            std::size_t limit;
            std::size_t* count;
        };
        std::size_t ignored = 0;
        const std::array<Entry, 15> entries{{
            {"nodes", limits_.maxNodes, &counts_.nodes},
            {"meshes", limits_.maxMeshes, &counts_.meshes},
            {"materials", limits_.maxMaterials, &counts_.materials},
            {"textures", limits_.maxTextures, &counts_.textures},
            {"images", limits_.maxImages, &counts_.images},
            {"samplers", limits_.maxSamplers, &counts_.samplers},
            {"accessors", limits_.maxAccessors, &counts_.accessors},
            {"bufferViews", limits_.maxBufferViews, &counts_.bufferViews},
            {"buffers", limits_.maxBuffers, &counts_.buffers},
            {"scenes", limits_.maxScenes, &counts_.scenes},
            {"cameras", limits_.maxOtherEntries, &counts_.cameras},
            {"skins", limits_.maxOtherEntries, &counts_.skins},
            {"animations", limits_.maxOtherEntries, &ignored},
            {"extensionsUsed", limits_.maxOtherEntries, &ignored},
            {"extensionsRequired", limits_.maxOtherEntries, &ignored},
        }};
        for (const auto& entry : entries) {
            const json* value = member(document_, entry.key);
            if (value == nullptr) continue;
            if (!value->is_array())
                return fail("its " + std::string(entry.key) + " are not a list");
            if (value->size() > entry.limit)
                return fail("it has " + std::to_string(value->size()) + " " + entry.key +
                            ", more than the " + std::to_string(entry.limit) +
                            " a drawing may have");
            bool names = std::string_view(entry.key).rfind("extensions", 0) == 0;
            for (const auto& element : *value)
                if (names ? !element.is_string() : !element.is_object())
                    return fail("its " + std::string(entry.key) +
                                " hold an entry of the wrong kind");
            *entry.count = value->size();
        }
        return {};
    }

    // An optional index: when `key` is there, it must be a whole number
    // below `count`.
    Result<void> index(const json& object, const char* key, std::size_t count,
                       const std::string& owner, const char* targetKind,
                       bool required = false) const {
        const json* value = member(object, key);
        if (value == nullptr) {
            if (required) return fail(owner + " has no " + key);
            return {};
        }
        return indexValue(*value, count, owner, targetKind);
    }

    Result<void> indexValue(const json& value, std::size_t count, const std::string& owner,
                            const char* targetKind) const {
        auto n = wholeNumber(value);
        if (!n)
            return fail(owner + " refers to a " + targetKind + " by something other than a number");
        if (*n >= count)
            return fail(owner + " refers to " + targetKind + " " + std::to_string(*n) +
                        ", but the file has " + std::to_string(count));
        return {};
    }

    Result<void> checkBuffers() {
        const json& buffers = array("buffers");
        for (std::size_t i = 0; i < buffers.size(); ++i) {
            const json& buffer = buffers[i];
            std::string owner = describe("buffer", i);
            if (member(buffer, "uri") != nullptr)
                return fail(owner + " keeps its data outside the file, which a drawing never does");
            const json* length = member(buffer, "byteLength");
            auto n = length != nullptr ? wholeNumber(*length) : std::nullopt;
            if (!n || *n == 0) return fail(owner + " has no valid byte length");
            if (!binBytes_)
                return fail(owner + " lives in the binary chunk, but the file has none");
            if (*n > *binBytes_)
                return fail(owner + " claims " + std::to_string(*n) +
                            " bytes, but the binary chunk has " + std::to_string(*binBytes_));
            bufferLengths_.push_back(*n);
        }
        return {};
    }

    Result<void> checkBufferViews() {
        const json& views = array("bufferViews");
        for (std::size_t i = 0; i < views.size(); ++i) {
            const json& view = views[i];
            std::string owner = describe("buffer view", i);
            if (auto r = index(view, "buffer", counts_.buffers, owner, "buffer", true); !r)
                return r;
            auto buffer =
                static_cast<std::size_t>(wholeNumber(*member(view, "buffer")).value_or(0));
            std::uint64_t offset = 0, length = 0, stride = 0;
            if (const json* value = member(view, "byteOffset")) {
                auto n = wholeNumber(*value);
                if (!n) return fail(owner + " has an invalid byte offset");
                offset = *n;
            }
            const json* lengthValue = member(view, "byteLength");
            auto n = lengthValue != nullptr ? wholeNumber(*lengthValue) : std::nullopt;
            if (!n || *n == 0) return fail(owner + " has no valid byte length");
            length = *n;
            if (const json* value = member(view, "byteStride")) {
                auto s = wholeNumber(*value);
                if (!s || *s < 4 || *s > 252 || *s % 4 != 0)
                    return fail(owner + " has an invalid byte stride");
                stride = *s;
            }
            std::uint64_t available = bufferLengths_[buffer];
            if (offset > available || length > available - offset)
                return fail(owner + " reaches past the end of its buffer");
            bufferViewLengths_.push_back(length);
            bufferViewStrides_.push_back(stride);
        }
        return {};
    }

    Result<void> checkAccessors() {
        const json& accessors = array("accessors");
        for (std::size_t i = 0; i < accessors.size(); ++i) {
            const json& accessor = accessors[i];
            std::string owner = describe("accessor", i);
            if (member(accessor, "sparse") != nullptr)
                return fail(owner + " is sparse, which a drawing never is");
            const json* componentType = member(accessor, "componentType");
            auto component = componentType != nullptr ? wholeNumber(*componentType) : std::nullopt;
            std::uint64_t componentBytes = 0;
            switch (component.value_or(0)) {
                case 5120:
                case 5121: componentBytes = 1; break;
                case 5122:
                case 5123: componentBytes = 2; break;
                case 5125:
                case 5126: componentBytes = 4; break;
                default: return fail(owner + " has an unknown component type");
            }
            const json* typeValue = member(accessor, "type");
            std::string type =
                typeValue != nullptr && typeValue->is_string() ? typeValue->get<std::string>() : "";
            std::uint64_t components = type == "SCALAR" ? 1
                                       : type == "VEC2" ? 2
                                       : type == "VEC3" ? 3
                                       : type == "VEC4" ? 4
                                       : type == "MAT2" ? 4
                                       : type == "MAT3" ? 9
                                       : type == "MAT4" ? 16
                                                        : 0;
            if (components == 0) return fail(owner + " has an unknown element type");
            const json* countValue = member(accessor, "count");
            auto count = countValue != nullptr ? wholeNumber(*countValue) : std::nullopt;
            if (!count || *count == 0 || *count > limits_.maxAccessorCount)
                return fail(owner + " has an invalid element count");
            std::uint64_t offset = 0;
            if (const json* value = member(accessor, "byteOffset")) {
                auto n = wholeNumber(*value);
                if (!n) return fail(owner + " has an invalid byte offset");
                offset = *n;
            }
            const json* view = member(accessor, "bufferView");
            if (view == nullptr) continue;
            if (auto r = indexValue(*view, counts_.bufferViews, owner, "buffer view"); !r) return r;
            auto v = static_cast<std::size_t>(*wholeNumber(*view));
            std::uint64_t elementBytes = components * componentBytes;
            std::uint64_t stride =
                bufferViewStrides_[v] != 0 ? bufferViewStrides_[v] : elementBytes;
            // count and stride are bounded, so this cannot overflow.
            std::uint64_t span = stride * (*count - 1) + elementBytes;
            std::uint64_t available = bufferViewLengths_[v];
            if (offset > available || span > available - offset)
                return fail(owner + " reaches past the end of its buffer view");
        }
        return {};
    }

    Result<void> checkImages() {
        const json& images = array("images");
        for (std::size_t i = 0; i < images.size(); ++i) {
            std::string owner = describe("image", i);
            if (member(images[i], "uri") != nullptr)
                return fail(owner +
                            " is kept outside the file's binary chunk, which a drawing never does");
            if (auto r =
                    index(images[i], "bufferView", counts_.bufferViews, owner, "buffer view", true);
                !r)
                return r;
        }
        return {};
    }

    Result<void> checkTextures() {
        const json& textures = array("textures");
        for (std::size_t i = 0; i < textures.size(); ++i) {
            std::string owner = describe("texture", i);
            if (auto r = index(textures[i], "source", counts_.images, owner, "image"); !r) return r;
            if (auto r = index(textures[i], "sampler", counts_.samplers, owner, "sampler"); !r)
                return r;
        }
        return {};
    }

    Result<void> textureInfo(const json& holder, const char* key, const std::string& owner) const {
        const json* info = member(holder, key);
        if (info == nullptr) return {};
        if (!info->is_object()) return fail(owner + " has a " + key + " of the wrong kind");
        return index(*info, "index", counts_.textures, owner, "texture", true);
    }

    Result<void> checkMaterials() {
        const json& materials = array("materials");
        for (std::size_t i = 0; i < materials.size(); ++i) {
            const json& material = materials[i];
            std::string owner = describe("material", i);
            if (const json* pbr = member(material, "pbrMetallicRoughness")) {
                if (!pbr->is_object())
                    return fail(owner + " has colour properties of the wrong kind");
                if (auto r = textureInfo(*pbr, "baseColorTexture", owner); !r) return r;
                if (auto r = textureInfo(*pbr, "metallicRoughnessTexture", owner); !r) return r;
            }
            for (const char* key : {"normalTexture", "occlusionTexture", "emissiveTexture"})
                if (auto r = textureInfo(material, key, owner); !r) return r;
        }
        return {};
    }

    // A map from attribute names to accessors.
    Result<void> attributes(const json& map, const std::string& owner) const {
        if (!map.is_object()) return fail(owner + " has attributes of the wrong kind");
        for (const auto& [name, value] : map.items())
            if (auto r =
                    indexValue(value, counts_.accessors, owner + " (" + name + ")", "accessor");
                !r)
                return r;
        return {};
    }

    Result<void> checkMeshes() {
        const json& meshes = array("meshes");
        for (std::size_t i = 0; i < meshes.size(); ++i) {
            std::string owner = describe("mesh", i);
            const json* primitives = member(meshes[i], "primitives");
            if (primitives == nullptr || !primitives->is_array() || primitives->empty())
                return fail(owner + " has no primitives");
            if (primitives->size() > limits_.maxPrimitivesPerMesh)
                return fail(owner + " has more primitives than a drawing ever has");
            for (std::size_t p = 0; p < primitives->size(); ++p) {
                const json& primitive = (*primitives)[p];
                std::string part = owner + ", primitive " + std::to_string(p) + ",";
                if (!primitive.is_object()) return fail(part + " is of the wrong kind");
                const json* map = member(primitive, "attributes");
                if (map == nullptr) return fail(part + " has no attributes");
                if (auto r = attributes(*map, part); !r) return r;
                if (auto r = index(primitive, "indices", counts_.accessors, part, "accessor"); !r)
                    return r;
                if (auto r = index(primitive, "material", counts_.materials, part, "material"); !r)
                    return r;
                if (const json* targets = member(primitive, "targets")) {
                    if (!targets->is_array())
                        return fail(part + " has morph targets of the wrong kind");
                    for (const auto& target : *targets)
                        if (auto r = attributes(target, part); !r) return r;
                }
            }
        }
        return {};
    }

    Result<void> checkNodes() {
        const json& nodes = array("nodes");
        for (std::size_t i = 0; i < nodes.size(); ++i) {
            const json& node = nodes[i];
            std::string owner = describe("node", i);
            if (auto r = index(node, "mesh", counts_.meshes, owner, "mesh"); !r) return r;
            if (auto r = index(node, "camera", counts_.cameras, owner, "camera"); !r) return r;
            if (auto r = index(node, "skin", counts_.skins, owner, "skin"); !r) return r;
            if (const json* children = member(node, "children")) {
                if (!children->is_array()) return fail(owner + " has children of the wrong kind");
                for (const auto& child : *children)
                    if (auto r = indexValue(child, counts_.nodes, owner, "node"); !r) return r;
            }
            struct Vector {
                const char* key;
                std::size_t size;
            };
            for (Vector vector : {Vector{"translation", 3}, Vector{"rotation", 4},
                                  Vector{"scale", 3}, Vector{"matrix", 16}}) {
                const json* value = member(node, vector.key);
                if (value == nullptr) continue;
                if (!value->is_array() || value->size() != vector.size)
                    return fail(owner + " has a " + vector.key + " of the wrong size");
                for (const auto& number : *value)
                    if (!number.is_number())
                        return fail(owner + " has a " + vector.key + " that is not numbers");
            }
        }
        return {};
    }

    Result<void> checkScenes() {
        const json& scenes = array("scenes");
        if (scenes.empty()) return fail("it holds no scene");
        for (std::size_t i = 0; i < scenes.size(); ++i) {
            std::string owner = describe("scene", i);
            const json* nodes = member(scenes[i], "nodes");
            if (nodes == nullptr) continue;
            if (!nodes->is_array()) return fail(owner + " has nodes of the wrong kind");
            for (const auto& node : *nodes)
                if (auto r = indexValue(node, counts_.nodes, owner, "node"); !r) return r;
        }
        return index(document_, "scene", counts_.scenes, "the file", "scene");
    }
};
}  // namespace

Result<void> checkDocument(const json& document, std::optional<std::size_t> binBytes,
                           const Limits& limits) {
    return Checker(document, binBytes, limits).run();
}

}  // namespace scene::gltf
