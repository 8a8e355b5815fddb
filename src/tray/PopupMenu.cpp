#include "tray/PopupMenu.h"

namespace hourlink {

void TMenuItem::Click() {
    if (AutoCheck) {
        Checked = !Checked;
    }
    if (OnClick) {
        OnClick(this);
    }
}

TMenuItem& TPopupMenu::Add(std::string caption) {
    m_items.push_back(std::make_unique<TMenuItem>(std::move(caption)));
    return *m_items.back();
}

std::vector<MenuEntry> TPopupMenu::Entries() {
    if (OnPopup) {
        OnPopup(this);
    }
    std::vector<MenuEntry> entries;
    entries.reserve(m_items.size());
    for (const auto& item : m_items) {
        entries.push_back(MenuEntry{item->Caption, item->Default, item->AutoCheck || item->Checked, item->Checked});
    }
    return entries;
}

void TPopupMenu::ChooseEntry(int index) {
    if (index >= 0 && index < Count()) {
        Item(index).Click();
    }
}

void TPopupMenu::Popup(int x, int y) {
    const std::vector<MenuEntry> entries = Entries();
    ChooseEntry(m_platform.TrackPopupMenu(entries, TPoint{x, y}));
}

} // namespace hourlink
