#include "support/Scripts.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"

namespace testsupport {

namespace {
// Runs the program through the shell on `script` (kept in a file and given
// on standard input), with `limits` set first, in a clean locale with
// `environment` added; its messages go to a file, read when it has ended.
ScriptRun runThroughTheShell(const std::string& script, const std::vector<std::string>& environment,
                             const std::string& limits) {
    auto folder = freshDirectory("script-run");
    std::ofstream(folder / "script", std::ios::binary) << script;
    std::string command = "unset LANG LANGUAGE $(env | sed -n 's/^\\(LC_[A-Z_]*\\)=.*/\\1/p'); " +
                          limits + "exec env";
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
}  // namespace

ScriptRun runScript(const std::string& script, const std::vector<std::string>& environment) {
    return runThroughTheShell(script, environment, "");
}

ScriptRun runScriptWithFileSizeLimit(const std::string& script, std::size_t bytes) {
    // ulimit counts in blocks of 512 bytes; the ignored signal is inherited.
    return runThroughTheShell(
        script, {}, "trap '' XFSZ; ulimit -f " + std::to_string((bytes + 511) / 512) + "; ");
}

namespace {
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
MadeFolders madeFolders;
}  // namespace

std::filesystem::path freshDirectory(const std::string& name) {
    auto directory = std::filesystem::temp_directory_path() /
                     ("scrawlet-test-" + std::to_string(::getpid()) + "-" + name);
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    madeFolders.add(directory);
    return directory;
}

std::filesystem::path testData(const std::string& name) {
    return std::filesystem::path(SCRAWLET_TEST_DATA) / name;
}

CommandRun runCommand(const std::string& command) {
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

void writePicture(const std::filesystem::path& file, const graphics::Bitmap& bitmap) {
    auto png = graphics::backend().encodePng(bitmap);
    if (!png || !platform::writeFileAtomically(file, png.value()))
        throw std::runtime_error("cannot write " + file.string());
}

void writePicture(const std::filesystem::path& file, graphics::Rgba colour, int width, int height) {
    graphics::Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, colour);
    writePicture(file, bitmap);
}

std::shared_ptr<graphics::Image> readPicture(const std::filesystem::path& file) {
    auto bytes = platform::readFile(file, 256u << 20);
    auto image =
        bytes ? graphics::backend().decodeImage(bytes.value(), {}) : platform::fail(bytes.error());
    if (image) return image.value();
    ADD_FAILURE() << file << ": " << image.error();
    return nullptr;
}

double secondsFor(const std::function<void()>& work) {
    auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

long peakMegabytes() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

}  // namespace testsupport
