// The drawing controller: the one class that carries Scrawlet's behaviour.
// It owns the AR scene view, the HUD and its nodes, the emoji table, the
// strokes and the texts. Its member functions are defined in the folder of
// the subsystem they belong to: touch routing here, sprites, undo and clear
// in drawing/, the HUD and its texts in hud/, the menu, photos, saving,
// loading and sharing in media/.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "drawing/SpriteCache.h"
#include "platform/graphics/Image.h"
#include "platform/overlay/Node.h"
#include "platform/scene/Node.h"
#include "platform/ui/Presentation.h"
#include "platform/ui/SceneView.h"
#include "platform/ui/ViewController.h"

namespace scrawlet {

// The nodes of one stroke, in the order they were placed. A placed photo
// and a loaded drawing are strokes of one node.
using Stroke = std::vector<std::shared_ptr<scene::Node>>;

// The 75 emoji a stroke can draw with; three of them are listed twice.
const std::vector<std::string>& emojiTable();

// Where the HUD's parts sit on a view of `size` with the bottom inset
// `inset`, in the overlay's points (origin bottom-left, y upwards).
struct HudPlaces {
    graphics::Point label;
    graphics::Point menu;
    graphics::Point undo;
    graphics::Point remove;
};
HudPlaces hudPlaces(graphics::Size size, double inset, double buttonSize);

// The button whose zone of the band along the bottom edge holds `location`
// (view points, y downwards), where a touch-down runs that button's command.
enum class HudButton { none, menu, undo, remove };
HudButton hudButtonAt(graphics::Point location, graphics::Size size, double inset,
                      double buttonSize);

class ViewController : public ui::ViewController,
                       public ui::ImagePickerControllerDelegate,
                       public ui::SceneViewDelegate {
public:
    // The main interface's path.
    explicit ViewController(const ui::Coder& coder);
    // The code path; gives the same state as the coder path.
    ViewController(std::optional<std::string> nibName, std::optional<std::filesystem::path> bundle);

    // The scene view outlet.
    void setSceneView(std::shared_ptr<ui::SceneView> view) { sceneView = std::move(view); }

    // Life cycle.
    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void viewWillDisappear(bool animated) override;
    void didReceiveMemoryWarning() override;
    void viewWillTransitionToSize(graphics::Size size,
                                  ui::TransitionCoordinator& coordinator) override;
    bool becomeFirstResponder() override;
    bool prefersStatusBarHidden() const override;
    bool prefersHomeIndicatorAutoHidden() const override;

    // Touch routing and strokes.
    void touchesBegan(const ui::TouchSet& touches, const ui::Event* event) override;
    void touchesMoved(const ui::TouchSet& touches, const ui::Event* event) override;
    void touchesEnded(const ui::TouchSet& touches, const ui::Event* event) override;
    void touchesCancelled(const ui::TouchSet& touches, const ui::Event* event) override;

    // Sprites in space.
    std::shared_ptr<scene::Node> placeSprite(graphics::Point point);
    static std::optional<scene::Vector3> cameraPosition(const ui::SceneView& view);
    // Both share what they made last with the next sprite of the stroke.
    std::shared_ptr<graphics::Image> renderEmojiImage(std::string_view text, double size);
    std::shared_ptr<scene::Node> makeBillboardNode(std::shared_ptr<const graphics::Image> image,
                                                   double width, double height);

    // Undo, clear and shake.
    void undoLastLine();
    void confirmClear();
    void clearDrawing();
    void motionEnded(ui::EventSubtype motion, const ui::Event* event) override;

    // The HUD and its texts. The HUD is laid out for the size a transition
    // announces.
    void layoutHUD(graphics::Size size);
    void localizeTexts();
    // The texts of `language` (a language tag): Chinese for zh-Hans,
    // zh-Hant and zh-HK, the English defaults otherwise.
    void useTextsFor(std::string_view language);

    // The menu and what it reaches.
    void showMenu();
    void takePhoto();
    void pickPhoto();
    void placePhoto(ui::ImagePickerController& picker, const ui::ImagePickerInfo& info);
    static std::shared_ptr<const graphics::Image> normalizedImage(
        const std::shared_ptr<const graphics::Image>& image);
    void imagePickerControllerDidFinishPickingMediaWithInfo(
        ui::ImagePickerController& picker, const ui::ImagePickerInfo& info) override;
    void imagePickerControllerDidCancel(ui::ImagePickerController& picker) override;
    void saveDrawing();
    void loadDrawing();
    void shareAsPicture();

    // A keyboard's way to the same commands as the buttons and the menu.
    std::vector<ui::KeyCommand> keyCommands() override;
    // The drawing as a document: changed since it was last saved or loaded.
    bool hasUnsavedChanges() const override { return edited_; }
    bool saveChanges() override;
    std::optional<std::filesystem::path> documentFile() const override { return documentFile_; }

    // The user's most preferred language, as the application in force
    // describes it.
    static std::string preferredLanguage();
    // The first window of the application in force.
    static ui::Window& mainWindow();

    // Fields, in declaration order.
    std::shared_ptr<ui::SceneView> sceneView;
    const std::vector<std::string> pics = emojiTable();
    std::string pic;
    float distance = 1.0f;
    std::optional<std::string> fileName;
    Stroke currentLine;
    std::vector<Stroke> lines;
    double buttonSize = 60.0;
    std::shared_ptr<overlay::Scene> hud;
    std::shared_ptr<overlay::LabelNode> textLabel;
    std::shared_ptr<overlay::ShapeNode> menuButton;
    std::shared_ptr<overlay::ShapeNode> undoButton;
    std::shared_ptr<overlay::ShapeNode> deleteButton;
    std::shared_ptr<overlay::SpriteNode> menuImage;
    std::shared_ptr<overlay::SpriteNode> undoImage;
    std::shared_ptr<overlay::SpriteNode> deleteImage;
    bool draw = false;
    std::string welcomeText = "Let's Scrawlet!";
    std::string cameraText = "Take Photo\u2026";
    std::string photoText = "Add Photo\u2026";
    std::string loadText = "Load Scrawlet";
    std::string saveText = "Save Scrawlet";
    std::string shareText = "Share as Picture\u2026";
    std::string selectText = "Please select:";
    std::string clearText = "Clear Drawing?";
    std::string okText = "OK";
    std::string cancelText = "Cancel";
    std::string savedText = "Scrawlet saved.";
    std::string saveFailedText = "Save failed.";
    std::string noSavedText = "Nothing saved.";
    std::string loadFailedText = "Load failed.";

private:
    std::shared_ptr<ViewController> self();
    // Takes every filed stroke out of the scene and forgets it.
    void removeAllStrokes();
    // Shows the button under a touch held down, and shows it let go.
    void pressButton(const std::shared_ptr<overlay::ShapeNode>& button);
    void releaseButton();
    // Files the stroke being drawn, if any, and stops drawing.
    void fileStrokeUnderWay();
    // Says the drawing at `url` is saved once the host's store keeps it.
    void keepSavedFile(const std::filesystem::path& url);

    // Whether the drawing changed since it was last saved or loaded, and
    // the file it was last saved to or loaded from.
    bool edited_ = false;
    std::optional<std::filesystem::path> documentFile_;
    // The button a touch holds down, drawn lighter until it lifts.
    std::shared_ptr<overlay::ShapeNode> pressedButton_;
    // What the last sprite placed shares with the next.
    SpriteCache sprites_;
};

}  // namespace scrawlet
