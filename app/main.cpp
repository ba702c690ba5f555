// The process entry: registers what the platform needs of the application,
// then hands control to the application loop with our delegate class. The
// loop returns the process's exit status.
#include "app/AppDelegate.h"
#include "app/Registration.h"
#include "platform/ui/Application.h"

int main(int argc, char** argv) {
    scrawlet::registerMainInterface();
    scrawlet::registerStateDump();
    std::string delegateClassName = ui::stringFromClass<scrawlet::AppDelegate>();
    return ui::applicationMain(argc, argv, std::nullopt, std::move(delegateClassName));
}
