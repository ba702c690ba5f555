// The 2-D overlay scene graph drawn over the 3-D view: a scene with label,
// circle-shape and image-sprite nodes. Positions are points with the origin
// at the scene's bottom-left corner and y upwards; children draw in order,
// a later sibling over an earlier one.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/graphics/Geometry.h"
#include "platform/graphics/Image.h"

namespace overlay {

class Node;
class LabelNode;
class ShapeNode;
class SpriteNode;

// What a node shows, a closed set: a label, a circle, an image, or nothing
// of its own (a group or the scene). Drawing and describing nodes visit it.
using Shown = std::variant<const LabelNode*, const ShapeNode*, const SpriteNode*, const Node*>;

// What a node is to a screen reader: nothing (the default), a button that a
// tap at its position presses, or a line of text whose changes are read out
// when the reader is free.
enum class AccessibilityRole { none = 0, button = 1, liveText = 2 };

class Node {
public:
    virtual ~Node() = default;
    Node(const Node&) = delete;
    Node& operator=(const Node&) = delete;

    graphics::Point position() const { return position_; }
    void setPosition(graphics::Point position) { position_ = position; }
    double alpha() const { return alpha_; }
    void setAlpha(double alpha) { alpha_ = alpha; }
    bool isUserInteractionEnabled() const { return userInteractionEnabled_; }
    void setUserInteractionEnabled(bool enabled) { userInteractionEnabled_ = enabled; }
    AccessibilityRole accessibilityRole() const { return accessibilityRole_; }
    // The name a screen reader gives the node; a label's text when empty.
    const std::string& accessibilityLabel() const { return accessibilityLabel_; }
    void setAccessibility(AccessibilityRole role, std::string label = {}) {
        accessibilityRole_ = role;
        accessibilityLabel_ = std::move(label);
    }

    const std::vector<std::shared_ptr<Node>>& children() const { return children_; }
    Node* parent() const { return parent_; }
    // Appends `child`; a node that already has a parent is a broken
    // precondition, as in the platform this mirrors.
    void addChild(std::shared_ptr<Node> child);

    virtual Shown shown() const { return this; }

protected:
    Node() = default;

private:
    graphics::Point position_;
    double alpha_ = 1;
    bool userInteractionEnabled_ = false;
    AccessibilityRole accessibilityRole_ = AccessibilityRole::none;
    std::string accessibilityLabel_;
    std::vector<std::shared_ptr<Node>> children_;
    Node* parent_ = nullptr;
};

class Scene : public Node {
public:
    explicit Scene(graphics::Size size);
    graphics::Size size() const { return size_; }
    void setSize(graphics::Size size) { size_ = size; }

private:
    graphics::Size size_;
};

enum class HorizontalAlignmentMode { center = 0, left = 1, right = 2 };
enum class VerticalAlignmentMode { baseline = 0, center = 1, top = 2, bottom = 3 };

class LabelNode : public Node {
public:
    // A label drawn in the font of that name (or the nearest installed one).
    explicit LabelNode(std::string fontName);

    const std::string& fontName() const { return fontName_; }
    double fontSize() const { return fontSize_; }
    void setFontSize(double size) { fontSize_ = size; }
    const std::string& text() const { return text_; }
    void setText(std::string text) { text_ = std::move(text); }
    graphics::Color fontColor() const { return fontColor_; }
    void setFontColor(graphics::Color color) { fontColor_ = color; }
    HorizontalAlignmentMode horizontalAlignmentMode() const { return horizontal_; }
    void setHorizontalAlignmentMode(HorizontalAlignmentMode mode) { horizontal_ = mode; }
    VerticalAlignmentMode verticalAlignmentMode() const { return vertical_; }
    void setVerticalAlignmentMode(VerticalAlignmentMode mode) { vertical_ = mode; }

    Shown shown() const override { return this; }

private:
    std::string fontName_;
    double fontSize_ = 32;
    std::string text_;
    graphics::Color fontColor_ = graphics::Color::white();
    HorizontalAlignmentMode horizontal_ = HorizontalAlignmentMode::center;
    VerticalAlignmentMode vertical_ = VerticalAlignmentMode::baseline;
};

class ShapeNode : public Node {
public:
    // A circle of `radius` points centred on the node's position.
    static std::shared_ptr<ShapeNode> shapeNodeWithCircleOfRadius(double radius);

    double radius() const { return radius_; }
    graphics::Color fillColor() const { return fillColor_; }
    void setFillColor(graphics::Color color) { fillColor_ = color; }
    graphics::Color strokeColor() const { return strokeColor_; }
    void setStrokeColor(graphics::Color color) { strokeColor_ = color; }
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double width) { lineWidth_ = width; }

    Shown shown() const override { return this; }

private:
    explicit ShapeNode(double radius) : radius_(radius) {}
    double radius_;
    graphics::Color fillColor_ = graphics::Color::clear();
    graphics::Color strokeColor_ = graphics::Color::white();
    double lineWidth_ = 1;
};

class SpriteNode : public Node {
public:
    // A sprite showing the application's image resource of that name at its
    // own size. The image is looked up when first needed.
    explicit SpriteNode(std::string imageName);

    const std::string& imageName() const { return imageName_; }
    // The resource's image, or none when there is no such resource.
    std::shared_ptr<const graphics::Image> texture() const;
    // The image's size in points; zero without an image.
    graphics::Size size() const;

    Shown shown() const override { return this; }

private:
    std::string imageName_;
    mutable std::optional<std::shared_ptr<const graphics::Image>> texture_;
};

}  // namespace overlay
