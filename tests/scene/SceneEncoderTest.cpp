// What the scene file holds for glTF viewers: textured quads where the
// planes hang, pictures stored once, our extension used but never required.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>

#include "SceneFiles.h"
#include "platform/graphics/Backend.h"
#include "platform/scene/gltf/SceneEncoder.h"
#include "platform/scene/gltf/SceneFileLayout.h"

namespace {
using nlohmann::json;
using scenefiles::patternImage;
using scenefiles::sprite;

scenefiles::Glb encode(const scene::Scene& scene) {
    auto bytes = scene::gltf::encodeScene(scene);
    if (!bytes.ok()) throw std::runtime_error(bytes.error());
    return scenefiles::splitGlb(bytes.value());
}

std::vector<float> floats(const scenefiles::Glb& glb, std::size_t accessor) {
    const json& a = glb.json["accessors"][accessor];
    EXPECT_EQ(a["componentType"], 5126);
    auto bytes = scenefiles::bufferViewBytes(glb, a["bufferView"].get<std::size_t>());
    std::vector<float> values(bytes.size() / 4);
    std::memcpy(values.data(), bytes.data(), values.size() * 4);
    return values;
}

// --- Pictures ---------------------------------------------------------------------

TEST(SceneEncoderPictures, IdenticalPicturesAreStoredOnce) {
    scene::Scene scene;
    // Thirty sprites with thirty bitmap objects, but only three pictures.
    for (int i = 0; i < 30; ++i) {
        auto bitmap = scenefiles::patternBitmap(12, 12, i % 3);
        scene.rootNode()->addChildNode(sprite(std::make_shared<graphics::Image>(bitmap, 3.0)));
    }
    auto glb = encode(scene);
    EXPECT_EQ(glb.json["images"].size(), 3u);
    EXPECT_EQ(glb.json["textures"].size(), 3u);
    EXPECT_EQ(glb.json["materials"].size(), 3u);
    EXPECT_EQ(glb.json["meshes"].size(), 3u);
    EXPECT_EQ(glb.json["nodes"].size(), 31u);
}

TEST(SceneEncoderPictures, PicturesAreFullSizePngsInTheBinaryChunk) {
    scene::Scene scene;
    scene.rootNode()->addChildNode(scenefiles::photo(patternImage(300, 200, 1, 1)));
    auto glb = encode(scene);
    const json& image = glb.json["images"][0];
    EXPECT_EQ(image["mimeType"], "image/png");
    EXPECT_FALSE(image.contains("uri"));
    auto png = scenefiles::bufferViewBytes(glb, image["bufferView"].get<std::size_t>());
    auto decoded = graphics::backend().decodeImage(png, {});
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    EXPECT_EQ(decoded.value()->cgImage()->width(), 300);
    EXPECT_EQ(decoded.value()->cgImage()->height(), 200);
}

TEST(SceneEncoderPictures, SamePixelsWithAnotherScaleShareTheImageNotTheTexture) {
    scene::Scene scene;
    auto bitmap = scenefiles::patternBitmap(12, 12, 5);
    scene.rootNode()->addChildNode(sprite(std::make_shared<graphics::Image>(bitmap, 2.0)));
    scene.rootNode()->addChildNode(sprite(std::make_shared<graphics::Image>(bitmap, 3.0)));
    auto glb = encode(scene);
    EXPECT_EQ(glb.json["images"].size(), 1u);
    ASSERT_EQ(glb.json["textures"].size(), 2u);
    EXPECT_EQ(glb.json["textures"][0]["source"], 0);
    EXPECT_EQ(glb.json["textures"][1]["source"], 0);
    EXPECT_EQ(glb.json["textures"][1]["extensions"]["SCRAWLET_drawing"]["imageScale"], 3.0);
    EXPECT_EQ(glb.json["materials"].size(), 2u);
}

// --- What viewers see -----------------------------------------------------------

TEST(SceneEncoderViewers, OurExtensionIsUsedButNotRequired) {
    scene::Scene scene;
    scene.rootNode()->addChildNode(sprite(patternImage(4, 4, 2)));
    auto glb = encode(scene);
    EXPECT_EQ(glb.json["asset"]["version"], "2.0");
    auto used = glb.json["extensionsUsed"];
    EXPECT_NE(std::find(used.begin(), used.end(), "SCRAWLET_drawing"), used.end());
    EXPECT_NE(std::find(used.begin(), used.end(), "KHR_materials_unlit"), used.end());
    EXPECT_FALSE(glb.json.contains("extensionsRequired"));
    EXPECT_EQ(glb.json["extensions"]["SCRAWLET_drawing"]["version"], 1);
}

TEST(SceneEncoderViewers, APlaneIsATexturedQuadFacingPlusZ) {
    scene::Scene scene;
    auto plane = scene::Plane::planeWithWidth(0.4, 0.2);
    plane->firstMaterial()->doubleSided = true;
    plane->firstMaterial()->diffuse.contents = patternImage(8, 4, 3);
    scene.rootNode()->addChildNode(scene::Node::nodeWithGeometry(plane));
    auto glb = encode(scene);

    const json& node = glb.json["nodes"][1];
    const json& primitive = glb.json["meshes"][node["mesh"].get<std::size_t>()]["primitives"][0];
    auto positions = floats(glb, primitive["attributes"]["POSITION"]);
    EXPECT_EQ(positions,
              (std::vector<float>{-0.2f, -0.1f, 0, 0.2f, -0.1f, 0, 0.2f, 0.1f, 0, -0.2f, 0.1f, 0}));
    const json& positionAccessor =
        glb.json["accessors"][primitive["attributes"]["POSITION"].get<std::size_t>()];
    EXPECT_EQ(positionAccessor["min"], json({-0.2f, -0.1f, 0.0}));
    EXPECT_EQ(positionAccessor["max"], json({0.2f, 0.1f, 0.0}));
    EXPECT_EQ(floats(glb, primitive["attributes"]["NORMAL"]),
              (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}));
    // The picture's top-left corner at the quad's top-left.
    EXPECT_EQ(floats(glb, primitive["attributes"]["TEXCOORD_0"]),
              (std::vector<float>{0, 1, 1, 1, 1, 0, 0, 0}));
    const json& indices = glb.json["accessors"][primitive["indices"].get<std::size_t>()];
    EXPECT_EQ(indices["count"], 6);

