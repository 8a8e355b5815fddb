#pragma once

#include "runtime/PosixFile.h"

namespace hourlink {

// Tells whether the routes or the network interfaces of the process's network namespace may have changed
// since it was last asked, from the kernel's notifications of route and link changes. Asking costs one
// non-blocking receive while nothing changed. Where the notifications cannot be had, or some were lost,
// it answers that something may have changed.
class RouteChangeWatch {
public:
    RouteChangeWatch();

    // Takes every notification waiting. True when there was one, when notifications were lost, or when the
    // kernel cannot be listened to. Ask before reading the routes: a change while reading shows next time.
    [[nodiscard]] bool Changed();

    [[nodiscard]] bool Listening() const { return m_socket.Valid(); }

private:
    FileDescriptor m_socket;
};

} // namespace hourlink
