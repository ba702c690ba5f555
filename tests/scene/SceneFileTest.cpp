// The scene file as the app and glTF viewers see it: a scene written and
// read back is the same graph, bit for bit; the file holds textured quads
// where the planes hang, each picture once, numbers in their shortest exact
// form; the writer refuses only what the reader would.
#include <gtest/gtest.h>

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <numbers>
#include <random>

#include "SceneFiles.h"
#include "platform/Bits.h"
#include "platform/graphics/Backend.h"
#include "platform/scene/gltf/JsonWriter.h"
#include "platform/scene/gltf/SceneDecoder.h"
#include "platform/scene/gltf/SceneEncoder.h"
#include "support/Scripts.h"

namespace {
using nlohmann::json;
using scenefiles::firstDifference;
using scenefiles::patternBitmap;
using scenefiles::patternImage;
using scenefiles::photo;
using scenefiles::sprite;

// Writes `scene` to a file, reads it back and expects the same graph.
std::shared_ptr<scene::Scene> roundTrip(const scene::Scene& scene) {
    const auto* info = testing::UnitTest::GetInstance()->current_test_info();
    auto folder = testsupport::freshDirectory(std::string("round-trip-") + info->name());
    auto file = folder / "scrawlet.scn";
    auto written = scene.writeToUrl(file);
    EXPECT_TRUE(written.ok()) << (written.ok() ? "" : written.error());
    auto read = scene::Scene::sceneWithUrl(file);
    std::filesystem::remove_all(folder);
    EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error());
    if (!read.ok()) return nullptr;
    EXPECT_EQ(firstDifference(*scene.rootNode(), *read.value()->rootNode()), "");
    return read.value();
}

std::shared_ptr<scene::Node> nodeAt(float x, float y = 0, float z = 0) {
    auto node = scene::Node::make();
    node->setPosition({x, y, z});
    return node;
}

// --- Round trips ----------------------------------------------------------

TEST(SceneFileRoundTrip, KeepsHierarchyOrderAndEveryValueBitForBit) {
    using graphics::ImageOrientation;
    scene::Scene scene;
    auto root = scene.rootNode();
    root->setPosition({1, 2, 3});
    root->setRotation({0, 0, 1, 0.5f});
    root->setOpacity(0.75f);
    constexpr float tiny = std::numeric_limits<float>::denorm_min();
    constexpr float huge = std::numeric_limits<float>::max();
    for (auto p : {scene::Vector3{0.1f, -0.2f, 0.3f},
                   {-0.0f, 0.0f, -0.0f},
                   {tiny, -std::numeric_limits<float>::min(), 1e-30f},
                   {huge, -huge, 16777217.0f},
                   {1.0f / 3.0f, 2.0f / 3.0f, std::numbers::pi_v<float>}})
        root->addChildNode(nodeAt(p.x, p.y, p.z));
    // Rotations of every shape: not unit length, negative beyond a turn,
    // no axis, no angle, signed zeros, a tiny axis.
    for (auto r : {scene::Vector4{0, 2, 0, 1.5f},
                   {0.3f, -0.4f, 0.5f, -7.25f},
                   {0, 0, 0, 1},
                   {1, 0, 0, 0},
                   {-0.0f, 0, -0.0f, -0.0f},
                   {1e-20f, 1e-20f, 1e-20f, 3.0f}}) {
        auto node = sprite(patternImage(4, 4, 2));
        node->setRotation(r);
        root->addChildNode(node);
    }
    for (float opacity : {0.0f, 0.123456789f, 1.5f, -0.25f}) {
        auto node = nodeAt(0);
        node->setOpacity(opacity);
        node->addChildNode(sprite(patternImage(4, 4, 3)));
        root->addChildNode(node);
    }
    for (auto [w, h] : {std::pair{1.0, 1.0 / 3.0}, {1e-300, 123456789.123456789}, {0.0, 0.7}})
        root->addChildNode(scene::Node::nodeWithGeometry(scene::Plane::planeWithWidth(w, h)));
    auto bare = scene::Plane::planeWithWidth(0.2, 0.2);
    bare->setMaterials({});
    root->addChildNode(scene::Node::nodeWithGeometry(bare));
    // Every orientation tag and several scales of one bitmap.
    double scale = 1;
    for (int o = 0; o < 8; ++o)
        root->addChildNode(sprite(std::make_shared<graphics::Image>(
            patternBitmap(6, 4, 7), scale += 0.7, static_cast<ImageOrientation>(o))));
    // Billboards with every kind of free axes, two on one node, one on a
    // container and none on a plane.
    using Axes = scene::BillboardConstraint::Axes;
    for (auto axes : {Axes::y, Axes::x, static_cast<Axes>(5)}) {
        auto constraint = std::make_shared<scene::BillboardConstraint>();
        constraint->setFreeAxes(axes);
        auto node = sprite(patternImage(4, 4, 9));
        node->setConstraints({constraint, std::make_shared<scene::BillboardConstraint>()});
        root->addChildNode(node);
    }
    auto container = nodeAt(5);
    container->setConstraints({std::make_shared<scene::BillboardConstraint>()});
    auto inner = nodeAt(6);
    inner->addChildNode(sprite(patternImage(8, 8, 1)));
    container->addChildNode(inner);
    container->addChildNode(scene::Node::make());
    root->addChildNode(container);
    root->addChildNode(photo(patternImage(40, 30, 4, 1)));

    auto read = roundTrip(scene);
    ASSERT_NE(read, nullptr);
    // Parents are set, so the loaded nodes can be moved as the app does.
    const auto& loaded = read->rootNode()->childNodes();
    EXPECT_EQ(loaded[loaded.size() - 2]->childNodes()[0]->parentNode(),
              loaded[loaded.size() - 2].get());
}

