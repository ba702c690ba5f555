#include "support/Scripts.h"

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <sstream>
#include <stdexcept>

#include "platform/Files.h"
#include "platform/graphics/Backend.h"

extern char** environ;

namespace testsupport {

namespace {
ScriptRun spawn(const std::string& script, const std::vector<std::string>& environment,
                std::vector<std::string> arguments);
}  // namespace

ScriptRun runScript(const std::string& script, const std::vector<std::string>& environment) {
    return spawn(script, environment, {SCRAWLET_BINARY, "--headless", "-"});
}

ScriptRun runScriptWithFileSizeLimit(const std::string& script, std::size_t bytes) {
    // ulimit counts in blocks of 512 bytes; the ignored signal is inherited.
    std::string blocks = std::to_string((bytes + 511) / 512);
    return spawn(
        script, {},
        {"/bin/sh", "-c", "trap '' XFSZ; ulimit -f " + blocks + "; exec \"$0\" --headless -",
         SCRAWLET_BINARY});
}

namespace {
ScriptRun spawn(const std::string& script, const std::vector<std::string>& environment,
                std::vector<std::string> arguments) {
    int input[2], output[2], errors[2];
    if (::pipe2(input, O_CLOEXEC) || ::pipe2(output, O_CLOEXEC) || ::pipe2(errors, O_CLOEXEC))
        throw std::runtime_error("pipe failed");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, input[0], 0);
    posix_spawn_file_actions_adddup2(&actions, output[1], 1);
    posix_spawn_file_actions_adddup2(&actions, errors[1], 2);

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        std::string entry = *e;
        // The tests set the locale themselves.
        if (entry.rfind("LANG", 0) == 0 || entry.rfind("LC_", 0) == 0 ||
            entry.rfind("LANGUAGE", 0) == 0)
            continue;
        env.push_back(entry);
    }
    env.insert(env.end(), environment.begin(), environment.end());
    std::vector<char*> envp;
    for (auto& entry : env) envp.push_back(entry.data());
    envp.push_back(nullptr);
    std::vector<char*> argv;
    for (auto& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    const std::string& binary = arguments.front();

    pid_t pid;
    int spawned = posix_spawn(&pid, binary.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    ::close(input[0]);
    ::close(output[1]);
    ::close(errors[1]);
    if (spawned != 0) {
        ::close(input[1]);
        ::close(output[0]);
        ::close(errors[0]);
        throw std::runtime_error("cannot start " + binary);
    }

    // Feed the script and read both outputs together, so that neither pipe
    // fills up while the other is waited on.
    ScriptRun run;
    std::size_t written = 0;
    int inFd = input[1];
    pollfd fds[3] = {{output[0], POLLIN, 0}, {errors[0], POLLIN, 0}, {inFd, POLLOUT, 0}};
    int open = 3;
    while (open > 0) {
        ::poll(fds, 3, -1);
        for (int i = 0; i < 3; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            if (i == 2) {
                ssize_t n = ::write(fds[i].fd, script.data() + written, script.size() - written);
                if (n > 0) written += static_cast<std::size_t>(n);
                if (n < 0 || written == script.size()) {
                    ::close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                }
                continue;
            }
            char buffer[65536];
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n <= 0) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
                continue;
            }
            (i == 0 ? run.output : run.errors).append(buffer, static_cast<std::size_t>(n));
        }
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);

    std::istringstream lines(run.output);
    std::string line;
    while (std::getline(lines, line))
        if (!line.empty() && line.front() == '{') run.dumps.push_back(nlohmann::json::parse(line));
    return run;
}
}  // namespace

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
    run.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    while (!run.output.empty() && run.output.back() == '\n') run.output.pop_back();
    return run;
}

void writePicture(const std::filesystem::path& file, graphics::Rgba colour, int width, int height) {
    graphics::Bitmap bitmap(width, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) bitmap.setPixel(x, y, colour);
    auto png = graphics::backend().encodePng(bitmap);
    if (!png || !platform::writeFileAtomically(file, png.value()))
        throw std::runtime_error("cannot write " + file.string());
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
