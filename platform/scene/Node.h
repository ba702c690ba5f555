// Nodes of the 3-D scene graph. A parent holds its children in order; a
// child knows its parent without owning it. Nodes are shared: the scene
// graph and a stroke of the drawing both hold them.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/scene/Constraint.h"
#include "platform/scene/Material.h"
#include "platform/scene/Math.h"

namespace scene {

class Node : public std::enable_shared_from_this<Node> {
    struct Key {};

public:
    explicit Node(Key);
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    static std::shared_ptr<Node> make();
    static std::shared_ptr<Node> nodeWithGeometry(std::shared_ptr<Geometry> geometry);

    // Unique for the life of the process; never reused.
    std::uint64_t id() const { return id_; }

    Vector3 position() const { return position_; }
    void setPosition(Vector3 position) { position_ = position; }
    Vector4 rotation() const { return rotation_; }
    void setRotation(Vector4 rotation) { rotation_ = rotation; }
    float opacity() const { return opacity_; }
    void setOpacity(float opacity) { opacity_ = opacity; }

    const std::shared_ptr<Geometry>& geometry() const { return geometry_; }
    void setGeometry(std::shared_ptr<Geometry> geometry) { geometry_ = std::move(geometry); }

    const std::vector<std::shared_ptr<Constraint>>& constraints() const { return constraints_; }
    void setConstraints(std::vector<std::shared_ptr<Constraint>> constraints) {
        constraints_ = std::move(constraints);
    }
    bool hasBillboardConstraint() const;

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

private:
    std::uint64_t id_;
    Vector3 position_{};
    Vector4 rotation_{};
    float opacity_ = 1;
    std::shared_ptr<Geometry> geometry_;
    std::vector<std::shared_ptr<Constraint>> constraints_;
    std::vector<std::shared_ptr<Node>> children_;
    Node* parent_ = nullptr;
};

}  // namespace scene