    const json& material = glb.json["materials"][primitive["material"].get<std::size_t>()];
    EXPECT_EQ(material["alphaMode"], "BLEND");
    EXPECT_EQ(material["doubleSided"], true);
    EXPECT_TRUE(material["pbrMetallicRoughness"].contains("baseColorTexture"));
    EXPECT_EQ(glb.json["meshes"][0]["extensions"]["SCRAWLET_drawing"]["width"], 0.4);
}

TEST(SceneEncoderViewers, AnOrientationTagTurnsTheTextureCoordinates) {
    scene::Scene scene;
    auto bitmap = scenefiles::patternBitmap(8, 4, 4);
    scene.rootNode()->addChildNode(
        sprite(std::make_shared<graphics::Image>(bitmap, 1.0, graphics::ImageOrientation::right)));
    auto glb = encode(scene);
    const json& primitive = glb.json["meshes"][0]["primitives"][0];
    // Turned a quarter clockwise to be seen upright: the picture's stored
    // bottom-left corner shows at the top-left.
    EXPECT_EQ(floats(glb, primitive["attributes"]["TEXCOORD_0"]),
              (std::vector<float>{1, 1, 1, 0, 0, 0, 0, 1}));
}

TEST(SceneEncoderViewers, RotationsAreUnitQuaternionsAndExactAxisAngles) {
    scene::Scene scene;
    auto node = scene::Node::make();
    node->setPosition({1, 2, 3});
    node->setRotation({0, 2, 0, std::numbers::pi_v<float> / 2});
    scene.rootNode()->addChildNode(node);
    auto glb = encode(scene);
    const json& stored = glb.json["nodes"][1];
    EXPECT_EQ(stored["translation"], json({1.0, 2.0, 3.0}));
    auto q = stored["rotation"].get<std::vector<double>>();
    ASSERT_EQ(q.size(), 4u);
    EXPECT_NEAR(q[0], 0, 1e-12);
    EXPECT_NEAR(q[1], std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(q[2], 0, 1e-12);
    EXPECT_NEAR(q[3], std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3], 1, 1e-12);
    EXPECT_EQ(stored["extensions"]["SCRAWLET_drawing"]["rotation"],
              json({0.0, 2.0, 0.0, static_cast<double>(std::numbers::pi_v<float> / 2)}));
}

