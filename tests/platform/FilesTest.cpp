// Every write looks at what is at the path first: a file is replaced whole
// and keeps its permissions and owner, a link is followed and stays a link,
// a device or a pipe is written through or refused but never replaced, and
// a folder is refused.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <thread>

#include "platform/Files.h"
#include "support/Scripts.h"

namespace {
namespace fs = std::filesystem;

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::string contentsOf(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

const platform::WriteOptions throughSpecialFiles = platform::WriteOptions::throughSpecialFiles();

class Writing : public testing::Test {
protected:
    void SetUp() override {
        folder = testsupport::freshDirectory(
            std::string("files-") + testing::UnitTest::GetInstance()->current_test_info()->name());
        elsewhere = folder / "elsewhere";
        fs::create_directories(elsewhere);
    }
    void TearDown() override { fs::remove_all(folder); }

    // What a write left beside `path` besides what was there: no
    // temporary files.
    static int entriesIn(const fs::path& where) {
        int count = 0;
        for ([[maybe_unused]] const auto& entry : fs::directory_iterator(where)) ++count;
        return count;
    }

    fs::path folder, elsewhere;
};

TEST_F(Writing, ALinkIsFollowedToItsFileAndStaysALink) {
    auto target = elsewhere / "drawing.scn";
    std::ofstream(target) << "old";
    struct Case {
        const char* name;
        fs::path link;
        std::function<void()> make;
    };
    const Case cases[] = {
        {"a link to a file in another folder", folder / "direct.scn",
         [&] { fs::create_symlink(target, folder / "direct.scn"); }},
        {"a relative link", folder / "relative.scn",
         [&] { fs::create_symlink("elsewhere/drawing.scn", folder / "relative.scn"); }},
        {"a chain of links", folder / "chain.scn",
         [&] {
             fs::create_symlink(target, folder / "last-link");
             fs::create_symlink("last-link", folder / "middle-link");
             fs::create_symlink(folder / "middle-link", folder / "chain.scn");
         }},
    };
    for (const auto& c : cases) {
        c.make();
        std::string text = std::string("written through ") + c.name;
        auto written = platform::writeFile(c.link, bytesOf(text));
        ASSERT_TRUE(written.ok()) << c.name << ": " << written.error();
        EXPECT_TRUE(fs::is_symlink(c.link)) << c.name;
        EXPECT_EQ(contentsOf(target), text) << c.name;
        EXPECT_EQ(entriesIn(elsewhere), 1) << c.name;
    }
}

TEST_F(Writing, ALinkToNothingMakesItsFile) {
    fs::create_symlink(elsewhere / "new.scn", folder / "scrawlet.scn");
    ASSERT_TRUE(platform::writeFile(folder / "scrawlet.scn", bytesOf("new")).ok());
    EXPECT_TRUE(fs::is_symlink(folder / "scrawlet.scn"));
    EXPECT_EQ(contentsOf(elsewhere / "new.scn"), "new");
}

TEST_F(Writing, ALoopOfLinksIsRefusedAndLeftAsItWas) {
    fs::create_symlink(folder / "b", folder / "a");
    fs::create_symlink(folder / "a", folder / "b");
    auto written = platform::writeFile(folder / "a", bytesOf("lost"));
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.error().find("loop"), std::string::npos) << written.error();
    EXPECT_EQ(fs::read_symlink(folder / "a"), folder / "b");
    EXPECT_EQ(fs::read_symlink(folder / "b"), folder / "a");
    EXPECT_EQ(entriesIn(folder), 3);  // a, b and the other folder
}

TEST_F(Writing, AReplacedFileKeepsItsPermissionsAndOwner) {
    auto file = folder / "private.scn";
    for (mode_t mode : {0600, 0640, 0444}) {
        std::ofstream(file) << "old";
        ASSERT_EQ(::chmod(file.c_str(), mode), 0);
        ASSERT_TRUE(platform::writeFile(file, bytesOf("new")).ok());
        struct stat status {};
        ASSERT_EQ(::stat(file.c_str(), &status), 0);
        EXPECT_EQ(status.st_mode & 07777, mode) << std::oct << mode;
        EXPECT_EQ(contentsOf(file), "new");
        fs::remove(file);
    }
    if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another owner";
    std::ofstream(file) << "old";
    ASSERT_EQ(::chown(file.c_str(), 4321, 8765), 0);
    ASSERT_TRUE(platform::writeFile(file, bytesOf("new")).ok());
    struct stat status {};
    ASSERT_EQ(::stat(file.c_str(), &status), 0);
    EXPECT_EQ(status.st_uid, 4321u);
    EXPECT_EQ(status.st_gid, 8765u);
}

TEST_F(Writing, ADeviceIsWrittenThroughOrRefusedButNeverReplaced) {
    if (::geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    // A second name for the device that discards what is written to it.
    auto device = folder / "fakenull";
    ASSERT_EQ(::mknod(device.c_str(), S_IFCHR | 0666, makedev(1, 3)), 0) << std::strerror(errno);
    auto stillTheDevice = [&] {
        struct stat status {};
        return ::lstat(device.c_str(), &status) == 0 && S_ISCHR(status.st_mode) &&
               status.st_rdev == makedev(1, 3);
    };
    std::vector<std::uint8_t> picture(300000, 7);
    auto through = platform::writeFile(device, picture, throughSpecialFiles);
    EXPECT_TRUE(through.ok()) << through.error();
    EXPECT_TRUE(stillTheDevice());

    auto refused = platform::writeFile(device, picture);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("is a device, not a file"), std::string::npos)
        << refused.error();
    EXPECT_TRUE(stillTheDevice());
    EXPECT_EQ(entriesIn(folder), 2);
}

TEST_F(Writing, APipeIsWrittenThroughToItsReaderOrRefused) {
    auto pipe = folder / "pipe";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    auto isPipe = [&] {
        struct stat status {};
        return ::lstat(pipe.c_str(), &status) == 0 && S_ISFIFO(status.st_mode);
    };
    // More than a pipe holds, so the writer waits on the reader.
    std::string sent(1 << 20, 'x');
    for (std::size_t i = 0; i < sent.size(); i += 4096) sent[i] = static_cast<char>('a' + i % 26);
    platform::Result<void> written;
    auto received = testsupport::readThroughPipe(
        pipe, [&] { written = platform::writeFile(pipe, bytesOf(sent), throughSpecialFiles); });
    EXPECT_TRUE(written.ok()) << written.error();
    EXPECT_TRUE(received == sent) << received.size() << " of " << sent.size() << " bytes arrived";
    EXPECT_TRUE(isPipe());

    // A reader that goes away is a failed write, not the end of the program.
    platform::Result<void> broken;
    testsupport::readThroughPipe(
        pipe, [&] { broken = platform::writeFile(pipe, bytesOf(sent), throughSpecialFiles); },
        true);
    ASSERT_FALSE(broken.ok());
    EXPECT_NE(broken.error().find("cannot write"), std::string::npos) << broken.error();
    EXPECT_TRUE(isPipe());

    // Refused without waiting for a reader.
    auto refused = platform::writeFile(pipe, bytesOf(sent));
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("is a pipe, not a file"), std::string::npos) << refused.error();
    EXPECT_TRUE(isPipe());
}