TEST(SceneFileRoundTrip, KeepsPicturesExactly) {
    // Every colour value under every alpha: PNG keeps alpha straight, so
    // each pixel is divided by its alpha on the way out and multiplied on
    // the way in, and must come back the same.
    auto every = std::make_shared<graphics::Bitmap>(256, 256);
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c) {
            auto v = static_cast<std::uint8_t>(std::min(a, c));
            every->setPixel(a, c,
                            {v, static_cast<std::uint8_t>(v / 2),
                             static_cast<std::uint8_t>(a - v / 3), static_cast<std::uint8_t>(a)});
        }
    graphics::BitmapFormat opaqueFormat;
    opaqueFormat.alphaInfo = graphics::AlphaInfo::noneSkipLast;
    auto opaque = std::make_shared<graphics::Bitmap>(5, 5, opaqueFormat);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            opaque->setPixel(
                x, y,
                {static_cast<std::uint8_t>(x * 50), static_cast<std::uint8_t>(y * 50), 7, 255});
    scene::Scene scene;
    scene.rootNode()->addChildNode(sprite(std::make_shared<graphics::Image>(every, 1.0)));
    scene.rootNode()->addChildNode(photo(std::make_shared<graphics::Image>(opaque, 2.0)));
    // A full-size photo, as large as a picked photo can be.
    scene.rootNode()->addChildNode(photo(std::make_shared<graphics::Image>(
        patternBitmap(4096, 3, 5), 1.0, graphics::ImageOrientation::left)));
    roundTrip(scene);
}

TEST(SceneFileRoundTrip, SharesOneBitmapAmongSpritesWithTheSamePixels) {
    scene::Scene scene;
    for (int i = 0; i < 10; ++i) scene.rootNode()->addChildNode(sprite(patternImage(16, 16, 9)));
    auto read = roundTrip(scene);
    ASSERT_NE(read, nullptr);
    const auto& children = read->rootNode()->childNodes();
    auto bitmapOf = [](const scene::Node& node) {
        const auto* plane = dynamic_cast<const scene::Plane*>(node.geometry().get());
        return plane->firstMaterial()->diffuse.contents->cgImage().get();
    };
    for (const auto& child : children) EXPECT_EQ(bitmapOf(*child), bitmapOf(*children.front()));
    // Each node still has a plane and material of its own, as placed sprites do.
    EXPECT_NE(children[0]->geometry(), children[1]->geometry());
}

