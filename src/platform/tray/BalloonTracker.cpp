#include "platform/tray/BalloonTracker.h"

#include <algorithm>
#include <utility>

namespace hourlink {

BalloonTracker::BalloonTracker(ChooseSink chooseSink, EventOut onEvent)
    : m_chooseSink(std::move(chooseSink)), m_onEvent(std::move(onEvent)) {}

BalloonTracker::~BalloonTracker() {
    if (m_sink != nullptr) {
        m_sink->forget(*this);
    }
}

void BalloonTracker::report(UINT code) const {
    if (m_onEvent) {
        m_onEvent(code);
    }
}

void BalloonTracker::show(const BalloonRequest& balloon, std::uint64_t nowMs) {
    // A withdrawal before it in the same event only made way for it.
    m_withdrawalHeld = false;
    const bool afterBreak = !m_anyRequest || nowMs - m_lastRequestMs > kDismissGapMs;
    m_anyRequest = true;
    m_lastRequestMs = nowMs;
    if (m_dismissed && !afterBreak) {
        return;
    }
    m_dismissed = false;
    m_clicked = false;
    if (!m_shown) {
        BalloonSink& chosen = m_chooseSink();
        if (m_sink != nullptr && m_sink != &chosen) {
            m_sink->forget(*this);
        }
        m_sink = &chosen;
    }
    m_shown = true;
    m_closing = false;
    m_sink->show(balloon, *this);
}

void BalloonTracker::endOfEvent() {
    if (!m_withdrawalHeld) {
        return;
    }
    m_withdrawalHeld = false;
    if (m_shown && m_sink != nullptr) {
        m_shown = false;
        m_closing = true;
        m_sink->close(*this);
    }
}

void BalloonTracker::iconRemoved() {
    m_withdrawalHeld = false;
    const bool wasShown = m_shown;
    // Before the close: its report, at once or later, is no event.
    m_shown = false;
    m_closing = false;
    if (m_sink != nullptr) {
        if (wasShown) {
            m_sink->close(*this);
        }
        m_sink->forget(*this);
        m_sink = nullptr;
    }
}

void BalloonTracker::balloonClosed(BalloonClose reason) {
    if (!m_shown && !m_closing) {
        return;
    }
    const bool afterClick = m_clicked;
    m_shown = false;
    m_closing = false;
    m_clicked = false;
    if (afterClick) {
        // The click was reported; the balloon going with it is part of the same act.
        return;
    }
    switch (reason) {
    case BalloonClose::Expired:
        report(NIN_BALLOONTIMEOUT);
        break;
    case BalloonClose::Dismissed:
        m_dismissed = true;
        report(NIN_BALLOONHIDE);
        break;
    case BalloonClose::Closed:
        report(NIN_BALLOONHIDE);
        break;
    case BalloonClose::Undefined:
        break;
    }
}

void BalloonTracker::balloonClicked() {
    if (!m_shown) {
        return;
    }
    // A balloon the user acted on is as good as dismissed: it does not come back every second.
    m_clicked = true;
    m_dismissed = true;
    if (m_sink != nullptr) {
        // Servers usually take it away themselves; one that keeps it is asked to.
        m_sink->close(*this);
    }
    // Last: the handler may remove the icon, and this tracker with it.
    report(NIN_BALLOONUSERCLICK);
}

NotificationFields NotificationFieldsFor(const BalloonRequest& balloon) {
    NotificationFields fields;
    switch (balloon.infoFlags & 0x3U) {
    case NIIF_INFO:
        fields.iconName = "dialog-information";
        break;
    case NIIF_WARNING:
        fields.iconName = "dialog-warning";
        break;
    case NIIF_ERROR:
        fields.iconName = "dialog-error";
        // A critical notification stays until the user closes it, as an error should.
        fields.urgency = 2;
        break;
    default:
        break;
    }
    // A balloon without a time lasts as long as the server's own notifications.
    constexpr UINT kLongest = 0x7FFFFFFF;
    fields.expireMs = balloon.timeoutMs == 0 ? -1 : static_cast<std::int32_t>(std::min(balloon.timeoutMs, kLongest));
    return fields;
}

} // namespace hourlink
