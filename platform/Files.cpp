#include "platform/Files.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
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

std::filesystem::path folderOf(const std::filesystem::path& path) {
    return path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
}

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
void removeStaleTemporaryFiles(const std::filesystem::path& named) {
    // Saves through a link make their temporary files beside its target.
    auto followed = followLinks(named);
    if (!followed) return;
    const auto& path = followed.value();
    std::error_code error;
    std::filesystem::directory_iterator entries(folderOf(path), error);
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
Result<int> createTemporaryFile(const std::filesystem::path& path, std::filesystem::path& temporary,
                                mode_t mode) {
    static std::atomic<unsigned> counter{0};
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary = path.parent_path() / (temporaryPrefix(path) + std::to_string(::getpid()) + "-" +
                                          std::to_string(counter++));
        int fd =
            ::open(temporary.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, mode);
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

namespace {
std::uint64_t totalSize(std::span<const std::span<const std::uint8_t>> pieces) {
    std::uint64_t total = 0;
    for (auto piece : pieces) total += piece.size();
    return total;
}

// Writes the bytes of `pieces` from `from` up to `to` (counted over all the
// pieces) to `fd`; returns the error number of a failed write, or 0.
int writeRange(int fd, std::span<const std::span<const std::uint8_t>> pieces, std::uint64_t from,
               std::uint64_t to) {
    std::uint64_t start = 0;
    for (auto piece : pieces) {
        std::uint64_t end = start + piece.size();
        std::uint64_t first = std::max(start, from), last = std::min(end, to);
        while (first < last) {
            ssize_t n = ::write(fd, piece.data() + (first - start), last - first);
            if (n < 0) {
                if (errno == EINTR) continue;
                return errno;
            }
            first += static_cast<std::uint64_t>(n);
        }
        start = end;
    }
    return 0;
}

// While it lives, a pipe whose reader has gone makes writes fail with EPIPE
// in this thread instead of ending the process with SIGPIPE.
class PipeSignalHeld {
public:
    PipeSignalHeld() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigpending(&pending);
        alreadyPending_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    PipeSignalHeld(const PipeSignalHeld&) = delete;
    PipeSignalHeld& operator=(const PipeSignalHeld&) = delete;
    ~PipeSignalHeld() {
        // A SIGPIPE that the writes raised is taken, so that it does not
        // arrive once the signal is let through again.
        if (!alreadyPending_) {
            timespec none{};
            while (sigtimedwait(&pipe_, nullptr, &none) == SIGPIPE) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }

private:
    sigset_t pipe_{}, previous_{};
    bool alreadyPending_ = false;
};

// The bytes go to the device, pipe or socket at `path` as a shell's
// redirection would send them.
Result<void> writeThrough(const std::filesystem::path& path,
                          std::span<const std::span<const std::uint8_t>> pieces) {
    PipeSignalHeld pipeSignal;
    // Like a shell, this waits for a pipe's reader to open it.
    Descriptor file{::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY)};
    if (file.fd < 0) {
        if (errno == ENXIO)
            return fail(path.string() +
                        " is a socket or a device that is not there; nothing was written to it");
        return fail(describe(path, "cannot open", errno));
    }
    if (int error = writeRange(file.fd, pieces, 0, totalSize(pieces)); error != 0)
        return fail(describe(path, "cannot write", error));
    if (::close(file.fd) != 0) {
        file.fd = -1;
        return fail(describe(path, "cannot write", errno));
    }
    file.fd = -1;
    return {};
}

// Replaces the regular file at `path` (or makes it), with `existing` its
// status if there is one: the bytes go to a temporary file beside it,
// which is flushed and renamed over it.
Result<void> replaceFile(const std::filesystem::path& path,
                         std::span<const std::span<const std::uint8_t>> pieces,
                         const struct stat* existing, const WriteOptions& options) {
    auto step = [&](WriteStep done) {
        if (options.afterStep) options.afterStep(done);
    };
    removeStaleTemporaryFiles(path);
    step(WriteStep::staleFilesSwept);
    std::filesystem::path temporary;
    // A file that replaces one is private until it has its owner and
    // permissions, so that what a private file holds is never readable by
    // others on the way.
    auto created = createTemporaryFile(path, temporary, existing ? 0600 : 0644);
    if (!created) return Error{created.error()};
    Descriptor file{created.value()};
    step(WriteStep::temporaryCreated);
    auto abandon = [&](const char* what, int error) {
        ::unlink(temporary.c_str());
        return fail(describe(temporary, what, error));
    };
    std::uint64_t total = totalSize(pieces);
    if (int error = writeRange(file.fd, pieces, 0, total / 2); error != 0)
        return abandon("cannot write", error);
    step(WriteStep::partWritten);
    if (int error = writeRange(file.fd, pieces, total / 2, total); error != 0)
        return abandon("cannot write", error);
    step(WriteStep::allWritten);
    if (existing != nullptr) {
        // The owner first: giving a file away clears its set-user and
        // set-group bits. Only root may give it away; others keep theirs.
        if (existing->st_uid != ::geteuid() || existing->st_gid != ::getegid())
            (void)::fchown(file.fd, existing->st_uid, existing->st_gid);
        if (::fchmod(file.fd, existing->st_mode & 07777) != 0)
            return abandon("cannot give the permissions of the file it replaces to", errno);
    }
    if (::fsync(file.fd) != 0) return abandon("cannot flush", errno);
    step(WriteStep::flushed);
    // Renamed while still locked, so no cleaner can take it for a dead
    // save's file in between.
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        return fail(describe(path, "cannot replace", error));
    }
    step(WriteStep::renamed);
    if (::close(file.fd) != 0) {
        file.fd = -1;
        return fail(describe(path, "cannot close", errno));
    }
    file.fd = -1;
    // The new name reaches the disk with its folder; a folder that cannot
    // be flushed (some file systems refuse) still holds the whole new file.
    if (Descriptor directory{::open(folderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)};
        directory.fd >= 0)
        ::fsync(directory.fd);
    step(WriteStep::folderFlushed);
    return {};
}

// What the thing at a path is, in the words of a refusal.
const char* kindOf(mode_t mode) {
    if (S_ISCHR(mode)) return "a device";
    if (S_ISFIFO(mode)) return "a pipe";
    if (S_ISSOCK(mode)) return "a socket";
    if (S_ISBLK(mode)) return "a disk";
    if (S_ISDIR(mode)) return "a folder";
    return "not a regular file";
}
}  // namespace

Result<std::filesystem::path> followLinks(const std::filesystem::path& path) {
    // As many links as the system itself follows in one path.
    constexpr int maxLinks = 40;
    std::filesystem::path current = path;
    for (int hops = 0; hops <= maxLinks; ++hops) {
        struct stat status {};
        if (::lstat(current.c_str(), &status) != 0 || !S_ISLNK(status.st_mode)) return current;
        std::string target(static_cast<std::size_t>(PATH_MAX), '\0');
        ssize_t length = ::readlink(current.c_str(), target.data(), target.size());
        if (length < 0) return fail(describe(current, "cannot read the link", errno));
        target.resize(static_cast<std::size_t>(length));
        std::filesystem::path next(target);
        current = next.is_absolute() ? next : current.parent_path() / next;
    }
    return fail(path.string() + " is a link that leads to more links than " +
                std::to_string(maxLinks) + ", or round in a loop");
}

Result<void> writeFile(const std::filesystem::path& path,
                       std::span<const std::span<const std::uint8_t>> pieces,
                       const WriteOptions& options) {
    TRY_LET(target, followLinks(path));
    struct stat status {};
    // Where nothing can be looked up (nothing there, or a folder on the way
    // missing), making the file says what is wrong.
    if (::lstat(target.c_str(), &status) != 0) return replaceFile(target, pieces, nullptr, options);
    if (S_ISREG(status.st_mode)) return replaceFile(target, pieces, &status, options);
    bool special = S_ISCHR(status.st_mode) || S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode);
    if (special && options.specialFiles == SpecialFiles::writeThrough) {
        if (S_ISSOCK(status.st_mode))
            return fail(target.string() + " is a socket, which cannot be written to as a file");
        return writeThrough(target, pieces);
    }
    return fail(target.string() + " is " + kindOf(status.st_mode) +
                ", not a file; nothing was written there");
}

Result<void> writeFile(const std::filesystem::path& path, std::span<const std::uint8_t> bytes,
                       const WriteOptions& options) {
    std::span<const std::uint8_t> pieces[] = {bytes};
    return writeFile(path, pieces, options);
}

}  // namespace platform
