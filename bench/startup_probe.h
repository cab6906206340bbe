// Start-up probe shared by the two start-up benchmarks. It measures the time
// from the start of the process to the first expose of one window, and to the
// end of the first paint that the expose triggers, prints one line and quits.
//
// Where the process started:
//  - VP_BENCH_LAUNCH_US, when the driver script set it: microseconds since the
//    epoch (CLOCK_REALTIME) taken by the shell right before it ran us
//    (bash: ${EPOCHREALTIME/[.,]/}). Microsecond resolution; includes the
//    fork and exec of the shell, as any launcher's would.
//  - otherwise field 22 of /proc/self/stat (start time in clock ticks after
//    boot) against CLOCK_BOOTTIME. Only 1/sysconf(_SC_CLK_TCK) s resolution,
//    usually 10 ms; the output says which one was used.
#pragma once

#include <QCoreApplication>
#include <QEvent>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidget>
#include <QWindow>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace vp::bench {

// The structure that clock_gettime() fills in, taken from its declaration.
template <class R, class Id, class T>
T filledBy(R (*)(Id, T*));
using ClockReading = decltype(filledBy(&clock_gettime));

inline double nowMs(clockid_t id)
{
    ClockReading t{};
    clock_gettime(id, &t);
    return static_cast<double>(t.tv_sec) * 1000.0 + static_cast<double>(t.tv_nsec) / 1.0e6;
}

// Milliseconds since the process started, by the best method available.
class ProcessAge {
public:
    ProcessAge()
    {
        if (const char* stamp = std::getenv("VP_BENCH_LAUNCH_US"); stamp && *stamp) {
            char* end = nullptr;
            const long long us = std::strtoll(stamp, &end, 10);
            if (end && *end == '\0' && us > 0) {
                m_clock = CLOCK_REALTIME;
                m_startMs = static_cast<double>(us) / 1000.0;
                m_method = "launch-stamp";
                return;
            }
        }
        std::ifstream in("/proc/self/stat");
        const std::string stat((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        // The command name (field 2) may hold blanks and parentheses: start after the last ')'.
        const auto close = stat.rfind(')');
        if (close == std::string::npos)
            return;
        std::istringstream fields(stat.substr(close + 1));
        std::string field;
        for (int n = 3; fields >> field; ++n) {
            if (n == 22) {
                const double ticks = std::strtod(field.c_str(), nullptr);
                m_clock = CLOCK_BOOTTIME;
                m_startMs = ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
                m_method = "proc-starttime";
                return;
            }
        }
    }

    bool valid() const { return m_method != nullptr; }
    const char* method() const { return m_method ? m_method : "none"; }
    double now() const { return nowMs(m_clock) - m_startMs; }

private:
    clockid_t m_clock = CLOCK_REALTIME;
    double m_startMs = 0;
    const char* m_method = nullptr;
};

// Collects named moments of the start-up and, at the first expose of the
// watched window, prints them and ends the event loop:
//   startup_ms expose=<ms> frame=<ms> method=<how> phases=<name>:<ms>,...
class FirstFrameProbe final : public QObject {
public:
    explicit FirstFrameProbe(const ProcessAge& age) : m_age(age) {}

    void mark(const char* phase) { m_phases.emplace_back(phase, m_age.now()); }

    // Starts watching `widget`'s native window; gives up after `timeoutMs`.
    bool watch(QWidget* widget, int timeoutMs = 20000)
    {
        QWindow* window = widget ? widget->windowHandle() : nullptr;
        if (!window) {
            std::fputs("startup probe: the window has no native window yet\n", stderr);
            return false;
        }
        window->installEventFilter(this);
        QTimer::singleShot(timeoutMs, this, [] {
            std::fputs("startup probe: no expose within the time limit\n", stderr);
            QCoreApplication::exit(2);
        });
        return true;
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (m_done || event->type() != QEvent::Expose)
            return false;
        auto* window = qobject_cast<QWindow*>(watched);
        if (!window || !window->isExposed())
            return false;
        m_done = true;
        const double expose = m_age.now();
        // Let the window handle the expose now: it paints and flushes the
        // backing store synchronously, which gives the first-frame time.
        static_cast<QObject*>(window)->event(event);
        const double frame = m_age.now();

        std::string phases;
        for (const auto& [name, ms] : m_phases) {
            if (!phases.empty())
                phases += ',';
            phases += name;
            phases += ':';
            phases += QString::number(ms, 'f', 2).toStdString();
        }
        std::printf("startup_ms expose=%.2f frame=%.2f method=%s phases=%s\n", expose, frame, m_age.method(),
                    phases.c_str());
        std::fflush(stdout);
        QCoreApplication::exit(0);
        return true;
    }

private:
    const ProcessAge& m_age;
    std::vector<std::pair<const char*, double>> m_phases;
    bool m_done = false;
};

} // namespace vp::bench
