#pragma once

namespace hourlink {

// The system's answer to "is an internet connection up?", asked once a second.
class ConnectionState {
public:
    virtual ~ConnectionState() = default;
    // Non-zero when a connection is up, as the system's connection-state query answers.
    [[nodiscard]] virtual bool InternetGetConnectedState() = 0;
};

// A connection state that answers what a test scripted.
class FakeConnectionState final : public ConnectionState {
public:
    [[nodiscard]] bool InternetGetConnectedState() override {
        ++m_calls;
        return m_up;
    }
    void SetUp(bool up) { m_up = up; }
    [[nodiscard]] int Calls() const { return m_calls; }

private:
    bool m_up = false;
    int m_calls = 0;
};

} // namespace hourlink
