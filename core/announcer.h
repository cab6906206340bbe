// A workaround for Qt 6.4's AT-SPI bridge, and only for it.
//
// Qt 6.4 sends an object where the new text of a name or description change
// belongs (Qt 6.5's bridge sends the text), so a screen reader speaks neither:
// a page that turned under a focus that stays put, or a status line that
// changed, goes unheard. Orca 43 does speak a notification as it shows, by its
// name, leaving out the word "notification" for one inside a status bar; inside
// a dialog it would first read the whole dialog again, so the status bar sits
// in a window of its own within the screen's window. Each window that has news
// gets these three, none of them ever on screen (what they tell is), and the
// notification shows anew, named by the news.
//
// With a bridge that sends the text, the description change is heard by
// itself, and such a notification would only be heard a second time, after
// the word "notification" (Orca 48): there is no announcer. When Qt 6.4 is
// gone, this file goes.
#pragma once

#include <QString>
#include <QWidget>

class QAccessibleInterface;

namespace vp::announcer {

// Whether the Qt the program runs on has the bridge that needs it.
bool needed();

// The hidden parts of an announcer, told apart by what they stand for.
class Part final : public QWidget {
public:
    enum class Kind : std::uint8_t { Window, Bar, Note };
    Part(QWidget* parent, Kind kind);
    const Kind kind;
    QString news; // the note: what it tells
};

// The announcer of `window`, if it has one (its outermost part).
Part* of(const QWidget* window);

// The interface of a part (the factory asks).
QAccessibleInterface* accessibleFor(Part& part);

// Tells `news` once the program has done what it is doing (a page that fills
// a text box sends a flood of events, in which Orca 43 drops what comes first).
void tell(QWidget* window, const QString& news);

} // namespace vp::announcer
