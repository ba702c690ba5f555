#include "platform/automation/Script.h"

#include <algorithm>

#include "platform/automation/Runner.h"

namespace automation {

platform::Result<std::vector<std::string>> splitWords(std::string_view line) {
    std::vector<std::string> words;
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    std::size_t i = 0;
    while (i < line.size()) {
        char c = line[i];
        if (isSpace(c)) {
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
            if (i < line.size() && !isSpace(line[i]))
                return platform::fail("a quoted text runs into other text");
        } else {
            while (i < line.size() && !isSpace(line[i])) word += line[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

platform::Result<void> forEachCommand(std::string_view text, bool launched,
                                      const std::function<void(Command&&)>& each) {
    const bool alreadyLaunched = launched;
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
        const ScriptRunner::Row* row = ScriptRunner::command(command.name);
        if (row == nullptr) return where("unknown command '" + command.name + "'");
        if (auto ok = row->accepts(command); !ok) return where(command.name + ": " + ok.error());
        if (row->phase == Phase::setup && launched)
            return where(command.name + (alreadyLaunched
                                             ? " only works before the application is launched"
                                             : " must come before launch"));
        if (row->phase == Phase::running && !launched)
            return where(command.name + " needs launch first");
        if (command.name == "launch") launched = true;
        each(std::move(command));
    }
    return {};
}

platform::Result<std::vector<Command>> parseScript(std::string_view text, bool launched) {
    std::vector<Command> commands;
    TRY(forEachCommand(text, launched,
                       [&](Command&& command) { commands.push_back(std::move(command)); }));
    return commands;
}

}  // namespace automation
