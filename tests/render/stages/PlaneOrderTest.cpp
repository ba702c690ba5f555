// Both passes' orders as they follow changes (planes added, the camera
// moved a little or far, a photo that divides the order) are the orders
// made afresh from the same scene and point of view.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "platform/render/PlaneOrder.h"
#include "stages/StagePictures.h"
#include "stages/StageScene.h"

namespace {

using scene::Vector3;

struct Pose {
    Vector3 eye, forward;
};

Pose poseOf(float x, float yaw) { return {{x, 0, 0}, {-std::sin(yaw), 0, -std::cos(yaw)}}; }

// An order made afresh from the scene as it is.
render::PlaneOrder fresh(stagetest::StageScene& stage, const Pose& pose) {
    render::PlaneOrder order;
    order.update(stage.cache, stage.facts, pose.eye, pose.forward);
    order.mergeWaiting();
    return order;
}

void expectSameOrders(const render::PlaneOrder& order, stagetest::StageScene& stage,
                      const Pose& pose) {
    // The planes that wait for a frame drawn whole joined, on a copy: the
    // next step goes on from the order as it was.
    render::PlaneOrder kept = order;
    kept.mergeWaiting();
    render::PlaneOrder afresh = fresh(stage, pose);
    EXPECT_EQ(kept.blended(), afresh.blended());
    // Without a photo dividing it, the blended order is every plane's sort
    // key, sorted.
    if (!afresh.hasDividers()) {
        std::vector<render::SortItem> keys;
        const auto& entries = stage.cache.entries();
        for (std::size_t slot = 0; slot < entries.size(); ++slot)
            if (entries[slot].look != render::SceneCache::none)
                keys.push_back(
                    render::sortItem(scene::dot(entries[slot].centre - pose.eye, pose.forward),
                                     static_cast<std::uint32_t>(slot)));
        std::sort(keys.begin(), keys.end());
        EXPECT_EQ(afresh.blended(), keys);
    }
    EXPECT_EQ(kept.depthNear(), afresh.depthNear());
    EXPECT_EQ(kept.depthFar(), afresh.depthFar());
    // The opaque order is kept while the camera stays near where it was
    // made: the same planes, each once.
    std::vector<std::uint32_t> a = kept.opaque(), b = afresh.opaque();
    std::sort(a.begin(), a.end());
    std::sort(b.begin(), b.end());
    EXPECT_EQ(a, b);
}

// Sprites at one distance from the camera in strokes, as the program
// places them, of a few pictures, some see-through.
void scribble(stagetest::StageScene& stage, int count, unsigned seed) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> angle(-0.5f, 0.5f);
    const std::vector<std::shared_ptr<graphics::Bitmap>> pictures = {
        stagetest::disc(16, 8), stagetest::ring(16, 3, 8),
        stagetest::pictureOf(8, 8, [](int, int) { return 255; }),
        stagetest::pictureOf(8, 8, [](int, int) { return 100; })};
    for (int i = 0; i < count; ++i) {
        const float a = angle(random), b = angle(random);
        const auto& picture = pictures[static_cast<std::size_t>(i % 4)];
        stage.add(picture,
                  {1.234f * std::sin(a), 1.234f * std::sin(b), -1.234f * std::cos(a) * std::cos(b)},
                  0.05, 0.05);
    }
}

TEST(PlaneOrder, OrdersThatFollowChangesAreTheOrdersMadeAfresh) {
    struct Step {
        const char* name;
        int added;
        Pose pose;
        bool reordered;
    };
    const Step steps[] = {
        {"the first order", 400, poseOf(0, 0), true},
        {"planes added", 50, poseOf(0, 0), true},
        {"moved a centimetre", 0, {{0.01f, 0, -0.01f}, {0, 0, -1}}, true},
        {"turned a little", 0, poseOf(0.01f, 0.002f), true},
        {"planes added while turning", 20, poseOf(0.01f, 0.003f), true},
        {"turned and moved far", 0, poseOf(0.5f, 0.4f), true},
        {"planes added there", 30, poseOf(0.5f, 0.4f), true},
        {"nothing changed", 0, poseOf(0.5f, 0.4f), false},
    };
    stagetest::StageScene stage;
    render::PlaneOrder order;
    unsigned seed = 1;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        scribble(stage, step.added, seed++);
        stage.refresh();
        const bool current = order.current(stage.cache, step.pose.eye, step.pose.forward);
        EXPECT_EQ(!current, step.reordered);
        if (!current) order.update(stage.cache, stage.facts, step.pose.eye, step.pose.forward);
        EXPECT_EQ(order.planes(), stage.cache.planes());
        expectSameOrders(order, stage, step.pose);
    }
}

