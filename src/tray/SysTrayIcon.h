#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/tray/TrayPlatform.h"
#include "tray/Component.h"
#include "tray/Icon.h"
#include "tray/ImageList.h"
#include "tray/PopupMenu.h"
#include "tray/SharedHandler.h"
#include "tray/SimpleTimer.h"

namespace hourlink {

// The message the notification area sends back for every action on our icons: the window system's first
// user message number plus 0x400.
inline constexpr UINT TrayCallbackMessage = WM_USER + 0x400;

enum class TMouseButton { mbLeft, mbRight, mbMiddle };

// The shift state of a mouse event: which of Shift, Alt, Ctrl and the three buttons are down.
class TShiftState {
public:
    enum Flag : std::uint8_t { ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32 };

    constexpr TShiftState() = default;
    // A single flag is a set of one, so a flag may stand where a set is wanted.
    constexpr TShiftState(Flag flag) : m_bits(flag) {}
    [[nodiscard]] constexpr bool Contains(Flag flag) const { return (m_bits & flag) != 0; }
    [[nodiscard]] friend constexpr TShiftState operator+(TShiftState a, TShiftState b) {
        return TShiftState(static_cast<std::uint8_t>(a.m_bits | b.m_bits));
    }
    [[nodiscard]] friend constexpr TShiftState operator+(Flag a, Flag b) { return TShiftState(a) + TShiftState(b); }
    constexpr bool operator==(const TShiftState&) const = default;

private:
    constexpr explicit TShiftState(std::uint8_t bits) : m_bits(bits) {}
    std::uint8_t m_bits = 0;
};

// The balloon's icon; the value is the notification area's information flag.
enum class TBalloonIconKind : std::uint8_t { bikNone = 0, bikInfo = 1, bikWarning = 2, bikError = 3 };

using TMouseEvent = std::function<void(TObject* Sender, TMouseButton Button, TShiftState Shift, int X, int Y)>;
using TMouseMoveEvent = std::function<void(TObject* Sender, TShiftState Shift, int X, int Y)>;
using TCycleEvent = std::function<void(TObject* Sender, int NextIndex)>;
using TStartupEvent = std::function<void(TObject* Sender, bool& ShowMainForm)>;

class TTrayIconHandler;

// Puts one icon with a hint into the desktop's notification area, turns the mouse actions on it into events,
// shows balloon messages at it, and can hide the whole application in the tray when it is minimised.
//
// Every request goes through the platform's notification-area call with the one request record below;
// every notification comes back to the one hidden window of the process's TTrayIconHandler. Texts are UTF-8
// on this side and Windows-1252 bytes in the record, so the hint's 127 characters are 127 bytes.
class TSysTrayIcon : public TComponent {
public:
    // owner: the window of the form that owns the icon, or 0 when the owner is not a window.
    TSysTrayIcon(TrayPlatform& platform, HWND owner);
    ~TSysTrayIcon() override;

    // The after-loading step: asks whether to show the main form, then applies the loaded properties.
    void Loaded() override;

    // --- Properties; each setter acts at once ---
    [[nodiscard]] bool DesignPreview() const { return m_designPreview; }
    void SetDesignPreview(bool value);
    [[nodiscard]] TImageList* IconList() const { return m_iconList; }
    void SetIconList(TImageList* value);
    [[nodiscard]] bool CycleIcons() const { return m_cycleIcons; }
    void SetCycleIcons(bool value);
    [[nodiscard]] std::uint32_t CycleInterval() const { return m_cycleInterval; }
    void SetCycleInterval(std::uint32_t value);
    [[nodiscard]] bool Enabled() const { return m_enabled; }
    void SetEnabled(bool value) { m_enabled = value; }
    // UTF-8; stored as at most 127 Windows-1252 characters.
    [[nodiscard]] std::string Hint() const;
    void SetHint(const std::string& value);
    [[nodiscard]] bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool value);
    // The owned icon; changing its picture directly updates the tray as well.
    [[nodiscard]] TIcon& Icon() { return *m_icon; }
    void SetIcon(const TIcon& value);
    [[nodiscard]] bool IconVisible() const { return m_iconVisible; }
    void SetIconVisible(bool value);
    [[nodiscard]] int IconIndex() const { return m_iconIndex; }
    void SetIconIndex(int value);
    [[nodiscard]] TPopupMenu* PopupMenu() const { return m_popupMenu; }
    void SetPopupMenu(TPopupMenu* value);
    [[nodiscard]] bool LeftPopup() const { return m_leftPopup; }
    void SetLeftPopup(bool value) { m_leftPopup = value; }
    [[nodiscard]] bool WantEnterExitEvents() const { return m_wantEnterExitEvents; }
    void SetWantEnterExitEvents(bool value);
    [[nodiscard]] bool MinimizeToTray() const { return m_minimizeToTray; }
    void SetMinimizeToTray(bool value) { m_minimizeToTray = value; }

    // --- Events ---
    TNotifyEvent OnClick;
    TNotifyEvent OnDblClick;
    TMouseEvent OnMouseDown;
    TMouseEvent OnMouseUp;
    TMouseMoveEvent OnMouseMove;
    TNotifyEvent OnMouseEnter;
    TNotifyEvent OnMouseExit;
    TCycleEvent OnCycle;
    TNotifyEvent OnBalloonHintClick;
    TNotifyEvent OnBalloonHintHide;
    TNotifyEvent OnBalloonHintTimeout;
    TStartupEvent OnStartup;

