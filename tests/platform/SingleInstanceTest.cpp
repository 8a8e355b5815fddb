#include "platform/SingleInstance.h"

#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QSysInfo>

#include <future>

#include <gtest/gtest.h>

#include "support/TempDir.h"
#include "support/WaitFor.h"

namespace hourlink {
namespace {

using namespace std::chrono_literals;

class SingleInstanceTest : public hourlink::testing::InTempDir {
protected:
    const QString m_folder = QDir::currentPath();
    const QString m_name = QStringLiteral("hourlink-test");

    // Asks from a thread of its own while this one runs the event loop that answers.
    SingleInstance::Outcome AskWhileServing(const SingleInstance& asker, const InstanceMessage& request,
                                            InstanceMessage& reply) {
        auto asked = std::async(std::launch::async, [&] { return asker.Ask(request, 3s, reply); });
        EXPECT_TRUE(hourlink::testing::WaitFor([&] { return asked.wait_for(0ms) == std::future_status::ready; }, 4000));
        return asked.get();
    }
    static InstanceMessage Request(const char* word, int version = kInstanceProtocolVersion) {
        InstanceMessage request;
        request.word = word;
        request.version = version;
        return request;
    }
};

TEST_F(SingleInstanceTest, TheFirstClaimHoldsAndLaterOnesSeeItRunningUntilItEnds) {
    auto first = std::make_unique<SingleInstance>(m_folder, m_name);
    EXPECT_EQ(first->TryClaim(), SingleInstance::Claim::First);
    EXPECT_TRUE(first->Listening());
    EXPECT_EQ(first->TryClaim(), SingleInstance::Claim::First) << "asking again changes nothing";
    SingleInstance second(m_folder, m_name);
    EXPECT_EQ(second.TryClaim(), SingleInstance::Claim::Running);
    EXPECT_FALSE(second.Listening());
    SingleInstance otherFolder(m_folder, QStringLiteral("hourlink-other"));
    EXPECT_EQ(otherFolder.TryClaim(), SingleInstance::Claim::First);
    first.reset();
    EXPECT_FALSE(QFile::exists(m_folder + "/hourlink-test.socket"));
    EXPECT_EQ(second.TryClaim(), SingleInstance::Claim::First);
}

TEST_F(SingleInstanceTest, ARequestReachesTheHandlerAndItsReplyComesBack) {
    SingleInstance first(m_folder, m_name);
    ASSERT_EQ(first.TryClaim(), SingleInstance::Claim::First);
    std::vector<InstanceMessage> handled;
    first.SetHandler([&handled](const InstanceMessage& request) {
        handled.push_back(request);
        InstanceMessage reply;
        reply.word = "ok";
        return reply;
    });
    SingleInstance second(m_folder, m_name);
    InstanceMessage raise = Request(kRaiseRequest);
    raise.fields[kStartupIdField] = "launcher_TIME42";
    InstanceMessage reply;
    EXPECT_EQ(AskWhileServing(second, raise, reply), SingleInstance::Outcome::Answered);
    EXPECT_EQ(reply.word, "ok");
    ASSERT_EQ(handled.size(), 1u);
    EXPECT_EQ(handled[0].word, "raise");
    EXPECT_EQ(handled[0].fields.at(kStartupIdField), "launcher_TIME42");
}

TEST_F(SingleInstanceTest, WithoutAHandlerOrInAnotherVersionTheReplyIsAnError) {
    SingleInstance first(m_folder, m_name);
    ASSERT_EQ(first.TryClaim(), SingleInstance::Claim::First);
    SingleInstance second(m_folder, m_name);
    InstanceMessage reply;
    EXPECT_EQ(AskWhileServing(second, Request("state"), reply), SingleInstance::Outcome::Answered);
    EXPECT_EQ(reply.reason, kUnknownRequestError);
    first.SetHandler([](const InstanceMessage&) { return InstanceMessage{}; });
    EXPECT_EQ(AskWhileServing(second, Request(kRaiseRequest, 2), reply), SingleInstance::Outcome::Answered);
    EXPECT_EQ(reply.reason, kUnsupportedVersionError);
}

TEST_F(SingleInstanceTest, GarbageGetsAnErrorAndSilenceIsDropped) {
    SingleInstance first(m_folder, m_name);
    ASSERT_EQ(first.TryClaim(), SingleInstance::Claim::First);
    int handled = 0;
    first.SetHandler([&handled](const InstanceMessage&) {
        ++handled;
        return InstanceMessage{};
    });
    QLocalSocket garbage;
    garbage.connectToServer(first.SocketPath());
    ASSERT_TRUE(garbage.waitForConnected(1000));
    garbage.write("GET / HTTP/1.0\n\n");
    EXPECT_TRUE(hourlink::testing::WaitFor([&] { return garbage.bytesAvailable() > 0; }, 2000));
    EXPECT_EQ(garbage.readAll().toStdString(), "hourlink/1 error malformed\n\n");

    QLocalSocket silent;
    silent.connectToServer(first.SocketPath());
    ASSERT_TRUE(silent.waitForConnected(1000));
    EXPECT_TRUE(hourlink::testing::WaitFor([&] { return silent.state() == QLocalSocket::UnconnectedState; }, 4000))
        << "a client that says nothing must not keep its connection";
    EXPECT_EQ(handled, 0);
}

TEST_F(SingleInstanceTest, NobodyListeningIsUnreachableAndAProgramThatDoesNotServeGivesNoAnswer) {
    SingleInstance nobody(m_folder, m_name);
    InstanceMessage reply;
    EXPECT_EQ(nobody.Ask(Request(kRaiseRequest), 300ms, reply), SingleInstance::Outcome::Unreachable);
    // The kernel takes the connection, but no event loop ever reads it.
    QLocalServer stuck;
    ASSERT_TRUE(stuck.listen(nobody.SocketPath()));
    EXPECT_EQ(nobody.Ask(Request(kRaiseRequest), 300ms, reply), SingleInstance::Outcome::NoAnswer);
}

TEST_F(SingleInstanceTest, ALockLeftByAKilledProgramAndASocketFileNotOursAreTakenOver) {
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::_exit(0);
    }
    ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    // The lock file as the dead program left it: its process id, its name and its host.
    QFile lock(m_folder + "/hourlink-test.lock");
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(child) + '\n' + QCoreApplication::applicationName().toUtf8() + '\n' +
               QSysInfo::machineHostName().toUtf8() + '\n');
    lock.close();
    QFile socket(m_folder + "/hourlink-test.socket");
    ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    socket.write("not a socket");
    socket.close();

