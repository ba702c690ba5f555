// The process entry: hands control to the application loop with our
// delegate class. The loop returns the process's exit status.
#include "app/AppDelegate.h"
#include "platform/ui/Application.h"

int main(int argc, char** argv) {
    std::string delegateClassName = ui::stringFromClass<scrawlet::AppDelegate>();
    return ui::applicationMain(argc, argv, std::nullopt, std::move(delegateClassName));
}
