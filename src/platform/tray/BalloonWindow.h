#pragma once

#include <QRect>
#include <QWidget>

#include "platform/tray/BalloonTracker.h"

class QLabel;
class QTimer;
class QToolButton;

namespace hourlink {

// The balloon drawn by the program itself where no notification server runs: a small window beside the
// tray icon with the kind's icon, the title, the text and a close button, which goes away after the
// balloon's time. One window serves every balloon: a show while it is up changes its texts in place
// (nothing at all when they are the same) and starts its time again.
// A left click on it is the user's click on the balloon, its close button the user dismissing it.
class BalloonWindow final : public QWidget, public BalloonSink {
public:
    // A balloon without a time of its own stays this long.
    static constexpr int kDefaultTimeoutMs = 10000;

    explicit BalloonWindow(QWidget* parent = nullptr);
    ~BalloonWindow() override;

    // Where the icon is on the screen; the window is placed beside it (at the screen's corner when empty).
    void setAnchor(const QRect& iconRect) { m_anchor = iconRect; }

    void show(const BalloonRequest& balloon, Listener& listener) override;
    void close(Listener& listener) override;
    void forget(Listener& listener) override;

    // What it shows now, for tests.
    [[nodiscard]] const BalloonRequest& shownBalloon() const { return m_shown; }
    [[nodiscard]] int remainingMs() const;
    // How often its contents were laid out anew.
    [[nodiscard]] int layouts() const { return m_layouts; }

    // The user's acts on it.
    void click();
    void dismiss();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void finish(BalloonClose reason);
    void place();

    QLabel* m_kind;
    QLabel* m_title;
    QLabel* m_text;
    QToolButton* m_close;
    QTimer* m_timer;
    Listener* m_listener = nullptr;
    BalloonRequest m_shown;
    bool m_filled = false;
    QRect m_anchor;
    int m_layouts = 0;
};

} // namespace hourlink
