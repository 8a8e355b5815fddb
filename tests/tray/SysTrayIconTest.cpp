#include "tray/SysTrayIcon.h"

#include "platform/tray/FakeTrayPlatform.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace hourlink {
namespace {

using Fake = FakeTrayPlatform;

IconImage solidImage(std::uint32_t argb) {
    return IconImage{32, 32, std::vector<std::uint32_t>(32 * 32, argb)};
}

// "abcd…" of the given length, so a cut shows which end was kept.
std::string pattern(std::size_t length) {
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        text += static_cast<char>('a' + i % 26);
    }
    return text;
}

// A tray icon whose event steps write what they raise into a log, so the order of events is visible
// whether or not a handler is assigned.
class RecordingTrayIcon final : public TSysTrayIcon {
public:
    RecordingTrayIcon(TrayPlatform& platform, HWND owner, std::vector<std::string>& log)
        : TSysTrayIcon(platform, owner), m_log(log) {}

protected:
    void DoClick() override {
        m_log.push_back("click");
        TSysTrayIcon::DoClick();
    }
    void DoDblClick() override {
        m_log.push_back("dblclick");
        TSysTrayIcon::DoDblClick();
    }
    void DoMouseDown(TMouseButton button, TShiftState shift, int x, int y) override {
        m_log.push_back("down " + name(button));
        TSysTrayIcon::DoMouseDown(button, shift, x, y);
    }
    void DoMouseUp(TMouseButton button, TShiftState shift, int x, int y) override {
        m_log.push_back("up " + name(button));
        TSysTrayIcon::DoMouseUp(button, shift, x, y);
    }
    void DoMouseMove(TShiftState shift, int x, int y) override {
        m_log.push_back("move");
        TSysTrayIcon::DoMouseMove(shift, x, y);
    }
    void DoMouseEnter() override { m_log.push_back("enter"); }
    void DoMouseExit() override { m_log.push_back("exit"); }
    void DoCycle(int next) override { m_log.push_back("cycle " + std::to_string(next)); }

private:
    static std::string name(TMouseButton button) {
        switch (button) {
        case TMouseButton::mbLeft:
            return "L";
        case TMouseButton::mbRight:
            return "R";
        case TMouseButton::mbMiddle:
            return "M";
        }
        return "?";
    }
    std::vector<std::string>& m_log;
};

class SysTrayIconTest : public ::testing::Test {
protected:
    SysTrayIconTest() { platform.setDoubleClickTime(300); }

    [[nodiscard]] HWND trayWindow() { return TrayIconHandler(platform)->WindowHandle(); }
    bool notify(UINT code) { return platform.sendTrayNotification(trayWindow(), tray->IconId(), code); }
    [[nodiscard]] const Fake::ShownIcon* shown() { return platform.shownIcon(trayWindow(), tray->IconId()); }
    [[nodiscard]] const NotifyIconData& lastRequest() const { return platform.requests().back().data; }

    // The main window's stored settings in their stored order, then the after-loading step.
    void loadProgramSettings() {
        tray->SetCycleInterval(0);
        tray->SetHint("Hour link");
        tray->Icon().SetImage(programIcon);
        tray->SetIconIndex(0);
        tray->SetMinimizeToTray(true);
        tray->OnClick = [this](TObject*) { tray->RestoreMainForm(); };
        tray->Loaded();
    }

    const IconImage programIcon = solidImage(0xFF2060A0);
    Fake platform;
    std::vector<std::string> log;
    std::unique_ptr<TSysTrayIcon> tray = std::make_unique<RecordingTrayIcon>(platform, Fake::kMainFormWindow, log);
};

// --- Construction, loading, destruction --------------------------------------------------------------------

TEST_F(SysTrayIconTest, ConstructionFillsTheRecordAndSendsOneRefusedDelete) {
    const NotifyIconData& data = tray->NotifyData();
    EXPECT_EQ(data.cbSize, 488U);
    EXPECT_EQ(data.hWnd, trayWindow());
    EXPECT_EQ(data.uID, tray->IconId());
    EXPECT_EQ(data.uFlags, 7U);
    EXPECT_EQ(data.uCallbackMessage, 2048U);
    EXPECT_EQ(data.dwState, 0U);
    EXPECT_EQ(data.dwStateMask, 0U);
    ASSERT_EQ(platform.requests().size(), 1U);
    EXPECT_EQ(platform.requests()[0].message, NIM_DELETE);
    EXPECT_FALSE(platform.requests()[0].accepted);
    EXPECT_FALSE(tray->IconVisible());
}

TEST_F(SysTrayIconTest, LoadingTheProgramSettingsLeavesTheIconOutAndTheWindowShown) {
    platform.clearCalls();
    loadProgramSettings();
    EXPECT_EQ(platform.shownIconCount(), 0U);
    EXPECT_TRUE(platform.showMainForm());
    EXPECT_TRUE(platform.MainFormVisible());
    // The after-loading step: update, IconVisible (false: delete), then the notification mode.
    const auto& requests = platform.requests();
    ASSERT_GE(requests.size(), 3U);
    EXPECT_EQ(requests[requests.size() - 3].message, NIM_MODIFY);
    EXPECT_EQ(requests[requests.size() - 2].message, NIM_DELETE);
    EXPECT_EQ(requests[requests.size() - 1].message, NIM_SETVERSION);
    EXPECT_TRUE(std::none_of(requests.begin(), requests.end(), [](const auto& r) { return r.accepted; }));
}