TEST_F(Writing, ASocketAFolderAndADiskAreNeverWritten) {
    auto socketPath = folder / "socket";
    int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    for (const auto& options : {platform::WriteOptions{}, throughSpecialFiles}) {
        auto written = platform::writeFile(socketPath, bytesOf("picture"), options);
        ASSERT_FALSE(written.ok());
        EXPECT_NE(written.error().find("socket"), std::string::npos) << written.error();
        EXPECT_TRUE(fs::is_socket(socketPath));
    }
    ::close(listener);

    for (const auto& options : {platform::WriteOptions{}, throughSpecialFiles}) {
        auto written = platform::writeFile(elsewhere, bytesOf("picture"), options);
        ASSERT_FALSE(written.ok());
        EXPECT_NE(written.error().find("is a folder, not a file"), std::string::npos)
            << written.error();
        EXPECT_TRUE(fs::is_directory(elsewhere));
    }

    if (::geteuid() != 0) GTEST_SKIP() << "making a device node needs root";
    // A block device node for a loop device; nothing is ever written to it.
    auto disk = folder / "disk";
    ASSERT_EQ(::mknod(disk.c_str(), S_IFBLK | 0600, makedev(7, 200)), 0) << std::strerror(errno);
    auto written = platform::writeFile(disk, bytesOf("picture"), throughSpecialFiles);
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.error().find("is a disk, not a file"), std::string::npos) << written.error();
    EXPECT_TRUE(fs::is_block_file(disk));
}

}  // namespace
