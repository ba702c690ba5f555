#include "platform/scene/Material.h"

namespace scene {

std::shared_ptr<Plane> Plane::planeWithWidth(double width, double height) {
    std::shared_ptr<Plane> plane(new Plane(width, height));
    plane->setMaterials({std::make_shared<Material>()});
    return plane;
}

}  // namespace scene
