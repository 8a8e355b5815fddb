#pragma once

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

#include "platform/InstanceProtocol.h"

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace hourlink {

// Keeps one running program per log: a lock file and a local socket, both named after the user and the
// working folder, in a folder only this user uses. The first start holds the lock for its whole life and
// answers requests on the socket; a later start learns that one runs and talks to it instead of running.
class SingleInstance final {
public:
    // Lock and socket as <folder>/<name>.lock and <folder>/<name>.socket.
    SingleInstance(const QString& folder, const QString& name);
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // First: the lock is ours (a lock left by a killed program is taken over) and the socket listens.
    // Running: another live program holds it. Unguarded: no lock can be had here at all.
    enum class Claim { First, Running, Unguarded };
    [[nodiscard]] Claim TryClaim();

    // Answers every request after a First claim; the reply goes back before the connection closes.
    using Handler = std::function<InstanceMessage(const InstanceMessage& request)>;
    void SetHandler(Handler handler) { m_handler = std::move(handler); }
    [[nodiscard]] bool Listening() const;

    // Sends one request to the running program and waits for its reply. Unreachable: nobody listens (it
    // may be starting or ending); NoAnswer: it took the request but did not answer in time.
    enum class Outcome { Answered, Unreachable, NoAnswer };
    [[nodiscard]] Outcome Ask(const InstanceMessage& request, std::chrono::milliseconds timeout,
                              InstanceMessage& reply) const;

    [[nodiscard]] const QString& SocketPath() const { return m_socketPath; }
    [[nodiscard]] const QString& LockPath() const { return m_lockPath; }

    // The folder for lock and socket: $XDG_RUNTIME_DIR when it is an existing absolute folder and a
    // socket path in it stays within the system's limit, else the temporary folder.
    [[nodiscard]] static QString Folder(const QString& xdgRuntimeDir, const QString& name);

private:
    void Listen();
    void Serve(QLocalSocket* connection);
    [[nodiscard]] InstanceMessage Answer(const InstanceMessage& request) const;

    QString m_lockPath;
    QString m_socketPath;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
    Handler m_handler;
};

} // namespace hourlink
