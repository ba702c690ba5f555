// Constraints adjust a node's orientation when the scene is drawn. The
// billboard constraint turns its node to face the point of view.
#pragma once

#include <memory>

namespace scene {

class Constraint {
public:
    virtual ~Constraint() = default;
};

class BillboardConstraint : public Constraint {
public:
    // Which axes the node may turn about to face the viewer.
    enum class Axes { x = 1, y = 2, z = 4, all = 7 };

    Axes freeAxes() const { return freeAxes_; }
    void setFreeAxes(Axes axes) { freeAxes_ = axes; }

private:
    Axes freeAxes_ = Axes::all;
};

}  // namespace scene
