// Runs scripts of the automation language against the live application, for
// every host: the headless program runs a script file, the desktop window
// writes the dump for its tests, the browser page runs scripts it is given.
// Set-up commands fill the launch description; `launch` launches; the rest
// drive the application as a user would and report what they would see.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Result.h"
#include "platform/automation/Script.h"
#include "platform/graphics/Bitmap.h"
#include "platform/scene/Math.h"
#include "platform/ui/Application.h"
#include "platform/ui/Frame.h"

namespace automation {

// Renders pictures of the screen for `snapshot`; a host that can draw gives
// one.
class ScreenPictures {
public:
    virtual ~ScreenPictures() = default;
    // `frame` at `scale` pixels per point.
    virtual platform::Result<std::shared_ptr<const graphics::Bitmap>> renderFrame(
        const ui::FrameDescription& frame, double scale) = 0;
};

// Exit statuses: every command done; a command could not do what it says; a
// malformed line.
enum class ScriptStatus { done = 0, failed = 1, malformed = 2 };

class ScriptRunner {
public:
    // `description` is what set-up starts from: the host's defaults and its
    // back ends.
    ScriptRunner(ui::Application& application, ui::LaunchDescription description,
                 std::shared_ptr<ScreenPictures> pictures);

    // Runs `text`, named `name` in messages; relative paths resolve against
    // `folder` (none: the working folder). What the script prints goes to `output`, one line a
    // dump; what went wrong to `errors`, naming the line.
    ScriptStatus run(std::string_view text, std::string_view name,
                     const std::filesystem::path& folder, std::ostream& output,
                     std::ostream& errors);

    // Where the camera's frames come from: the script (`pose`, `frame`), or,
    // with a reason, a device that tracks itself (a phone in augmented
    // reality), which refuses those two commands with that reason.
    void setTrackedByDevice(std::optional<std::string> reason) {
        trackedByDevice_ = std::move(reason);
    }
    // What set-up has made of the launch description so far, for a host that
    // launches the application itself.
    const ui::LaunchDescription& launchDescription() const { return description_; }

    // The table of commands: one row a command, with what it accepts and
    // what it does.
    struct Row;
    static const Row* command(std::string_view name);

private:
    using Done = platform::Result<void>;
    // Set-up, before launch.
    Done view(const Command& command);
    Done scale(const Command& command);
    Done inset(const Command& command);
    Done device(const Command& command);
    Done languages(const Command& command);
    Done documents(const Command& command);
    Done library(const Command& command);
    Done camera(const Command& command);
    Done segmentation(const Command& command);
    Done seed(const Command& command);
    Done launch(const Command& command);
    // The application's life cycle and size.
    Done disappear(const Command& command);
    Done appear(const Command& command);
    Done background(const Command& command);
    Done foreground(const Command& command);
    Done memoryWarning(const Command& command);
    Done terminate(const Command& command);
    Done resize(const Command& command);
    Done rotate(const Command& command);
    // The simulated camera.
    Done pose(const Command& command);
    Done frame(const Command& command);
    // Touches and motion.
    Done down(const Command& command);
    Done move(const Command& command);
    Done up(const Command& command);
    Done cancel(const Command& command);
    Done shake(const Command& command);
    Done motion(const Command& command);
    // Presented screens.
    Done choose(const Command& command);
    Done pick(const Command& command);
    Done pickCancel(const Command& command);
    Done saveShared(const Command& command);
    // Reports.
    Done snapshot(const Command& command);
    Done dump(const Command& command);

    Done endTouches(bool cancelled);
    bool showsPicker() const;
    std::filesystem::path resolve(const std::string& path) const;

    ui::Application& application_;
    ui::LaunchDescription description_;
    std::shared_ptr<ScreenPictures> pictures_;
    ui::FrameBuilder frames_;
    scene::Matrix4 pose_ = scene::Matrix4::identity();
    std::optional<std::string> trackedByDevice_;
    // The touches now down, in the order they began.
    ui::TouchSet activeTouches_;
    // Set while a script runs.
    std::filesystem::path folder_;
    std::ostream* output_ = nullptr;
    std::ostream* errors_ = nullptr;
};

// When a command may come: before `launch`, after it, or either.
enum class Phase { setup, running, any };

struct ScriptRunner::Row {
    std::string_view name;
    Phase phase;
    // Checks the arguments and fills in their numbers, or says what is wrong.
    platform::Result<void> (*accepts)(Command& command);
    Done (ScriptRunner::*action)(const Command& command);
};

}  // namespace automation
