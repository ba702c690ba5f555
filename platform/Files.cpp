#include "platform/Files.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace platform {

namespace {
std::string describe(const std::filesystem::path& path, const char* what, int error) {
    return std::string(what) + " " + path.string() + ": " + std::strerror(error);
}

// Closes the descriptor when the scope ends.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};
}  // namespace

Result<std::vector<std::uint8_t>> readFile(const std::filesystem::path& path,
                                           std::size_t maxBytes) {
    Descriptor file{::open(path.c_str(), O_RDONLY | O_CLOEXEC)};
    if (file.fd < 0) return fail(describe(path, "cannot open", errno));
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[65536];
    for (;;) {
        ssize_t n = ::read(file.fd, chunk, sizeof chunk);
        if (n < 0) {
            if (errno == EINTR) continue;
            return fail(describe(path, "cannot read", errno));
        }
        if (n == 0) break;
        if (bytes.size() + static_cast<std::size_t>(n) > maxBytes)
            return fail(path.string() + " is larger than " + std::to_string(maxBytes) + " bytes");
        bytes.insert(bytes.end(), chunk, chunk + n);
    }
    return bytes;
}

Result<void> writeFileAtomically(const std::filesystem::path& path,
                                 std::span<const std::uint8_t> bytes) {
    std::filesystem::path temporary = path;
    temporary += ".tmp-" + std::to_string(::getpid());
    int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return fail(describe(temporary, "cannot create", errno));
    auto abandon = [&](const char* what, int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return fail(describe(temporary, what, error));
    };
    std::size_t written = 0;
    while (written < bytes.size()) {
        ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n < 0) {
            if (errno == EINTR) continue;
            return abandon("cannot write", errno);
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) return abandon("cannot flush", errno);
    if (::close(fd) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        return fail(describe(temporary, "cannot close", error));
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        int error = errno;
        ::unlink(temporary.c_str());
        return fail(describe(path, "cannot replace", error));
    }
    return {};
}

}  // namespace platform
