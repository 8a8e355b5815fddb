#include "platform/tray/QtTrayPlatform.h"

#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QStringDecoder>
#include <QStyleHints>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <cstring>
#include <exception>

#include "platform/tray/BalloonWindow.h"
#include "platform/tray/DesktopNotifications.h"
#include "runtime/Windows1252.h"

namespace hourlink {
namespace {

// The common controls this tray stands in for: balloons, and the taskbar's return announced.
constexpr DWORD kCommonControlsVersion = 6U << 16;

} // namespace

QSystemTrayIcon::MessageIcon BalloonIconFor(DWORD infoFlags) {
    switch (infoFlags & 0x3U) {
    case NIIF_INFO:
        return QSystemTrayIcon::Information;
    case NIIF_WARNING:
        return QSystemTrayIcon::Warning;
    case NIIF_ERROR:
        return QSystemTrayIcon::Critical;
    default:
        return QSystemTrayIcon::NoIcon;
    }
}

std::optional<TrayActivation> ActivationFor(QSystemTrayIcon::ActivationReason reason) {
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        return TrayActivation::Trigger;
    case QSystemTrayIcon::DoubleClick:
        return TrayActivation::DoubleClick;
    case QSystemTrayIcon::Context:
        return TrayActivation::Context;
    case QSystemTrayIcon::MiddleClick:
        return TrayActivation::MiddleClick;
    case QSystemTrayIcon::Unknown:
        break;
    }
    return std::nullopt;
}

QString DecodeWindows1252(const std::string& bytes) {
    QStringDecoder decoder("windows-1252");
    if (decoder.isValid()) {
        QString text = decoder(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
        if (!decoder.hasError()) {
            return text;
        }
    }
    // A Qt built without the code page still gets the text right.
    return QString::fromStdString(Windows1252ToUtf8(bytes));
}

QtTrayPlatform::QtTrayPlatform(QWidget* mainWindow, ErrorHandler onError)
    : m_mainWindow(mainWindow), m_onError(std::move(onError)),
      m_windows([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
          return DefWindowProc(window, message, wParam, lParam);
      }),
      m_trayPoll(new QTimer(this)) {
    if (m_mainWindow) {
        m_mainWindow->installEventFilter(this);
    }
    m_clock.start();
    m_trayPoll->setInterval(kTrayPollMs);
    connect(m_trayPoll, &QTimer::timeout, this, [this] { checkTrayHost(); });
}

QtTrayPlatform::~QtTrayPlatform() {
    dropAttachment();
    // The balloons' trackers go before the sinks they are listed with.
    for (auto& [key, entry] : m_tray) {
        entry.balloon.reset();
    }
    if (m_mainWindow) {
        m_mainWindow->removeEventFilter(this);
    }
}

void QtTrayPlatform::reportError(const std::string& message) const {
    if (!m_onError) {
        qWarning("%s", message.c_str());
        return;
    }
    try {
        m_onError(message);
    } catch (...) {
        qWarning("%s", message.c_str());
    }
}

LRESULT QtTrayPlatform::deliver(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return m_windows.send(window, message, wParam, lParam);
    } catch (const std::exception& error) {
        reportError(error.what());
    } catch (...) {
        reportError("Unknown exception");
    }
    return 0;
}

// ---------------------------------------------------------------------------------------------------------
// The notification area

bool QtTrayPlatform::trayAvailable() const {
    return m_probe ? m_probe() : QSystemTrayIcon::isSystemTrayAvailable();
}

void QtTrayPlatform::setAvailabilityProbe(AvailabilityProbe probe) {
    m_probe = std::move(probe);
    m_trayWasAvailable = trayAvailable();
}

