#pragma once

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/tray/BalloonTracker.h"
#include "platform/tray/MessageWindows.h"
#include "platform/tray/TrayActivation.h"
#include "platform/tray/TrayHostWatch.h"
#include "platform/tray/TrayPlatform.h"

namespace hourlink {

class BalloonWindow;
class DesktopNotifications;
class StatusNotifierItem;
class XEmbedTrayWatch;

// The tray services on a Linux desktop through Qt.
//
// The main window carries the taskbar button, so it plays both the application window and the main form;
// it has two handles, one per role, each with its own chain of message filters, so that the filters put in
// front of either can be taken out in any order. Its events reach those filters as the program knows them:
//   minimised (WindowStateChange)      WM_SIZE / SIZE_MINIMIZED to the application window, posted, so the
//                                      window is hidden after the window system has finished minimising it
//   shown by show() (Show, not spontaneous)  WM_SHOWWINDOW (1, 0) to the main form window
//   moved or resized                   WM_WINDOWPOSCHANGED to the application window
//   a tray host appears again          the registered "TaskbarCreated" message to the application window
// Each (window, identifier) of the notification area is one icon on the tray host (see below). Its clicks
// become the callback message's action codes (see TrayCallbackCodes).
//
// Balloons never go through Qt's tray (which builds a new balloon each time, or puts it into the icon's
// tooltip): each icon's BalloonTracker sends them as desktop notifications when a notification server is on
// the session bus, else to one BalloonWindow of our own beside the icon, whichever kind of host holds it. A withdrawal
// is held until the end of the current event, so that the withdrawal-then-show of every balloon request replaces the
// balloon in place. Clicks, time-outs and closings come back as NIN_BALLOONUSERCLICK, NIN_BALLOONTIMEOUT and
// NIN_BALLOONHIDE, posted to the icon's window.
//
// Two kinds of tray host: a StatusNotifierItem host over D-Bus, which gets an item of our own
// (StatusNotifierItem) with the icon's popup menu exported beside it, and a legacy XEmbed tray, which gets a
// QSystemTrayIcon. A D-Bus host is preferred when both are there. Qt's own D-Bus tray is not used: Qt settles
// once per process, at its first tray question, whether its QSystemTrayIcon speaks D-Bus, so a host that comes
// later would never see it. The first question is asked at construction; when no D-Bus host is there then,
// Qt keeps to XEmbed for good, which is what the QSystemTrayIcon here is for. When a D-Bus host is there,
// Qt may have chosen D-Bus, and XEmbed trays stay unused for the life of the process.
//
// Once someone registered "TaskbarCreated", hosts are followed: the D-Bus host by its watcher's signals, an
// XEmbed tray by what the X server tells of trays that start and end, or by a look every second where nothing
// tells (and where a test replaces the question). When the host goes or is replaced, the icons are forgotten as the
// shell forgets them; when one is there, the application window is told, and the icons are added again by their owners.
// When no host comes back within kHostGraceMs, a main window hidden in the tray is shown minimised.
//
// An exception that a filter or window procedure lets out is handed to the error handler; none crosses into Qt.
class QtTrayPlatform final : public QObject, public TrayPlatform {
public:
    using ErrorHandler = std::function<void(const std::string& message)>;
    using AvailabilityProbe = std::function<bool()>;

    static constexpr HWND kApplicationWindow = MessageWindows::kApplicationWindow;
    static constexpr HWND kMainFormWindow = MessageWindows::kMainFormWindow;
    static constexpr int kTrayPollMs = 1000;
    static constexpr int kHostGraceMs = 3000;

    explicit QtTrayPlatform(QWidget* mainWindow, ErrorHandler onError = {});
    ~QtTrayPlatform() override;

    // --- TrayPlatform ---
    [[nodiscard]] bool Shell_NotifyIcon(DWORD message, const NotifyIconData& data) override;
    [[nodiscard]] UINT RegisterWindowMessage(const std::string& name) override;
    [[nodiscard]] DWORD GetCommonControlsVersion() override;
    [[nodiscard]] HICON CreateIcon(const IconImage& image) override;
    void DestroyIcon(HICON icon) override;
    [[nodiscard]] HWND CreateMessageWindow(WindowProc proc) override;
    bool DestroyWindow(HWND window) override;
    LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    [[nodiscard]] WindowProc GetWindowProc(HWND window) override;
    WindowProc SetWindowProc(HWND window, WindowProc proc) override;
    bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    bool SetTimer(HWND window, UINT_PTR id, UINT elapseMs) override;
    bool KillTimer(HWND window, UINT_PTR id) override;
    bool SetForegroundWindow(HWND window) override;
    bool ShowWindow(HWND window, int command) override;
    [[nodiscard]] bool IsWindowVisible(HWND window) override;
    bool GetCursorPos(TPoint& point) override;
    [[nodiscard]] std::int16_t GetAsyncKeyState(int virtualKey) override;
    [[nodiscard]] UINT GetDoubleClickTime() override;
    int TrackPopupMenu(const std::vector<MenuEntry>& entries, TPoint at) override;
    void SetNotifyIconMenu(HWND window, UINT id, NotifyIconMenu menu) override;
    [[nodiscard]] HWND ApplicationWindow() override { return kApplicationWindow; }
    [[nodiscard]] HWND MainFormWindow() override { return m_mainWindow ? kMainFormWindow : 0; }
    [[nodiscard]] bool MainFormVisible() override;
    void SetMainFormVisible(bool visible) override;
    [[nodiscard]] TWindowState MainFormWindowState() override;
    void SetMainFormWindowState(TWindowState state) override;
    [[nodiscard]] bool MainFormIsMdiForm() override { return false; }
    void ApplicationRestore() override;
    void SetShowMainForm(bool show) override { m_showMainForm = show; }
    void ProcessMessages() override;

