// Saving a drawing over an earlier one: the earlier file survives every
// failure (a full disk, a read-only folder, a save killed at any moment)
// byte for byte, and no temporary file outlives the save that made it.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <random>
#include <thread>

#include "SceneFiles.h"
#include "platform/Files.h"
#include "platform/scene/gltf/SceneEncoder.h"
#include "support/Scripts.h"

namespace {
using scenefiles::firstDifference;
using scenefiles::patternImage;
using scenefiles::readBytes;
using scenefiles::sprite;
using scenefiles::temporaryFilesBeside;

std::shared_ptr<scene::Scene> drawingOf(int sprites, int seed) {
    auto scene = std::make_shared<scene::Scene>();
    for (int i = 0; i < sprites; ++i) {
        auto node = sprite(patternImage(32, 32, seed + i % 7));
        node->setPosition({i * 0.01f, static_cast<float>(seed), -1});
        scene->rootNode()->addChildNode(node);
    }
    return scene;
}

class Saving : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        folder = testsupport::freshDirectory(std::string("saving-") + info->name());
        file = folder / "scrawlet.scn";
        ASSERT_TRUE(earlier->writeToUrl(file).ok());
        earlierBytes = readBytes(file);
    }
    void TearDown() override { std::filesystem::remove_all(folder); }

    // The earlier drawing is still there, whole, and nothing beside it.
    void expectEarlierFileIntact() {
        EXPECT_EQ(readBytes(file), earlierBytes);
        auto read = scene::Scene::sceneWithUrl(file);
        ASSERT_TRUE(read.ok()) << read.error();
        EXPECT_EQ(firstDifference(*earlier->rootNode(), *read.value()->rootNode()), "");
        EXPECT_EQ(temporaryFilesBeside(file), 0);
    }

    std::filesystem::path folder, file;
    std::shared_ptr<scene::Scene> earlier = drawingOf(3, 1);
    std::shared_ptr<scene::Scene> larger = drawingOf(400, 2);
    std::vector<std::uint8_t> earlierBytes;
};

TEST_F(Saving, AFailedSaveLeavesTheEarlierFile) {
    struct Case {
        const char* name;
        std::function<platform::Result<void>()> save;
        const char* reason;
    };
    const Case cases[] = {
        {"a drawing the file cannot hold",
         [&] {
             auto broken = drawingOf(2, 3);
             broken->rootNode()->childNodes()[0]->setPosition({NAN, 0, 0});
             return broken->writeToUrl(file);
         },
         "not a number"},
        {"a full disk",
         [&] {
             // A file-size limit makes writing fail part-way, as a full
             // disk does, whoever runs the test.
             auto handler = std::signal(SIGXFSZ, SIG_IGN);
             rlimit saved{};
             ::getrlimit(RLIMIT_FSIZE, &saved);
             rlimit small = saved;
             small.rlim_cur = static_cast<rlim_t>(earlierBytes.size());
             ::setrlimit(RLIMIT_FSIZE, &small);
             auto written = larger->writeToUrl(file);
             ::setrlimit(RLIMIT_FSIZE, &saved);
             std::signal(SIGXFSZ, handler);
             return written;
         },
         "cannot write"},
        {"a folder that is a file",
         [&] {
             scenefiles::writeBytes(folder / "plain-file", {1, 2, 3});
             return larger->writeToUrl(folder / "plain-file" / "scrawlet.scn");
         },
         "Not a directory"},
    };
    for (const auto& c : cases) {
        auto written = c.save();
        ASSERT_FALSE(written.ok()) << c.name;
        EXPECT_NE(written.error().find(c.reason), std::string::npos)
            << c.name << ": " << written.error();
        expectEarlierFileIntact();
    }
}

