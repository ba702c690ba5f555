#include "platform/headless/HeadlessHost.h"

#include <fstream>
#include <iostream>
#include <iterator>
#include <sstream>

#include "controller/ViewController.h"
#include "platform/Files.h"
#include "platform/graphics/Backend.h"
#include "platform/headless/Dump.h"
#include "platform/ui/Device.h"
#include "platform/ui/FileManager.h"
#include "platform/ui/Locale.h"
#include "platform/ui/Random.h"

namespace headless {

namespace {
scrawlet::ViewController* controllerOf(const ui::Application& application) {
    return dynamic_cast<scrawlet::ViewController*>(application.rootViewController().get());
}

platform::Error failure(const Command& command, const std::string& what) {
    return platform::fail(command.name + ": " + what);
}
}  // namespace

HeadlessHost::HeadlessHost(std::filesystem::path scriptPath) : scriptPath_(std::move(scriptPath)) {}

int HeadlessHost::run(ui::Application& application) {
    std::string text;
    if (scriptPath_ == "-") {
        text.assign(std::istreambuf_iterator<char>(std::cin), std::istreambuf_iterator<char>());
    } else {
        auto bytes = platform::readFile(scriptPath_, 16u << 20);
        if (!bytes) {
            std::cerr << "scrawlet: " << bytes.error() << "\n";
            return 2;
        }
        text.assign(bytes.value().begin(), bytes.value().end());
    }
    return runScript(application, text, std::cout, std::cerr);
}

int HeadlessHost::runScript(ui::Application& application, std::string_view text,
                            std::ostream& output, std::ostream& errors) {
    std::string name = scriptPath_ == "-" ? "standard input" : scriptPath_.string();
    auto script = parseScript(text);
    if (!script) {
        errors << "scrawlet: " << name << ", " << script.error() << "\n";
        return 2;
    }
    for (const Command& command : script.value()) {
        if (application.isTerminated()) break;
        auto done = execute(application, command, output);
        if (!done) {
            errors << "scrawlet: " << name << ", line " << command.line << ": " << done.error()
                   << "\n";
            return 2;
        }
    }
    output.flush();
    return 0;
}

platform::Result<void> HeadlessHost::execute(ui::Application& application, const Command& command,
                                             std::ostream& output) {
    const std::string& name = command.name;
    const auto& args = command.args;
    const auto& n = command.numbers;

    // Set-up of the simulated device, before launch.
    if (name == "view") {
        viewSize_ = {n[0], n[1]};
    } else if (name == "scale") {
        scale_ = n[0];
    } else if (name == "inset") {
        inset_ = n[0];
    } else if (name == "device") {
        ui::Device::current().userInterfaceIdiom =
            args[0] == "pad" ? ui::UserInterfaceIdiom::pad : ui::UserInterfaceIdiom::phone;
    } else if (name == "languages") {
        ui::Locale::setPreferredLanguages(args);
    } else if (name == "documents") {
        ui::FileManager::defaultManager().setDocumentsDirectory(
            args[0] == "none" ? std::nullopt : std::optional<std::filesystem::path>(args[0]));
    } else if (name == "library") {
        ui::Device::current().photoLibrary = args[0];
    } else if (name == "camera") {
        ui::Device::current().hasCamera = args[0] == "yes";
    } else if (name == "segmentation") {
        ar::deviceCapabilities().personSegmentationWithDepth = args[0] == "yes";
    } else if (name == "seed") {
        ui::SystemRandom::shared().seed(static_cast<std::uint64_t>(n[0]));
    } else if (name == "launch") {
        ui::Screen::main().setScale(scale_);
        application.launch(viewSize_, {0, 0, inset_, 0});

        // The application's life cycle.
    } else if (name == "disappear" || name == "appear") {
        auto root = application.rootViewController();
        if (name == "disappear") {
            root->viewWillDisappear(true);
            root->viewDidDisappear(true);
        } else {
            root->viewWillAppear(true);
            root->viewDidAppear(true);
        }
    } else if (name == "background") {
        application.enterBackground();
    } else if (name == "foreground") {
        application.enterForeground();
        application.becomeActive();
    } else if (name == "memory-warning") {
        application.sendMemoryWarning();
    } else if (name == "terminate") {
        application.terminate();
    } else if (name == "resize") {
        application.transitionToSize({n[0], n[1]});
    } else if (name == "rotate") {
        auto size = ui::Screen::main().bounds().size;
        application.transitionToSize({size.height, size.width});

        // The simulated camera.
    } else if (name == "pose") {
        if (args[0] == "identity") {
            pose_ = scene::Matrix4::identity();
        } else if (args[0] == "matrix") {
            std::array<float, 16> values;
            for (std::size_t i = 0; i < 16; ++i) values[i] = static_cast<float>(n[i]);
            pose_ = scene::Matrix4::fromColumnMajor(values);
        } else {
            pose_ = ar::poseAt(
                {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])},
                n[3], n[4]);
        }
    } else if (name == "frame") {
        if (auto view = application.sceneView()) view->session().deliverFrame(pose_);

        // Touches and motion.
    } else if (name == "down" || name == "move" || name == "up" || name == "cancel") {
        return touch(application, command);
    } else if (name == "shake") {
        application.sendMotionEnded(ui::EventSubtype::motionShake);
    } else if (name == "motion") {
        application.sendMotionEnded(static_cast<ui::EventSubtype>(static_cast<int>(n[0])));

        // Presented controllers.
    } else if (name == "choose") {
        return choose(application, command);
    } else if (name == "pick" || name == "pick-cancel") {
        auto picker =
            std::dynamic_pointer_cast<ui::ImagePickerController>(application.topViewController());
        if (!picker) return failure(command, "no image picker is shown");
        if (name == "pick-cancel") {
            picker->cancel();
            return {};
        }
        // A refused file leaves the picker open; the script goes on, as a
        // user would pick again.
        if (auto picked = picker->pickFile(args[0]); !picked)
            std::cerr << "scrawlet: line " << command.line << ": " << picked.error() << "\n";
    } else if (name == "save-shared") {
        auto share =
            std::dynamic_pointer_cast<ui::ActivityViewController>(application.topViewController());
        if (!share) return failure(command, "no share sheet is shown");
        auto image = share->firstImage();
        if (!image) return failure(command, "the share sheet holds no picture");
        if (auto written = writePng(*image->cgImage(), args[0]); !written)
            return failure(command, written.error());
        share->complete();
    } else if (name == "snapshot") {
        if (!renderer_) return failure(command, "pictures cannot be rendered here");
        auto picture = renderer_->renderScreen(application, ui::Screen::main().scale());
        if (!picture) return failure(command, picture.error());
        if (auto written = writePng(*picture.value(), args[0]); !written)
            return failure(command, written.error());

    } else if (name == "dump") {
        auto* controller = controllerOf(application);
        if (controller == nullptr) return failure(command, "there is no controller");
        Json state = dumpState(application, *controller);
        if (args.empty()) {
            output << state.dump() << "\n";
            output.flush();
        } else {
            std::string text = state.dump(2) + "\n";
            auto written = platform::writeFileAtomically(
                args[0],
                std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
            if (!written) return failure(command, written.error());
        }
    } else {
        return failure(command, "is not known here");
    }
    return {};
}

