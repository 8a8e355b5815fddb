#include "tray/SysTrayIcon.h"

#include <algorithm>
#include <utility>

#include "runtime/Windows1252.h"
#include "tray/TrayUnits.h"

namespace hourlink {
namespace {

constexpr UINT kNormalFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
constexpr std::size_t kMaxHint = 127;
constexpr std::uint32_t kEnterExitIntervalMs = 20;
// 4.71, the first common controls whose shell announces a re-created taskbar.
constexpr DWORD kTaskbarCreatedVersion = (4U << 16) | 71U;

// Process-wide state of this unit on one platform: the shared tray window, and what the unit learnt at start.
struct SysTrayIconUnit final : TrayUnits::State {
    std::unique_ptr<TTrayIconHandler> handler;
    UINT taskbarCreatedMessage = 0;
    DWORD commonControlsVersion = 0;
};

SysTrayIconUnit& unitOf(TrayPlatform& platform) {
    auto& state = TrayUnits::Of(platform).trayIcon();
    if (!state) {
        auto fresh = std::make_unique<SysTrayIconUnit>();
        SysTrayIconUnit& unit = *fresh;
        state = std::move(fresh);
        // The unit's start: learn whether the shell will tell us when the taskbar comes back.
        if (CommonControlsVersion(platform) >= kTaskbarCreatedVersion) {
            unit.taskbarCreatedMessage = platform.RegisterWindowMessage("TaskbarCreated");
        }
    }
    return static_cast<SysTrayIconUnit&>(*state);
}

// Puts the first N − 1 bytes of the text and a zero byte into the field.
template <std::size_t N> void putText(std::array<char, N>& field, const std::string& bytes) {
    const std::size_t length = std::min(bytes.size(), N - 1);
    std::copy_n(bytes.begin(), length, field.begin());
    field[length] = '\0';
}

// Sets a flag for the life of the scope.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

} // namespace

// ---------------------------------------------------------------------------------------------------------
// The unit's shared state

DWORD CommonControlsVersion(TrayPlatform& platform) {
    SysTrayIconUnit& unit = unitOf(platform);
    if (unit.commonControlsVersion == 0) {
        unit.commonControlsVersion = platform.GetCommonControlsVersion();
    }
    return unit.commonControlsVersion;
}

UINT TaskbarCreatedMessage(TrayPlatform& platform) {
    return unitOf(platform).taskbarCreatedMessage;
}

void AcquireTrayIconHandler(TrayPlatform& platform) {
    TSharedHandler::Acquire(unitOf(platform).handler, platform);
}

void ReleaseTrayIconHandler(TrayPlatform& platform) {
    TSharedHandler::Release(unitOf(platform).handler);
}

TTrayIconHandler* TrayIconHandler(TrayPlatform& platform) {
    return unitOf(platform).handler.get();
}

// ---------------------------------------------------------------------------------------------------------
// TTrayIconHandler

TTrayIconHandler::TTrayIconHandler(TrayPlatform& platform) : m_platform(platform) {
    m_windowHandle = m_platform.CreateMessageWindow([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return WndProc(window, message, wParam, lParam);
    });
}

TTrayIconHandler::~TTrayIconHandler() {
    if (m_windowHandle != 0) {
        m_platform.DestroyWindow(m_windowHandle);
    }
}

UINT TTrayIconHandler::enrol(TSysTrayIcon* icon) {
    // Identifiers are not reused while the handler lives, so a late notification never reaches another icon.
    const UINT id = m_nextId++;
    m_icons[id] = icon;
    return id;
}

LRESULT TTrayIconHandler::WndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == TrayCallbackMessage) {
        const auto found = m_icons.find(static_cast<UINT>(wParam));
        if (found != m_icons.end()) {
            found->second->HandleNotification(static_cast<UINT>(lParam));
        }
        return 0;
    }
    switch (message) {
    case WM_DESTROY:
    case WM_CLOSE:
    case WM_QUERYENDSESSION:
    case WM_QUIT:
    case WM_ENDSESSION:
    case WM_NCDESTROY:
        // The window lives until its handler destroys it, and never stands in the way of a log-off.
        return 1;
    default:
        return m_platform.DefWindowProc(window, message, wParam, lParam);
    }
}

