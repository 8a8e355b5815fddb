#include "faults/MountSandbox.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sched.h>
#include <string>
#include <sys/mount.h>
#include <sys/statvfs.h>
#include <system_error>
#include <unistd.h>
#include <vector>

namespace hourlink::testing {
namespace {

bool g_mountsAllowed = false;
std::string g_refusedBecause = "EnterPrivateMountNamespace was not called";
constexpr const char* kFillerName = ".filler";

[[noreturn]] void Fail(const std::string& what) {
    throw std::system_error(errno, std::generic_category(), what);
}

void Mount(const char* source, const std::filesystem::path& target, const char* type, unsigned long flags,
           const std::string& options) {
    if (::mount(source, target.c_str(), type, flags, options.empty() ? nullptr : options.c_str()) != 0) {
        Fail("mount " + target.string() + " " + options);
    }
}

std::string SizeOptions(std::uint64_t bytes, std::uint64_t inodes) {
    std::string options = "size=" + std::to_string(bytes);
    if (inodes != Sandbox::kUnlimitedInodes) {
        options += ",nr_inodes=" + std::to_string(inodes);
    }
    return options;
}

} // namespace

bool EnterPrivateMountNamespace() {
    g_mountsAllowed = false;
    if (::geteuid() != 0) {
        g_refusedBecause = "mounting needs root; running as uid " + std::to_string(::geteuid());
    } else if (::unshare(CLONE_NEWNS) != 0) {
        g_refusedBecause = std::string("unshare(CLONE_NEWNS) failed: ") + std::strerror(errno);
    } else if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
        g_refusedBecause = std::string("making / a private mount failed: ") + std::strerror(errno);
    } else {
        g_refusedBecause.clear();
        g_mountsAllowed = true;
    }
    return g_mountsAllowed;
}

bool MountsAllowed() {
    return g_mountsAllowed;
}

std::string MountsRefusedBecause() {
    return g_refusedBecause;
}

Sandbox::Sandbox(std::uint64_t bytes, std::uint64_t inodes) : m_path(std::filesystem::current_path() / "disk") {
    std::filesystem::create_directory(m_path);
    Mount("hourlink-fault", m_path, "tmpfs", MS_NOSUID | MS_NODEV, SizeOptions(bytes, inodes) + ",mode=0755");
    // The working directory was looked up before the mount; enter the new file system.
    std::filesystem::current_path(m_path);
}

Sandbox::~Sandbox() {
    std::error_code ec;
    std::filesystem::current_path(m_path.parent_path(), ec);
    // Lazily, so a file still open somewhere cannot keep the test's folder from going.
    ::umount2(m_path.c_str(), MNT_DETACH);
}

void Sandbox::Resize(std::uint64_t bytes, std::uint64_t inodes) {
    Mount(nullptr, m_path, nullptr, MS_REMOUNT | MS_NOSUID | MS_NODEV, SizeOptions(bytes, inodes));
}

std::uint64_t Sandbox::FillUp() {
    const std::filesystem::path filler = m_path / kFillerName;
    const int fd = ::open(filler.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (fd < 0) {
        Fail("open filler");
    }
    const std::vector<char> block(4096, '\x5a');
    std::uint64_t total = 0;
    for (;;) {
        const ssize_t n = ::write(fd, block.data(), block.size());
        if (n <= 0) {
            break;
        }
        total += static_cast<std::uint64_t>(n);
    }
    ::close(fd);
    return total;
}

void Sandbox::FreeFiller() {
    std::filesystem::remove(m_path / kFillerName);
}

std::uint64_t Sandbox::FreeBytes() const {
    struct statvfs st {};
    if (::statvfs(m_path.c_str(), &st) != 0) {
        Fail("statvfs");
    }
    return static_cast<std::uint64_t>(st.f_bavail) * st.f_frsize;
}

void Sandbox::MakeReadOnly(const std::filesystem::path& relative) {
    const std::filesystem::path target = relative.empty() ? m_path : m_path / relative;
    // The flag goes on the mount, not on the file system, so a file bound in rw earlier stays writable.
    // Anything else gets a bind mount of its own first; the sandbox's root is one already, and keeping
    // it so keeps the working directory on the read-only mount.
    if (!relative.empty()) {
        Mount(target.c_str(), target, nullptr, MS_BIND, "");
    }
    Mount(nullptr, target, nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY | MS_NOSUID | MS_NODEV, "");
}

void Sandbox::KeepWritable(const std::filesystem::path& relative) {
    const std::filesystem::path target = m_path / relative;
    Mount(target.c_str(), target, nullptr, MS_BIND, "");
}

} // namespace hourlink::testing
