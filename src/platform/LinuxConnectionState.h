#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/ConnectionState.h"
#include "platform/RouteChangeWatch.h"
#include "runtime/PosixFile.h"

namespace hourlink {

// Answers yes when a default route (IPv4 or IPv6) that is up and not a reject route leads through an
// interface other than loopback that is up and running (has carrier). Reads the routing tables of
// the network namespace the process runs in, from files it keeps open.
class LinuxConnectionState final : public ConnectionState {
public:
    // The flags of a network interface by name (IFF_UP, IFF_RUNNING, ...); nothing when there is no
    // such interface or it cannot be asked.
    using InterfaceFlags = std::function<std::optional<unsigned>(const std::string& name)>;

    // The process's own tables and interfaces. They are read again only when the kernel tells of a change
    // of routes or links since the last answer: asking once a second then costs one receive.
    LinuxConnectionState();
    // Reads the tables in `procNet` at every call; tests point it at prepared files. Interfaces are asked
    // about with SIOCGIFFLAGS in the process's network namespace.
    explicit LinuxConnectionState(std::string procNet);
    // The same, asking `interfaceFlags` instead of the kernel about each interface.
    LinuxConnectionState(std::string procNet, InterfaceFlags interfaceFlags);
    ~LinuxConnectionState() override;
    LinuxConnectionState(const LinuxConnectionState&) = delete;
    LinuxConnectionState& operator=(const LinuxConnectionState&) = delete;

    [[nodiscard]] bool InternetGetConnectedState() override;

    // The interface names of the usable default routes found in the two tables' texts.
    [[nodiscard]] static std::string DefaultRouteInterface(const std::string& ipv4Routes,
                                                           const std::string& ipv6Routes);

private:
    // Reads the tables and asks the interfaces; sets `failed` when a table could not be read.
    [[nodiscard]] bool ReadState(bool& failed);
    [[nodiscard]] bool InterfaceRunning(const std::string& name) const;
    [[nodiscard]] std::optional<unsigned> KernelInterfaceFlags(const std::string& name) const;

    std::string m_procNet;
    InterfaceFlags m_interfaceFlags;
    int m_socket = -1;
    // The two routing tables, opened at the first call and read again from the start at each.
    FileDescriptor m_routes;
    FileDescriptor m_ipv6Routes;
    // Made before the first reading, so that no change after it goes unnoticed; none where every call reads.
    std::unique_ptr<RouteChangeWatch> m_watch;
    std::optional<bool> m_lastAnswer;
};

} // namespace hourlink