TEST(PlaneOrder, OnlyWhatMovedIsMarkedChanged) {
    stagetest::StageScene stage;
    scribble(stage, 200, 5);
    stage.refresh();
    render::PlaneOrder order;
    const Pose pose = poseOf(0, 0);
    order.update(stage.cache, stage.facts, pose.eye, pose.forward);
    EXPECT_EQ(order.blendedChangedFrom(), 0u);
    EXPECT_EQ(order.blendedChangedTo(), 200u);
    order.listsBuilt();
    EXPECT_GE(order.blendedChangedFrom(), order.blendedChangedTo());
    EXPECT_EQ(order.opaqueChangedFrom(), order.opaque().size());
    // Moved along the view: every depth changes by as much, the order not.
    const Pose along{{0, 0, -0.01f}, pose.forward};
    order.update(stage.cache, stage.facts, along.eye, along.forward);
    const std::vector<render::SortItem> before = order.blended();
    EXPECT_GE(order.blendedChangedFrom(), order.blendedChangedTo());
    // Turned: the places that changed lie inside the range marked.
    order.listsBuilt();
    const Pose turned = poseOf(0, 0.01f);
    order.update(stage.cache, stage.facts, turned.eye, turned.forward);
    const auto& after = order.blended();
    ASSERT_EQ(after.size(), before.size());
    std::size_t first = after.size(), end = 0;
    for (std::size_t i = 0; i < after.size(); ++i)
        if (render::slotOf(after[i]) != render::slotOf(before[i]))
            first = std::min(first, i), end = i + 1;
    ASSERT_LT(first, end);
    EXPECT_LE(order.blendedChangedFrom(), first);
    EXPECT_GE(order.blendedChangedTo(), end);
    expectSameOrders(order, stage, turned);
}

TEST(PlaneOrder, ASeeThroughPhotoOrdersEverythingAfresh) {
    stagetest::StageScene stage;
    scribble(stage, 100, 9);
    auto photo = stagetest::pictureOf(8, 8, [](int, int) { return 255; });
    stage.add(photo, {0.1f, 0, -1.3f}, 0.5, 0.4, false, 0.5f);
    stage.refresh();
    render::PlaneOrder order;
    order.update(stage.cache, stage.facts, {0, 0, 0}, {0, 0, -1});
    EXPECT_TRUE(order.hasDividers());
    for (const Pose& pose : {poseOf(0.01f, 0), poseOf(0.01f, 0.3f)}) {
        order.update(stage.cache, stage.facts, pose.eye, pose.forward);
        expectSameOrders(order, stage, pose);
    }
    scribble(stage, 20, 10);
    stage.refresh();
    order.update(stage.cache, stage.facts, poseOf(0.01f, 0.3f).eye, poseOf(0.01f, 0.3f).forward);
    expectSameOrders(order, stage, poseOf(0.01f, 0.3f));
}

