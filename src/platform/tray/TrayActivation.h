#pragma once

#include <vector>

#include "platform/tray/TrayPlatform.h"

namespace hourlink {

// What a desktop's tray reports of the user's actions on an icon. A press of the left button is reported
// at once; the second press of a double click is reported as a double click.
enum class TrayActivation { Trigger, DoubleClick, Context, MiddleClick, BalloonClicked };

// The action codes the icon's callback message carries, in order, for one reported action. The desktop
// reports whole clicks, so each press is followed by its release:
//   Trigger        WM_LBUTTONDOWN, WM_LBUTTONUP           (version-5 mode: then NIN_SELECT)
//   DoubleClick    WM_LBUTTONDBLCLK, WM_LBUTTONUP         (version-5 mode: then NIN_SELECT)
//   Context        WM_RBUTTONDOWN, WM_RBUTTONUP           (version-5 mode: then WM_CONTEXTMENU)
//   MiddleClick    WM_MBUTTONDOWN, WM_MBUTTONUP
//   BalloonClicked NIN_BALLOONUSERCLICK
[[nodiscard]] std::vector<UINT> TrayCallbackCodes(TrayActivation activation, bool version5);

} // namespace hourlink
