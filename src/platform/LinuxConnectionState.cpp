#include "LinuxConnectionState.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hourlink {
namespace {

constexpr unsigned kRouteUp = 0x0001;     // RTF_UP
constexpr unsigned kRouteReject = 0x0200; // RTF_REJECT

// Reads a small /proc file whole; empty when it cannot be read.
std::string ReadSmallFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return {};
    }
    std::string text;
    std::array<char, 4096> buffer{};
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        text.append(buffer.data(), static_cast<std::size_t>(n));
        if (text.size() > (1u << 20)) {
            break; // a routing table this large is not one we need to read to the end
        }
    }
    ::close(fd);
    return text;
}

unsigned ParseHex(const std::string& text) {
    unsigned value = 0;
    std::istringstream in(text);
    in >> std::hex >> value;
    return in ? value : 0;
}

} // namespace

LinuxConnectionState::LinuxConnectionState(std::string procNet)
    : m_procNet(std::move(procNet)), m_socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

LinuxConnectionState::~LinuxConnectionState() {
    if (m_socket >= 0) {
        ::close(m_socket);
    }
}

std::string LinuxConnectionState::DefaultRouteInterface(const std::string& ipv4Routes, const std::string& ipv6Routes) {
    std::string found;
    auto consider = [&found](const std::string& name, unsigned flags) {
        if (name != "lo" && (flags & kRouteUp) != 0 && (flags & kRouteReject) == 0) {
            found += found.empty() ? name : " " + name;
        }
    };
    // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT
    std::istringstream v4(ipv4Routes);
    std::string line;
    std::getline(v4, line); // header
    while (std::getline(v4, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags, refcnt, use, metric, mask;
        if (fields >> iface >> destination >> gateway >> flags >> refcnt >> use >> metric >> mask &&
            destination == "00000000" && mask == "00000000") {
            consider(iface, ParseHex(flags));
        }
    }
    // destination prefix-length source prefix-length next-hop metric refcnt use flags device
    std::istringstream v6(ipv6Routes);
    while (std::getline(v6, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, source, sourcePrefix, nextHop, metric, refcnt, use, flags, device;
        if (fields >> destination >> prefix >> source >> sourcePrefix >> nextHop >> metric >> refcnt >> use >> flags >>
                device &&
            destination == std::string(32, '0') && prefix == "00") {
            consider(device, ParseHex(flags));
        }
    }
    return found;
}

bool LinuxConnectionState::InterfaceRunning(const std::string& name) const {
    if (m_socket < 0 || name.size() >= IFNAMSIZ) {
        return false;
    }
    ifreq request{};
    std::memcpy(request.ifr_name, name.c_str(), name.size());
    if (::ioctl(m_socket, SIOCGIFFLAGS, &request) != 0) {
        return false;
    }
    const auto flags = static_cast<unsigned>(request.ifr_flags);
    return (flags & IFF_UP) != 0 && (flags & IFF_RUNNING) != 0;
}

bool LinuxConnectionState::InternetGetConnectedState() {
    const std::string names =
        DefaultRouteInterface(ReadSmallFile(m_procNet + "/route"), ReadSmallFile(m_procNet + "/ipv6_route"));
    std::istringstream list(names);
    std::string name;
    while (list >> name) {
        if (InterfaceRunning(name)) {
            return true;
        }
    }
    return false;
}

} // namespace hourlink
