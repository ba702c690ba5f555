// The reader of a scene file's JSON, used by readDocument only: it walks
// the text once with the pull parser and fills the document's records. Its
// helpers here read the shapes JSON has (objects, lists, whole numbers,
// indices); the parts of a glTF file are read in DocumentReader.cpp
// (scenes, nodes, meshes) and DocumentData.cpp (materials, textures,
// images and the buffers their bytes lie in).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "platform/Result.h"
#include "platform/scene/gltf/Document.h"
#include "platform/scene/gltf/JsonReader.h"

namespace scene::gltf {

class DocumentReader : private Document {
public:
    DocumentReader(std::span<const std::uint8_t> json, const Limits& limits)
        : json_(json, limits.maxJsonDepth), limits_(limits) {}

    platform::Result<void> read();
    // The records, once `read` has succeeded.
    Document document() && { return std::move(static_cast<Document&>(*this)); }

private:
    JsonReader json_;
    const Limits& limits_;

    template <class T>
    using Result = platform::Result<T>;
    using Token = JsonReader::Token;

    // Passes over a value the reader does not need.
    Result<void> skip() { return json_.skipValue(); }

    // Reads a token that must be `token`; `wrong` says what anything else
    // means (broken text says so first).
    Result<void> expect(Token token, const std::string& wrong) {
        TRY_LET(next, json_.next());
        if (next != token) return platform::fail(wrong);
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
            if (i >= limit) return platform::fail(tooMany);
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
                    return platform::fail("its " + name + " hold an entry of the wrong kind");
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
            return platform::fail(owner + " refers to a " + nameOf(target) +
                                  " by something other than a number");
        if (*n >= limit)
            return platform::fail(owner + " refers to " + nameOf(target) + " " +
                                  std::to_string(*n) + ", more than a drawing has");
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
            return platform::fail("its parts refer to one another more often than a drawing's do");
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
                if (!value) return platform::fail(owner + " has a " + what + " out of range");
                out[i] = *value;
                count = i + 1;
                return {};
            });
        if (ok && count != size)
            return platform::fail(owner + " has a " + what + " of the wrong size");
        return ok;
    }

    // The parts that make the graph (DocumentReader.cpp).
    Result<void> readAsset();
    Result<void> readRequiredExtensions();
    Result<void> readRootExtensions();
    Result<void> readScene(std::size_t i);
    Result<void> readNodeExtension(Node& node, const std::string& owner, bool& exactRotation);
    template <class Add>
    Result<void> readBillboards(const std::string& owner, Add&& add);
    template <class Add>
    Result<void> readOldConstraint(const std::string& owner, Add&& add);
    Result<void> readNode(std::size_t i);
    Result<void> readAttributes(std::size_t mesh, const std::string& owner);
    Result<void> readPrimitive(std::size_t mesh, std::size_t p, MeshData& data);
    Result<void> readMesh(std::size_t i);

    // The parts that say what the planes show and where its bytes lie
    // (DocumentData.cpp).
    Result<void> readMaterial(std::size_t i);
    Result<void> readTextureInfo(std::size_t material, const std::string& owner,
                                 std::uint32_t* into);
    Result<void> readTextureExtension(TextureData& data, const std::string& owner);
    Result<void> readTexture(std::size_t i);
    Result<void> readImage(std::size_t i);
    Result<void> readWhole(std::uint64_t& into, const std::string& reason);
    Result<void> readAccessor(std::size_t i);
    Result<void> readBufferView(std::size_t i);
    Result<void> readBuffer(std::size_t i);
};

}  // namespace scene::gltf
