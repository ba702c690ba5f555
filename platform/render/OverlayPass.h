// The 2-D layers over the 3-D view, in the target's pixels: the overlay
// scene (discs, icons and labels in child order, alpha applied to subtrees)
// and whole pictures such as the presented panels.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>

#include "platform/Result.h"
#include "platform/graphics/Geometry.h"
#include "platform/overlay/Node.h"
#include "platform/render/Gl.h"
#include "platform/render/TextureCache.h"

namespace render {

class OverlayPass {
public:
    static platform::Result<std::unique_ptr<OverlayPass>> make();

    // Starts drawing into a target of `targetPixels`; labels drawn until
    // `endFrame` are kept, others are released then.
    void beginFrame(graphics::Size targetPixels);
    void endFrame();

    // Draws `scene` stretched to fill `area` (pixels): its bottom-left
    // corner at the area's bottom-left, y upwards.
    void drawScene(const overlay::Scene& scene, const graphics::Rect& area, TextureCache& textures);
    // Draws the picture in `slot` over `rect` (pixels), faded by `alpha`.
    void drawPicture(const TextureSlot& slot, const graphics::Rect& rect, double alpha);

private:
    struct Label {
        Texture texture;
        double width = 0;
        double height = 0;
        double baseline = 0;
        double layoutHeight = 0;
        std::uint64_t lastUsed = 0;
    };
    using LabelKey =
        std::tuple<std::string, std::string, double, double, double, double, double, double>;

    OverlayPass() = default;
    void drawNode(const overlay::Node& node, graphics::Point parentPixel, double parentAlpha,
                  TextureCache& textures);
    void drawDisc(const overlay::ShapeNode& shape, graphics::Point centre, double alpha);
    void drawLabel(const overlay::LabelNode& label, graphics::Point anchor, double alpha);
    void drawSprite(const overlay::SpriteNode& sprite, graphics::Point centre, double alpha,
                    TextureCache& textures);
    void drawQuad();
    void useState();

    Program pictures_;
    GLint picturesRect_ = -1, picturesTarget_ = -1, picturesUv_ = -1, picturesAlpha_ = -1;
    Program discs_;
    GLint discsRect_ = -1, discsTarget_ = -1, discsCentre_ = -1, discsRadii_ = -1, discsFill_ = -1,
          discsStroke_ = -1, discsLineWidth_ = -1;
    VertexArray quad_;
    Buffer corners_;
    graphics::Size target_;
    // Pixels per overlay point, across and up.
    double scaleX_ = 1, scaleY_ = 1;
    std::map<LabelKey, Label> labels_;
    std::uint64_t frame_ = 0;
};

}  // namespace render
