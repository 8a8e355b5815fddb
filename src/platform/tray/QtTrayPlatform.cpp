#include "platform/tray/QtTrayPlatform.h"

#include <QAbstractEventDispatcher>
#include <QAction>
#include <QCoreApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QEvent>
#include <QGuiApplication>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QStyleHints>
#include <QThread>
#include <QWindow>
#include <QWindowStateChangeEvent>

#include <algorithm>
#include <cstring>
#include <exception>

#include "platform/tray/BalloonWindow.h"
#include "platform/tray/DesktopNotifications.h"
#include "platform/tray/StatusNotifierItem.h"
#include "platform/tray/XEmbedTrayWatch.h"
#include "runtime/Windows1252.h"

namespace hourlink {
namespace {

// The common controls this tray stands in for: balloons, and the taskbar's return announced.
constexpr DWORD kCommonControlsVersion = 6U << 16;
// A window shown again is looked at this often, this many times, until it is on the screen.
constexpr int kIconifyPollMs = 50;
constexpr int kIconifyTries = 60;

// Whether QSystemTrayIcon speaks XEmbed in this process. Qt answers its first tray question with its D-Bus
// tray when a StatusNotifierItem host is there at that moment and keeps that for the life of the process, so
// the answer is taken once, like Qt's own: Qt is asked first, then the bus; a host seen after Qt asked may
// have made Qt choose D-Bus, and then QSystemTrayIcon is never used.
bool QtTrayIsXEmbed(const TrayHostWatch& watch) {
    static const bool xembed = [&watch] {
        if (QGuiApplication::platformName() != QLatin1String("xcb")) {
            return false; // elsewhere Qt has only its D-Bus tray
        }
        (void)QSystemTrayIcon::isSystemTrayAvailable();
        return watch.statusNotifierHost().isEmpty();
    }();
    return xembed;
}

QImage ImageOf(const QIcon& icon) {
    const QList<QSize> sizes = icon.availableSizes();
    return sizes.isEmpty() ? QImage() : icon.pixmap(sizes.constFirst()).toImage();
}

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
    // Our own table, not Qt's decoder: making that decoder looks the code page up anew each time, which was
    // most of the cost of the hint set every second, and a Qt built without the code page has none.
    return QString::fromStdString(Windows1252ToUtf8(bytes));
}

QtTrayPlatform::QtTrayPlatform(QWidget* mainWindow, ErrorHandler onError)
    : m_mainWindow(mainWindow), m_onError(std::move(onError)),
      m_windows([this](HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
          return DefWindowProc(window, message, wParam, lParam);
      }),
      m_trayPoll(new QTimer(this)), m_trayChanged(new QTimer(this)), m_hostGrace(new QTimer(this)),
      m_iconifyPoll(new QTimer(this)), m_hostWatch(new TrayHostWatch([this] { checkTrayHost(); }, this)) {
    if (m_mainWindow) {
        m_mainWindow->installEventFilter(this);
    }
    m_clock.start();
    m_trayPoll->setInterval(kTrayPollMs);
    connect(m_trayPoll, &QTimer::timeout, this, [this] { checkTrayHost(); });
    m_trayChanged->setSingleShot(true);
    m_trayChanged->setInterval(0);
    connect(m_trayChanged, &QTimer::timeout, this, [this] { checkTrayHost(); });
    m_hostGrace->setSingleShot(true);
    m_hostGrace->setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    m_hostGrace->setInterval(kHostGraceMs);
    connect(m_hostGrace, &QTimer::timeout, this, [this] { hostLostForGood(); });
    m_iconifyPoll->setInterval(kIconifyPollMs);
    connect(m_iconifyPoll, &QTimer::timeout, this, [this] { iconifyWhenMapped(); });
    m_qtTrayIsXEmbed = QtTrayIsXEmbed(*m_hostWatch);
    m_host = currentHost();
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

TrayHost QtTrayPlatform::currentHost() const {
    if (m_probe) {
        return m_probe() ? TrayHost{TrayHostKind::XEmbed, {}} : TrayHost{};
    }
    if (const QString& owner = m_hostWatch->statusNotifierHost(); !owner.isEmpty()) {
        return TrayHost{TrayHostKind::StatusNotifier, owner};
    }
    if (m_qtTrayIsXEmbed && QSystemTrayIcon::isSystemTrayAvailable()) {
        return TrayHost{TrayHostKind::XEmbed, {}};
    }
    return {};
}

void QtTrayPlatform::setAvailabilityProbe(AvailabilityProbe probe) {
    m_probe = std::move(probe);
    m_host = currentHost();
}

bool QtTrayPlatform::Shell_NotifyIcon(DWORD message, const NotifyIconData& data) {
    if (data.cbSize != sizeof(NotifyIconData)) {
        return false;
    }
    const IconKey key{data.hWnd, data.uID};
    const auto found = m_tray.find(key);
    switch (message) {
    case NIM_ADD: {
        if (found != m_tray.end()) {
            return false;
        }
        TrayEntry entry;
        switch (currentHost().kind) {
        case TrayHostKind::StatusNotifier:
            if (!addStatusNotifierItem(entry, key, data)) {
                return false;
            }
            break;
        case TrayHostKind::XEmbed:
            addXEmbedIcon(entry, key);
            applyFields(entry, data);
            entry.icon->show();
            break;
        case TrayHostKind::None:
            return false;
        }
        // Balloons go the same way whichever host holds the icon: to the desktop's notifications, else to a
        // window of our own.
        entry.balloon = std::make_unique<BalloonTracker>(
            [this]() -> BalloonSink& { return balloonSink(); },
            [this, key](UINT code) {
                const auto icon = m_tray.find(key);
                if (icon != m_tray.end() && icon->second.callbackMessage != 0) {
                    PostMessage(key.first, icon->second.callbackMessage, key.second, static_cast<LPARAM>(code));
                }
            });
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

void QtTrayPlatform::addXEmbedIcon(TrayEntry& entry, const IconKey& key) {
    entry.icon = new QSystemTrayIcon(this);
    connect(entry.icon, &QSystemTrayIcon::activated, this, [this, key](QSystemTrayIcon::ActivationReason reason) {
        if (const auto activation = ActivationFor(reason)) {
            deliverActivation(key.first, key.second, *activation);
        }
    });
    connect(entry.icon, &QSystemTrayIcon::messageClicked, this,
            [this, key] { deliverActivation(key.first, key.second, TrayActivation::BalloonClicked); });
}

bool QtTrayPlatform::addStatusNotifierItem(TrayEntry& entry, const IconKey& key, const NotifyIconData& data) {
    // The menu is looked up when the host asks, so one handed over after the icon went in still shows.
    NotifyIconMenu menu{[this, key] {
                            const auto found = m_menus.find(key);
                            return found == m_menus.end() || !found->second.entries ? std::vector<MenuEntry>{}
                                                                                    : found->second.entries();
                        },
                        [this, key](int index) {
                            const auto found = m_menus.find(key);
                            if (found != m_menus.end() && found->second.choose) {
                                found->second.choose(index);
                            }
                        }};
    entry.item = new StatusNotifierItem(
        m_nextItem++, QGuiApplication::applicationDisplayName(),
        [this, key](TrayActivation activation) { deliverActivation(key.first, key.second, activation); },
        std::move(menu), this);
    // Picture and hint are in place before the host first reads them.
    applyFields(entry, data);
    if (!entry.item->registerWithWatcher()) {
        dropEntry(entry);
        return false;
    }
    return true;
}

void QtTrayPlatform::dropEntry(TrayEntry& entry) {
    if (entry.icon != nullptr) {
        entry.icon->hide();
        entry.icon->deleteLater();
        entry.icon = nullptr;
    }
    if (entry.item != nullptr) {
        // It may be answering the host right now.
        entry.item->deleteLater();
        entry.item = nullptr;
    }
}

void QtTrayPlatform::applyFields(TrayEntry& entry, const NotifyIconData& data) {
    if ((data.uFlags & NIF_MESSAGE) != 0) {
        entry.callbackMessage = data.uCallbackMessage;
    }
    if ((data.uFlags & NIF_ICON) != 0 && entry.shownImage != data.hIcon) {
        const auto found = m_icons.find(data.hIcon);
        const QIcon icon = found == m_icons.end() ? QIcon() : found->second;
        if (entry.icon != nullptr) {
            entry.icon->setIcon(icon);
        }
        if (entry.item != nullptr) {
            entry.item->setIcon(ImageOf(icon));
        }
        entry.shownImage = data.hIcon;
    }
    if ((data.uFlags & NIF_TIP) != 0) {
        std::string tip = FieldText(data.szTip);
        if (entry.shownTip != tip) {
            const QString text = DecodeWindows1252(tip);
            if (entry.icon != nullptr) {
                entry.icon->setToolTip(text);
            }
            if (entry.item != nullptr) {
                entry.item->setToolTip(text);
            }
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
            atEndOfEvent([this, key] { endBalloonEvent(key); });
        }
        entry.balloon->withdraw();
        return;
    }
    if (!entry.balloon->shown()) {
        // Where a new balloon goes; one replaced in place stays where it is. Asking the icon for its place
        // may be a round trip to the window system, so not once a second. A D-Bus host does not tell where
        // it draws the item; the balloon then goes to the corner of the screen.
        m_balloonAnchor = entry.icon != nullptr ? entry.icon->geometry() : QRect();
        if (m_balloonWindow) {
            m_balloonWindow->setAnchor(m_balloonAnchor);
        }
    }
    // The program's own conversion: a code-page decoder opened twice a second costs more than the rest.
    BalloonRequest balloon{Windows1252ToUtf8(FieldText(data.szInfoTitle)), Windows1252ToUtf8(text), data.dwInfoFlags,
                           data.uTimeout};
    entry.balloon->show(balloon, static_cast<std::uint64_t>(m_clock.elapsed()));
}

void QtTrayPlatform::atEndOfEvent(std::function<void()> done) {
    // A balloon over the limit is withdrawn and shown again every second: a queued call would wake the event
    // loop a second time for each.
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance(thread());
    if (dispatcher != nullptr && thread()->loopLevel() > 0) {
        connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, this, std::move(done), Qt::SingleShotConnection);
    } else {
        QMetaObject::invokeMethod(this, std::move(done), Qt::QueuedConnection);
    }
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
    dropEntry(entry);
}

QSystemTrayIcon* QtTrayPlatform::trayIcon(HWND window, UINT id) const {
    const auto found = m_tray.find(IconKey{window, id});
    return found == m_tray.end() ? nullptr : found->second.icon;
}

StatusNotifierItem* QtTrayPlatform::statusNotifierItem(HWND window, UINT id) const {
    const auto found = m_tray.find(IconKey{window, id});
    return found == m_tray.end() ? nullptr : found->second.item;
}

void QtTrayPlatform::SetNotifyIconMenu(HWND window, UINT id, NotifyIconMenu menu) {
    if (menu.entries || menu.choose) {
        m_menus[IconKey{window, id}] = std::move(menu);
    } else {
        m_menus.erase(IconKey{window, id});
    }
}

NotifyIconMenu QtTrayPlatform::notifyIconMenu(HWND window, UINT id) const {
    const auto found = m_menus.find(IconKey{window, id});
    return found == m_menus.end() ? NotifyIconMenu{} : found->second;
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
    const TrayHost now = currentHost();
    const TrayHostChange change = DecideTrayHostChange(m_host, now);
    m_host = now;
    // A host that went took our icons with it, and one that came knows none of them.
    if (change.forgetIcons) {
        forgetTrayIcons();
    }
    if (change.startGrace) {
        m_hostGrace->start();
    }
    if (change.announce) {
        m_hostGrace->stop();
        if (m_taskbarCreated != 0) {
            deliver(kApplicationWindow, m_taskbarCreated, 0, 0);
        }
    }
}

void QtTrayPlatform::hostLostForGood() {
    if (!m_mainWindow || m_mainWindow->isVisible() || m_host.kind != TrayHostKind::None) {
        return;
    }
    // Nothing could bring a window back from a tray that is gone: it comes back minimised, within reach on
    // the taskbar, and goes into the tray again when a host appears. A window manager maps a window that was
    // iconified by itself as a normal one whatever Qt asks, so the window is shown and minimised once it is
    // on the screen.
    m_showingMinimized = true;
    m_mainWindow->setWindowState(m_mainWindow->windowState() & ~Qt::WindowMinimized);
    m_mainWindow->show();
    m_showingMinimized = false;
    m_iconifyTries = 0;
    m_iconifyPoll->start();
}

void QtTrayPlatform::iconifyWhenMapped() {
    QWindow* window = m_mainWindow ? m_mainWindow->windowHandle() : nullptr;
    if (window == nullptr || !m_mainWindow->isVisible() || ++m_iconifyTries > kIconifyTries) {
        m_iconifyPoll->stop();
        return;
    }
    if (window->isExposed()) {
        m_iconifyPoll->stop();
        m_mainWindow->showMinimized();
    }
}

UINT QtTrayPlatform::RegisterWindowMessage(const std::string& name) {
    const bool known = m_windows.registered(name).has_value();
    const UINT number = m_windows.registerMessage(name);
    if (!known && name == "TaskbarCreated") {
        m_taskbarCreated = number;
        m_host = currentHost();
        followXEmbedTrays();
    }
    return number;
}

void QtTrayPlatform::followXEmbedTrays() {
    if (!m_probe && !m_qtTrayIsXEmbed) {
        return; // only D-Bus hosts count here, and their watch calls checkTrayHost itself
    }
    if (!m_probe) {
        // Asking Qt whether a tray is there costs an X round trip each time none is: once a second, that
        // was a tenth of the program's time while it recorded with its window shown.
        m_xembedWatch = std::make_unique<XEmbedTrayWatch>([this] { m_trayChanged->start(); });
        if (m_xembedWatch->Watching()) {
            return;
        }
        m_xembedWatch.reset();
    }
    m_trayPoll->start();
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
        action->setCheckable(entry.checkable);
        action->setChecked(entry.checked);
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
        if (!event->spontaneous() && !m_showingMinimized) {
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
