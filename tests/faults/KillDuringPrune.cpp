// Kills the real program with SIGKILL at moments spread over its start-up pruning of a log of 100,000
// records, again and again, and checks after every kill that the log holds exactly the old records or
// exactly the pruned ones, that a scratch file left behind is a whole copy, and that the next start,
// left to finish, ends with the pruned log and no scratch file at all. Some kills must leave the old log
// and some the pruned one, or the moment of the replacement went untested: up to four rounds of kills,
// each spread anew, before the run fails.
//
// Usage: hourlink_fault_kill <hourlink executable> [kills] [seed]
// Exits 0 when every check held, 1 when one failed, 77 (skipped) without root, which the private
// network namespace needs: with no connection in sight, the program never writes a record of its own.

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <random>
#include <sched.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr int kSkip = 77;
// Rounds of kills, each spread anew, before a run whose kills never fell on both sides of the replacement fails.
constexpr int kMaxRounds = 4;
constexpr std::size_t kRecords = 100'000;
constexpr double kSpanDays = 40.0; // pruning keeps the last 20 days: about half the records
constexpr const char* kLog = "datatime.dat";
constexpr const char* kScratch = "temp.tmp";
constexpr const char* kPartial = "temp.tmp.part";

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

// The test's folder, kept after a failure for a look at what was left.
fs::path g_folder;

[[noreturn]] void Die(const std::string& what) {
    std::cerr << "FAIL: " << what << '\n';
    if (!g_folder.empty()) {
        std::cerr << "left for inspection: " << g_folder << '\n';
    }
    std::exit(1);
}

