#include "platform/SingleInstance.h"

#include <sys/un.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QTimer>

namespace hourlink {
namespace {

// A client that connects and then says nothing is dropped after this, so it cannot hold a connection.
constexpr int kRequestTimeoutMs = 2000;

InstanceMessage ErrorReply(const char* reason) {
    InstanceMessage reply;
    reply.word = "error";
    reply.reason = reason;
    return reply;
}

std::size_t SocketPathLimit() {
    return sizeof(sockaddr_un::sun_path) - 1;
}

QString SocketPathIn(const QString& folder, const QString& name) {
    return folder + QLatin1Char('/') + name + QStringLiteral(".socket");
}

} // namespace

SingleInstance::SingleInstance(const QString& folder, const QString& name)
    : m_lockPath(folder + QLatin1Char('/') + name + QStringLiteral(".lock")), m_socketPath(SocketPathIn(folder, name)) {
}

SingleInstance::~SingleInstance() {
    // The socket goes before the lock, so a start that finds the lock free never meets our socket file.
    m_server.reset();
}

QString SingleInstance::Folder(const QString& xdgRuntimeDir, const QString& name) {
    const QFileInfo runtime(xdgRuntimeDir);
    if (!xdgRuntimeDir.isEmpty() && runtime.isAbsolute() && runtime.isDir() &&
        static_cast<std::size_t>(SocketPathIn(xdgRuntimeDir, name).toLocal8Bit().size()) <= SocketPathLimit()) {
        return QDir::cleanPath(xdgRuntimeDir);
    }
    return QDir::cleanPath(QDir::tempPath());
}

SingleInstance::Claim SingleInstance::TryClaim() {
    if (!m_lock) {
        m_lock = std::make_unique<QLockFile>(m_lockPath);
        // Held for the program's life, so age says nothing; a lock whose program is gone is stale at once.
        m_lock->setStaleLockTime(0);
    }
    if (m_lock->isLocked()) {
        return Claim::First;
    }
    if (m_lock->tryLock(0)) {
        Listen();
        return Claim::First;
    }
    return m_lock->error() == QLockFile::LockFailedError ? Claim::Running : Claim::Unguarded;
}

bool SingleInstance::Listening() const {
    return m_server && m_server->isListening();
}

void SingleInstance::Listen() {
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    // With the lock ours, a socket file there was left by a program that was killed.
    QLocalServer::removeServer(m_socketPath);
    if (!m_server->listen(m_socketPath)) {
        // Without the socket the lock still keeps a second program from recording; it is told that
        // this one does not answer.
        m_server.reset();
        return;
    }
    QObject::connect(m_server.get(), &QLocalServer::newConnection, m_server.get(), [this] {
        while (QLocalSocket* connection = m_server->nextPendingConnection()) {
            Serve(connection);
        }
    });
}

void SingleInstance::Serve(QLocalSocket* connection) {
    QObject::connect(connection, &QLocalSocket::disconnected, connection, &QObject::deleteLater);
    QTimer::singleShot(kRequestTimeoutMs, connection, [connection] { connection->abort(); });
    auto received = std::make_shared<std::string>();
    QObject::connect(connection, &QLocalSocket::readyRead, connection, [this, connection, received] {
        const QByteArray bytes = connection->readAll();
        if (connection->state() != QLocalSocket::ConnectedState) {
            // Answered already and closing: one request per connection.
            return;
        }
        received->append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        const ReadResult read = ReadInstanceMessage(*received);
        if (read.state == ReadState::Incomplete) {
            return;
        }
        const InstanceMessage reply = read.state == ReadState::Complete ? Answer(read.message) : read.message;
        connection->write(QByteArray::fromStdString(FormatInstanceMessage(reply)));
        connection->disconnectFromServer();
    });
}

InstanceMessage SingleInstance::Answer(const InstanceMessage& request) const {
    if (request.version != kInstanceProtocolVersion) {
        return ErrorReply(kUnsupportedVersionError);
    }
    if (!m_handler) {
        return ErrorReply(kUnknownRequestError);
    }
    return m_handler(request);
}

SingleInstance::Outcome SingleInstance::Ask(const InstanceMessage& request, std::chrono::milliseconds timeout,
                                            InstanceMessage& reply) const {
    QElapsedTimer clock;
    clock.start();
    const auto left = [&] { return std::max<qint64>(0, timeout.count() - clock.elapsed()); };
    QLocalSocket socket;
    socket.connectToServer(m_socketPath);
    if (!socket.waitForConnected(static_cast<int>(left()))) {
        return socket.error() == QLocalSocket::SocketTimeoutError ? Outcome::NoAnswer : Outcome::Unreachable;
    }
    socket.write(QByteArray::fromStdString(FormatInstanceMessage(request)));
    std::string received;
    while (true) {
        if (socket.bytesToWrite() > 0) {
            socket.waitForBytesWritten(static_cast<int>(left()));
        }
        const QByteArray bytes = socket.readAll();
        received.append(bytes.constData(), static_cast<std::size_t>(bytes.size()));
        const ReadResult read = ReadInstanceMessage(received);
        if (read.state != ReadState::Incomplete) {
            reply = read.message;
            return Outcome::Answered;
        }
        if (socket.state() != QLocalSocket::ConnectedState) {
            // It went away without a reply, as a program that is just ending does.
            return Outcome::Unreachable;
        }
        if (left() == 0) {
            return Outcome::NoAnswer;
        }
        if (!socket.waitForReadyRead(static_cast<int>(left())) && socket.error() == QLocalSocket::SocketTimeoutError) {
            return Outcome::NoAnswer;
        }
    }
}

} // namespace hourlink
