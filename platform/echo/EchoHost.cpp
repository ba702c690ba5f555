#include "platform/echo/EchoHost.h"

namespace echo {

ui::HostChoice hostChoice() {
    return {"echo", "--echo", "scrawlet --echo WORDS     say WORDS back",
            [](ui::HostRequest request) {
                std::string said;
                for (const auto& word : request.arguments) said += (said.empty() ? "" : " ") + word;
                return ui::makeMessageHost(said + "\n", 0);
            }};
}

}  // namespace echo