TEST_F(Saving, StaleTemporaryFilesGoButOneASaveIsWritingStays) {
    auto stale = folder / ".scrawlet.scn.saving-1-0";
    auto live = folder / ".scrawlet.scn.saving-2-0";
    auto other = folder / ".notes.saving-1-0";
    for (const auto& path : {stale, live, other}) scenefiles::writeBytes(path, {1, 2, 3});
    ASSERT_TRUE(platform::isTemporaryFileFor(file, stale));
    ASSERT_FALSE(platform::isTemporaryFileFor(file, other));
    // A save that is still writing holds a lock on its file.
    int writing = ::open(live.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(writing, 0);
    ASSERT_EQ(::flock(writing, LOCK_EX), 0);

    ASSERT_TRUE(larger->writeToUrl(file).ok());
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(live));
    EXPECT_TRUE(std::filesystem::exists(other));
    ::close(writing);
    // A load clears up too.
    ASSERT_TRUE(scene::Scene::sceneWithUrl(file).ok());
    EXPECT_FALSE(std::filesystem::exists(live));
}

// A save stopped dead after each of its steps (as a crash or a pulled
// plug would stop it): the file is the earlier drawing whole until the new
// one is renamed into place and the new one whole from then on; at most one
// temporary file is left, and the next save or load removes it.
TEST_F(Saving, ASaveKilledAfterAnyStepLeavesTheOldOrNewFileAndOneTemporaryAtMost) {
    using platform::WriteStep;
    auto encoded = scene::gltf::encodeScene(*larger);
    ASSERT_TRUE(encoded.ok()) << encoded.error();
    ASSERT_TRUE(larger->writeToUrl(file).ok());
    auto largerBytes = readBytes(file);
    ASSERT_EQ(largerBytes.size(), [&] {
        std::size_t total = 0;
        for (auto piece : encoded.value().pieces()) total += piece.size();
        return total;
    }());
    const WriteStep steps[] = {WriteStep::staleFilesSwept, WriteStep::temporaryCreated,
                               WriteStep::partWritten,     WriteStep::allWritten,
                               WriteStep::flushed,         WriteStep::renamed,
                               WriteStep::folderFlushed};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        auto stop = steps[i];
        ASSERT_TRUE(earlier->writeToUrl(file).ok());
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The drawing is saved as the program saves it, and the process
            // dies right after the step.
            platform::WriteOptions options;
            options.afterStep = [stop](WriteStep done) {
                if (done == stop) ::raise(SIGKILL);
            };
            auto written = platform::writeFile(file, encoded.value().pieces(), options);
            ::_exit(written.ok() ? 0 : 1);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << "step " << i;

        bool renamed = stop >= WriteStep::renamed;
        EXPECT_TRUE(readBytes(file) == (renamed ? largerBytes : earlierBytes)) << "step " << i;
        bool temporaryLeft = stop >= WriteStep::temporaryCreated && stop < WriteStep::renamed;
        EXPECT_EQ(temporaryFilesBeside(file), temporaryLeft ? 1 : 0) << "step " << i;
        // Every other time a load clears up, and a save the others.
        if (i % 2 == 0) {
            auto read = scene::Scene::sceneWithUrl(file);
            ASSERT_TRUE(read.ok()) << "step " << i << ": " << read.error();
            EXPECT_EQ(read.value()->rootNode()->childNodes().size(), renamed ? 400u : 3u);
        } else {
            ASSERT_TRUE(earlier->writeToUrl(file).ok());
        }
        EXPECT_EQ(temporaryFilesBeside(file), 0) << "step " << i;
    }
}

