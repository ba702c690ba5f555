#include "platform/Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>
#include <system_error>

namespace platform {

namespace {
std::string describe(const std::filesystem::path& path, const char* what, int error) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(error);
}

// Closes the descriptor when the scope ends.
struct Descriptor {
    int fd;
    explicit Descriptor(int fd) : fd(fd) {}
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

std::string temporaryPrefix(const std::filesystem::path& path) {
    return "." + path.filename().string() + ".saving-";
}
}  // namespace

// --- Reading --------------------------------------------------------------

ReadableFile::ReadableFile(int fd, std::uint64_t size, std::filesystem::path path)
    : fd_(fd), size_(size), path_(std::move(path)) {}

ReadableFile::ReadableFile(ReadableFile&& other) noexcept
    : fd_(other.fd_), size_(other.size_), path_(std::move(other.path_)) {
    other.fd_ = -1;
}

ReadableFile& ReadableFile::operator=(ReadableFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = other.fd_;
        size_ = other.size_;
        path_ = std::move(other.path_);
        other.fd_ = -1;
    }
    return *this;
}

ReadableFile::~ReadableFile() {
    if (fd_ >= 0) ::close(fd_);
}

Result<ReadableFile> ReadableFile::open(const std::filesystem::path& path, std::uint64_t maxBytes) {
    // Without O_NONBLOCK, opening a pipe would wait for a writer forever.
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.fd < 0) return fail(describe(path, "cannot open", errno));
    struct stat status {};
    if (::fstat(file.fd, &status) != 0) return fail(describe(path, "cannot read", errno));
    if (S_ISDIR(status.st_mode)) return fail(path.string() + " is a folder, not a file");
    if (!S_ISREG(status.st_mode))
        return fail(path.string() + " is a device or pipe, not a file that can be opened");
    auto size = static_cast<std::uint64_t>(status.st_size);
    if (size > maxBytes)
        return fail(path.string() + " has " + std::to_string(size) + " bytes, more than the " +
                    std::to_string(maxBytes) + " it may have");
    int fd = file.fd;
    file.fd = -1;
    return ReadableFile(fd, size, path);
}

Result<void> ReadableFile::readAt(std::uint64_t offset, std::span<std::uint8_t> into) const {
    std::size_t done = 0;
    while (done < into.size()) {
        ssize_t n =
            ::pread(fd_, into.data() + done, into.size() - done, static_cast<off_t>(offset + done));
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(describe(path_, "cannot read", errno));
        }
        if (n == 0) return fail(path_.string() + " became shorter while it was being read");
        done += static_cast<std::size_t>(n);
    }
    return {};
}

Result<std::vector<std::uint8_t>> readFile(const std::filesystem::path& path,
                                           std::uint64_t maxBytes) {
    auto file = ReadableFile::open(path, maxBytes);
    if (!file) return Error{file.error()};
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(file.value().size()));
    if (auto read = file.value().readAt(0, bytes); !read) return Error{read.error()};
    return bytes;
}

// --- Writing --------------------------------------------------------------

bool isTemporaryFileFor(const std::filesystem::path& path, const std::filesystem::path& candidate) {
    std::string name = candidate.filename().string();
    std::string prefix = temporaryPrefix(path);
    return candidate.parent_path() == path.parent_path() && name.size() > prefix.size() &&
           name.compare(0, prefix.size(), prefix) == 0;
}

// A save keeps an exclusive lock on its temporary file from creating it
// until it is renamed or removed; the kernel drops the lock when the save's
// process dies. So a temporary file whose lock can be taken belongs to a
// save that is no longer running.
void removeStaleTemporaryFiles(const std::filesystem::path& path) {
    std::error_code error;
    auto folder = path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
    std::filesystem::directory_iterator entries(folder, error);
    if (error) return;
    for (const auto& entry : entries) {
        if (!isTemporaryFileFor(path, path.parent_path() / entry.path().filename())) continue;
        Descriptor file{
            ::open(entry.path().c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW)};
        if (file.fd < 0) continue;
        if (::flock(file.fd, LOCK_EX | LOCK_NB) != 0) continue;  // a save is writing it
        // Only the file that was locked is removed, not one that took its
        // name meanwhile.
        struct stat locked {
        }, named{};
        if (::fstat(file.fd, &locked) == 0 && ::lstat(entry.path().c_str(), &named) == 0 &&
            locked.st_dev == named.st_dev && locked.st_ino == named.st_ino)
            ::unlink(entry.path().c_str());
    }
}

namespace {
// Creates and locks a new temporary file for a save to `path`. A cleaner
// that locked the new file in the moment before its lock was taken removes
// it; then a fresh one is made.
Result<int> createTemporaryFile(const std::filesystem::path& path,
                                std::filesystem::path& temporary) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path.parent_path() / (temporaryPrefix(path) + std::to_string(::getpid()) + "-" +
                                          std::to_string(counter++));
        int fd =
            ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0644);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            return fail(describe(temporary, "cannot create", errno));
        }
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            int error = errno;
            ::close(fd);
            if (error == EWOULDBLOCK) continue;  // a cleaner has it and removes it
            // Where the file system has no locks, saves cannot be told
            // apart from dead ones; the file is still written safely.
            fd = ::open(temporary.c_str(), O_RDWR | O_CLOEXEC | O_NOFOLLOW);
            if (fd < 0) return fail(describe(temporary, "cannot open", errno));
            return fd;
        }
        struct stat status {};
        if (::fstat(fd, &status) == 0 && status.st_nlink == 0) {
            ::close(fd);  // removed by a cleaner before the lock was taken
            continue;
        }
        return fd;
    }
    return fail("cannot create a temporary file beside " + path.string());
}
}  // namespace

Result<void> writeFileAtomically(const std::filesystem::path& path,
                                 std::span<const std::span<const std::uint8_t>> pieces) {
    removeStaleTemporaryFiles(path);
    std::filesystem::path temporary;
    auto created = createTemporaryFile(path, temporary);
    if (!created) return Error{created.error()};
    Descriptor file{created.value()};
    auto abandon = [&](const char* what, int error) {
        ::unlink(temporary.c_str());
        return fail(describe(temporary, what, error));
    };
    for (auto piece : pieces) {
        std::size_t written = 0;
        while (written < piece.size()) {
            ssize_t n = ::write(file.fd, piece.data() + written, piece.size() - written);
            if (n < 0) {
                if (errno == EINTR) continue;
                return abandon("cannot write", errno);
            }
            written += static_cast<std::size_t>(n);
        }
    }
    if (::fsync(file.fd) != 0) return abandon("cannot flush", errno);
    // Renamed while still locked, so no cleaner can take it for a dead
    // save's file in between.
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        return fail(describe(path, "cannot replace", error));
    }
    if (::close(file.fd) != 0) {
        file.fd = -1;
        return fail(describe(path, "cannot close", errno));
    }
    file.fd = -1;
    // The new name reaches the disk with its folder; a folder that cannot
    // be flushed (some file systems refuse) still holds the whole new file.
    std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    if (Descriptor directory{::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
        directory.fd >= 0)
        ::fsync(directory.fd);
    return {};
}

Result<void> writeFileAtomically(const std::filesystem::path& path,
                                 std::span<const std::uint8_t> bytes) {
    std::span<const std::uint8_t> pieces[] = {bytes};
    return writeFileAtomically(path, pieces);
}

}  // namespace platform
