// Nodes of the 3-D scene graph. A parent holds its children in order; a
// child knows its parent without owning it. Nodes are shared: the scene
// graph and a stroke of the drawing both hold them. Observers of a node hear
// of every change below it (platform/scene/Observer.h).
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/scene/Constraint.h"
#include "platform/scene/Material.h"
#include "platform/scene/Math.h"
#include "platform/scene/Observer.h"

namespace scene {

class Node {
    struct Key {};

public:
    explicit Node(Key);
    ~Node();
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    static std::shared_ptr<Node> make();
    static std::shared_ptr<Node> nodeWithGeometry(std::shared_ptr<Geometry> geometry);

    // Unique for the life of the process; never reused.
    std::uint64_t id() const { return id_ & ~observedBit; }

    Vector3 position() const { return position_; }
    void setPosition(Vector3 position);
    Vector4 rotation() const { return rotation_; }
    void setRotation(Vector4 rotation);
    float opacity() const { return opacity_; }
    void setOpacity(float opacity);

    const std::shared_ptr<Geometry>& geometry() const { return geometry_; }
    void setGeometry(std::shared_ptr<Geometry> geometry);

    const std::vector<std::shared_ptr<Constraint>>& constraints() const;
    void setConstraints(std::vector<std::shared_ptr<Constraint>> constraints);
    bool hasBillboardConstraint() const;
    // The first billboard constraint, or none.
    const BillboardConstraint* billboardConstraint() const;

    const std::vector<std::shared_ptr<Node>>& childNodes() const { return children_; }
    Node* parentNode() const { return parent_; }

    // Appends `child`, taking it out of its former parent first. A node
    // cannot become its own descendant.
    void addChildNode(std::shared_ptr<Node> child);
    // Takes this node, with everything below it, out of its parent.
    void removeFromParentNode();

    // This node's transform relative to its parent: translation, then
    // rotation.
    Matrix4 transform() const;
    // The transform from this node's space to the world (the root's space).
    Matrix4 worldTransform() const;
    bool isAncestorOf(const Node& node) const;

    // Tells `observer` of every change under this node, this node included,
    // until it is removed again or this node is destroyed.
    void addObserver(SceneObserver& observer) const;
    void removeObserver(SceneObserver& observer) const;

private:
    using Constraints = std::vector<std::shared_ptr<Constraint>>;
    // Marks, in the id's top bit, a node that observers watch (their list is
    // kept aside: few nodes have one, and a sprite's node stays small).
    static constexpr std::uint64_t observedBit = 1ull << 63;
    void changed();
    template <class Notify>
    void notify(Notify notify) const;

    mutable std::uint64_t id_;
    Vector3 position_{};
    Vector4 rotation_{};
    float opacity_ = 1;
    std::shared_ptr<Geometry> geometry_;
    // Shared with the nodes that were given an equal list before, as the
    // sprites of a stroke are; none for no constraints.
    std::shared_ptr<const Constraints> constraints_;
    std::vector<std::shared_ptr<Node>> children_;
    Node* parent_ = nullptr;
};

}  // namespace scene