// ---------------------------------------------------------------------------------------------------------
// TSysTrayIcon: construction and destruction

TSysTrayIcon::TSysTrayIcon(TrayPlatform& platform, HWND owner) : m_platform(platform), m_owner(owner) {
    AcquireTrayIconHandler(m_platform);
    TTrayIconHandler* handler = TrayIconHandler(m_platform);

    m_iconId = handler->enrol(this);
    m_startupPending = true;
    m_enabled = true;
    m_showHint = true;
    m_previewChange = false;

    m_icon = std::make_unique<TIcon>(m_platform);
    m_icon->OnChange = [this](TObject*) { IconChanged(); };

    m_notifyData = NotifyIconData{};
    m_notifyData.cbSize = sizeof(NotifyIconData);
    m_notifyData.hWnd = static_cast<std::uint32_t>(handler->WindowHandle());
    m_notifyData.uID = m_iconId;
    m_notifyData.uFlags = kNormalFlags;
    m_notifyData.uCallbackMessage = TrayCallbackMessage;

    auto makeTimer = [this](void (TSysTrayIcon::*fired)()) {
        return std::make_unique<TSimpleTimer>(m_platform, this,
                                              [fired](TObject* data) { (static_cast<TSysTrayIcon*>(data)->*fired)(); });
    };
    m_cycleTimer = makeTimer(&TSysTrayIcon::CycleTimerFired);
    m_clickTimer = makeTimer(&TSysTrayIcon::ClickTimerFired);
    m_enterExitTimer = makeTimer(&TSysTrayIcon::EnterExitTimerFired);

    m_cursorOutside = true;
    SetDesignPreview(m_designPreview);

    HookApplication();
    if (ownerIsWindow()) {
        HookOwner();
    }
}

TSysTrayIcon::~TSysTrayIcon() {
    // Nothing may leave a destructor: an error on the way out is dropped and the rest of the clean-up runs.
    try {
        m_platform.SetNotifyIconMenu(m_notifyData.hWnd, m_iconId, {});
        SetIconVisible(false);
        SetDesignPreview(false);
        m_cycleTimer.reset();
        m_clickTimer.reset();
        m_enterExitTimer.reset();
        m_icon.reset();
    } catch (...) {
    }
    try {
        UnhookApplication();
        if (ownerIsWindow()) {
            UnhookOwner();
        }
        if (TTrayIconHandler* handler = TrayIconHandler(m_platform)) {
            handler->withdraw(m_iconId);
        }
        ReleaseTrayIconHandler(m_platform);
    } catch (...) {
    }
}

void TSysTrayIcon::Loaded() {
    TComponent::Loaded();
    if (ownerIsWindow()) {
        bool showMainForm = true;
        if (OnStartup) {
            OnStartup(this, showMainForm);
        }
        if (!showMainForm) {
            m_platform.SetShowMainForm(false);
            HideMainForm();
        }
    }
    UpdateIcon();
    SetIconVisible(m_iconVisible);
    SetCycleIcons(m_cycleIcons);
    SetWantEnterExitEvents(m_wantEnterExitEvents);
    SetShellBehaviour(m_shellBehaviour);
}

void TSysTrayIcon::Notification(TComponent* component, TOperation operation) {
    TComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) {
        return;
    }
    if (m_iconList != nullptr && component == static_cast<TComponent*>(m_iconList)) {
        m_iconList = nullptr;
        SetIconIndex(0);
    }
    if (m_popupMenu != nullptr && component == static_cast<TComponent*>(m_popupMenu)) {
        m_popupMenu = nullptr;
        ExportMenu();
    }
}

// ---------------------------------------------------------------------------------------------------------
// Properties

void TSysTrayIcon::SetDesignPreview(bool value) {
    m_designPreview = value;
    FlagScope change(m_previewChange);
    if (value) {
        AddIcon();
    } else {
        RemoveIcon();
    }
}

void TSysTrayIcon::SetIconList(TImageList* value) {
    m_iconList = value;
    if (value != nullptr) {
        value->FreeNotification(this);
    }
    SetIconIndex(0);
}

void TSysTrayIcon::SetCycleIcons(bool value) {
    m_cycleIcons = value;
    if (value) {
        SetIconIndex(0);
        m_cycleTimer->Start(m_cycleInterval);
    } else {
        m_cycleTimer->Stop();
    }
}

