#include "platform/tray/TrayActivation.h"

#include <gtest/gtest.h>

#include <cstddef>

namespace hourlink {
namespace {

// The record keeps the layout of the 32-bit system it came from.
static_assert(offsetof(NotifyIconData, hIcon) == 20);
static_assert(offsetof(NotifyIconData, szTip) == 24);
static_assert(offsetof(NotifyIconData, dwState) == 152);
static_assert(offsetof(NotifyIconData, szInfo) == 160);
static_assert(offsetof(NotifyIconData, uTimeout) == 416);
static_assert(offsetof(NotifyIconData, szInfoTitle) == 420);
static_assert(offsetof(NotifyIconData, dwInfoFlags) == 484);

struct ActivationCase {
    TrayActivation activation;
    bool version5;
    std::vector<UINT> codes;
};

class TrayActivationCodes : public ::testing::TestWithParam<ActivationCase> {};

TEST_P(TrayActivationCodes, AreThePressAndReleaseTheIconWouldReport) {
    EXPECT_EQ(TrayCallbackCodes(GetParam().activation, GetParam().version5), GetParam().codes);
}

INSTANTIATE_TEST_SUITE_P(
    Activations, TrayActivationCodes,
    ::testing::Values(ActivationCase{TrayActivation::Trigger, false, {WM_LBUTTONDOWN, WM_LBUTTONUP}},
                      ActivationCase{TrayActivation::DoubleClick, false, {WM_LBUTTONDBLCLK, WM_LBUTTONUP}},
                      ActivationCase{TrayActivation::Context, false, {WM_RBUTTONDOWN, WM_RBUTTONUP}},
                      ActivationCase{TrayActivation::MiddleClick, false, {WM_MBUTTONDOWN, WM_MBUTTONUP}},
                      ActivationCase{TrayActivation::BalloonClicked, false, {NIN_BALLOONUSERCLICK}},
                      ActivationCase{TrayActivation::Trigger, true, {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT}},
                      ActivationCase{TrayActivation::DoubleClick, true, {WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT}},
                      ActivationCase{TrayActivation::Context, true, {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU}},
                      ActivationCase{TrayActivation::MiddleClick, true, {WM_MBUTTONDOWN, WM_MBUTTONUP}}));

} // namespace
} // namespace hourlink
