#include "platform/headless/Script.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <map>
#include <set>

namespace headless {

namespace {
enum class Phase { setup, running, any };

struct Syntax {
    Phase phase;
    // Accepts the arguments, filling in the numbers, or says what is wrong.
    platform::Result<void> (*check)(Command& command);
};

platform::Error wrong(const Command& command, const std::string& what) {
    return platform::fail(command.name + ": " + what);
}

bool parseNumber(const std::string& word, double& value) {
    const char* begin = word.data();
    const char* end = begin + word.size();
    auto [ptr, error] = std::from_chars(begin, end, value);
    return error == std::errc() && ptr == end && std::isfinite(value);
}

// Every argument from `from` on is a number.
platform::Result<void> numbersFrom(Command& command, std::size_t from) {
    for (std::size_t i = from; i < command.args.size(); ++i) {
        double value;
        if (!parseNumber(command.args[i], value))
            return wrong(command, "'" + command.args[i] + "' is not a number");
        command.numbers.push_back(value);
    }
    return {};
}

platform::Result<void> count(Command& command, std::size_t n, const char* usage) {
    if (command.args.size() != n) return wrong(command, std::string("expected ") + usage);
    return {};
}

platform::Result<void> noArguments(Command& command) { return count(command, 0, "no arguments"); }

platform::Result<void> size(Command& command) {
    if (auto ok = count(command, 2, "a width and a height in points"); !ok) return ok;
    if (auto ok = numbersFrom(command, 0); !ok) return ok;
    if (command.numbers[0] <= 0 || command.numbers[1] <= 0 || command.numbers[0] > 16384 ||
        command.numbers[1] > 16384)
        return wrong(command, "the size must be between 0 and 16384 points");
    return {};
}

platform::Result<void> scale(Command& command) {
    if (auto ok = count(command, 1, "a scale"); !ok) return ok;
    if (auto ok = numbersFrom(command, 0); !ok) return ok;
    if (command.numbers[0] < 1 || command.numbers[0] > 4)
        return wrong(command, "the scale must be 1 to 4");
    return {};
}

platform::Result<void> inset(Command& command) {
    if (auto ok = count(command, 1, "the bottom inset in points"); !ok) return ok;
    if (auto ok = numbersFrom(command, 0); !ok) return ok;
    if (command.numbers[0] < 0) return wrong(command, "the inset cannot be negative");
    return {};
}

platform::Result<void> oneOf(Command& command, std::initializer_list<const char*> words) {
    std::string usage;
    for (const char* word : words) usage += (usage.empty() ? "" : "|") + std::string(word);
    if (command.args.size() != 1) return wrong(command, "expected " + usage);
    for (const char* word : words)
        if (command.args[0] == word) return {};
    return wrong(command, "expected " + usage + ", not '" + command.args[0] + "'");
}

platform::Result<void> device(Command& command) { return oneOf(command, {"phone", "pad"}); }
platform::Result<void> yesNo(Command& command) { return oneOf(command, {"yes", "no"}); }

platform::Result<void> languages(Command& command) {
    if (command.args.empty()) return wrong(command, "expected one or more language tags");
    return {};
}

platform::Result<void> oneWord(Command& command) { return count(command, 1, "one argument"); }

platform::Result<void> optionalWord(Command& command) {
    if (command.args.size() > 1) return wrong(command, "expected at most one file");
    return {};
}

platform::Result<void> seed(Command& command) {
    if (auto ok = count(command, 1, "a whole number"); !ok) return ok;
    const std::string& word = command.args[0];
    unsigned long long value;
    auto [ptr, error] = std::from_chars(word.data(), word.data() + word.size(), value);
    if (error != std::errc() || ptr != word.data() + word.size())
        return wrong(command, "'" + word + "' is not a whole number");
    command.numbers.push_back(static_cast<double>(value));
    return {};
}

platform::Result<void> points(Command& command) {
    if (command.args.empty() || command.args.size() % 2 != 0)
        return wrong(command, "expected X Y [X Y]...");
    return numbersFrom(command, 0);
}

platform::Result<void> pose(Command& command) {
    if (command.args.empty())
        return wrong(command, "expected identity, matrix M0..M15 or at X Y Z yaw DEG pitch DEG");
    const std::string& form = command.args[0];
    if (form == "identity") return count(command, 1, "nothing after identity");
    if (form == "matrix") {
        if (command.args.size() != 17)
            return wrong(command, "expected sixteen numbers after matrix");
        return numbersFrom(command, 1);
    }
    if (form == "at") {
        if (command.args.size() != 8 || command.args[4] != "yaw" || command.args[6] != "pitch")
            return wrong(command, "expected at X Y Z yaw DEG pitch DEG");
        for (std::size_t i : {1, 2, 3, 5, 7}) {
            double value;
            if (!parseNumber(command.args[i], value))
                return wrong(command, "'" + command.args[i] + "' is not a number");
            command.numbers.push_back(value);
        }
        return {};
    }
    return wrong(command, "unknown form '" + form + "'");
}

platform::Result<void> motion(Command& command) {
    if (auto ok = count(command, 1, "a motion subtype number"); !ok) return ok;
    if (auto ok = numbersFrom(command, 0); !ok) return ok;
    if (command.numbers[0] != std::trunc(command.numbers[0]) || std::fabs(command.numbers[0]) > 1e6)
        return wrong(command, "the subtype must be a whole number");
    return {};
}

platform::Result<void> choose(Command& command) {
    if (auto ok = count(command, 1, "an action's title or #N"); !ok) return ok;
    const std::string& word = command.args[0];
    if (word.size() > 1 && word[0] == '#') {
        unsigned long index;
        auto [ptr, error] = std::from_chars(word.data() + 1, word.data() + word.size(), index);
        if (error != std::errc() || ptr != word.data() + word.size())
            return wrong(command, "'" + word + "' is not #N");
        command.numbers.push_back(static_cast<double>(index));
    }
    return {};
}

const std::map<std::string, Syntax, std::less<>>& syntaxes() {
    static const std::map<std::string, Syntax, std::less<>> table{
        {"view", {Phase::setup, size}},
        {"scale", {Phase::setup, scale}},
        {"inset", {Phase::setup, inset}},
        {"device", {Phase::setup, device}},
        {"languages", {Phase::setup, languages}},
        {"documents", {Phase::setup, oneWord}},
        {"library", {Phase::setup, oneWord}},
        {"camera", {Phase::setup, yesNo}},
        {"segmentation", {Phase::setup, yesNo}},
        {"seed", {Phase::setup, seed}},
        {"launch", {Phase::setup, noArguments}},
        {"disappear", {Phase::running, noArguments}},
        {"appear", {Phase::running, noArguments}},
        {"background", {Phase::running, noArguments}},
        {"foreground", {Phase::running, noArguments}},
        {"memory-warning", {Phase::running, noArguments}},
        {"terminate", {Phase::running, noArguments}},
        {"resize", {Phase::running, size}},
        {"rotate", {Phase::running, noArguments}},
        {"pose", {Phase::any, pose}},
        {"frame", {Phase::running, noArguments}},
        {"down", {Phase::running, points}},
        {"move", {Phase::running, points}},
        {"up", {Phase::running, noArguments}},
        {"cancel", {Phase::running, noArguments}},
        {"shake", {Phase::running, noArguments}},
        {"motion", {Phase::running, motion}},
        {"choose", {Phase::running, choose}},
        {"pick", {Phase::running, oneWord}},
        {"pick-cancel", {Phase::running, noArguments}},
        {"save-shared", {Phase::running, oneWord}},
        {"snapshot", {Phase::running, oneWord}},
        {"dump", {Phase::running, optionalWord}},
    };
    return table;
}
}  // namespace

platform::Result<std::vector<std::string>> splitWords(std::string_view line) {
    std::vector<std::string> words;
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (c == ' ' || c == '\t' || c == '\r') {
            ++i;
            continue;
        }
        // A comment starts with # at the start of a word; #1, #2… are words
        // (choose #N).
        if (c == '#' && !(i + 1 < line.size() && line[i + 1] >= '0' && line[i + 1] <= '9')) break;
        std::string word;
        if (c == '"') {
            ++i;
            bool closed = false;
            while (i < line.size()) {
                if (line[i] == '\\' && i + 1 < line.size() &&
                    (line[i + 1] == '"' || line[i + 1] == '\\')) {
                    word += line[i + 1];
                    i += 2;
                } else if (line[i] == '"') {
                    closed = true;
                    ++i;
                    break;
                } else {
                    word += line[i++];
                }
            }
            if (!closed) return platform::fail("a quoted text is not closed");
            if (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                return platform::fail("a quoted text runs into other text");
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r')
                word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

platform::Result<std::vector<Command>> parseScript(std::string_view text) {
    std::vector<Command> commands;
    bool launched = false;
    int lineNumber = 0;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t end = std::min(text.find('\n', start), text.size());
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        ++lineNumber;
        auto where = [&](const std::string& what) {
            return platform::fail("line " + std::to_string(lineNumber) + ": " + what);
        };
        auto words = splitWords(line);
        if (!words) return where(words.error());
        if (words.value().empty()) continue;
        Command command;
        command.line = lineNumber;
        command.name = words.value().front();
        command.args.assign(words.value().begin() + 1, words.value().end());
        auto syntax = syntaxes().find(command.name);
        if (syntax == syntaxes().end()) return where("unknown command '" + command.name + "'");
        if (auto ok = syntax->second.check(command); !ok) return where(ok.error());
        if (syntax->second.phase == Phase::setup && launched)
            return where(command.name + " must come before launch");
        if (syntax->second.phase == Phase::running && !launched)
            return where(command.name + " needs launch first");
        if (command.name == "launch") launched = true;
        commands.push_back(std::move(command));
    }
    return commands;
}

}  // namespace headless