std::string Bytes(const char* name) {
    std::ifstream in(name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void WriteBytes(const char* name, const std::string& bytes) {
    std::ofstream out(name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) {
        Die(std::string("cannot write ") + name);
    }
}

std::optional<ino_t> Inode(const char* name) {
    struct stat st {};
    if (::stat(name, &st) != 0) {
        return std::nullopt;
    }
    return st.st_ino;
}

// The log before and after pruning, as the program stores them: 16-byte records of two little-endian
// doubles, the newest starting today; the oldest start 40 days before it.
struct Logs {
    std::string before;
    std::string after;
};

Logs MakeLogs() {
    const double newest = static_cast<double>(std::time(nullptr)) / 86400.0 + 25569.0;
    const double cutoff = newest - 20.0;
    Logs logs;
    logs.before.reserve(kRecords * 16);
    for (std::size_t i = 0; i < kRecords; ++i) {
        const double start = newest - kSpanDays * static_cast<double>(kRecords - 1 - i) / (kRecords - 1);
        const std::array<double, 2> record{start, start + 0.01};
        std::string bytes(16, '\0');
        std::memcpy(bytes.data(), record.data(), 16);
        logs.before += bytes;
        if (start > cutoff) {
            logs.after += bytes;
        }
    }
    return logs;
}

// The program in the working folder, on Qt's offscreen platform: its start-up runs in full without a
// display, and nothing it shows needs answering because the log exists and no settings file does.
pid_t Start(const std::string& executable) {
    const pid_t pid = ::fork();
    if (pid < 0) {
        Die("fork");
    }
    if (pid == 0) {
        const int out = ::open("program.log", O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
        if (out >= 0) {
            ::dup2(out, 1);
            ::dup2(out, 2);
        }
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_RUNTIME_DIR", (fs::current_path() / "runtime").c_str(), 1);
        ::execl(executable.c_str(), executable.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    return pid;
}

// The program has finished its start-up once it catches SIGTERM: the end-of-session handler is
// installed right after the main window, and with it the start-up sequence, has been created.
bool StartUpFinished(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("SigCgt:", 0) == 0) {
            const unsigned long long caught = std::stoull(line.substr(7), nullptr, 16);
            return (caught & (1ULL << (SIGTERM - 1))) != 0;
        }
    }
    return false;
}

std::optional<int> WaitFor(pid_t pid, Ms timeout) {
    const auto until = Clock::now() + timeout;
    int status = 0;
    while (Clock::now() < until) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            return status;
        }
        ::usleep(1000);
    }
    return std::nullopt;
}

// Whether the process has ended; reaps it when it has.
bool Ended(pid_t pid) {
    int status = 0;
    return ::waitpid(pid, &status, WNOHANG) == pid;
}

void KillAndReap(pid_t pid) {
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
}

void ResetFolder(const Logs& logs) {
    std::remove(kScratch);
    std::remove(kPartial);
    WriteBytes(kLog, logs.before);
}

// When, counted from the start of the process, the copy of the pruning began and the pruned log took
// the old one's place; watched by polling, so each is late by up to the polling interval.
struct Timing {
    Ms copyStarted{};
    Ms replaced{};
    Ms startUpDone{};
};

Timing Measure(const std::string& executable, const Logs& logs) {
    ResetFolder(logs);
    const ino_t oldLog = *Inode(kLog);
    const auto t0 = Clock::now();
    const pid_t pid = Start(executable);
    Timing timing;
    bool copying = false;
    bool replaced = false;
    while (Clock::now() - t0 < std::chrono::seconds(20)) {
        const Ms now = Clock::now() - t0;
        if (!copying && (Inode(kPartial) || Inode(kScratch))) {
            copying = true;
            timing.copyStarted = now;
        }
        if (!replaced && Inode(kLog) && *Inode(kLog) != oldLog) {
            replaced = true;
            timing.replaced = now;
            if (!copying) {
                timing.copyStarted = now;
            }
        }
        if (replaced && StartUpFinished(pid)) {
            timing.startUpDone = Clock::now() - t0;
            break;
        }
        if (Ended(pid)) {
            Die("the program ended by itself during its start-up; see program.log");
        }
        ::usleep(100);
    }
    KillAndReap(pid);
    if (!replaced) {
        Die("the program did not prune the log within 20 s");
    }
    if (Bytes(kLog) != logs.after) {
        Die("the pruned log does not hold the expected records");
    }
    return timing;
}

std::string Describe(const std::string& bytes, const Logs& logs) {
    if (bytes == logs.before) {
        return "the old log";
    }
    if (bytes == logs.after) {
        return "the pruned log";
    }
    return std::to_string(bytes.size()) + " bytes that are neither the old nor the pruned log";
}

// What the kills of a round left behind.
struct Tally {
    int old = 0;       // the old log alone
    int halfCopy = 0;  // the old log and a half-written copy
    int wholeCopy = 0; // the old log and a whole temp.tmp
    int pruned = 0;    // the pruned log
    [[nodiscard]] int BeforeReplacement() const { return old + halfCopy + wholeCopy; }
    Tally& operator+=(const Tally& other) {
        old += other.old;
        halfCopy += other.halfCopy;
        wholeCopy += other.wholeCopy;
        pruned += other.pruned;
        return *this;
    }
};

// Kills the program at moments spread evenly, with a random place within each slot, from the moment
// its copy is seen to begin to the given time after; checks what each kill left and that the next
// start, left alone, recovers.
Tally KillRound(const std::string& executable, const Logs& logs, int kills, Ms to, std::mt19937& random) {
    std::uniform_real_distribution<double> within(0.0, 1.0);
    Tally tally;
    for (int k = 0; k < kills; ++k) {
        ResetFolder(logs);
        const ino_t oldLog = *Inode(kLog);
        const Ms delay = to * ((k + within(random)) / kills);
        const auto t0 = Clock::now();
        const pid_t pid = Start(executable);
        while (!Inode(kPartial) && !Inode(kScratch) && *Inode(kLog) == oldLog) {
            if (Clock::now() - t0 > std::chrono::seconds(20)) {
                KillAndReap(pid);
                Die("no pruning seen within 20 s of the start");
            }
            ::usleep(50);
        }
        const auto when = Clock::now() + std::chrono::duration_cast<Clock::duration>(delay);
        while (Clock::now() < when) {
        }
        KillAndReap(pid);

        const std::string log = Bytes(kLog);
        if (!fs::exists(kLog) || (log != logs.before && log != logs.after)) {
            Die("kill " + std::to_string(k) + " at " + std::to_string(delay.count()) + " ms left " +
                Describe(log, logs));
        }
        // A scratch file that exists replaces the log at the next start, so it must be a whole copy.
        if (fs::exists(kScratch) && Bytes(kScratch) != logs.after) {
            Die("kill " + std::to_string(k) + " left a temp.tmp holding " + Describe(Bytes(kScratch), logs));
        }
        if (log == logs.after) {
            ++tally.pruned;
        } else if (fs::exists(kScratch)) {
            ++tally.wholeCopy;
        } else if (fs::exists(kPartial)) {
            ++tally.halfCopy;
        } else {
            ++tally.old;
        }

        // The next start, left alone, must end with the pruned log and nothing else.
        const pid_t again = Start(executable);
        const auto deadline = Clock::now() + std::chrono::seconds(20);
        while (!StartUpFinished(again)) {
            if (Ended(again)) {
                Die("the start after kill " + std::to_string(k) + " ended by itself; see program.log");
            }
            if (Clock::now() > deadline) {
                KillAndReap(again);
                Die("the start after kill " + std::to_string(k) + " did not finish within 20 s");
            }
            ::usleep(1000);
        }
        ::kill(again, SIGTERM);
        const std::optional<int> status = WaitFor(again, Ms(10000));
        if (!status) {
            KillAndReap(again);
            Die("the start after kill " + std::to_string(k) + " did not end within 10 s of SIGTERM");
        }
        if (!WIFEXITED(*status) || WEXITSTATUS(*status) != 0) {
            Die("the start after kill " + std::to_string(k) + " ended with status " + std::to_string(*status));
        }
        if (Bytes(kLog) != logs.after) {
            Die("after the start that followed kill " + std::to_string(k) + " the log holds " +
                Describe(Bytes(kLog), logs));
        }
        if (fs::exists(kScratch) || fs::exists(kPartial)) {
            Die("the start after kill " + std::to_string(k) + " left a scratch file behind");
        }
    }
    return tally;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::cerr << "usage: " << argv[0] << " <hourlink executable> [kills] [seed]\n";
        return 2;
    }
    if (::geteuid() != 0) {
        std::cerr << "needs root for a private network namespace; skipped\n";
        return kSkip;
    }
    // No default route in here, so the program sees no connection and writes nothing but its pruning.
    if (::unshare(CLONE_NEWNET) != 0) {
        std::cerr << "no network namespace (" << std::strerror(errno) << "); skipped\n";
        return kSkip;
    }
    const int kills = argc > 2 ? std::atoi(argv[2]) : 50;
    const unsigned seed = argc > 3 ? static_cast<unsigned>(std::strtoul(argv[3], nullptr, 10)) : std::random_device{}();
    const auto began = Clock::now();
    const fs::path original = fs::absolute(argv[1]);

    std::string pattern = (fs::temp_directory_path() / "hourlink-kill-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        Die("mkdtemp");
    }
    const fs::path folder = pattern;
    g_folder = folder;
    fs::current_path(folder);
    fs::create_directory("runtime");
    fs::permissions("runtime", fs::perms::owner_all);
    // A private copy: the settings file beside it is this test's own, and there is none.
    const std::string executable = (folder / "hourlink").string();
    fs::copy_file(original, executable);

    const Logs logs = MakeLogs();
    std::cout << "log of " << kRecords << " records (" << logs.before.size() << " bytes), " << logs.after.size() / 16
              << " kept by pruning; seed " << seed << '\n';

    // How long the pruning takes: from the moment its copy appears to the moment the pruned log has
    // taken the old one's place.
    Ms longest{};
    for (int i = 0; i < 4; ++i) {
        const Timing t = Measure(executable, logs);
        std::cout << "start-up: copy began " << t.copyStarted.count() << " ms after the start, pruned log in place "
                  << (t.replaced - t.copyStarted).count() << " ms later, start-up done at " << t.startUpDone.count()
                  << " ms\n";
        if (i > 0) { // the first run only warms the page cache
            longest = std::max(longest, t.replaced - t.copyStarted);
        }
    }
    // The first round's kills reach a little past the pruning's measured end.
    std::mt19937 random(seed);
    Ms to = longest * 2.0 + Ms(1.0);
    Tally total;
    for (int round = 1;; ++round) {
        std::cout << "round " << round << ": killing 0 to " << to.count() << " ms after the copy is seen to begin\n";
        const Tally tally = KillRound(executable, logs, kills, to, random);
        total += tally;
        std::cout << kills << " kills left: the old log alone " << tally.old << " times, the old log and a half copy "
                  << tally.halfCopy << " times, the old log and a whole temp.tmp " << tally.wholeCopy
                  << " times, the pruned log " << tally.pruned << " times; every next start recovered\n";
        // Kills that all fell on one side of the replacement say nothing about the moment it happens.
        if (total.BeforeReplacement() > 0 && total.pruned > 0) {
            break;
        }
        if (round == kMaxRounds) {
            Die("after " + std::to_string(round) + " rounds no kill left " +
                (total.pruned == 0 ? std::string("the pruned log") : std::string("the old log")) +
                ": the kills never fell on both sides of the replacement");
        }
        // The pruning took longer or shorter here than measured (a busy machine): spread the next round
        // further out, or closer to the start of the copy.
        to = total.pruned == 0 ? to * 4.0 : to / 4.0;
    }
    std::cout << "total " << Ms(Clock::now() - began).count() / 1000.0 << " s\n";
    fs::current_path(folder.parent_path());
    fs::remove_all(folder);
    return 0;
}
