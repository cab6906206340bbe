// The shared test fixture: the whole program on a virtual clock, with message
// boxes answered from a script. A box the script did not expect fails the test.
#pragma once

#include "app/program.h"
#include "core/clock.h"
#include "core/msgbox.h"
#include "core/text.h"
#include "core/values.h"
#include "screens/catalogue.h"
#include "texts.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QStringList>
#include <QTest>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>

namespace vp::test {

class ScriptedBoxes final : public MessageBoxes {
public:
    using MessageBoxes::MsgBox;
    struct Shown {
        QString prompt;
        int style;
        QString title;
    };
    struct Expected {
        QString title;
        int style;
        std::function<int()> answer;
        QString prompt; // empty: any
    };

    std::vector<Shown> shown;
    std::deque<Expected> expected;
    QStringList unexpected;

    void expect(const QString& title, int style, int answer)
    {
        expect(title, style, [answer] { return answer; });
    }
    void expect(const QString& title, int style, std::function<int()> answer, const QString& prompt = {})
    {
        expected.push_back({title, style, std::move(answer), prompt});
    }
    // Every "Konec": the refusal, answered with OK.
    void expectExitRefusal()
    {
        expect(
            texts::Application, mb::OkOnly + mb::Exclamation, [] { return mb::Ok; }, texts::ExitRefusal);
    }

    int MsgBox(const QString& prompt, int style, const QString& title) override
    {
        shown.push_back({prompt, style, title});
        if (expected.empty() || expected.front().title != title || expected.front().style != style ||
            (!expected.front().prompt.isEmpty() && expected.front().prompt != prompt)) {
            unexpected << QStringLiteral("unexpected box \"%1\" style %2").arg(title).arg(style);
            // Answer as Escape would, so that the program can go on.
            return (style & 0xF) == mb::RetryCancel ? mb::Cancel : (style & 0xF) == mb::YesNo ? mb::No : mb::Ok;
        }
        auto answer = std::move(expected.front().answer);
        expected.pop_front();
        return answer();
    }
};

inline void verifyBoxes(const ScriptedBoxes& boxes)
{
    QVERIFY2(boxes.unexpected.isEmpty(), qPrintable(boxes.unexpected.join(QLatin1String("; "))));
    QVERIFY2(boxes.expected.empty(), "a scripted message box was never shown");
}

// Advances the virtual clock in steps of `stepMs` until `done` holds, for at
// most `limitMs` in all. Empty when it came; otherwise what it waited for and
// how long, for the failure message: a fault that keeps `done` from ever
// holding fails the test at once instead of running into CTest's time limit.
inline QByteArray advanceUntil(VirtualClock& clock, const std::function<bool()>& done, std::int64_t limitMs,
                               const char* what, std::int64_t stepMs = 800)
{
    for (std::int64_t waited = 0; !done(); waited += stepMs) {
        if (waited >= limitMs)
            return QByteArrayLiteral("waited ") + QByteArray::number(static_cast<qlonglong>(waited)) +
                   QByteArrayLiteral(" ms of virtual time for ") + what;
        clock.advance(stepMs);
    }
    return {};
}

// The same as a check: VP_ADVANCE_UNTIL(h->clock, form2.isVisible(), 200 * 800, "the completion dialog");
#define VP_ADVANCE_UNTIL(clock, condition, limitMs, what)                                                              \
    do {                                                                                                               \
        const QByteArray vpFailure = ::vp::test::advanceUntil(                                                         \
            clock, [&]() -> bool { return (condition); }, limitMs, what);                                              \
        QVERIFY2(vpFailure.isEmpty(), vpFailure.constData());                                                          \
    } while (false)

// QTRY_COMPARE, without Qt 6.8's macro, which narrows its own timeout to an
// int under -Wconversion (GCC 14): the event loop runs, for at most 5 s, until
// `actual` equals `expected`, and then they are compared.
#define VP_EVENTUALLY_COMPARE(actual, expected)                                                                        \
    do {                                                                                                               \
        (void)QTest::qWaitFor([&] { return (actual) == (expected); });                                                 \
        QCOMPARE(actual, expected);                                                                                    \
    } while (false)

// A capability the run promised (CTest sets VP_REQUIRE to a comma-separated
// list of them, such as "two-monitors" or "czech-qt-translation"): where it
// is missing, the test fails saying so instead of skipping.
inline bool runRequires(const char* capability)
{
    const QByteArrayList promised = qgetenv("VP_REQUIRE").split(',');
    return promised.contains(QByteArray(capability));
}

// Skips a test for want of `capability`, or fails it where the run promised it.
#define VP_SKIP_UNLESS(available, capability, why)                                                                     \
    do {                                                                                                               \
        if (!(available)) {                                                                                            \
            if (::vp::test::runRequires(capability))                                                                   \
                QFAIL(qPrintable(QStringLiteral("this run requires %1 (VP_REQUIRE), but it is missing: %2")            \
                                     .arg(QLatin1String(capability), QLatin1String(why))));                            \
            QSKIP(why);                                                                                                \
        }                                                                                                              \
    } while (false)

// The whole program; when it goes, it checks that every box came as scripted.
struct Harness {
    explicit Harness(double timeOfDay = 36000.0) : clock(timeOfDay) {}
    ~Harness() { verifyBoxes(boxes); }
    Harness(const Harness&) = delete;
    Harness& operator=(const Harness&) = delete;

    VirtualClock clock;
    ScriptedBoxes boxes;
    Random random;
    Setup setup{clock, boxes, random};

    QStringList visible()
    {
        QStringList names;
        for (const Screen* s : setup.runtime().screens)
            if (s->isVisible())
                names << s->name();
        names.sort();
        return names;
    }
    QString active()
    {
        const Screen* s = setup.runtime().activeScreen();
        return s ? s->name() : QString();
    }
    void advance(std::int64_t ms) { clock.advance(ms); }
    // Runs code the way a user's action would: through the gate.
    void act(const std::function<void()>& f) { setup.runtime().run(f); }
};

} // namespace vp::test
