// The browser host's files: the image picker answered by the browser's file
// chooser (our decoders first, then the browser's own), the share sheet by
// the browser's share sheet or a download, and the documents folder kept in
// the browser's storage.
#include <emscripten.h>

#include <algorithm>
#include <nlohmann/json.hpp>

#include "platform/Overloaded.h"
#include "platform/graphics/Backend.h"
#include "platform/graphics/PictureFiles.h"
#include "platform/ui/PlatformTexts.h"
#include "platform/ui/PresentedResponse.h"
#include "platform/web/WebHost.h"

namespace web {

namespace {
// The text that goes with the picture: the share sheet's first text item
// (the app's own word for it), or none.
std::string shareText(const ui::ActivityViewController& share) {
    for (const auto& item : share.activityItems())
        if (const auto* text = std::get_if<std::string>(&item)) return *text;
    return {};
}
}  // namespace

// A screen the user brought up that the browser answers: the image picker
// by its file chooser, the share sheet by its own share sheet or a
// download. This runs while the user's tap is still being handled, which
// the browser requires of both. The chooser opens on a tap only: a key
// that leaves the picker on top (Esc on a refusal) leaves it to be tapped.
void WebHost::answerPresented(bool tapped) {
    auto top = ui::topPresented(*application_);
    auto screen = top ? top->presentedScreen() : std::nullopt;
    if (!screen) return;
    std::visit(platform::Overloaded{
                   [&](ui::AlertController*) {},
                   [&](ui::ImagePickerController* picker) {
                       if (!tapped || choosing_.lock() == top) return;
                       choosing_ = top;
                       scrawlet_page_choose_picture(picker->sourceType() ==
                                                    ui::ImagePickerSourceType::camera);
                   },
                   [&](ui::ActivityViewController* share) {
                       if (sharing_.lock() == top) return;
                       sharing_ = top;
                       auto image = share->firstImage();
                       if (!image || !image->cgImage()) {
                           share->complete();
                           ui::showProblem(*application_, {ui::platformTexts().pictureNotSaved,
                                                           "the sheet holds no picture"});
                           return;
                       }
                       // The browser lays it over the camera's picture (or
                       // an opaque backdrop) and encodes it off the main
                       // thread, quickly enough for its share sheet.
                       const auto& bitmap = *image->cgImage();
                       auto pixels = graphics::pictures::unpremultiplied(bitmap);
                       scrawlet_page_share(pixels.data(), bitmap.width(), bitmap.height(),
                                           shareText(*share).c_str());
                   },
               },
               *screen);
}
ui::ImagePickerController* WebHost::choosingPicker() const {
    auto top = ui::topPresented(*application_);
    if (!top || top != choosing_.lock()) return nullptr;
    auto screen = top->presentedScreen();
    auto* picker = screen ? std::get_if<ui::ImagePickerController*>(&*screen) : nullptr;
    return picker ? *picker : nullptr;
}

std::string WebHost::picked(std::span<const std::uint8_t> bytes, std::string_view name) {
    auto* picker = choosingPicker();
    if (picker == nullptr) return {};
    auto image = graphics::backend().decodeImage(bytes, graphics::DecodeLimits{});
    if (!image) {
        // A JPEG or PNG file that our decoders refuse is damaged, as it is
        // natively; other kinds the browser may still read.
        if (graphics::pictures::hasJpegSignature(bytes) ||
            graphics::pictures::hasPngSignature(bytes)) {
            pickRefused(name, image.error());
            return {};
        }
        return image.error();
    }
    choosing_.reset();
    auto self = picker->shared_from_this();
    picker->pick(std::move(image).value());
    afterUserInput();
    return {};
}

std::uint8_t* WebHost::pictureRoom(int width, int height, bool opaque) {
    pictureRoom_.reset();
    int kept = graphics::DecodeLimits{}.maxSide;
    if (choosingPicker() == nullptr || width <= 0 || height <= 0 || width > kept || height > kept)
        return nullptr;
    // A picture without any transparency is opaque, as natively, and kept
    // as a JPEG.
    graphics::BitmapFormat format;
    if (opaque) format.alphaInfo = graphics::AlphaInfo::noneSkipLast;
    pictureRoom_ = std::make_shared<graphics::Bitmap>(width, height, format);
    return pictureRoom_->data();
}

void WebHost::pickedPixels() {
    auto bitmap = std::move(pictureRoom_);
    auto* picker = choosingPicker();
    if (picker == nullptr || !bitmap) return;
    // The browser's decoder turned the picture upright already.
    if (bitmap->format().alphaInfo != graphics::AlphaInfo::noneSkipLast)
        graphics::pictures::premultiply(bitmap->data(), bitmap->byteCount());
    choosing_.reset();
    auto self = picker->shared_from_this();
    if (bitmap->format().alphaInfo == graphics::AlphaInfo::noneSkipLast) {
        toStore_.push_back(bitmap);
        scrawlet_page_when_idle();
    }
    picker->pick(std::make_shared<graphics::Image>(std::move(bitmap)));
    afterUserInput();
}

bool WebHost::idle() {
    // Photos no longer in the drawing (undone, or cleared) are let go.
    while (!toStore_.empty() && toStore_.front().expired()) toStore_.pop_front();
    if (toStore_.empty()) return false;
    auto bitmap = toStore_.front().lock();
    toStore_.pop_front();
    if (!toStore_.empty()) scrawlet_page_when_idle();
    // Failing here, the save encodes it and says why.
    return backEnds_.sceneFiles && bitmap->storedAs() == nullptr &&
           backEnds_.sceneFiles->storeAhead(*bitmap) && bitmap->storedAs() != nullptr;
}

void WebHost::camerasListed(bool found) {
    if (launched() && !fixedCamera_) application_->setHasCamera(found);
}

void WebHost::pickRefused(std::string_view name, std::string_view reason) {
    if (choosingPicker() == nullptr) return;
    // The picker stays for another try, as when a file in the library is
    // refused.
    choosing_.reset();
    ui::showProblem(*application_, {ui::platformTexts().pictureCannotBeUsed,
                                    std::string(name) + ": " + std::string(reason)});
    dirty_ = true;
}

void WebHost::pickCancelled() {
    auto* picker = choosingPicker();
    choosing_.reset();
    if (picker == nullptr) return;
    auto self = picker->shared_from_this();
    picker->cancel();
    afterUserInput();
}

void WebHost::shareFinished() {
    auto top = ui::topPresented(*application_);
    bool ours = top && top == sharing_.lock();
    sharing_.reset();
    if (!ours) return;
    auto screen = top->presentedScreen();
    if (auto* share = screen ? std::get_if<ui::ActivityViewController*>(&*screen) : nullptr)
        (*share)->complete();
    afterUserInput();
}

void WebHost::documentAnswered(int id, bool done, std::string_view reason) {
    documents_->answered(id, done, reason);
    dirty_ = true;
}

bool WebHost::unsavedChanges() const {
    auto root = application_ ? application_->rootViewController() : nullptr;
    return documents_->writing() || (root && root->hasUnsavedChanges());
}

}  // namespace web

