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

// The script with every " tests/data/…" path made absolute, so that it runs
// from any folder.
inline std::string withSourcePaths(std::string text) {
    const std::string from = " tests/data/",
                      to = " " + std::string(SCRAWLET_SOURCE_DIR) + "/tests/data/";
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size()))
        text.replace(at, from.size(), to);
    return text;
}

// Runs the kept script `name`, with extra set-up lines put before it.
inline ScriptRun runScriptFile(const std::string& name, const std::string& setup = "",
                               const std::vector<std::string>& environment = {}) {
    return runScript(setup + scriptText(name), environment);
}

}  // namespace testsupport