bool QtTrayPlatform::Shell_NotifyIcon(DWORD message, const NotifyIconData& data) {
    if (data.cbSize != sizeof(NotifyIconData)) {
        return false;
    }
    const IconKey key{data.hWnd, data.uID};
    const auto found = m_tray.find(key);
    switch (message) {
    case NIM_ADD: {
        if (found != m_tray.end() || !trayAvailable()) {
            return false;
        }
        TrayEntry entry;
        entry.icon = new QSystemTrayIcon(this);
        connect(entry.icon, &QSystemTrayIcon::activated, this, [this, key](QSystemTrayIcon::ActivationReason reason) {
            if (const auto activation = ActivationFor(reason)) {
                deliverActivation(key.first, key.second, *activation);
            }
        });
        connect(entry.icon, &QSystemTrayIcon::messageClicked, this,
                [this, key] { deliverActivation(key.first, key.second, TrayActivation::BalloonClicked); });
        entry.balloon = std::make_unique<BalloonTracker>(
            [this]() -> BalloonSink& { return balloonSink(); },
            [this, key](UINT code) {
                const auto icon = m_tray.find(key);
                if (icon != m_tray.end() && icon->second.callbackMessage != 0) {
                    PostMessage(key.first, icon->second.callbackMessage, key.second, static_cast<LPARAM>(code));
                }
            });
        applyFields(entry, data);
        entry.icon->show();
        TrayEntry& added = m_tray.emplace(key, std::move(entry)).first->second;
        applyBalloon(added, data);
        return true;
    }
    case NIM_MODIFY:
        if (found == m_tray.end()) {
            return false;
        }
        applyFields(found->second, data);
        applyBalloon(found->second, data);
        return true;
    case NIM_DELETE:
        if (found == m_tray.end()) {
            return false;
        }
        removeTrayEntry(found->second);
        m_tray.erase(found);
        return true;
    case NIM_SETVERSION:
        if (found == m_tray.end()) {
            return false;
        }
        found->second.version = data.uVersion;
        return true;
    default:
        return false;
    }
}

void QtTrayPlatform::applyFields(TrayEntry& entry, const NotifyIconData& data) {
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        entry.callbackMessage = data.uCallbackMessage;
    }
    if ((data.uFlags & NIF_ICON) != 0 && entry.shownImage != data.hIcon) {
        const auto icon = m_icons.find(data.hIcon);
        entry.icon->setIcon(icon == m_icons.end() ? QIcon() : icon->second);
        entry.shownImage = data.hIcon;
    }
    if ((data.uFlags & NIF_TIP) != 0) {
        std::string tip = FieldText(data.szTip);
        if (entry.shownTip != tip) {
            entry.icon->setToolTip(DecodeWindows1252(tip));
            entry.shownTip = std::move(tip);
        }
    }
}

void QtTrayPlatform::applyBalloon(TrayEntry& entry, const NotifyIconData& data) {
    if ((data.uFlags & NIF_INFO) == 0 || !entry.balloon) {
        return;
    }
    const std::string text = FieldText(data.szInfo);
    if (text.empty()) {
        // Held to the end of this event: a show that follows within it makes this a replacement.
        if (!entry.balloon->withdrawalHeld()) {
            const IconKey key{data.hWnd, data.uID};
            QMetaObject::invokeMethod(
                this, [this, key] { endBalloonEvent(key); }, Qt::QueuedConnection);
        }
        entry.balloon->withdraw();
        return;
    }
    if (!entry.balloon->shown()) {
        // Where a new balloon goes; one replaced in place stays where it is. Asking the icon for its place
        // may be a round trip to the window system, so not once a second.
        m_balloonAnchor = entry.icon->geometry();
        if (m_balloonWindow) {
            m_balloonWindow->setAnchor(m_balloonAnchor);
        }
    }
    // The program's own conversion: a code-page decoder opened twice a second costs more than the rest.
    BalloonRequest balloon{Windows1252ToUtf8(FieldText(data.szInfoTitle)), Windows1252ToUtf8(text), data.dwInfoFlags,
                           data.uTimeout};
    entry.balloon->show(balloon, static_cast<std::uint64_t>(m_clock.elapsed()));
}

void QtTrayPlatform::endBalloonEvent(const IconKey& key) {
    const auto found = m_tray.find(key);
    if (found != m_tray.end() && found->second.balloon) {
        found->second.balloon->endOfEvent();
    }
}