void TSysTrayIcon::SetCycleInterval(std::uint32_t value) {
    m_cycleInterval = value;
    SetCycleIcons(m_cycleIcons);
}

std::string TSysTrayIcon::Hint() const {
    return Windows1252ToUtf8(m_hint);
}

void TSysTrayIcon::SetHint(const std::string& value) {
    std::string bytes = Utf8ToWindows1252(value);
    if (bytes.size() > kMaxHint) {
        bytes.resize(kMaxHint);
    }
    m_hint = std::move(bytes);
    UpdateIcon();
}

void TSysTrayIcon::SetShowHint(bool value) {
    m_showHint = value;
    UpdateIcon();
}

void TSysTrayIcon::SetIcon(const TIcon& value) {
    // The copy must not send a request of its own; the one below carries it.
    TNotifyEvent onChange = std::move(m_icon->OnChange);
    m_icon->OnChange = nullptr;
    try {
        m_icon->Assign(value);
    } catch (...) {
        m_icon->OnChange = std::move(onChange);
        throw;
    }
    m_icon->OnChange = std::move(onChange);
    UpdateIcon();
}

void TSysTrayIcon::IconChanged() {
    UpdateIcon();
}

void TSysTrayIcon::SetIconVisible(bool value) {
    if (value) {
        AddIcon();
    } else {
        RemoveIcon();
    }
}

void TSysTrayIcon::SetIconIndex(int value) {
    if (m_iconList != nullptr) {
        m_iconIndex = value;
        if (m_iconIndex >= m_iconList->Count()) {
            m_iconIndex = m_iconList->Count() - 1;
        }
        m_iconList->GetIcon(m_iconIndex, *m_icon);
    } else {
        m_iconIndex = 0;
    }
    UpdateIcon();
}

void TSysTrayIcon::SetPopupMenu(TPopupMenu* value) {
    m_popupMenu = value;
    if (value != nullptr) {
        value->FreeNotification(this);
    }
    ExportMenu();
}

void TSysTrayIcon::ExportMenu() {
    // A host that draws the menu itself asks for the lines when it is about to show them, so a tick
    // follows what the menu's owner says at that moment.
    NotifyIconMenu menu;
    if (m_popupMenu != nullptr) {
        menu.entries = [this] {
            return m_popupMenu != nullptr && m_popupMenu->AutoPopup ? m_popupMenu->Entries() : std::vector<MenuEntry>{};
        };
        menu.choose = [this](int index) {
            if (m_popupMenu != nullptr && m_popupMenu->AutoPopup) {
                m_popupMenu->PopupComponent = this;
                m_popupMenu->ChooseEntry(index);
            }
        };
    }
    m_platform.SetNotifyIconMenu(m_notifyData.hWnd, m_iconId, std::move(menu));
}

void TSysTrayIcon::SetWantEnterExitEvents(bool value) {
    m_wantEnterExitEvents = value;
    if (value) {
        m_enterExitTimer->Start(kEnterExitIntervalMs);
    } else {
        m_enterExitTimer->Stop();
    }
}

// ---------------------------------------------------------------------------------------------------------
// Requests to the notification area

bool TSysTrayIcon::FillIconData() {
    HICON handle = 0;
    try {
        handle = m_icon->Handle();
    } catch (const EReadError&) {
        // A picture we cannot read goes without an image rather than not at all.
        handle = 0;
    }
    m_notifyData.hIcon = handle;
    if (!m_hint.empty() && m_showHint) {
        putText(m_notifyData.szTip, m_hint);
    } else {
        m_notifyData.szTip.fill('\0');
    }
    return true;
}

bool TSysTrayIcon::AddIcon() {
    if (!m_previewChange) {
        m_iconVisible = true;
    }
    return FillIconData() && m_platform.Shell_NotifyIcon(NIM_ADD, m_notifyData);
}

bool TSysTrayIcon::RemoveIcon() {
    if (!m_previewChange) {
        m_iconVisible = false;
    }
    return FillIconData() && m_platform.Shell_NotifyIcon(NIM_DELETE, m_notifyData);
}

bool TSysTrayIcon::UpdateIcon() {
    return FillIconData() && m_platform.Shell_NotifyIcon(NIM_MODIFY, m_notifyData);
}

