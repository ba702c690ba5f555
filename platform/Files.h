// Reading and writing files, with the failures a user can cause (missing,
// unreadable, not a file at all, too large, a full disk, a read-only
// folder) returned as reasons, and never more read than the file holds.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

#include "platform/Result.h"

namespace platform {

// An open regular file, read in pieces at the offsets asked for.
class ReadableFile {
public:
    // Refuses, before reading anything, a file that is missing or
    // unreadable, anything that is not a regular file (a folder, a device
    // such as /dev/zero, a pipe) and a file larger than `maxBytes`.
    static Result<ReadableFile> open(const std::filesystem::path& path, std::uint64_t maxBytes);

    ReadableFile(ReadableFile&& other) noexcept;
    ReadableFile& operator=(ReadableFile&& other) noexcept;
    ReadableFile(const ReadableFile&) = delete;
    ReadableFile& operator=(const ReadableFile&) = delete;
    ~ReadableFile();

    // The size the file had when it was opened.
    std::uint64_t size() const { return size_; }
    const std::filesystem::path& path() const { return path_; }

    // Exactly `into.size()` bytes from `offset`; fails when the file has
    // become shorter since it was opened.
    Result<void> readAt(std::uint64_t offset, std::span<std::uint8_t> into) const;

private:
    ReadableFile(int fd, std::uint64_t size, std::filesystem::path path);
    int fd_;
    std::uint64_t size_;
    std::filesystem::path path_;
};

// The whole file, as `ReadableFile::open` allows it.
Result<std::vector<std::uint8_t>> readFile(const std::filesystem::path& path,
                                           std::uint64_t maxBytes);

// Writes the pieces, one after the other, to a temporary file beside
// `path`, flushes it to disk and renames it over `path`, so that `path`
// holds either its old contents or the new ones, never a part. The
// temporary file is removed on failure; temporary files that saves which
// died left behind are removed first.
Result<void> writeFileAtomically(const std::filesystem::path& path,
                                 std::span<const std::span<const std::uint8_t>> pieces);
Result<void> writeFileAtomically(const std::filesystem::path& path,
                                 std::span<const std::uint8_t> bytes);

// Whether `candidate` is the name of a temporary file that a save to
// `path` makes: "." + the file's name + ".saving-" + a unique ending, in the
// same folder.
bool isTemporaryFileFor(const std::filesystem::path& path, const std::filesystem::path& candidate);

// Removes the temporary files of saves to `path` that are no longer
// running (their process died); a save that is still writing holds a lock
// on its file, which keeps it.
void removeStaleTemporaryFiles(const std::filesystem::path& path);

}  // namespace platform
