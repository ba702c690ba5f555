// Reads a script kept under tests/scripts/ and runs it.
#pragma once

#include <fstream>
#include <sstream>

#include "support/Scripts.h"

namespace testsupport {

inline std::string scriptText(const std::string& name) {
    std::ifstream in(std::filesystem::path(SCRAWLET_SOURCE_DIR) / "tests" / "scripts" / name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Runs the kept script `name`, with extra set-up lines put before it.
inline ScriptRun runScriptFile(const std::string& name, const std::string& setup = "",
                               const std::vector<std::string>& environment = {}) {
    return runScript(setup + scriptText(name), environment);
}

}  // namespace testsupport
