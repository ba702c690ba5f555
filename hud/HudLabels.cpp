#include "hud/HudLabels.h"

#include "platform/Precondition.h"

namespace scrawlet {

const HudLabels& hudLabels(ui::TextLanguage language) {
    static const HudLabels english{"Menu", "Undo", "Clear"};
    static const HudLabels simplified{"菜单", "撤销", "清除"};
    static const HudLabels traditional{"選單", "復原", "清除"};
    switch (language) {
        case ui::TextLanguage::english: return english;
        case ui::TextLanguage::simplifiedChinese: return simplified;
        case ui::TextLanguage::traditionalChinese: return traditional;
    }
    platform::unreachable("hudLabels");
}

}  // namespace scrawlet
