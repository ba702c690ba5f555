#include "platform/scene/Node.h"

#include <algorithm>
#include <atomic>

#include "platform/Precondition.h"

namespace scene {

namespace {
std::uint64_t nextNodeId() {
    static std::atomic<std::uint64_t> next{1};
    return next.fetch_add(1);
}
}  // namespace

Node::Node(Key) : id_(nextNodeId()) {}

std::shared_ptr<Node> Node::make() { return std::make_shared<Node>(Key{}); }

std::shared_ptr<Node> Node::nodeWithGeometry(std::shared_ptr<Geometry> geometry) {
    auto node = make();
    node->setGeometry(std::move(geometry));
    return node;
}

bool Node::hasBillboardConstraint() const {
    return std::any_of(constraints_.begin(), constraints_.end(), [](const auto& constraint) {
        return dynamic_cast<const BillboardConstraint*>(constraint.get()) != nullptr;
    });
}

bool Node::isAncestorOf(const Node& node) const {
    for (const Node* p = node.parent_; p != nullptr; p = p->parent_)
        if (p == this) return true;
    return false;
}

void Node::addChildNode(std::shared_ptr<Node> child) {
    platform::require(child != nullptr, "addChildNode", "no node given");
    platform::require(child.get() != this && !child->isAncestorOf(*this), "addChildNode",
                      "a node cannot become its own descendant");
    child->removeFromParentNode();
    child->parent_ = this;
    children_.push_back(std::move(child));
}

void Node::removeFromParentNode() {
    if (parent_ == nullptr) return;
    // The parent may hold the last reference; keep this node alive until
    // the removal is done.
    auto self = shared_from_this();
    auto& siblings = parent_->children_;
    siblings.erase(std::find(siblings.begin(), siblings.end(), self));
    parent_ = nullptr;
}

Matrix4 Node::transform() const {
    return Matrix4::translation(position_) * Matrix4::rotation(rotation_);
}

Matrix4 Node::worldTransform() const {
    Matrix4 m = transform();
    for (const Node* p = parent_; p != nullptr; p = p->parent_) m = p->transform() * m;
    return m;
}

}  // namespace scene