bool TSysTrayIcon::ShowBalloonHint(const std::string& Title, const std::string& Text, TBalloonIconKind IconKind,
                                   std::uint8_t TimeoutSeconds) {
    HideBalloonHint();
    m_notifyData.uFlags |= NIF_INFO;
    putText(m_notifyData.szInfo, Utf8ToWindows1252(Text));
    putText(m_notifyData.szInfoTitle, Utf8ToWindows1252(Title));
    m_notifyData.uTimeout = static_cast<UINT>(TimeoutSeconds) * 1000U;
    m_notifyData.dwInfoFlags = static_cast<DWORD>(IconKind);
    const bool result = UpdateIcon();
    // Later requests carry no balloon; its fields stay in the record unsent.
    m_notifyData.uFlags = kNormalFlags;
    return result;
}

void TSysTrayIcon::HideBalloonHint() {
    m_notifyData.uFlags |= NIF_INFO;
    m_notifyData.szInfo[0] = '\0';
    UpdateIcon();
}

void TSysTrayIcon::SetShellBehaviour(std::uint8_t Value) {
    m_shellBehaviour = Value;
    if (Value == 0) {
        m_notifyData.uVersion = 0;
    } else if (Value == 1) {
        m_notifyData.uVersion = NOTIFYICON_VERSION;
    }
    static_cast<void>(m_platform.Shell_NotifyIcon(NIM_SETVERSION, m_notifyData));
}

// ---------------------------------------------------------------------------------------------------------
// Notifications

void TSysTrayIcon::HandleNotification(UINT code) {
    TPoint cursor;
    m_platform.GetCursorPos(cursor);
    TShiftState shift;
    if (m_platform.GetAsyncKeyState(VK_SHIFT) < 0) {
        shift = shift + TShiftState::ssShift;
    }
    if (m_platform.GetAsyncKeyState(VK_CONTROL) < 0) {
        shift = shift + TShiftState::ssCtrl;
    }
    if (m_platform.GetAsyncKeyState(VK_MENU) < 0) {
        shift = shift + TShiftState::ssAlt;
    }
    const int x = cursor.x;
    const int y = cursor.y;

    switch (code) {
    case WM_MOUSEMOVE:
        if (m_enabled) {
            if (m_wantEnterExitEvents && m_cursorOutside) {
                DoMouseEnter();
                m_cursorOutside = false;
            }
            DoMouseMove(shift, x, y);
            m_lastMousePos = cursor;
        }
        break;
    case WM_LBUTTONDOWN:
        if (m_enabled) {
            if (OnDblClick) {
                m_clickTimer->Start(m_platform.GetDoubleClickTime());
            }
            DoMouseDown(TMouseButton::mbLeft, shift + TShiftState::ssLeft, x, y);
            m_leftButtonDown = true;
            if (m_leftPopup) {
                PopupAtCursor();
            }
        }
        break;
    case WM_LBUTTONUP:
        if (m_enabled) {
            if (m_leftButtonDown) {
                m_clickPending = true;
            }
            if (m_leftButtonDown && !m_clickTimer->Active()) {
                m_leftButtonDown = false;
                m_clickPending = false;
                DoClick();
            }
            m_leftButtonDown = false;
            DoMouseUp(TMouseButton::mbLeft, shift + TShiftState::ssLeft, x, y);
        }
        break;
    case WM_LBUTTONDBLCLK:
        if (m_enabled) {
            m_clickPending = false;
            m_doubleClicked = true;
            DoDblClick();
            ClickDefaultMenuItem();
        }
        break;
    case WM_RBUTTONDOWN:
        if (m_enabled) {
            DoMouseDown(TMouseButton::mbRight, shift + TShiftState::ssRight, x, y);
            PopupAtCursor();
        }
        break;
    case WM_RBUTTONUP:
        if (m_shellBehaviour == 0 && m_enabled) {
            DoMouseUp(TMouseButton::mbRight, shift + TShiftState::ssRight, x, y);
        }
        break;
    case WM_MBUTTONDOWN:
        if (m_enabled) {
            DoMouseDown(TMouseButton::mbMiddle, shift + TShiftState::ssMiddle, x, y);
        }
        break;
    case WM_MBUTTONUP:
        if (m_enabled) {
            DoMouseUp(TMouseButton::mbMiddle, shift + TShiftState::ssMiddle, x, y);
        }
        break;
    case WM_CONTEXTMENU:
    case NIN_SELECT:
    case NIN_KEYSELECT:
        if (m_shellBehaviour == 1 && m_enabled) {
            DoMouseUp(TMouseButton::mbRight, shift + TShiftState::ssRight, x, y);
        }
        break;
    case NIN_BALLOONHIDE:
        if (OnBalloonHintHide) {
            OnBalloonHintHide(TrayIconHandler(m_platform));
        }
        break;
    case NIN_BALLOONTIMEOUT:
        if (OnBalloonHintTimeout) {
            OnBalloonHintTimeout(TrayIconHandler(m_platform));
        }
        break;
    case NIN_BALLOONUSERCLICK:
        if (OnBalloonHintClick) {
            OnBalloonHintClick(TrayIconHandler(m_platform));
        }
        break;
    default:
        break;
    }
}

