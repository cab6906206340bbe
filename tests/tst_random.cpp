// The whole program under a seeded stream of random input on virtual time:
// clicks, drags and mouse moves anywhere on the visible screens, keys to the
// focused control, close boxes, activations, answers of every kind to the
// message boxes, and clock advances. After every event the invariants below
// are checked; a failure names the seed, the event and the last events.
//
// VP_RANDOM_SEED=<seed>[,<seed>...] replays seeds exactly, VP_RANDOM_EVENTS=<n>
// sets the number of events (all seeds together), VP_RANDOM_TRACE=1 prints
// every event as it runs.
#include "fixture.h"

#include <QApplication>
#include <QClipboard>
#include <QCursor>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QSet>
#include <QUrl>
#include <array>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <map>
#include <numeric>
#include <random>
#include <unistd.h>

using namespace vp;

namespace {

// ---------------------------------------------------------------- the trail

// The last events as plain text, so that even a fatal signal can print them.
class Trail {
public:
    static constexpr int Size = 20;

    void setSeed(std::uint64_t seed)
    {
        std::snprintf(m_seed, sizeof m_seed, "seed %llu (replay: VP_RANDOM_SEED=%llu)",
                      static_cast<unsigned long long>(seed), static_cast<unsigned long long>(seed));
    }
    void add(long long number, const QString& text)
    {
        char* line = m_lines[static_cast<std::size_t>(m_next)].data();
        std::snprintf(line, LineSize, "  #%lld %s\n", number, text.toUtf8().constData());
        m_next = (m_next + 1) % Size;
        m_count = std::min(m_count + 1, Size);
    }
    void clear() { m_count = 0; }
    QString text() const
    {
        QString out;
        for (int i = 0; i < m_count; ++i)
            out += QString::fromUtf8(m_lines[static_cast<std::size_t>((m_next - m_count + i + Size) % Size)].data());
        return out;
    }
    // Async-signal-safe: only write(2) on what is already formatted.
    void writeTo(int fd, int signal) const
    {
        char head[160];
        const int n = std::snprintf(
            head, sizeof head,
            "\n*** signal %d in the random-input test, %s; the last events (the crashing one last):\n", signal, m_seed);
        put(fd, head, static_cast<std::size_t>(std::max(n, 0)));
        for (int i = 0; i < m_count; ++i) {
            const char* line = m_lines[static_cast<std::size_t>((m_next - m_count + i + Size) % Size)].data();
            put(fd, line, std::strlen(line));
        }
    }

private:
    static constexpr std::size_t LineSize = 300;
    static void put(int fd, const char* s, std::size_t n)
    {
        if (::write(fd, s, n) < 0) {
        }
    }
    char m_seed[96] = "no seed yet";
    std::array<std::array<char, LineSize>, Size> m_lines{};
    int m_next = 0;
    int m_count = 0;
};

Trail trail;

constexpr std::array<int, 5> FatalSignals = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
std::array<struct sigaction, 5> previousActions{};

void onFatalSignal(int signal)
{
    trail.writeTo(STDERR_FILENO, signal);
    // Hand over to whoever handled it before (the test library, the sanitizer).
    for (std::size_t i = 0; i < FatalSignals.size(); ++i)
        if (FatalSignals[i] == signal)
            sigaction(signal, &previousActions[i], nullptr);
    // A fault repeats on return with the real context; an abort is raised again.
    if (signal == SIGABRT)
        std::raise(signal);
}

struct FatalSignalTrail {
    FatalSignalTrail()
    {
        struct sigaction action {};
        action.sa_handler = onFatalSignal;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < FatalSignals.size(); ++i)
            sigaction(FatalSignals[i], &action, &previousActions[i]);
    }
    ~FatalSignalTrail()
    {
        for (std::size_t i = 0; i < FatalSignals.size(); ++i)
            sigaction(FatalSignals[i], &previousActions[i], nullptr);
    }
    FatalSignalTrail(const FatalSignalTrail&) = delete;
    FatalSignalTrail& operator=(const FatalSignalTrail&) = delete;
};

// QTest warns about every input event that no widget accepted; with random
// input that is most of them, and nothing to worry about.
QtMessageHandler previousHandler = nullptr;
void quietHandler(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type == QtWarningMsg && message.contains(QLatin1String("not accepted by receiving widget")))
        return;
    // The offscreen platform has no stacking order to change.
    if (type == QtWarningMsg && message == QLatin1String("This plugin does not support raise()"))
        return;
    if (previousHandler)
        previousHandler(type, context, message);
}

// ---------------------------------------------------------------- one program

// Answers every box through the driver and records how many are open at once.
class RandomBoxes final : public MessageBoxes {
public:
    using MessageBoxes::MsgBox;
    std::function<int(const QString&, int, const QString&)> answer;
    int open = 0;
    int deepest = 0;

    int MsgBox(const QString& prompt, int style, const QString& title) override
    {
        ++open;
        deepest = std::max(deepest, open);
        struct Closed {
            int& open;
            ~Closed() { --open; }
        } closed{open};
        return answer(prompt, style, title);
    }
};

// One run of the program, from launch until its last window is closed.
struct Life {
    explicit Life(double timeOfDay) : clock(timeOfDay) {}
    VirtualClock clock;
    RandomBoxes boxes;
    Random random;
    Setup setup{clock, boxes, random};
    bool ended = false;
};

