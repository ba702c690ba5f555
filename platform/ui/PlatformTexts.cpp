#include "platform/ui/PlatformTexts.h"

#include "platform/Precondition.h"
#include "platform/ui/Locale.h"

namespace ui {

TextLanguage textLanguageOf(std::string_view tag) {
    if (tag.find("zh-Hans") != std::string_view::npos) return TextLanguage::simplifiedChinese;
    if (tag.find("zh-Hant") != std::string_view::npos) return TextLanguage::traditionalChinese;
    if (tag.find("zh-HK") != std::string_view::npos) return TextLanguage::traditionalChinese;
    return TextLanguage::english;
}

const PlatformTexts& platformTexts(TextLanguage language) {
    static const PlatformTexts english{"Photos",
                                       "No Photos",
                                       "Cancel",
                                       "OK",
                                       "Save to Pictures",
                                       "This picture cannot be used",
                                       "The picture was not saved",
                                       "Keys",
                                       "Close",
                                       "Save the drawing before quitting?",
                                       "Save",
                                       "Don't Save",
                                       "Camera",
                                       "Take Picture",
                                       "Share"};
    static const PlatformTexts simplified{"照片",
                                          "没有照片",
                                          "取消",
                                          "好",
                                          "存到图片文件夹",
                                          "无法使用这张图片",
                                          "图片未能存储",
                                          "按键",
                                          "关闭",
                                          "退出前储存绘画吗？",
                                          "储存",
                                          "不储存",
                                          "相机",
                                          "拍照",
                                          "分享"};
    static const PlatformTexts traditional{"照片",
                                           "沒有照片",
                                           "取消",
                                           "好",
                                           "存到圖片檔案夾",
                                           "無法使用這張圖片",
                                           "圖片未能儲存",
                                           "按鍵",
                                           "關閉",
                                           "結束前儲存繪畫嗎？",
                                           "儲存",
                                           "不儲存",
                                           "相機",
                                           "拍照",
                                           "分享"};
    switch (language) {
        case TextLanguage::english: return english;
        case TextLanguage::simplifiedChinese: return simplified;
        case TextLanguage::traditionalChinese: return traditional;
    }
    platform::unreachable("platformTexts");
}

const PlatformTexts& platformTexts() {
    return platformTexts(textLanguageOf(Locale::preferredLanguages().front()));
}

}  // namespace ui
