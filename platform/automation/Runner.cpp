#include "platform/automation/Runner.h"

#include <array>
#include <charconv>
#include <cmath>
#include <iostream>
#include <limits>

#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/Numbers.h"
#include "platform/automation/Dump.h"
#include "platform/graphics/Backend.h"
#include "platform/ui/PresentedResponse.h"

namespace automation {

namespace {
using Accepted = platform::Result<void>;

// The largest size a view may take, in points, on either side.
constexpr double maxViewSide = 16384;
// Motion subtypes are small whole numbers; anything beyond is not one.
constexpr long long maxMotionSubtype = 1000000;

bool parseNumber(const std::string& word, double& value) {
    return platform::parseDecimal(word, value);
}

template <class Integer>
bool parseWhole(std::string_view word, Integer& value) {
    auto [ptr, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    return error == std::errc() && ptr == word.data() + word.size();
}

// Every argument from `from` on is a number.
Accepted numbersFrom(Command& command, std::size_t from) {
    for (std::size_t i = from; i < command.args.size(); ++i) {
        double value;
        if (!parseNumber(command.args[i], value))
            return platform::fail("'" + command.args[i] + "' is not a number");
        command.numbers.push_back(value);
    }
    return {};
}

Accepted count(Command& command, std::size_t n, const char* usage) {
    if (command.args.size() != n) return platform::fail(std::string("expected ") + usage);
    return {};
}

Accepted noArguments(Command& command) { return count(command, 0, "no arguments"); }

Accepted viewSize(Command& command) {
    TRY(count(command, 2, "a width and a height in points"));
    TRY(numbersFrom(command, 0));
    for (double side : command.numbers)
        if (side <= 0 || side > maxViewSide)
            return platform::fail("the size must be between 0 and 16384 points");
    return {};
}

Accepted scaleFactor(Command& command) {
    TRY(count(command, 1, "a scale"));
    TRY(numbersFrom(command, 0));
    if (command.numbers[0] < 1 || command.numbers[0] > 4)
        return platform::fail("the scale must be 1 to 4");
    return {};
}

Accepted insetPoints(Command& command) {
    TRY(count(command, 1, "the bottom inset in points"));
    TRY(numbersFrom(command, 0));
    if (command.numbers[0] < 0) return platform::fail("the inset cannot be negative");
    return {};
}

Accepted oneOf(Command& command, std::initializer_list<const char*> words) {
    std::string usage;
    for (const char* word : words) usage += (usage.empty() ? "" : "|") + std::string(word);
    if (command.args.size() != 1) return platform::fail("expected " + usage);
    for (const char* word : words)
        if (command.args[0] == word) return {};
    return platform::fail("expected " + usage + ", not '" + command.args[0] + "'");
}

Accepted deviceKind(Command& command) { return oneOf(command, {"phone", "pad"}); }
Accepted yesNo(Command& command) { return oneOf(command, {"yes", "no"}); }

Accepted languageTags(Command& command) {
    if (command.args.empty()) return platform::fail("expected one or more language tags");
    return {};
}

Accepted oneWord(Command& command) { return count(command, 1, "one argument"); }

Accepted optionalWord(Command& command) {
    if (command.args.size() > 1) return platform::fail("expected at most one file");
    return {};
}

Accepted seedNumber(Command& command) {
    TRY(count(command, 1, "a whole number"));
    std::uint64_t value;
    if (!parseWhole(command.args[0], value))
        return platform::fail("'" + command.args[0] + "' is not a whole number from 0 to " +
                              std::to_string(std::numeric_limits<std::uint64_t>::max()));
    command.whole = value;
    return {};
}

Accepted points(Command& command) {
    if (command.args.empty() || command.args.size() % 2 != 0)
        return platform::fail("expected X Y [X Y]...");
    return numbersFrom(command, 0);
}

Accepted poseForm(Command& command) {
    if (command.args.empty())
        return platform::fail("expected identity, matrix M0..M15 or at X Y Z yaw DEG pitch DEG");
    const std::string& form = command.args[0];
    if (form == "identity") return count(command, 1, "nothing after identity");
    if (form == "matrix") {
        if (command.args.size() != 17)
            return platform::fail("expected sixteen numbers after matrix");
        return numbersFrom(command, 1);
    }
    if (form == "at") {
        if (command.args.size() != 8 || command.args[4] != "yaw" || command.args[6] != "pitch")
            return platform::fail("expected at X Y Z yaw DEG pitch DEG");
        for (std::size_t i : {1, 2, 3, 5, 7}) {
            double value;
            if (!parseNumber(command.args[i], value))
                return platform::fail("'" + command.args[i] + "' is not a number");
            command.numbers.push_back(value);
        }
        return {};
    }
    return platform::fail("unknown form '" + form + "'");
}

Accepted motionSubtype(Command& command) {
    TRY(count(command, 1, "a motion subtype number"));
    long long value;
    if (!parseWhole(command.args[0], value) || value < -maxMotionSubtype ||
        value > maxMotionSubtype)
        return platform::fail("the subtype must be a whole number");
    command.numbers.push_back(static_cast<double>(value));
    return {};
}

Accepted actionChoice(Command& command) {
    TRY(count(command, 1, "an action's title or #N"));
    const std::string& word = command.args[0];
    if (word.size() > 1 && word[0] == '#') {
        std::uint64_t number;
        if (!parseWhole(std::string_view(word).substr(1), number))
            return platform::fail("'" + word + "' is not #N");
        command.whole = number;
    }
    return {};
}

platform::Result<void> writePng(const graphics::Bitmap& bitmap, const std::filesystem::path& file) {
    TRY_LET(png, graphics::backend().encodePng(bitmap));
    // A script's outputs go where a shell's redirection would send them: onto
    // /dev/null or into a pipe as well as into a file.
    return platform::writeFile(file, png, platform::WriteOptions::throughSpecialFiles());
}

platform::Result<void> writeText(const std::filesystem::path& file, const std::string& text) {
    return platform::writeFile(
        file, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()),
        platform::WriteOptions::throughSpecialFiles());
}

}  // namespace

const ScriptRunner::Row* ScriptRunner::command(std::string_view name) {
    // clang-format off
    static const std::array commandTable{
        Row{"view",           Phase::setup,   viewSize,      &ScriptRunner::view},
        Row{"scale",          Phase::setup,   scaleFactor,   &ScriptRunner::scale},
        Row{"inset",          Phase::setup,   insetPoints,   &ScriptRunner::inset},
        Row{"device",         Phase::setup,   deviceKind,    &ScriptRunner::device},
        Row{"languages",      Phase::setup,   languageTags,  &ScriptRunner::languages},
        Row{"documents",      Phase::setup,   oneWord,       &ScriptRunner::documents},
        Row{"library",        Phase::setup,   oneWord,       &ScriptRunner::library},
        Row{"camera",         Phase::setup,   yesNo,         &ScriptRunner::camera},
        Row{"segmentation",   Phase::setup,   yesNo,         &ScriptRunner::segmentation},
        Row{"seed",           Phase::setup,   seedNumber,    &ScriptRunner::seed},
        Row{"launch",         Phase::setup,   noArguments,   &ScriptRunner::launch},
        Row{"disappear",      Phase::running, noArguments,   &ScriptRunner::disappear},
        Row{"appear",         Phase::running, noArguments,   &ScriptRunner::appear},
        Row{"background",     Phase::running, noArguments,   &ScriptRunner::background},
        Row{"foreground",     Phase::running, noArguments,   &ScriptRunner::foreground},
        Row{"memory-warning", Phase::running, noArguments,   &ScriptRunner::memoryWarning},
        Row{"terminate",      Phase::running, noArguments,   &ScriptRunner::terminate},
        Row{"resize",         Phase::running, viewSize,      &ScriptRunner::resize},
        Row{"rotate",         Phase::running, noArguments,   &ScriptRunner::rotate},
        Row{"pose",           Phase::any,     poseForm,      &ScriptRunner::pose},
        Row{"frame",          Phase::running, noArguments,   &ScriptRunner::frame},
        Row{"down",           Phase::running, points,        &ScriptRunner::down},
        Row{"move",           Phase::running, points,        &ScriptRunner::move},
        Row{"up",             Phase::running, noArguments,   &ScriptRunner::up},
        Row{"cancel",         Phase::running, noArguments,   &ScriptRunner::cancel},
        Row{"shake",          Phase::running, noArguments,   &ScriptRunner::shake},
        Row{"motion",         Phase::running, motionSubtype, &ScriptRunner::motion},
        Row{"choose",         Phase::running, actionChoice,  &ScriptRunner::choose},
        Row{"pick",           Phase::running, oneWord,       &ScriptRunner::pick},
        Row{"pick-cancel",    Phase::running, noArguments,   &ScriptRunner::pickCancel},
        Row{"save-shared",    Phase::running, oneWord,       &ScriptRunner::saveShared},
        Row{"snapshot",       Phase::running, oneWord,       &ScriptRunner::snapshot},
        Row{"dump",           Phase::running, optionalWord,  &ScriptRunner::dump},
    };
    // clang-format on
    for (const Row& row : commandTable)
        if (row.name == name) return &row;
    return nullptr;
}

ScriptRunner::ScriptRunner(ui::Application& application, ui::LaunchDescription description,
                           std::shared_ptr<ScreenPictures> pictures)
    : application_(application),
      description_(std::move(description)),
      pictures_(std::move(pictures)) {}

ScriptStatus ScriptRunner::run(std::string_view text, std::string_view name,
                               const std::filesystem::path& folder, std::ostream& output,
                               std::ostream& errors) {
    // Checked whole first, so that a malformed line stops the script before
    // anything has happened; then read again line by line as it runs, so
    // that a long script is not held in memory twice.
    const bool launched = application_.isLaunched();
    if (auto checked = forEachCommand(text, launched, [](Command&&) {}); !checked) {
        errors << "scrawlet: " << name << ", " << checked.error() << "\n";
        return ScriptStatus::malformed;
    }
    folder_ = folder;
    output_ = &output;
    errors_ = &errors;
    // The script drives this application: what it reaches (the screen, the
    // back ends) is this application's.
    ui::ApplicationScope driven(application_);
    ScriptStatus status = ScriptStatus::done;
    auto ran = forEachCommand(text, launched, [&](Command&& command) {
        if (status != ScriptStatus::done || application_.isTerminated()) return;
        auto done = (this->*(ScriptRunner::command(command.name)->action))(command);
        if (!done) {
            errors << "scrawlet: " << name << ", line " << command.line << ": " << command.name
                   << ": " << done.error() << "\n";
            status = ScriptStatus::failed;
        }
    });
    platform::require(ran.ok(), "ScriptRunner::run", "a checked script read differently");
    if (status != ScriptStatus::done) return status;
    output.flush();
    return ScriptStatus::done;
}

std::filesystem::path ScriptRunner::resolve(const std::string& path) const {
    std::filesystem::path given(path);
    return given.is_relative() && !folder_.empty() ? folder_ / given : given;
}

ScriptRunner::Done ScriptRunner::view(const Command& command) {
    description_.screenSize = {command.numbers[0], command.numbers[1]};
    return {};
}

ScriptRunner::Done ScriptRunner::scale(const Command& command) {
    description_.scale = command.numbers[0];
    return {};
}

ScriptRunner::Done ScriptRunner::inset(const Command& command) {
    description_.safeAreaInsets.bottom = command.numbers[0];
    return {};
}

ScriptRunner::Done ScriptRunner::device(const Command& command) {
    description_.idiom =
        command.args[0] == "pad" ? ui::UserInterfaceIdiom::pad : ui::UserInterfaceIdiom::phone;
    return {};
}

ScriptRunner::Done ScriptRunner::languages(const Command& command) {
    description_.languages = command.args;
    return {};
}

ScriptRunner::Done ScriptRunner::documents(const Command& command) {
    if (command.args[0] == "none")
        description_.documents.reset();
    else
        description_.documents = resolve(command.args[0]);
    return {};
}

ScriptRunner::Done ScriptRunner::library(const Command& command) {
    description_.photoLibrary = resolve(command.args[0]);
    return {};
}

ScriptRunner::Done ScriptRunner::camera(const Command& command) {
    description_.hasCamera = command.args[0] == "yes";
    return {};
}

ScriptRunner::Done ScriptRunner::segmentation(const Command& command) {
    description_.personSegmentationWithDepth = command.args[0] == "yes";
    return {};
}

ScriptRunner::Done ScriptRunner::seed(const Command& command) {
    description_.seed = command.whole;
    return {};
}

ScriptRunner::Done ScriptRunner::launch(const Command&) {
    application_.launch(description_);
    return {};
}

ScriptRunner::Done ScriptRunner::disappear(const Command&) {
    auto root = application_.rootViewController();
    root->viewWillDisappear(true);
    root->viewDidDisappear(true);
    return {};
}

ScriptRunner::Done ScriptRunner::appear(const Command&) {
    auto root = application_.rootViewController();
    root->viewWillAppear(true);
    root->viewDidAppear(true);
    return {};
}

ScriptRunner::Done ScriptRunner::background(const Command&) {
    application_.enterBackground();
    return {};
}

ScriptRunner::Done ScriptRunner::foreground(const Command&) {
    application_.enterForeground();
    application_.becomeActive();
    return {};
}

ScriptRunner::Done ScriptRunner::memoryWarning(const Command&) {
    application_.sendMemoryWarning();
    return {};
}

ScriptRunner::Done ScriptRunner::terminate(const Command&) {
    application_.terminate();
    return {};
}

ScriptRunner::Done ScriptRunner::resize(const Command& command) {
    application_.transitionToSize({command.numbers[0], command.numbers[1]});
    return {};
}

ScriptRunner::Done ScriptRunner::rotate(const Command&) {
    auto size = ui::Screen::main().bounds().size;
    application_.transitionToSize({size.height, size.width});
    return {};
}

ScriptRunner::Done ScriptRunner::pose(const Command& command) {
    if (trackedByDevice_) return platform::fail(*trackedByDevice_);
    const auto& n = command.numbers;
    if (command.args[0] == "identity") {
        pose_ = scene::Matrix4::identity();
    } else if (command.args[0] == "matrix") {
        std::array<float, 16> values;
        for (std::size_t i = 0; i < 16; ++i) values[i] = static_cast<float>(n[i]);
        pose_ = scene::Matrix4::fromColumnMajor(values);
    } else {
        pose_ = ar::poseAt(
            {static_cast<float>(n[0]), static_cast<float>(n[1]), static_cast<float>(n[2])}, n[3],
            n[4]);
    }
    return {};
}

ScriptRunner::Done ScriptRunner::frame(const Command&) {
    if (trackedByDevice_) return platform::fail(*trackedByDevice_);
    if (auto view = application_.sceneView()) view->session().deliverFrame(pose_);
    return {};
}

ScriptRunner::Done ScriptRunner::down(const Command& command) {
    const auto& n = command.numbers;
    ui::TouchSet began;
    for (std::size_t i = 0; i + 1 < n.size(); i += 2)
        began.push_back(std::make_shared<ui::Touch>(graphics::Point{n[i], n[i + 1]}));
    activeTouches_.insert(activeTouches_.end(), began.begin(), began.end());
    application_.sendTouchesBegan(began);
    return {};
}

ScriptRunner::Done ScriptRunner::move(const Command& command) {
    const auto& n = command.numbers;
    if (activeTouches_.empty()) return platform::fail("no touch is down");
    if (n.size() / 2 != activeTouches_.size())
        return platform::fail("expected one point for each of the " +
                              std::to_string(activeTouches_.size()) + " touches down");
    for (std::size_t i = 0; i < activeTouches_.size(); ++i) {
        activeTouches_[i]->setLocation({n[2 * i], n[2 * i + 1]});
        activeTouches_[i]->setPhase(ui::TouchPhase::moved);
    }
    application_.sendTouchesMoved(activeTouches_);
    return {};
}

ScriptRunner::Done ScriptRunner::endTouches(bool cancelled) {
    if (activeTouches_.empty()) return platform::fail("no touch is down");
    ui::TouchSet ended = std::move(activeTouches_);
    activeTouches_.clear();
    for (auto& touch : ended)
        touch->setPhase(cancelled ? ui::TouchPhase::cancelled : ui::TouchPhase::ended);
    if (cancelled)
        application_.sendTouchesCancelled(ended);
    else
        application_.sendTouchesEnded(ended);
    return {};
}

ScriptRunner::Done ScriptRunner::up(const Command&) { return endTouches(false); }
ScriptRunner::Done ScriptRunner::cancel(const Command&) { return endTouches(true); }

ScriptRunner::Done ScriptRunner::shake(const Command&) {
    application_.sendMotionEnded(ui::EventSubtype::motionShake);
    return {};
}

ScriptRunner::Done ScriptRunner::motion(const Command& command) {
    application_.sendMotionEnded(
        static_cast<ui::EventSubtype>(static_cast<int>(command.numbers[0])));
    return {};
}

ScriptRunner::Done ScriptRunner::choose(const Command& command) {
    if (command.whole) {
        // Counted from #1, the way the actions read from the top.
        if (*command.whole > std::numeric_limits<std::size_t>::max())
            return platform::fail("there is no action #" + std::to_string(*command.whole));
        return ui::chooseAction(application_, static_cast<std::size_t>(*command.whole));
    }
    return ui::chooseAction(application_, command.args[0]);
}

bool ScriptRunner::showsPicker() const {
    auto top = ui::topPresented(application_);
    auto screen = top ? top->presentedScreen() : std::nullopt;
    return screen && std::holds_alternative<ui::ImagePickerController*>(*screen);
}

ScriptRunner::Done ScriptRunner::pick(const Command& command) {
    if (!showsPicker()) return platform::fail("no image picker is shown");
    // A refused file leaves the picker open, and the script stops there.
    return ui::pickFile(application_, resolve(command.args[0]));
}

ScriptRunner::Done ScriptRunner::pickCancel(const Command&) {
    if (!showsPicker()) return platform::fail("no image picker is shown");
    ui::cancelPresented(application_);
    return {};
}

ScriptRunner::Done ScriptRunner::saveShared(const Command& command) {
    return ui::saveSharedPicture(application_, resolve(command.args[0]));
}

ScriptRunner::Done ScriptRunner::snapshot(const Command& command) {
    if (!pictures_) return platform::fail("pictures cannot be rendered here");
    TRY_LET(picture,
            pictures_->renderFrame(frames_.describe(application_), ui::Screen::main().scale()));
    return writePng(*picture, resolve(command.args[0]));
}

ScriptRunner::Done ScriptRunner::dump(const Command& command) {
    Json state = dumpState(application_);
    if (command.args.empty()) {
        *output_ << state.dump() << "\n";
        output_->flush();
        return {};
    }
    return writeText(resolve(command.args[0]), state.dump(2) + "\n");
}

}  // namespace automation
