#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/tray/TrayPlatform.h"
#include "tray/Component.h"

namespace hourlink {

// One entry of a popup menu.
class TMenuItem : public TObject {
public:
    explicit TMenuItem(std::string caption) : Caption(std::move(caption)) {}

    // Runs the entry as if the user had chosen it; an AutoCheck entry changes its tick first.
    void Click();

    std::string Caption; // UTF-8
    bool Default = false;
    // Drawn with a ticked box; an AutoCheck entry is drawn with a box, ticked or not.
    bool Checked = false;
    bool AutoCheck = false;
    TNotifyEvent OnClick;
};

// A menu that pops up at a screen point and runs the entry the user chooses.
class TPopupMenu : public TComponent {
public:
    explicit TPopupMenu(TrayPlatform& platform) : m_platform(platform) {}

    TMenuItem& Add(std::string caption);
    [[nodiscard]] int Count() const { return static_cast<int>(m_items.size()); }
    [[nodiscard]] TMenuItem& Item(int index) { return *m_items.at(static_cast<std::size_t>(index)); }

    // Shows the menu at the screen point; returns once it has closed, after running the chosen entry.
    void Popup(int x, int y);
    // The lines as the menu shows them now, after OnPopup has had its say; for a host that draws the menu.
    [[nodiscard]] std::vector<MenuEntry> Entries();
    // Runs the entry at the index a host reports as chosen; an index out of range does nothing.
    void ChooseEntry(int index);

    // Raised just before the menu is shown, so its owner can bring the entries up to date.
    TNotifyEvent OnPopup;
    // Whether the menu opens by itself on the mouse action that asks for it.
    bool AutoPopup = true;
    // The component the menu was last opened for.
    TComponent* PopupComponent = nullptr;

private:
    TrayPlatform& m_platform;
    std::vector<std::unique_ptr<TMenuItem>> m_items;
};

} // namespace hourlink
