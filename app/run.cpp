#include "app/run.h"

#include "app/program.h"
#include "app/translations.h"
#include "core/clock.h"
#include "core/msgbox.h"
#include "core/platform.h"
#include "core/theme.h"
#include "core/trace.h"
#include "core/values.h"

#include <QApplication>

namespace vp {

int run(char* programPath, const StartupMark& mark)
{
    const auto reached = [&mark](const char* step, Setup* setup) { return !mark || mark(step, setup); };
    if (!choosePlatform(programPath))
        return 1;
    noBusAutolaunch();
    if (!reached("platform", nullptr))
        return 2;
    // The program has no options, and Qt gets none of the command line either
    // (no -display, no -platform): whatever is given there is ignored.
    int qtArgc = 1;
    char* qtArgv[] = {programPath, nullptr};
    QApplication app(qtArgc, qtArgv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("valdrynix-plim"));
    // Lets a desktop match the windows to the menu entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.valdrynix.Plim"));
    if (!reached("app", nullptr))
        return 2;
    installTheme(app);
    installStandardTranslations(app);
    traceWindowSystem();
    if (!reached("theme", nullptr))
        return 2;

    RealClock clock;
    QtMessageBoxes boxes;
    Random random;
    Setup setup(clock, boxes, random);
    // Hidden screens keep nothing alive: closing the last visible window ends the program.
    setup.runtime().onNothingVisible = [] { QCoreApplication::quit(); };
    if (!reached("setup", &setup))
        return 2;
    setup.launch();
    if (!reached("shown", &setup))
        return 2;
    return QApplication::exec();
}

} // namespace vp
