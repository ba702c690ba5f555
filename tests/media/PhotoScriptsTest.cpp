#include <gtest/gtest.h>

#include <cmath>

#include "support/ScriptFiles.h"

namespace {

using nlohmann::json;
using testsupport::runScript;
using testsupport::runScriptFile;

const json& children(const json& dump) { return dump["scene"]["rootNode"]["children"]; }

TEST(Photos, EveryOrientationIsPlacedUprightAMetreWideAheadOfTheCamera) {
    auto run = runScript(testsupport::withSourcePaths(testsupport::scriptText("photos.scr")));
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& d = run.dumps[0];
    ASSERT_EQ(children(d).size(), 4u);
    ASSERT_EQ(d["lines"].size(), 4u);
    for (std::size_t i = 0; i < 4; ++i) {
        const auto& photo = children(d)[i];
        SCOPED_TRACE(i);
        EXPECT_EQ(d["lines"][i], json::array({photo["id"]})) << "each photo is a stroke of its own";
        EXPECT_EQ(photo["position"], json::parse("[0, 0, -1.1]"));
        EXPECT_EQ(photo["rotation"], json::parse("[0, 0, 0, 0]"));
        EXPECT_EQ(photo["opacity"], 0.9);
        EXPECT_TRUE(photo["constraints"].empty());
        const auto& plane = photo["geometry"];
        EXPECT_EQ(plane["width"], 1.0);
        EXPECT_NEAR(plane["height"].get<double>(), 400.0 / 300.0, 1e-12)
            << "taller than wide, like the upright photo";
        EXPECT_EQ(plane["material"]["doubleSided"], true);
        const auto& image = plane["material"]["image"];
        EXPECT_EQ(image["width"], 300);
        EXPECT_EQ(image["height"], 400);
        EXPECT_EQ(image["orientation"], "up");
        EXPECT_EQ(image["scale"], 1);
    }
}

TEST(Photos, TakeTheCamerasDirectionAtPlacement) {
    auto run = runScript(testsupport::withSourcePaths(testsupport::scriptText("photos.scr")));
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& turned = children(run.dumps[1])[4];
    // 1.1 m along the turned camera's −z from (0.5, 0.2, 1): yaw 90° looks
    // along −x, pitch 10° tilts it up.
    double pitch = 10 * M_PI / 180;
    EXPECT_NEAR(turned["position"][0].get<double>(), 0.5 - 1.1 * std::cos(pitch), 1e-5);
    EXPECT_NEAR(turned["position"][1].get<double>(), 0.2 + 1.1 * std::sin(pitch), 1e-5);
    EXPECT_NEAR(turned["position"][2].get<double>(), 1.0, 1e-5);
    EXPECT_GT(turned["rotation"][3].get<double>(), 1.5) << "turned with the camera";
    // Undo takes the newest photo and leaves the others.
    const auto& after = run.dumps[2];
    EXPECT_EQ(children(after).size(), 4u);
    EXPECT_EQ(after["lines"].size(), 4u);
}

TEST(Photos, TwoPhotosFromAnUnmovedCameraHangInOnePlace) {
    std::string pick = "down 30 820\nup\nchoose #1\npick tests/data/photo-exif-1.jpg\n";
    auto run = runScript(testsupport::withSourcePaths(
        "launch\npose at 1 0 0 yaw 30 pitch -20\nframe\n" + pick + pick + "dump\n"));
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& photos = children(run.dumps[0]);
    ASSERT_EQ(photos.size(), 2u);
    EXPECT_EQ(photos[0]["position"], photos[1]["position"]);
    EXPECT_EQ(photos[0]["rotation"], photos[1]["rotation"]);
}

TEST(Photos, BeforeTheFirstFrameAPhotoSitsAtTheOriginAndIsStillFiled) {
    auto run = runScript(testsupport::withSourcePaths(
        "launch\ndown 30 820\nup\nchoose #1\npick tests/data/photo-no-exif.jpg\ndump\n"));
    ASSERT_EQ(run.exitStatus, 0) << run.errors;
    const auto& photo = children(run.dumps[0])[0];
    EXPECT_EQ(photo["position"], json::parse("[0, 0, 0]"));
    EXPECT_EQ(run.dumps[0]["lines"].size(), 1u);
}

TEST(Photos, AFileThatIsNotAPictureIsRefusedAndStopsTheScript) {
    for (const char* bad :
         {"not-a-picture.jpg", "truncated.jpg", "huge-claim.png", "garbage.bin", "missing.jpg"}) {
        auto run = runScript(testsupport::withSourcePaths(
            std::string("launch\nframe\ndown 30 820\nup\nchoose #1\ndump\npick tests/data/") + bad +
            "\ndump\n"));
        EXPECT_EQ(run.exitStatus, 1) << bad << ": " << run.errors;
        EXPECT_NE(run.errors.find("line 7: pick: "), std::string::npos) << run.errors;
        EXPECT_NE(run.errors.find(bad), std::string::npos) << run.errors;
        ASSERT_EQ(run.dumps.size(), 1u) << bad;
        EXPECT_EQ(run.dumps[0]["presented"]["type"], "imagePicker") << bad;
    }
}

}  // namespace
