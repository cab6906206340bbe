// Screen definitions as plain data: the window and its controls, front to back,
// every position and size in twips. Nothing here knows about Qt.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>

namespace vp {

enum class Kind : std::uint8_t { Label, CommandButton, OptionButton, Frame, TextBox, Image, Timer, Line };
enum class Border : std::uint8_t { None, Sizable };
enum class Align : std::uint8_t { Left, Right, Centre };

// A picture of the program's catalogue, named by the program's own enum (the
// runtime only passes it on to the catalogue it was given). Zero is no picture.
struct PictureKey {
    int id = 0;
    constexpr PictureKey() = default;
    template <class E>
    requires std::is_enum_v<E>
    constexpr PictureKey(E e) : id(static_cast<int>(e)) // NOLINT: the tables name pictures by the enum
    {
    }
    constexpr bool none() const { return id == 0; }
    friend constexpr bool operator==(PictureKey, PictureKey) = default;
};

// A colour is an RGB triple or a role of the desktop theme. `Default` in a
// definition means "whatever the control kind uses when nothing is given".
enum class Role : std::uint8_t {
    Default,
    Rgb,
    ButtonFace,
    ButtonText,
    WindowBackground,
    WindowText,
    ActiveTitleBar,
    InactiveBorder,
};

struct Colour {
    Role role = Role::Default;
    std::uint8_t r = 0, g = 0, b = 0;
    friend constexpr bool operator==(const Colour&, const Colour&) = default;
};

constexpr Colour rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) { return {Role::Rgb, r, g, b}; }
constexpr Colour role(Role r) { return {r, 0, 0, 0}; }

struct FontDef {
    std::string_view face = "MS Sans Serif";
    float points = 8.25F;
    bool bold = false;
    bool italic = false;
    bool centralEuropean = false;
    friend constexpr bool operator==(const FontDef&, const FontDef&) = default;
};

// What assistive technology is told beyond what a control's kind and caption
// say. Names refer to controls of the same screen.
struct AccessDef {
    std::string_view labelledBy = {}; // the label that introduces a text box or an option group
    std::string_view barFill = {};    // a frame drawn as a progress bar: its fill and its track
    std::string_view barTrack = {};
    bool decoration = false; // drawn for the look only: left out of the tree
    bool status = false;     // a line that tells how things stand: spoken as it changes, at a listener's pace
};

// One control. Fields are in the order the tables read, so that definitions can
// use designated initialisers and leave out whatever keeps its default.
struct ControlDef {
    Kind kind;
    std::string_view name;
    int index = -1;                  // control arrays only
    std::string_view container = {}; // empty: the window itself
    float left = 0, top = 0, width = 0, height = 0;
    std::string_view caption = {}; // Caption, or Text for a text box
    Align align = Align::Left;
    bool transparent = false;
    Colour back = {};
    Colour fore = {};
    FontDef font = {};
    int tabIndex = -1;
    bool visible = true;
    bool enabled = true;
    bool multiLine = false;
    bool verticalScroll = false;
    PictureKey picture = {};
    bool stretch = false;
    PictureKey mousePointer = {};
    int interval = 0;                     // timers, milliseconds
    float x1 = 0, y1 = 0, x2 = 0, y2 = 0; // lines
    AccessDef access = {};
};

struct ScreenDef {
    std::string_view name;
    std::string_view title;
    Border border = Border::Sizable;
    float clientWidth = 0, clientHeight = 0;
    bool centred = true;
    bool maximised = false;
    bool taskbar = true;
    bool behind = false; // stays behind the program's other windows, even while it is active
    PictureKey icon = {};
    Colour back = role(Role::ButtonFace);
    PictureKey picture = {};
    FontDef font = {};
    std::span<const ControlDef> controls = {};
    // A window is announced as a dialog where it is one. A window without a
    // title bar is announced by what it shows: a fixed name, or the first line
    // of a label's caption (the label named here), never by its unseen title.
    bool dialog = false;
    std::string_view spokenName = {};
    std::string_view spokenNameFrom = {};
};

} // namespace vp
