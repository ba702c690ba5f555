#include "platform/overlay/Node.h"

#include <algorithm>

#include "platform/Precondition.h"
#include "platform/graphics/Resources.h"

namespace overlay {

void Node::addChild(std::shared_ptr<Node> child) {
    platform::require(child != nullptr, "addChild", "no node given");
    platform::require(child->parent_ == nullptr, "addChild", "the node already has a parent");
    child->parent_ = this;
    children_.push_back(std::move(child));
}

void Node::removeFromParent() {
    if (parent_ == nullptr) return;
    auto& siblings = parent_->children_;
    auto it = std::find_if(siblings.begin(), siblings.end(),
                           [this](const auto& sibling) { return sibling.get() == this; });
    parent_ = nullptr;
    // Erasing may release the last reference to this node; nothing of it is
    // touched afterwards.
    siblings.erase(it);
}

Scene::Scene(graphics::Size size) : size_(size) { setUserInteractionEnabled(true); }

LabelNode::LabelNode(std::string fontName) : fontName_(std::move(fontName)) {}

std::shared_ptr<ShapeNode> ShapeNode::shapeNodeWithCircleOfRadius(double radius) {
    return std::shared_ptr<ShapeNode>(new ShapeNode(radius));
}

SpriteNode::SpriteNode(std::string imageName) : imageName_(std::move(imageName)) {}

std::shared_ptr<const graphics::Image> SpriteNode::texture() const {
    if (!texture_) texture_ = graphics::imageNamed(imageName_);
    return *texture_;
}

graphics::Size SpriteNode::size() const {
    auto image = texture();
    return image ? image->size() : graphics::Size{};
}

}  // namespace overlay
