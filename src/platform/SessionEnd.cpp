#include "platform/SessionEnd.h"

#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace hourlink {
namespace {

// The write end of the signal pipe; a signal handler can reach nothing else.
int g_signalWriteFd = -1;
int g_signalReadFd = -1;

void OnSignal(int) {
    const char byte = 1;
    const ssize_t ignored = ::write(g_signalWriteFd, &byte, 1);
    (void)ignored;
}

} // namespace

SessionEnd::SessionEnd(QObject* parent) : QObject(parent) {
    int fds[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, fds) == 0) {
        g_signalWriteFd = fds[0];
        g_signalReadFd = fds[1];
        m_notifier = new QSocketNotifier(g_signalReadFd, QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, [this] {
            char buffer[16];
            while (::read(g_signalReadFd, buffer, sizeof buffer) > 0) {
            }
            if (!m_emitted) {
                m_emitted = true;
                emit Ending();
            }
        });
        struct sigaction action {};
        action.sa_handler = OnSignal;
        sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
            ::sigaction(sig, &action, nullptr);
        }
    }
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) {
            if (!m_emitted) {
                m_emitted = true;
                emit Ending();
            }
        });
    }
}

SessionEnd::~SessionEnd() {
    struct sigaction action {};
    action.sa_handler = SIG_DFL;
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(sig, &action, nullptr);
    }
    delete m_notifier;
    m_notifier = nullptr;
    if (g_signalWriteFd >= 0) {
        ::close(g_signalWriteFd);
        ::close(g_signalReadFd);
    }
    g_signalWriteFd = g_signalReadFd = -1;
}

} // namespace hourlink
