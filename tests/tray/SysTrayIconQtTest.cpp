#include "tray/SysTrayIcon.h"

#include "platform/tray/QtTrayPlatform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include "support/WaitFor.h"

#include <memory>

namespace hourlink {
namespace {

// The component on the Qt backend with the main window, as the program puts them together.
class SysTrayIconQtTest : public ::testing::Test {
protected:
    SysTrayIconQtTest() {
        platform.setAvailabilityProbe([this] { return trayThere; });
        tray = std::make_unique<TSysTrayIcon>(platform, platform.MainFormWindow());
        tray->SetCycleInterval(0);
        tray->SetHint("Hour link");
        tray->Icon().SetImage(IconImage{32, 32, std::vector<std::uint32_t>(32 * 32, 0xFF2060A0)});
        tray->SetIconIndex(0);
        tray->SetMinimizeToTray(true);
        tray->OnClick = [this](TObject*) { tray->RestoreMainForm(); };
        tray->Loaded();
        window.show();
    }
    ~SysTrayIconQtTest() override { tray.reset(); }

    QSystemTrayIcon* trayIcon() { return platform.trayIcon(TrayIconHandler(platform)->WindowHandle(), tray->IconId()); }
    template <typename Condition> bool waitFor(Condition condition, int ms = 1000) {
        return testing::WaitFor(condition, ms);
    }

    QWidget window;
    bool trayThere = true;
    QtTrayPlatform platform{&window};
    std::unique_ptr<TSysTrayIcon> tray;
};

TEST_F(SysTrayIconQtTest, MinimisingHidesTheWindowInTheTrayAndATriggerBringsItBack) {
    EXPECT_EQ(trayIcon(), nullptr);
    window.showMinimized();
    ASSERT_TRUE(waitFor([this] { return !window.isVisible(); }));
    ASSERT_NE(trayIcon(), nullptr);
    EXPECT_EQ(trayIcon()->toolTip(), "Hour link");

    tray->SetHint("today time is 1:02:03 \xC3\xA8");
    EXPECT_EQ(trayIcon()->toolTip(), QString::fromUtf8("today time is 1:02:03 è"));

    emit trayIcon()->activated(QSystemTrayIcon::Trigger);
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_NE(trayIcon(), nullptr);
}

TEST_F(SysTrayIconQtTest, WithoutATrayAMinimiseStaysOrdinaryUntilAHostAppears) {
    trayThere = false;
    platform.checkTrayHost(); // the poll sees the tray host go
    window.showMinimized();
    waitFor([] { return false; }, 100);
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(trayIcon(), nullptr);

    // The host appears while the window sits minimised: the window goes into it at once.
    trayThere = true;
    platform.checkTrayHost();
    ASSERT_NE(trayIcon(), nullptr);
    EXPECT_FALSE(window.isVisible());
    window.showNormal();
    window.showMinimized();
    EXPECT_TRUE(waitFor([this] { return !window.isVisible(); }));
}

TEST_F(SysTrayIconQtTest, TheMenuGoesToTheBackendForHostsThatDrawItAndLeavesWithIt) {
    const HWND handler = TrayIconHandler(platform)->WindowHandle();
    EXPECT_FALSE(platform.notifyIconMenu(handler, tray->IconId()).entries);
    auto menu = std::make_unique<TPopupMenu>(platform);
    int restored = 0;
    menu->Add("Restore").OnClick = [&](TObject*) { ++restored; };
    menu->Add("Start at login").AutoCheck = true;
    tray->SetPopupMenu(menu.get());
    const NotifyIconMenu exported = platform.notifyIconMenu(handler, tray->IconId());
    ASSERT_TRUE(exported.entries);
    const std::vector<MenuEntry> lines = exported.entries();
    ASSERT_EQ(lines.size(), 2U);
    EXPECT_EQ(lines[1].caption, "Start at login");
    EXPECT_TRUE(lines[1].checkable);
    exported.choose(0);
    EXPECT_EQ(restored, 1);
    EXPECT_EQ(menu->PopupComponent, tray.get());

    menu->AutoPopup = false;
    EXPECT_TRUE(exported.entries().empty()) << "a menu that does not pop up by itself is not shown by the host";
    exported.choose(0);
    EXPECT_EQ(restored, 1);

    menu.reset();
    EXPECT_FALSE(platform.notifyIconMenu(handler, tray->IconId()).entries);
}

} // namespace
} // namespace hourlink
