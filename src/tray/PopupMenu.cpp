#include "tray/PopupMenu.h"

namespace hourlink {

void TMenuItem::Click() {
    if (OnClick) {
        OnClick(this);
    }
}

TMenuItem& TPopupMenu::Add(std::string caption) {
    m_items.push_back(std::make_unique<TMenuItem>(std::move(caption)));
    return *m_items.back();
}

void TPopupMenu::Popup(int x, int y) {
    std::vector<MenuEntry> entries;
    entries.reserve(m_items.size());
    for (const auto& item : m_items) {
        entries.push_back(MenuEntry{item->Caption, item->Default});
    }
    const int chosen = m_platform.TrackPopupMenu(entries, TPoint{x, y});
    if (chosen >= 0 && chosen < Count()) {
        Item(chosen).Click();
    }
}

} // namespace hourlink