// What the page calls. Each does nothing before the host exists.
extern "C" {

// Empty when the file was answered (taken, or refused with a message);
// else why our decoders cannot read its kind, for the browser to try. The
// text lives until the next call.
EMSCRIPTEN_KEEPALIVE const char* scrawlet_picked(const std::uint8_t* bytes, int length,
                                                 const char* name) {
    auto* host = web::WebHost::current();
    if (!host) return "";
    return host->answer(
        host->picked(std::span(bytes, static_cast<std::size_t>(std::max(length, 0))), name));
}

// What the page asks the browser's decoder for, from a picked file's first
// bytes: the kept size of the upright picture ({"width", "height"}), a
// reason to refuse it at once ({"refused"}), or nothing ({}) when the bytes
// do not say, and the file goes the long way (our decoders, then the
// browser's as it is). For a JPEG, also where its picture data begins
// ({"scanData"}) and why it is refused ({"cutShort"}) when no end-of-image
// marker follows: the browser shows what it could read of such a file.
EMSCRIPTEN_KEEPALIVE const char* scrawlet_picture_plan(const std::uint8_t* bytes, int length) {
    auto* host = web::WebHost::current();
    if (!host) return "{}";
    auto header = graphics::pictures::readPictureHeader(
        std::span(bytes, static_cast<std::size_t>(std::max(length, 0))));
    graphics::DecodeLimits limits;
    nlohmann::json answer = nlohmann::json::object();
    if (!header.known) {
    } else if (header.width <= 0 || header.height <= 0) {
        answer["refused"] = "the " + header.kind + " picture has no pixels";
    } else if (header.width > limits.maxStoredSide || header.height > limits.maxStoredSide) {
        answer["refused"] = "the " + header.kind + " picture claims " +
                            graphics::pictures::sizeText(header.width, header.height) +
                            " pixels, more than " + std::to_string(limits.maxStoredSide) +
                            " on a side";
    } else {
        auto kept = graphics::pictures::keptUprightSize(header, limits.maxSide);
        answer["width"] = kept.width;
        answer["height"] = kept.height;
        if (header.firstScanData > 0) {
            answer["scanData"] = header.firstScanData;
            answer["cutShort"] = graphics::pictures::jpegCutShort();
        }
    }
    return host->answer(web::jsonText(answer));
}

// Where the browser's pixels of a picked picture go, then that they are
// there.
EMSCRIPTEN_KEEPALIVE std::uint8_t* scrawlet_picture_pixels(int width, int height, int opaque) {
    auto* host = web::WebHost::current();
    return host ? host->pictureRoom(width, height, opaque != 0) : nullptr;
}

EMSCRIPTEN_KEEPALIVE void scrawlet_picked_pixels() {
    if (auto* host = web::WebHost::current()) host->pickedPixels();
}

EMSCRIPTEN_KEEPALIVE int scrawlet_idle() {
    auto* host = web::WebHost::current();
    return host && host->idle() ? 1 : 0;
}

EMSCRIPTEN_KEEPALIVE void scrawlet_pick_refused(const char* name, const char* reason) {
    if (auto* host = web::WebHost::current()) host->pickRefused(name, reason);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_pick_cancelled() {
    if (auto* host = web::WebHost::current()) host->pickCancelled();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_cameras_listed(int found) {
    if (auto* host = web::WebHost::current()) host->camerasListed(found != 0);
}

EMSCRIPTEN_KEEPALIVE void scrawlet_share_finished() {
    if (auto* host = web::WebHost::current()) host->shareFinished();
}

EMSCRIPTEN_KEEPALIVE void scrawlet_storage_answered(int id, int done, const char* reason) {
    if (auto* host = web::WebHost::current()) host->documentAnswered(id, done != 0, reason);
}

EMSCRIPTEN_KEEPALIVE int scrawlet_unsaved_changes() {
    auto* host = web::WebHost::current();
    return host && host->unsavedChanges() ? 1 : 0;
}

}  // extern "C"
