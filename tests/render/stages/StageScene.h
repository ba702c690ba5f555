// A scene for the stages' tests, without GL: sprites and photos under a
// root that a scene cache follows, a camera at a pose, and each material's
// facts and coverage worked out as the renderer's material table does.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "platform/graphics/Image.h"
#include "platform/render/PictureCoverage.h"
#include "platform/render/SceneCache.h"
#include "platform/render/SceneItems.h"
#include "platform/render/ScreenGrid.h"
#include "platform/scene/Constraint.h"
#include "platform/scene/Node.h"
#include "platform/ui/SceneView.h"

namespace stagetest {

struct StageScene {
    std::shared_ptr<scene::Node> root = scene::Node::make();
    render::SceneCache cache;
    std::vector<render::MaterialFacts> facts;
    std::vector<render::PictureCoverage> coverages;
    std::vector<const render::PictureCoverage*> coverage;

    // A plane `width` by `height` metres showing `picture` at `position`,
    // turned to the viewer when `sprite`.
    std::shared_ptr<scene::Node> add(std::shared_ptr<const graphics::Bitmap> picture,
                                     scene::Vector3 position, double width = 0.1,
                                     double height = 0.1, bool sprite = true, float opacity = 1) {
        auto plane = scene::Plane::planeWithWidth(width, height);
        plane->firstMaterial()->diffuse.contents =
            std::make_shared<graphics::Image>(std::move(picture), 1.0);
        auto node = scene::Node::nodeWithGeometry(plane);
        node->setPosition(position);
        node->setOpacity(opacity);
        if (sprite) node->setConstraints({std::make_shared<scene::BillboardConstraint>()});
        root->addChildNode(node);
        return node;
    }

    // The cache brought up to date, and each material's facts (its picture's
    // texture named by the picture) and coverage.
    void refresh() {
        cache.observe(*root);
        cache.refresh();
        const auto& looks = cache.looks();
        facts.assign(looks.size(), {});
        coverages.assign(looks.size(), {});
        coverage.assign(looks.size(), nullptr);
        std::map<const graphics::Bitmap*, render::TextureId> textures;
        for (std::size_t i = 0; i < looks.size(); ++i) {
            if (looks[i].users == 0) continue;
            const render::Look& look = looks[i].look;
            const auto texture = textures.emplace(look.bitmap.get(), textures.size() + 1).first;
            facts[i] = render::MaterialFacts::of(look, texture->second);
            if (look.bitmap && look.facing == render::Look::Facing::camera) {
                coverages[i] = render::PictureCoverage::of(*look.bitmap);
                coverage[i] = &coverages[i];
            }
        }
    }
};

// The camera at `pose` seeing a `width` by `height` view as the program's
// scene view does.
inline render::ScreenView screenView(const scene::Matrix4& pose, double width = 390,
                                     double height = 844) {
    ui::SceneView view;
    view.setFrame({{0, 0}, {width, height}});
    return render::ScreenView::of(pose, view.projectionMatrix() * scene::rigidInverse(pose));
}

}  // namespace stagetest
