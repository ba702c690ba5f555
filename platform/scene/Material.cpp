#include "platform/scene/Material.h"

#include <atomic>

namespace scene {

namespace {
std::atomic<std::uint64_t>& generation() {
    static std::atomic<std::uint64_t> count{0};
    return count;
}
}  // namespace

std::uint64_t appearanceGeneration() { return generation().load(); }

void appearanceChanged() { generation().fetch_add(1); }

std::shared_ptr<Plane> Plane::planeWithWidth(double width, double height) {
    // One allocation for the plane and its count of owners.
    auto plane = std::make_shared<Plane>(Key{}, width, height);
    plane->setMaterials({std::make_shared<Material>()});
    return plane;
}

}  // namespace scene
