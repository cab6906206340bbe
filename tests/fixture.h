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

#include <QStringList>
#include <QTest>
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
