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

    trayThere = true;
    platform.checkTrayHost();
    ASSERT_NE(trayIcon(), nullptr);
    window.showNormal();
    window.showMinimized();
    EXPECT_TRUE(waitFor([this] { return !window.isVisible(); }));
}

} // namespace
} // namespace hourlink
