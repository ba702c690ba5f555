// Reading and writing whole files, with the failures a user can cause
// (missing, unreadable, too large, a full disk) returned as reasons.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "platform/Result.h"

namespace platform {

// The file's bytes; refused when it is larger than `maxBytes`.
Result<std::vector<std::uint8_t>> readFile(const std::filesystem::path& path, std::size_t maxBytes);

// Writes `bytes` to a temporary file beside `path`, flushes it to disk and
// renames it over `path`, so that `path` holds either its old contents or
// the new ones, never a part. The temporary file is removed on failure.
Result<void> writeFileAtomically(const std::filesystem::path& path,
                                 std::span<const std::uint8_t> bytes);

}  // namespace platform
