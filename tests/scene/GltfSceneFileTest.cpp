// The scene file as the app uses it: a scene written to a file and read
// back is the same graph, bit for bit; a save that fails leaves the earlier
// file as it was.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <bit>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <limits>
#include <numbers>

#include "SceneFiles.h"
#include "platform/scene/Scene.h"
#include "platform/scene/gltf/SceneDecoder.h"
#include "platform/scene/gltf/SceneEncoder.h"
#include "support/Scripts.h"

namespace {
using scenefiles::firstDifference;
using scenefiles::patternImage;
using scenefiles::photo;
using scenefiles::sprite;

class SceneFileTest : public testing::Test {
protected:
    void SetUp() override {
        const auto* info = testing::UnitTest::GetInstance()->current_test_info();
        folder =
            testsupport::freshDirectory(std::string(info->test_suite_name()) + "-" + info->name());
        file = folder / "scrawlet.scn";
    }

    // Writes `scene`, reads it back and expects the same graph.
    std::shared_ptr<scene::Scene> roundTrip(const scene::Scene& scene) {
        auto written = scene.writeToUrl(file);
        EXPECT_TRUE(written.ok()) << (written.ok() ? "" : written.error());
        auto read = scene::Scene::sceneWithUrl(file);
        EXPECT_TRUE(read.ok()) << (read.ok() ? "" : read.error());
        if (!read.ok()) return nullptr;
        EXPECT_EQ(firstDifference(*scene.rootNode(), *read.value()->rootNode()), "");
        return read.value();
    }

