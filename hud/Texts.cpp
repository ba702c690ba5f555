// Every text the user sees, in English, simplified or traditional Chinese,
// chosen once by the user's first preferred language.
#include "controller/ViewController.h"
#include "platform/Precondition.h"
#include "platform/ui/Locale.h"
#include "platform/ui/PlatformTexts.h"

namespace scrawlet {

namespace {
struct TextSet {
    const char* welcome;
    const char* camera;
    const char* photo;
    const char* load;
    const char* save;
    const char* share;
    const char* select;
    const char* clear;
    const char* ok;
    const char* cancel;
    const char* saved;
    const char* saveFailed;
    const char* noSaved;
    const char* loadFailed;
};

const TextSet simplifiedChinese{
    "开始涂鸦吧！",   "拍摄照片",   "使用照片\u2026", "打开绘画",   "储存绘画",
    "分享绘画\u2026", "请选择：",   "清除绘画？",     "确定",       "取消",
    "已经储存。",     "储存失败。", "没有存档。",     "打开失败。",
};

const TextSet traditionalChinese{
    "開始塗鴉吧！",   "拍攝照片",   "使用照片\u2026", "打開繪畫",   "儲存繪畫",
    "分享繪畫\u2026", "請選擇：",   "清除繪畫？",     "確定",       "取消",
    "已經儲存。",     "儲存失敗。", "沒有存檔。",     "打開失敗。",
};
}  // namespace

std::string ViewController::preferredLanguage() {
    auto languages = ui::Locale::preferredLanguages();
    platform::require(!languages.empty(), "preferredLanguage", "no preferred language");
    return languages.front();
}

void ViewController::localizeTexts() { useTextsFor(preferredLanguage()); }

void ViewController::useTextsFor(std::string_view language) {
    const TextSet* set = nullptr;
    switch (ui::textLanguageOf(language)) {
        case ui::TextLanguage::english: return;
        case ui::TextLanguage::simplifiedChinese: set = &simplifiedChinese; break;
        case ui::TextLanguage::traditionalChinese: set = &traditionalChinese; break;
    }
    welcomeText = set->welcome;
    cameraText = set->camera;
    photoText = set->photo;
    loadText = set->load;
    saveText = set->save;
    shareText = set->share;
    selectText = set->select;
    clearText = set->clear;
    okText = set->ok;
    cancelText = set->cancel;
    savedText = set->saved;
    saveFailedText = set->saveFailed;
    noSavedText = set->noSaved;
    loadFailedText = set->loadFailed;
}

}  // namespace scrawlet
