// Saving where the host keeps documents beyond their files (the browser's
// storage): the line says "Scrawlet saved." only once the store holds the
// bytes, and a store that fails says "Save failed." and leaves the drawing
// counted as changed.
#include <gtest/gtest.h>

#include <fstream>

#include "app/AppDelegate.h"
#include "controller/ViewController.h"
#include "platform/ui/Application.h"
#include "platform/ui/DocumentStore.h"
#include "platform/ui/PointerInput.h"
#include "support/Fixtures.h"
#include "support/Scripts.h"

namespace {

using scrawlet::ViewController;

// A store that answers when the test says so, and remembers what it was
// asked to keep, with the file's bytes at that moment.
class HeldStore : public ui::DocumentStore {
public:
    struct Request {
        std::filesystem::path file;
        std::string bytes;
        Kept kept;
    };
    void keep(const std::filesystem::path& file, Kept kept) override {
        std::ifstream in(file, std::ios::binary);
        std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        requests.push_back({file, std::move(bytes), std::move(kept)});
    }
    std::vector<Request> requests;
};

class KeptSaves : public testing::Test {
protected:
    void SetUp() override {
        documents = testsupport::freshDirectory("kept-saves");
        auto store = std::make_shared<HeldStore>();
        this->store = store.get();
        scope = std::make_unique<testsupport::PlatformScope>(
            testsupport::changed([&](auto& description) {
                description.documents = documents;
                description.documentStore = store;
            }));
        application = std::make_unique<ui::Application>(
            [] { return std::make_unique<scrawlet::AppDelegate>(); });
        application->launch(ui::currentLaunchDescription());
        application->sceneView()->session().deliverFrame(scene::Matrix4::identity());
    }
    void TearDown() override {
        application.reset();
        scope.reset();
    }
    ViewController& controller() {
        return static_cast<ViewController&>(*application->rootViewController());
    }
    std::string label() { return controller().textLabel->text(); }
    void drawStroke(double y) {
        ui::PointerInput pointers(*application);
        pointers.down(1, {100, y}, ui::PointerInput::InputTime{0});
        pointers.move(1, {150, y + 10}, ui::PointerInput::InputTime{20});
        pointers.deliverMoves();
        pointers.up(1, {150, y + 10});
    }

    std::filesystem::path documents;
    HeldStore* store = nullptr;
    std::unique_ptr<testsupport::PlatformScope> scope;
    std::unique_ptr<ui::Application> application;
};

TEST_F(KeptSaves, SaySavedOnlyOnceTheStoreHoldsTheBytes) {
    drawStroke(300);
    std::string before = label();
    controller().saveDrawing();
    ASSERT_EQ(store->requests.size(), 1u);
    EXPECT_EQ(store->requests[0].file, documents / "scrawlet.scn");
    EXPECT_GT(store->requests[0].bytes.size(), 100u) << "the store is asked after the write";
    EXPECT_EQ(label(), before) << "nothing is said while the store writes";
    EXPECT_NE(label(), controller().savedText);
    store->requests[0].kept({});
    EXPECT_EQ(label(), controller().savedText);
    EXPECT_FALSE(controller().hasUnsavedChanges());
}

TEST_F(KeptSaves, AStoreThatFailsSaysSoAndLeavesTheDrawingChanged) {
    drawStroke(300);
    controller().saveDrawing();
    ASSERT_EQ(store->requests.size(), 1u);
    store->requests[0].kept(platform::fail("the browser's storage is full"));
    EXPECT_EQ(label(), controller().saveFailedText);
    EXPECT_TRUE(controller().hasUnsavedChanges()) << "leaving asks again";

    // Saved again, each save is handed on, and each answer is said.
    controller().saveDrawing();
    controller().saveDrawing();
    ASSERT_EQ(store->requests.size(), 3u);
    store->requests[1].kept({});
    EXPECT_EQ(label(), controller().savedText);
    store->requests[2].kept(platform::fail("the write was abandoned"));
    EXPECT_EQ(label(), controller().saveFailedText);
}

TEST_F(KeptSaves, AnAnswerAfterTheApplicationIsGoneIsIgnored) {
    drawStroke(300);
    controller().saveDrawing();
    ASSERT_EQ(store->requests.size(), 1u);
    auto kept = store->requests[0].kept;
    application.reset();
    kept({});
    kept(platform::fail("too late"));
    SUCCEED() << "no controller to tell, and nothing crashed";
}

TEST_F(KeptSaves, AFailedWriteNeverReachesTheStore) {
    drawStroke(300);
    // A folder where the drawing goes: the scene file cannot be written.
    std::filesystem::create_directory(documents / "scrawlet.scn");
    controller().saveDrawing();
    EXPECT_TRUE(store->requests.empty());
    EXPECT_EQ(label(), controller().saveFailedText);
    EXPECT_TRUE(controller().hasUnsavedChanges());
}

}  // namespace
