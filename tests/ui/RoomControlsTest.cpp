// Walking and looking around the simulated room with keys and the mouse, as
// the desktop's window and the page both do.
#include <gtest/gtest.h>

#include "app/AppDelegate.h"
#include "platform/ui/RoomControls.h"

namespace {

using ui::KeyOutcome;
using ui::KeyPress;

class Room : public testing::Test {
protected:
    void SetUp() override { application.launch(ui::currentLaunchDescription()); }
    KeyOutcome press(std::string_view code, bool down = true, bool walkable = true) {
        return room.press(keys, KeyPress{code, down}, walkable);
    }

public:
    ui::Application application{[] { return std::make_unique<scrawlet::AppDelegate>(); }};
    ui::PointerInput pointers{application};
    ui::KeyboardInput keys{application, pointers};
    ui::RoomControls room;
};

// A walking key held moves the camera at walking speed for as long as it is
// held, and a turning key turns it; let go, they stop.
// The rig keeps its position in single precision, so positions are near
// to within what a float holds.
TEST_F(Room, HeldKeysMoveTheCameraAsTimePasses) {
    EXPECT_FALSE(room.advance(0.5)) << "nothing held";
    EXPECT_EQ(press("KeyW"), KeyOutcome::used);
    EXPECT_TRUE(room.moving());
    EXPECT_TRUE(room.advance(0.05));
    EXPECT_TRUE(room.advance(0.05));
    EXPECT_NEAR(room.rig().position().z, -0.12, 1e-6);
    EXPECT_EQ(press("KeyW", false), KeyOutcome::used);
    EXPECT_FALSE(room.moving());
    EXPECT_FALSE(room.advance(0.05));
    EXPECT_NEAR(room.rig().position().z, -0.12, 1e-6);

    press("ArrowLeft");
    room.advance(0.1);
    press("ArrowLeft", false);
    EXPECT_NEAR(room.rig().yawDegrees(), 7.5, 1e-9);
    EXPECT_NEAR(room.rig().position().x, 0, 1e-6);
}

// Where the camera is not walked with keys (a phone's own camera), the
// walking keys are not held and R leaves the camera where it is.
TEST_F(Room, KeysDoNotWalkWhereTheRoomIsNotWalkable) {
    press("KeyD", true, false);
    EXPECT_FALSE(room.moving());
    EXPECT_FALSE(room.advance(0.1));
    press("KeyD");
    room.advance(0.1);
    ASSERT_NEAR(room.rig().position().x, 0.12, 1e-6);
    EXPECT_EQ(press("KeyR", true, false), KeyOutcome::resetCamera);
    EXPECT_NEAR(room.rig().position().x, 0.12, 1e-6);
    EXPECT_EQ(press("KeyR"), KeyOutcome::resetCamera);
    EXPECT_EQ(room.rig().position().x, 0);
    EXPECT_EQ(room.rig().yawDegrees(), 0);
}

// Keys released while the focus is elsewhere never arrive: losing the
// focus lets go of the keys and of the turning button.
TEST_F(Room, LosingTheFocusLetsGoOfKeysAndTheButton) {
    press("KeyW");
    press("ArrowUp");
    room.turnButton(true, {100, 100});
    room.release();
    EXPECT_FALSE(room.moving());
    EXPECT_FALSE(room.turning());
    EXPECT_FALSE(room.advance(0.5));
    EXPECT_FALSE(room.mouseMoved({200, 100}));
    EXPECT_EQ(room.rig().position().z, 0);
    EXPECT_EQ(room.rig().yawDegrees(), 0);
    EXPECT_EQ(room.rig().pitchDegrees(), 0);
}

// With the right button held the mouse turns the camera, by a quarter of
// a degree a point: right turns right, up looks up. Let go, it does not.
TEST_F(Room, DraggingWithTheRightButtonTurnsTheCamera) {
    EXPECT_FALSE(room.mouseMoved({140, 100})) << "no button held";
    room.turnButton(true, {100, 100});
    EXPECT_TRUE(room.turning());
    EXPECT_TRUE(room.mouseMoved({140, 100}));
    EXPECT_NEAR(room.rig().yawDegrees(), -10, 1e-9);
    EXPECT_TRUE(room.mouseMoved({140, 60}));
    EXPECT_NEAR(room.rig().pitchDegrees(), 10, 1e-9);
    room.turnButton(false, {140, 60});
    EXPECT_FALSE(room.mouseMoved({300, 300}));
    EXPECT_NEAR(room.rig().yawDegrees(), -10, 1e-9);
    EXPECT_NEAR(room.rig().pitchDegrees(), 10, 1e-9);
}

}  // namespace
