#pragma once

#include <atomic>
#include <chrono>
#include <fcntl.h>
#include <stdexcept>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace hourlink::testing {

// A named pipe whose writer has put `bytes` into it and then stays open (up to five seconds), so a
// reader that wanted more would have to wait: whoever reads it must stop on its own.
class OpenPipe {
public:
    OpenPipe(const char* name, std::string bytes) {
        if (::mkfifo(name, 0600) != 0) {
            throw std::runtime_error("mkfifo");
        }
        m_writer = std::thread([this, name, bytes = std::move(bytes)] {
            // Read-write, so the pipe has its writer before any reader opens it.
            const int fd = ::open(name, O_RDWR);
            (void)::write(fd, bytes.data(), bytes.size());
            m_written = true;
            const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
            while (!m_release && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(5));
            }
            m_closed = true;
            ::close(fd);
        });
        while (!m_written) {
            std::this_thread::yield();
        }
    }
    ~OpenPipe() {
        m_release = true;
        m_writer.join();
    }
    OpenPipe(const OpenPipe&) = delete;
    OpenPipe& operator=(const OpenPipe&) = delete;

    [[nodiscard]] bool WriterClosed() const { return m_closed; }

private:
    std::atomic<bool> m_release{false};
    std::atomic<bool> m_closed{false};
    std::atomic<bool> m_written{false};
    std::thread m_writer;
};

} // namespace hourlink::testing
