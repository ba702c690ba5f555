// Runs the real program on a headless script and reads what it printed:
// the exit status, the dumps (one JSON object a line) and the messages.
#pragma once

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace testsupport {

struct ScriptRun {
    int exitStatus = -1;
    std::vector<nlohmann::json> dumps;
    std::string output;
    std::string errors;
};

// Runs `scrawlet --headless -` with `script` on standard input, in the
// environment given as NAME=VALUE pairs on top of a clean locale.
ScriptRun runScript(const std::string& script, const std::vector<std::string>& environment = {});

// The same, with files the program writes limited to `bytes` (as on a full
// disk); writing past the limit fails instead of ending the program.
ScriptRun runScriptWithFileSizeLimit(const std::string& script, std::size_t bytes);

// A fresh, empty folder under the temporary folder, removed with everything
// in it when the test program ends.
std::filesystem::path freshDirectory(const std::string& name);

std::filesystem::path testData(const std::string& name);

}  // namespace testsupport