struct Stats {
    std::map<QString, long long> events;
    QSet<QString> screensSeen;
    std::map<QString, long long> answers; // "title: answer"
    QSet<int> pagesSeen;
    int lives = 0;
    int ends = 0;
    int completions = 0; // the bar reached 100 %
    int innerEvents = 0; // events while a box was open
};

// ---------------------------------------------------------------- the driver

class Driver {
public:
    Driver(std::uint64_t seed, long long events, Stats& stats)
        : m_seed(seed),
          m_rng(seed),
          m_budget(events),
          m_stats(stats)
    {
        trail.setSeed(seed);
        trail.clear();
        // Every seed starts from the same outside world: a clipboard and a
        // selection that nobody owns, which X11 hands out as data with no
        // formats at all, and the pointer in a corner.
        QGuiApplication::clipboard()->setMimeData(new QMimeData, QClipboard::Clipboard);
        if (QGuiApplication::clipboard()->supportsSelection())
            QGuiApplication::clipboard()->setMimeData(new QMimeData, QClipboard::Selection);
        QCursor::setPos(0, 0);
        QCoreApplication::processEvents();
    }
    ~Driver()
    {
        m_life.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    void run()
    {
        while (m_event < m_budget && m_failure.isEmpty()) {
            if (!m_life || m_life->ended)
                startLife();
            else
                guarded([this] { step(); });
            // The event loop deletes closed windows between two inputs.
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            if (m_failure.isEmpty())
                check(false);
        }
    }

    const QString& failure() const { return m_failure; }
    long long events() const { return m_event; }
    std::uint64_t digest() const { return m_digest; }

private:
    // ------------------------------------------------------------ randomness

    std::uint64_t below(std::uint64_t n) { return m_rng() % n; }
    int between(int lo, int hi) { return lo + static_cast<int>(below(static_cast<std::uint64_t>(hi - lo + 1))); }
    bool chance(int percent) { return below(100) < static_cast<std::uint64_t>(percent); }
    template <class T>
    const T& pick(const std::vector<T>& v)
    {
        return v[static_cast<std::size_t>(below(v.size()))];
    }
    QPoint pointIn(const QRect& r) { return {between(r.left(), r.right()), between(r.top(), r.bottom())}; }

    // ------------------------------------------------------------ bookkeeping

    // Logs an event before it runs, so that a crash still shows it.
    void begin(const QString& kind, const QString& what)
    {
        ++m_event;
        ++m_stats.events[kind];
        const QString line =
            (m_life && m_life->boxes.open ? QStringLiteral("[in box] ") : QString()) + kind + QLatin1Char(' ') + what;
        trail.add(m_event, line);
        for (const QChar c : line)
            m_digest = (m_digest ^ c.unicode()) * 1099511628211ULL;
        if (m_trace)
            qInfo("#%lld %s", m_event, qPrintable(line));
    }

    void fail(const QString& what)
    {
        if (!m_failure.isEmpty())
            return;
        m_failure =
            QStringLiteral(
                "seed %1, event %2 (program run %3): %4\nlast events:\n%5replay: VP_RANDOM_SEED=%1 VP_RANDOM_EVENTS=%2")
                .arg(m_seed)
                .arg(m_event)
                .arg(m_lives)
                .arg(what, trail.text());
    }

    void guarded(const std::function<void()>& f)
    {
        try {
            f();
        } catch (const std::exception& e) {
            fail(QStringLiteral("exception: %1").arg(QString::fromUtf8(e.what())));
        }
    }

    Setup& setup() { return m_life->setup; }

    // The program's screens, as the runtime keeps them (made once, at set-up).
    const std::vector<Screen*>& screens() { return setup().runtime().screens; }
    std::vector<QWidget*> visibleWindows()
    {
        std::vector<QWidget*> out;
        for (Screen* s : screens())
            if (s->isVisible())
                out.push_back(s->window());
        return out;
    }
    QString screenOf(const QWidget* w)
    {
        for (Screen* s : screens())
            if (s->window() && s->window() == w->window())
                return s->name();
        return QStringLiteral("?");
    }
    // "Form1.txtKonf/qt_scrollarea_viewport", "Rst", ...
    QString describe(QWidget* w)
    {
        QString path;
        for (QWidget* x = w; x && !x->isWindow(); x = x->parentWidget()) {
            const QString n =
                x->objectName().isEmpty() ? QString::fromLatin1(x->metaObject()->className()) : x->objectName();
            path = path.isEmpty() ? n : n + QLatin1Char('/') + path;
            if (!x->objectName().startsWith(QLatin1String("qt_")) && !x->objectName().isEmpty())
                break;
        }
        return path.isEmpty() ? screenOf(w) : screenOf(w) + QLatin1Char('.') + path;
    }

    // ------------------------------------------------------------ lives

    void startLife()
    {
        m_life.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        // Any time of day, now and then just before midnight.
        const double timeOfDay =
            chance(10) ? 86400.0 - static_cast<double>(between(1, 400)) : static_cast<double>(below(86400000)) / 1000.0;
        m_life = std::make_unique<Life>(timeOfDay);
        m_life->random.setState(static_cast<std::uint32_t>(below(0x1000000)));
        // Closes now and then, often or seldom: seldom lets an installation finish.
        m_closeWeight = pick(std::vector<int>{2, 10, 40});
        m_instWindow = nullptr;
        ++m_stats.lives;
        ++m_lives;
        m_life->boxes.answer = [this](const QString& prompt, int style, const QString& title) {
            return answerBox(prompt, style, title);
        };
        m_life->setup.runtime().onNothingVisible = [this] {
            m_life->ended = true;
            ++m_stats.ends;
            if (!visibleWindows().empty())
                fail(QStringLiteral("the program was told that nothing is visible while %1 is")
                         .arg(screenOf(visibleWindows().front())));
        };
        begin(QStringLiteral("launch"),
              QStringLiteral("run %1 at %2 s after midnight, generator state %3, close weight %4")
                  .arg(m_lives)
                  .arg(timeOfDay, 0, 'f', 3)
                  .arg(m_life->random.state())
                  .arg(m_closeWeight));
        guarded([this] { setup().launch(); });
    }

    // ------------------------------------------------------------ events

    void step()
    {
        const std::vector<QWidget*> windows = visibleWindows();
        if (windows.empty()) {
            fail(QStringLiteral("no screen is visible and the program did not end"));
            return;
        }
        const std::array<int, 10> weights = {240, 160, 240, 240, m_closeWeight, 60, 50, 20, 30, 10};
        int total = 0;
        for (int w : weights)
            total += w;
        int r = static_cast<int>(below(static_cast<std::uint64_t>(total)));
        std::size_t kind = 0;
        while (r >= weights[kind])
            r -= weights[kind++];
        const std::array<std::function<void()>, 10> events = {
            [&] { mouseButtons(pick(windows)); }, [&] { mouseMove(pick(windows)); },
            [&] { key(pick(windows)); },          [this] { advance(); },
            [&] { closeBox(pick(windows)); },     [&] { activate(windows); },
            [this] { deliverPending(); },         [this] { directClick(); },
            [this] { middleClickTextBox(); },     [this] { outsideClipboard(); }};
        events[kind]();
    }

    // Another application puts something on the clipboard and the selection,
    // or gives them up.
    void outsideClipboard()
    {
        auto* data = new QMimeData;
        QString what;
        switch (between(0, 5)) {
        case 0:
            what = QStringLiteral("nothing (no owner)");
            break;
        case 1: {
            static const std::vector<QString> texts = {QStringLiteral("Plim"),
                                                       QStringLiteral("ř\r\ns\nt\r"),
                                                       QStringLiteral("C:\\Windows\t\tx"),
                                                       QString(),
                                                       QStringLiteral("\r\n\r\n"),
                                                       QStringLiteral("žluťoučký kůň ").repeated(400),
                                                       QString(QChar(0x25AF)) + QChar(0x2029) + QChar(0)};
            const QString& text = pick(texts);
            data->setText(text);
            what = QStringLiteral("text of %1 characters").arg(text.size());
            break;
        }
        case 2:
            data->setHtml(QStringLiteral("<b>tučně</b><br>dál"));
            data->setText(QStringLiteral("tučně\ndál"));
            what = QStringLiteral("rich text");
            break;
        case 3:
            data->setData(QStringLiteral("image/png"), QByteArray("\x89PNG\r\n"));
            what = QStringLiteral("a picture only");
            break;
        case 4:
            data->setUrls({QUrl(QStringLiteral("file:///tmp/plim.txt"))});
            what = QStringLiteral("a file");
            break;
        default:
            delete data;
            data = nullptr;
            what = QStringLiteral("cleared");
            break;
        }
        begin(QStringLiteral("clipboard"), what);
        QClipboard* clipboard = QGuiApplication::clipboard();
        if (clipboard->supportsSelection()) {
            if (data) {
                auto* copy = new QMimeData;
                for (const QString& format : data->formats())
                    copy->setData(format, data->data(format));
                clipboard->setMimeData(copy, QClipboard::Selection);
            } else {
                clipboard->clear(QClipboard::Selection);
            }
        }
        if (data)
            clipboard->setMimeData(data, QClipboard::Clipboard);
        else
            clipboard->clear(QClipboard::Clipboard);
    }

    // A click, double click or drag at a random point of a window, on
    // whatever is there: a control, a disabled one, a frame, the window.
    void mouseButtons(QWidget* window)
    {
        const QPoint p = pointIn(window->rect());
        QWidget* target = window->childAt(p);
        if (!target)
            target = window;
        const QPoint at = target->mapFrom(window, p);
        const Qt::MouseButton button = chance(85) ? Qt::LeftButton : chance(70) ? Qt::MiddleButton : Qt::RightButton;
        const Qt::KeyboardModifiers mods = chance(90)   ? Qt::NoModifier
                                           : chance(50) ? Qt::ShiftModifier
                                                        : Qt::ControlModifier;
        const QString where = QStringLiteral("%1%2 %3 (%4,%5)")
                                  .arg(mods == Qt::ShiftModifier     ? QStringLiteral("Shift+")
                                       : mods == Qt::ControlModifier ? QStringLiteral("Ctrl+")
                                                                     : QString())
                                  .arg(button == Qt::LeftButton     ? QStringLiteral("left")
                                       : button == Qt::MiddleButton ? QStringLiteral("middle")
                                                                    : QStringLiteral("right"))
                                  .arg(describe(target))
                                  .arg(at.x())
                                  .arg(at.y());
        QPointer<QWidget> guard(target);
        // A click on a window that is not active activates it first, as the
        // window manager does.
        const auto activateFirst = [&] {
            QEvent activateEvent(QEvent::WindowActivate);
            QApplication::sendEvent(window, &activateEvent);
        };
        const bool activating = chance(25);
        const QString activated = activating ? QStringLiteral(", activating its window") : QString();
        const int variant = between(0, 9);
        if (variant < 7) {
            begin(QStringLiteral("click"), where + activated);
            if (activating)
                activateFirst();
            if (guard)
                QTest::mouseClick(guard, button, mods, at);
        } else if (variant < 8) {
            begin(QStringLiteral("double-click"), where + activated);
            if (activating)
                activateFirst();
            if (guard)
                QTest::mouseClick(guard, button, mods, at);
            if (guard)
                QTest::mouseDClick(guard, button, mods, at);
            if (guard)
                QTest::mouseRelease(guard, button, mods, at);
        } else {
            // Pressed here, released elsewhere (the pressed widget keeps the
            // mouse), now and then with time passing in between.
            const QPoint to = target->mapFrom(window, pointIn(window->rect().adjusted(-20, -20, 20, 20)));
            const std::int64_t held = chance(30) ? advanceLength() : -1;
            begin(QStringLiteral("drag"),
                  where +
                      QStringLiteral(" to (%1,%2)%3")
                          .arg(to.x())
                          .arg(to.y())
                          .arg(held >= 0 ? QStringLiteral(" held %1 ms").arg(held) : QString()) +
                      activated);
            if (activating)
                activateFirst();
            if (guard)
                QTest::mousePress(guard, button, mods, at);
            if (guard && held >= 0)
                m_life->clock.advance(held);
            if (guard) {
                QMouseEvent move(QEvent::MouseMove, QPointF(to), guard->mapToGlobal(QPointF(to)), Qt::NoButton, button,
                                 mods);
                QApplication::sendEvent(guard, &move);
            }
            if (guard)
                QTest::mouseRelease(guard, button, mods, to);
        }
    }

    void mouseMove(QWidget* window)
    {
        const QPoint p = pointIn(window->rect());
        QWidget* target = window->childAt(p);
        if (!target)
            target = window;
        const QPoint at = target->mapFrom(window, p);
        if (chance(80)) {
            begin(QStringLiteral("move"), QStringLiteral("%1 (%2,%3)").arg(describe(target)).arg(at.x()).arg(at.y()));
            QMouseEvent move(QEvent::MouseMove, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QApplication::sendEvent(target, &move);
        } else {
            // Through the platform's pointer: it lands on whichever window is there.
            begin(QStringLiteral("pointer"),
                  QStringLiteral("%1 (%2,%3)").arg(describe(target)).arg(at.x()).arg(at.y()));
            QTest::mouseMove(target, at);
        }
    }

    struct KeyPress {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers mods = Qt::NoModifier;
    };

    void key(QWidget* window)
    {
        // Weighted by repetition: Tab, Return, Space, Ctrl+V and letters come more often.
        static const std::vector<KeyPress> keys = {{"Tab", Qt::Key_Tab},
                                                   {"Tab", Qt::Key_Tab},
                                                   {"Shift+Tab", Qt::Key_Backtab, Qt::ShiftModifier},
                                                   {"Return", Qt::Key_Return},
                                                   {"Return", Qt::Key_Return},
                                                   {"Enter", Qt::Key_Enter, Qt::KeypadModifier},
                                                   {"Escape", Qt::Key_Escape},
                                                   {"Space", Qt::Key_Space},
                                                   {"Space", Qt::Key_Space},
                                                   {"Left", Qt::Key_Left},
                                                   {"Right", Qt::Key_Right},
                                                   {"Up", Qt::Key_Up},
                                                   {"Down", Qt::Key_Down},
                                                   {"Home", Qt::Key_Home},
                                                   {"End", Qt::Key_End},
                                                   {"Ctrl+V", Qt::Key_V, Qt::ControlModifier},
                                                   {"Ctrl+V", Qt::Key_V, Qt::ControlModifier},
                                                   {"Shift+Insert", Qt::Key_Insert, Qt::ShiftModifier},
                                                   {"Ctrl+A", Qt::Key_A, Qt::ControlModifier},
                                                   {"Ctrl+Z", Qt::Key_Z, Qt::ControlModifier},
                                                   {"Ctrl+Shift+Z", Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier},
                                                   {"Ctrl+C", Qt::Key_C, Qt::ControlModifier},
                                                   {"Ctrl+X", Qt::Key_X, Qt::ControlModifier},
                                                   {"Delete", Qt::Key_Delete},
                                                   {"Backspace", Qt::Key_Backspace},
                                                   {"Backspace", Qt::Key_Backspace},
                                                   {"letter", Qt::Key_unknown},
                                                   {"letter", Qt::Key_unknown},
                                                   {"letter", Qt::Key_unknown},
                                                   {"Czech letter", Qt::Key_unknown},
                                                   {"Czech letter", Qt::Key_unknown}};
        static const QString latin =
            QStringLiteral("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 .,-_:\\/");
        static const QString czech = QStringLiteral("áčďéěíňóřšťúůýžÁČĎÉĚÍŇÓŘŠŤÚŮÝŽ");

        // The keyboard goes to the window's focused control while that can
        // take it; otherwise to the window itself.
        QWidget* target = window->focusWidget();
        if (!target || !target->isVisible() || !target->isEnabled())
            target = window;
        QPointer<QWidget> guard(target);
        const KeyPress& k = pick(keys);
        if (k.key == Qt::Key_unknown) {
            const QString& set = QByteArray(k.name) == "letter" ? latin : czech;
            const QChar c = set[static_cast<qsizetype>(below(static_cast<std::uint64_t>(set.size())))];
            begin(QStringLiteral("key"), QStringLiteral("%1 to %2").arg(c).arg(describe(target)));
            const QChar upper = c.toUpper();
            const auto code = static_cast<Qt::Key>(upper.unicode());
            const Qt::KeyboardModifiers mods = c != upper     ? Qt::NoModifier
                                               : c.isLetter() ? Qt::ShiftModifier
                                                              : Qt::NoModifier;
            QTest::sendKeyEvent(QTest::Press, guard, code, QString(c), mods);
            if (guard)
                QTest::sendKeyEvent(QTest::Release, guard, code, QString(c), mods);
            return;
        }
        begin(QStringLiteral("key"), QStringLiteral("%1 to %2").arg(QLatin1String(k.name), describe(target)));
        const bool tab = k.key == Qt::Key_Tab || k.key == Qt::Key_Backtab;
        const QStringList textsBefore = tab ? texts() : QStringList();
        QTest::keyClick(guard, k.key, k.mods);
        // Tab and Shift+Tab only move the focus, out of a text box too.
        if (tab && texts() != textsBefore)
            fail(QStringLiteral("%1 changed the text of a text box").arg(QLatin1String(k.name)));
    }

    // What every text box of the loaded screens holds.
    QStringList texts()
    {
        QStringList out;
        for (Screen* s : screens())
            if (s->isLoaded())
                for (const auto& c : s->controls())
                    if (c->kind() == Kind::TextBox)
                        out << c->shownText();
        return out;
    }

    // 0, 40, 800 and 2000 ms (a tick of each timer) or any length up to 6 s.
    std::int64_t advanceLength()
    {
        static constexpr std::array<std::int64_t, 5> ticks = {0, 40, 40, 800, 800};
        const int i = between(0, 9);
        return i < 5 ? ticks[static_cast<std::size_t>(i)] : i == 5 ? 2000 : between(1, 6000);
    }

    void advance()
    {
        const std::int64_t ms = advanceLength();
        begin(QStringLiteral("time"), QStringLiteral("+%1 ms").arg(ms));
        m_life->clock.advance(ms);
    }

    void closeBox(QWidget* window)
    {
        begin(QStringLiteral("close"), describe(window));
        window->close();
    }

    // The window manager activates a window: the backdrop clicked (most
    // often), any visible window, or late, one the program has hidden since.
    void activate(const std::vector<QWidget*>& windows)
    {
        QWidget* target = nullptr;
        Screen& backdrop = setup().Background();
        if (backdrop.isVisible() && chance(60)) {
            target = backdrop.window();
        } else if (chance(85)) {
            target = pick(windows);
        } else {
            std::vector<QWidget*> hidden;
            for (Screen* s : screens())
                if (s->isLoaded() && !s->isVisible())
                    hidden.push_back(s->window());
            target = hidden.empty() ? pick(windows) : pick(hidden);
        }
        const bool click = target == backdrop.window() && chance(50);
        const QPoint at = pointIn(target->rect());
        begin(QStringLiteral("activate"),
              describe(target) +
                  (click ? QStringLiteral(" by a click at (%1,%2)").arg(at.x()).arg(at.y()) : QString()));
        QPointer<QWidget> guard(target);
        QEvent activateEvent(QEvent::WindowActivate);
        QApplication::sendEvent(target, &activateEvent);
        if (click && guard)
            QTest::mouseClick(guard, Qt::LeftButton, {}, at);
        if (target == backdrop.window() && backdrop.isVisible() && !setup().runtime().busy())
            checkBackdropHandedOver();
    }

    // The backdrop, once activated, hands the focus to the dialog that the
    // indicator names if that one is shown, else (the indicator naming a
    // dialog) to the first of the wizard, the installation and the completion
    // dialog that is shown, and otherwise keeps it.
    void checkBackdropHandedOver()
    {
        const std::array<Screen*, 4> dialogs = {nullptr, &setup().Form1(), &setup().Inst(), &setup().Form2()};
        Screen* named = dialogs.at(static_cast<std::size_t>(setup().ActiveDialog));
        Screen* expected = &setup().Background();
        if (named && named->isVisible())
            expected = named;
        else if (named)
            for (Screen* d : {dialogs[1], dialogs[2], dialogs[3]})
                if (d->isVisible()) {
                    expected = d;
                    break;
                }
        const Screen* active = setup().runtime().activeScreen();
        if (active != expected)
            fail(QStringLiteral("the backdrop was activated with the indicator at %1: %2 is active, not %3")
                     .arg(setup().ActiveDialog)
                     .arg(active ? active->name() : QStringLiteral("nothing"), expected->name()));
    }

    // Straight at a control, whether it is shown, hidden or disabled.
    void directClick()
    {
        std::vector<QWidget*> widgets;
        for (Screen* s : screens())
            if (s->isVisible())
                for (const auto& c : s->controls())
                    if (c->widget())
                        widgets.push_back(c->widget());
        if (widgets.empty())
            return advance();
        QWidget* target = pick(widgets);
        const QPoint at = target->rect().isEmpty() ? QPoint(1, 1) : pointIn(target->rect());
        begin(QStringLiteral("direct click"), QStringLiteral("%1 (%2,%3)%4%5")
                                                  .arg(describe(target))
                                                  .arg(at.x())
                                                  .arg(at.y())
                                                  .arg(target->isVisible() ? QString() : QStringLiteral(" hidden"))
                                                  .arg(target->isEnabled() ? QString() : QStringLiteral(" disabled")));
        QTest::mouseClick(target, Qt::LeftButton, {}, at);
    }

    // The middle button pastes the primary selection into a text box.
    void middleClickTextBox()
    {
        std::vector<QWidget*> boxes;
        for (Screen* s : screens())
            if (s->isVisible())
                for (const auto& c : s->controls())
                    if (c->kind() == Kind::TextBox && c->widget() && c->widget()->isVisible()) {
                        auto* edit = qobject_cast<QPlainTextEdit*>(c->widget());
                        boxes.push_back(edit ? edit->viewport() : c->widget());
                    }
        if (boxes.empty())
            return mouseMove(pick(visibleWindows()));
        QWidget* target = pick(boxes);
        const QPoint at = pointIn(target->rect());
        begin(QStringLiteral("middle click"),
              QStringLiteral("%1 (%2,%3)").arg(describe(target)).arg(at.x()).arg(at.y()));
        QTest::mouseClick(target, Qt::MiddleButton, {}, at);
    }

    // ------------------------------------------------------------ message boxes

    int answerBox(const QString& prompt, int style, const QString& title)
    {
        Life& life = *m_life;
        if (life.boxes.deepest > 1)
            fail(QStringLiteral("box \"%1\" shown while another box was open").arg(title));
        if (!setup().runtime().busy())
            fail(QStringLiteral("box \"%1\" shown outside any handler").arg(title));
        if (title.isEmpty() || prompt.isEmpty())
            fail(QStringLiteral("box with an empty title or prompt (\"%1\")").arg(title));

        struct Answer {
            const char* how;
            int result;
        };
        std::vector<Answer> answers;
        switch (style & 0x0F) {
        case mb::OkOnly:
            answers = {{"OK", mb::Ok}, {"Return", mb::Ok}, {"Escape", mb::Ok}, {"close box", mb::Ok}};
            break;
        case mb::YesNo:
            answers = {{"Ano", mb::Yes}, {"Ne", mb::No}, {"Return", mb::Yes}};
            break;
        case mb::RetryCancel:
            answers = {{"Opakovat", mb::Retry},
                       {"Storno", mb::Cancel},
                       {"Return", mb::Retry},
                       {"Escape", mb::Cancel},
                       {"close box", mb::Cancel}};
            break;
        default:
            fail(QStringLiteral("box \"%1\" with buttons of unknown style %2").arg(title).arg(style));
            return mb::Ok;
        }
        const int icon = style & 0xF0;
        if (style & ~0xFF || (icon != 0 && icon != mb::Critical && icon != mb::Exclamation))
            fail(QStringLiteral("box \"%1\" with unknown style %2").arg(title).arg(style));

        // While the box waits, time passes and the window manager may
        // activate windows; everything else is blocked by the box.
        for (int n = 0; n < 12 && m_failure.isEmpty() && m_event < m_budget && chance(55); ++n) {
            ++m_stats.innerEvents;
            guarded([&] { whileBoxOpen(); });
            if (m_failure.isEmpty())
                check(true);
        }
        const Answer& a = pick(answers);
        begin(QStringLiteral("answer"),
              QStringLiteral("\"%1\" style %2: %3").arg(title).arg(style).arg(QLatin1String(a.how)));
        ++m_stats.answers[title + QStringLiteral(": ") + QLatin1String(a.how)];
        return a.result;
    }

    void whileBoxOpen()
    {
        const int what = between(0, 9);
        const std::vector<QWidget*> windows = visibleWindows();
        if (what < 6 || windows.empty()) {
            advance();
        } else if (what < 9) {
            activate(windows);
        } else {
            deliverPending();
        }
    }

    void deliverPending()
    {
        begin(QStringLiteral("loop"), QStringLiteral("pending window-system events delivered"));
        QCoreApplication::processEvents();
    }

    // ------------------------------------------------------------ invariants

    void check(bool insideBox)
    {
        if (!m_life)
            return;
        Life& life = *m_life;
        Runtime& rt = setup().runtime();
        if (!insideBox && rt.busy())
            return fail(QStringLiteral("a handler is still running between two events"));
        if (insideBox && !rt.busy())
            return fail(QStringLiteral("a message box is open outside any handler"));
        if (life.boxes.deepest > 1)
            return fail(QStringLiteral("two message boxes were open at once"));
        if (!insideBox && life.boxes.open != 0)
            return fail(QStringLiteral("a message box is still open between two events"));

        if (setup().ActiveDialog < 0 || setup().ActiveDialog > 3)
            return fail(QStringLiteral("the active-dialog indicator is %1").arg(setup().ActiveDialog));
        if (setup().ImageBank().isVisible())
            return fail(QStringLiteral("the picture bank is visible"));

        const std::vector<QWidget*> windows = visibleWindows();
        for (const QWidget* w : windows)
            m_stats.screensSeen.insert(screenOf(w));
        if (life.ended) {
            if (!windows.empty())
                return fail(QStringLiteral("the program ended with %1 still visible").arg(screenOf(windows.front())));
        } else if (windows.empty()) {
            return fail(QStringLiteral("no screen is visible and the program did not end"));
        }
        if (const Screen* active = rt.activeScreen(); active && !active->isVisible())
            return fail(QStringLiteral("the active screen %1 is not visible").arg(active->name()));

        checkWizard();
        checkPrompt();
        checkInstallation();
        checkTextBoxes();
    }

    void checkWizard()
    {
        Form1& w = setup().Form1();
        if (!w.isLoaded())
            return;
        int shown = 0;
        QString pages;
        for (int f = 1; f <= 5; ++f) {
            const std::string name = "Frame" + std::to_string(f);
            const Control* frame = w.findControl(name);
            if (!frame)
                return fail(QStringLiteral("the wizard has no %1").arg(QString::fromStdString(name)));
            if (frame->Visible() == frame->widget()->isHidden())
                return fail(QStringLiteral("the wizard's %1 is shown other than its Visible says")
                                .arg(QString::fromStdString(name)));
            if (frame->Visible()) {
                ++shown;
                pages += QString::number(f);
                if (w.AktFaze != f)
                    return fail(QStringLiteral("the wizard shows page %1 while on page %2").arg(f).arg(w.AktFaze));
            }
        }
        if (shown != 1)
            return fail(QStringLiteral("the wizard shows %1 pages (%2)").arg(shown).arg(pages));
        if (w.findControl("cmdZpet")->Enabled() != (w.AktFaze != 1) || !w.findControl("cmdDalsi")->Enabled())
            return fail(QStringLiteral("the wizard's Back or Next is wrongly enabled on page %1").arg(w.AktFaze));
        if (w.isVisible())
            m_stats.pagesSeen.insert(w.AktFaze);
    }

    void checkPrompt()
    {
        Start& s = setup().Start();
        if (!s.isLoaded())
            return;
        const Control* c1 = s.findControl("Command1");
        const Control* c2 = s.findControl("Command2");
        const QSet<QString> captions = {c1->shownText(), c2->shownText()};
        if (captions != QSet<QString>{QStringLiteral("Ano"), QStringLiteral("Ne")})
            return fail(QStringLiteral("the welcome prompt's answers read \"%1\" and \"%2\"")
                            .arg(c1->shownText(), c2->shownText()));
        for (const Control* c : {c1, c2})
            if (static_cast<QPushButton*>(c->widget())->text() != c->shownText())
                return fail(
                    QStringLiteral("the prompt's %1 shows \"%2\" for \"%3\"")
                        .arg(QString::fromUtf8(c->def().name.data(), static_cast<qsizetype>(c->def().name.size())),
                             static_cast<QPushButton*>(c->widget())->text(), c->shownText()));
    }

    void checkInstallation()
    {
        Inst& inst = setup().Inst();
        if (!inst.isLoaded())
            return;
        // A window loaded anew starts its bar anew; within one it only grows.
        if (m_instWindow.isNull() || m_instWindow != inst.window()) {
            m_instWindow = inst.window();
            m_lastFill = -1;
            m_lastPixels = -1;
            m_lastPercent = -1;
        }
        const Control* fill = inst.findControl("lblM");
        const QString caption = inst.findControl("lblPrcnt")->shownText();
        const bool hasSign = caption.endsWith(QLatin1Char('%'));
        bool ok = false;
        const int percent = caption.chopped(hasSign ? 1 : 0).trimmed().toInt(&ok);
        if (!hasSign || !ok)
            return fail(QStringLiteral("the installation shows \"%1\" for its percentage").arg(caption));
        const int pixels = fill->widget()->width();
        if (fill->Width() < m_lastFill || pixels < m_lastPixels || percent < m_lastPercent)
            return fail(
                QStringLiteral("the installation went back from %1 % (bar %2 twips, %3 px) to %4 % (%5 twips, %6 px)")
                    .arg(m_lastPercent)
                    .arg(double(m_lastFill))
                    .arg(m_lastPixels)
                    .arg(percent)
                    .arg(double(fill->Width()))
                    .arg(pixels));
        if (percent > 100)
            return fail(QStringLiteral("the installation shows %1 %").arg(percent));
        if (percent == 100 && m_lastPercent < 100)
            ++m_stats.completions;
        m_lastFill = fill->Width();
        m_lastPixels = pixels;
        m_lastPercent = percent;
    }

    // The Text of a text box is always what the box shows, whoever typed it.
    void checkTextBoxes()
    {
        for (Screen* s : screens()) {
            if (!s->isLoaded())
                continue;
            for (const auto& c : s->controls()) {
                if (c->kind() != Kind::TextBox || !c->widget())
                    continue;
                QString shown;
                if (auto* edit = qobject_cast<QPlainTextEdit*>(c->widget()))
                    shown = textFromDisplay(edit->toPlainText());
                else if (auto* line = qobject_cast<QLineEdit*>(c->widget()))
                    shown = line->text();
                if (shown != c->shownText())
                    return fail(
                        QStringLiteral("text box %1.%2 holds \"%3\" but shows \"%4\"")
                            .arg(s->name(), c->widget()->objectName(), c->shownText().left(80), shown.left(80)));
            }
        }
    }

    std::uint64_t m_seed;
    std::mt19937_64 m_rng;
    long long m_budget;
    long long m_event = 0;
    bool m_trace = qEnvironmentVariableIntValue("VP_RANDOM_TRACE") != 0;
    std::unique_ptr<Life> m_life;
    int m_closeWeight = 1;
    QString m_failure;
    Stats& m_stats; // shared by all seeds
    int m_lives = 0;
    std::uint64_t m_digest = 14695981039346656037ULL;
    QPointer<QWidget> m_instWindow;
    float m_lastFill = -1;
    int m_lastPixels = -1;
    int m_lastPercent = -1;
};

} // namespace

class RandomTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() { previousHandler = qInstallMessageHandler(quietHandler); }
    void cleanupTestCase() { qInstallMessageHandler(previousHandler); }

