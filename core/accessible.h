// What assistive technology (a screen reader through AT-SPI) learns about the
// windows and the controls that the runtime paints itself: labels as static
// text named by their captions, images as graphics named by what they show,
// a frame drawn as a progress bar with its value, windows as windows or
// dialogs. As with Qt's own widgets, a factory makes each interface from the
// widget, which points back to its control; nothing is registered beside
// them. Buttons, options and text boxes keep Qt's own interfaces and get names
// and descriptions through the widgets' accessibility properties.
#pragma once

#include <memory>
#include <vector>

class QWidget;

namespace vp {

class Control;

// The mark of the interfaces the runtime makes, which adoptAccessible() keeps.
class OwnInterface {
public:
    virtual ~OwnInterface() = default;
};

// Puts the factory in place (once; it costs nothing until a screen reader
// asks for an interface).
void installAccessibility();

// Called once a runtime widget is whole: an interface that the toolkit made
// for it before (while a screen reader listens, widgets are asked about as
// they are made, before they are ours) goes, so the factory makes ours.
void adoptAccessible(QWidget& widget);

// Once a screen's controls are all built: names the text boxes and option
// groups by the labels that introduce them.
void describeScreen(const std::vector<std::unique_ptr<Control>>& controls);

// Called by the controls when what they show changes: a label's caption or
// an image's picture; a width (the fill of a progress bar); a frame shown
// (a page turned while its window is on screen).
void accessibleTextChanged(const Control& control);
void accessibleWidthChanged(const Control& control);
void accessibleFrameShown(const Control& control);
// A window that went behind another one (a box), or out of sight: its
// status lines no longer describe its focus, and wait their pace anew.
void accessibleWindowLeft(QWidget& window);

} // namespace vp
