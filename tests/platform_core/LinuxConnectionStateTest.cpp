#include "platform/LinuxConnectionState.h"

#include <gtest/gtest.h>

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

} // namespace
} // namespace hourlink
