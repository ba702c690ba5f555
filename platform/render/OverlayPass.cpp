#include "platform/render/OverlayPass.h"

#include <cmath>

#include "platform/Overloaded.h"
#include "platform/render/TextPicture.h"

namespace render {

namespace {

// Quads are given in target pixels (y down) and turned into clip space here.
const char* quadVertexSource = R"(#version 300 es
layout(location = 0) in vec2 corner;
uniform vec4 rect;
uniform vec2 target;
uniform vec4 uvRect;
out vec2 uv;
out vec2 pixel;
void main() {
    pixel = rect.xy + corner * rect.zw;
    uv = mix(uvRect.xy, uvRect.zw, corner);
    gl_Position = vec4(pixel.x / target.x * 2.0 - 1.0, 1.0 - pixel.y / target.y * 2.0, 0.0, 1.0);
}
)";

const char* pictureFragmentSource = R"(#version 300 es
precision mediump float;
uniform sampler2D picture;
uniform float alpha;
in vec2 uv;
in vec2 pixel;
out vec4 fragmentColor;
void main() {
    fragmentColor = texture(picture, uv) * alpha;
}
)";

// A disc (an ellipse when the overlay is stretched unevenly) with a fill
// and a stroke centred on its edge, both premultiplied, smoothed over a
// pixel.
const char* discFragmentSource = R"(#version 300 es
precision highp float;
uniform vec2 centre;
uniform vec2 radii;
uniform vec4 fillColor;
uniform vec4 strokeColor;
uniform float lineWidth;
in vec2 uv;
in vec2 pixel;
out vec4 fragmentColor;
void main() {
    float r = length((pixel - centre) / radii);
    float edge = (r - 1.0) * min(radii.x, radii.y);
    vec4 color = fillColor * clamp(0.5 - edge, 0.0, 1.0);
    if (lineWidth > 0.0) {
        float stroke = clamp(lineWidth * 0.5 + 0.5 - abs(edge), 0.0, 1.0);
        color = strokeColor * stroke + color * (1.0 - strokeColor.a * stroke);
    }
    fragmentColor = color;
}
)";

void premultiplied(GLint location, const graphics::Color& color, double alpha) {
    double a = color.alpha * alpha;
    glUniform4f(location, static_cast<float>(color.red * a), static_cast<float>(color.green * a),
                static_cast<float>(color.blue * a), static_cast<float>(a));
}

}  // namespace