TEST(SceneEncoderViewers, OpacityFoldsIntoTheBaseColourAlpha) {
    scene::Scene scene;
    auto container = scene::Node::make();
    container->setOpacity(0.5f);
    auto node = sprite(patternImage(4, 4, 5));
    node->setOpacity(0.8f);
    container->addChildNode(node);
    scene.rootNode()->addChildNode(container);
    auto glb = encode(scene);
    const json& factor = glb.json["materials"][0]["pbrMetallicRoughness"]["baseColorFactor"];
    EXPECT_NEAR(factor[3].get<double>(), 0.4, 1e-7);
    EXPECT_EQ(glb.json["nodes"][1]["extensions"]["SCRAWLET_drawing"]["opacity"], 0.5);
}

TEST(SceneEncoderViewers, TheRootHoldsTheTopLevelNodesInOrderAndContainersArePlain) {
    scene::Scene scene;
    auto first = scene::Node::make();
    first->setPosition({1, 0, 0});
    auto second = sprite(patternImage(4, 4, 6));
    second->setPosition({2, 0, 0});
    auto third = scene::Node::make();
    third->setPosition({3, 0, 0});
    for (const auto& node : {first, second, third}) scene.rootNode()->addChildNode(node);
    auto glb = encode(scene);
    EXPECT_EQ(glb.json["scenes"][0]["nodes"], json({0}));
    const json& children = glb.json["nodes"][0]["children"];
    ASSERT_EQ(children.size(), 3u);
    for (std::size_t i = 0; i < 3; ++i)
        EXPECT_EQ(glb.json["nodes"][children[i].get<std::size_t>()]["translation"][0], i + 1.0);
    const json& container = glb.json["nodes"][children[0].get<std::size_t>()];
    EXPECT_FALSE(container.contains("mesh"));
    EXPECT_FALSE(container.contains("extensions"));
}

// --- What cannot be stored -----------------------------------------------------

TEST(SceneEncoderRefusals, ValuesThatAreNotNumbersAreRefused) {
    for (int which = 0; which < 3; ++which) {
        scene::Scene scene;
        auto node = scene::Node::make();
        float nan = std::numeric_limits<float>::quiet_NaN();
        if (which == 0) node->setPosition({0, nan, 0});
        if (which == 1) node->setRotation({0, 1, 0, std::numeric_limits<float>::infinity()});
        if (which == 2) node->setOpacity(nan);
        scene.rootNode()->addChildNode(node);
        auto bytes = scene::gltf::encodeScene(scene);
        ASSERT_FALSE(bytes.ok());
        EXPECT_NE(bytes.error().find("not a number"), std::string::npos) << bytes.error();
    }
}

TEST(SceneEncoderRefusals, MoreNodesThanTheReaderTakesAreRefused) {
    scene::gltf::Limits limits;
    limits.maxNodes = 10;
    scene::Scene scene;
    for (int i = 0; i < 10; ++i) scene.rootNode()->addChildNode(scene::Node::make());
    auto bytes = scene::gltf::encodeScene(scene, limits);
    ASSERT_FALSE(bytes.ok());
    EXPECT_NE(bytes.error().find("more than 10 nodes"), std::string::npos) << bytes.error();
}

TEST(SceneEncoderRefusals, PicturesLargerThanTheReaderTakesAreRefused) {
    scene::gltf::Limits limits;
    limits.maxImagePixels = 99;
    scene::Scene scene;
    scene.rootNode()->addChildNode(sprite(patternImage(10, 10, 7)));
    auto bytes = scene::gltf::encodeScene(scene, limits);
    ASSERT_FALSE(bytes.ok());
    EXPECT_NE(bytes.error().find("10 × 10 pixels is larger"), std::string::npos) << bytes.error();
}

TEST(SceneEncoderRefusals, JsonTheReaderWouldRefuseIsNotWritten) {
    scene::gltf::Limits limits;
    limits.maxJsonValues = 50;
    scene::Scene scene;
    for (int i = 0; i < 20; ++i) scene.rootNode()->addChildNode(sprite(patternImage(4, 4, 8)));
    auto bytes = scene::gltf::encodeScene(scene, limits);
    ASSERT_FALSE(bytes.ok());
    EXPECT_NE(bytes.error().find("more than 50 values"), std::string::npos) << bytes.error();
}

}  // namespace