    // The name and icon name that desktop notifications carry.
    void setNotificationIdentity(const QString& applicationTitle, const QString& iconName);
    // Replaces the question "is a notification server there?" (asked of the session bus).
    void setNotificationServerProbe(AvailabilityProbe probe) { m_notificationProbe = std::move(probe); }
    // The balloon window of our own, once one was needed; nullptr before.
    [[nodiscard]] BalloonWindow* balloonWindow() const { return m_balloonWindow.get(); }

    // Whether the main window should be shown when the program starts running.
    [[nodiscard]] bool showMainForm() const { return m_showMainForm; }
    // Replaces the question "is a tray host there?" (QSystemTrayIcon::isSystemTrayAvailable).
    void setAvailabilityProbe(AvailabilityProbe probe);
    // One look for a tray host that came or went; the poll timer runs it.
    void checkTrayHost();
    // The Qt icon standing for (window, identifier) on an XEmbed tray, or nullptr.
    [[nodiscard]] QSystemTrayIcon* trayIcon(HWND window, UINT id) const;
    // The D-Bus item standing for (window, identifier), or nullptr.
    [[nodiscard]] StatusNotifierItem* statusNotifierItem(HWND window, UINT id) const;
    // The menu a host that draws menus gets for (window, identifier); empty functions when there is none.
    [[nodiscard]] NotifyIconMenu notifyIconMenu(HWND window, UINT id) const;
    // The host seen at the last look.
    [[nodiscard]] const TrayHost& trayHost() const { return m_host; }
    // The callback message for a desktop-reported action on (window, identifier), as activated() sends it.
    void deliverActivation(HWND window, UINT id, TrayActivation activation);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // Starts following XEmbed trays as they come and go.
    void followXEmbedTrays();
    // The Qt objects are children of the platform; one that goes while it may be emitting is deleted later.
    struct TrayEntry {
        // One of the two, after the host's kind.
        QSystemTrayIcon* icon = nullptr;
        StatusNotifierItem* item = nullptr;
        UINT callbackMessage = 0;
        UINT version = 0;
        // What the icon shows now: the hint changes once a second while recording, the picture seldom,
        // and handing either to the tray again redraws the icon.
        std::optional<HICON> shownImage;
        std::optional<std::string> shownTip;
        std::unique_ptr<BalloonTracker> balloon;
    };
    using IconKey = std::pair<HWND, UINT>;
    using TimerKey = std::pair<HWND, UINT_PTR>;

    // Runs the window's procedure behind the guard that keeps exceptions out of Qt.
    LRESULT deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void applyFields(TrayEntry& entry, const NotifyIconData& data);
    void applyBalloon(TrayEntry& entry, const NotifyIconData& data);
    [[nodiscard]] QWidget* widgetFor(HWND window) const;
    [[nodiscard]] BalloonSink& balloonSink();
    [[nodiscard]] DesktopNotifications& notifications();
    void endBalloonEvent(const IconKey& key);
    // Runs `done` once the event being handled is over: when the running event loop is next about to wait,
    // which wakes nothing, or else as a queued call.
    void atEndOfEvent(std::function<void()> done);
    [[nodiscard]] TrayHost currentHost() const;
    void addXEmbedIcon(TrayEntry& entry, const IconKey& key);
    [[nodiscard]] bool addStatusNotifierItem(TrayEntry& entry, const IconKey& key, const NotifyIconData& data);
    void removeTrayEntry(TrayEntry& entry);
    static void dropEntry(TrayEntry& entry);
    void forgetTrayIcons();
    void hostLostForGood();
    void iconifyWhenMapped();
    void reportError(const std::string& message) const;

    QPointer<QWidget> m_mainWindow;
    ErrorHandler m_onError;
    AvailabilityProbe m_probe;
    bool m_showMainForm = true;

    MessageWindows m_windows;

    std::map<IconKey, TrayEntry> m_tray;
    std::map<HICON, QIcon> m_icons;
    HICON m_nextIcon = 0x1000;

    UINT m_taskbarCreated = 0;
    QTimer* m_trayPoll;
    // Runs one look for a tray host after Qt has seen the X event that told of a change.
    QTimer* m_trayChanged;
    std::unique_ptr<XEmbedTrayWatch> m_xembedWatch;
    QTimer* m_hostGrace;
    QTimer* m_iconifyPoll;
    int m_iconifyTries = 0;
    TrayHostWatch* m_hostWatch;
    TrayHost m_host;
    bool m_qtTrayIsXEmbed = false;
    int m_nextItem = 1;
    std::map<IconKey, NotifyIconMenu> m_menus;
    // Set while the window comes back minimised after its tray went: that show is not a request to bring
    // it to the front.
    bool m_showingMinimized = false;

    std::map<TimerKey, QTimer*> m_timers;

    QString m_notificationName;
    QString m_notificationIcon;
    AvailabilityProbe m_notificationProbe;
    DesktopNotifications* m_notifications = nullptr;
    std::unique_ptr<BalloonWindow> m_balloonWindow;
    QRect m_balloonAnchor;
    QElapsedTimer m_clock;
};

// The balloon icon Qt shows for the notification area's information flag.
[[nodiscard]] QSystemTrayIcon::MessageIcon BalloonIconFor(DWORD infoFlags);
// The action the desktop reported, in the program's terms; nothing for a reason Qt does not know.
[[nodiscard]] std::optional<TrayActivation> ActivationFor(QSystemTrayIcon::ActivationReason reason);
// A Windows-1252 text of the request record as Qt text.
[[nodiscard]] QString DecodeWindows1252(const std::string& bytes);

} // namespace hourlink
