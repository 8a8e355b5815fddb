#include "runtime/PosixFile.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <pthread.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "support/TempDir.h"

namespace hourlink {
namespace {

namespace fs = std::filesystem;

class PosixFileTest : public testing::InTempDir {};

std::string Slurp(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> FolderEntries() {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>(i * 7 % 251);
    }
    return bytes;
}

std::atomic<int> g_signals{0};

// Keeps signalling one thread while it is blocked in a pipe, with a handler installed without SA_RESTART, so
// its read or write comes back interrupted or part done.
// Holds the other side of a transfer back until the interrupted side has been hit at least once, so that a
// fast machine cannot finish the whole transfer before the first signal; gives up after 5 s.
void AwaitFirstSignal() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (g_signals.load() == 0 && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
}

class Interrupter {
public:
    explicit Interrupter(pthread_t target) {
        struct sigaction action {};
        action.sa_handler = [](int) { ++g_signals; };
        sigemptyset(&action.sa_mask);
        action.sa_flags = 0;
        ::sigaction(SIGUSR1, &action, &m_previous);
        m_thread = std::thread([this, target] {
            while (!m_stop) {
                ::pthread_kill(target, SIGUSR1);
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            }
        });
    }
    ~Interrupter() {
        m_stop = true;
        m_thread.join();
        ::sigaction(SIGUSR1, &m_previous, nullptr);
    }
    Interrupter(const Interrupter&) = delete;
    Interrupter& operator=(const Interrupter&) = delete;

private:
    struct sigaction m_previous {};
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

// Lets files grow to `bytes` only, as a full quota would: a write that crosses the limit writes up to it,
// the next one fails with EFBIG.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        m_previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        ::getrlimit(RLIMIT_FSIZE, &m_previous);
        rlimit limit = m_previous;
        limit.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &m_previous);
        std::signal(SIGXFSZ, m_previousHandler);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit m_previous{};
    void (*m_previousHandler)(int) = nullptr;
};

struct Pipe {
    Pipe() {
        int ends[2];
        if (::pipe(ends) == 0) {
            read = FileDescriptor(ends[0]);
            write = FileDescriptor(ends[1]);
        }
    }
    FileDescriptor read;
    FileDescriptor write;
};

TEST_F(PosixFileTest, WholeTransfersGoOnAfterInterruptionsAndPartialCalls) {
    const std::string bytes = Pattern(4 << 20); // far more than a pipe holds, so the writer blocks
    // A side that stops early closes its end; the other then fails with EPIPE rather than end the test.
    const auto previousPipeHandler = std::signal(SIGPIPE, SIG_IGN);
    std::string received(bytes.size(), '\0');
    {
        Pipe pipe;
        ASSERT_TRUE(pipe.read.Valid());
        g_signals = 0;
        IoResult read;
        std::thread reader([&] {
            AwaitFirstSignal();
            read = ReadFully(pipe.read.Get(), received.data(), received.size());
        });
        IoResult written;
        {
            const Interrupter interrupter(::pthread_self());
            written = WriteFully(pipe.write.Get(), bytes.data(), bytes.size());
        }
        EXPECT_EQ(pipe.write.Close(), 0); // a reader left short sees the end instead of waiting
        reader.join();
        EXPECT_GT(g_signals.load(), 0);
        EXPECT_EQ(written.done, bytes.size());
        EXPECT_EQ(written.error, 0);
        EXPECT_EQ(read.done, bytes.size());
        EXPECT_TRUE(received == bytes);
    }

    // The other way round: the reader is the one interrupted while it waits for the writer.
    Pipe pipe;
    g_signals = 0;
    std::thread writer([&] {
        AwaitFirstSignal();
        for (std::size_t at = 0; at < bytes.size(); at += 100000) {
            (void)WriteFully(pipe.write.Get(), bytes.data() + at, std::min<std::size_t>(100000, bytes.size() - at));
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    received.assign(bytes.size(), '\0');
    IoResult read;
    {
        const Interrupter interrupter(::pthread_self());
        read = ReadFully(pipe.read.Get(), received.data(), received.size());
    }
    EXPECT_EQ(pipe.read.Close(), 0); // a writer left blocked gets EPIPE instead of waiting
    writer.join();
    EXPECT_GT(g_signals.load(), 0);
    EXPECT_EQ(read.done, bytes.size());
    EXPECT_EQ(read.error, 0);
    EXPECT_TRUE(received == bytes);
    std::signal(SIGPIPE, previousPipeHandler);
}

TEST_F(PosixFileTest, AShortWriteTellsHowFarItGotAndWhy) {
    const std::string bytes = Pattern(10000);
    const FileDescriptor file = OpenFile("out.bin", O_WRONLY | O_CREAT | O_TRUNC, 0666);
    ASSERT_TRUE(file.Valid());
    {
        const FileSizeLimit limit(4100);
        const IoResult written = WriteFully(file.Get(), bytes.data(), bytes.size());
        EXPECT_EQ(written.done, 4100u);
        EXPECT_EQ(written.error, EFBIG);
        const IoResult at = WriteFullyAt(file.Get(), bytes.data(), 200, 4000);
        EXPECT_EQ(at.done, 100u);
        EXPECT_EQ(at.error, EFBIG);
    }
    EXPECT_EQ(fs::file_size("out.bin"), 4100u);
    EXPECT_EQ(Slurp("out.bin").substr(4000), bytes.substr(0, 100));

    const FileDescriptor full = OpenFile("/dev/full", O_WRONLY);
    ASSERT_TRUE(full.Valid());
    const IoResult none = WriteFully(full.Get(), bytes.data(), bytes.size());
    EXPECT_EQ(none.done, 0u);
    EXPECT_EQ(none.error, ENOSPC);
}

TEST_F(PosixFileTest, ReadsStopAtTheEndOfTheFileOrTheLimit) {
    const std::string bytes = Pattern(20000); // more than one block of ReadToEnd
    std::ofstream("in.bin", std::ios::binary) << bytes;
    const FileDescriptor file = OpenFile("in.bin", O_RDONLY);
    ASSERT_TRUE(file.Valid());
    std::string block(100, '\0');
    const IoResult tail = ReadFullyAt(file.Get(), block.data(), block.size(), 19950);
    EXPECT_EQ(tail.done, 50u);
    EXPECT_EQ(tail.error, 0);
    EXPECT_EQ(block.substr(0, 50), bytes.substr(19950));
    EXPECT_EQ(ReadFullyAt(file.Get(), block.data(), block.size(), 30000).done, 0u);

    std::string all;
    EXPECT_EQ(ReadToEnd(file.Get(), all), 0);
    EXPECT_TRUE(all == bytes) << "positional reads left the file position at the start";
    std::string some = "kept:";
    ASSERT_EQ(::lseek(file.Get(), 0, SEEK_SET), 0);
    EXPECT_EQ(ReadToEnd(file.Get(), some, 8193), 0);
    EXPECT_TRUE(some == "kept:" + bytes.substr(0, 8193));

    const FileDescriptor folder = OpenFile(".", O_RDONLY | O_DIRECTORY);
    std::string nothing;
    EXPECT_EQ(ReadToEnd(folder.Get(), nothing), EISDIR);
    EXPECT_EQ(ReadFully(folder.Get(), block.data(), block.size()).error, EISDIR);
}

TEST_F(PosixFileTest, TheOwnerClosesOnceWhereverTheDescriptorWent) {
    int fd = -1;
    {
        FileDescriptor first = OpenFile(".", O_RDONLY | O_DIRECTORY);
        fd = first.Get();
        ASSERT_GE(fd, 0);
        EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
        FileDescriptor second = std::move(first);
        EXPECT_FALSE(first.Valid()); // NOLINT(bugprone-use-after-move): moved-from is empty by design
        EXPECT_EQ(second.Get(), fd);
    }
    EXPECT_EQ(::fcntl(fd, F_GETFD), -1) << "closed when its last owner went";
    FileDescriptor file = OpenFile("absent", O_RDONLY);
    EXPECT_FALSE(file.Valid());
    EXPECT_EQ(errno, ENOENT);
    EXPECT_EQ(file.Close(), EBADF) << "closing nothing is reported";
}

TEST_F(PosixFileTest, AReplacementPutsTheWholeNewFileInPlaceAndLeavesNothingBehind) {
    std::ofstream("settings.ini") << "old";
    ASSERT_TRUE(ReplaceFileContent("settings.ini", "new content", 0640));
    EXPECT_EQ(Slurp("settings.ini"), "new content");
    EXPECT_EQ(fs::status("settings.ini").permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"settings.ini"}));

    // A temporary name in use by someone else is left alone; the next one is taken.
    const std::string taken = "settings.ini.tmp" + std::to_string(::getpid()) + "-0";
    std::ofstream(taken) << "someone else's";
    ASSERT_TRUE(ReplaceFileContent("settings.ini", "newer", std::nullopt));
    EXPECT_EQ(Slurp("settings.ini"), "newer");
    EXPECT_EQ(Slurp(taken), "someone else's");
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"settings.ini", taken}));
}

