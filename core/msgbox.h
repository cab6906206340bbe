// Modal message boxes. Style = buttons (0 OK, 4 Yes/No, 5 Retry/Cancel) plus
// icon (16 stop, 48 exclamation); results 1 OK, 2 Cancel, 4 Retry, 6 Yes, 7 No.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace vp {

namespace mb {
inline constexpr int OkOnly = 0;
inline constexpr int YesNo = 4;
inline constexpr int RetryCancel = 5;
inline constexpr int Critical = 16;
inline constexpr int Exclamation = 48;

inline constexpr int Ok = 1;
inline constexpr int Cancel = 2;
inline constexpr int Retry = 4;
inline constexpr int Yes = 6;
inline constexpr int No = 7;
} // namespace mb

// The captions of a box's buttons, in the program's language.
struct BoxCaptions {
    QString ok, yes, no, retry, cancel;
};

class MessageBoxes {
public:
    virtual ~MessageBoxes() = default;
    // Blocks until answered and returns the button pressed.
    virtual int MsgBox(const QString& prompt, int style, const QString& title) = 0;
    int MsgBox(const QString& prompt, int style) { return MsgBox(prompt, style, defaultTitle); }

    // The title a box gets where the handler gives none: the program's (the
    // runtime sets it from what the program hands it).
    QString defaultTitle;
    BoxCaptions captions;

    // The window whose handler asks (nullptr: none); a box opens on its monitor.
    std::function<const QWidget*()> askingWindow;
};

// The classic modal box of the desktop: Czech captions, the first button the
// default, Escape and the close box answering Cancel where there is one and OK
// where OK stands alone, and neither doing anything on a Yes/No box.
class QtMessageBoxes final : public MessageBoxes {
public:
    using MessageBoxes::MsgBox;
    int MsgBox(const QString& prompt, int style, const QString& title) override;
};

} // namespace vp