// Saves killed at random moments, as an extra to the steps above: the file
// always loads (the old drawing or the new one, whole), and at most one
// temporary file is ever left. How many kills landed mid-save depends on
// the machine's load, so it is reported, not required.
TEST_F(Saving, ASaveKilledAtARandomMomentLeavesALoadableFileAndOneTemporaryAtMost) {
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(larger->writeToUrl(file).ok());
    auto largerBytes = readBytes(file);
    auto saveTime = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(earlier->writeToUrl(file).ok());

    std::mt19937 random(5);
    int killedMidway = 0;
    const int trials = 30;
    for (int trial = 0; trial < trials; ++trial) {
        const auto& next = trial % 2 == 0 ? larger : earlier;
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            auto written = next->writeToUrl(file);
            ::_exit(written.ok() ? 0 : 1);
        }
        std::uniform_int_distribution<long> moment(
            0, std::chrono::duration_cast<std::chrono::microseconds>(saveTime).count() * 2);
        std::this_thread::sleep_for(std::chrono::microseconds(moment(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        killedMidway += WIFSIGNALED(status) ? 1 : 0;

        auto bytes = readBytes(file);
        EXPECT_TRUE(bytes == earlierBytes || bytes == largerBytes) << "trial " << trial;
        EXPECT_TRUE(scene::Scene::sceneWithUrl(file).ok()) << "trial " << trial;
        EXPECT_LE(temporaryFilesBeside(file), 1) << "trial " << trial;
    }
    RecordProperty("killedMidway", killedMidway);
    std::printf("%d of %d saves were killed before they ended\n", killedMidway, trials);
    ASSERT_TRUE(earlier->writeToUrl(file).ok());
    EXPECT_EQ(temporaryFilesBeside(file), 0);
}

// The program on a documents folder that is a small in-memory disk, in a
// mount namespace of its own: a save that does not fit, and one into the
// folder made read-only (which root cannot write either), say the save
// failed and leave the earlier file byte for byte.
TEST_F(Saving, AFullOrReadOnlyDiskSaysSoAndKeepsTheEarlierFile) {
    if (::geteuid() != 0 || std::system("unshare -m true 2>/dev/null") != 0)
        GTEST_SKIP() << "needs root and unshare to mount a small disk";
    auto scriptFile = [&](const std::string& name, int strokes) {
        std::ofstream out(folder / name);
        out << "documents " << (folder / "documents").string() << "\nseed 3\nlaunch\nframe\n";
        for (int i = 0; i < strokes; ++i) out << "down " << 20 + 3 * i << " 300\nup\n";
        out << "down 30 820\nup\nchoose \"Save Scrawlet\"\ndump\n";
    };
    scriptFile("small.scr", 2);
    scriptFile("large.scr", 100);
    for (const char* kind : {"full", "read-only"}) {
        std::string remount = std::string(kind) == "full" ? "" : "mount -o remount,ro \"$d\" && ";
        std::string f = folder.string();
        std::string command =
            "unshare -m --propagation private sh -c 'd=\"" + f +
            "/documents\"; mkdir -p \"$d\" && mount -t tmpfs -o size=24k tmpfs \"$d\" && " +
            SCRAWLET_BINARY + " --headless " + f +
            "/small.scr > /dev/null && cp \"$d/scrawlet.scn\" " + f + "/before.scn && " + remount +
            SCRAWLET_BINARY + " --headless " + f + "/large.scr > " + f +
            "/large.out 2>/dev/null; cp \"$d/scrawlet.scn\" " + f + "/after.scn; ls -A \"$d\" > " +
            f + "/listing'";
        ASSERT_EQ(std::system(command.c_str()), 0) << kind;
        std::ifstream out(folder / "large.out");
        std::string line, last;
        while (std::getline(out, line))
            if (!line.empty() && line.front() == '{') last = line;
        ASSERT_FALSE(last.empty()) << kind;
        auto dump = nlohmann::json::parse(last);
        EXPECT_EQ(dump["hud"]["nodes"][0]["text"], dump["texts"]["saveFailedText"]) << kind;
        EXPECT_EQ(readBytes(folder / "after.scn"), readBytes(folder / "before.scn")) << kind;
        std::ifstream listing(folder / "listing");
        std::string entries((std::istreambuf_iterator<char>(listing)), {});
        EXPECT_EQ(entries, "scrawlet.scn\n") << kind;
    }
}

}  // namespace
