#include "platform/tray/BalloonWindow.h"

#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

#include "platform/tray/QtTrayPlatform.h"

namespace hourlink {
namespace {

constexpr int kKindIconSize = 32;
constexpr int kMaxTextWidth = 320;
// Room between the window and the icon or the screen's edge.
constexpr int kGap = 2;

QStyle::StandardPixmap KindPixmap(DWORD infoFlags) {
    switch (BalloonIconFor(infoFlags)) {
    case QSystemTrayIcon::Warning:
        return QStyle::SP_MessageBoxWarning;
    case QSystemTrayIcon::Critical:
        return QStyle::SP_MessageBoxCritical;
    default:
        return QStyle::SP_MessageBoxInformation;
    }
}

} // namespace

BalloonWindow::BalloonWindow(QWidget* parent)
    : QWidget(parent, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint), m_kind(new QLabel(this)),
      m_title(new QLabel(this)), m_text(new QLabel(this)), m_close(new QToolButton(this)), m_timer(new QTimer(this)) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setBackgroundRole(QPalette::ToolTipBase);
    setAutoFillBackground(true);
    QPalette colours = palette();
    colours.setColor(QPalette::Window, colours.color(QPalette::ToolTipBase));
    colours.setColor(QPalette::WindowText, colours.color(QPalette::ToolTipText));
    setPalette(colours);

    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_text->setWordWrap(true);
    m_text->setMaximumWidth(kMaxTextWidth);
    m_close->setText(QStringLiteral("\u00D7"));
    m_close->setAutoRaise(true);
    m_close->setToolTip(tr("Close"));

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(8, 6, 6, 8);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    layout->addWidget(m_kind, 0, 0, 2, 1, Qt::AlignTop);
    layout->addWidget(m_title, 0, 1);
    layout->addWidget(m_close, 0, 2, Qt::AlignTop | Qt::AlignRight);
    layout->addWidget(m_text, 1, 1, 1, 2);

    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] { finish(BalloonClose::Expired); });
    connect(m_close, &QToolButton::clicked, this, [this] { dismiss(); });
}

BalloonWindow::~BalloonWindow() = default;

void BalloonWindow::show(const BalloonRequest& balloon, Listener& listener) {
    if (m_listener != nullptr && m_listener != &listener) {
        // Another icon's balloon makes way.
        Listener* previous = m_listener;
        m_listener = nullptr;
        previous->balloonClosed(BalloonClose::Closed);
    }
    m_listener = &listener;
    // Over the limit the text changes each second: only what changed is set again, and the window is
    // measured and placed again only then.
    const bool kindChanged = !m_filled || (balloon.infoFlags & 0x3U) != (m_shown.infoFlags & 0x3U);
    const bool titleChanged = !m_filled || balloon.title != m_shown.title;
    const bool textChanged = !m_filled || balloon.text != m_shown.text;
    if (kindChanged) {
        // Looking the picture up in the icon theme costs more than laying the window out.
        const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
        m_kind->setPixmap(style()
                              ->standardIcon(KindPixmap(balloon.infoFlags), nullptr, this)
                              .pixmap(size > 0 ? size : kKindIconSize));
        m_kind->setVisible(BalloonIconFor(balloon.infoFlags) != QSystemTrayIcon::NoIcon);
    }
    if (titleChanged) {
        m_title->setText(QString::fromStdString(balloon.title));
        m_title->setVisible(!balloon.title.empty());
    }
    if (textChanged) {
        m_text->setText(QString::fromStdString(balloon.text));
    }
    m_shown = balloon;
    m_filled = true;
    if (kindChanged || titleChanged || textChanged) {
        ++m_layouts;
        adjustSize();
        place();
    } else if (!isVisible()) {
        place();
    }
    m_timer->start(balloon.timeoutMs == 0 ? kDefaultTimeoutMs
                                          : static_cast<int>(std::min<UINT>(balloon.timeoutMs, 0x7FFFFFFF)));
    if (!isVisible()) {
        QWidget::show();
    }
}

void BalloonWindow::close(Listener& listener) {
    if (m_listener == &listener) {
        finish(BalloonClose::Closed);
    }
}

void BalloonWindow::forget(Listener& listener) {
    if (m_listener == &listener) {
        m_listener = nullptr;
        m_timer->stop();
        hide();
    }
}

int BalloonWindow::remainingMs() const {
    return m_timer->isActive() ? m_timer->remainingTime() : -1;
}

void BalloonWindow::finish(BalloonClose reason) {
    m_timer->stop();
    hide();
    Listener* listener = m_listener;
    m_listener = nullptr;
    if (listener != nullptr) {
        listener->balloonClosed(reason);
    }
}

void BalloonWindow::click() {
    if (m_listener != nullptr) {
        // The listener takes the balloon away itself.
        m_listener->balloonClicked();
    }
}

void BalloonWindow::dismiss() {
    finish(BalloonClose::Dismissed);
}

void BalloonWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) {
        click();
    }
}

void BalloonWindow::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void BalloonWindow::place() {
    const QScreen* screen =
        m_anchor.isEmpty() ? QGuiApplication::primaryScreen() : QGuiApplication::screenAt(m_anchor.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect area = screen != nullptr ? screen->geometry() : QRect(0, 0, 1024, 768);
    const QSize size = this->size();
    QPoint at;
    if (m_anchor.isEmpty()) {
        at = QPoint(area.right() - size.width() - kGap, area.bottom() - size.height() - kGap);
    } else {
        // Right edges together; above an icon in the lower half of the screen, below one in the upper half.
        at.setX(m_anchor.right() - size.width());
        at.setY(m_anchor.center().y() > area.center().y() ? m_anchor.top() - size.height() - kGap
                                                          : m_anchor.bottom() + kGap);
    }
    at.setX(std::clamp(at.x(), area.left(), std::max(area.left(), area.right() - size.width())));
    at.setY(std::clamp(at.y(), area.top(), std::max(area.top(), area.bottom() - size.height())));
    move(at);
}

} // namespace hourlink
