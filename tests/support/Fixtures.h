// Settings of the simulated device that a test changes for its own length
// and puts back afterwards.
#pragma once

#include <gtest/gtest.h>

#include "platform/graphics/ImageContext.h"
#include "platform/ui/Device.h"

namespace testsupport {

// A phone's screen of three pixels a point while the test runs.
class AtScreenScaleThree : public testing::Test {
protected:
    void SetUp() override {
        previousScale_ = graphics::mainScreenScale();
        graphics::setMainScreenScale(3);
    }
    void TearDown() override { graphics::setMainScreenScale(previousScale_); }

private:
    double previousScale_ = 1;
};

// The device is a pad while this lives: controllers that can show as
// popovers do.
class PadDevice {
public:
    PadDevice() : saved_(ui::Device::current().userInterfaceIdiom) {
        ui::Device::current().userInterfaceIdiom = ui::UserInterfaceIdiom::pad;
    }
    ~PadDevice() { ui::Device::current().userInterfaceIdiom = saved_; }
    PadDevice(const PadDevice&) = delete;
    PadDevice& operator=(const PadDevice&) = delete;

private:
    ui::UserInterfaceIdiom saved_;
};

}  // namespace testsupport
