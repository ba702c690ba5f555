// Runs the real program on a headless script (or one kept under
// tests/scripts/) and reads what it printed: the exit status, the dumps (one
// JSON object a line) and the messages; and what else tests of whole
// programs and files share: folders, commands, pictures, costs.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <nlohmann/json.hpp>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "tests/support/PeakMemory.h"

namespace testsupport {

// The folders a test program made, removed when it ends, so that a test
// run leaves nothing behind in the temporary folder.
class MadeFolders {
public:
    ~MadeFolders() {
        std::error_code ignored;
        for (const auto& folder : folders_) std::filesystem::remove_all(folder, ignored);
    }
    void add(const std::filesystem::path& folder) { folders_.push_back(folder); }

private:
    std::vector<std::filesystem::path> folders_;
};
inline MadeFolders madeFolders;

// A fresh, empty folder under the temporary folder, removed with everything
// in it when the test program ends.
inline std::filesystem::path freshDirectory(const std::string& name) {
    auto directory = std::filesystem::temp_directory_path() /
                     ("scrawlet-test-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    madeFolders.add(directory);
    return directory;
}

inline std::filesystem::path testData(const std::string& name) {
    return std::filesystem::path(SCRAWLET_TEST_DATA) / name;
}

// A shell command's exit status and its standard output, less the line
// breaks at its end.
struct CommandRun {
    int exitStatus = -1;
    std::string output;
};
inline CommandRun runCommand(const std::string& command) {
    CommandRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return run;
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        run.output.append(buffer, n);
    int status = ::pclose(pipe);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    while (!run.output.empty() && run.output.back() == '\n') run.output.pop_back();
    return run;
}

// Runs the program with `arguments` and no display: the exit status and
// what it wrote to standard error.
inline CommandRun runWithoutDisplay(const std::string& arguments) {
    return runCommand("env -u DISPLAY -u WAYLAND_DISPLAY " + std::string(SCRAWLET_BINARY) + " " +
                      arguments + " 2>&1 >/dev/null");
}

struct ScriptRun {
    int exitStatus = -1;
    std::vector<nlohmann::json> dumps;
    std::string output;
    std::string errors;
};

// Runs `scrawlet --headless -` through the shell with `script` (kept in a
// file) on standard input, in a clean locale with `environment` (NAME=VALUE
// pairs) added; its messages go to a file, read when it has ended.
inline ScriptRun runScript(const std::string& script,
                           const std::vector<std::string>& environment = {}) {
    auto folder = freshDirectory("script-run");
    std::ofstream(folder / "script", std::ios::binary) << script;
    std::string command =
        "unset LANG LANGUAGE $(env | sed -n 's/^\\(LC_[A-Z_]*\\)=.*/\\1/p'); exec env";
    for (const auto& entry : environment) command += " '" + entry + "'";
    command += std::string(" ") + SCRAWLET_BINARY + " --headless - < " +
               (folder / "script").string() + " 2> " + (folder / "errors").string();
    auto done = runCommand(command);
    ScriptRun run{done.exitStatus, {}, done.output, {}};
    std::ifstream errors(folder / "errors", std::ios::binary);
    run.errors.assign(std::istreambuf_iterator<char>(errors), {});
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);)
        if (!line.empty() && line.front() == '{') run.dumps.push_back(nlohmann::json::parse(line));
    return run;
}

inline std::string scriptText(const std::string& name) {
    std::ifstream in(std::filesystem::path(SCRAWLET_SOURCE_DIR) / "tests" / "scripts" / name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the kept script `name`.
inline ScriptRun runScriptFile(const std::string& name) { return runScript(scriptText(name)); }

// The nodes under the scene's root in a dump.
inline const nlohmann::json& children(const nlohmann::json& dump) {
    return dump["scene"]["rootNode"]["children"];
}

// Where `actual` lacks or differs from a value that `expected` gives, as
// JSON pointers and what is there; objects in `actual` may hold more keys.
inline std::string mismatches(const nlohmann::json& actual, const nlohmann::json& expected,
                              const std::string& at = "") {
    if (!expected.is_object() || !actual.is_object())
        return actual == expected ? "" : at + " is " + actual.dump() + "; ";
    std::string found;
    for (const auto& [key, value] : expected.items())
        found += actual.contains(key) ? mismatches(actual[key], value, at + "/" + key)
                                      : at + "/" + key + " is missing; ";
    return found;
}

// Writes `bitmap` as a PNG picture, or one of `width` × `height` pixels of
// `colour`.
inline void writePicture(const std::filesystem::path& file, const graphics::Bitmap& bitmap) {
    auto png = graphics::backend().encodePng(bitmap);
    if (!png || !platform::writeFile(file, png.value()))
        throw std::runtime_error("cannot write " + file.string());
}
inline void writePicture(const std::filesystem::path& file, graphics::Rgba colour = {},
                         int width = 2, int height = 2) {
    graphics::Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, colour);
    writePicture(file, bitmap);
}

// A picture file decoded as the program decodes photos, but at its full
// size (a phone's screen is taller than a kept photo); none (and a failure)
// when it cannot be.
inline std::shared_ptr<graphics::Image> readPicture(const std::filesystem::path& file) {
    auto bytes = platform::readFile(file, 256u << 20);
    graphics::DecodeLimits fullSize;
    fullSize.maxSide = fullSize.maxStoredSide;
    auto image = bytes ? graphics::backend().decodeImage(bytes.value(), fullSize)
                       : platform::fail(bytes.error());
    if (image) return image.value();
    ADD_FAILURE() << file << ": " << image.error();
    return nullptr;
}

// What arrives through the pipe at `pipe` while `write` runs. The reading
// end is opened first, so the writer never waits for a reader; it is read
// on a thread of its own until the writer closes the pipe, or (with
// `leaveEarly`) closed as soon as the first bytes arrive. A writer that
// never comes (it wrote somewhere else) is given up on after a minute, so
// such a fault fails the test instead of hanging it.
inline std::string readThroughPipe(const std::filesystem::path& pipe,
                                   const std::function<void()>& write, bool leaveEarly = false) {
    int fd = ::open(pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) throw std::runtime_error("cannot open " + pipe.string());
    std::string received;
    std::thread reader([&] {
        for (;;) {
            pollfd waiting{fd, POLLIN, 0};
            if (::poll(&waiting, 1, 60'000) <= 0) break;
            char buffer[65536];
            ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0) received.append(buffer, static_cast<std::size_t>(n));
            if (n == 0 || (n > 0 && leaveEarly) || (n < 0 && errno != EAGAIN)) break;
        }
        ::close(fd);
    });
    write();
    reader.join();
    return received;
}

// The peak memory of this process so far, for the bounds that tests of
// hostile input keep.
inline long peakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace testsupport
