#include "core/x11/wmrules.h"

#include <algorithm>
#include <array>

namespace vp::ws {

namespace {

constexpr WindowManagerRules anyOther = {};

constexpr std::array table = {
    WindowManagerRules{.name = "KWin", .keepBelowGoesUnderPanels = true, .groupDialogsAboveOnlyWhenModal = true},
    WindowManagerRules{.name = "wlroots wm", .tiles = true}, // sway's Xwayland
    WindowManagerRules{.name = "i3", .tiles = true},
};

} // namespace

const WindowManagerRules& rulesFor(std::string_view name)
{
    const auto* it = std::find_if(table.begin(), table.end(), [&](const auto& row) { return row.name == name; });
    return it == table.end() ? anyOther : *it;
}

} // namespace vp::ws
