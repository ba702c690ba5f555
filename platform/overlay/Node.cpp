#include "platform/overlay/Node.h"

#include "platform/Precondition.h"
#include "platform/graphics/Resources.h"

namespace overlay {

void Node::addChild(std::shared_ptr<Node> child) {
    platform::require(child != nullptr, "addChild", "no node given");
    platform::require(child->parent_ == nullptr, "addChild", "the node already has a parent");
    child->parent_ = this;
    children_.push_back(std::move(child));
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
