// The loop entry, in a file of its own: it calls the host chooser that only
// the program's composition root defines, so programs that never enter the
// loop (tests, benchmarks) do not link it.
#include "platform/Precondition.h"
#include "platform/ui/Application.h"

namespace ui {

int applicationMain(int argc, char** argv, std::optional<std::string>,
                    std::string delegateClassName) {
    DelegateFactory factory = classNamed(delegateClassName);
    platform::require(factory != nullptr, "applicationMain", "the delegate class is not known");
    auto host = makeHost(argc, argv);
    auto application = std::make_unique<Application>(factory);
    int status = host->run(*application);
    if (host->runsOnAfterReturning()) {
        // The host's callbacks drive the application from now on, for as
        // long as the program lives (a page's program never ends): both are
        // let go of here and never destroyed.
        static_cast<void>(host.release());
        static_cast<void>(application.release());
    }
    return status;
}

}  // namespace ui
