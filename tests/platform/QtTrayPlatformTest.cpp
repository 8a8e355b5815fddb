#include "platform/tray/QtTrayPlatform.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <gtest/gtest.h>

#include "platform/tray/BalloonWindow.h"
#include "support/WaitFor.h"

#include <algorithm>
#include <stdexcept>
#include <string>
#include <vector>

namespace hourlink {
namespace {

struct Message {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    bool operator==(const Message&) const = default;
};

class QtTrayPlatformTest : public ::testing::Test {
protected:
    QtTrayPlatformTest() {
        platform.setAvailabilityProbe([this] { return trayThere; });
        platform.setNotificationServerProbe([] { return false; });
    }

    // A hidden window that writes down what it receives.
    HWND recorder() {
        return platform.CreateMessageWindow([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            received.push_back(Message{window, message, wParam, lParam});
            return LRESULT{0};
        });
    }
    // Puts a recorder in front of one of the main window's two roles.
    void record(HWND role) {
        platform.SetWindowProc(role, [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
            received.push_back(Message{window, message, wParam, lParam});
            return LRESULT{0};
        });
    }
    static NotifyIconData request(HWND window, UINT id, const std::string& tip = "") {
        NotifyIconData data{};
        data.cbSize = sizeof(NotifyIconData);
        data.hWnd = static_cast<std::uint32_t>(window);
        data.uID = id;
        data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
        data.uCallbackMessage = 2048;
        std::copy(tip.begin(), tip.end(), data.szTip.begin());
        return data;
    }
    [[nodiscard]] std::vector<UINT> codes() const {
        std::vector<UINT> result;
        for (const Message& m : received) {
            result.push_back(static_cast<UINT>(m.lParam));
        }
        return result;
    }
    template <typename Condition> bool waitFor(Condition condition, int ms = 1000) {
        return testing::WaitFor(condition, ms);
    }

    QWidget window;
    bool trayThere = true;
    std::vector<std::string> errors;
    QtTrayPlatform platform{&window, [this](const std::string& message) { errors.push_back(message); }};
    std::vector<Message> received;
};

TEST(DecodeWindows1252Test, SingleBytesBecomeTheirCharacters) {
    EXPECT_EQ(DecodeWindows1252("La media connessioni \xE8 superiore"),
              QString::fromUtf8("La media connessioni è superiore"));
    EXPECT_EQ(DecodeWindows1252("\x80\x9F\xA0"), QString::fromUtf8("€Ÿ\u00A0"));
    EXPECT_EQ(DecodeWindows1252(""), QString());
}

TEST(ActivationForTest, EveryReasonQtKnowsHasItsAction) {
    EXPECT_EQ(ActivationFor(QSystemTrayIcon::Trigger), TrayActivation::Trigger);
    EXPECT_EQ(ActivationFor(QSystemTrayIcon::DoubleClick), TrayActivation::DoubleClick);
    EXPECT_EQ(ActivationFor(QSystemTrayIcon::Context), TrayActivation::Context);
    EXPECT_EQ(ActivationFor(QSystemTrayIcon::MiddleClick), TrayActivation::MiddleClick);
    EXPECT_FALSE(ActivationFor(QSystemTrayIcon::Unknown).has_value());
    EXPECT_EQ(BalloonIconFor(NIIF_INFO), QSystemTrayIcon::Information);
    EXPECT_EQ(BalloonIconFor(NIIF_ERROR), QSystemTrayIcon::Critical);
    EXPECT_EQ(BalloonIconFor(NIIF_NONE), QSystemTrayIcon::NoIcon);
}

TEST_F(QtTrayPlatformTest, AddIsRefusedWithoutATrayOrForAnIconAlreadyIn) {
    const HWND target = recorder();
    trayThere = false;
    EXPECT_FALSE(platform.Shell_NotifyIcon(NIM_ADD, request(target, 1)));
    EXPECT_EQ(platform.trayIcon(target, 1), nullptr);
    trayThere = true;
    EXPECT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, request(target, 1)));
    EXPECT_FALSE(platform.Shell_NotifyIcon(NIM_ADD, request(target, 1)));
    EXPECT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, request(target, 2)));
}

TEST_F(QtTrayPlatformTest, ChangeRemoveAndVersionNeedAKnownIcon) {
    const HWND target = recorder();
    for (DWORD message : {NIM_MODIFY, NIM_DELETE, NIM_SETVERSION}) {
        EXPECT_FALSE(platform.Shell_NotifyIcon(message, request(target, 1))) << message;
    }
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, request(target, 1)));
    EXPECT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, request(target, 1)));
    EXPECT_TRUE(platform.Shell_NotifyIcon(NIM_SETVERSION, request(target, 1)));
    EXPECT_TRUE(platform.Shell_NotifyIcon(NIM_DELETE, request(target, 1)));
    EXPECT_EQ(platform.trayIcon(target, 1), nullptr);
    NotifyIconData wrongSize = request(target, 1);
    wrongSize.cbSize = 88;
    EXPECT_FALSE(platform.Shell_NotifyIcon(NIM_ADD, wrongSize));
}

