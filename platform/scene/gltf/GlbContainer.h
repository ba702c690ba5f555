// The outer layer of a glTF binary (GLB) file: the 12-byte header and the
// chunks, checked against the file's real size before anything inside is
// trusted. The bytes come from memory or from a file read in pieces, so
// that a reader takes from a large file only the parts it needs.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "platform/Files.h"
#include "platform/Result.h"
#include "platform/scene/gltf/SceneFileLayout.h"

namespace scene::gltf {

// Where the bytes of a GLB file come from.
class GlbSource {
public:
    virtual ~GlbSource() = default;
    virtual std::uint64_t size() const = 0;
    // `length` bytes from `offset`, which the caller has checked lie in the
    // file; `scratch` holds them when they have to be read.
    virtual platform::Result<std::span<const std::uint8_t>> read(
        std::uint64_t offset, std::size_t length, std::vector<std::uint8_t>& scratch) const = 0;
};

class MemoryGlbSource : public GlbSource {
public:
    explicit MemoryGlbSource(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    std::uint64_t size() const override { return bytes_.size(); }
    platform::Result<std::span<const std::uint8_t>> read(
        std::uint64_t offset, std::size_t length, std::vector<std::uint8_t>&) const override {
        return bytes_.subspan(static_cast<std::size_t>(offset), length);
    }

private:
    std::span<const std::uint8_t> bytes_;
};

class FileGlbSource : public GlbSource {
public:
    explicit FileGlbSource(const platform::ReadableFile& file) : file_(file) {}
    std::uint64_t size() const override { return file_.size(); }
    platform::Result<std::span<const std::uint8_t>> read(
        std::uint64_t offset, std::size_t length,
        std::vector<std::uint8_t>& scratch) const override;

private:
    const platform::ReadableFile& file_;
};

// Where the chunks lie in the file.
struct GlbChunks {
    std::uint64_t jsonOffset = 0;
    std::size_t jsonLength = 0;
    // The binary chunk, when the file has one.
    std::optional<std::uint64_t> binOffset;
    std::uint64_t binLength = 0;
};

// Finds the JSON and binary chunks. Refuses a wrong magic or version, a
// length that differs from the file's, chunks that overrun the file or are
// not 4-byte aligned, a missing, empty or too large JSON chunk, a second
// JSON chunk, a binary chunk anywhere but right after the JSON and more
// chunks than the limit. Chunks of other types are skipped, as glTF asks.
platform::Result<GlbChunks> findGlbChunks(const GlbSource& source, const Limits& limits);

// The bytes that come before a JSON chunk of `jsonLength` bytes (the file
// header and the chunk's header), and before a binary chunk of `binLength`
// bytes; both lengths padded to 4 bytes already.
std::array<std::uint8_t, 20> glbHeader(std::uint64_t jsonLength, std::uint64_t binLength);
std::array<std::uint8_t, 8> binChunkHeader(std::uint64_t binLength);

}  // namespace scene::gltf