    void randomInput()
    {
        std::vector<std::uint64_t> seeds;
        const QByteArray seedList = qgetenv("VP_RANDOM_SEED");
        for (const QByteArray& s : seedList.split(',')) {
            if (s.trimmed().isEmpty())
                continue;
            bool ok = false;
            seeds.push_back(s.trimmed().toULongLong(&ok, 0));
            QVERIFY2(ok, "VP_RANDOM_SEED: a list of numbers, such as 17 or 3,0x2a");
        }
        const bool defaults = seeds.empty() && qEnvironmentVariableIsEmpty("VP_RANDOM_EVENTS");
        if (seeds.empty())
            seeds = DefaultSeeds;
        long long total = DefaultEvents;
        if (!qEnvironmentVariableIsEmpty("VP_RANDOM_EVENTS")) {
            bool ok = false;
            total = qEnvironmentVariable("VP_RANDOM_EVENTS").toLongLong(&ok);
            QVERIFY2(ok && total > 0, "VP_RANDOM_EVENTS: a positive number");
        }

        FatalSignalTrail signalTrail;
        Stats all;
        QElapsedTimer timer;
        timer.start();
        const long long perSeed = std::max(1LL, total / static_cast<long long>(seeds.size()));
        long long ran = 0;
        for (const std::uint64_t seed : seeds) {
            const qint64 started = timer.elapsed();
            qInfo("seed %llu: %lld events", static_cast<unsigned long long>(seed), perSeed);
            Driver driver(seed, perSeed, all);
            driver.run();
            QVERIFY2(driver.failure().isEmpty(), qPrintable(driver.failure()));
            qInfo("seed %llu: %lld events in %lld ms, digest %016llx; so far %d program runs (%d ended), %d full bars, "
                  "%d boxes answered, %d events with a box open",
                  static_cast<unsigned long long>(seed), driver.events(), timer.elapsed() - started,
                  static_cast<unsigned long long>(driver.digest()), all.lives, all.ends, all.completions,
                  static_cast<int>(std::accumulate(all.answers.begin(), all.answers.end(), 0LL,
                                                   [](long long n, const auto& a) { return n + a.second; })),
                  all.innerEvents);
            ran += driver.events();
        }
        qInfo("%lld events in %lld ms", ran, timer.elapsed());
        QStringList kinds, answers, seen(all.screensSeen.begin(), all.screensSeen.end());
        for (const auto& [k, v] : all.events)
            kinds << QStringLiteral("%1 x%2").arg(k).arg(v);
        for (const auto& [k, v] : all.answers)
            answers << QStringLiteral("%1 x%2").arg(k).arg(v);
        seen.sort();
        qInfo("events: %s", qPrintable(kinds.join(QLatin1String("; "))));
        qInfo("answers: %s", qPrintable(answers.join(QLatin1String("; "))));
        qInfo("screens shown: %s", qPrintable(seen.join(QLatin1String(", "))));

        // The default run must reach every part of the program, or it tests
        // far less than it seems to.
        if (defaults) {
            for (const char* name : {"PreStart", "Start", "Background", "Form1", "Inst", "Form2", "Rst", "Form3"})
                QVERIFY2(all.screensSeen.contains(QLatin1String(name)), name);
            QCOMPARE(all.pagesSeen, (QSet<int>{1, 2, 3, 4, 5}));
            QVERIFY(all.completions > 0);
            QVERIFY(all.ends > 0);
            for (const QString& title : {test::texts::BusyTitle, test::texts::Application, test::texts::WarningTitle,
                                         test::texts::RefusalTitle}) {
                const bool shown = std::any_of(all.answers.begin(), all.answers.end(), [&](const auto& a) {
                    return a.first.startsWith(title + QLatin1Char(':'));
                });
                QVERIFY2(shown, qPrintable(title));
            }
        }
    }

private:
    inline static const std::vector<std::uint64_t> DefaultSeeds = {1, 2, 3, 20240501, 0xC0FFEE, 987654321};
    static constexpr long long DefaultEvents = 120000;
};

QTEST_MAIN(RandomTest)
#include "tst_random.moc"
