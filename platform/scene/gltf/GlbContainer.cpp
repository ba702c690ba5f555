#include "platform/scene/gltf/GlbContainer.h"

#include <string>

namespace scene::gltf {

namespace {
constexpr std::uint32_t glbMagic = 0x46546C67;       // "glTF"
constexpr std::uint32_t jsonChunkType = 0x4E4F534A;  // "JSON"
constexpr std::uint32_t binChunkType = 0x004E4942;   // "BIN\0"

std::uint32_t readLittleEndian32(std::span<const std::uint8_t> bytes, std::size_t offset) {
    return static_cast<std::uint32_t>(bytes[offset]) |
           static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[offset + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}
}  // namespace

platform::Result<GlbChunks> splitGlb(std::span<const std::uint8_t> bytes, const Limits& limits) {
    using platform::fail;
    if (bytes.size() < 12) return fail("it is too short to be a glTF binary file");
    if (readLittleEndian32(bytes, 0) != glbMagic) return fail("it is not a glTF binary file");
    std::uint32_t version = readLittleEndian32(bytes, 4);
    if (version != 2)
        return fail("it is a glTF binary file of version " + std::to_string(version) +
                    "; only version 2 can be read");
    std::uint32_t length = readLittleEndian32(bytes, 8);
    if (length != bytes.size())
        return fail("its header gives a length of " + std::to_string(length) +
                    " bytes, but the file has " + std::to_string(bytes.size()) +
                    " (it may be truncated)");

    GlbChunks chunks;
    bool haveJson = false;
    std::size_t offset = 12;
    int index = 0;
    while (offset < bytes.size()) {
        if (bytes.size() - offset < 8)
            return fail("chunk " + std::to_string(index) + " is cut off in its header");
        std::uint32_t chunkLength = readLittleEndian32(bytes, offset);
        std::uint32_t chunkType = readLittleEndian32(bytes, offset + 4);
        offset += 8;
        if (chunkLength > bytes.size() - offset)
            return fail("chunk " + std::to_string(index) + " claims " +
                        std::to_string(chunkLength) + " bytes, more than the file has left");
        if (chunkLength % 4 != 0)
            return fail("chunk " + std::to_string(index) +
                        " is not padded to a multiple of 4 bytes");
        auto data = bytes.subspan(offset, chunkLength);
        if (index == 0) {
            if (chunkType != jsonChunkType) return fail("its first chunk is not JSON");
            if (chunkLength == 0) return fail("its JSON chunk is empty");
            if (chunkLength > limits.maxJsonBytes)
                return fail("its JSON chunk has " + std::to_string(chunkLength) +
                            " bytes, more than the " + std::to_string(limits.maxJsonBytes) +
                            " a drawing may have");
            chunks.json = data;
            haveJson = true;
        } else if (chunkType == jsonChunkType) {
            return fail("it has more than one JSON chunk");
        } else if (chunkType == binChunkType) {
            // tinygltf takes the binary chunk to follow the JSON chunk
            // directly; so does every writer we know of.
            if (index != 1) return fail("its binary chunk does not follow the JSON chunk");
            chunks.bin = data;
        }
        offset += chunkLength;
        ++index;
    }
    if (!haveJson) return fail("it has no JSON chunk");
    return chunks;
}

platform::Result<JsonShape> scanJson(std::span<const std::uint8_t> json, const Limits& limits) {
    JsonShape shape;
    int depth = 0;
    bool inString = false;
    bool escaped = false;
    for (std::uint8_t c : json) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        switch (c) {
            case '"': inString = true; break;
            case '[':
            case '{':
                ++depth;
                ++shape.values;
                if (depth > shape.depth) shape.depth = depth;
                if (depth > limits.maxJsonDepth)
                    return platform::fail("its JSON nests arrays and objects more than " +
                                          std::to_string(limits.maxJsonDepth) + " levels deep");
                break;
            case ']':
            case '}':
                if (--depth < 0)
                    return platform::fail("its JSON closes more brackets than it opens");
                break;
            case ',': ++shape.values; break;
            default: break;
        }
        if (shape.values > limits.maxJsonValues)
            return platform::fail("its JSON holds more than " +
                                  std::to_string(limits.maxJsonValues) + " values");
    }
    // Unbalanced brackets and unterminated strings are left for the parser
    // to name; they cannot make it recurse.
    return shape;
}

}  // namespace scene::gltf
