#include "platform/desktop/Keys.h"

namespace desktop {

const std::vector<KeyHelp>& keyHelp() {
    static const std::vector<KeyHelp> keys{
        {"Drag",
         {"draw; press a round button to use it", "绘画；按圆形按钮使用", "繪畫；按圓形按鈕使用"}},
        {"W A S D",
         {"walk forward, left, back, right", "向前、左、后、右走", "向前、左、後、右走"}},
        {"Q E", {"move down, up", "向下、向上", "向下、向上"}},
        {"Arrows, right-drag", {"turn, look up and down", "转身、上下看", "轉身、上下看"}},
        {"R", {"back to where you started", "回到起点", "回到起點"}},
        {"Space",
         {"shake the device (asks to clear)", "摇动设备（询问是否清除）",
          "搖動裝置（詢問是否清除）"}},
        {"Ctrl+Z", {"undo the last stroke", "撤销上一笔", "復原上一筆"}},
        {"Delete", {"clear the drawing (asks first)", "清除绘画（先询问）", "清除繪畫（先詢問）"}},
        {"Ctrl+S, Ctrl+O", {"save, load the drawing", "储存、打开绘画", "儲存、打開繪畫"}},
        {"F10", {"the menu", "菜单", "選單"}},
        {"Arrows, Enter, Esc",
         {"choose in a menu or alert, cancel it", "在菜单或提示中选择、取消",
          "在選單或提示中選擇、取消"}},
        {"F11", {"full screen", "全屏", "全螢幕"}},
        {"F1", {"this help", "本帮助", "本說明"}},
        {"Ctrl+Q", {"quit", "退出", "結束"}},
    };
    return keys;
}

std::string helpText(ui::TextLanguage language) {
    std::size_t column = static_cast<std::size_t>(language);
    std::string text;
    for (const auto& key : keyHelp()) {
        if (!text.empty()) text += "\n";
        text += std::string(key.keys) + ": " + key.meaning[column];
    }
    return text;
}

}  // namespace desktop
