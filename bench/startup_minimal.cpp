// Start-up benchmark, the baseline: the least a Qt Widgets program does to put
// up a window like the splash screen - one borderless 323 x 241 window with
// the portrait scaled into it - measured by the same probe.
#include "bench/startup_probe.h"
#include "screens/catalogue.h"

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QRect>
#include <QScreen>
#include <QWidget>

int main(int argc, char* argv[])
{
    const vp::bench::ProcessAge age;
    vp::bench::FirstFrameProbe probe(age);
    probe.mark("main");

    QApplication app(argc, argv);
    probe.mark("app");

    QWidget window(nullptr, Qt::Window | Qt::FramelessWindowHint);
    window.setFixedSize(323, 241);
    auto* picture = new QLabel(&window);
    picture->setGeometry(0, 0, 323, 241);
    picture->setScaledContents(true);
    picture->setPixmap(vp::Pictures().pixmap(vp::PictureId::Portrait));
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect r = window.geometry();
        r.moveCenter(screen->availableGeometry().center());
        window.move(r.topLeft());
    }
    probe.mark("setup");
    window.show();
    probe.mark("shown");

    if (!probe.watch(&window))
        return 2;
    return QApplication::exec();
}
