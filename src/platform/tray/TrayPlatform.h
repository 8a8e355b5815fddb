#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace hourlink {

// The services of the window system that the tray icon and its timers rely on, under the names the
// program has always used for them: the notification-area call with its request record, hidden message
// windows with their procedures, timers bound to a window, message filters, foreground and visibility,
// cursor and key state, and the application with its main form. Handles are plain numbers that the
// backend maps to its own objects; texts in the request record are Windows-1252 bytes.

using HWND = std::uintptr_t; // 0 = no window; backends hand out values that fit 32 bits
using HICON = std::uint32_t; // 0 = no image
using UINT = std::uint32_t;
using DWORD = std::uint32_t;
using UINT_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;

// Requests of the notification-area call.
inline constexpr DWORD NIM_ADD = 0;
inline constexpr DWORD NIM_MODIFY = 1;
inline constexpr DWORD NIM_DELETE = 2;
inline constexpr DWORD NIM_SETVERSION = 4;

// Which fields of the request record a request carries.
inline constexpr UINT NIF_MESSAGE = 0x01;
inline constexpr UINT NIF_ICON = 0x02;
inline constexpr UINT NIF_TIP = 0x04;
inline constexpr UINT NIF_INFO = 0x10;

// The balloon's icon.
inline constexpr DWORD NIIF_NONE = 0;
inline constexpr DWORD NIIF_INFO = 1;
inline constexpr DWORD NIIF_WARNING = 2;
inline constexpr DWORD NIIF_ERROR = 3;

// The version field value that selects the version-5 notifications.
inline constexpr UINT NOTIFYICON_VERSION = 3;

// Message numbers.
inline constexpr UINT WM_NULL = 0x0000;
inline constexpr UINT WM_DESTROY = 0x0002;
inline constexpr UINT WM_SIZE = 0x0005;
inline constexpr UINT WM_CLOSE = 0x0010;
inline constexpr UINT WM_QUERYENDSESSION = 0x0011;
inline constexpr UINT WM_QUIT = 0x0012;
inline constexpr UINT WM_ENDSESSION = 0x0016;
inline constexpr UINT WM_SHOWWINDOW = 0x0018;
inline constexpr UINT WM_WINDOWPOSCHANGED = 0x0047;
inline constexpr UINT WM_CONTEXTMENU = 0x007B;
inline constexpr UINT WM_NCDESTROY = 0x0082;
inline constexpr UINT WM_TIMER = 0x0113;
inline constexpr UINT WM_MOUSEMOVE = 0x0200;
inline constexpr UINT WM_LBUTTONDOWN = 0x0201;
inline constexpr UINT WM_LBUTTONUP = 0x0202;
inline constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
inline constexpr UINT WM_RBUTTONDOWN = 0x0204;
inline constexpr UINT WM_RBUTTONUP = 0x0205;
inline constexpr UINT WM_MBUTTONDOWN = 0x0207;
inline constexpr UINT WM_MBUTTONUP = 0x0208;
inline constexpr UINT WM_USER = 0x0400;

// Notification codes of the version-5 mode and of balloons.
inline constexpr UINT NIN_SELECT = WM_USER + 0;
inline constexpr UINT NIN_KEYSELECT = WM_USER + 1;
inline constexpr UINT NIN_BALLOONSHOW = WM_USER + 2;
inline constexpr UINT NIN_BALLOONHIDE = WM_USER + 3;
inline constexpr UINT NIN_BALLOONTIMEOUT = WM_USER + 4;
inline constexpr UINT NIN_BALLOONUSERCLICK = WM_USER + 5;

// First parameter of WM_SIZE.
inline constexpr WPARAM SIZE_RESTORED = 0;
inline constexpr WPARAM SIZE_MINIMIZED = 1;
inline constexpr WPARAM SIZE_MAXIMIZED = 2;

inline constexpr int SW_HIDE = 0;

inline constexpr int VK_SHIFT = 0x10;
inline constexpr int VK_CONTROL = 0x11;
inline constexpr int VK_MENU = 0x12;

// The request record of the notification-area call in its single-byte-character form with the balloon
// fields, laid out as on the 32-bit system the program was made for: 488 bytes.
struct NotifyIconData {
    DWORD cbSize;
    std::uint32_t hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    std::array<char, 128> szTip;
    DWORD dwState;
    DWORD dwStateMask;
    std::array<char, 256> szInfo;
    union {
        UINT uTimeout;
        UINT uVersion;
    };
    std::array<char, 64> szInfoTitle;
    DWORD dwInfoFlags;
};
static_assert(sizeof(NotifyIconData) == 488, "the request record is 488 bytes");

// The text of a zero-terminated byte field of the record (all of it when no zero byte ends it).
template <std::size_t N> [[nodiscard]] std::string FieldText(const std::array<char, N>& field) {
    std::size_t length = 0;
    while (length < N && field[length] != '\0') {
        ++length;
    }
    return std::string(field.data(), length);
}

struct TPoint {
    int x = 0;
    int y = 0;
    bool operator==(const TPoint&) const = default;
};

// An icon's picture: width × height pixels, row by row, each 0xAARRGGBB.
struct IconImage {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
    bool operator==(const IconImage&) const = default;
};

// One line of a popup menu as the system shows it; the default entry is drawn in bold.
struct MenuEntry {
    std::string caption; // UTF-8
    bool isDefault = false;
    // A line with a check box, and whether it is ticked.
    bool checkable = false;
    bool checked = false;
};

// The popup menu of a tray icon for a host that draws menus itself: `entries` gives its lines as they are
// now, just before the host shows them; `choose` runs the line at an index.
struct NotifyIconMenu {
    std::function<std::vector<MenuEntry>()> entries;
    std::function<void(int index)> choose;
};

