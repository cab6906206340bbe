// Gallery: builds every screen offscreen, in the states a user meets it, and
// writes one PNG of each client area. Usage: gallery [OUTDIR] (default: gallery)
#include "app/program.h"
#include "core/clock.h"
#include "core/msgbox.h"
#include "core/theme.h"
#include "core/values.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QWidget>
#include <cstdio>

namespace {

// Every box is answered at once; the gallery shows screens, not boxes.
class AnswerAll final : public vp::MessageBoxes {
public:
    using vp::MessageBoxes::MsgBox;
    int MsgBox(const QString&, int style, const QString&) override
    {
        return (style & 0xF) == vp::mb::RetryCancel ? vp::mb::Cancel
               : (style & 0xF) == vp::mb::YesNo     ? vp::mb::No
                                                    : vp::mb::Ok;
    }
};

} // namespace

int main(int argc, char* argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    vp::installTheme(app);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("gallery");
    QDir().mkpath(out);

    vp::VirtualClock clock;
    AnswerAll boxes;
    vp::Random random;
    vp::Setup setup(clock, boxes, random);
    int written = 0;
    auto shoot = [&](vp::Screen& s, const QString& file) {
        QCoreApplication::processEvents();
        const QString path = out + QLatin1Char('/') + file + QStringLiteral(".png");
        if (!s.window()->grab().save(path)) {
            std::fprintf(stderr, "gallery: cannot write %s\n", qPrintable(path));
            std::exit(1);
        }
        std::printf("%s\n", qPrintable(path));
        ++written;
    };
    auto act = [&](const std::function<void()>& f) { setup.runtime().run(f); };

    setup.launch();
    shoot(setup.PreStart(), QStringLiteral("prestart"));
    clock.advance(2000);
    shoot(setup.Start(), QStringLiteral("start"));
    act([&] { setup.Start().Command2_MouseMove(); });
    shoot(setup.Start(), QStringLiteral("start-hover-right"));
    act([&] { setup.Start().Command1_Click(); });
    shoot(setup.Background(), QStringLiteral("background"));

    vp::Form1& wizard = setup.Form1();
    for (int page = 1; page <= 5; ++page) {
        if (page == 4)
            static_cast<QAbstractButton*>(wizard.C("optKon2").widget())->click(); // as the user would
        shoot(wizard, QStringLiteral("form1-page%1").arg(page));
        if (page < 5)
            act([&] { wizard.cmdDalsi_Click(); });
    }
    act([&] { wizard.cmdDalsi_Click(); });
    vp::Inst& inst = setup.Inst();
    shoot(inst, QStringLiteral("inst"));
    // About halfway, with the head in the air.
    while (inst.PercentDone < 55)
        clock.advance(800);
    while (!inst.C("hlava").Visible() || inst.C("hlava").Left() < 1500)
        clock.advance(40);
    shoot(inst, QStringLiteral("inst-progress"));
    while (!setup.Form2().isVisible())
        clock.advance(800);
    shoot(setup.Form2(), QStringLiteral("form2"));
    act([&] { setup.Form2().Command1_Click(); });
    shoot(setup.Rst(), QStringLiteral("rst"));
    act([&] { setup.Rst().Form_Click(); });
    shoot(setup.Form3(), QStringLiteral("form3"));
    // The picture bank is never shown by the program; here only for review.
    setup.ImageBank().Show();
    shoot(setup.ImageBank(), QStringLiteral("imagebank"));

    std::printf("%d pictures written to %s\n", written, qPrintable(out));
    return 0;
}
