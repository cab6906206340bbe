// Installation benchmark: the installation screen from its first tick to the
// completion dialog, on the virtual clock, with the widgets live on the
// offscreen platform. Each run builds a fresh program, shows the installation
// screen and advances the clock in 800 ms steps (one progress tick each) until
// the completion dialog is visible. The steps also fire the head animation
// (a 3200 ms timer starting a jump, a 40 ms timer moving the head), which is
// part of the real load and is counted and reported separately.
//
//   bench_install [--runs N] [--no-paint]
//
// By default the event loop is run after every step, so the screen repaints
// what the tick changed, as it would on a desktop; --no-paint leaves that out
// and times the handlers alone.
#include "app/program.h"
#include "core/clock.h"
#include "core/msgbox.h"
#include "core/theme.h"
#include "core/values.h"

#include <QApplication>
#include <QEvent>
#include <QMessageLogContext>
#include <QObject>
#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <numeric>
#include <vector>

namespace {

// Passes everything through to a virtual clock and counts the ticks of every
// source by the interval it was started with.
class CountingClock final : public vp::Clock {
public:
    explicit CountingClock(vp::VirtualClock& inner) : m_inner(inner) {}

    std::unique_ptr<vp::TickSource> createTickSource(std::function<void()> onTick) override
    {
        auto interval = std::make_shared<int>(0);
        auto inner = m_inner.createTickSource([this, interval, f = std::move(onTick)] {
            ++ticks[*interval];
            f();
        });
        return std::make_unique<Source>(std::move(inner), std::move(interval));
    }
    double secondsSinceMidnight() const override { return m_inner.secondsSinceMidnight(); }

    std::map<int, long> ticks; // interval in ms -> ticks fired

private:
    class Source final : public vp::TickSource {
    public:
        Source(std::unique_ptr<vp::TickSource> inner, std::shared_ptr<int> interval)
            : m_inner(std::move(inner)),
              m_interval(std::move(interval))
        {
        }
        void start(int intervalMs) override
        {
            *m_interval = intervalMs;
            m_inner->start(intervalMs);
        }
        void stop() override { m_inner->stop(); }

    private:
        std::unique_ptr<vp::TickSource> m_inner;
        std::shared_ptr<int> m_interval;
    };

    vp::VirtualClock& m_inner;
};

// Answers every box at once: No to the waste-bin question (Yes/No), Cancel
// where there is one, OK otherwise. Keeps the titles for the report.
class AnsweringBoxes final : public vp::MessageBoxes {
public:
    using vp::MessageBoxes::MsgBox;
    int MsgBox(const QString& /*prompt*/, int style, const QString& title) override
    {
        titles.push_back(title);
        switch (style & 0xF) {
        case vp::mb::YesNo:
            return vp::mb::No;
        case vp::mb::RetryCancel:
            return vp::mb::Cancel;
        default:
            return vp::mb::Ok;
        }
    }
    std::vector<QString> titles;
};

class PaintCounter final : public QObject {
public:
    long paints = 0;

protected:
    bool eventFilter(QObject* /*watched*/, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

struct Run {
    int steps = 0;
    long timer1 = 0;
    long jumpStarts = 0;
    long headSteps = 0;
    long otherTicks = 0;
    long paints = 0;
    double seconds = 0;
    bool completed = false;
    std::vector<QString> boxes;
};

Run install(bool paint, PaintCounter& painter)
{
    constexpr int StepMs = 800;
    constexpr int StepLimit = 2000; // far above a normal installation
    vp::VirtualClock virtualClock;
    CountingClock clock(virtualClock);
    AnsweringBoxes boxes;
    vp::Random random;
    vp::Setup setup(clock, boxes, random);

    setup.runtime().run([&setup] { setup.Inst().Show(); });
    QCoreApplication::processEvents(); // the first paint of the screen is not part of the ticks
    clock.ticks.clear();
    const long paintsBefore = painter.paints;

    Run run;
    const auto start = std::chrono::steady_clock::now();
    while (!setup.Form2().isVisible() && run.steps < StepLimit) {
        virtualClock.advance(StepMs);
        ++run.steps;
        if (paint)
            QCoreApplication::processEvents();
    }
    const auto end = std::chrono::steady_clock::now();

    run.seconds = std::chrono::duration<double>(end - start).count();
    run.completed = setup.Form2().isVisible();
    run.paints = painter.paints - paintsBefore;
    for (const auto& [interval, n] : clock.ticks) {
        if (interval == 800)
            run.timer1 += n;
        else if (interval == 3200)
            run.jumpStarts += n;
        else if (interval == 40)
            run.headSteps += n;
        else
            run.otherTicks += n;
    }
    run.boxes = boxes.titles;
    return run;
}

// The offscreen platform warns on every raise() the screens do when they are
// shown; that says nothing about the program, so it is counted, not printed.
long g_raiseWarnings = 0;
QtMessageHandler g_defaultHandler = nullptr;

void filterMessages(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (message == QLatin1String("This plugin does not support raise()")) {
        ++g_raiseWarnings;
        return;
    }
    g_defaultHandler(type, context, message);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2.0;
}

} // namespace

int main(int argc, char* argv[])
{
    int runs = 20;
    bool paint = true;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
            runs = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--no-paint") == 0) {
            paint = false;
        } else {
            std::fprintf(stderr, "usage: %s [--runs N] [--no-paint]\n", argv[0]);
            return 2;
        }
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_QPA_OFFSCREEN_NO_GLX"))
        qputenv("QT_QPA_OFFSCREEN_NO_GLX", "1");

