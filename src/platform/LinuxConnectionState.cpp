#include "platform/LinuxConnectionState.h"

#include <cstring>
#include <fcntl.h>
#include <net/if.h>
#include <string_view>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>
#include <utility>
#include <vector>

#include "runtime/PosixFile.h"

namespace hourlink {
namespace {

constexpr unsigned kRouteUp = 0x0001;     // RTF_UP
constexpr unsigned kRouteReject = 0x0200; // RTF_REJECT

// A routing table this large is not one we need to read to the end.
constexpr std::size_t kMaxTableBytes = (1u << 20) + 4096;

// Reads a routing table whole from the start, keeping it open between calls: opening a /proc file costs
// the kernel a lookup and a new inode each time, while a read from the start gives its current contents.
// Empty when it cannot be opened (a kernel without IPv6 has no such table). After a failing read, what was
// read before it, with `failed` set; the file is then opened anew next time.
std::string ReadTable(FileDescriptor& file, const std::string& path, bool& failed) {
    if (!file.Valid()) {
        file = OpenFile(path, O_RDONLY);
    }
    std::string text;
    if (file.Valid() && (::lseek(file.Get(), 0, SEEK_SET) != 0 || ReadToEnd(file.Get(), text, kMaxTableBytes) != 0)) {
        file = FileDescriptor();
        failed = true;
    }
    return text;
}

unsigned ParseHex(std::string_view text) {
    unsigned value = 0;
    for (char c : text) {
        const int digit = c >= '0' && c <= '9'   ? c - '0'
                          : c >= 'a' && c <= 'f' ? c - 'a' + 10
                          : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                 : -1;
        if (digit < 0) {
            return 0;
        }
        value = value * 16 + static_cast<unsigned>(digit);
    }
    return value;
}

// Calls `visit` for each blank-separated field of a line, the first `max` of them.
template <class Visit> void ForEachField(std::string_view line, Visit visit, std::size_t max = std::string_view::npos) {
    std::size_t i = 0;
    for (std::size_t n = 0; i < line.size() && n < max;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) {
            ++i;
        }
        const std::size_t start = i;
        while (i < line.size() && line[i] != ' ' && line[i] != '\t') {
            ++i;
        }
        if (i > start) {
            visit(line.substr(start, i - start));
            ++n;
        }
    }
}

// The first `max` blank-separated fields of a line.
std::vector<std::string_view> Fields(std::string_view line, std::size_t max) {
    std::vector<std::string_view> fields;
    ForEachField(
        line, [&fields](std::string_view field) { fields.push_back(field); }, max);
    return fields;
}

// Calls `visit` for every line of a text.
template <class Visit> void ForEachLine(std::string_view text, Visit visit) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        visit(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
}

} // namespace

LinuxConnectionState::LinuxConnectionState() : LinuxConnectionState("/proc/net") {
    m_watch = std::make_unique<RouteChangeWatch>();
}

LinuxConnectionState::LinuxConnectionState(std::string procNet)
    : m_procNet(std::move(procNet)), m_socket(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0)) {}

LinuxConnectionState::LinuxConnectionState(std::string procNet, InterfaceFlags interfaceFlags)
    : m_procNet(std::move(procNet)), m_interfaceFlags(std::move(interfaceFlags)) {}

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
    // Iface Destination Gateway Flags RefCnt Use Metric Mask MTU Window IRTT, after a header line
    bool header = true;
    ForEachLine(ipv4Routes, [&](std::string_view line) {
        if (std::exchange(header, false)) {
            return;
        }
        const auto f = Fields(line, 8);
        if (f.size() == 8 && f[1] == "00000000" && f[7] == "00000000") {
            consider(std::string(f[0]), ParseHex(f[3]));
        }
    });
    // destination prefix-length source prefix-length next-hop metric refcnt use flags device
    ForEachLine(ipv6Routes, [&](std::string_view line) {
        const auto f = Fields(line, 10);
        if (f.size() == 10 && f[0] == "00000000000000000000000000000000" && f[1] == "00") {
            consider(std::string(f[9]), ParseHex(f[8]));
        }
    });
    return found;
}

std::optional<unsigned> LinuxConnectionState::KernelInterfaceFlags(const std::string& name) const {
    if (m_socket < 0 || name.size() >= IFNAMSIZ) {
        return std::nullopt;
    }
    ifreq request{};
    std::memcpy(request.ifr_name, name.c_str(), name.size());
    if (::ioctl(m_socket, SIOCGIFFLAGS, &request) != 0) {
        return std::nullopt;
    }
    return static_cast<unsigned short>(request.ifr_flags);
}

bool LinuxConnectionState::InterfaceRunning(const std::string& name) const {
    const std::optional<unsigned> flags = m_interfaceFlags ? m_interfaceFlags(name) : KernelInterfaceFlags(name);
    return flags.has_value() && (*flags & IFF_UP) != 0 && (*flags & IFF_RUNNING) != 0;
}

bool LinuxConnectionState::InternetGetConnectedState() {
    // Told of the changes first, so that one during the reading is read again next time.
    const bool changed = m_watch == nullptr || m_watch->Changed();
    if (!changed && m_lastAnswer.has_value()) {
        return *m_lastAnswer;
    }
    bool failed = false;
    const bool connected = ReadState(failed);
    // An answer from a failed read is not kept: the next call reads again.
    m_lastAnswer = failed ? std::nullopt : std::optional<bool>(connected);
    return connected;
}

bool LinuxConnectionState::ReadState(bool& failed) {
    // The IPv6 table is read only when no IPv4 default route leads anywhere.
    auto anyRunning = [this](const std::string& names) {
        bool running = false;
        ForEachField(names, [&](std::string_view name) { running = running || InterfaceRunning(std::string(name)); });
        return running;
    };
    return anyRunning(DefaultRouteInterface(ReadTable(m_routes, m_procNet + "/route", failed), {})) ||
           anyRunning(DefaultRouteInterface({}, ReadTable(m_ipv6Routes, m_procNet + "/ipv6_route", failed)));
}

} // namespace hourlink