// The main form's window state.
enum class TWindowState { wsNormal, wsMinimized, wsMaximized };

// A window's message procedure.
using WindowProc = std::function<LRESULT(HWND, UINT, WPARAM, LPARAM)>;

// Hands a message to a procedure saved from a window; an empty one answers 0.
LRESULT CallWindowProc(const WindowProc& proc, HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class TrayPlatform {
public:
    TrayPlatform() = default;
    virtual ~TrayPlatform();
    TrayPlatform(const TrayPlatform&) = delete;
    TrayPlatform& operator=(const TrayPlatform&) = delete;

    // --- The notification area ---
    // Adds, changes or removes the icon (window, identifier) or sets its notification mode; answers whether
    // the notification area accepted the request. Mouse actions on the icon and balloon events come back as
    // data.uCallbackMessage to data.hWnd, with the identifier as first and the action code as second parameter.
    [[nodiscard]] virtual bool Shell_NotifyIcon(DWORD message, const NotifyIconData& data) = 0;
    // The number of a message known by name; the same name always gives the same number. "TaskbarCreated"
    // is sent to the application window when a notification area appears again.
    [[nodiscard]] virtual UINT RegisterWindowMessage(const std::string& name) = 0;
    // The common-controls version as major × 65536 + minor, or 0 when it cannot be read.
    [[nodiscard]] virtual DWORD GetCommonControlsVersion() = 0;

    // --- Icons ---
    // A handle for the picture, or 0 when the system cannot make one.
    [[nodiscard]] virtual HICON CreateIcon(const IconImage& image) = 0;
    virtual void DestroyIcon(HICON icon) = 0;

    // --- Windows, their procedures and their messages ---
    // A hidden window that only receives messages; 0 on failure.
    [[nodiscard]] virtual HWND CreateMessageWindow(WindowProc proc) = 0;
    virtual bool DestroyWindow(HWND window) = 0;
    virtual LRESULT DefWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    // Reading and replacing a window's procedure is how a message filter is put in front of it.
    [[nodiscard]] virtual WindowProc GetWindowProc(HWND window) = 0;
    // Answers the procedure it replaced.
    virtual WindowProc SetWindowProc(HWND window, WindowProc proc) = 0;
    // Queues the message; it reaches the window's procedure from the message loop.
    virtual bool PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;

    // --- Timers: each tick of (window, identifier) arrives as WM_TIMER with the identifier as first parameter.
    // Setting a running timer again restarts it with the new interval.
    virtual bool SetTimer(HWND window, UINT_PTR id, UINT elapseMs) = 0;
    virtual bool KillTimer(HWND window, UINT_PTR id) = 0;

    // --- Foreground and visibility ---
    virtual bool SetForegroundWindow(HWND window) = 0;
    virtual bool ShowWindow(HWND window, int command) = 0;
    [[nodiscard]] virtual bool IsWindowVisible(HWND window) = 0;

    // --- Mouse and keyboard ---
    virtual bool GetCursorPos(TPoint& point) = 0;
    // The high bit (a negative answer) means the key is down now.
    [[nodiscard]] virtual std::int16_t GetAsyncKeyState(int virtualKey) = 0;
    [[nodiscard]] virtual UINT GetDoubleClickTime() = 0;
    // Shows a popup menu at a screen point and returns once it closes: the index chosen, or -1.
    virtual int TrackPopupMenu(const std::vector<MenuEntry>& entries, TPoint at) = 0;
    // Hands the icon (window, identifier) the menu a host may draw itself; an empty menu takes it away.
    // A host that asks the program to open its menu reports the right button instead, as a tray without
    // menus of its own does, so backends whose hosts never draw menus need not keep it.
    virtual void SetNotifyIconMenu(HWND window, UINT id, NotifyIconMenu menu) {
        (void)window;
        (void)id;
        (void)menu;
    }

    // --- The application and its main form ---
    // The window that carries the program's taskbar button and is minimised with the application.
    [[nodiscard]] virtual HWND ApplicationWindow() = 0;
    // The main form's window, 0 while the application has no main form.
    [[nodiscard]] virtual HWND MainFormWindow() = 0;
    [[nodiscard]] virtual bool MainFormVisible() = 0;
    virtual void SetMainFormVisible(bool visible) = 0;
    [[nodiscard]] virtual TWindowState MainFormWindowState() = 0;
    virtual void SetMainFormWindowState(TWindowState state) = 0;
    [[nodiscard]] virtual bool MainFormIsMdiForm() = 0;
    // Undoes the application's minimised state, showing the application window and its taskbar button.
    virtual void ApplicationRestore() = 0;
    // Whether the main form is shown when the application starts running.
    virtual void SetShowMainForm(bool show) = 0;
    // Handles every message that is waiting.
    virtual void ProcessMessages() = 0;

    // --- Per-process state of the layers built on this platform ---
    // A layer above keeps here what lives once per process (such as one hidden window shared by all its
    // objects): the platform object is the process as far as that layer can tell, so nothing made on one
    // platform is used on another, and every test with a fresh platform starts afresh. The platform only
    // holds it and drops it first thing in its destructor, while it can still serve the clean-up; what it
    // holds and in which order it ends is the layer's business.
    class Attachment {
    public:
        virtual ~Attachment() = default;
    };
    [[nodiscard]] std::unique_ptr<Attachment>& attachment() { return m_attachment; }

protected:
    // Every backend calls it first thing in its destructor.
    void dropAttachment() noexcept { m_attachment.reset(); }

private:
    std::unique_ptr<Attachment> m_attachment;
};

} // namespace hourlink
