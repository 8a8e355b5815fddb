#include "platform/tray/TrayActivation.h"

namespace hourlink {

std::vector<UINT> TrayCallbackCodes(TrayActivation activation, bool version5) {
    switch (activation) {
    case TrayActivation::Trigger:
        if (version5) {
            return {WM_LBUTTONDOWN, WM_LBUTTONUP, NIN_SELECT};
        }
        return {WM_LBUTTONDOWN, WM_LBUTTONUP};
    case TrayActivation::DoubleClick:
        if (version5) {
            return {WM_LBUTTONDBLCLK, WM_LBUTTONUP, NIN_SELECT};
        }
        return {WM_LBUTTONDBLCLK, WM_LBUTTONUP};
    case TrayActivation::Context:
        if (version5) {
            return {WM_RBUTTONDOWN, WM_RBUTTONUP, WM_CONTEXTMENU};
        }
        return {WM_RBUTTONDOWN, WM_RBUTTONUP};
    case TrayActivation::MiddleClick:
        return {WM_MBUTTONDOWN, WM_MBUTTONUP};
    case TrayActivation::BalloonClicked:
        return {NIN_BALLOONUSERCLICK};
    }
    return {};
}

} // namespace hourlink
