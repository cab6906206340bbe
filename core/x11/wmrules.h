// What a window manager needs of the program beyond what the EWMH promises:
// one row of named rules for each window manager that needs any, and where
// in its own code it decides so. The row is chosen by the name its check
// window gives (_NET_SUPPORTING_WM_CHECK), by windowManagerRules() in
// core/x11/windowsystem.h; nothing else in the program asks which window
// manager it runs under.
#pragma once

#include <string_view>

namespace vp::ws {

struct WindowManagerRules {
    // The name its check window gives in _NET_WM_NAME; empty in the row for
    // every other window manager.
    std::string_view name;
    // It tiles every window that it does not take for a dialog, and a window
    // of fixed size is one; it draws nothing but a full-screen window's own
    // transients over that window (sway's Xwayland, i3).
    bool tiles = false;
    // It puts a window that keeps below (_NET_WM_STATE_BELOW) under its
    // panels, full screen or not: kwin asks keepBelow() before it asks
    // isActiveFullScreen() (Window::belongsToLayer). There the backdrop does
    // not keep below, and the dialogs keep in front of it as modal ones.
    bool keepBelowGoesUnderPanels = false;
    // It keeps a dialog that is transient for its program's group above the
    // program's other windows only when the dialog is modal
    // (_NET_WM_STATE_MODAL; kwin: Window::shouldKeepTransientAbove).
    bool groupDialogsAboveOnlyWhenModal = false;
};

// The row for the window manager of that name, or the row for every other.
const WindowManagerRules& rulesFor(std::string_view name);

} // namespace vp::ws
