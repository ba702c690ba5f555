// Runs the real program on a headless script and reads what it printed:
// the exit status, the dumps (one JSON object a line) and the messages; and
// what else tests of whole programs and files share.
#pragma once

#include <filesystem>
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "platform/graphics/Bitmap.h"
#include "platform/graphics/Image.h"

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

// The nodes under the scene's root in a dump.
inline const nlohmann::json& children(const nlohmann::json& dump) {
    return dump["scene"]["rootNode"]["children"];
}

// Where `actual` lacks or differs from a value that `expected` gives, as
// JSON pointers and what is there; objects in `actual` may hold more keys.
inline std::string mismatches(const nlohmann::json& actual, const nlohmann::json& expected,
                              const std::string& at = "") {
    if (!expected.is_object() || !actual.is_object())
        return actual == expected ? "" : at + " is " + actual.dump() + "; ";
    std::string found;
    for (const auto& [key, value] : expected.items())
        found += actual.contains(key) ? mismatches(actual[key], value, at + "/" + key)
                                      : at + "/" + key + " is missing; ";
    return found;
}

// A shell command's exit status and its standard output, less the line
// breaks at its end.
struct CommandRun {
    int exitStatus = -1;
    std::string output;
};
CommandRun runCommand(const std::string& command);

// Writes `bitmap` as a PNG picture, or one of `width` × `height` pixels of
// `colour`.
void writePicture(const std::filesystem::path& file, const graphics::Bitmap& bitmap);
void writePicture(const std::filesystem::path& file, graphics::Rgba colour = {}, int width = 2,
                  int height = 2);
// A picture file decoded as the program decodes photos; none (and a
// failure) when it cannot be.
std::shared_ptr<graphics::Image> readPicture(const std::filesystem::path& file);

// How many seconds `work` takes, and the peak memory of this process so
// far, for the generous bounds that tests of hostile input keep.
double secondsFor(const std::function<void()>& work);
long peakMegabytes();

}  // namespace testsupport