    // --- Operations; the Boolean answers say whether the notification area accepted the request ---
    virtual bool AddIcon();
    virtual bool RemoveIcon();
    virtual bool UpdateIcon();
    // Withdraws the balloon being shown and shows this one. Title and Text are UTF-8.
    bool ShowBalloonHint(const std::string& Title, const std::string& Text, TBalloonIconKind IconKind,
                         std::uint8_t TimeoutSeconds);
    void HideBalloonHint();
    // Brings the application and its main form back from the tray; the icon stays.
    void RestoreMainForm();
    void HideMainForm();
    void HideTaskbarButton();
    // 0: classic notifications; 1: version-5 notifications.
    void SetShellBehaviour(std::uint8_t Value);
    void PopupAtCursor();

    // --- State, for those who need to look ---
    [[nodiscard]] UINT IconId() const { return m_iconId; }
    [[nodiscard]] const NotifyIconData& NotifyData() const { return m_notifyData; }
    [[nodiscard]] std::uint8_t ShellBehaviour() const { return m_shellBehaviour; }

protected:
    void Notification(TComponent* component, TOperation operation) override;

    virtual void DoClick();
    virtual void DoDblClick();
    virtual void DoCycle(int NextIndex);
    virtual void DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y);
    virtual void DoMouseMove(TShiftState Shift, int X, int Y);
    virtual void DoMouseEnter();
    virtual void DoMouseExit();
    virtual void DoMinimizeToTray();

private:
    friend class TTrayIconHandler;

    // Refreshes the icon handle and the tip before a request.
    bool FillIconData();
    void IconChanged();
    // Handles one action code of the callback message.
    void HandleNotification(UINT code);
    void CycleTimerFired();
    void ClickTimerFired();
    void EnterExitTimerFired();
    void ClickDefaultMenuItem();
    // Tells the platform which menu a host that draws menus itself should show.
    void ExportMenu();
    LRESULT ApplicationWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OwnerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void HookApplication();
    void HookOwner();
    void UnhookApplication();
    void UnhookOwner();
    [[nodiscard]] bool ownerIsWindow() const { return m_owner != 0; }
    [[nodiscard]] bool hasMainForm() const { return m_platform.MainFormWindow() != 0; }

    TrayPlatform& m_platform;
    HWND m_owner;

    bool m_designPreview = false;
    TImageList* m_iconList = nullptr;
    bool m_cycleIcons = false;
    std::uint32_t m_cycleInterval = 0;
    bool m_enabled = true;
    std::string m_hint; // Windows-1252, at most 127 bytes
    bool m_showHint = true;
    std::unique_ptr<TIcon> m_icon;
    bool m_iconVisible = false;
    int m_iconIndex = 0;
    TPopupMenu* m_popupMenu = nullptr;
    bool m_leftPopup = false;
    bool m_wantEnterExitEvents = false;
    bool m_minimizeToTray = false;

    UINT m_iconId = 0;
    NotifyIconData m_notifyData{};
    bool m_leftButtonDown = false;
    bool m_clickPending = false;
    bool m_doubleClicked = false;
    bool m_cursorOutside = true;
    TPoint m_lastMousePos;
    std::uint8_t m_shellBehaviour = 0;
    bool m_previewChange = false;
    bool m_startupPending = true;
    std::unique_ptr<TSimpleTimer> m_cycleTimer;
    std::unique_ptr<TSimpleTimer> m_clickTimer;
    std::unique_ptr<TSimpleTimer> m_enterExitTimer;

    bool m_applicationHooked = false;
    WindowProc m_savedApplicationProc;
    bool m_ownerHooked = false;
    WindowProc m_savedOwnerProc;
};

// The one hidden window per process that receives the notifications of every tray icon, with the number of
// live tray icons using it. Identifiers lead back to the icons through its table.
class TTrayIconHandler : public TSharedHandler {
public:
    explicit TTrayIconHandler(TrayPlatform& platform);
    ~TTrayIconHandler() override;

    [[nodiscard]] HWND WindowHandle() const { return m_windowHandle; }

private:
    friend class TSysTrayIcon;

    LRESULT WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    UINT enrol(TSysTrayIcon* icon);
    void withdraw(UINT id) { m_icons.erase(id); }

    TrayPlatform& m_platform;
    HWND m_windowHandle = 0;
    std::map<UINT, TSysTrayIcon*> m_icons;
    UINT m_nextId = 1;
};

// Creates the shared tray window on first use and counts one more user.
void AcquireTrayIconHandler(TrayPlatform& platform);
// Counts one user less; the last one destroys the handler and its window.
void ReleaseTrayIconHandler(TrayPlatform& platform);
// The platform's tray handler, or nullptr when no tray icon lives.
[[nodiscard]] TTrayIconHandler* TrayIconHandler(TrayPlatform& platform);

// The common-controls version as major × 65536 + minor, 0 when it cannot be read; a non-zero answer is
// remembered.
[[nodiscard]] DWORD CommonControlsVersion(TrayPlatform& platform);
// The number of "TaskbarCreated", or 0 when the common controls are older than 4.71 or unknown.
[[nodiscard]] UINT TaskbarCreatedMessage(TrayPlatform& platform);

} // namespace hourlink
