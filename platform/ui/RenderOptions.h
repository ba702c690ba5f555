// What the renderer does to spare the rasteriser work, chosen by the host
// for what draws there. Mesa's software rasteriser (llvmpipe) pays for every
// pixel it rasterises and depth-tests, and for every frame drawn again; a
// GPU rejects hidden fragments for nothing after the front-to-back opaque
// pass (early-Z), and there the tricks only cost the main thread's time.
#pragma once

#include <string_view>

namespace ui {

struct RenderOptions {
    // A frame that changes nothing the scene view shows copies its picture
    // from the last one instead of drawing it again.
    bool keepPicture = false;
    // A frame that only adds planes draws the kept picture again only where
    // they lie (with keepPicture).
    bool redrawRegions = false;
    // A frame drawn whole leaves out what nearer sprites' opaque texels
    // cover, tile by tile of the screen, and cuts each sprite to an octagon
    // without its transparent corners.
    bool hideCoveredTiles = false;
    // A stencil test that passes everything and writes nothing, without
    // which llvmpipe shades blocks of pixels that fail the depth test.
    bool stencilBlockTrick = false;
    // A large new picture's texture is uploaded a band of rows per frame,
    // its levels of detail last, and its plane left out until it is whole:
    // where the upload is copied to another process, which the compositor
    // waits for (a browser's GPU process).
    bool uploadInBands = false;
    // Where the target has several samples a pixel, fully opaque sprites
    // are drawn whole in the opaque pass, their soft edges turned into
    // sample coverage (alpha to coverage), instead of blended over what lies
    // behind: only see-through planes then need the back-to-front order,
    // which a moving camera otherwise makes again for every plane every
    // frame. An edge shows as many steps as a pixel has samples.
    bool alphaToCoverage = false;

    // Every trick on: where Mesa's software rasteriser draws.
    static constexpr RenderOptions softwareRasterizer() {
        return {true, true, true, true, false, false};
    }
    // None: where a GPU draws, until a measurement there says one pays.
    static constexpr RenderOptions gpu() { return {}; }
    // A browser's WebGL: no tricks, pictures uploaded in bands, and soft
    // edges by coverage where the canvas or the XR layer is multisampled.
    static constexpr RenderOptions page() {
        RenderOptions options;
        options.uploadInBands = true;
        options.alphaToCoverage = true;
        return options;
    }
    // As suits the rasteriser that GL names `renderer` (GL_RENDERER): Mesa's
    // software ones get the tricks, anything else none.
    static constexpr RenderOptions forRenderer(std::string_view renderer) {
        return renderer.find("llvmpipe") != std::string_view::npos ||
                       renderer.find("softpipe") != std::string_view::npos
                   ? softwareRasterizer()
                   : gpu();
    }

    friend bool operator==(const RenderOptions&, const RenderOptions&) = default;
};

}  // namespace ui