TEST_F(SysTrayIconTest, StartupAnswerFalseHidesTheMainFormAndTellsTheApplication) {
    tray->OnStartup = [](TObject*, bool& show) { show = false; };
    platform.clearCalls();
    tray->Loaded();
    EXPECT_FALSE(platform.showMainForm());
    const std::vector<std::string> hidden{"hide form", "hide app"};
    EXPECT_TRUE(std::search(platform.calls().begin(), platform.calls().end(), hidden.begin(), hidden.end()) !=
                platform.calls().end());
}

TEST_F(SysTrayIconTest, WindowPositionChangeAsksMdiFormsOnceAndWaitsForAMainForm) {
    int asked = 0;
    tray->OnStartup = [&asked](TObject*, bool&) { ++asked; };
    platform.setMdiForm(true);
    platform.setHasMainForm(false);
    platform.sendMessage(Fake::kApplicationWindow, WM_WINDOWPOSCHANGED, 0, 0);
    EXPECT_EQ(asked, 0);
    platform.setHasMainForm(true);
    platform.sendMessage(Fake::kApplicationWindow, WM_WINDOWPOSCHANGED, 0, 0);
    platform.sendMessage(Fake::kApplicationWindow, WM_WINDOWPOSCHANGED, 0, 0);
    EXPECT_EQ(asked, 1);
}

TEST_F(SysTrayIconTest, DestructionDeletesTwiceStopsTimersAndTakesTheFiltersOut) {
    loadProgramSettings();
    platform.minimizeApplication();
    tray->OnDblClick = [](TObject*) {};
    notify(WM_LBUTTONDOWN); // leaves the click timer running
    platform.clearRequests();
    tray.reset();

    ASSERT_EQ(platform.requests().size(), 2U);
    EXPECT_EQ(platform.requests()[0].message, NIM_DELETE);
    EXPECT_TRUE(platform.requests()[0].accepted);
    EXPECT_EQ(platform.requests()[1].message, NIM_DELETE);
    EXPECT_FALSE(platform.requests()[1].accepted);
    EXPECT_EQ(platform.runningTimerCount(), 0U);
    EXPECT_EQ(platform.liveIconCount(), 0U);
    EXPECT_EQ(platform.messageWindowCount(), 0U);

    // Nobody is left in front of the application window: a minimise stays a minimise.
    platform.SetMainFormVisible(true);
    platform.minimizeApplication();
    EXPECT_TRUE(platform.MainFormVisible());
    EXPECT_EQ(platform.defaultProcessed().back(), std::make_pair(Fake::kApplicationWindow, WM_SIZE));
}

TEST_F(SysTrayIconTest, TheLastIconDestroysTheSharedWindowAndANewOneMakesAnother) {
    auto second = std::make_unique<TSysTrayIcon>(platform, 0);
    const HWND shared = trayWindow();
    EXPECT_EQ(second->NotifyData().hWnd, shared);
    EXPECT_NE(second->IconId(), tray->IconId());
    EXPECT_EQ(TrayIconHandler(platform)->UseCount(), 2U);

    second.reset(); // filters come out in the reverse order they went in
    EXPECT_TRUE(platform.windowExists(shared));
    tray.reset();
    EXPECT_EQ(TrayIconHandler(platform), nullptr);
    EXPECT_FALSE(platform.windowExists(shared));

    const int created = platform.messageWindowsCreated();
    tray = std::make_unique<TSysTrayIcon>(platform, Fake::kMainFormWindow);
    EXPECT_GT(platform.messageWindowsCreated(), created);
    EXPECT_TRUE(platform.windowExists(trayWindow()));
    EXPECT_NE(trayWindow(), shared);
}

struct HiddenWindowCase {
    UINT message;
    LRESULT result;
    bool defaultProcessing;
};

class TrayWindowMessages : public SysTrayIconTest, public ::testing::WithParamInterface<HiddenWindowCase> {};

TEST_P(TrayWindowMessages, CloseAndSessionMessagesAreAnsweredWithoutDefaultProcessing) {
    const HiddenWindowCase& c = GetParam();
    const LRESULT result = platform.sendMessage(trayWindow(), c.message, 0, 0);
    EXPECT_EQ(result, c.result);
    const bool defaulted = !platform.defaultProcessed().empty() &&
                           platform.defaultProcessed().back() == std::make_pair(trayWindow(), c.message);
    EXPECT_EQ(defaulted, c.defaultProcessing);
    EXPECT_TRUE(platform.windowExists(trayWindow()));
}

INSTANTIATE_TEST_SUITE_P(Messages, TrayWindowMessages,
                         ::testing::Values(HiddenWindowCase{WM_DESTROY, 1, false}, HiddenWindowCase{WM_CLOSE, 1, false},
                                           HiddenWindowCase{WM_QUERYENDSESSION, 1, false},
                                           HiddenWindowCase{WM_QUIT, 1, false},
                                           HiddenWindowCase{WM_ENDSESSION, 1, false},
                                           HiddenWindowCase{WM_NCDESTROY, 1, false},
                                           HiddenWindowCase{TrayCallbackMessage, 0, false},
                                           HiddenWindowCase{WM_NULL, 0, true}, HiddenWindowCase{WM_TIMER, 0, true}));