// As deep as a long history of loads nests, and no deeper; read back in a
// moment (a generous bound: the cost is linear).
TEST(SceneFileRoundTrip, KeepsNestingAsDeepAsALongHistoryOfLoadsAndNoDeeper) {
    scene::Scene scene;
    auto node = scene.rootNode();
    for (int level = 0; level < 1000; ++level) {
        auto child = nodeAt(static_cast<float>(level));
        node->addChildNode(child);
        node = child;
    }
    node->addChildNode(sprite(patternImage(4, 4, 10)));
    // 1001 levels below the root, counting the sprite: one too many.
    auto refused = scene::gltf::encodeScene(scene);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("1000 levels"), std::string::npos) << refused.error();
    node->childNodes().front()->removeFromParentNode();
    auto bytes = scenefiles::encode(scene);
    ASSERT_TRUE(scene::gltf::decodeScene(bytes).ok());
    roundTrip(scene);
}

// --- What viewers see ------------------------------------------------------

scenefiles::Glb glbOf(const scene::Scene& scene) {
    return scenefiles::splitGlb(scenefiles::encode(scene));
}

std::vector<float> floats(const scenefiles::Glb& glb, std::size_t accessor) {
    const json& a = glb.json["accessors"][accessor];
    EXPECT_EQ(a["componentType"], 5126);
    auto bytes = scenefiles::bufferViewBytes(glb, a["bufferView"].get<std::size_t>());
    std::vector<float> values(bytes.size() / 4);
    std::memcpy(values.data(), bytes.data(), values.size() * 4);
    return values;
}

TEST(SceneFileForViewers, PlanesAreTexturedQuadsAndOurExtensionIsNeverRequired) {
    scene::Scene scene;
    auto plane = scene::Plane::planeWithWidth(0.4, 0.2);
    plane->firstMaterial()->doubleSided = true;
    plane->firstMaterial()->diffuse.contents = patternImage(8, 4, 3);
    auto node = scene::Node::nodeWithGeometry(plane);
    node->setPosition({1, 2, 3});
    node->setRotation({0, 2, 0, std::numbers::pi_v<float> / 2});
    auto container = scene::Node::make();
    container->setOpacity(0.5f);
    node->setOpacity(0.8f);
    container->addChildNode(node);
    scene.rootNode()->addChildNode(container);
    auto glb = glbOf(scene);

    EXPECT_EQ(glb.json["asset"]["version"], "2.0");
    EXPECT_EQ(glb.json["extensionsUsed"], json({"SCRAWLET_drawing", "KHR_materials_unlit"}));
    EXPECT_FALSE(glb.json.contains("extensionsRequired"));
    EXPECT_EQ(glb.json["scenes"][0]["nodes"], json({0}));
    EXPECT_EQ(glb.json["nodes"][0]["children"], json({1}));
    const json& stored = glb.json["nodes"][2];
    EXPECT_EQ(stored["translation"], json({1, 2, 3}));
    auto q = stored["rotation"].get<std::vector<double>>();
    EXPECT_NEAR(q[1], std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(q[3], std::sqrt(0.5), 1e-7);
    EXPECT_NEAR(q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3], 1, 1e-6);

    const json& primitive = glb.json["meshes"][stored["mesh"].get<std::size_t>()]["primitives"][0];
    EXPECT_EQ(floats(glb, primitive["attributes"]["POSITION"]),
              (std::vector<float>{-0.2f, -0.1f, 0, 0.2f, -0.1f, 0, 0.2f, 0.1f, 0, -0.2f, 0.1f, 0}));
    const json& positions =
        glb.json["accessors"][primitive["attributes"]["POSITION"].get<std::size_t>()];
    EXPECT_EQ(positions["min"].get<std::vector<float>>(), (std::vector<float>{-0.2f, -0.1f, 0}));
    EXPECT_EQ(positions["max"].get<std::vector<float>>(), (std::vector<float>{0.2f, 0.1f, 0}));
    EXPECT_EQ(floats(glb, primitive["attributes"]["NORMAL"]),
              (std::vector<float>{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1}));
    // The picture's top-left corner at the quad's top-left.
    EXPECT_EQ(floats(glb, primitive["attributes"]["TEXCOORD_0"]),
              (std::vector<float>{0, 1, 1, 1, 1, 0, 0, 0}));
    const json& material = glb.json["materials"][primitive["material"].get<std::size_t>()];
    EXPECT_EQ(material["alphaMode"], "BLEND");
    EXPECT_EQ(material["doubleSided"], true);
    // Opacity folds into the base colour's alpha: 0.5 × 0.8.
    EXPECT_NEAR(material["pbrMetallicRoughness"]["baseColorFactor"][3].get<double>(), 0.4, 1e-7);
}