TEST_F(QtTrayPlatformTest, TheTipAndTheImageReachTheQtIcon) {
    const HWND target = recorder();
    NotifyIconData data = request(target, 1, "today time is 1:00:00 \xE8");
    data.hIcon = platform.CreateIcon(IconImage{32, 32, std::vector<std::uint32_t>(32 * 32, 0xFF2060A0)});
    ASSERT_NE(data.hIcon, 0U);
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, data));
    QSystemTrayIcon* icon = platform.trayIcon(target, 1);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->toolTip(), QString::fromUtf8("today time is 1:00:00 è"));
    EXPECT_EQ(icon->icon().pixmap(32, 32).toImage().pixel(5, 5), 0xFF2060A0U);

    data = request(target, 1);
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, data));
    EXPECT_TRUE(icon->toolTip().isEmpty());
    EXPECT_TRUE(icon->icon().isNull());
    EXPECT_EQ(platform.CreateIcon(IconImage{32, 32, {}}), 0U);
}

TEST_F(QtTrayPlatformTest, ActivationsBecomeTheCallbackCodesOfTheIcon) {
    const HWND target = recorder();
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, request(target, 9)));
    QSystemTrayIcon* icon = platform.trayIcon(target, 9);
    ASSERT_NE(icon, nullptr);

    emit icon->activated(QSystemTrayIcon::Trigger);
    ASSERT_EQ(received.size(), 2U);
    EXPECT_EQ(received[0], (Message{target, 2048, 9, WM_LBUTTONDOWN}));
    EXPECT_EQ(received[1], (Message{target, 2048, 9, WM_LBUTTONUP}));

    received.clear();
    emit icon->activated(QSystemTrayIcon::DoubleClick);
    emit icon->activated(QSystemTrayIcon::Context);
    emit icon->activated(QSystemTrayIcon::MiddleClick);
    emit icon->activated(QSystemTrayIcon::Unknown);
    emit icon->messageClicked();
    EXPECT_EQ(codes(), (std::vector<UINT>{WM_LBUTTONDBLCLK, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN,
                                          WM_MBUTTONUP, NIN_BALLOONUSERCLICK}));

    received.clear();
    NotifyIconData version = request(target, 9);
    version.uVersion = NOTIFYICON_VERSION;
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_SETVERSION, version));
    emit icon->activated(QSystemTrayIcon::Context);
    EXPECT_EQ(codes(), (std::vector<UINT>{WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}));
}

TEST_F(QtTrayPlatformTest, ATrayHostThatAppearsIsAnnouncedAndOneThatGoesTakesTheIcons) {
    record(QtTrayPlatform::kApplicationWindow);
    const HWND target = recorder();
    trayThere = false;
    const UINT taskbarCreated = platform.RegisterWindowMessage("TaskbarCreated");
    EXPECT_EQ(platform.RegisterWindowMessage("TaskbarCreated"), taskbarCreated);
    platform.checkTrayHost();
    EXPECT_TRUE(received.empty());

    trayThere = true;
    platform.checkTrayHost();
    ASSERT_EQ(received.size(), 1U);
    EXPECT_EQ(received[0].window, QtTrayPlatform::kApplicationWindow);
    EXPECT_EQ(received[0].message, taskbarCreated);
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, request(target, 1)));

    trayThere = false;
    platform.checkTrayHost();
    EXPECT_EQ(platform.trayIcon(target, 1), nullptr);
    EXPECT_EQ(received.size(), 1U);
}

struct HostChangeCase {
    const char* name;
    TrayHost before;
    TrayHost now;
    bool forget;
    bool announce;
    bool grace;
};

class HostChanges : public ::testing::TestWithParam<HostChangeCase> {};

TEST_P(HostChanges, ForgetAnnounceOrWaitForAHost) {
    const HostChangeCase& c = GetParam();
    const TrayHostChange change = DecideTrayHostChange(c.before, c.now);
    EXPECT_EQ(change.forgetIcons, c.forget);
    EXPECT_EQ(change.announce, c.announce);
    EXPECT_EQ(change.startGrace, c.grace);
}

