// The scene graph: children in order with their parents, world
// transforms, observers of changes, and what counts as a change of looks.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>

#include "platform/scene/Node.h"
#include "platform/scene/Scene.h"

namespace {

using scene::Node;

using Nodes = std::vector<const Node*>;
Nodes childrenOf(const Node& node) {
    Nodes out;
    for (const auto& child : node.childNodes()) out.push_back(child.get());
    return out;
}

// Adding appends and sets the parent, taking the node from a former parent
// or to the end of the same one; removal takes the whole subtree out and
// keeps the siblings in order; the last reference gone, the node is freed.
TEST(SceneGraph, ChildrenKeepTheirOrderAndKnowTheirParent) {
    auto root = Node::make(), other = Node::make();
    auto a = Node::make(), b = Node::make(), c = Node::make(), grandchild = Node::make();
    for (const auto& node : {a, b, c}) root->addChildNode(node);
    EXPECT_EQ(childrenOf(*root), (Nodes{a.get(), b.get(), c.get()}));
    EXPECT_EQ(b->parentNode(), root.get());
    root->addChildNode(a);
    EXPECT_EQ(childrenOf(*root), (Nodes{b.get(), c.get(), a.get()}));
    other->addChildNode(c);
    EXPECT_EQ(childrenOf(*root), (Nodes{b.get(), a.get()}));
    EXPECT_EQ(childrenOf(*other), (Nodes{c.get()}));
    EXPECT_EQ(c->parentNode(), other.get());

    a->addChildNode(grandchild);
    root->addChildNode(c);
    a->removeFromParentNode();
    EXPECT_EQ(childrenOf(*root), (Nodes{b.get(), c.get()}));
    EXPECT_EQ(a->parentNode(), nullptr);
    EXPECT_EQ(grandchild->parentNode(), a.get());
    a->removeFromParentNode();  // a second removal is harmless
    EXPECT_EQ(root->childNodes().size(), 2u);

    std::weak_ptr<Node> watched = c;
    c.reset();
    ASSERT_FALSE(watched.expired());
    root->childNodes().back()->removeFromParentNode();
    EXPECT_TRUE(watched.expired());
    EXPECT_EQ(childrenOf(*root), (Nodes{b.get()}));
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
    auto heard = [&] { return std::exchange(recorder.heard, {}); };
    using Heard = std::vector<std::string>;
    const std::string c = std::to_string(child->id()), g = std::to_string(grandchild->id());
    root->addChildNode(child);
    EXPECT_EQ(heard(), Heard{"added " + c});
    child->addChildNode(grandchild);
    EXPECT_EQ(heard(), Heard{"added " + g});
    grandchild->setPosition({1, 2, 3});
    grandchild->setRotation({0, 1, 0, 1});
    EXPECT_EQ(heard(), (Heard{"changed " + g, "changed " + g}));
    child->setOpacity(0.5f);
    child->setGeometry(scene::Plane::planeWithWidth(1, 1));
    child->setConstraints({});
    EXPECT_EQ(heard(), (Heard{"changed " + c, "changed " + c, "changed " + c}));
    outside->setPosition({1, 1, 1});
    EXPECT_EQ(heard(), Heard{});
    root->addChildNode(grandchild);
    EXPECT_EQ(heard(), (Heard{"removing " + g + " attached", "added " + g}));
    child->removeFromParentNode();
    EXPECT_EQ(heard(), Heard{"removing " + c + " attached"});
    child->setPosition({0, 0, 1});
    EXPECT_EQ(heard(), Heard{});
    root->removeObserver(recorder);
    grandchild->setPosition({0, 0, 0});
    EXPECT_EQ(heard(), Heard{});

    root->addObserver(recorder);
    const std::string r = std::to_string(root->id());
    root.reset();
    EXPECT_EQ(heard(), Heard{"destroyed " + r});
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
