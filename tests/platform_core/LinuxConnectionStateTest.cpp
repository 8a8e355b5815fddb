#include "platform/LinuxConnectionState.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <net/if.h>
#include <optional>
#include <sched.h>
#include <set>
#include <thread>
#include <unistd.h>
#include <vector>

#include <gtest/gtest.h>

#include "platform/RouteChangeWatch.h"
#include "support/TempDir.h"

namespace hourlink {
namespace {

const char* kV4Header = "Iface\tDestination\tGateway \tFlags\tRefCnt\tUse\tMetric\tMask\t\tMTU\tWindow\tIRTT\n";

struct RouteCase {
    const char* name;
    std::string v4;
    std::string v6;
    std::string expected;
};

class DefaultRouteTest : public ::testing::TestWithParam<RouteCase> {};

TEST_P(DefaultRouteTest, FindsUsableDefaultRoutes) {
    EXPECT_EQ(LinuxConnectionState::DefaultRouteInterface(GetParam().v4, GetParam().v6), GetParam().expected);
}

const std::string kV6Default = "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                               "fe800000000000000000000000000001 00000400 00000001 00000000 00000003  wlan0\n";
const std::string kV6LoopbackReject = "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
                                      "00000000000000000000000000000000 ffffffff 00000001 00000000 00200200       lo\n";

INSTANTIATE_TEST_SUITE_P(
    Tables, DefaultRouteTest,
    ::testing::Values(
        RouteCase{"DeviceRouteWithoutGateway",
                  std::string(kV4Header) + "v0\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n", "", "v0"},
        RouteCase{"GatewayRoute",
                  std::string(kV4Header) + "eth0\t00000000\t0101A8C0\t0003\t0\t0\t100\t00000000\t0\t0\t0\n", "",
                  "eth0"},
        RouteCase{"OnlyASubnetRoute",
                  std::string(kV4Header) + "eth0\t0001A8C0\t00000000\t0001\t0\t0\t100\t00FFFFFF\t0\t0\t0\n", "", ""},
        RouteCase{"RejectRoute",
                  std::string(kV4Header) + "eth0\t00000000\t00000000\t0201\t0\t0\t0\t00000000\t0\t0\t0\n", "", ""},
        RouteCase{"RouteNotUp", std::string(kV4Header) + "eth0\t00000000\t00000000\t0000\t0\t0\t0\t00000000\t0\t0\t0\n",
                  "", ""},
        RouteCase{"Loopback", std::string(kV4Header) + "lo\t00000000\t00000000\t0001\t0\t0\t0\t00000000\t0\t0\t0\n", "",
                  ""},
        RouteCase{"Ipv6Default", std::string(kV4Header), kV6LoopbackReject + kV6Default, "wlan0"},
        RouteCase{"Ipv6LoopbackRejectOnly", std::string(kV4Header), kV6LoopbackReject, ""},
        RouteCase{"EmptyTables", "", "", ""}),
    [](const ::testing::TestParamInfo<RouteCase>& info) { return std::string(info.param.name); });

TEST(LinuxConnectionState, MissingTablesMeanNoConnection) {
    LinuxConnectionState state("/nonexistent-proc-net");
    EXPECT_FALSE(state.InternetGetConnectedState());
}

// --- The whole query: route tables from files, interfaces as the kernel would describe them ------------

std::string V4Default(const std::string& iface, const char* flags = "0001") {
    return iface + "\t00000000\t00000000\t" + flags + "\t0\t0\t0\t00000000\t0\t0\t0\n";
}

std::string V6Default(const std::string& iface, const char* flags = "00000001") {
    return "00000000000000000000000000000000 00 00000000000000000000000000000000 00 "
           "00000000000000000000000000000000 00000400 00000001 00000000 " +
           std::string(flags) + " " + iface + "\n";
}

constexpr unsigned kUpRunning = IFF_UP | IFF_RUNNING;

struct QueryCase {
    const char* name;
    std::string v4; // without the header line
    std::string v6;
    std::map<std::string, unsigned> interfaces; // the ones that exist, with their flags
    bool connected;
};

class ConnectedStateTest : public hourlink::testing::InTempDir, public ::testing::WithParamInterface<QueryCase> {
protected:
    LinuxConnectionState MakeState() {
        std::ofstream(m_dir.Path() / "route") << kV4Header << GetParam().v4;
        std::ofstream(m_dir.Path() / "ipv6_route") << GetParam().v6;
        return LinuxConnectionState(m_dir.Path().string(), [this](const std::string& name) -> std::optional<unsigned> {
            asked.push_back(name);
            const auto it = GetParam().interfaces.find(name);
            return it == GetParam().interfaces.end() ? std::nullopt : std::optional<unsigned>(it->second);
        });
    }
    std::vector<std::string> asked;
};

TEST_P(ConnectedStateTest, AnswersFromTheRoutesAndTheInterfaces) {
    LinuxConnectionState state = MakeState();
    EXPECT_EQ(state.InternetGetConnectedState(), GetParam().connected);
    // Loopback is never a way out, whatever it says about itself.
    EXPECT_EQ(std::set<std::string>(asked.begin(), asked.end()).count("lo"), 0u);
}

INSTANTIATE_TEST_SUITE_P(
    Query, ConnectedStateTest,
    ::testing::Values(
        QueryCase{"UpAndRunning", V4Default("v0"), "", {{"v0", kUpRunning}}, true},
        QueryCase{"UpWithoutCarrier", V4Default("v0"), "", {{"v0", IFF_UP}}, false},
        QueryCase{"RunningButDown", V4Default("v0"), "", {{"v0", IFF_RUNNING}}, false},
        QueryCase{"InterfaceGone", V4Default("v0"), "", {}, false},
        QueryCase{"LoopbackRoute", V4Default("lo"), "", {{"lo", kUpRunning | IFF_LOOPBACK}}, false},
        QueryCase{"RejectRoute", V4Default("v0", "0201"), "", {{"v0", kUpRunning}}, false},
        QueryCase{"RouteNotUp", V4Default("v0", "0000"), "", {{"v0", kUpRunning}}, false},
        QueryCase{"NoDefaultRoute", "", "", {{"v0", kUpRunning}}, false},
        QueryCase{"Ipv6Only", "", V6Default("wlan0"), {{"wlan0", kUpRunning}}, true},
        QueryCase{"Ipv6OnlyDown", "", V6Default("wlan0"), {{"wlan0", IFF_UP}}, false},
        QueryCase{"Ipv6RejectOnly", "", V6Default("wlan0", "00200201"), {{"wlan0", kUpRunning}}, false},
        QueryCase{
            "Ipv4DownIpv6Up", V4Default("eth0"), V6Default("wlan0"), {{"eth0", IFF_UP}, {"wlan0", kUpRunning}}, true},
        QueryCase{"SecondDefaultRouteRunning",
                  V4Default("eth0") + V4Default("wwan0"),
                  "",
                  {{"eth0", 0}, {"wwan0", kUpRunning}},
                  true}),
    [](const ::testing::TestParamInfo<QueryCase>& info) { return std::string(info.param.name); });

using KernelInterfaceQuery = hourlink::testing::InTempDir;

// The tables stay open between calls: each call must still see them as they are now, also one that
// appears only after the first call.
TEST_F(KernelInterfaceQuery, EachCallSeesTheTablesAsTheyAreNow) {
    const auto flags = [](const std::string& name) -> std::optional<unsigned> {
        return name == "eth0" ? std::optional<unsigned>(IFF_UP | IFF_RUNNING) : std::nullopt;
    };
    std::ofstream(m_dir.Path() / "route") << kV4Header;
    LinuxConnectionState state(m_dir.Path().string(), flags);
    EXPECT_FALSE(state.InternetGetConnectedState());
    std::ofstream(m_dir.Path() / "route") << kV4Header << V4Default("eth0");
    EXPECT_TRUE(state.InternetGetConnectedState());
    std::ofstream(m_dir.Path() / "route") << kV4Header;
    EXPECT_FALSE(state.InternetGetConnectedState());
    std::ofstream(m_dir.Path() / "ipv6_route") << V6Default("eth0");
    EXPECT_TRUE(state.InternetGetConnectedState()) << "a table missing at the first call is looked for again";
}

TEST_F(KernelInterfaceQuery, AnInterfaceTheKernelDoesNotKnowIsNoConnection) {
    std::ofstream(m_dir.Path() / "route") << kV4Header << V4Default("hlnone0");
    std::ofstream(m_dir.Path() / "ipv6_route") << V6Default("hlnone0");
    LinuxConnectionState state(m_dir.Path().string());
    EXPECT_FALSE(state.InternetGetConnectedState());
}

// --- The program's own reader, in a network namespace of the test's own ---------------------------------

// Moves the test into a new, empty network namespace and back when it ends. Needs root, as the suite has
// wherever it installs its packages.
class OwnNetworkNamespace : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0) {
            GTEST_SKIP() << "a network namespace of its own needs root";
        }
        m_original = FileDescriptor(::open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC));
        ASSERT_TRUE(m_original.Valid()) << std::strerror(errno);
        ASSERT_EQ(::unshare(CLONE_NEWNET), 0) << std::strerror(errno);
    }
    void TearDown() override {
        if (m_original.Valid()) {
            EXPECT_EQ(::setns(m_original.Get(), CLONE_NEWNET), 0) << std::strerror(errno);
        }
    }
    static void Run(const std::string& command) {
        ASSERT_EQ(std::system((command + " >/dev/null 2>&1").c_str()), 0) << command;
    }

    FileDescriptor m_original;
};

