#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/scene/Node.h"
#include "platform/scene/Scene.h"

namespace {

using scene::Node;

std::vector<const Node*> childrenOf(const Node& node) {
    std::vector<const Node*> out;
    for (const auto& child : node.childNodes()) out.push_back(child.get());
    return out;
}

TEST(SceneGraph, AddingAppendsInOrderAndSetsTheParent) {
    auto parent = Node::make();
    auto a = Node::make(), b = Node::make(), c = Node::make();
    parent->addChildNode(a);
    parent->addChildNode(b);
    parent->addChildNode(c);
    EXPECT_EQ(childrenOf(*parent), (std::vector<const Node*>{a.get(), b.get(), c.get()}));
    EXPECT_EQ(b->parentNode(), parent.get());
}

TEST(SceneGraph, AddingTakesTheNodeOutOfItsFormerParent) {
    auto first = Node::make(), second = Node::make();
    auto a = Node::make(), b = Node::make();
    first->addChildNode(a);
    first->addChildNode(b);
    second->addChildNode(a);
    EXPECT_EQ(childrenOf(*first), (std::vector<const Node*>{b.get()}));
    EXPECT_EQ(childrenOf(*second), (std::vector<const Node*>{a.get()}));
    EXPECT_EQ(a->parentNode(), second.get());
}

TEST(SceneGraph, ReaddingToTheSameParentMovesTheNodeToTheEnd) {
    auto parent = Node::make();
    auto a = Node::make(), b = Node::make();
    parent->addChildNode(a);
    parent->addChildNode(b);
    parent->addChildNode(a);
    EXPECT_EQ(childrenOf(*parent), (std::vector<const Node*>{b.get(), a.get()}));
}

TEST(SceneGraph, RemovalTakesTheWholeSubtreeOutAndKeepsSiblingsInOrder) {
    auto root = Node::make();
    auto a = Node::make(), b = Node::make(), c = Node::make(), grandchild = Node::make();
    root->addChildNode(a);
    root->addChildNode(b);
    root->addChildNode(c);
    b->addChildNode(grandchild);
    b->removeFromParentNode();
    EXPECT_EQ(childrenOf(*root), (std::vector<const Node*>{a.get(), c.get()}));
    EXPECT_EQ(b->parentNode(), nullptr);
    EXPECT_EQ(grandchild->parentNode(), b.get());
    b->removeFromParentNode();  // a second removal is harmless
    EXPECT_EQ(root->childNodes().size(), 2u);
}

TEST(SceneGraph, RemovingTheLastReferenceReleasesTheNodeSafely) {
    auto root = Node::make();
    std::weak_ptr<Node> watched;
    {
        auto child = Node::make();
        watched = child;
        root->addChildNode(child);
    }
    ASSERT_FALSE(watched.expired());
    root->childNodes().front()->removeFromParentNode();
    EXPECT_TRUE(watched.expired());
    EXPECT_TRUE(root->childNodes().empty());
}

TEST(SceneGraph, NodeIdsAreUniqueAndNeverReused) {
    std::set<std::uint64_t> seen;
    for (int i = 0; i < 100; ++i) {
        auto node = Node::make();
        EXPECT_TRUE(seen.insert(node->id()).second);
    }
}

TEST(SceneGraphDeathTest, ANodeCannotBecomeItsOwnDescendant) {
    auto a = Node::make(), b = Node::make();
    a->addChildNode(b);
    EXPECT_DEATH(b->addChildNode(a), "addChildNode");
    EXPECT_DEATH(a->addChildNode(a), "addChildNode");
}

TEST(SceneGraph, WorldTransformComposesParentsAndRotation) {
    auto root = Node::make(), child = Node::make();
    root->addChildNode(child);
    root->setPosition({1, 0, 0});
    root->setRotation({0, 1, 0, static_cast<float>(M_PI / 2)});  // a quarter turn to the left
    child->setPosition({0, 0, -2});
    auto world = scene::transformPoint(child->worldTransform(), {0, 0, 0});
    EXPECT_NEAR(world.x, -1, 1e-6);
    EXPECT_NEAR(world.y, 0, 1e-6);
    EXPECT_NEAR(world.z, 0, 1e-6);
}

TEST(Planes, HaveOneDefaultMaterialThatIsSingleSided) {
    auto plane = scene::Plane::planeWithWidth(0.1, 0.2);
    ASSERT_NE(plane->firstMaterial(), nullptr);
    EXPECT_FALSE(plane->firstMaterial()->doubleSided);
    EXPECT_EQ(plane->firstMaterial()->diffuse.contents, nullptr);
    plane->setMaterials({});
    EXPECT_EQ(plane->firstMaterial(), nullptr);
}

// Writes down what it is told, one line a notification.
struct Recorder : scene::SceneObserver {
    std::vector<std::string> heard;
    std::string name(const Node& node) { return std::to_string(node.id()); }
    void nodeChanged(const Node& node) override { heard.push_back("changed " + name(node)); }
    void childAdded(const Node& child) override { heard.push_back("added " + name(child)); }
    void childRemoving(const Node& child) override {
        // The child is still in place while its observers hear of it.
        heard.push_back("removing " + name(child) + (child.parentNode() ? " attached" : ""));
    }
    void observedNodeDestroyed(const Node& node) override {
        heard.push_back("destroyed " + name(node));
    }
};

TEST(SceneObservers, HearOfEveryChangeBelowTheObservedNodeAndNothingElse) {
    auto root = Node::make(), child = Node::make(), grandchild = Node::make(),
         outside = Node::make();
    Recorder recorder;
    root->addObserver(recorder);
    const std::string c = std::to_string(child->id()), g = std::to_string(grandchild->id());
    struct Step {
        std::function<void()> change;
        std::vector<std::string> heard;
    };
    const Step steps[] = {
        {[&] { root->addChildNode(child); }, {"added " + c}},
        {[&] { child->addChildNode(grandchild); }, {"added " + g}},
        {[&] {
             grandchild->setPosition({1, 2, 3});
         },
         {"changed " + g}},
        {[&] {
             grandchild->setRotation({0, 1, 0, 1});
         },
         {"changed " + g}},
        {[&] { child->setOpacity(0.5f); }, {"changed " + c}},
        {[&] { child->setGeometry(scene::Plane::planeWithWidth(1, 1)); }, {"changed " + c}},
        {[&] { child->setConstraints({}); }, {"changed " + c}},
        {[&] {
             outside->setPosition({1, 1, 1});
         },
         {}},
        {[&] { root->addChildNode(grandchild); }, {"removing " + g + " attached", "added " + g}},
        {[&] { child->removeFromParentNode(); }, {"removing " + c + " attached"}},
        {[&] {
             child->setPosition({0, 0, 1});
         },
         {}},
    };
    for (const auto& step : steps) {
        recorder.heard.clear();
        step.change();
        EXPECT_EQ(recorder.heard, step.heard);
    }
    root->removeObserver(recorder);
    recorder.heard.clear();
    grandchild->setPosition({0, 0, 0});
    EXPECT_TRUE(recorder.heard.empty());

    root->addObserver(recorder);
    const std::string r = std::to_string(root->id());
    root.reset();
    EXPECT_EQ(recorder.heard, (std::vector<std::string>{"destroyed " + r}));
}

TEST(Appearance, ChangesOfShownPlanesAndMaterialsAreCountedAndOthersNot) {
    auto plane = scene::Plane::planeWithWidth(0.1, 0.1);
    auto material = plane->firstMaterial();
    auto image = std::make_shared<graphics::Image>(std::make_shared<graphics::Bitmap>(1, 1));
    auto before = scene::appearanceGeneration();
    plane->setWidth(0.2);
    material->diffuse.contents = image;
    EXPECT_EQ(scene::appearanceGeneration(), before) << "nothing has shown them yet";

    plane->mark.markShown();
    material->diffuse.contents.mark.markShown();
    plane->setHeight(0.3);
    EXPECT_EQ(scene::appearanceGeneration(), before + 1);
    material->diffuse.contents = nullptr;
    EXPECT_EQ(scene::appearanceGeneration(), before + 2);
    EXPECT_EQ(material->diffuse.contents, nullptr);
}

TEST(Math, AxisAngleRoundTripsThroughMatrices) {
    const scene::Vector4 rotations[] = {
        {0, 1, 0, 0.5f}, {1, 0, 0, -1.2f}, {0.6f, 0.8f, 0, 3.0f}, {0, 0, 1, 3.14159f}};
    for (auto r : rotations) {
        auto back = scene::axisAngleOf(scene::Matrix4::rotation(r));
        auto m1 = scene::Matrix4::rotation(r), m2 = scene::Matrix4::rotation(back);
        for (int c = 0; c < 3; ++c)
            for (int row = 0; row < 3; ++row) EXPECT_NEAR(m1(row, c), m2(row, c), 1e-5);
    }
    EXPECT_EQ(scene::axisAngleOf(scene::Matrix4::identity()), (scene::Vector4{0, 0, 0, 0}));
}

}  // namespace