const TrayHost kNone{};
const TrayHost kXEmbed{TrayHostKind::XEmbed, {}};
const TrayHost kPanelA{TrayHostKind::StatusNotifier, ":1.5"};
const TrayHost kPanelB{TrayHostKind::StatusNotifier, ":1.9"};

INSTANTIATE_TEST_SUITE_P(Hosts, HostChanges,
                         ::testing::Values(HostChangeCase{"NoneStaysNone", kNone, kNone, false, false, false},
                                           HostChangeCase{"SameHost", kPanelA, kPanelA, false, false, false},
                                           HostChangeCase{"HostComes", kNone, kPanelA, true, true, false},
                                           HostChangeCase{"XEmbedComes", kNone, kXEmbed, true, true, false},
                                           HostChangeCase{"PanelRestarted", kPanelA, kPanelB, true, true, false},
                                           HostChangeCase{"DBusHostJoinsXEmbed", kXEmbed, kPanelA, true, true, false},
                                           HostChangeCase{"HostGoes", kPanelA, kNone, true, false, true},
                                           HostChangeCase{"XEmbedGoes", kXEmbed, kNone, true, false, true}),
                         [](const ::testing::TestParamInfo<HostChangeCase>& info) {
                             return std::string(info.param.name);
                         });

TEST_F(QtTrayPlatformTest, AWindowHiddenInATrayThatGoesForGoodComesBackMinimised) {
    ASSERT_EQ(platform.RegisterWindowMessage("TaskbarCreated"), platform.RegisterWindowMessage("TaskbarCreated"));
    window.show();
    ASSERT_TRUE(waitFor([this] { return window.isVisible(); }));
    window.hide();
    QElapsedTimer clock;

    // Gone, and back within the grace time: the window stays hidden.
    trayThere = false;
    platform.checkTrayHost();
    clock.start();
    waitFor([] { return false; }, QtTrayPlatform::kHostGraceMs / 2);
    trayThere = true;
    platform.checkTrayHost();
    waitFor([] { return false; }, QtTrayPlatform::kHostGraceMs / 2 + 300);
    EXPECT_FALSE(window.isVisible());

    // Gone for good: back, minimised, once the grace time is over, and not brought to the front.
    record(QtTrayPlatform::kMainFormWindow);
    trayThere = false;
    platform.checkTrayHost();
    clock.restart();
    ASSERT_TRUE(waitFor([this] { return window.isVisible(); }, QtTrayPlatform::kHostGraceMs + 1000));
    EXPECT_GE(clock.elapsed(), QtTrayPlatform::kHostGraceMs - 50);
    EXPECT_TRUE(waitFor([this] { return window.isMinimized(); }));
    EXPECT_EQ(
        std::count_if(received.begin(), received.end(), [](const Message& m) { return m.message == WM_SHOWWINDOW; }),
        0);
}

TEST_F(QtTrayPlatformTest, TheMenuForHostsThatDrawMenusIsKeptPerIconUntilTakenAway) {
    int chosen = -1;
    platform.SetNotifyIconMenu(0x100, 3,
                               NotifyIconMenu{[] {
                                                  return std::vector<MenuEntry>{{"Restore", true}};
                                              },
                                              [&chosen](int index) { chosen = index; }});
    ASSERT_TRUE(platform.notifyIconMenu(0x100, 3).entries);
    EXPECT_EQ(platform.notifyIconMenu(0x100, 3).entries().at(0).caption, "Restore");
    platform.notifyIconMenu(0x100, 3).choose(0);
    EXPECT_EQ(chosen, 0);
    EXPECT_FALSE(platform.notifyIconMenu(0x100, 4).entries) << "another icon has none";
    platform.SetNotifyIconMenu(0x100, 3, {});
    EXPECT_FALSE(platform.notifyIconMenu(0x100, 3).entries);
}

TEST_F(QtTrayPlatformTest, TheMainWindowsMinimiseAndShowReachTheirFilters) {
    record(QtTrayPlatform::kApplicationWindow);
    record(QtTrayPlatform::kMainFormWindow);
    window.show();
    ASSERT_TRUE(waitFor([this] { return !received.empty(); }));
    EXPECT_NE(
        std::find(received.begin(), received.end(), Message{QtTrayPlatform::kMainFormWindow, WM_SHOWWINDOW, 1, 0}),
        received.end());

    received.clear();
    window.showMinimized();
    const Message minimised{QtTrayPlatform::kApplicationWindow, WM_SIZE, SIZE_MINIMIZED, 0};
    EXPECT_EQ(std::find(received.begin(), received.end(), minimised), received.end()) << "posted, not sent";
    EXPECT_TRUE(waitFor([&] { return std::find(received.begin(), received.end(), minimised) != received.end(); }));
    EXPECT_EQ(platform.MainFormWindowState(), TWindowState::wsMinimized);

    platform.SetMainFormVisible(false);
    EXPECT_FALSE(platform.IsWindowVisible(QtTrayPlatform::kApplicationWindow));
    platform.ApplicationRestore();
    EXPECT_TRUE(platform.MainFormVisible());
    EXPECT_EQ(platform.MainFormWindowState(), TWindowState::wsNormal);
}