TEST_F(PosixFileTest, AReplacementThatFailsHalfWayLeavesTheTargetAsItWas) {
    const std::string old = Pattern(100);
    std::ofstream("settings.ini", std::ios::binary) << old;
    {
        const FileSizeLimit limit(1000);
        EXPECT_FALSE(ReplaceFileContent("settings.ini", Pattern(5000), std::nullopt)) << "the write stops part way";
    }
    EXPECT_TRUE(Slurp("settings.ini") == old);
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"settings.ini"}));

    // The rename fails: a folder that is not empty cannot be replaced by a file.
    fs::create_directory("folder");
    std::ofstream("folder/inside") << "x";
    EXPECT_FALSE(ReplaceFileContent("folder", "content", std::nullopt));
    EXPECT_EQ(Slurp("folder/inside"), "x");
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"folder", "settings.ini"}));

    // A replacement given up before its commit, or whose commit failed, takes its temporary file with it.
    {
        const FileReplacement abandoned("part", "settings.ini");
        std::ofstream("part") << "half";
    }
    {
        FileReplacement refused("part", "folder");
        std::ofstream("part") << "whole";
        EXPECT_NE(refused.Commit(), 0);
        EXPECT_TRUE(fs::exists("part")) << "removed only when the replacement goes";
    }
    EXPECT_EQ(FolderEntries(), (std::vector<std::string>{"folder", "settings.ini"}));
    {
        FileReplacement done("part", "settings.ini");
        std::ofstream("part") << "whole";
        EXPECT_EQ(done.Commit(), 0);
    }
    EXPECT_EQ(Slurp("settings.ini"), "whole");
}

TEST(PosixFilePaths, DirectoryOfAPath) {
    EXPECT_EQ(DirectoryOf("datatime.dat"), ".");
    EXPECT_EQ(DirectoryOf("/hour_link.ini"), "/");
    EXPECT_EQ(DirectoryOf("/home/u/.config/hourlink/hour_link.ini"), "/home/u/.config/hourlink");
    EXPECT_EQ(DirectoryOf("a/b"), "a");
}

} // namespace
} // namespace hourlink
