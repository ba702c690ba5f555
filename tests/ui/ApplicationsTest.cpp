// Two applications in one process: each runs with what its own launch
// description installs (its back end, seed, screen and languages), whether
// they run side by side on two threads or take turns on one, and gives
// exactly what it gives alone.
#include <gtest/gtest.h>

#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/AppDelegate.h"
#include "platform/automation/Runner.h"
#include "platform/graphics/NullBackend.h"
#include "platform/graphics/cairo/CairoBackend.h"
#include "platform/scene/gltf/GltfSceneFile.h"
#include "platform/ui/Application.h"

namespace {

using automation::ScriptStatus;
using Json = nlohmann::json;

// What one application is launched with and how it is driven.
struct Device {
    bool drawsForReal;
    std::vector<std::string> lines;
};

// Set-up and launch, then two strokes, each followed by a dump: every touch
// picks its emoji from the seed, and every sprite is a picture of it drawn
// by the back end at the screen's scale.
std::vector<std::string> scriptFor(const std::string& setup) {
    std::vector<std::string> lines;
    std::istringstream setupLines(setup);
    for (std::string line; std::getline(setupLines, line);) lines.push_back(line);
    for (const char* line :
         {"launch", "pose at 0 1.5 0 yaw 10 pitch -5", "frame", "down 100 400", "move 120 420",
          "move 140 440", "up", "dump", "down 200 300", "move 210 310", "up", "rotate", "dump"})
        lines.emplace_back(line);
    return lines;
}

const Device plain{false, scriptFor("view 390 844\nscale 3\nlanguages en-US\nseed 1")};
const Device drawn{true, scriptFor("view 600 800\nscale 2\nlanguages zh-Hans\nseed 2")};

// Node ids are the process's, so two applications running at once take
// turns with them: each id becomes its place among the ids the dump names.
void renumber(Json& value, std::map<std::int64_t, std::int64_t>& places) {
    auto place = [&](Json& id) {
        auto [it, added] = places.emplace(id.get<std::int64_t>(), places.size());
        id = it->second;
    };
    if (value.is_object()) {
        for (auto& [key, member] : value.items()) {
            if (key == "id" && member.is_number_integer()) {
                place(member);
            } else if ((key == "currentLine" || key == "lines") && member.is_array()) {
                for (auto& entry : member) {
                    if (entry.is_array())
                        for (auto& id : entry) place(id);
                    else
                        place(entry);
                }
            } else {
                renumber(member, places);
            }
        }
    } else if (value.is_array()) {
        for (auto& member : value) renumber(member, places);
    }
}

// One application, made on the thread that drives it.
class Driven {
public:
    explicit Driven(const Device& device)
        : runner_(application_, descriptionFor(device), nullptr), lines_(device.lines) {}

    // Runs the next line of its script; false once there is none.
    bool step() {
        if (next_ == lines_.size()) return false;
        std::ostringstream errors;
        status_ =
            runner_.run(lines_[next_], "line " + std::to_string(next_ + 1), {}, output_, errors);
        EXPECT_EQ(status_, ScriptStatus::done) << lines_[next_] << ": " << errors.str();
        ++next_;
        return status_ == ScriptStatus::done;
    }

    // The dumps printed, one a line, each with its ids renumbered.
    std::vector<Json> dumps() const {
        std::vector<Json> out;
        std::istringstream lines(output_.str());
        for (std::string line; std::getline(lines, line);) {
            Json dump = Json::parse(line);
            std::map<std::int64_t, std::int64_t> places;
            renumber(dump, places);
            out.push_back(std::move(dump));
        }
        return out;
    }

private:
    static ui::LaunchDescription descriptionFor(const Device& device) {
        ui::LaunchDescription description;
        description.graphics =
            device.drawsForReal ? graphics::makeCairoBackend() : graphics::makeNullBackend();
        description.sceneFiles = scene::makeGltfSceneFileFormat();
        return description;
    }

    ui::Application application_{[] { return std::make_unique<scrawlet::AppDelegate>(); }};
    automation::ScriptRunner runner_;
    std::vector<std::string> lines_;
    std::size_t next_ = 0;
    ScriptStatus status_ = ScriptStatus::done;
    std::ostringstream output_;
};

std::vector<Json> alone(const Device& device) {
    Driven driven(device);
    while (driven.step()) {
    }
    return driven.dumps();
}

// What each device shows alone: the dumps differ between them, so that one
// seeing the other's state would show.
class TwoApplications : public testing::Test {
protected:
    void SetUp() override {
        plainAlone = alone(plain);
        drawnAlone = alone(drawn);
        ASSERT_EQ(plainAlone.size(), 2u);
        ASSERT_EQ(drawnAlone.size(), 2u);
        EXPECT_NE(plainAlone[0]["pic"], drawnAlone[0]["pic"]);
        EXPECT_NE(plainAlone[0]["texts"], drawnAlone[0]["texts"]);
        EXPECT_NE(plainAlone[1]["hud"]["size"], drawnAlone[1]["hud"]["size"]);
        const Json& sprite = plainAlone[1]["scene"]["rootNode"]["children"][0];
        const Json& drawnSprite = drawnAlone[1]["scene"]["rootNode"]["children"][0];
        EXPECT_NE(sprite["geometry"]["material"]["image"],
                  drawnSprite["geometry"]["material"]["image"]);
    }
    std::vector<Json> plainAlone;
    std::vector<Json> drawnAlone;
};

TEST_F(TwoApplications, OnTwoThreadsEachGivesWhatItGivesAlone) {
    std::vector<Json> plainDumps, drawnDumps;
    // Each thread makes, drives and ends its own application, both at once.
    std::thread first([&] {
        Driven driven(plain);
        while (driven.step()) {
        }
        plainDumps = driven.dumps();
    });
    std::thread second([&] {
        Driven driven(drawn);
        while (driven.step()) {
        }
        drawnDumps = driven.dumps();
    });
    first.join();
    second.join();
    EXPECT_EQ(plainDumps, plainAlone);
    EXPECT_EQ(drawnDumps, drawnAlone);
}

TEST_F(TwoApplications, TakingTurnsOnOneThreadEachGivesWhatItGivesAlone) {
    Driven a(plain), b(drawn);
    // One line each in turn: the second launches between the first's
    // launch and its strokes, and each stroke's samples alternate.
    for (bool more = true; more;) {
        bool aMore = a.step();
        bool bMore = b.step();
        more = aMore || bMore;
    }
    EXPECT_EQ(a.dumps(), plainAlone);
    EXPECT_EQ(b.dumps(), drawnAlone);
}

}  // namespace