platform::Result<void> HeadlessHost::touch(ui::Application& application, const Command& command) {
    const auto& n = command.numbers;
    if (command.name == "down") {
        ui::TouchSet began;
        for (std::size_t i = 0; i + 1 < n.size(); i += 2)
            began.push_back(std::make_shared<ui::Touch>(graphics::Point{n[i], n[i + 1]}));
        activeTouches_.insert(activeTouches_.end(), began.begin(), began.end());
        application.sendTouchesBegan(began);
    } else if (command.name == "move") {
        if (activeTouches_.empty()) return failure(command, "no touch is down");
        if (n.size() / 2 != activeTouches_.size())
            return failure(command, "expected one point for each of the " +
                                        std::to_string(activeTouches_.size()) + " touches down");
        for (std::size_t i = 0; i < activeTouches_.size(); ++i) {
            activeTouches_[i]->setLocation({n[2 * i], n[2 * i + 1]});
            activeTouches_[i]->setPhase(ui::TouchPhase::moved);
        }
        application.sendTouchesMoved(activeTouches_);
    } else {
        if (activeTouches_.empty()) return failure(command, "no touch is down");
        ui::TouchSet ended = std::move(activeTouches_);
        activeTouches_.clear();
        for (auto& touch : ended)
            touch->setPhase(command.name == "up" ? ui::TouchPhase::ended
                                                 : ui::TouchPhase::cancelled);
        if (command.name == "up")
            application.sendTouchesEnded(ended);
        else
            application.sendTouchesCancelled(ended);
    }
    return {};
}

platform::Result<void> HeadlessHost::choose(ui::Application& application, const Command& command) {
    auto alert = std::dynamic_pointer_cast<ui::AlertController>(application.topViewController());
    if (!alert) return failure(command, "no alert or sheet is shown");
    const auto& actions = alert->actions();
    if (!command.numbers.empty()) {
        // Counted from #1, the way the actions read from the top.
        auto number = static_cast<std::size_t>(command.numbers[0]);
        if (number < 1 || number > actions.size())
            return failure(command, "the alert has " + std::to_string(actions.size()) +
                                        " actions, #1 to #" + std::to_string(actions.size()));
        alert->choose(actions[number - 1]);
        return {};
    }
    for (const auto& action : actions) {
        if (action->title() == command.args[0]) {
            alert->choose(action);
            return {};
        }
    }
    std::string titles;
    for (const auto& action : actions)
        titles += (titles.empty() ? "" : ", ") + action->title().value_or("");
    return failure(command,
                   "no action titled '" + command.args[0] + "' (there are: " + titles + ")");
}

platform::Result<void> HeadlessHost::writePng(const graphics::Bitmap& bitmap,
                                              const std::filesystem::path& file) {
    auto png = graphics::backend().encodePng(bitmap);
    if (!png) return platform::fail(png.error());
    return platform::writeFileAtomically(file, png.value());
}

}  // namespace headless
