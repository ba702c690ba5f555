// Tests of the core that look at no pixels: the graphics back end draws
// nothing and needs no fonts, and there is no scene file.
#include <gtest/gtest.h>

#include "app/Registration.h"
#include "platform/graphics/NullBackend.h"
#include "support/Fixtures.h"

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
    scrawlet::registerMainInterface();
    scrawlet::registerStateDump();
    ui::LaunchDescription description;
    description.graphics = graphics::makeNullBackend();
    testsupport::PlatformScope platform(std::move(description));
    return RUN_ALL_TESTS();
}
