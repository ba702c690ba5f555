// Which of the software rasteriser's tricks a host turns on for the
// rasteriser that GL names.
#include <gtest/gtest.h>

#include "platform/ui/RenderOptions.h"

namespace {

TEST(RenderOptions, MesasSoftwareRasterisersGetTheTricksAndGpusNone) {
    struct Case {
        const char* renderer;
        bool software;
    };
    const Case cases[] = {
        {"llvmpipe (LLVM 15.0.6, 256 bits)", true},
        {"softpipe", true},
        {"Mesa Intel(R) UHD Graphics 620 (KBL GT2)", false},
        {"ANGLE (Google, Vulkan 1.3.0 (SwiftShader Device (Subzero)), SwiftShader driver)", false},
        {"", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.renderer);
        const ui::RenderOptions options = ui::RenderOptions::forRenderer(c.renderer);
        EXPECT_EQ(options,
                  c.software ? ui::RenderOptions::softwareRasterizer() : ui::RenderOptions::gpu());
        EXPECT_EQ(options.keepPicture, c.software);
        EXPECT_EQ(options.redrawRegions, c.software);
        EXPECT_EQ(options.hideCoveredTiles, c.software);
        EXPECT_EQ(options.stencilBlockTrick, c.software);
        EXPECT_FALSE(options.uploadInBands);
        EXPECT_FALSE(options.alphaToCoverage);
    }
}

TEST(RenderOptions, OnlyThePageUploadsPicturesInBandsAndDrawsSoftEdgesByCoverage) {
    EXPECT_TRUE(ui::RenderOptions::page().uploadInBands);
    EXPECT_FALSE(ui::RenderOptions::gpu().uploadInBands);
    EXPECT_FALSE(ui::RenderOptions::softwareRasterizer().uploadInBands);
    EXPECT_TRUE(ui::RenderOptions::page().alphaToCoverage);
    EXPECT_FALSE(ui::RenderOptions::gpu().alphaToCoverage);
    // Otherwise the page draws as a GPU does.
    ui::RenderOptions page = ui::RenderOptions::page();
    page.uploadInBands = false;
    page.alphaToCoverage = false;
    EXPECT_EQ(page, ui::RenderOptions::gpu());
}

}  // namespace
