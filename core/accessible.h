// What assistive technology (a screen reader through AT-SPI) learns about the
// windows and the controls that the runtime paints itself: labels as static
// text named by their captions, images as graphics named by what they show,
// a frame drawn as a progress bar with its value, windows as windows or
// dialogs. Buttons, options and text boxes keep Qt's own interfaces and get
// names and descriptions through the widgets' accessibility properties.
#pragma once

#include "definition.h"

#include <QString>
#include <memory>
#include <vector>

class QWidget;

namespace vp {

class Control;

// A screen's window and each control's widget, as soon as they exist and
// before anything can ask about them (the interfaces are cached).
void registerWindow(QWidget& window, const ScreenDef& def);
void registerControl(const Control& control);
// Called by a control whose widget is about to go.
void forgetControl(const Control& control);

// Once a screen's controls are all built: names the text boxes and option
// groups by the labels that introduce them.
void describeScreen(QWidget& window, const std::vector<std::unique_ptr<Control>>& controls);

// Called by the controls when what they show changes: a label's caption or
// an image's picture; a width (the fill of a progress bar); a frame shown
// (a page turned while its window is on screen).
void accessibleTextChanged(const Control& control);
void accessibleWidthChanged(const Control& control);
void accessibleFrameShown(const Control& control);
// A status line's caption changed (called by accessibleTextChanged).
void statusChanged(const Control& control);

// What a picture of the catalogue shows, in the program's language.
QString pictureDescription(PictureId id);

} // namespace vp