TEST(SceneFileForViewers, AnOrientationTagTurnsTheTextureCoordinates) {
    scene::Scene scene;
    scene.rootNode()->addChildNode(sprite(std::make_shared<graphics::Image>(
        patternBitmap(8, 4, 4), 1.0, graphics::ImageOrientation::right)));
    auto glb = glbOf(scene);
    // Turned a quarter clockwise to be seen upright: the picture's stored
    // bottom-left corner shows at the top-left.
    EXPECT_EQ(floats(glb, glb.json["meshes"][0]["primitives"][0]["attributes"]["TEXCOORD_0"]),
              (std::vector<float>{1, 1, 1, 0, 0, 0, 0, 1}));
}

TEST(SceneFileForViewers, PicturesAreFullSizePngsStoredOncePerDistinctPixels) {
    scene::Scene scene;
    // Thirty sprites with thirty bitmap objects, but only three pictures;
    // the same pixels at another scale share the image, not the texture.
    for (int i = 0; i < 30; ++i)
        scene.rootNode()->addChildNode(
            sprite(std::make_shared<graphics::Image>(patternBitmap(12, 12, i % 3), 3.0)));
    scene.rootNode()->addChildNode(
        sprite(std::make_shared<graphics::Image>(patternBitmap(12, 12, 0), 2.0)));
    auto glb = glbOf(scene);
    EXPECT_EQ(glb.json["images"].size(), 3u);
    EXPECT_EQ(glb.json["textures"].size(), 4u);
    EXPECT_EQ(glb.json["meshes"].size(), 4u);
    EXPECT_EQ(glb.json["nodes"].size(), 32u);
    const json& image = glb.json["images"][0];
    EXPECT_EQ(image["mimeType"], "image/png");
    auto png = scenefiles::bufferViewBytes(glb, image["bufferView"].get<std::size_t>());
    auto decoded = graphics::backend().decodeImage(png, {});
    ASSERT_TRUE(decoded.ok()) << decoded.error();
    EXPECT_EQ(decoded.value()->cgImage()->width(), 12);
}

// A photo: smooth light and shade across an opaque bitmap, as a camera's
// picture is.
std::shared_ptr<graphics::Bitmap> photoBitmap(int width, int height) {
    graphics::BitmapFormat opaque;
    opaque.alphaInfo = graphics::AlphaInfo::noneSkipLast;
    auto bitmap = std::make_shared<graphics::Bitmap>(width, height, opaque);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap->setPixel(x, y,
                             {static_cast<std::uint8_t>(x * 255 / width),
                              static_cast<std::uint8_t>(y * 255 / height),
                              static_cast<std::uint8_t>((x + y) % 64 + 100), 255});
    return bitmap;
}

std::vector<std::uint8_t> encoded(const scene::Scene& scene) {
    auto bytes = scene::gltf::encodeScene(scene, {});
    EXPECT_TRUE(bytes.ok()) << (bytes.ok() ? "" : bytes.error());
    return bytes.ok() ? bytes.value().bytes() : std::vector<std::uint8_t>{};
}

std::shared_ptr<scene::Scene> decoded(const std::vector<std::uint8_t>& bytes) {
    auto read = scene::gltf::decodeScene(bytes, {});
    EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error());
    return read.ok() ? read.value() : nullptr;
}

const graphics::Bitmap& bitmapOfChild(const scene::Scene& scene, std::size_t child) {
    const auto* plane = dynamic_cast<const scene::Plane*>(
        scene.rootNode()->childNodes().at(child)->geometry().get());
    return *plane->firstMaterial()->diffuse.contents->cgImage();
}

