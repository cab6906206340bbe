#include "msgbox.h"

#include "platform.h"
#include "text.h"
#include "trace.h"

#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <utility>
#include <vector>

namespace vp {

namespace {

// QMessageBox guesses an escape button on its own (a lone "No" counts); the
// classic box knows exactly one, or none at all.
class ClassicBox final : public QMessageBox {
public:
    QAbstractButton* escape = nullptr;
    QScreen* monitor = nullptr;

protected:
    void showEvent(QShowEvent* e) override
    {
        // Qt centres a box without a parent on the monitor under the mouse
        // pointer (Qt 6.4) or wherever its screen was (Qt 6.8); it belongs in
        // the middle of the monitor of the window that asks, frame included.
        QMessageBox::showEvent(e);
        if (!monitor || e->spontaneous())
            return;
        QRect frame = frameGeometry();
        frame.moveCenter(monitor->availableGeometry().center());
        move(frame.topLeft());
    }
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Escape) {
            if (escape)
                escape->click();
            return;
        }
        QMessageBox::keyPressEvent(e);
    }
    void closeEvent(QCloseEvent* e) override
    {
        e->ignore();
        if (escape)
            escape->click();
    }
};

// The buttons of a style, each with the answer it gives.
std::vector<std::pair<QString, int>> buttonsOf(int style, const BoxCaptions& captions)
{
    switch (style & 0x0F) {
    case mb::YesNo:
        return {{captions.yes, mb::Yes}, {captions.no, mb::No}};
    case mb::RetryCancel:
        return {{captions.retry, mb::Retry}, {captions.cancel, mb::Cancel}};
    default:
        return {{captions.ok, mb::Ok}};
    }
}

QMessageBox::Icon iconOf(int style)
{
    switch (style & 0xF0) {
    case mb::Critical:
        return QMessageBox::Critical;
    case mb::Exclamation:
        return QMessageBox::Warning;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int QtMessageBoxes::MsgBox(const QString& prompt, int style, const QString& title)
{
    ClassicBox box;
    box.monitor = monitorOf(askingWindow ? askingWindow() : nullptr);
    // Put on that monitor before it shows, where Qt leaves it (a box moved
    // onto another monitor as it shows keeps Qt 6.8's default size of a
    // window); it is centred there once it has its size.
    if (box.monitor) {
        box.setScreen(box.monitor);
        box.move(box.monitor->availableGeometry().center());
    }
    box.setWindowTitle(title);
    box.setTextFormat(Qt::PlainText);
    box.setText(displayLines(prompt));
    box.setIcon(iconOf(style));
    std::vector<std::pair<QPushButton*, int>> made;
    int escapeResult = mb::Cancel;
    for (const auto& [caption, result] : buttonsOf(style, captions)) {
        auto* b = box.addButton(caption, QMessageBox::ActionRole);
        made.emplace_back(b, result);
        if (result == mb::Cancel || result == mb::Ok) {
            box.escape = b;
            escapeResult = result;
        }
    }
    box.setDefaultButton(made.front().first);
    // A title bar with a close box only, and none at all where no button cancels.
    Qt::WindowFlags flags = Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint;
    if (box.escape)
        flags |= Qt::WindowCloseButtonHint;
    box.setWindowFlags(flags);

    trace::boxOpen(title);
    box.exec();
    trace::boxClosed(title);
    for (const auto& [b, result] : made)
        if (box.clickedButton() == b)
            return result;
    return escapeResult;
}

} // namespace vp