void QtTrayPlatform::setNotificationIdentity(const QString& applicationTitle, const QString& iconName) {
    m_notificationName = applicationTitle;
    m_notificationIcon = iconName;
}

DesktopNotifications& QtTrayPlatform::notifications() {
    if (m_notifications == nullptr) {
        m_notifications =
            new DesktopNotifications(QDBusConnection::sessionBus(), m_notificationName, m_notificationIcon, this);
    }
    return *m_notifications;
}

BalloonSink& QtTrayPlatform::balloonSink() {
    const bool server = m_notificationProbe ? m_notificationProbe() : notifications().available();
    if (server) {
        return notifications();
    }
    if (!m_balloonWindow) {
        m_balloonWindow = std::make_unique<BalloonWindow>();
        m_balloonWindow->setWindowTitle(m_notificationName);
        m_balloonWindow->setAnchor(m_balloonAnchor);
    }
    return *m_balloonWindow;
}

void QtTrayPlatform::removeTrayEntry(TrayEntry& entry) {
    if (entry.balloon) {
        entry.balloon->iconRemoved();
        entry.balloon.reset();
    }
    entry.icon->hide();
    entry.icon->deleteLater();
}

QSystemTrayIcon* QtTrayPlatform::trayIcon(HWND window, UINT id) const {
    const auto found = m_tray.find(IconKey{window, id});
    return found == m_tray.end() ? nullptr : found->second.icon;
}

void QtTrayPlatform::deliverActivation(HWND window, UINT id, TrayActivation activation) {
    const auto found = m_tray.find(IconKey{window, id});
    if (found == m_tray.end() || found->second.callbackMessage == 0) {
        return;
    }
    const UINT callback = found->second.callbackMessage;
    const bool version5 = found->second.version >= NOTIFYICON_VERSION;
    for (const UINT code : TrayCallbackCodes(activation, version5)) {
        deliver(window, callback, id, static_cast<LPARAM>(code));
    }
}

void QtTrayPlatform::forgetTrayIcons() {
    for (auto& [key, entry] : m_tray) {
        removeTrayEntry(entry);
    }
    m_tray.clear();
}

void QtTrayPlatform::checkTrayHost() {
    const bool available = trayAvailable();
    if (available == m_trayWasAvailable) {
        return;
    }
    m_trayWasAvailable = available;
    // A host that went took our icons with it, and one that came knows none of them.
    forgetTrayIcons();
    if (available && m_taskbarCreated != 0) {
        deliver(kApplicationWindow, m_taskbarCreated, 0, 0);
    }
}

UINT QtTrayPlatform::RegisterWindowMessage(const std::string& name) {
    const bool known = m_windows.registered(name).has_value();
    const UINT number = m_windows.registerMessage(name);
    if (!known && name == "TaskbarCreated") {
        m_taskbarCreated = number;
        m_trayWasAvailable = trayAvailable();
        m_trayPoll->start();
    }
    return number;
}

DWORD QtTrayPlatform::GetCommonControlsVersion() {
    return kCommonControlsVersion;
}

// ---------------------------------------------------------------------------------------------------------
// Icons

HICON QtTrayPlatform::CreateIcon(const IconImage& image) {
    if (image.width <= 0 || image.height <= 0 ||
        image.pixels.size() != static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height)) {
        return 0;
    }
    QImage picture(image.width, image.height, QImage::Format_ARGB32);
    for (int y = 0; y < image.height; ++y) {
        std::memcpy(picture.scanLine(y), image.pixels.data() + static_cast<std::size_t>(y * image.width),
                    static_cast<std::size_t>(image.width) * sizeof(std::uint32_t));
    }
    const HICON handle = m_nextIcon++;
    m_icons.emplace(handle, QIcon(QPixmap::fromImage(picture)));
    return handle;
}

void QtTrayPlatform::DestroyIcon(HICON icon) {
    m_icons.erase(icon);
}

// ---------------------------------------------------------------------------------------------------------
// Windows, procedures, messages and timers

HWND QtTrayPlatform::CreateMessageWindow(WindowProc proc) {
    return m_windows.create(std::move(proc));
}

