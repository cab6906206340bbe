// Start-up benchmark, the real program: main() exactly as app/main.cpp has it,
// plus a probe that reports when the splash window is first exposed and quits.
#include "app/program.h"
#include "bench/startup_probe.h"
#include "core/clock.h"
#include "core/msgbox.h"
#include "core/platform.h"
#include "core/theme.h"
#include "core/values.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    const vp::bench::ProcessAge age;
    vp::bench::FirstFrameProbe probe(age);
    probe.mark("main");

    if (!vp::choosePlatform(argv[0]))
        return 1;
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("valdrynix-plim"));
    probe.mark("app");
    vp::installTheme(app);
    probe.mark("theme");

    vp::RealClock clock;
    vp::QtMessageBoxes boxes;
    vp::Random random;
    vp::Setup setup(clock, boxes, random);
    setup.runtime().onNothingVisible = [] { QCoreApplication::quit(); };
    probe.mark("setup");
    setup.launch();
    probe.mark("shown");

    if (!probe.watch(setup.PreStart().window()))
        return 2;
    return QApplication::exec();
}
