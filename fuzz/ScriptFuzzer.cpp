// libFuzzer target: the headless script parser on any text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/automation/Script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto script =
        automation::parseScript(std::string_view(reinterpret_cast<const char*>(data), size));
    (void)script.ok();
    return 0;
}