// Opaque photos are kept as JPEG files, emoji (with alpha) as PNG files; a
// JPEG is encoded once, when first saved, and from then on written as the
// same bytes: saving again, and saving what was loaded, lose nothing more.
TEST(SceneFilePhotos, AreKeptAsJpegFilesEncodedOnlyOnce) {
    scene::Scene scene;
    scene.rootNode()->addChildNode(photo(std::make_shared<graphics::Image>(photoBitmap(640, 480))));
    scene.rootNode()->addChildNode(sprite(patternImage(30, 30, 4)));
    auto first = encoded(scene);
    auto glb = scenefiles::splitGlb(first);
    ASSERT_EQ(glb.json["images"].size(), 2u);
    EXPECT_EQ(glb.json["images"][0]["mimeType"], "image/jpeg");
    EXPECT_EQ(glb.json["images"][1]["mimeType"], "image/png");
    auto jpeg = scenefiles::bufferViewBytes(glb, glb.json["images"][0]["bufferView"]);
    // It shows the photo: close to the pixels it was made from.
    auto picture = graphics::backend().decodeImage(jpeg, {});
    ASSERT_TRUE(picture.ok()) << picture.error();
    const auto& shown = *picture.value()->cgImage();
    ASSERT_EQ(shown.width(), 640);
    for (auto [x, y] : {std::pair{10, 10}, {320, 240}, {600, 400}}) {
        auto a = shown.pixel(x, y), b = bitmapOfChild(scene, 0).pixel(x, y);
        EXPECT_NEAR(a.r, b.r, 12);
        EXPECT_NEAR(a.g, b.g, 12);
        EXPECT_NEAR(a.b, b.b, 12);
    }

    EXPECT_EQ(encoded(scene), first) << "saved again";
    auto loaded = decoded(first);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(encoded(*loaded), first) << "loaded and saved again";
    EXPECT_EQ(bitmapOfChild(*loaded, 0).format().alphaInfo, graphics::AlphaInfo::noneSkipLast);
}

// A photo stored ahead of a save (as the page does while idle) is written
// as the very bytes a save would have encoded; a picture with alpha is not
// stored ahead, and a photo stored already is left as it is.
TEST(SceneFilePhotos, PhotosStoredAheadAreSavedAsTheSaveWouldHaveStoredThem) {
    scene::Scene ahead, inSave;
    auto early = photoBitmap(300, 200), late = photoBitmap(300, 200);
    ASSERT_TRUE(scene::gltf::storePhotoAhead(*early).ok());
    ASSERT_NE(early->storedAs(), nullptr);
    EXPECT_EQ(early->storedAs()->mimeType, "image/jpeg");
    const auto kept = early->storedAs();
    ASSERT_TRUE(scene::gltf::storePhotoAhead(*early).ok());
    EXPECT_EQ(early->storedAs(), kept) << "stored once";
    ahead.rootNode()->addChildNode(photo(std::make_shared<graphics::Image>(early)));
    inSave.rootNode()->addChildNode(photo(std::make_shared<graphics::Image>(late)));
    EXPECT_EQ(late->storedAs(), nullptr);
    auto saved = encoded(inSave);
    ASSERT_NE(late->storedAs(), nullptr);
    EXPECT_EQ(early->storedAs()->bytes, late->storedAs()->bytes);
    EXPECT_EQ(encoded(ahead), saved);

    auto emoji = patternBitmap(64, 64, 3);
    ASSERT_TRUE(scene::gltf::storePhotoAhead(*emoji).ok());
    EXPECT_EQ(emoji->storedAs(), nullptr);
}

// Drawings saved before photos were kept as JPEG files hold them as PNG
// files: they load with their pixels exactly and are saved as they were.
TEST(SceneFilePhotos, PngPhotosOfEarlierDrawingsKeepLoading) {
    scene::Scene scene;
    auto bitmap = photoBitmap(300, 200);
    // Stored as earlier saves stored every picture: the PNG encoder's file.
    auto png = graphics::backend().encodePng(*bitmap);
    ASSERT_TRUE(png.ok());
    bitmap->keepStoredAs(
        std::make_shared<graphics::PictureFile>(graphics::PictureFile{"image/png", png.value()}));
    scene.rootNode()->addChildNode(photo(std::make_shared<graphics::Image>(bitmap)));
    auto earlier = encoded(scene);
    auto glb = scenefiles::splitGlb(earlier);
    ASSERT_EQ(glb.json["images"][0]["mimeType"], "image/png");

    auto loaded = decoded(earlier);
    ASSERT_NE(loaded, nullptr);
    EXPECT_TRUE(bitmapOfChild(*loaded, 0).samePixels(*photoBitmap(300, 200)));
    EXPECT_EQ(bitmapOfChild(*loaded, 0).format().alphaInfo, graphics::AlphaInfo::noneSkipLast);
    EXPECT_EQ(encoded(*loaded), earlier);
}

