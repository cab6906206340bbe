// How texts are drawn: line breaks of labels, message boxes and text boxes,
// and the wrapping of a label's lines. Caption and Text always keep the exact
// characters; only the drawing translates.
#pragma once

#include <QFontMetricsF>
#include <QString>
#include <QStringList>

namespace vp {

// Line breaks of a prompt or caption (CR, LF or CR LF) as Qt draws them.
QString displayLines(const QString& text);

// Breaks one line of a label's caption (no CR or LF in it) into the lines it
// takes within `width`: only at blanks, and a word wider than the whole width
// wherever it must. The blank a line breaks at belongs to neither line.
QStringList wrapAtBlanks(const QString& line, const QFontMetricsF& metrics, qreal width);

// A caption laid out for drawing: CR, LF or CR LF start a new line, and each
// line wraps at blanks within `width`.
QString labelLines(const QString& caption, const QFontMetricsF& metrics, qreal width);

// How a multi-line text box draws its text: only CR LF breaks a line; a lone
// LF or CR shows as a mark. textFromDisplay() undoes it for what the user typed.
QString textToDisplay(const QString& text);
QString textFromDisplay(const QString& shown);

} // namespace vp