bool QtTrayPlatform::DestroyWindow(HWND window) {
    if (!m_windows.destroy(window)) {
        return false;
    }
    for (auto it = m_timers.begin(); it != m_timers.end();) {
        if (it->first.first == window) {
            it->second->stop();
            it->second->deleteLater();
            it = m_timers.erase(it);
        } else {
            ++it;
        }
    }
    return true;
}

LRESULT QtTrayPlatform::DefWindowProc(HWND, UINT, WPARAM, LPARAM) {
    return 0;
}

WindowProc QtTrayPlatform::GetWindowProc(HWND window) {
    return m_windows.proc(window);
}

WindowProc QtTrayPlatform::SetWindowProc(HWND window, WindowProc proc) {
    return m_windows.replaceProc(window, std::move(proc));
}

bool QtTrayPlatform::PostMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    bool firstInQueue = false;
    if (!m_windows.post(window, message, wParam, lParam, &firstInQueue)) {
        return false;
    }
    // One delivery from the event loop takes everything queued until then.
    if (firstInQueue) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_windows.deliverPosted([this](HWND target, UINT queued, WPARAM wParam, LPARAM lParam) {
                    deliver(target, queued, wParam, lParam);
                });
            },
            Qt::QueuedConnection);
    }
    return true;
}

bool QtTrayPlatform::SetTimer(HWND window, UINT_PTR id, UINT elapseMs) {
    if (!m_windows.exists(window)) {
        return false;
    }
    QTimer*& timer = m_timers[TimerKey{window, id}];
    if (timer == nullptr) {
        timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this, window, id] { deliver(window, WM_TIMER, id, 0); });
    }
    timer->start(static_cast<int>(MessageWindows::TimerInterval(elapseMs)));
    return true;
}

bool QtTrayPlatform::KillTimer(HWND window, UINT_PTR id) {
    const auto found = m_timers.find(TimerKey{window, id});
    if (found == m_timers.end()) {
        return false;
    }
    // The timer may be the one whose tick is running now.
    found->second->stop();
    found->second->deleteLater();
    m_timers.erase(found);
    return true;
}

// ---------------------------------------------------------------------------------------------------------
// Foreground, visibility, mouse and keyboard

QWidget* QtTrayPlatform::widgetFor(HWND window) const {
    return window == kApplicationWindow || window == kMainFormWindow ? m_mainWindow.data() : nullptr;
}

bool QtTrayPlatform::SetForegroundWindow(HWND window) {
    QWidget* widget = widgetFor(window);
    if (widget == nullptr) {
        return false;
    }
    widget->raise();
    widget->activateWindow();
    return true;
}

bool QtTrayPlatform::ShowWindow(HWND window, int command) {
    QWidget* widget = widgetFor(window);
    if (widget == nullptr) {
        return false;
    }
    const bool wasVisible = widget->isVisible();
    widget->setVisible(command != SW_HIDE);
    return wasVisible;
}

bool QtTrayPlatform::IsWindowVisible(HWND window) {
    const QWidget* widget = widgetFor(window);
    return widget != nullptr && widget->isVisible();
}

bool QtTrayPlatform::GetCursorPos(TPoint& point) {
    const QPoint position = QCursor::pos();
    point = TPoint{position.x(), position.y()};
    return true;
}

std::int16_t QtTrayPlatform::GetAsyncKeyState(int virtualKey) {
    Qt::KeyboardModifier modifier = Qt::NoModifier;
    switch (virtualKey) {
    case VK_SHIFT:
        modifier = Qt::ShiftModifier;
        break;
    case VK_CONTROL:
        modifier = Qt::ControlModifier;
        break;
    case VK_MENU:
        modifier = Qt::AltModifier;
        break;
    default:
        return 0;
    }
    return QGuiApplication::queryKeyboardModifiers().testFlag(modifier) ? INT16_MIN : 0;
}

UINT QtTrayPlatform::GetDoubleClickTime() {
    return static_cast<UINT>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
}

