// The classic desktop look: colour roles, fonts with substitutes that render
// Czech, and the mapping from twips to pixels.
#pragma once

#include "definition.h"

#include <QColor>
#include <QFont>

class QApplication;

namespace vp {

// Puts the bevelled "Windows" style, the classic palette and the font
// substitutes in place. Call once, after the application object exists.
void installTheme(QApplication& app);

QColor toQColor(Colour c, Role fallback);
QFont toQFont(const FontDef& f);

// 15 at 96 dots per inch; follows the screen's logical DPI.
double twipsPerPixel();
int toPixels(double twips);
double toTwips(int pixels);

} // namespace vp
