#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/tray/TrayPlatform.h"

namespace hourlink {

// One balloon as the notification area was asked to show it; texts in UTF-8.
struct BalloonRequest {
    std::string title;
    std::string text;
    DWORD infoFlags = NIIF_NONE;
    UINT timeoutMs = 0;
    bool operator==(const BalloonRequest&) const = default;
};

// Why a shown balloon went, with the numbers desktop notification servers report.
enum class BalloonClose : std::uint32_t { Expired = 1, Dismissed = 2, Closed = 3, Undefined = 4 };

// Where balloons reach the screen: a notification server, or a window of the program's own. Each listener
// has at most one balloon there; a show while it has one replaces it in place. The sink reports back what
// became of it, at once or later.
class BalloonSink {
public:
    class Listener {
    public:
        virtual void balloonClosed(BalloonClose reason) = 0;
        virtual void balloonClicked() = 0;

    protected:
        ~Listener() = default;
    };

    virtual ~BalloonSink() = default;
    virtual void show(const BalloonRequest& balloon, Listener& listener) = 0;
    // Takes the listener's balloon away; balloonClosed(Closed) follows.
    virtual void close(Listener& listener) = 0;
    // The listener goes: nothing more is reported to it.
    virtual void forget(Listener& listener) = 0;
};

// The balloon of one tray icon and the rules between the requests and the screen:
// - a withdrawal followed by a show within the same event is one replacement; only a withdrawal left on
//   its own at the end of the event takes the balloon away;
// - a balloon the user dismissed (or clicked) stays away while shows keep coming with no break longer than
//   kDismissGapMs; the first show after such a break brings it back; one that expired comes back with the
//   next show;
// - what becomes of a shown balloon goes back as NIN_BALLOONUSERCLICK, NIN_BALLOONTIMEOUT or NIN_BALLOONHIDE.
class BalloonTracker final : private BalloonSink::Listener {
public:
    static constexpr std::uint64_t kDismissGapMs = 2000;
    using ChooseSink = std::function<BalloonSink&()>;
    using EventOut = std::function<void(UINT code)>;

    // chooseSink is asked where a balloon that is not on the screen goes; events go to onEvent.
    BalloonTracker(ChooseSink chooseSink, EventOut onEvent);
    ~BalloonTracker();
    BalloonTracker(const BalloonTracker&) = delete;
    BalloonTracker& operator=(const BalloonTracker&) = delete;

    void show(const BalloonRequest& balloon, std::uint64_t nowMs);
    void withdraw() { m_withdrawalHeld = true; }
    // The end of the event that made the requests.
    void endOfEvent();
    // The icon leaves the tray: its balloon goes with it, unreported.
    void iconRemoved();

    [[nodiscard]] bool shown() const { return m_shown; }
    [[nodiscard]] bool withdrawalHeld() const { return m_withdrawalHeld; }
    [[nodiscard]] bool dismissed() const { return m_dismissed; }

private:
    void balloonClosed(BalloonClose reason) override;
    void balloonClicked() override;
    void report(UINT code) const;

    ChooseSink m_chooseSink;
    EventOut m_onEvent;
    BalloonSink* m_sink = nullptr; // the one that has (or had) our balloon
    bool m_shown = false;
    bool m_closing = false;
    bool m_clicked = false;
    bool m_withdrawalHeld = false;
    bool m_dismissed = false;
    bool m_anyRequest = false;
    std::uint64_t m_lastRequestMs = 0;
};

// What a notification server is told of a balloon.
struct NotificationFields {
    std::string iconName; // empty for a balloon without an icon
    std::uint8_t urgency = 1;
    std::int32_t expireMs = -1; // -1: the server's own time
    bool operator==(const NotificationFields&) const = default;
};
[[nodiscard]] NotificationFields NotificationFieldsFor(const BalloonRequest& balloon);

} // namespace hourlink
