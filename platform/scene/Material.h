// Surfaces of the 3-D scene: a material with a diffuse property whose
// contents are an image, and the plane geometry that carries materials.
#pragma once

#include <memory>
#include <vector>

#include "platform/graphics/Image.h"

namespace scene {

struct MaterialProperty {
    std::shared_ptr<const graphics::Image> contents;
};

struct Material {
    // Drawn from behind as well as from the front.
    bool doubleSided = false;
    MaterialProperty diffuse;
};

class Geometry {
public:
    virtual ~Geometry() = default;

    const std::vector<std::shared_ptr<Material>>& materials() const { return materials_; }
    void setMaterials(std::vector<std::shared_ptr<Material>> materials) {
        materials_ = std::move(materials);
    }
    // The first material, or none when the geometry has no materials.
    std::shared_ptr<Material> firstMaterial() const {
        return materials_.empty() ? nullptr : materials_.front();
    }

protected:
    Geometry() = default;

private:
    std::vector<std::shared_ptr<Material>> materials_;
};

// A flat rectangle in its node's x-y plane, centred on the node, facing +z.
class Plane : public Geometry {
public:
    // A plane with one default material.
    static std::shared_ptr<Plane> planeWithWidth(double width, double height);

    double width() const { return width_; }
    double height() const { return height_; }
    void setWidth(double width) { width_ = width; }
    void setHeight(double height) { height_ = height; }

private:
    Plane(double width, double height) : width_(width), height_(height) {}
    double width_;
    double height_;
};

}  // namespace scene
