// Reading scene files that we did not write: a small drawing made by hand
// is read; broken, truncated, hostile and foreign files are refused with a
// reason, never a crash (the test also runs under the address and
// undefined-behaviour sanitizers).
#include <gtest/gtest.h>

#include <numbers>

#include "SceneFiles.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/SceneDecoder.h"
#include "platform/scene/gltf/SceneEncoder.h"
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

// --- Files made by hand that are read ------------------------------------------

TEST(SceneDecoderReads, AHandMadeDrawing) {
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
    EXPECT_EQ(image.cgImage()->width(), 2);
    EXPECT_EQ(image.cgImage()->pixel(0, 0), (graphics::Rgba{255, 0, 0, 255}));
    EXPECT_EQ(image.cgImage()->pixel(1, 1), (graphics::Rgba{0, 0, 0, 0}));

    // Without our extension the node keeps its defaults.
    const auto& inner = *container.childNodes()[0];
    EXPECT_EQ(inner.rotation(), (scene::Vector4{}));
    EXPECT_EQ(inner.opacity(), 1.0f);
    EXPECT_FALSE(inner.hasBillboardConstraint());
}

TEST(SceneDecoderReads, AQuaternionWithoutOurExactRotation) {
    scene::Scene scene;
    auto node = scene::Node::make();
    node->setRotation({0, 0, 1, 0.75f});
    scene.rootNode()->addChildNode(node);
    auto bytes = scene::gltf::encodeScene(scene);
    ASSERT_TRUE(bytes.ok()) << bytes.error();
    auto glb = scenefiles::splitGlb(bytes.value());
    glb.json["nodes"][1].erase("extensions");

    auto read = scene::gltf::decodeScene(scenefiles::joinGlb(glb));
    ASSERT_TRUE(read.ok()) << read.error();
    auto r = read.value()->rootNode()->childNodes()[0]->rotation();
    EXPECT_NEAR(r.x, 0, 1e-6);
    EXPECT_NEAR(r.y, 0, 1e-6);
    EXPECT_NEAR(r.z, 1, 1e-6);
    EXPECT_NEAR(r.w, 0.75, 1e-6);
}

// --- Files that are refused ---------------------------------------------------------

struct BadFile {
    const char* name;
    const char* reason;  // a part of the reason given
};

void PrintTo(const BadFile& file, std::ostream* out) { *out << file.name; }

class SceneDecoderRefuses : public testing::TestWithParam<BadFile> {};

TEST_P(SceneDecoderRefuses, WithAReason) {
    auto read = scene::gltf::decodeScene(sceneData(GetParam().name));
    ASSERT_FALSE(read.ok()) << GetParam().name << " was read";
    EXPECT_NE(read.error().find(GetParam().reason), std::string::npos)
        << GetParam().name << ": " << read.error();
}

TEST_P(SceneDecoderRefuses, ThroughTheSceneFileWithItsName) {
    auto path = testsupport::testData(std::string("scenes/") + GetParam().name);
    auto read = scene::Scene::sceneWithUrl(path);
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error().find(GetParam().name), std::string::npos) << read.error();
}

INSTANTIATE_TEST_SUITE_P(
    BadFiles, SceneDecoderRefuses,
    testing::Values(
        BadFile{"empty.glb", "too short"}, BadFile{"garbage.glb", "not a glTF binary file"},
        BadFile{"truncated.glb", "truncated"}, BadFile{"bad-magic.glb", "not a glTF binary file"},
        BadFile{"bad-version.glb", "version 1"},
        BadFile{"length-mismatch.glb", "header gives a length"},
        BadFile{"chunk-overrun.glb", "more than the file has left"},
        BadFile{"bin-overrun.glb", "more than the file has left"},
        BadFile{"json-invalid.glb", "JSON is not well formed"},
        BadFile{"json-deep.glb", "more than 64 levels deep"},
        BadFile{"huge-count.glb", "300004 nodes, more than the 200000"},
        BadFile{"node-deep.glb", "more than 1000 levels deep"}, BadFile{"node-cycle.glb", "cycle"},
        BadFile{"node-two-parents.glb", "two parents"},
        BadFile{"node-listed-twice.glb", "listed twice among the children of node 0"},
        BadFile{"node-self-child.glb", "its own child"},
        BadFile{"root-is-child.glb", "root node is also a child"},
        BadFile{"index-out-of-range.glb", "refers to mesh 7, but the file has 1"},
        BadFile{"index-wraps.glb", "refers to node 4294967297"},
        BadFile{"index-negative.glb", "by something other than a number"},
        BadFile{"accessor-overrun.glb", "accessor 0 reaches past the end of its buffer view"},
        BadFile{"bufferview-overrun.glb", "buffer view 4 reaches past the end of its buffer"},
        BadFile{"external-buffer.glb", "outside the file"},
        BadFile{"external-image.glb", "outside the file's binary chunk"},
        BadFile{"image-huge.glb", "claims 100000 × 100000 pixels"},
        BadFile{"image-garbage.glb", "not a PNG picture"},
        BadFile{"image-damaged.glb", "cannot be decoded"},
        BadFile{"foreign.glb", "not a drawing saved by Scrawlet"},
        BadFile{"newer-layout.glb", "layout 2"},
        BadFile{"required-extension.glb", "KHR_draco_mesh_compression"},
        BadFile{"huge-number.glb", "position out of range"},
        BadFile{"bad-scale.glb", "scale that is not a positive number"},
        BadFile{"unknown-constraint.glb", "constraint of an unknown kind"}),
    [](const testing::TestParamInfo<BadFile>& info) {
        std::string name = info.param.name;
        name = name.substr(0, name.find('.'));
        std::erase(name, '-');
        return name;
    });

// --- Damage anywhere ----------------------------------------------------------------

TEST(SceneDecoderDamage, EveryTruncationIsRefused) {
    auto bytes = sceneData("minimal.glb");
    for (std::size_t length = 0; length < bytes.size(); ++length) {
        std::span<const std::uint8_t> part(bytes.data(), length);
        EXPECT_FALSE(scene::gltf::decodeScene(part).ok()) << "read with " << length << " bytes";
    }
}

TEST(SceneDecoderDamage, EveryChangedByteIsReadOrRefusedWithoutHarm) {
    // Flipping each byte in turn reaches every field of the header, the
    // JSON and the picture; whatever comes out, nothing may crash.
    auto bytes = sceneData("minimal.glb");
    int refused = 0;
    for (std::size_t at = 0; at < bytes.size(); ++at) {
        auto changed = bytes;
        changed[at] ^= 0xA5;
        auto read = scene::gltf::decodeScene(changed);
        if (!read.ok()) {
            ++refused;
            EXPECT_FALSE(read.error().empty());
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(SceneDecoderDamage, TheLimitsCanBeTightened) {
    scene::gltf::Limits limits;
    limits.maxImageSide = 1;
    auto read = scene::gltf::decodeScene(sceneData("minimal.glb"), limits);
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error().find("claims 2 × 2 pixels"), std::string::npos) << read.error();
}

}  // namespace