TEST_F(QtTrayPlatformTest, TimersTickUntilKilled) {
    const HWND target = recorder();
    ASSERT_TRUE(platform.SetTimer(target, 77, 10));
    ASSERT_TRUE(waitFor([this] { return received.size() >= 2; }));
    EXPECT_EQ(received[0], (Message{target, WM_TIMER, 77, 0}));
    EXPECT_TRUE(platform.KillTimer(target, 77));
    EXPECT_FALSE(platform.KillTimer(target, 77));
    const std::size_t ticks = received.size();
    waitFor([] { return false; }, 100);
    EXPECT_EQ(received.size(), ticks);
    EXPECT_FALSE(platform.SetTimer(0xDEAD, 1, 10));
}

TEST_F(QtTrayPlatformTest, PostedMessagesArriveFromTheLoopAndErrorsGoToTheHandler) {
    const HWND target = platform.CreateMessageWindow([](HWND, UINT message, WPARAM, LPARAM) -> LRESULT {
        if (message == WM_USER) {
            throw std::runtime_error("Disk full");
        }
        return 0;
    });
    ASSERT_TRUE(platform.PostMessage(target, WM_USER, 0, 0));
    EXPECT_TRUE(errors.empty());
    EXPECT_TRUE(waitFor([this] { return !errors.empty(); }));
    EXPECT_EQ(errors, (std::vector<std::string>{"Disk full"}));
    EXPECT_TRUE(platform.DestroyWindow(target));
    EXPECT_FALSE(platform.PostMessage(target, WM_USER, 0, 0));
    EXPECT_FALSE(platform.DestroyWindow(QtTrayPlatform::kApplicationWindow));
}

// A balloon request as the component makes it: the withdrawal, then the balloon, in one event.
NotifyIconData balloonRequest(NotifyIconData data, const std::string& text, UINT timeoutMs = 10000) {
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP | NIF_INFO;
    data.szInfo = {};
    data.szInfoTitle = {};
    std::copy(text.begin(), text.end(), data.szInfo.begin());
    const std::string title = "La media connessioni \xE8 superiore al limite AUP:";
    std::copy(title.begin(), title.end(), data.szInfoTitle.begin());
    data.uTimeout = timeoutMs;
    data.dwInfoFlags = NIIF_INFO;
    return data;
}

TEST_F(QtTrayPlatformTest, WithoutANotificationServerOneBalloonWindowIsUpdatedInPlaceAndLeavesTheTipAlone) {
    const HWND target = recorder();
    const NotifyIconData icon = request(target, 4, "today time is 0:00:05");
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, icon));
    for (int second = 0; second < 3; ++second) {
        NotifyIconData withdraw = balloonRequest(icon, "");
        ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, withdraw));
        ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, second < 2 ? "01:25:43" : "01:25:44")));
        // The end of the event, where a withdrawal on its own would close the balloon.
        QCoreApplication::processEvents();
    }
    BalloonWindow* balloon = platform.balloonWindow();
    ASSERT_NE(balloon, nullptr);
    EXPECT_TRUE(balloon->isVisible());
    EXPECT_EQ(balloon->shownBalloon().title, "La media connessioni \xC3\xA8 superiore al limite AUP:");
    EXPECT_EQ(balloon->shownBalloon().text, "01:25:44");
    // Laid out for the first text and for the changed one, not for the repeat.
    EXPECT_EQ(balloon->layouts(), 2);
    EXPECT_GT(balloon->remainingMs(), 9000);
    EXPECT_EQ(platform.trayIcon(target, 4)->toolTip(), QStringLiteral("today time is 0:00:05"));
    EXPECT_TRUE(received.empty()) << "replacing the balloon raises no event";

    // The same text of another kind changes only the picture beside it.
    const QImage information = balloon->grab().toImage();
    NotifyIconData warning = balloonRequest(icon, "01:25:44");
    warning.dwInfoFlags = NIIF_WARNING;
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, "")));
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, warning));
    QCoreApplication::processEvents();
    EXPECT_EQ(balloon->layouts(), 3);
    EXPECT_NE(balloon->grab().toImage(), information);
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, "")));
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, "01:25:44")));
    QCoreApplication::processEvents();
    EXPECT_EQ(balloon->grab().toImage(), information) << "back to the information picture";

    // A withdrawal on its own takes it away once the event is over.
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, "")));
    EXPECT_TRUE(balloon->isVisible());
    EXPECT_TRUE(waitFor([&] { return !received.empty(); }));
    EXPECT_FALSE(balloon->isVisible());
    EXPECT_EQ(codes(), (std::vector<UINT>{NIN_BALLOONHIDE}));
}

