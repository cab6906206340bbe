// The window of a screen: the definition's colour, font and picture, the
// close box and clicks handed to the screen, and what accessibility keeps
// of it.
#pragma once

#include "widgets.h"

#include <QPixmap>
#include <QPointer>

namespace vp {

class Screen;
struct ScreenDef;

class ScreenWindow final : public Clickable {
public:
    ScreenWindow(Screen& screen, const ScreenDef& def, QPixmap picture);

    Screen& screen() const { return m_screen; }

    // The control that tells a screen reader of the page now shown (the one
    // that had the keyboard focus when the page turned), if any.
    QPointer<QWidget> pageTeller;

protected:
    void clicked() override;
    void paintEvent(QPaintEvent*) override;
    void closeEvent(QCloseEvent* e) override;
    bool event(QEvent* e) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;

private:
    Screen& m_screen;
    QPixmap m_picture;
};

} // namespace vp