    std::filesystem::path folder;
    std::filesystem::path file;
};

// --- Round trips ---------------------------------------------------------------

TEST_F(SceneFileTest, RoundTripKeepsHierarchyAndChildOrder) {
    scene::Scene scene;
    auto image = patternImage(8, 8, 1);
    auto container = scene::Node::make();
    auto inner = scene::Node::make();
    for (int i = 0; i < 3; ++i) {
        auto node = sprite(image);
        node->setPosition({static_cast<float>(i), 0, 0});
        inner->addChildNode(node);
    }
    container->addChildNode(sprite(image));
    container->addChildNode(inner);
    container->addChildNode(scene::Node::make());
    for (int i = 0; i < 4; ++i) {
        auto node = sprite(image);
        node->setPosition({0, static_cast<float>(i), 0});
        scene.rootNode()->addChildNode(node);
        if (i == 1) scene.rootNode()->addChildNode(container);
    }
    auto read = roundTrip(scene);
    ASSERT_NE(read, nullptr);
    ASSERT_EQ(read->rootNode()->childNodes().size(), 5u);
    EXPECT_EQ(read->rootNode()->childNodes()[2]->childNodes().size(), 3u);
    EXPECT_EQ(read->rootNode()->childNodes()[2]->childNodes()[1]->childNodes().size(), 3u);
    // Parents are set, so the loaded nodes can be moved as the app does.
    EXPECT_EQ(read->rootNode()->childNodes()[2]->childNodes()[1]->parentNode(),
              read->rootNode()->childNodes()[2].get());
}

TEST_F(SceneFileTest, RoundTripKeepsPositionsBitForBit) {
    scene::Scene scene;
    const float values[][3] = {
        {0.1f, -0.2f, 0.3f},
        {-0.0f, 0.0f, -0.0f},
        {std::numeric_limits<float>::denorm_min(), -std::numeric_limits<float>::min(), 1e-30f},
        {std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(), 16777217.0f},
        {1.0f / 3.0f, 2.0f / 3.0f, std::numbers::pi_v<float>},
    };
    for (const auto& v : values) {
        auto node = scene::Node::make();
        node->setPosition({v[0], v[1], v[2]});
        scene.rootNode()->addChildNode(node);
    }
    roundTrip(scene);
}

TEST_F(SceneFileTest, RoundTripKeepsAxisAngleRotationsBitForBit) {
    scene::Scene scene;
    const scene::Vector4 rotations[] = {
        {0, 1, 0, std::numbers::pi_v<float> / 2},
        {0, 2, 0, 1.5f},                 // an axis that is not unit length
        {0.3f, -0.4f, 0.5f, -7.25f},     // a negative angle beyond a turn
        {0, 0, 0, 1},                    // no axis
        {1, 0, 0, 0},                    // no angle
        {-0.0f, 0, -0.0f, -0.0f},        // signed zeros
        {1e-20f, 1e-20f, 1e-20f, 3.0f},  // a tiny axis
        {0.57735026f, 0.57735026f, 0.57735026f, std::numbers::pi_v<float>},
    };
    for (auto r : rotations) {
        auto node = sprite(patternImage(4, 4, 2));
        node->setRotation(r);
        scene.rootNode()->addChildNode(node);
    }
    roundTrip(scene);
}

TEST_F(SceneFileTest, RoundTripKeepsOpacity) {
    scene::Scene scene;
    for (float opacity : {0.0f, 0.9f, 0.123456789f, 1.0f, 1.5f, -0.25f}) {
        auto node = scene::Node::make();
        node->setOpacity(opacity);
        node->addChildNode(sprite(patternImage(4, 4, 3)));
        scene.rootNode()->addChildNode(node);
    }
    roundTrip(scene);
}

TEST_F(SceneFileTest, RoundTripKeepsPlaneSizesAsDoubles) {
    scene::Scene scene;
    const double sizes[][2] = {
        {0.1, 0.1}, {1.0, 1.0 / 3.0}, {1e-300, 123456789.123456789}, {0, 0.7}};
    for (const auto& size : sizes) {
        auto plane = scene::Plane::planeWithWidth(size[0], size[1]);
        scene.rootNode()->addChildNode(scene::Node::nodeWithGeometry(plane));
    }
    roundTrip(scene);
}

TEST_F(SceneFileTest, RoundTripKeepsDoubleSidedMaterialsAndPlanesWithoutPictures) {
    scene::Scene scene;
    for (bool doubleSided : {false, true}) {
        auto plane = scene::Plane::planeWithWidth(0.5, 0.25);
        plane->firstMaterial()->doubleSided = doubleSided;
        scene.rootNode()->addChildNode(scene::Node::nodeWithGeometry(plane));
    }
    auto bare = scene::Plane::planeWithWidth(0.2, 0.2);
    bare->setMaterials({});
    scene.rootNode()->addChildNode(scene::Node::nodeWithGeometry(bare));
    scene.rootNode()->addChildNode(photo(patternImage(40, 30, 4, 1)));

    auto read = roundTrip(scene);
    ASSERT_NE(read, nullptr);
    const auto* plane =
        dynamic_cast<const scene::Plane*>(read->rootNode()->childNodes()[2]->geometry().get());
    ASSERT_NE(plane, nullptr);
    EXPECT_TRUE(plane->materials().empty());
}

TEST_F(SceneFileTest, RoundTripKeepsPhotosAtFullResolution) {
    scene::Scene scene;
    // Larger than the 4096 pixels a photo is scaled down to on decoding.
    auto wide = std::make_shared<graphics::Image>(scenefiles::patternBitmap(4500, 3, 5), 1.0);
    scene.rootNode()->addChildNode(photo(patternImage(640, 480, 6, 1)));
    scene.rootNode()->addChildNode(photo(wide));
    roundTrip(scene);
}

TEST_F(SceneFileTest, RoundTripKeepsEveryPremultipliedPixelValue) {
    // Every colour value under every alpha: PNG keeps alpha straight, so
    // each pixel is divided by its alpha on the way out and multiplied on
    // the way in, and must come back the same.
    auto bitmap = std::make_shared<graphics::Bitmap>(256, 256);
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c) {
            auto v = static_cast<std::uint8_t>(std::min(a, c));
            bitmap->setPixel(a, c,
                             {v, static_cast<std::uint8_t>(v / 2),
                              static_cast<std::uint8_t>(a - v / 3), static_cast<std::uint8_t>(a)});
        }
    scene::Scene scene;
    scene.rootNode()->addChildNode(sprite(std::make_shared<graphics::Image>(bitmap, 1.0)));
    roundTrip(scene);
}

