// libFuzzer target: the headless script parser on any text.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/headless/Script.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    auto script =
        headless::parseScript(std::string_view(reinterpret_cast<const char*>(data), size));
    (void)script.ok();
    return 0;
}
