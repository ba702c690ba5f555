// Answering the framework's presented screens, the same on every host: a
// click on one of the top screen's targets, Cancel (Esc), the default action
// (Enter), and the direct forms a script uses (an action by title or
// number, a picture file, the shared picture to a file).
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Result.h"
#include "platform/ui/Application.h"
#include "platform/ui/PresentedLayout.h"

namespace ui {

// Something the user asked for that could not be done, to be shown to them.
struct Problem {
    std::string title;
    std::string message;
};

// The innermost controller presented over the root, or none.
std::shared_ptr<ViewController> topPresented(const Application& application);

// The user chose target `index` of `layout`, the top screen's layout. A
// picture that cannot be used or saved comes back as a problem; the screen
// then stays.
std::optional<Problem> respondToTarget(Application& application, const PresentedLayout& layout,
                                       std::size_t index);
// Esc: the cancel action, or the screen goes the way its own Cancel takes it.
// False when nothing is presented or nothing cancels it.
bool cancelPresented(Application& application);
// Enter: the top alert's default action. False when there is none.
bool performDefaultAction(Application& application);

// A script's choice of the top alert's action `number`, counted from 1, or of
// the action titled `title`.
platform::Result<void> chooseAction(Application& application, std::size_t number);
platform::Result<void> chooseAction(Application& application, std::string_view title);
// The top image picker picks the picture in `file`; a refused file leaves the
// picker open.
platform::Result<void> pickFile(Application& application, const std::filesystem::path& file);
// Writes the top share sheet's picture to `file` as PNG and closes the sheet.
platform::Result<void> saveSharedPicture(Application& application,
                                         const std::filesystem::path& file);

// Shows `problem` over the top controller as an alert with one OK.
void showProblem(Application& application, const Problem& problem);

// The user asked to quit: with unsaved changes the root controller's
// document is saved first, or not, or the quitting is called off, as the
// user answers; `quit` runs once it may quit. A save that fails does not
// quit.
void askBeforeQuitting(Application& application, std::function<void()> quit);

}  // namespace ui