// A JPEG picture in a drawing is held to the same limits as a PNG one, by
// the size its frame header claims, and a damaged one is refused.
TEST(SceneFilePhotos, JpegPicturesAreHeldToTheLimits) {
    scene::Scene scene;
    scene.rootNode()->addChildNode(photo(std::make_shared<graphics::Image>(photoBitmap(64, 48))));
    auto bytes = encoded(scene);
    scene::gltf::Limits small;
    small.maxImageSide = 32;
    auto refused = scene::gltf::decodeScene(bytes, small);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("claims 64 × 48 pixels"), std::string::npos) << refused.error();

    auto glb = scenefiles::splitGlb(bytes);
    const auto& view =
        glb.json["bufferViews"][glb.json["images"][0]["bufferView"].get<std::size_t>()];
    std::size_t offset = view.value("byteOffset", std::size_t{0});
    std::size_t length = view["byteLength"].get<std::size_t>();
    // The picture data after the headers, scrambled.
    for (std::size_t i = offset + length / 2; i < offset + length - 2; ++i) glb.bin[i] ^= 0x5a;
    auto damaged = scene::gltf::decodeScene(scenefiles::joinGlb(glb), {});
    ASSERT_FALSE(damaged.ok());
    EXPECT_NE(damaged.error().find("image 0 cannot be decoded"), std::string::npos)
        << damaged.error();
}

TEST(SceneFileForViewers, ASpriteTakesFewBytes) {
    // What a finger leaves: sprites of one picture at distances of about a
    // metre, each with its billboard constraint.
    scene::Scene scene;
    auto image = patternImage(90, 90, 1);
    std::mt19937 random(7);
    std::uniform_real_distribution<float> around(-1.5f, 1.5f);
    constexpr int sprites = 5000;
    for (int i = 0; i < sprites; ++i) {
        auto node = sprite(image);
        node->setPosition({around(random), around(random), around(random)});
        scene.rootNode()->addChildNode(node);
    }
    auto glb = glbOf(scene);
    double perSprite = static_cast<double>(glb.json.dump().size()) / sprites;
    EXPECT_LT(perSprite, 80) << "bytes of JSON per sprite";
}

// --- Numbers ------------------------------------------------------------------

TEST(ShortestNumbers, ReadBackExactlyInTheFewestDigits) {
    using scene::gltf::shortestText;
    const std::pair<float, const char*> known[] = {{0.1f, "0.1"},
                                                   {1.0f, "1"},
                                                   {-0.0f, "-0"},
                                                   {100.0f, "100"},
                                                   {1e-5f, "1e-5"},
                                                   {123456.0f, "123456"},
                                                   {1.1296e11f, "1.1296e11"},
                                                   {1.075e9f, "1.075e9"},
                                                   {3.4028235e38f, "3.4028235e38"},
                                                   {1e-45f, "1e-45"}};
    for (auto [value, text] : known) EXPECT_EQ(shortestText(value), text);
    EXPECT_EQ(shortestText(0.1), "0.1");
    EXPECT_EQ(shortestText(1.0 / 3.0), "0.3333333333333333");

    // Random floats of every magnitude: each reads back exactly, and no
    // text with one digit fewer does.
    std::mt19937 random(11);
    for (int i = 0; i < 200000; ++i) {
        auto value = platform::bitCast<float>(static_cast<std::uint32_t>(random()));
        if (!std::isfinite(value)) continue;
        std::string text = shortestText(value);
        ASSERT_EQ(platform::bitCast<std::uint32_t>(std::strtof(text.c_str(), nullptr)),
                  platform::bitCast<std::uint32_t>(value))
            << text;
        std::string mantissa;
        for (char c : text.substr(0, text.find('e')))
            if (std::isdigit(static_cast<unsigned char>(c)) && (c != '0' || !mantissa.empty()))
                mantissa += c;
        while (!mantissa.empty() && mantissa.back() == '0') mantissa.pop_back();
        int digits = static_cast<int>(mantissa.size());
        if (digits < 2) continue;
        char fewer[32];
        std::snprintf(fewer, sizeof fewer, "%.*e", digits - 2, static_cast<double>(value));
        ASSERT_NE(std::strtof(fewer, nullptr), value) << text << " could be " << fewer;
    }
}