void TSysTrayIcon::ClickTimerFired() {
    m_clickTimer->Stop();
    if (!m_doubleClicked && m_clickPending) {
        m_clickPending = false;
        DoClick();
    }
    m_doubleClicked = false;
}

void TSysTrayIcon::CycleTimerFired() {
    if (m_iconList == nullptr) {
        return;
    }
    m_iconList->GetIcon(m_iconIndex, *m_icon);
    const int count = m_iconList->Count();
    DoCycle(m_iconIndex == count - 1 ? 0 : m_iconIndex + 1);
    // The handler may have taken the list away.
    if (m_iconList == nullptr) {
        return;
    }
    SetIconIndex(m_iconIndex + 1 < m_iconList->Count() ? m_iconIndex + 1 : 0);
}

void TSysTrayIcon::EnterExitTimerFired() {
    if (m_cursorOutside) {
        return;
    }
    TPoint cursor;
    m_platform.GetCursorPos(cursor);
    if (cursor != m_lastMousePos) {
        m_cursorOutside = true;
        DoMouseExit();
    }
}

void TSysTrayIcon::ClickDefaultMenuItem() {
    if (m_popupMenu == nullptr || !m_popupMenu->AutoPopup || m_leftPopup) {
        return;
    }
    for (int i = 0; i < m_popupMenu->Count(); ++i) {
        if (m_popupMenu->Item(i).Default) {
            m_popupMenu->Item(i).Click();
            return;
        }
    }
}

void TSysTrayIcon::PopupAtCursor() {
    TPoint cursor;
    if (m_popupMenu == nullptr || !m_popupMenu->AutoPopup || !m_platform.GetCursorPos(cursor)) {
        return;
    }
    // The menu closes properly when the user clicks elsewhere only if our application is in front.
    m_platform.SetForegroundWindow(m_platform.ApplicationWindow());
    m_platform.ProcessMessages();
    // Something handled just now may have taken the menu away.
    if (m_popupMenu == nullptr) {
        return;
    }
    m_popupMenu->PopupComponent = this;
    m_popupMenu->Popup(cursor.x, cursor.y);
    if (ownerIsWindow()) {
        m_platform.PostMessage(m_owner, WM_NULL, 0, 0);
    }
}

// ---------------------------------------------------------------------------------------------------------
// Event steps

void TSysTrayIcon::DoClick() {
    if (OnClick) {
        OnClick(this);
    }
}

void TSysTrayIcon::DoDblClick() {
    if (OnDblClick) {
        OnDblClick(this);
    }
}

void TSysTrayIcon::DoCycle(int NextIndex) {
    if (OnCycle) {
        OnCycle(this, NextIndex);
    }
}

void TSysTrayIcon::DoMouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseDown) {
        OnMouseDown(this, Button, Shift, X, Y);
    }
}

void TSysTrayIcon::DoMouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    if (OnMouseUp) {
        OnMouseUp(this, Button, Shift, X, Y);
    }
}

void TSysTrayIcon::DoMouseMove(TShiftState Shift, int X, int Y) {
    if (OnMouseMove) {
        OnMouseMove(this, Shift, X, Y);
    }
}

void TSysTrayIcon::DoMouseEnter() {
    if (OnMouseEnter) {
        OnMouseEnter(this);
    }
}

void TSysTrayIcon::DoMouseExit() {
    if (OnMouseExit) {
        OnMouseExit(this);
    }
}