TEST_F(SceneFileTest, RoundTripKeepsPictureScaleAndOrientation) {
    using graphics::ImageOrientation;
    scene::Scene scene;
    auto bitmap = scenefiles::patternBitmap(6, 4, 7);
    double scale = 1;
    for (auto orientation :
         {ImageOrientation::up, ImageOrientation::down, ImageOrientation::left,
          ImageOrientation::right, ImageOrientation::upMirrored, ImageOrientation::downMirrored,
          ImageOrientation::leftMirrored, ImageOrientation::rightMirrored}) {
        scale += 0.7;
        auto image = std::make_shared<graphics::Image>(bitmap, scale, orientation);
        scene.rootNode()->addChildNode(sprite(image));
    }
    roundTrip(scene);
}

TEST_F(SceneFileTest, RoundTripKeepsOpaqueBitmaps) {
    graphics::BitmapFormat format;
    format.alphaInfo = graphics::AlphaInfo::noneSkipLast;
    auto bitmap = std::make_shared<graphics::Bitmap>(5, 5, format);
    for (int y = 0; y < 5; ++y)
        for (int x = 0; x < 5; ++x)
            bitmap->setPixel(
                x, y,
                {static_cast<std::uint8_t>(x * 50), static_cast<std::uint8_t>(y * 50), 7, 255});
    scene::Scene scene;
    scene.rootNode()->addChildNode(photo(std::make_shared<graphics::Image>(bitmap, 2.0)));
    roundTrip(scene);
}

TEST_F(SceneFileTest, RoundTripKeepsBillboardConstraints) {
    using Axes = scene::BillboardConstraint::Axes;
    scene::Scene scene;
    for (auto axes : {Axes::all, Axes::y, Axes::x, static_cast<Axes>(5)}) {
        auto constraint = std::make_shared<scene::BillboardConstraint>();
        constraint->setFreeAxes(axes);
        auto node = scene::Node::make();
        node->setConstraints({constraint});
        scene.rootNode()->addChildNode(node);
    }
    auto twice = scene::Node::make();
    twice->setConstraints({std::make_shared<scene::BillboardConstraint>(),
                           std::make_shared<scene::BillboardConstraint>()});
    scene.rootNode()->addChildNode(twice);
    scene.rootNode()->addChildNode(scene::Node::make());
    roundTrip(scene);
}

TEST_F(SceneFileTest, RoundTripKeepsTheRootNodesOwnValues) {
    scene::Scene scene;
    scene.rootNode()->setPosition({1, 2, 3});
    scene.rootNode()->setRotation({0, 0, 1, 0.5f});
    scene.rootNode()->setOpacity(0.75f);
    scene.rootNode()->addChildNode(sprite(patternImage(4, 4, 8)));
    roundTrip(scene);
}

TEST_F(SceneFileTest, LoadedSpritesWithTheSamePixelsShareOneBitmap) {
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

TEST_F(SceneFileTest, RoundTripKeepsNestingAsDeepAsALongHistoryOfLoads) {
    scene::Scene scene;
    auto node = scene.rootNode();
    for (int level = 0; level < 1000; ++level) {
        auto child = scene::Node::make();
        child->setPosition({static_cast<float>(level), 0, 0});
        node->addChildNode(child);
        node = child;
    }
    node->addChildNode(sprite(patternImage(4, 4, 10)));
    // 1001 levels below the root, counting the sprite: one too many.
    auto refused = scene.writeToUrl(file);
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().find("1000 levels"), std::string::npos) << refused.error();
    EXPECT_FALSE(std::filesystem::exists(file));

    node->childNodes().front()->removeFromParentNode();
    roundTrip(scene);
}

