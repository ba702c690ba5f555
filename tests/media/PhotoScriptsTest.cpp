#include <gtest/gtest.h>

#include <cmath>

#include "support/Scripts.h"

namespace {

using nlohmann::json;
using testsupport::runScript;

using testsupport::children;

// The menu's Add Photo, and the test picture `name` picked.
std::string addPhoto(const std::string& name) {
    return "down 30 820\nup\nchoose #1\npick " + testsupport::testData(name).string() + "\n";
}

// Four photos of different EXIF orientations, each placed upright, a metre
// wide, 1.1 m ahead of the camera and filed as a stroke of its own; then
// one from a turned and moved camera, facing it; then undo.
TEST(Photos, ArePlacedUprightAMetreWideAheadOfTheCamera) {
    auto run =
        runScript("launch\nframe\n" + addPhoto("photo-exif-1.jpg") + addPhoto("photo-exif-3.jpg") +
                  addPhoto("photo-exif-6.jpg") + addPhoto("photo-exif-8.jpg") +
                  "dump\npose at 0.5 0.2 1 yaw 90 pitch 10\nframe\n" +
                  addPhoto("photo-exif-6.jpg") + "dump\ndown 300 820\nup\ndump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& d = run.dumps[0];
    ASSERT_EQ(children(d).size(), 4u);
    ASSERT_EQ(d["lines"].size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& photo = children(d)[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(d["lines"][i], json::array({photo["id"]}));
        EXPECT_EQ(testsupport::mismatches(photo, json::parse(R"({"position": [0, 0, -1.1],
            "rotation": [0, 0, 0, 0], "opacity": 0.9, "constraints": [], "geometry": {"width": 1,
            "material": {"doubleSided": true, "image": {"width": 300, "height": 400,
            "orientation": "up", "scale": 1}}}})")),
                  "");
        EXPECT_NEAR(photo["geometry"]["height"].get<double>(), 400.0 / 300.0, 1e-12)
            << "taller than wide, like the upright photo";
    }
    const auto& turned = children(run.dumps[1])[4];
    // 1.1 m along the turned camera's −z from (0.5, 0.2, 1): yaw 90° looks
    // along −x, pitch 10° tilts it up.
    double pitch = 10 * M_PI / 180;
    EXPECT_NEAR(turned["position"][0].get<double>(), 0.5 - 1.1 * std::cos(pitch), 1e-5);
    EXPECT_NEAR(turned["position"][1].get<double>(), 0.2 + 1.1 * std::sin(pitch), 1e-5);
    EXPECT_NEAR(turned["position"][2].get<double>(), 1.0, 1e-5);
    EXPECT_GT(turned["rotation"][3].get<double>(), 1.5) << "turned with the camera";
    // Undo takes the newest photo and leaves the others.
    EXPECT_EQ(children(run.dumps[2]).size(), 4u);
    EXPECT_EQ(run.dumps[2]["lines"].size(), 4u);
}

// Before the first frame a photo sits at the origin and is still filed;
// two photos from an unmoved camera hang in one place.
TEST(Photos, HangWhereTheCameraIsOrAtTheOriginBeforeTheFirstFrame) {
    std::string pick = addPhoto("photo-exif-1.jpg");
    auto run = runScript("launch\n" + pick + "dump\npose at 1 0 0 yaw 30 pitch -20\nframe\n" +
                         pick + pick + "dump\n");
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    EXPECT_EQ(children(run.dumps[0])[0]["position"], json::parse("[0, 0, 0]"));
    EXPECT_EQ(run.dumps[0]["lines"].size(), 1u);
    const auto& photos = children(run.dumps[1]);
    ASSERT_EQ(photos.size(), 3u);
    EXPECT_NE(photos[1]["position"], photos[0]["position"]);
    EXPECT_EQ(photos[1]["position"], photos[2]["position"]);
    EXPECT_EQ(photos[1]["rotation"], photos[2]["rotation"]);
}

}  // namespace
