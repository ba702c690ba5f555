// The AR scene view: the camera image of the room with a 3-D scene drawn
// over it from the tracked point of view, and a 2-D overlay scene on top.
// It owns the world-tracking session; its point of view follows the camera
// of each new frame. The projection is the frame's own where a real camera
// gives one; otherwise a symmetric perspective (60° vertical field of view,
// near plane 1 mm, far plane 1 km) whose aspect follows the view's size.
// `unprojectPoint` is the exact inverse of the projection in use.
#pragma once

#include <memory>

#include "platform/Result.h"
#include "platform/ar/Session.h"
#include "platform/graphics/Bitmap.h"
#include "platform/overlay/Node.h"
#include "platform/scene/Scene.h"
#include "platform/ui/View.h"

namespace ui {

// The scene view's delegate; the view calls none of its optional callbacks
// that our program does not implement.
class SceneViewDelegate {
public:
    virtual ~SceneViewDelegate() = default;
};

class SceneView;

// Draws a scene view as it is on screen. The launch description names one;
// without it, drawing the view hierarchy draws nothing.
class ViewRenderer {
public:
    virtual ~ViewRenderer() = default;
    // The view's bounds at `scale` pixels per point, or why they cannot be
    // drawn.
    virtual platform::Result<std::shared_ptr<const graphics::Bitmap>> renderView(
        const SceneView& view, double scale) = 0;
};

class SceneView : public View {
public:
    static constexpr double fieldOfViewDegrees = 60.0;
    static constexpr double zNear = 0.001;
    static constexpr double zFar = 1000.0;

    SceneView();
    SceneView(const SceneView&) = delete;
    SceneView& operator=(const SceneView&) = delete;

    ar::Session& session() { return *session_; }
    const ar::Session& session() const { return *session_; }

    const std::shared_ptr<scene::Scene>& scene() const { return scene_; }
    void setScene(std::shared_ptr<scene::Scene> scene) { scene_ = std::move(scene); }
    SceneViewDelegate* delegate() const { return delegate_; }
    void setDelegate(SceneViewDelegate* delegate) { delegate_ = delegate; }
    const std::shared_ptr<overlay::Scene>& overlayScene() const { return overlayScene_; }
    void setOverlayScene(std::shared_ptr<overlay::Scene> overlay) {
        overlayScene_ = std::move(overlay);
    }

    // The camera node: where the scene is seen from.
    const std::shared_ptr<scene::Node>& pointOfView() const { return pointOfView_; }

    // The projection from the point of view's space to clip space, with
    // depth 0 at the near plane and 1 at the far plane once divided.
    scene::Matrix4 projectionMatrix() const;
    // The current frame's own projection, if its camera gave one.
    std::optional<scene::Matrix4> frameProjection() const;
    // Screen point (x, y in view points, z the depth from 0 at the near
    // plane to 1 at the far plane) to the world point under it.
    scene::Vector3 unprojectPoint(scene::Vector3 point) const;
    // World point to screen point and depth; the inverse of the above.
    scene::Vector3 projectPoint(scene::Vector3 point) const;

    // Draws the view as it is on screen into the current image context,
    // stretched to fill `rect` (in the context's points). False when nothing
    // could be drawn.
    bool drawViewHierarchyInRect(graphics::Rect rect, bool afterScreenUpdates) const;

private:
    scene::Vector3 unprojectThrough(const scene::Matrix4& projection, scene::Vector3 point) const;
    scene::Vector3 projectThrough(const scene::Matrix4& projection, scene::Vector3 point) const;

    std::unique_ptr<ar::Session> session_;
    std::shared_ptr<scene::Scene> scene_;
    SceneViewDelegate* delegate_ = nullptr;
    std::shared_ptr<overlay::Scene> overlayScene_;
    std::shared_ptr<scene::Node> pointOfView_;
};

}  // namespace ui
