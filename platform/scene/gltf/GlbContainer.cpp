#include "platform/scene/gltf/GlbContainer.h"

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

void putLittleEndian32(std::uint8_t* out, std::uint64_t value) {
    for (int k = 0; k < 4; ++k) out[k] = static_cast<std::uint8_t>(value >> (8 * k));
}
}  // namespace

platform::Result<std::span<const std::uint8_t>> FileGlbSource::read(
    std::uint64_t offset, std::size_t length, std::vector<std::uint8_t>& scratch) const {
    scratch.resize(length);
    if (auto read = file_.readAt(offset, scratch); !read) return platform::Error{read.error()};
    return std::span<const std::uint8_t>(scratch);
}

platform::Result<GlbChunks> findGlbChunks(const GlbSource& source, const Limits& limits) {
    using platform::fail;
    std::uint64_t size = source.size();
    std::vector<std::uint8_t> scratch;
    if (size < 12) return fail("it is too short to be a glTF binary file");
    auto header = source.read(0, 12, scratch);
    if (!header) return platform::Error{header.error()};
    if (readLittleEndian32(header.value(), 0) != glbMagic)
        return fail("it is not a glTF binary file");
    std::uint32_t version = readLittleEndian32(header.value(), 4);
    if (version != 2)
        return fail("it is a glTF binary file of version " + std::to_string(version) +
                    "; only version 2 can be read");
    std::uint32_t length = readLittleEndian32(header.value(), 8);
    if (length != size)
        return fail("its header gives a length of " + std::to_string(length) +
                    " bytes, but the file has " + std::to_string(size) + " (it may be truncated)");

    GlbChunks chunks;
    bool haveJson = false;
    std::uint64_t offset = 12;
    for (std::size_t index = 0; offset < size; ++index) {
        if (index >= limits.maxChunks)
            return fail("it has more than " + std::to_string(limits.maxChunks) + " chunks");
        std::string name = "chunk " + std::to_string(index);
        if (size - offset < 8) return fail(name + " is cut off in its header");
        auto chunkHeader = source.read(offset, 8, scratch);
        if (!chunkHeader) return platform::Error{chunkHeader.error()};
        std::uint32_t chunkLength = readLittleEndian32(chunkHeader.value(), 0);
        std::uint32_t chunkType = readLittleEndian32(chunkHeader.value(), 4);
        offset += 8;
        if (chunkLength > size - offset)
            return fail(name + " claims " + std::to_string(chunkLength) +
                        " bytes, more than the file has left");
        if (chunkLength % 4 != 0) return fail(name + " is not padded to a multiple of 4 bytes");
        if (index == 0) {
            if (chunkType != jsonChunkType) return fail("its first chunk is not JSON");
            if (chunkLength == 0) return fail("its JSON chunk is empty");
            if (chunkLength > limits.maxJsonBytes)
                return fail("its JSON chunk has " + std::to_string(chunkLength) +
                            " bytes, more than the " + std::to_string(limits.maxJsonBytes) +
                            " a drawing may have");
            chunks.jsonOffset = offset;
            chunks.jsonLength = chunkLength;
            haveJson = true;
        } else if (chunkType == jsonChunkType) {
            return fail("it has more than one JSON chunk");
        } else if (chunkType == binChunkType) {
            // glTF puts the binary chunk right after the JSON chunk.
            if (index != 1) return fail("its binary chunk does not follow the JSON chunk");
            chunks.binOffset = offset;
            chunks.binLength = chunkLength;
        }
        offset += chunkLength;
    }
    if (!haveJson) return fail("it has no JSON chunk");
    return chunks;
}

std::array<std::uint8_t, 20> glbHeader(std::uint64_t jsonLength, std::uint64_t binLength) {
    std::array<std::uint8_t, 20> header{};
    putLittleEndian32(&header[0], glbMagic);
    putLittleEndian32(&header[4], 2);
    putLittleEndian32(&header[8], 12 + 8 + jsonLength + (binLength > 0 ? 8 + binLength : 0));
    putLittleEndian32(&header[12], jsonLength);
    putLittleEndian32(&header[16], jsonChunkType);
    return header;
}

std::array<std::uint8_t, 8> binChunkHeader(std::uint64_t binLength) {
    std::array<std::uint8_t, 8> header{};
    putLittleEndian32(&header[0], binLength);
    putLittleEndian32(&header[4], binChunkType);
    return header;
}

}  // namespace scene::gltf