int QtTrayPlatform::TrackPopupMenu(const std::vector<MenuEntry>& entries, TPoint at) {
    QMenu menu;
    std::vector<QAction*> actions;
    actions.reserve(entries.size());
    for (const MenuEntry& entry : entries) {
        QAction* action = menu.addAction(QString::fromStdString(entry.caption));
        if (entry.isDefault && menu.defaultAction() == nullptr) {
            menu.setDefaultAction(action);
        }
        actions.push_back(action);
    }
    const QAction* chosen = menu.exec(QPoint(at.x, at.y));
    const auto found = std::find(actions.begin(), actions.end(), chosen);
    return chosen == nullptr || found == actions.end() ? -1 : static_cast<int>(found - actions.begin());
}

// ---------------------------------------------------------------------------------------------------------
// The main window as application window and main form

bool QtTrayPlatform::MainFormVisible() {
    return m_mainWindow && m_mainWindow->isVisible();
}

void QtTrayPlatform::SetMainFormVisible(bool visible) {
    if (m_mainWindow) {
        m_mainWindow->setVisible(visible);
    }
}

TWindowState QtTrayPlatform::MainFormWindowState() {
    if (!m_mainWindow) {
        return TWindowState::wsNormal;
    }
    if (m_mainWindow->isMinimized()) {
        return TWindowState::wsMinimized;
    }
    return m_mainWindow->isMaximized() ? TWindowState::wsMaximized : TWindowState::wsNormal;
}

void QtTrayPlatform::SetMainFormWindowState(TWindowState state) {
    if (!m_mainWindow) {
        return;
    }
    const Qt::WindowStates current = m_mainWindow->windowState();
    switch (state) {
    case TWindowState::wsNormal:
        m_mainWindow->setWindowState(current & ~(Qt::WindowMinimized | Qt::WindowMaximized));
        break;
    case TWindowState::wsMinimized:
        m_mainWindow->setWindowState(current | Qt::WindowMinimized);
        break;
    case TWindowState::wsMaximized:
        m_mainWindow->setWindowState((current & ~Qt::WindowMinimized) | Qt::WindowMaximized);
        break;
    }
}

void QtTrayPlatform::ApplicationRestore() {
    if (!m_mainWindow) {
        return;
    }
    // Out of the minimised state into the one before it (a maximised window comes back maximised).
    m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    m_mainWindow->show();
}

void QtTrayPlatform::ProcessMessages() {
    QCoreApplication::processEvents();
}

bool QtTrayPlatform::eventFilter(QObject* watched, QEvent* event) {
    if (watched != m_mainWindow.data()) {
        return false;
    }
    switch (event->type()) {
    case QEvent::WindowStateChange: {
        const Qt::WindowStates old = static_cast<QWindowStateChangeEvent*>(event)->oldState();
        const Qt::WindowStates now = m_mainWindow->windowState();
        const Qt::WindowStates sizeStates = Qt::WindowMinimized | Qt::WindowMaximized;
        if ((old & sizeStates) == (now & sizeStates)) {
            break;
        }
        const WPARAM kind = now.testFlag(Qt::WindowMinimized)   ? SIZE_MINIMIZED
                            : now.testFlag(Qt::WindowMaximized) ? SIZE_MAXIMIZED
                                                                : SIZE_RESTORED;
        // Posted: hiding the window inside its own state change leaves some window managers confused. A window
        // restored again before the message arrives is not reported as minimised.
        QMetaObject::invokeMethod(
            this,
            [this, kind] {
                if (kind == SIZE_MINIMIZED && !(m_mainWindow && m_mainWindow->isMinimized())) {
                    return;
                }
                deliver(kApplicationWindow, WM_SIZE, kind, 0);
            },
            Qt::QueuedConnection);
        break;
    }
    case QEvent::Show:
        if (!event->spontaneous()) {
            deliver(kMainFormWindow, WM_SHOWWINDOW, 1, 0);
        }
        break;
    case QEvent::Move:
    case QEvent::Resize:
        deliver(kApplicationWindow, WM_WINDOWPOSCHANGED, 0, 0);
        break;
    default:
        break;
    }
    return false;
}

} // namespace hourlink