// Inside a running event loop the end of an event is when the loop is next about to wait: a balloon shown
// again after its withdrawal is replaced, one withdrawn alone goes, and neither wakes the loop a second time.
TEST_F(QtTrayPlatformTest, InARunningLoopABalloonIsReplacedOrWithdrawnWhenTheLoopWaits) {
    const HWND target = recorder();
    const NotifyIconData icon = request(target, 4);
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, icon));
    struct QueuedCalls final : QObject {
        int count = 0;
        bool eventFilter(QObject* watched, QEvent* event) override {
            count += event->type() == QEvent::MetaCall ? 1 : 0;
            return QObject::eventFilter(watched, event);
        }
    } queued;
    platform.installEventFilter(&queued);
    BalloonWindow* balloon = nullptr;
    bool shownAfterItsEvents = false;
    int queuedForTheReplacements = -1;
    QEventLoop loop;
    for (int second = 0; second < 3; ++second) {
        QTimer::singleShot(10 * second, &loop, [&, second] {
            ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, "")));
            ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, second == 2 ? "b" : "a")));
        });
    }
    QTimer::singleShot(60, &loop, [&] {
        balloon = platform.balloonWindow();
        shownAfterItsEvents = balloon != nullptr && balloon->isVisible();
        queuedForTheReplacements = queued.count;
        ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, "")));
    });
    QTimer::singleShot(120, &loop, &QEventLoop::quit);
    loop.exec();
    ASSERT_NE(balloon, nullptr);
    EXPECT_TRUE(shownAfterItsEvents);
    EXPECT_EQ(balloon->shownBalloon().text, "b");
    EXPECT_EQ(queuedForTheReplacements, 0);
    EXPECT_FALSE(balloon->isVisible()) << "withdrawn alone, it goes when its event is over";
    EXPECT_EQ(codes(), (std::vector<UINT>{NIN_BALLOONHIDE}));
}

TEST_F(QtTrayPlatformTest, TheBalloonWindowsClickTimeOutAndDismissalBecomeBalloonEvents) {
    const HWND target = recorder();
    const NotifyIconData icon = request(target, 4);
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, icon));
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, "a", 50)));
    BalloonWindow* balloon = platform.balloonWindow();
    ASSERT_NE(balloon, nullptr);
    EXPECT_TRUE(waitFor([&] { return !received.empty(); }));
    EXPECT_EQ(codes(), (std::vector<UINT>{NIN_BALLOONTIMEOUT}));
    EXPECT_FALSE(balloon->isVisible());

    // Expired, it comes back with the next request; clicked, it goes and stays away while requests go on.
    received.clear();
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, "b")));
    EXPECT_TRUE(balloon->isVisible());
    balloon->click();
    EXPECT_FALSE(balloon->isVisible());
    EXPECT_TRUE(waitFor([&] { return !received.empty(); }));
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(icon, "c")));
    EXPECT_FALSE(balloon->isVisible());
    waitFor([] { return false; }, 50); // time for any stray event to arrive
    EXPECT_EQ(codes(), (std::vector<UINT>{NIN_BALLOONUSERCLICK}));

    // The icon leaving takes a shown balloon with it, without an event.
    received.clear();
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, request(target, 5)));
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(request(target, 5), "d")));
    EXPECT_TRUE(balloon->isVisible());
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_DELETE, request(target, 5)));
    EXPECT_FALSE(balloon->isVisible());
    waitFor([] { return false; }, 50);
    EXPECT_TRUE(received.empty());

    // Dismissed with its close button: the balloon hides and stays away from the next request.
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_ADD, request(target, 6)));
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(request(target, 6), "e")));
    balloon->dismiss();
    EXPECT_TRUE(waitFor([&] { return !received.empty(); }));
    ASSERT_TRUE(platform.Shell_NotifyIcon(NIM_MODIFY, balloonRequest(request(target, 6), "f")));
    EXPECT_FALSE(balloon->isVisible());
    EXPECT_EQ(codes(), (std::vector<UINT>{NIN_BALLOONHIDE}));
    EXPECT_EQ(balloon->shownBalloon().text, "e");
}

} // namespace
} // namespace hourlink
