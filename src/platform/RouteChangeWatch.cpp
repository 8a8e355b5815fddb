#include "platform/RouteChangeWatch.h"

#include <cerrno>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

namespace hourlink {

RouteChangeWatch::RouteChangeWatch()
    : m_socket(::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_ROUTE)) {
    if (!m_socket.Valid()) {
        return;
    }
    sockaddr_nl local{};
    local.nl_family = AF_NETLINK;
    // Links cover an interface going up or down and gaining or losing its carrier.
    local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_ROUTE;
    if (::bind(m_socket.Get(), reinterpret_cast<const sockaddr*>(&local), sizeof local) != 0) {
        m_socket = FileDescriptor();
    }
}

bool RouteChangeWatch::Changed() {
    if (!m_socket.Valid()) {
        return true;
    }
    bool changed = false;
    // What changed does not matter, only that something did: each notification is taken whole but none of it
    // is copied out.
    char ignored = 0;
    for (;;) {
        const ssize_t got = ::recv(m_socket.Get(), &ignored, sizeof ignored, MSG_TRUNC);
        if (got >= 0) {
            changed = true;
            continue;
        }
        if (errno == EINTR) {
            continue;
        }
        // Nothing more waiting; or ENOBUFS: the queue overflowed and notifications were lost.
        return changed || (errno != EAGAIN && errno != EWOULDBLOCK);
    }
}

} // namespace hourlink