// The digits std::to_chars gives for `value` (the fewest that read back,
// the nearest of those, ties to even), without the ones at the end.
template <class T>
std::string toCharsDigits(T value) {
    char text[64];
    auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific).ptr;
    std::string digits;
    for (const char* at = text; at != end && *at != 'e'; ++at)
        if (std::isdigit(static_cast<unsigned char>(*at))) digits += *at;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    return digits;
}

// The significant digits of the writer's text.
std::string writtenDigits(const std::string& text) {
    std::string digits;
    for (char c : text.substr(0, text.find('e')))
        if (std::isdigit(static_cast<unsigned char>(c)) && (c != '0' || !digits.empty()))
            digits += c;
    while (digits.size() > 1 && digits.back() == '0') digits.pop_back();
    return digits;
}

TEST(ShortestNumbers, AreTheNearestOfTheFewestDigitsAsToCharsGivesThem) {
    using scene::gltf::shortestText;
    // Exactly between two texts of as many digits that both read back: the
    // even one.
    EXPECT_EQ(shortestText(7.89453125f), "7.8945312");
    EXPECT_EQ(shortestText(-4.09765625f), "-4.0976562");
    EXPECT_EQ(shortestText(3818658.25f), "3818658.2");
    EXPECT_EQ(shortestText(0x1.703072a1f06a3p+50), "1619313442668968.8");

    std::mt19937_64 random(29);
    for (int i = 0; i < 100000; ++i) {
        std::uint64_t bits = random();
        auto single = platform::bitCast<float>(static_cast<std::uint32_t>(bits));
        if (std::isfinite(single) && single != 0) {
            ASSERT_EQ(writtenDigits(shortestText(single)), toCharsDigits(single))
                << shortestText(single);
        }
        auto twice = platform::bitCast<double>(bits);
        if (std::isfinite(twice) && twice != 0) {
            ASSERT_EQ(writtenDigits(shortestText(twice)), toCharsDigits(twice))
                << shortestText(twice);
        }
    }
}

// --- What the writer refuses --------------------------------------------------

TEST(SceneFileWriter, RefusesWhatTheReaderWouldRefuseAndNothingElse) {
    struct Case {
        const char* name;
        std::function<void(scene::Scene&, scene::gltf::Limits&)> make;
        const char* reason;
    };
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Case cases[] = {
        {"a position that is not a number",
         [&](scene::Scene& s, auto&) { s.rootNode()->addChildNode(nodeAt(0, nan)); },
         "not a number"},
        {"an infinite angle",
         [](scene::Scene& s, auto&) {
             auto node = scene::Node::make();
             node->setRotation({0, 1, 0, std::numeric_limits<float>::infinity()});
             s.rootNode()->addChildNode(node);
         },
         "not a number"},
        {"a plane too large for a float",
         [](scene::Scene& s, auto&) {
             s.rootNode()->addChildNode(
                 scene::Node::nodeWithGeometry(scene::Plane::planeWithWidth(1e300, 1)));
         },
         "size is not a number"},
        {"more nodes than the limit",
         [](scene::Scene& s, auto& limits) {
             limits.maxNodes = 10;
             for (int i = 0; i < 10; ++i) s.rootNode()->addChildNode(scene::Node::make());
         },
         "more than 10 nodes"},
        {"a picture longer than the app makes one",
         [](scene::Scene& s, auto&) {
             s.rootNode()->addChildNode(sprite(patternImage(4097, 1, 1)));
         },
         "4097 × 1 pixels is larger"},
        {"more picture data than the budget",
         [](scene::Scene& s, auto& limits) {
             limits.maxTotalImagePixels = 150;
             for (int i = 0; i < 2; ++i)
                 s.rootNode()->addChildNode(sprite(patternImage(10, 10, i)));
         },
         "more picture data"},
        {"a description larger than the reader takes",
         [](scene::Scene& s, auto& limits) {
             limits.maxJsonBytes = 2000;
             for (int i = 0; i < 100; ++i) s.rootNode()->addChildNode(nodeAt(0.1f * i));
         },
         "more than the 2000"},
    };
    for (const auto& c : cases) {
        scene::Scene scene;
        scene::gltf::Limits limits;
        c.make(scene, limits);
        auto encoded = scene::gltf::encodeScene(scene, limits);
        ASSERT_FALSE(encoded.ok()) << c.name;
        EXPECT_NE(encoded.error().find(c.reason), std::string::npos)
            << c.name << ": " << encoded.error();
    }
}

