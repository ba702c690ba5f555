// Surfaces of the 3-D scene: a material with a diffuse property whose
// contents are an image, and the plane geometry that carries materials.
// A cache that reads a plane or material marks it shown; its later changes
// then count in the appearance generation (platform/scene/Observer.h).
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/scene/Observer.h"

namespace scene {

// Remembers that a cache read the object it is part of, so that a later
// change of that object can tell the caches.
class ShownMark {
public:
    void markShown() const { shown_ = true; }
    void changed() const {
        if (shown_) appearanceChanged();
    }

private:
    mutable bool shown_ = false;
};

// A material's picture: a shared image that is set by assignment, as a
// pointer is, and counts as a change of appearance once it has been shown.
class ImageContents : public std::shared_ptr<const graphics::Image> {
public:
    ImageContents() = default;
    ImageContents(std::shared_ptr<const graphics::Image> image)  // NOLINT: set like a pointer
        : std::shared_ptr<const graphics::Image>(std::move(image)) {}
    ImageContents(const ImageContents&) = default;
    ImageContents& operator=(std::shared_ptr<const graphics::Image> image) {
        std::shared_ptr<const graphics::Image>::operator=(std::move(image));
        mark.changed();
        return *this;
    }
    ImageContents& operator=(const ImageContents& other) {
        return *this = static_cast<const std::shared_ptr<const graphics::Image>&>(other);
    }

    ShownMark mark;
};

struct MaterialProperty {
    ImageContents contents;
};

struct Material {
    // Drawn from behind as well as from the front. Caches read it again for
    // every frame: it has no way to tell them of a change.
    bool doubleSided = false;
    MaterialProperty diffuse;
};

class Geometry {
public:
    virtual ~Geometry() = default;

    const std::vector<std::shared_ptr<Material>>& materials() const { return materials_; }
    void setMaterials(std::vector<std::shared_ptr<Material>> materials) {
        materials_ = std::move(materials);
        mark.changed();
    }
    // The first material, or none when the geometry has no materials.
    std::shared_ptr<Material> firstMaterial() const {
        return materials_.empty() ? nullptr : materials_.front();
    }

    ShownMark mark;

protected:
    Geometry() = default;

private:
    std::vector<std::shared_ptr<Material>> materials_;
};

// A flat rectangle in its node's x-y plane, centred on the node, facing +z.
class Plane : public Geometry {
    struct Key {};

public:
    Plane(Key, double width, double height) : width_(width), height_(height) {}
    // A plane with one default material.
    static std::shared_ptr<Plane> planeWithWidth(double width, double height);

    double width() const { return width_; }
    double height() const { return height_; }
    void setWidth(double width) {
        width_ = width;
        mark.changed();
    }
    void setHeight(double height) {
        height_ = height;
        mark.changed();
    }

private:
    double width_;
    double height_;
};

}  // namespace scene