    SingleInstance next(m_folder, m_name);
    EXPECT_EQ(next.TryClaim(), SingleInstance::Claim::First);
    EXPECT_TRUE(next.Listening());
}

TEST_F(SingleInstanceTest, NoWritableFolderRunsUnguarded) {
    SingleInstance nowhere(m_folder + "/missing", m_name);
    EXPECT_EQ(nowhere.TryClaim(), SingleInstance::Claim::Unguarded);
}

TEST_F(SingleInstanceTest, TheRuntimeFolderIsUsedOnlyWhenItIsThereAndShortEnough) {
    const QString temp = QDir::cleanPath(QDir::tempPath());
    EXPECT_EQ(SingleInstance::Folder(m_folder, m_name), m_folder);
    EXPECT_EQ(SingleInstance::Folder(m_folder + "/", m_name), m_folder);
    EXPECT_EQ(SingleInstance::Folder(QString(), m_name), temp);
    EXPECT_EQ(SingleInstance::Folder(m_folder + "/missing", m_name), temp);
    EXPECT_EQ(SingleInstance::Folder(QStringLiteral("relative"), m_name), temp);
    const QString deep = m_folder + "/" + QString(100, QLatin1Char('d'));
    ASSERT_TRUE(QDir().mkpath(deep));
    EXPECT_EQ(SingleInstance::Folder(deep, m_name), temp) << "a socket path must stay under 108 bytes";
}

} // namespace
} // namespace hourlink