// Where the opaque pass draws opaque planes' soft edges by sample coverage,
// the blended order is that of the see-through planes alone, the opaque
// order is what it is without coverage, and the depth range still spans
// every plane.
TEST(PlaneOrder, WithCoverageOnlySeeThroughPlanesAreInTheBlendedOrder) {
    struct Step {
        const char* name;
        int added;
        Pose pose;
    };
    const Step steps[] = {
        {"the first order", 400, poseOf(0, 0)},
        {"planes added", 50, poseOf(0, 0)},
        {"moved a centimetre", 0, {{0.01f, 0, -0.01f}, {0, 0, -1}}},
        {"turned a little", 0, poseOf(0.01f, 0.002f)},
        {"turned and moved far", 0, poseOf(0.5f, 0.4f)},
        {"planes added there", 30, poseOf(0.5f, 0.4f)},
        {"planes added while turning", 20, poseOf(0.5f, 0.41f)},
    };
    stagetest::StageScene stage;
    render::PlaneOrder order;
    order.setCoverage(true);
    unsigned seed = 21;
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        scribble(stage, step.added, seed++);
        // And some faded sprites among them.
        for (int i = 0; i < step.added / 10; ++i)
            stage.add(stagetest::disc(16, 8), {0.01f * static_cast<float>(i), 0.02f, -1.234f}, 0.05,
                      0.05, true, 0.6f);
        stage.refresh();
        order.update(stage.cache, stage.facts, step.pose.eye, step.pose.forward);
        EXPECT_EQ(order.planes(), stage.cache.planes());
        render::PlaneOrder kept = order;
        kept.mergeWaiting();
        const render::PlaneOrder whole = fresh(stage, step.pose);
        std::vector<render::SortItem> seeThrough;
        for (render::SortItem item : whole.blended())
            if (!stage.facts[stage.cache.entries()[render::slotOf(item)].look].opaque)
                seeThrough.push_back(item);
        ASSERT_FALSE(seeThrough.empty());
        EXPECT_EQ(kept.blended(), seeThrough);
        std::vector<std::uint32_t> a = kept.opaque(), b = whole.opaque();
        EXPECT_EQ(a.size() + seeThrough.size(), stage.cache.planes());
        std::sort(a.begin(), a.end());
        std::sort(b.begin(), b.end());
        EXPECT_EQ(a, b);
        // The depth buffer spans every plane.
        for (const auto& entry : stage.cache.entries()) {
            if (entry.look == render::SceneCache::none) continue;
            const float depth = scene::dot(entry.centre - step.pose.eye, step.pose.forward);
            const float reach = stage.facts[entry.look].reach;
            EXPECT_LE(kept.depthNear(), depth - reach);
            EXPECT_GE(kept.depthFar(), depth + reach);
        }
    }
    // Made afresh with coverage, the opaque order is the one made without.
    render::PlaneOrder afresh;
    afresh.setCoverage(true);
    const Pose pose = steps[6].pose;
    afresh.update(stage.cache, stage.facts, pose.eye, pose.forward);
    EXPECT_EQ(afresh.opaque(), fresh(stage, pose).opaque());
}

TEST(PlaneOrder, WithCoverageACameraThatMovesALittleKeepsTheOpaqueOrder) {
    stagetest::StageScene stage;
    const auto disc = stagetest::disc(16, 8);
    for (int i = 0; i < 300; ++i)
        stage.add(disc, {0.002f * static_cast<float>(i) - 0.3f, 0, -1.2f - 0.001f * i}, 0.05, 0.05);
    stage.refresh();
    render::PlaneOrder order;
    order.setCoverage(true);
    order.update(stage.cache, stage.facts, {0, 0, 0}, {0, 0, -1});
    ASSERT_EQ(order.opaque().size(), 300u);
    EXPECT_TRUE(order.blended().empty());
    order.listsBuilt();
    const std::vector<std::uint32_t> before = order.opaque();
    const Pose moved = poseOf(0.01f, 0.003f);
    order.update(stage.cache, stage.facts, moved.eye, moved.forward);
    EXPECT_EQ(order.opaque(), before);
    EXPECT_EQ(order.opaqueChangedFrom(), before.size());
    EXPECT_EQ(order.planes(), 300u);
    // Turned far, it is made again, nearest first.
    const Pose turned = poseOf(0, 0.5f);
    order.update(stage.cache, stage.facts, turned.eye, turned.forward);
    EXPECT_EQ(order.opaque(), fresh(stage, turned).opaque());
    EXPECT_NE(order.opaque(), before);
}

}  // namespace
