// Valdrynix Plim 1.0. setup. Takes no command line (arguments are ignored); everything is simulated.
#include "app/program.h"
#include "app/translations.h"
#include "core/clock.h"
#include "core/msgbox.h"
#include "core/platform.h"
#include "core/theme.h"
#include "core/trace.h"
#include "core/values.h"

#include <QApplication>

int main(int argc, char* argv[])
{
    if (!vp::choosePlatform(argv[0]))
        return 1;
    vp::noBusAutolaunch();
    // The program has no options, and Qt gets none of the command line either
    // (no -display, no -platform): whatever is given there is ignored.
    (void)argc;
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("valdrynix-plim"));
    // Lets a desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.valdrynix.Plim"));
    vp::installTheme(app);
    vp::installStandardTranslations(app);
    vp::traceWindowSystem();

    vp::RealClock clock;
    vp::QtMessageBoxes boxes;
    vp::Random random;
    vp::Setup setup(clock, boxes, random);
    // Hidden screens keep nothing alive: closing the last visible window ends the program.
    setup.runtime().onNothingVisible = [] { QCoreApplication::quit(); };
    setup.launch();
    return QApplication::exec();
}