TEST_F(OwnNetworkNamespace, TheKernelsChangesOfRoutesAndLinksAreTold) {
    RouteChangeWatch watch;
    ASSERT_TRUE(watch.Listening());
    EXPECT_FALSE(watch.Changed());
    Run("ip link add v0 type veth peer name v1");
    EXPECT_TRUE(watch.Changed());
    EXPECT_FALSE(watch.Changed()) << "each change is told once";
    Run("ip link set v0 up");
    Run("ip link set v1 up");
    EXPECT_TRUE(watch.Changed());
    (void)watch.Changed();
    Run("ip route add default dev v0");
    EXPECT_TRUE(watch.Changed());
    Run("ip -6 route add default dev v0");
    EXPECT_TRUE(watch.Changed());
}

// The answer is kept between changes; after each change it must be what a reader that reads every time gives.
TEST_F(OwnNetworkNamespace, TheKeptAnswerFollowsRoutesAndCarrier) {
    LinuxConnectionState kept;
    const auto reaches = [&kept](bool expected) {
        // The kernel passes a change of carrier on with a delay of up to a second.
        for (int i = 0; i < 300; ++i) {
            if (kept.InternetGetConnectedState() == expected &&
                LinuxConnectionState("/proc/net").InternetGetConnectedState() == expected) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    };
    EXPECT_TRUE(reaches(false));
    Run("ip link add v0 type veth peer name v1");
    Run("ip link set v0 up");
    Run("ip route add default dev v0");
    EXPECT_TRUE(reaches(false)) << "a route through an interface without carrier";
    Run("ip link set v1 up");
    EXPECT_TRUE(reaches(true)) << "the carrier came";
    Run("ip link set v1 down");
    EXPECT_TRUE(reaches(false)) << "the carrier went";
    Run("ip link set v1 up");
    EXPECT_TRUE(reaches(true)) << "the carrier came back";
    Run("ip route del default dev v0");
    EXPECT_TRUE(reaches(false)) << "the IPv4 route went";
    Run("ip -6 route add default dev v0");
    EXPECT_TRUE(reaches(true)) << "an IPv6 route came";
    Run("ip link del v0");
    EXPECT_TRUE(reaches(false)) << "the interface went";
}

} // namespace
} // namespace hourlink
