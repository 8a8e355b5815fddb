#pragma once

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>

namespace hourlink::testing {

// Runs the event loop until the condition holds or the time is up; answers the condition.
template <typename Condition> bool WaitFor(Condition condition, int ms = 1000) {
    QElapsedTimer clock;
    clock.start();
    while (!condition() && clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return condition();
}

} // namespace hourlink::testing