// A drawing of 64 full-size photos and 100,000 sprites is within every
// limit the reader keeps, counted for the worst pictures (noise, which PNG
// cannot compress) with the writer's own accounting; the real thing is
// saved and read back at a sixteenth of the photo size, with the limits
// scaled to match.
TEST(SceneFileWriter, SavesSixtyFourFullSizePhotosAndAHundredThousandSprites) {
    scene::gltf::Limits limits;
    constexpr std::uint64_t side = 4096, photos = 64, sprites = 100'000;
    // PNG of noise: a filter byte a row, deflate's 5 bytes for each stored
    // block of 64 KiB, 12 for each IDAT chunk of 8 KiB and the headers.
    auto worstPng = [](std::uint64_t width, std::uint64_t height, std::uint64_t channels) {
        std::uint64_t raw = height * (1 + width * channels);
        return raw + raw / 65535 * 5 + raw / 8192 * 12 + 1024;
    };
    std::uint64_t pictureBytes = photos * worstPng(side, side, 3) + 64 * worstPng(90, 90, 4);
    std::uint64_t jsonBytes = 4096 + sprites * 80 + photos * 400;
    EXPECT_LE(pictureBytes + jsonBytes, limits.maxFileBytes);
    EXPECT_LE(jsonBytes, limits.maxJsonBytes);
    EXPECT_LE(photos * side * side + 64 * 90 * 90, limits.maxTotalImagePixels);
    EXPECT_EQ(static_cast<std::uint64_t>(limits.maxImageSide), side);
    EXPECT_GE(limits.maxNodes, sprites + photos + 1000);
    EXPECT_GE(limits.maxImages, photos + 64);

    // The same drawing with photos of 256 pixels, noise in every one.
    limits.maxImageSide = 256;
    limits.maxImagePixels = 256 * 256;
    limits.maxTotalImagePixels = 65 * 256 * 256;
    scene::Scene scene;
    for (int i = 0; i < 64; ++i) {
        graphics::BitmapFormat opaque;
        opaque.alphaInfo = graphics::AlphaInfo::noneSkipLast;
        auto bitmap = std::make_shared<graphics::Bitmap>(256, 256, opaque);
        auto pattern = patternBitmap(256, 256, 500 + i);
        std::memcpy(bitmap->data(), pattern->data(), bitmap->byteCount());
        // An opaque bitmap's alpha bytes mean nothing; they come back full.
        for (std::size_t k = 3; k < bitmap->byteCount(); k += 4) bitmap->data()[k] = 255;
        scene.rootNode()->addChildNode(photo(std::make_shared<graphics::Image>(bitmap, 1.0)));
    }
    auto emoji = patternImage(90, 90, 3);
    for (int i = 0; i < 100'000; ++i) {
        auto node = sprite(emoji);
        node->setPosition({i * 1e-5f, 0.5f, -1});
        scene.rootNode()->addChildNode(node);
    }
    auto encoded = scene::gltf::encodeScene(scene, limits);
    ASSERT_TRUE(encoded.ok()) << encoded.error();
    auto bytes = encoded.value().bytes();
    auto read = scene::gltf::decodeScene(bytes, limits);
    ASSERT_TRUE(read.ok()) << read.error();
    EXPECT_EQ(firstDifference(*scene.rootNode(), *read.value()->rootNode()), "");

    // One photo more than the budget is refused by both.
    limits.maxTotalImagePixels = 64 * 256 * 256;
    EXPECT_FALSE(scene::gltf::encodeScene(scene, limits).ok());
    EXPECT_FALSE(scene::gltf::decodeScene(bytes, limits).ok());
}

}  // namespace
