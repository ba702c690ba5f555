#include "platform/ui/HostChoice.h"

#include <iostream>

namespace ui {

namespace {
class MessageHost : public Host {
public:
    MessageHost(std::string message, int status) : message_(std::move(message)), status_(status) {}
    int run(Application&) override {
        (status_ == 0 ? std::cout : std::cerr) << message_;
        return status_;
    }

private:
    std::string message_;
    int status_;
};
}  // namespace

std::unique_ptr<Host> makeMessageHost(std::string message, int status) {
    return std::make_unique<MessageHost>(std::move(message), status);
}

}  // namespace ui
