#include "platform/RouteChangeWatch.h"

#include <cerrno>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <sys/socket.h>

#include <array>

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
    std::array<char, 8192> buffer{};
    for (;;) {
        const ssize_t got = ::recv(m_socket.Get(), buffer.data(), buffer.size(), MSG_TRUNC);
        if (got >= 0) {
            changed = true; // what changed does not matter: the routes are read again whole
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