// --- Hint and icon -----------------------------------------------------------------------------------------

struct HintCase {
    const char* name;
    std::string hint;
    bool showHint;
    std::string storedUtf8;
    std::string tipBytes;
};

class HintTip : public SysTrayIconTest, public ::testing::WithParamInterface<HintCase> {};

TEST_P(HintTip, IsCutTo127SingleByteCharactersAndSentWithTheTipFlag) {
    const HintCase& c = GetParam();
    tray->SetIconVisible(true);
    tray->SetShowHint(c.showHint);
    tray->SetHint(c.hint);
    EXPECT_EQ(tray->Hint(), c.storedUtf8);
    EXPECT_EQ(platform.requests().back().message, NIM_MODIFY);
    EXPECT_NE(lastRequest().uFlags & NIF_TIP, 0U);
    EXPECT_EQ(FieldText(lastRequest().szTip), c.tipBytes);
    if (c.tipBytes.empty()) {
        EXPECT_TRUE(std::all_of(lastRequest().szTip.begin(), lastRequest().szTip.end(), [](char b) { return b == 0; }));
    }
    ASSERT_NE(shown(), nullptr);
    EXPECT_EQ(shown()->tip, c.tipBytes);
}

std::string repeat(const std::string& piece, int times) {
    std::string text;
    for (int i = 0; i < times; ++i) {
        text += piece;
    }
    return text;
}