TEST_F(SceneFileTest, SavingALoadedDrawingNestsItOneLevelDeeper) {
    // What the app does: load, put the top-level nodes under a new
    // container, save again, load again.
    scene::Scene scene;
    auto image = patternImage(8, 8, 11);
    scene.rootNode()->addChildNode(sprite(image));
    scene.rootNode()->addChildNode(photo(patternImage(20, 10, 12, 1)));
    ASSERT_TRUE(scene.writeToUrl(file).ok());

    auto loaded = scene::Scene::sceneWithUrl(file);
    ASSERT_TRUE(loaded.ok()) << loaded.error();
    scene::Scene again;
    auto container = scene::Node::make();
    auto children = loaded.value()->rootNode()->childNodes();
    for (const auto& child : children) container->addChildNode(child);
    again.rootNode()->addChildNode(container);
    again.rootNode()->addChildNode(sprite(image));

    auto read = roundTrip(again);
    ASSERT_NE(read, nullptr);
    EXPECT_EQ(firstDifference(*scene.rootNode(), *read->rootNode()->childNodes()[0]), "");
}

// --- Saves that fail ---------------------------------------------------------------

class FailedSaveTest : public SceneFileTest {
protected:
    void SetUp() override {
        SceneFileTest::SetUp();
        earlier.rootNode()->addChildNode(sprite(patternImage(8, 8, 20)));
        ASSERT_TRUE(earlier.writeToUrl(file).ok());
        earlierBytes = scenefiles::readBytes(file);
        for (int i = 0; i < 50; ++i)
            larger.rootNode()->addChildNode(sprite(patternImage(32, 32, 100 + i)));
    }

    // The earlier drawing is still there, whole, and nothing else is left
    // beside it.
    void expectEarlierFileIntact() {
        EXPECT_EQ(scenefiles::readBytes(file), earlierBytes);
        auto read = scene::Scene::sceneWithUrl(file);
        ASSERT_TRUE(read.ok()) << read.error();
        EXPECT_EQ(firstDifference(*earlier.rootNode(), *read.value()->rootNode()), "");
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            EXPECT_TRUE(entry.path() == file || entry.is_directory())
                << "left behind: " << entry.path();
    }

    scene::Scene earlier;
    scene::Scene larger;
    std::vector<std::uint8_t> earlierBytes;
};

TEST_F(FailedSaveTest, AFolderThatIsAFileIsReported) {
    auto notAFolder = folder / "plain-file";
    scenefiles::writeBytes(notAFolder, {1, 2, 3});
    auto written = larger.writeToUrl(notAFolder / "scrawlet.scn");
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.error().find("plain-file"), std::string::npos) << written.error();
    EXPECT_NE(written.error().find("Not a directory"), std::string::npos) << written.error();
    EXPECT_EQ(scenefiles::readBytes(notAFolder), (std::vector<std::uint8_t>{1, 2, 3}));
}

TEST_F(FailedSaveTest, ATemporaryFileThatCannotBeMadeLeavesTheEarlierFile) {
    // The temporary file's place is taken by a folder: creating it fails,
    // for root as for anyone.
    auto blocker = file;
    blocker += ".tmp-" + std::to_string(::getpid());
    std::filesystem::create_directory(blocker);
    auto written = larger.writeToUrl(file);
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.error().find("cannot create"), std::string::npos) << written.error();
    std::filesystem::remove(blocker);
    expectEarlierFileIntact();
}

TEST_F(FailedSaveTest, AFullDiskLeavesTheEarlierFile) {
    // A file-size limit makes writing fail part-way, as a full disk does,
    // whoever runs the test.
    auto handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    rlimit small = saved;
    small.rlim_cur = static_cast<rlim_t>(earlierBytes.size());
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    auto written = larger.writeToUrl(file);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, handler);

    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.error().find("cannot write"), std::string::npos) << written.error();
    expectEarlierFileIntact();
}