platform::Result<std::unique_ptr<OverlayPass>> OverlayPass::make() {
    auto pictures = buildProgram("overlay picture", quadVertexSource, pictureFragmentSource);
    if (!pictures) return platform::fail(pictures.error());
    auto discs = buildProgram("overlay disc", quadVertexSource, discFragmentSource);
    if (!discs) return platform::fail(discs.error());
    std::unique_ptr<OverlayPass> pass(new OverlayPass());
    pass->pictures_ = std::move(pictures).value();
    pass->discs_ = std::move(discs).value();
    GLuint p = pass->pictures_.get(), d = pass->discs_.get();
    pass->picturesRect_ = glGetUniformLocation(p, "rect");
    pass->picturesTarget_ = glGetUniformLocation(p, "target");
    pass->picturesUv_ = glGetUniformLocation(p, "uvRect");
    pass->picturesAlpha_ = glGetUniformLocation(p, "alpha");
    glUseProgram(p);
    glUniform1i(glGetUniformLocation(p, "picture"), 0);
    pass->discsRect_ = glGetUniformLocation(d, "rect");
    pass->discsTarget_ = glGetUniformLocation(d, "target");
    pass->discsCentre_ = glGetUniformLocation(d, "centre");
    pass->discsRadii_ = glGetUniformLocation(d, "radii");
    pass->discsFill_ = glGetUniformLocation(d, "fillColor");
    pass->discsStroke_ = glGetUniformLocation(d, "strokeColor");
    pass->discsLineWidth_ = glGetUniformLocation(d, "lineWidth");

    pass->quad_ = makeVertexArray();
    pass->corners_ = makeBuffer();
    glBindVertexArray(pass->quad_.get());
    const float corners[] = {0, 0, 1, 0, 0, 1, 1, 1};
    glBindBuffer(GL_ARRAY_BUFFER, pass->corners_.get());
    glBufferData(GL_ARRAY_BUFFER, sizeof corners, corners, GL_STATIC_DRAW);
    glEnableVertexAttribArray(0);
    glVertexAttribPointer(0, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glBindVertexArray(0);
    return pass;
}

void OverlayPass::beginFrame(graphics::Size targetPixels) {
    ++frame_;
    target_ = targetPixels;
}

void OverlayPass::useState() {
    // Set at every use: the 3-D passes drawn in between change it.
    glDisable(GL_DEPTH_TEST);
    glDepthMask(GL_FALSE);
    usePremultipliedBlending();
}

void OverlayPass::endFrame() {
    std::erase_if(labels_, [this](const auto& item) { return item.second.lastUsed != frame_; });
}

void OverlayPass::drawQuad() {
    glBindVertexArray(quad_.get());
    glDrawArrays(GL_TRIANGLE_STRIP, 0, 4);
    glBindVertexArray(0);
}

void OverlayPass::drawPicture(const TextureSlot& slot, const graphics::Rect& rect, double alpha) {
    if (slot.texture == 0 || alpha <= 0) return;
    useState();
    glUseProgram(pictures_.get());
    glUniform4f(picturesRect_, static_cast<float>(rect.origin.x), static_cast<float>(rect.origin.y),
                static_cast<float>(rect.width()), static_cast<float>(rect.height()));
    glUniform2f(picturesTarget_, static_cast<float>(target_.width),
                static_cast<float>(target_.height));
    glUniform4f(picturesUv_, slot.u0, slot.v0, slot.u1, slot.v1);
    glUniform1f(picturesAlpha_, static_cast<float>(alpha));
    glBindTexture(GL_TEXTURE_2D, slot.texture);
    drawQuad();
}

void OverlayPass::drawScene(const overlay::Scene& scene, const graphics::Rect& area,
                            TextureCache& textures) {
    graphics::Size size = scene.size();
    if (size.width <= 0 || size.height <= 0) return;
    // The overlay fills the view, stretched if its size differs.
    scaleX_ = area.width() / size.width;
    scaleY_ = area.height() / size.height;
    graphics::Point origin{area.origin.x, area.origin.y + area.height()};
    useState();
    for (const auto& child : scene.children()) drawNode(*child, origin, scene.alpha(), textures);
}

void OverlayPass::drawNode(const overlay::Node& node, graphics::Point parentPixel,
                           double parentAlpha, TextureCache& textures) {
    const double alpha = parentAlpha * node.alpha();
    if (!(alpha > 0)) return;
    // Positions are relative to the parent, y upwards.
    graphics::Point pixel{parentPixel.x + node.position().x * scaleX_,
                          parentPixel.y - node.position().y * scaleY_};
    std::visit(
        platform::Overloaded{
            [&](const overlay::ShapeNode* shape) { drawDisc(*shape, pixel, alpha); },
            [&](const overlay::LabelNode* label) { drawLabel(*label, pixel, alpha); },
            [&](const overlay::SpriteNode* sprite) { drawSprite(*sprite, pixel, alpha, textures); },
            [](const overlay::Node*) {},
        },
        node.shown());
    for (const auto& child : node.children()) drawNode(*child, pixel, alpha, textures);
}

void OverlayPass::drawDisc(const overlay::ShapeNode& shape, graphics::Point centre, double alpha) {
    double rx = shape.radius() * scaleX_, ry = shape.radius() * scaleY_;
    double lineWidth = shape.strokeColor().alpha > 0 ? shape.lineWidth() * scaleY_ : 0;
    double reach = lineWidth / 2 + 1;
    graphics::Rect rect{{centre.x - rx - reach, centre.y - ry - reach},
                        {2 * (rx + reach), 2 * (ry + reach)}};
    glUseProgram(discs_.get());
    glUniform4f(discsRect_, static_cast<float>(rect.origin.x), static_cast<float>(rect.origin.y),
                static_cast<float>(rect.width()), static_cast<float>(rect.height()));
    glUniform2f(discsTarget_, static_cast<float>(target_.width),
                static_cast<float>(target_.height));
    glUniform2f(discsCentre_, static_cast<float>(centre.x), static_cast<float>(centre.y));
    glUniform2f(discsRadii_, static_cast<float>(rx), static_cast<float>(ry));
    premultiplied(discsFill_, shape.fillColor(), alpha);
    premultiplied(discsStroke_, shape.strokeColor(), alpha);
    glUniform1f(discsLineWidth_, static_cast<float>(lineWidth));
    drawQuad();
}

void OverlayPass::drawSprite(const overlay::SpriteNode& sprite, graphics::Point centre,
                             double alpha, TextureCache& textures) {
    auto image = sprite.texture();
    if (!image) return;
    graphics::Size size = image->size();
    double w = size.width * scaleX_, h = size.height * scaleY_;
    // Whole pixels where the picture maps one to one, so icons stay crisp.
    double x = std::round(centre.x - w / 2), y = std::round(centre.y - h / 2);
    drawPicture(textures.slotFor(image->cgImage()), {{x, y}, {w, h}}, alpha);
}

void OverlayPass::drawLabel(const overlay::LabelNode& label, graphics::Point anchor, double alpha) {
    if (label.text().empty()) return;
    const graphics::Color color = label.fontColor();
    // The text is drawn at the overlay's vertical resolution and stretched
    // across when the overlay is stretched unevenly.
    LabelKey key{label.text(), label.fontName(), label.fontSize(), color.red,
                 color.green,  color.blue,       color.alpha,      scaleY_};
    auto it = labels_.find(key);
    if (it == labels_.end()) {
        auto picture =
            drawTextPicture(label.text(), graphics::Font::named(label.fontName(), label.fontSize()),
                            color, scaleY_);
        if (!picture) return;
        Label made;
        made.texture = makeSamplingTexture();
        glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, picture->bitmap->width(),
                     picture->bitmap->height(), 0, GL_RGBA, GL_UNSIGNED_BYTE,
                     picture->bitmap->data());
        made.width = picture->bitmap->width();
        made.height = picture->bitmap->height();
        made.baseline = picture->baseline;
        made.layoutHeight = picture->height;
        it = labels_.emplace(key, std::move(made)).first;
    }
    Label& picture = it->second;
    picture.lastUsed = frame_;
    const double stretch = scaleX_ / scaleY_;
    const double width = picture.width * stretch;
    double x = anchor.x;
    switch (label.horizontalAlignmentMode()) {
        case overlay::HorizontalAlignmentMode::left: break;
        case overlay::HorizontalAlignmentMode::center: x -= width / 2; break;
        case overlay::HorizontalAlignmentMode::right: x -= width; break;
    }
    double y = anchor.y - picture.baseline;
    switch (label.verticalAlignmentMode()) {
        case overlay::VerticalAlignmentMode::baseline: break;
        case overlay::VerticalAlignmentMode::center: y = anchor.y - picture.layoutHeight / 2; break;
        case overlay::VerticalAlignmentMode::top: y = anchor.y; break;
        case overlay::VerticalAlignmentMode::bottom: y = anchor.y - picture.layoutHeight; break;
    }
    drawPicture({picture.texture.get(), 0, 0, 1, 1},
                {{std::round(x), std::round(y)}, {width, picture.height}}, alpha);
}

}  // namespace render