    g_defaultHandler = qInstallMessageHandler(filterMessages);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    vp::installTheme(app);
    PaintCounter painter;
    app.installEventFilter(&painter);

    std::printf("installation benchmark: platform %s, %s, %d runs after 1 warm-up\n",
                qPrintable(QGuiApplication::platformName()),
                paint ? "repainting after every step" : "handlers only (--no-paint)", runs);
    std::printf("each 800 ms step fires one progress tick (Timer1) and also the head animation "
                "(Timer2 every 3200 ms, Timer3 every 40 ms during a jump): that is part of the real load\n");

    install(paint, painter); // warm-up: fonts, pictures, style caches

    std::vector<double> timer1PerSecond;
    std::vector<double> allPerSecond;
    std::vector<double> msPerInstall;
    int failures = 0;
    for (int i = 0; i < runs; ++i) {
        const Run r = install(paint, painter);
        const long all = r.timer1 + r.jumpStarts + r.headSteps + r.otherTicks;
        timer1PerSecond.push_back(static_cast<double>(r.timer1) / r.seconds);
        allPerSecond.push_back(static_cast<double>(all) / r.seconds);
        msPerInstall.push_back(r.seconds * 1000.0);
        QString boxes;
        for (const QString& t : r.boxes)
            boxes += (boxes.isEmpty() ? QString() : QStringLiteral(", ")) + QLatin1Char('"') + t + QLatin1Char('"');
        std::printf("run %2d: %s after %d steps; ticks: Timer1 %ld, Timer2 %ld, Timer3 %ld, other %ld; paints %ld; "
                    "boxes [%s]; %.1f ms\n",
                    i + 1, r.completed ? "completion dialog" : "NO completion dialog", r.steps, r.timer1, r.jumpStarts,
                    r.headSteps, r.otherTicks, r.paints, qPrintable(boxes), r.seconds * 1000.0);
        if (!r.completed)
            ++failures;
    }

    const auto mean = [](const std::vector<double>& v) {
        return std::accumulate(v.begin(), v.end(), 0.0) / static_cast<double>(v.size());
    };
    std::printf("one installation: median %.1f ms (mean %.1f ms)\n", median(msPerInstall), mean(msPerInstall));
    std::printf("progress ticks (Timer1) per second: median %.0f\n", median(timer1PerSecond));
    std::printf("all ticks (Timer1 + head animation) per second: median %.0f\n", median(allPerSecond));
    if (g_raiseWarnings)
        std::printf(
            "(the offscreen platform's \"does not support raise()\" warning came %ld times and was not printed)\n",
            g_raiseWarnings);
    if (failures)
        std::printf("%d run(s) never reached the completion dialog\n", failures);
    return failures ? 1 : 0;
}