TEST_F(FailedSaveTest, ASceneTheFileCannotHoldLeavesTheEarlierFile) {
    auto broken = sprite(patternImage(4, 4, 21));
    broken->setPosition({std::numeric_limits<float>::quiet_NaN(), 0, 0});
    larger.rootNode()->addChildNode(broken);
    auto written = larger.writeToUrl(file);
    ASSERT_FALSE(written.ok());
    EXPECT_NE(written.error().find("not a number"), std::string::npos) << written.error();
    expectEarlierFileIntact();
}

TEST_F(FailedSaveTest, ASuccessfulSaveReplacesTheEarlierFile) {
    ASSERT_TRUE(larger.writeToUrl(file).ok());
    EXPECT_NE(scenefiles::readBytes(file), earlierBytes);
    auto read = scene::Scene::sceneWithUrl(file);
    ASSERT_TRUE(read.ok()) << read.error();
    EXPECT_EQ(firstDifference(*larger.rootNode(), *read.value()->rootNode()), "");
}

// --- Loads that fail -------------------------------------------------------------

TEST_F(SceneFileTest, AMissingFileIsRefusedWithItsName) {
    auto read = scene::Scene::sceneWithUrl(file);
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error().find("scrawlet.scn"), std::string::npos) << read.error();
    EXPECT_NE(read.error().find("No such file"), std::string::npos) << read.error();
}

// --- A large drawing ------------------------------------------------------------------

// Ten thousand sprites in a hundred strokes of ten emoji, each sprite with a
// bitmap of its own as the app draws them. Prints how long saving and
// loading take:
//   build/tests/test_scene --gtest_filter='*TenThousandSprites*'
TEST_F(SceneFileTest, TenThousandSpritesRoundTrip) {
    using Clock = std::chrono::steady_clock;
    std::vector<std::shared_ptr<graphics::Bitmap>> emoji;
    for (int kind = 0; kind < 10; ++kind)
        emoji.push_back(scenefiles::patternBitmap(90, 90, 1000 + kind));
    scene::Scene scene;
    for (int stroke = 0; stroke < 100; ++stroke) {
        // A bitmap object of its own for each stroke, same pixels as its
        // emoji: the file must find that they are the same.
        auto copy = std::make_shared<graphics::Bitmap>(90, 90);
        std::memcpy(copy->data(), emoji[static_cast<std::size_t>(stroke % 10)]->data(),
                    copy->byteCount());
        auto image = std::make_shared<graphics::Image>(copy, 3.0);
        for (int i = 0; i < 100; ++i) {
            auto node = sprite(image);
            node->setPosition({stroke * 0.01f, i * 0.013f, -0.5f - i * 0.001f});
            scene.rootNode()->addChildNode(node);
        }
    }

    auto start = Clock::now();
    auto written = scene.writeToUrl(file);
    auto saved = Clock::now();
    ASSERT_TRUE(written.ok()) << written.error();
    auto read = scene::Scene::sceneWithUrl(file);
    auto loaded = Clock::now();
    ASSERT_TRUE(read.ok()) << read.error();

    EXPECT_EQ(read.value()->rootNode()->childNodes().size(), 10000u);
    EXPECT_EQ(firstDifference(*scene.rootNode(), *read.value()->rootNode()), "");
    auto bytes = scenefiles::readBytes(file);
    auto glb = scenefiles::splitGlb(bytes);
    EXPECT_EQ(glb.json["images"].size(), 10u);

    // The same work in memory, without the file system's part.
    auto encodeStart = Clock::now();
    auto encoded = scene::gltf::encodeScene(scene);
    auto encodeEnd = Clock::now();
    auto decoded = scene::gltf::decodeScene(bytes);
    auto decodeEnd = Clock::now();
    ASSERT_TRUE(encoded.ok() && decoded.ok());

    auto ms = [](auto d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf(
        "10000 sprites: %zu bytes (JSON %zu); saved in %.1f ms (encoding %.1f), loaded in %.1f ms "
        "(decoding %.1f)\n",
        bytes.size(), glb.json.dump().size(), ms(saved - start), ms(encodeEnd - encodeStart),
        ms(loaded - saved), ms(decodeEnd - encodeEnd));
}

}  // namespace