INSTANTIATE_TEST_SUITE_P(Hints, HintTip,
                         ::testing::Values(HintCase{"Plain", "Hour link", true, "Hour link", "Hour link"},
                                           HintCase{"TwoHundredCharacters", pattern(200), true, pattern(127),
                                                    pattern(127)},
                                           HintCase{"AccentedIsOneByte", repeat("\xC3\xA8", 130), true,
                                                    repeat("\xC3\xA8", 127), std::string(127, '\xE8')},
                                           HintCase{"Empty", "", true, "", ""},
                                           HintCase{"ShowHintFalse", "Hour link", false, "Hour link", ""}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SysTrayIconTest, SettingTheIconCopiesItWithOneRequest) {
    TIcon source(platform);
    source.SetImage(solidImage(0xFFFF0000));
    platform.clearRequests();
    tray->SetIcon(source);
    ASSERT_EQ(platform.requests().size(), 1U);
    const IconImage* sent = platform.iconImage(lastRequest().hIcon);
    ASSERT_NE(sent, nullptr);
    EXPECT_EQ(*sent, solidImage(0xFFFF0000));
}

TEST_F(SysTrayIconTest, ChangingTheOwnedIconUpdatesTheTray) {
    tray->SetIconVisible(true);
    tray->Icon().SetImage(solidImage(0xFF00FF00));
    ASSERT_NE(platform.iconImage(shown()->icon), nullptr);
    EXPECT_EQ(*platform.iconImage(shown()->icon), solidImage(0xFF00FF00));
}

TEST_F(SysTrayIconTest, AnUnreadableImageIsSentWithoutAnImage) {
    tray->SetIconVisible(true);
    tray->Icon().SetImage(IconImage{32, 32, std::vector<std::uint32_t>(10, 0)});
    EXPECT_EQ(platform.requests().back().message, NIM_MODIFY);
    EXPECT_TRUE(platform.requests().back().accepted);
    EXPECT_EQ(lastRequest().hIcon, 0U);
}

// --- Balloons ------------------------------------------------------------------------------------------------

TEST_F(SysTrayIconTest, BalloonWithdrawsThenShowsWithFlags23AndLaterRequestsCarry7) {
    loadProgramSettings();
    platform.minimizeApplication();
    platform.clearRequests();

    EXPECT_TRUE(tray->ShowBalloonHint(pattern(80), pattern(300), TBalloonIconKind::bikInfo, 10));

    const auto& requests = platform.requests();
    ASSERT_EQ(requests.size(), 2U);
    EXPECT_EQ(requests[0].message, NIM_MODIFY);
    EXPECT_EQ(requests[0].data.uFlags, 23U);
    EXPECT_EQ(FieldText(requests[0].data.szInfo), "");
    EXPECT_EQ(requests[1].message, NIM_MODIFY);
    EXPECT_EQ(requests[1].data.uFlags, 23U);
    EXPECT_EQ(FieldText(requests[1].data.szInfo), pattern(255));
    EXPECT_EQ(FieldText(requests[1].data.szInfoTitle), pattern(63));
    EXPECT_EQ(requests[1].data.uTimeout, 10000U);
    EXPECT_EQ(requests[1].data.dwInfoFlags, NIIF_INFO);
    ASSERT_NE(shown(), nullptr);
    EXPECT_TRUE(shown()->balloonVisible);

    tray->SetHint("today time is 1:00:00");
    EXPECT_EQ(lastRequest().uFlags, 7U);
    EXPECT_EQ(shown()->balloonsShown, 1);
}

TEST_F(SysTrayIconTest, TheProgramsBalloonTitleFitsWithItsAccentAsOneByte) {
    tray->SetIconVisible(true);
    tray->ShowBalloonHint("La media connessioni \xC3\xA8 superiore al limite AUP:", "3:20:00",
                          TBalloonIconKind::bikInfo, 10);
    EXPECT_EQ(shown()->balloonTitle, "La media connessioni \xE8 superiore al limite AUP:");
    EXPECT_EQ(shown()->balloonText, "3:20:00");
}

struct BalloonCase {
    TBalloonIconKind kind;
    std::uint8_t seconds;
    DWORD flag;
    UINT timeoutMs;
};

class BalloonFields : public SysTrayIconTest, public ::testing::WithParamInterface<BalloonCase> {};

TEST_P(BalloonFields, KindAndTimeOutBecomeFlagAndMilliseconds) {
    tray->SetIconVisible(true);
    tray->ShowBalloonHint("t", "x", GetParam().kind, GetParam().seconds);
    EXPECT_EQ(lastRequest().dwInfoFlags, GetParam().flag);
    EXPECT_EQ(lastRequest().uTimeout, GetParam().timeoutMs);
}

INSTANTIATE_TEST_SUITE_P(Kinds, BalloonFields,
                         ::testing::Values(BalloonCase{TBalloonIconKind::bikNone, 0, NIIF_NONE, 0},
                                           BalloonCase{TBalloonIconKind::bikInfo, 10, NIIF_INFO, 10000},
                                           BalloonCase{TBalloonIconKind::bikWarning, 1, NIIF_WARNING, 1000},
                                           BalloonCase{TBalloonIconKind::bikError, 255, NIIF_ERROR, 255000}));

TEST_F(SysTrayIconTest, ABalloonBeforeTheFirstMinimiseIsLostWhileTheHintIsKept) {
    loadProgramSettings();
    EXPECT_FALSE(tray->ShowBalloonHint("title", "text", TBalloonIconKind::bikInfo, 10));
    tray->SetHint("today time is 0:00:05");
    platform.minimizeApplication();
    ASSERT_NE(shown(), nullptr);
    EXPECT_EQ(shown()->tip, "today time is 0:00:05");
    EXPECT_EQ(shown()->balloonsShown, 0);
}

TEST_F(SysTrayIconTest, ABalloonEverySecondIsWithdrawnAndShownAgain) {
    tray->SetIconVisible(true);
    for (int second = 0; second < 3; ++second) {
        tray->ShowBalloonHint("over", "5:00:00", TBalloonIconKind::bikInfo, 10);
        platform.advanceTime(1000);
    }
    EXPECT_EQ(shown()->balloonsShown, 3);
    EXPECT_EQ(shown()->balloonsWithdrawn, 2);
}

// --- Mouse notifications -----------------------------------------------------------------------------------

// A notification code, or a move of time when code is 0, or a marker in the log when code is 1.
struct Step {
    UINT code;
    UINT advanceMs = 0;
};
constexpr Step kMark{1};
Step after(UINT ms) {
    return Step{0, ms};
}

struct ClickCase {
    const char* name;
    bool withDblClickHandler;
    std::vector<Step> steps;
    std::vector<std::string> events;
};

class Clicks : public SysTrayIconTest, public ::testing::WithParamInterface<ClickCase> {};

TEST_P(Clicks, RaiseTheirEventsInOrder) {
    const ClickCase& c = GetParam();
    int clicks = 0;
    tray->OnClick = [&clicks](TObject*) { ++clicks; };
    if (c.withDblClickHandler) {
        tray->OnDblClick = [](TObject*) {};
    }
    tray->SetIconVisible(true);
    for (const Step& step : c.steps) {
        if (step.code == 0) {
            platform.advanceTime(step.advanceMs);
        } else if (step.code == kMark.code) {
            log.push_back("|");
        } else {
            ASSERT_TRUE(notify(step.code));
        }
    }
    EXPECT_EQ(log, c.events);
    EXPECT_EQ(clicks, std::count(c.events.begin(), c.events.end(), "click"));
}

INSTANTIATE_TEST_SUITE_P(
    Mouse, Clicks,
    ::testing::Values(
        ClickCase{"SingleClickAtRelease", false, {{WM_LBUTTONDOWN}, {WM_LBUTTONUP}}, {"down L", "click", "up L"}},
        ClickCase{"DoubleClickGivesOneClickAndOneDblClick",
                  false,
                  {{WM_LBUTTONDOWN}, {WM_LBUTTONUP}, {WM_LBUTTONDBLCLK}, {WM_LBUTTONUP}},
                  {"down L", "click", "up L", "dblclick", "up L"}},
        ClickCase{"SingleClickWaitsOneDoubleClickTime",
                  true,
                  {{WM_LBUTTONDOWN}, {WM_LBUTTONUP}, after(299), kMark, after(1)},
                  {"down L", "up L", "|", "click"}},
        ClickCase{"DoubleClickWithHandlerRaisesNoClick",
                  true,
                  {{WM_LBUTTONDOWN}, {WM_LBUTTONUP}, {WM_LBUTTONDBLCLK}, {WM_LBUTTONUP}, after(1000)},
                  {"down L", "up L", "dblclick", "up L"}},
        ClickCase{"PressHeldLongerThanTheDoubleClickTimeClicksAtRelease",
                  true,
                  {{WM_LBUTTONDOWN}, after(400), {WM_LBUTTONUP}},
                  {"down L", "click", "up L"}},
        ClickCase{"ReleaseWithoutPressRaisesNoClick", false, {{WM_LBUTTONUP}}, {"up L"}},
        ClickCase{"RightClickRaisesNoClick", false, {{WM_RBUTTONDOWN}, {WM_RBUTTONUP}}, {"down R", "up R"}},
        ClickCase{"MiddleClick", false, {{WM_MBUTTONDOWN}, {WM_MBUTTONUP}}, {"down M", "up M"}},
        ClickCase{"BalloonShowAndUnknownCodesAreIgnored", false, {{NIN_BALLOONSHOW}, {0x0209}}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(SysTrayIconTest, AClickTimerThatCannotStartClicksAtTheReleaseAtOnce) {
    tray->OnDblClick = [](TObject*) {};
    tray->SetIconVisible(true);
    platform.setTimersFail(true);
    notify(WM_LBUTTONDOWN);
    notify(WM_LBUTTONUP);
    EXPECT_EQ(log, (std::vector<std::string>{"down L", "click", "up L"}));
}

TEST_F(SysTrayIconTest, DisabledIgnoresTheMouseButStillRaisesTheBalloonEvents) {
    std::vector<TObject*> senders;
    auto record = [&senders](TObject* sender) { senders.push_back(sender); };
    tray->OnBalloonHintClick = record;
    tray->OnBalloonHintHide = record;
    tray->OnBalloonHintTimeout = record;
    tray->SetIconVisible(true);
    tray->SetEnabled(false);
    for (UINT code : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_RBUTTONDOWN, WM_RBUTTONUP,
                      WM_MBUTTONDOWN, WM_MBUTTONUP}) {
        notify(code);
    }
    EXPECT_TRUE(log.empty());
    for (UINT code : {NIN_BALLOONUSERCLICK, NIN_BALLOONHIDE, NIN_BALLOONTIMEOUT}) {
        notify(code);
    }
    ASSERT_EQ(senders.size(), 3U);
    for (TObject* sender : senders) {
        EXPECT_EQ(sender, TrayIconHandler(platform));
    }
}

TEST_F(SysTrayIconTest, MouseEventsCarryTheCursorAndTheKeysDownNow) {
    struct Seen {
        TObject* sender;
        TMouseButton button;
        TShiftState shift;
        int x;
        int y;
    };
    std::vector<Seen> downs;
    tray->OnMouseDown = [&downs](TObject* sender, TMouseButton button, TShiftState shift, int x, int y) {
        downs.push_back(Seen{sender, button, shift, x, y});
    };
    TShiftState moveShift;
    tray->OnMouseMove = [&moveShift](TObject*, TShiftState shift, int, int) { moveShift = shift; };
    tray->SetIconVisible(true);
    platform.setCursorPos(TPoint{1270, 790});
    platform.setKeyDown(VK_SHIFT, true);
    platform.setKeyDown(VK_MENU, true);

    notify(WM_LBUTTONDOWN);
    platform.setKeyDown(VK_SHIFT, false);
    platform.setKeyDown(VK_CONTROL, true);
    notify(WM_MBUTTONDOWN);
    notify(WM_MOUSEMOVE);

    ASSERT_EQ(downs.size(), 2U);
    EXPECT_EQ(downs[0].sender, tray.get());
    EXPECT_EQ(downs[0].button, TMouseButton::mbLeft);
    EXPECT_EQ(downs[0].shift, TShiftState::ssShift + TShiftState::ssAlt + TShiftState::ssLeft);
    EXPECT_EQ(downs[0].x, 1270);
    EXPECT_EQ(downs[0].y, 790);
    EXPECT_EQ(downs[1].button, TMouseButton::mbMiddle);
    EXPECT_EQ(downs[1].shift, TShiftState::ssCtrl + TShiftState::ssAlt + TShiftState::ssMiddle);
    EXPECT_EQ(moveShift, TShiftState::ssCtrl + TShiftState::ssAlt);
}

TEST_F(SysTrayIconTest, VersionFiveModeTakesTheRightReleaseFromTheContextMenuCodes) {
    tray->SetIconVisible(true);
    tray->SetShellBehaviour(1);
    EXPECT_EQ(platform.requests().back().message, NIM_SETVERSION);
    EXPECT_EQ(lastRequest().uVersion, 3U);
    EXPECT_EQ(shown()->version, 3U);
    for (UINT code : {WM_RBUTTONUP, WM_CONTEXTMENU, NIN_SELECT, NIN_KEYSELECT}) {
        notify(code);
    }
    EXPECT_EQ(log, (std::vector<std::string>{"up R", "up R", "up R"}));

    tray->SetShellBehaviour(7); // not a mode: the version field keeps its content
    EXPECT_EQ(lastRequest().uVersion, 3U);
    tray->SetShellBehaviour(0);
    EXPECT_EQ(lastRequest().uVersion, 0U);
    log.clear();
    notify(WM_RBUTTONUP);
    notify(WM_CONTEXTMENU);
    EXPECT_EQ(log, (std::vector<std::string>{"up R"}));
}

TEST_F(SysTrayIconTest, EnterAndExitFollowTheCursorEvery20Ms) {
    tray->SetIconVisible(true);
    notify(WM_MOUSEMOVE);
    EXPECT_EQ(log, (std::vector<std::string>{"move"}));
    log.clear();

    tray->SetWantEnterExitEvents(true);
    platform.setCursorPos(TPoint{5, 5});
    notify(WM_MOUSEMOVE);
    platform.advanceTime(100);
    platform.setCursorPos(TPoint{5, 6});
    platform.advanceTime(19);
    log.push_back("|");
    platform.advanceTime(1);
    platform.advanceTime(100);
    notify(WM_MOUSEMOVE);
    EXPECT_EQ(log, (std::vector<std::string>{"enter", "move", "|", "exit", "enter", "move"}));

    tray->SetWantEnterExitEvents(false);
    EXPECT_EQ(platform.runningTimerCount(), 0U);
}

// --- Minimise to tray and back -------------------------------------------------------------------------------

TEST_F(SysTrayIconTest, MinimisingAddsTheIconHidesTheWindowAndAClickBringsItBack) {
    loadProgramSettings();
    platform.clearCalls();
    platform.minimizeApplication();
    EXPECT_EQ(platform.calls(), (std::vector<std::string>{"NIM_ADD", "hide form", "hide app"}));
    ASSERT_NE(shown(), nullptr);
    EXPECT_EQ(shown()->tip, "Hour link");
    EXPECT_EQ(shown()->callbackMessage, 2048U);
    ASSERT_NE(platform.iconImage(shown()->icon), nullptr);
    EXPECT_EQ(*platform.iconImage(shown()->icon), programIcon);
    EXPECT_TRUE(tray->IconVisible());

    platform.clearCalls();
    notify(WM_LBUTTONDOWN);
    notify(WM_LBUTTONUP);
    EXPECT_EQ(platform.calls(), (std::vector<std::string>{"restore", "state normal", "show form", "foreground app",
                                                          "foreground form", "foreground app"}));
    EXPECT_TRUE(platform.MainFormVisible());
    EXPECT_TRUE(platform.IsWindowVisible(Fake::kApplicationWindow));
    EXPECT_NE(shown(), nullptr);

    // Minimised again: the icon is already in, so the add is refused and the change request confirms it.
    platform.clearCalls();
    platform.minimizeApplication();
    EXPECT_EQ(platform.calls(), (std::vector<std::string>{"NIM_ADD", "NIM_MODIFY", "hide form", "hide app"}));
    EXPECT_EQ(platform.shownIconCount(), 1U);
}

TEST_F(SysTrayIconTest, WithoutMinimizeToTrayAMinimiseIsOrdinary) {
    loadProgramSettings();
    tray->SetMinimizeToTray(false);
    platform.clearCalls();
    platform.minimizeApplication();
    EXPECT_TRUE(platform.calls().empty());
    EXPECT_TRUE(platform.MainFormVisible());
    EXPECT_EQ(platform.defaultProcessed().back(), std::make_pair(Fake::kApplicationWindow, WM_SIZE));
}

TEST_F(SysTrayIconTest, WithoutANotificationAreaTheWindowIsNeverHiddenUntilOneAppears) {
    loadProgramSettings();
    platform.setTrayAvailable(false);
    platform.clearCalls();
    platform.minimizeApplication();
    EXPECT_EQ(platform.calls(), (std::vector<std::string>{"NIM_ADD", "NIM_MODIFY"}));
    EXPECT_TRUE(platform.MainFormVisible());
    EXPECT_TRUE(platform.IsWindowVisible(Fake::kApplicationWindow));
    EXPECT_EQ(platform.defaultProcessed().back(), std::make_pair(Fake::kApplicationWindow, WM_SIZE));

    // A tray appears while the window sits minimised: the window goes into it.
    platform.setTrayAvailable(true);
    platform.recreateTaskbar();
    ASSERT_NE(shown(), nullptr);
    EXPECT_EQ(shown()->tip, "Hour link");
    EXPECT_FALSE(platform.MainFormVisible());
    EXPECT_FALSE(platform.IsWindowVisible(Fake::kApplicationWindow));
    tray->RestoreMainForm();
    platform.minimizeApplication();
    EXPECT_FALSE(platform.MainFormVisible());
}

TEST_F(SysTrayIconTest, ATrayThatAppearsLeavesAWindowThatIsNotMinimisedWhereItIs) {
    loadProgramSettings();
    platform.setTrayAvailable(false);
    platform.minimizeApplication();
    tray->RestoreMainForm();
    ASSERT_EQ(platform.MainFormWindowState(), TWindowState::wsNormal);
    platform.setTrayAvailable(true);
    platform.recreateTaskbar();
    EXPECT_NE(shown(), nullptr) << "the icon asked for at the minimise comes in";
    EXPECT_TRUE(platform.MainFormVisible());

    // Without MinimizeToTray a minimised window stays as it is.
    tray->SetMinimizeToTray(false);
    platform.minimizeApplication();
    platform.recreateTaskbar();
    EXPECT_TRUE(platform.MainFormVisible());
}

TEST_F(SysTrayIconTest, ShowingTheOwnerByRequestBringsTheApplicationToTheFront) {
    const std::vector<std::string> front{"foreground app", "foreground form"};
    for (const auto& [wParam, lParam, expected] :
         {std::tuple{WPARAM{1}, LPARAM{0}, front}, std::tuple{WPARAM{1}, LPARAM{1}, std::vector<std::string>{}},
          std::tuple{WPARAM{0}, LPARAM{0}, std::vector<std::string>{}}}) {
        platform.clearCalls();
        platform.sendMessage(Fake::kMainFormWindow, WM_SHOWWINDOW, wParam, lParam);
        EXPECT_EQ(platform.calls(), expected) << wParam << "," << lParam;
    }
}

TEST_F(SysTrayIconTest, SettingIconVisibleTwiceSendsTwoAddsAndShowsOneIcon) {
    tray->SetIconVisible(true);
    tray->SetIconVisible(true);
    const auto& requests = platform.requests();
    ASSERT_GE(requests.size(), 2U);
    EXPECT_EQ(requests[requests.size() - 2].message, NIM_ADD);
    EXPECT_TRUE(requests[requests.size() - 2].accepted);
    EXPECT_EQ(requests.back().message, NIM_ADD);
    EXPECT_FALSE(requests.back().accepted);
    EXPECT_TRUE(tray->IconVisible());
    EXPECT_EQ(platform.shownIconCount(), 1U);
}

// --- A taskbar made anew ---------------------------------------------------------------------------------------

TEST_F(SysTrayIconTest, AfterTheTaskbarIsMadeAnewAnIconThatWasInComesBackAsItIsNow) {
    loadProgramSettings();
    platform.minimizeApplication();
    tray->SetHint("today time is 2:00:00");
    tray->Icon().SetImage(solidImage(0xFF123456));
    platform.recreateTaskbar();
    ASSERT_NE(shown(), nullptr);
    EXPECT_EQ(shown()->tip, "today time is 2:00:00");
    EXPECT_EQ(*platform.iconImage(shown()->icon), solidImage(0xFF123456));
}

TEST_F(SysTrayIconTest, AfterTheTaskbarIsMadeAnewAnIconThatWasOutStaysOut) {
    loadProgramSettings();
    platform.recreateTaskbar();
    EXPECT_EQ(platform.shownIconCount(), 0U);
}

struct VersionCase {
    DWORD version;
    bool registered;
};

class CommonControls : public ::testing::TestWithParam<VersionCase> {};

TEST_P(CommonControls, FromVersion471TheIconIsPutBackAfterTheTaskbarReturns) {
    Fake platform;
    platform.setCommonControlsVersion(GetParam().version);
    TSysTrayIcon tray(platform, Fake::kMainFormWindow);
    tray.SetIconVisible(true);
    platform.recreateTaskbar();
    EXPECT_EQ(platform.shownIconCount(), GetParam().registered ? 1U : 0U);
    EXPECT_EQ(TaskbarCreatedMessage(platform) != 0, GetParam().registered);
}

INSTANTIATE_TEST_SUITE_P(Versions, CommonControls,
                         ::testing::Values(VersionCase{0, false}, VersionCase{(4U << 16) | 70U, false},
                                           VersionCase{(4U << 16) | 71U, true}, VersionCase{(6U << 16), true}));

TEST(CommonControlsVersionTest, ANonZeroAnswerIsRememberedAndZeroIsAskedAgain) {
    Fake platform;
    platform.setCommonControlsVersion(0);
    EXPECT_EQ(CommonControlsVersion(platform), 0U);
    platform.setCommonControlsVersion((5U << 16) | 82U);
    EXPECT_EQ(CommonControlsVersion(platform), (5U << 16) | 82U);
    const int queries = platform.commonControlsQueries();
    platform.setCommonControlsVersion(0);
    EXPECT_EQ(CommonControlsVersion(platform), (5U << 16) | 82U);
    EXPECT_EQ(platform.commonControlsQueries(), queries);
}

// --- Icon cycling ----------------------------------------------------------------------------------------------

TEST_F(SysTrayIconTest, CyclingWalksTheListAndWrapsAround) {
    TImageList list;
    for (std::uint32_t colour : {0xFF000001U, 0xFF000002U, 0xFF000003U}) {
        list.Add(solidImage(colour));
    }
    tray->SetIconList(&list);
    tray->SetCycleInterval(100);
    tray->SetCycleIcons(true);
    platform.advanceTime(300);
    EXPECT_EQ(log, (std::vector<std::string>{"cycle 1", "cycle 2", "cycle 0"}));
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_EQ(tray->Icon().Image(), solidImage(0xFF000001U));
    platform.advanceTime(100);
    EXPECT_EQ(tray->IconIndex(), 1);
    EXPECT_EQ(tray->Icon().Image(), solidImage(0xFF000002U));

    log.clear();
    tray->SetCycleInterval(250); // restarts with the new interval
    platform.advanceTime(249);
    EXPECT_TRUE(log.empty());
    platform.advanceTime(1);
    EXPECT_EQ(log.size(), 1U);

    tray->SetCycleIcons(false);
    EXPECT_EQ(platform.runningTimerCount(), 0U);
}

TEST_F(SysTrayIconTest, IconIndexIsClampedToTheListAndZeroWithoutOne) {
    tray->SetIconIndex(5);
    EXPECT_EQ(tray->IconIndex(), 0);
    TImageList list;
    list.Add(solidImage(1));
    list.Add(solidImage(2));
    tray->SetIconList(&list);
    tray->SetIconIndex(7);
    EXPECT_EQ(tray->IconIndex(), 1);
    EXPECT_EQ(tray->Icon().Image(), solidImage(2));
}

TEST_F(SysTrayIconTest, ARemovedListOrMenuIsForgotten) {
    auto list = std::make_unique<TImageList>();
    list->Add(solidImage(1));
    list->Add(solidImage(2));
    auto menu = std::make_unique<TPopupMenu>(platform);
    menu->Add("Open");
    tray->SetIconList(list.get());
    tray->SetIconIndex(1);
    tray->SetPopupMenu(menu.get());
    tray->SetCycleInterval(100);
    tray->SetCycleIcons(true);

    list.reset();
    menu.reset();
    EXPECT_EQ(tray->IconList(), nullptr);
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_EQ(tray->PopupMenu(), nullptr);
    // A cycle tick without a list has nothing to show: no step, no request.
    log.clear();
    platform.clearRequests();
    platform.advanceTime(300);
    EXPECT_EQ(log, std::vector<std::string>{});
    EXPECT_EQ(tray->IconIndex(), 0);
    EXPECT_TRUE(platform.requests().empty());
    notify(WM_RBUTTONDOWN);
    EXPECT_TRUE(platform.menusShown().empty());
}

// --- Popup menu ----------------------------------------------------------------------------------------------

class PopupMenuTest : public SysTrayIconTest {
protected:
    PopupMenuTest() {
        menu.Add("Open").OnClick = [this](TObject*) { chosen.push_back("Open"); };
        TMenuItem& quit = menu.Add("Quit");
        quit.Default = true;
        quit.OnClick = [this](TObject*) { chosen.push_back("Quit"); };
        tray->SetPopupMenu(&menu);
        tray->SetIconVisible(true);
        platform.setCursorPos(TPoint{640, 780});
    }

    TPopupMenu menu{platform};
    std::vector<std::string> chosen;
};

TEST_F(PopupMenuTest, TheRightPressOpensTheMenuAtTheCursorAndRunsTheChoice) {
    platform.setMenuChoice(0);
    platform.clearCalls();
    notify(WM_RBUTTONDOWN);
    EXPECT_EQ(platform.calls(),
              (std::vector<std::string>{"foreground app", "process messages", "menu", "post WM_NULL form"}));
    EXPECT_EQ(platform.menuPoints().at(0), (TPoint{640, 780}));
    EXPECT_EQ(platform.menusShown().at(0).at(1).caption, "Quit");
    EXPECT_TRUE(platform.menusShown().at(0).at(1).isDefault);
    EXPECT_EQ(menu.PopupComponent, tray.get());
    EXPECT_EQ(chosen, (std::vector<std::string>{"Open"}));
    EXPECT_EQ(log, (std::vector<std::string>{"down R"}));
}

TEST_F(PopupMenuTest, ADoubleClickRunsTheDefaultItemUnlessTheLeftButtonOpensTheMenu) {
    notify(WM_LBUTTONDOWN);
    EXPECT_TRUE(platform.menusShown().empty());
    notify(WM_LBUTTONDBLCLK);
    EXPECT_EQ(chosen, (std::vector<std::string>{"Quit"}));

    tray->SetLeftPopup(true);
    chosen.clear();
    notify(WM_LBUTTONDOWN);
    EXPECT_EQ(platform.menusShown().size(), 1U);
    notify(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(chosen.empty());
}

TEST_F(PopupMenuTest, WithoutAutoPopupNothingOpensAndNoDefaultRuns) {
    menu.AutoPopup = false;
    notify(WM_RBUTTONDOWN);
    notify(WM_LBUTTONDBLCLK);
    EXPECT_TRUE(platform.menusShown().empty());
    EXPECT_TRUE(chosen.empty());
}

TEST_F(PopupMenuTest, TicksAreBroughtUpToDateJustBeforeTheMenuShowsAndAutoCheckFlipsThemFirst) {
    TMenuItem& login = menu.Add("Start at login");
    login.AutoCheck = true;
    bool entryThere = true;
    menu.OnPopup = [&](TObject*) { login.Checked = entryThere; };
    bool tickAtClick = false;
    login.OnClick = [&](TObject*) { tickAtClick = login.Checked; };
    platform.setMenuChoice(2);
    notify(WM_RBUTTONDOWN);
    const MenuEntry& shownLine = platform.menusShown().at(0).at(2);
    EXPECT_TRUE(shownLine.checkable);
    EXPECT_TRUE(shownLine.checked);
    EXPECT_FALSE(platform.menusShown().at(0).at(0).checkable) << "a plain line has no box";
    EXPECT_FALSE(tickAtClick) << "the click sees the tick the user asked for";

    // A host that draws the menu gets the same lines and runs the same entries.
    entryThere = false;
    const std::vector<MenuEntry> lines = menu.Entries();
    ASSERT_EQ(lines.size(), 3U);
    EXPECT_TRUE(lines[2].checkable);
    EXPECT_FALSE(lines[2].checked);
    menu.ChooseEntry(2);
    EXPECT_TRUE(tickAtClick);
    menu.ChooseEntry(3);
    menu.ChooseEntry(-1);
    EXPECT_EQ(chosen, std::vector<std::string>{}) << "an index out of range runs nothing";
}

TEST_F(PopupMenuTest, NoMenuOpensWhenTheCursorCannotBeRead) {
    platform.setCursorPosFails(true);
    notify(WM_RBUTTONDOWN);
    EXPECT_TRUE(platform.menusShown().empty());
}

} // namespace
} // namespace hourlink
