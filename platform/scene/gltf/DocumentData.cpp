// The parts of a scene file that say what its planes show and where the
// bytes lie: materials, textures and images, accessors, buffer views and
// buffers. Members of the document reader (DocumentReader.h).
#include <string>

#include "platform/scene/gltf/DocumentReader.h"

namespace scene::gltf {

using platform::fail;
using platform::Result;
using Token = JsonReader::Token;

namespace {
std::optional<graphics::ImageOrientation> orientationNamed(std::string_view name) {
    using graphics::ImageOrientation;
    for (auto orientation :
         {ImageOrientation::up, ImageOrientation::down, ImageOrientation::left,
          ImageOrientation::right, ImageOrientation::upMirrored, ImageOrientation::downMirrored,
          ImageOrientation::leftMirrored, ImageOrientation::rightMirrored})
        if (graphics::orientationName(orientation) == name) return orientation;
    return std::nullopt;
}
}  // namespace

Result<void> DocumentReader::readMaterial(std::size_t i) {
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

Result<void> DocumentReader::readTextureInfo(std::size_t material, const std::string& owner,
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

Result<void> DocumentReader::readTextureExtension(TextureData& data, const std::string& owner) {
    return object(
        owner + " has an extension of the wrong kind", [&](std::string_view key) -> Result<void> {
            if (key == field::imageScale) {
                std::optional<double> scale;
                TRY_LET(token, json_.next());
                if (token == Token::number) scale = json_.doubleNumber();
                if (!scale || !(*scale > 0))
                    return fail(owner + " gives its picture a scale that is not a positive number");
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

Result<void> DocumentReader::readTexture(std::size_t i) {
    std::string owner = describe("texture", i);
    TextureData data;
    auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
        if (key == "source") return reference(Kind::image, Kind::texture, i, owner, &data.source);
        if (key == "sampler") return reference(Kind::sampler, Kind::texture, i, owner);
        if (key == "extensions")
            return object(owner + " has extensions of the wrong kind",
                          [&](std::string_view name) -> Result<void> {
                              if (name == extensionName) return readTextureExtension(data, owner);
                              return skip();
                          });
        return skip();
    });
    textures.push_back(data);
    return ok;
}

Result<void> DocumentReader::readImage(std::size_t i) {
    std::string owner = describe("image", i);
    std::uint32_t view = none;
    auto ok = object(owner + " is not an object", [&](std::string_view key) -> Result<void> {
        if (key == "uri")
            return fail(owner +
                        " is kept outside the file's binary chunk, which a drawing never does");
        if (key == "bufferView") return reference(Kind::bufferView, Kind::image, i, owner, &view);
        return skip();
    });
    if (!ok) return ok;
    if (view == none) return fail(owner + " has no bufferView");
    images.push_back(view);
    return {};
}

// A whole number field, failing with `reason` when it is anything else.
Result<void> DocumentReader::readWhole(std::uint64_t& into, const std::string& reason) {
    TRY_LET(n, wholeNumber());
    if (!n) return fail(reason);
    into = *n;
    return {};
}

Result<void> DocumentReader::readAccessor(std::size_t i) {
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

Result<void> DocumentReader::readBufferView(std::size_t i) {
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

Result<void> DocumentReader::readBuffer(std::size_t i) {
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

}  // namespace scene::gltf