void TSysTrayIcon::DoMinimizeToTray() {
    // The icon goes in first and the window is hidden only when the icon is there: on a desktop without a
    // notification area nothing could bring a hidden window back, so minimising stays an ordinary minimise.
    // An add request for an icon already in the tray is refused; the change request then tells that it is in.
    const bool inTray = AddIcon() || UpdateIcon();
    if (inTray) {
        HideMainForm();
    }
}

// ---------------------------------------------------------------------------------------------------------
// The application and its main form

void TSysTrayIcon::HideMainForm() {
    if (ownerIsWindow() && hasMainForm()) {
        m_platform.SetMainFormVisible(false);
        HideTaskbarButton();
    }
}

void TSysTrayIcon::HideTaskbarButton() {
    const HWND application = m_platform.ApplicationWindow();
    if (m_platform.IsWindowVisible(application)) {
        m_platform.ShowWindow(application, SW_HIDE);
    }
}

void TSysTrayIcon::RestoreMainForm() {
    if (!ownerIsWindow() || !hasMainForm()) {
        return;
    }
    m_platform.ApplicationRestore();
    if (m_platform.MainFormWindowState() == TWindowState::wsMinimized) {
        m_platform.SetMainFormWindowState(TWindowState::wsNormal);
    }
    m_platform.SetMainFormVisible(true);
    m_platform.SetForegroundWindow(m_platform.ApplicationWindow());
}

// ---------------------------------------------------------------------------------------------------------
// Message filters in front of the application window and the owner window

void TSysTrayIcon::HookApplication() {
    const HWND application = m_platform.ApplicationWindow();
    if (application == 0) {
        return;
    }
    m_savedApplicationProc = m_platform.GetWindowProc(application);
    m_platform.SetWindowProc(application, [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return ApplicationWndProc(window, message, wParam, lParam);
    });
    m_applicationHooked = true;
}

void TSysTrayIcon::HookOwner() {
    m_savedOwnerProc = m_platform.GetWindowProc(m_owner);
    m_platform.SetWindowProc(m_owner, [this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
        return OwnerWndProc(window, message, wParam, lParam);
    });
    m_ownerHooked = true;
}

void TSysTrayIcon::UnhookApplication() {
    if (m_applicationHooked) {
        m_platform.SetWindowProc(m_platform.ApplicationWindow(), std::move(m_savedApplicationProc));
    }
    m_applicationHooked = false;
    m_savedApplicationProc = nullptr;
}

void TSysTrayIcon::UnhookOwner() {
    if (m_ownerHooked) {
        m_platform.SetWindowProc(m_owner, std::move(m_savedOwnerProc));
    }
    m_ownerHooked = false;
    m_savedOwnerProc = nullptr;
}

LRESULT TSysTrayIcon::ApplicationWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SIZE && wParam == SIZE_MINIMIZED && m_minimizeToTray) {
        DoMinimizeToTray();
    }
    if (message == WM_WINDOWPOSCHANGED && m_startupPending && hasMainForm()) {
        if (m_platform.MainFormIsMdiForm()) {
            bool showMainForm = true;
            if (OnStartup) {
                OnStartup(this, showMainForm);
            }
            if (!showMainForm) {
                HideTaskbarButton();
            }
        }
        m_startupPending = false;
    }
    const UINT taskbarCreated = TaskbarCreatedMessage(m_platform);
    if (taskbarCreated != 0 && message == taskbarCreated && m_iconVisible) {
        // A window left minimised for want of a tray goes into the tray that has just appeared.
        if (AddIcon() && m_minimizeToTray && ownerIsWindow() && hasMainForm() && m_platform.MainFormVisible() &&
            m_platform.MainFormWindowState() == TWindowState::wsMinimized) {
            HideMainForm();
        }
    }
    return CallWindowProc(m_savedApplicationProc, window, message, wParam, lParam);
}

LRESULT TSysTrayIcon::OwnerWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SHOWWINDOW && wParam == 1 && lParam == 0) {
        m_platform.SetForegroundWindow(m_platform.ApplicationWindow());
        m_platform.SetForegroundWindow(m_owner);
    }
    return CallWindowProc(m_savedOwnerProc, window, message, wParam, lParam);
}

} // namespace hourlink
