// Reading and writing files, with the failures a user can cause (missing,
// unreadable, not a file at all, too large, a full disk, a read-only
// folder) returned as reasons, and never more read than the file holds.
// Every file the program writes goes through `writeFile`, which never
// replaces anything but a regular file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
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

// What a write does where the path names a character device, a pipe or a
// socket, which are never replaced by a file.
enum class SpecialFiles {
    // The bytes go to it as they would through a shell's redirection, so
    // that a picture written to /dev/null is discarded and one written to a
    // pipe reaches the program reading it.
    writeThrough,
    // Nothing is written, and the reason is returned: what the person keeps
    // (a drawing, a picture) must end up in a file.
    refuse,
};

// The steps of writing a file by replacing it, in the order they are taken.
enum class WriteStep {
    staleFilesSwept,  // the temporary files of saves that died are gone
    temporaryCreated,
    partWritten,  // about half of the bytes are in the temporary file
    allWritten,
    flushed,  // the temporary file's bytes are on the disk
    renamed,  // the path now names the new file
    folderFlushed,
};

struct WriteOptions {
    SpecialFiles specialFiles = SpecialFiles::refuse;
    // Told after each step of a replacing write; a test stops the process
    // there to see what a crash at that moment leaves behind.
    std::function<void(WriteStep)> afterStep;

    // For outputs that go where a shell's redirection would send them.
    static WriteOptions throughSpecialFiles() {
        WriteOptions options;
        options.specialFiles = SpecialFiles::writeThrough;
        return options;
    }
};

// Writes the pieces, one after the other, to what is at `path`:
// - nothing, or a regular file: the bytes go to a temporary file beside
//   it, are flushed to disk and the temporary file is renamed over it, so
//   that `path` holds either its old contents or the new ones, never a
//   part. A replaced file keeps its permissions and, where the process may
//   give it, its owner. The temporary file is removed on failure;
//   temporary files that saves which died left behind are removed first.
// - a symbolic link: the link is followed to the file it finally names
//   (a chain of links, but not a loop), and that file is replaced as
//   above, so the link stays a link and shows the new bytes.
// - a character device, a pipe or a socket: as `options.specialFiles` says.
// - a folder or a block device (a disk): refused.
Result<void> writeFile(const std::filesystem::path& path,
                       std::span<const std::span<const std::uint8_t>> pieces,
                       const WriteOptions& options = {});
Result<void> writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                       const WriteOptions& options = {});

// The file that `path` finally names once every symbolic link on the way
// has been followed (the path itself when it is no link, or names nothing).
// A chain longer than the system allows, or a loop, is an error.
Result<std::filesystem::path> followLinks(const std::filesystem::path& path);

// Whether `candidate` is the name of a temporary file that a save to
// `path` makes: "." + the file's name + ".saving-" + a unique ending, in the
// same folder.
bool isTemporaryFileFor(const std::filesystem::path& path, const std::filesystem::path& candidate);

// Removes the temporary files of saves to `path` (or to the file its links
// name) that are no longer running (their process died); a save that is
// still writing holds a lock on its file, which keeps it.
void removeStaleTemporaryFiles(const std::filesystem::path& path);

}  // namespace platform
