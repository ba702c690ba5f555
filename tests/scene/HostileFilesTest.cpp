// Scene files we did not write: a small drawing made by hand is read;
// broken, truncated, hostile and foreign files are refused with a reason,
// never a crash (the tests also run under the sanitizers), and every
// refusal is cheap: its cost follows what the file holds, never what it
// claims. The time bounds here are generous; bench_SaveLoad and the notes
// of the change that made them give the real figures.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <numbers>

#include "SceneFiles.h"
#include "platform/scene/gltf/JsonReader.h"
#include "platform/scene/gltf/SceneDecoder.h"
#include "support/Scripts.h"

namespace {
using scenefiles::readBytes;

std::vector<std::uint8_t> sceneData(const std::string& name) {
    return readBytes(testsupport::testData("scenes/" + name));
}

const scene::Plane& planeOf(const scene::Node& node) {
    const auto* plane = dynamic_cast<const scene::Plane*>(node.geometry().get());
    if (plane == nullptr) throw std::runtime_error("no plane");
    return *plane;
}

// --- A file made by hand --------------------------------------------------

TEST(HostileFiles, AHandMadeDrawingOfTheFirstLayoutIsRead) {
    auto read = scene::gltf::decodeScene(sceneData("minimal.glb"));
    ASSERT_TRUE(read.ok()) << read.error();
    const auto& root = *read.value()->rootNode();
    ASSERT_EQ(root.childNodes().size(), 2u);
    const auto& container = *root.childNodes()[0];
    EXPECT_EQ(container.position(), (scene::Vector3{0, 1, 0}));
    EXPECT_EQ(container.opacity(), 0.5f);
    EXPECT_EQ(container.geometry(), nullptr);
    ASSERT_EQ(container.childNodes().size(), 1u);

    const auto& sprite = *root.childNodes()[1];
    EXPECT_EQ(sprite.position(), (scene::Vector3{0.25f, 0, -1}));
    // The exact axis-angle, not the one the quaternion gives.
    EXPECT_EQ(sprite.rotation(), (scene::Vector4{0, 2, 0, std::numbers::pi_v<float> / 2}));
    EXPECT_TRUE(sprite.hasBillboardConstraint());
    EXPECT_EQ(planeOf(sprite).width(), 0.1);
    const auto& image = *planeOf(sprite).firstMaterial()->diffuse.contents;
    EXPECT_EQ(image.scale(), 2.0);
    EXPECT_EQ(image.cgImage()->pixel(0, 0), (graphics::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(image.cgImage()->pixel(1, 1), (graphics::Rgba{0, 0, 0, 0}));

    // Without our extension the node keeps its defaults.
    const auto& inner = *container.childNodes()[0];
    EXPECT_EQ(inner.rotation(), (scene::Vector4{}));
    EXPECT_EQ(inner.opacity(), 1.0f);
    EXPECT_FALSE(inner.hasBillboardConstraint());
}

TEST(HostileFiles, AQuaternionWithoutOurExactRotationIsTurnedIntoOne) {
    scene::Scene scene;
    auto node = scene::Node::make();
    node->setRotation({0, 0, 1, 0.75f});
    scene.rootNode()->addChildNode(node);
    auto glb = scenefiles::splitGlb(scenefiles::encode(scene));
    glb.json["nodes"][1].erase("extensions");
    auto read = scene::gltf::decodeScene(scenefiles::joinGlb(glb));
    ASSERT_TRUE(read.ok()) << read.error();
    auto r = read.value()->rootNode()->childNodes()[0]->rotation();
    EXPECT_NEAR(r.z, 1, 1e-6);
    EXPECT_NEAR(r.w, 0.75, 1e-6);
}

// --- Files that are refused -----------------------------------------------

TEST(HostileFiles, BrokenAndForeignFilesAreRefusedWithAReasonThatNamesTheFile) {
    const std::pair<const char*, const char*> files[] = {
        {"empty.glb", "too short"},
        {"garbage.glb", "not a glTF binary file"},
        {"truncated.glb", "truncated"},
        {"bad-magic.glb", "not a glTF binary file"},
        {"bad-version.glb", "version 1"},
        {"length-mismatch.glb", "header gives a length"},
        {"chunk-overrun.glb", "more than the file has left"},
        {"bin-overrun.glb", "more than the file has left"},
        {"json-invalid.glb", "JSON is not well formed"},
        {"json-deep.glb", "more than 64 levels deep"},
        {"huge-count.glb", "more nodes than the 200000"},
        {"repeated-nodes.glb", "gives its nodes twice"},
        {"node-deep.glb", "more than 1000 levels deep"},
        {"node-cycle.glb", "cycle"},
        {"node-two-parents.glb", "two parents"},
        {"node-listed-twice.glb", "listed twice among the children of node 0"},
        {"node-self-child.glb", "its own child"},
        {"root-is-child.glb", "root node is also a child"},
        {"index-out-of-range.glb", "refers to mesh 7, but the file has 1"},
        {"index-wraps.glb", "refers to node 4294967297"},
        {"index-negative.glb", "by something other than a number"},
        {"accessor-overrun.glb", "accessor 0 reaches past the end of its buffer view"},
        {"bufferview-overrun.glb", "buffer view 4 reaches past the end of its buffer"},
        {"external-buffer.glb", "outside the file"},
        {"external-image.glb", "outside the file's binary chunk"},
        {"image-huge.glb", "claims 100000 × 100000 pixels"},
        {"image-bomb.glb", "claims 8192 × 8192 pixels"},
        {"image-over-cap.glb", "claims 4097 × 1 pixels"},
        {"image-garbage.glb", "not a PNG or JPEG picture"},
        {"image-damaged.glb", "cannot be decoded"},
        {"foreign.glb", "not a drawing saved by Scrawlet"},
        {"newer-layout.glb", "layout 3"},
        {"required-extension.glb", "KHR_draco_mesh_compression"},
        {"huge-number.glb", "position out of range"},
        {"bad-scale.glb", "scale that is not a positive number"},
        {"unknown-constraint.glb", "constraint of an unknown kind"},
    };
    for (auto [name, reason] : files) {
        auto read =
            scene::Scene::sceneWithUrl(testsupport::testData(std::string("scenes/") + name));
        ASSERT_FALSE(read.ok()) << name << " was read";
        EXPECT_NE(read.error().find(reason), std::string::npos) << read.error();
        EXPECT_NE(read.error().find(name), std::string::npos) << read.error();
    }
}

TEST(HostileFiles, MalformedJsonIsRefusedWherever) {
    const std::pair<const char*, const char*> cases[] = {
        {"{\"a\": [1, 2,]}", "not well formed"},
        {"{\"a\": 01}", "not well formed"},
        {"{\"a\": 1.}", "not well formed"},
        {"{\"a\": \"\\x\"}", "not well formed"},
        {"{\"a\": \"\x01\"}", "not well formed"},
        {"{\"a\": tru}", "not well formed"},
        {"{\"a\": 1} {}", "not well formed"},
        {"{\"a\" 1}", "not well formed"},
        {"[[[[[[[[[[[[[[[[[[[[[]]]]]]]]]]]]]]]]]]]]]", "more than 16 levels"},
        {"{\"a\": \"[[[[\\\"]]\"}", ""},
    };
    for (auto [text, reason] : cases) {
        std::string_view view(text);
        scene::gltf::JsonReader reader(
            {reinterpret_cast<const std::uint8_t*>(view.data()), view.size()}, 16);
        auto read = [&]() -> platform::Result<void> {
            TRY(reader.skipValue());
            TRY(reader.next());
            return {};
        }();
        if (*reason == '\0') {
            EXPECT_TRUE(read.ok()) << text << ": " << read.error();
        } else {
            ASSERT_FALSE(read.ok()) << text;
            EXPECT_NE(read.error().find(reason), std::string::npos) << read.error();
            // The error stays: the reader reads nothing more.
            auto again = reader.next();
            ASSERT_FALSE(again.ok()) << text;
            EXPECT_EQ(again.error(), read.error());
        }
    }
}

TEST(HostileFiles, EveryTruncationAndChangedByteIsRefusedOrReadWithoutHarm) {
    auto bytes = sceneData("minimal.glb");
    for (std::size_t length = 0; length < bytes.size(); ++length)
        EXPECT_FALSE(scene::gltf::decodeScene(std::span(bytes.data(), length)).ok()) << length;
    int refused = 0;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        auto changed = bytes;
        changed[at] ^= 0xA5;
        auto read = scene::gltf::decodeScene(changed);
        if (!read.ok()) {
            EXPECT_FALSE(read.error().empty());
        }
        refused += read.ok() ? 0 : 1;
    }
    EXPECT_GT(refused, 0);
}

// --- Bombs --------------------------------------------------------------------

TEST(HostileFiles, BombsAreRefusedInSmallMemory) {
    auto folder = testsupport::freshDirectory("scene-bombs");
    // A sparse file of 2 GiB: refused by its first bytes, not read.
    auto sparse = folder / "sparse.scn";
    int fd = ::open(sparse.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t{2} << 30), 0);
    ::close(fd);
    // Four pictures of 8192 × 8192 pixels, a gigabyte decoded; a chain of
    // five thousand nodes; JSON nested a hundred thousand deep; a folder
    // and a device where a drawing should be.
    const std::pair<std::filesystem::path, const char*> bombs[] = {
        {sparse, "not a glTF binary file"},
        {testsupport::testData("scenes/image-bomb.glb"), "8192 × 8192"},
        {testsupport::testData("scenes/node-deep.glb"), "1000 levels"},
        {testsupport::testData("scenes/json-deep.glb"), "64 levels"},
        {folder, "folder"},
        {"/dev/zero", "not a file"},
    };
    long before = testsupport::peakMegabytes();
    for (const auto& [path, reason] : bombs) {
        auto read = scene::Scene::sceneWithUrl(path);
        ASSERT_FALSE(read.ok()) << path;
        EXPECT_NE(read.error().find(reason), std::string::npos) << read.error();
    }
    EXPECT_LT(testsupport::peakMegabytes() - before, 100);
    std::filesystem::remove_all(folder);
}

}  // namespace
