#include "runtime/PosixFile.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

namespace hourlink {
namespace {

constexpr int kTemporaryNameAttempts = 100;

// Repeats one transfer call until `size` bytes are through, the call answers 0, or it fails with
// something other than an interruption.
template <class Call> IoResult Transfer(std::size_t size, Call call) {
    IoResult result;
    while (result.done < size) {
        const ssize_t n = call(result.done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            result.error = errno;
            return result;
        }
        if (n == 0) {
            return result;
        }
        result.done += static_cast<std::size_t>(n);
    }
    return result;
}

} // namespace

FileDescriptor::~FileDescriptor() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

FileDescriptor::FileDescriptor(FileDescriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
        m_fd = std::exchange(other.m_fd, -1);
    }
    return *this;
}

int FileDescriptor::Close() noexcept {
    const int fd = std::exchange(m_fd, -1);
    if (::close(fd) == 0 || errno == EINTR) {
        return 0;
    }
    return errno;
}

FileDescriptor OpenFile(const std::string& path, int flags, mode_t mode) {
    int fd = -1;
    do {
        fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
    } while (fd < 0 && errno == EINTR);
    return FileDescriptor(fd);
}

ssize_t ReadSome(int fd, void* buffer, std::size_t size) {
    for (;;) {
        const ssize_t n = ::read(fd, buffer, size);
        if (n >= 0 || errno != EINTR) {
            return n;
        }
    }
}

IoResult ReadFully(int fd, void* buffer, std::size_t size) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    return Transfer(size, [&](std::size_t done) { return ::read(fd, bytes + done, size - done); });
}

IoResult ReadFullyAt(int fd, void* buffer, std::size_t size, std::int64_t offset) {
    auto* bytes = static_cast<unsigned char*>(buffer);
    return Transfer(size, [&](std::size_t done) {
        return ::pread(fd, bytes + done, size - done, offset + static_cast<std::int64_t>(done));
    });
}

int ReadToEnd(int fd, std::string& out, std::size_t limit) {
    std::array<char, 8192> buffer{};
    std::size_t read = 0;
    while (read < limit) {
        const std::size_t want = std::min(buffer.size(), limit - read);
        const ssize_t n = ReadSome(fd, buffer.data(), want);
        if (n < 0) {
            return errno;
        }
        if (n == 0) {
            break;
        }
        out.append(buffer.data(), static_cast<std::size_t>(n));
        read += static_cast<std::size_t>(n);
    }
    return 0;
}

IoResult WriteFully(int fd, const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    return Transfer(size, [&](std::size_t done) { return ::write(fd, bytes + done, size - done); });
}

IoResult WriteFullyAt(int fd, const void* data, std::size_t size, std::int64_t offset) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    return Transfer(size, [&](std::size_t done) {
        return ::pwrite(fd, bytes + done, size - done, offset + static_cast<std::int64_t>(done));
    });
}

int SyncFile(int fd) {
    return ::fsync(fd) == 0 ? 0 : errno;
}

int SyncDirectory(const std::string& path) {
    const FileDescriptor directory = OpenFile(path, O_RDONLY | O_DIRECTORY);
    if (!directory.Valid()) {
        return errno;
    }
    return SyncFile(directory.Get());
}

std::string DirectoryOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos) {
        return ".";
    }
    return slash == 0 ? "/" : path.substr(0, slash);
}

int RenameDurably(const std::string& from, const std::string& to) {
    if (std::rename(from.c_str(), to.c_str()) != 0) {
        return errno;
    }
    (void)SyncDirectory(DirectoryOf(to));
    return 0;
}

FileReplacement::FileReplacement(std::string temporary, std::string target)
    : m_temporary(std::move(temporary)), m_target(std::move(target)) {}

FileReplacement::~FileReplacement() {
    if (!m_committed) {
        std::remove(m_temporary.c_str());
    }
}

int FileReplacement::Commit() {
    const int err = RenameDurably(m_temporary, m_target);
    m_committed = err == 0;
    return err;
}

bool ReplaceFileContent(const std::string& target, std::string_view content, std::optional<mode_t> mode) {
    std::string temporary;
    FileDescriptor file;
    for (int attempt = 0; attempt < kTemporaryNameAttempts && !file.Valid(); ++attempt) {
        temporary = target + ".tmp" + std::to_string(::getpid()) + "-" + std::to_string(attempt);
        file = OpenFile(temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
        if (!file.Valid() && errno != EEXIST) {
            return false;
        }
    }
    if (!file.Valid()) {
        return false;
    }
    FileReplacement replacement(temporary, target);
    if (mode && ::fchmod(file.Get(), *mode) != 0) {
        return false;
    }
    const IoResult written = WriteFully(file.Get(), content.data(), content.size());
    return written.done == content.size() && SyncFile(file.Get()) == 0 && file.Close() == 0 &&
           replacement.Commit() == 0;
}

} // namespace hourlink
