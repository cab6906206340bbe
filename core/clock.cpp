#include "clock.h"

#include <QTime>
#include <QTimer>
#include <algorithm>

namespace vp {

namespace {

class QtTickSource final : public TickSource {
public:
    explicit QtTickSource(std::function<void()> onTick)
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, std::move(onTick));
    }
    void start(int intervalMs) override { m_timer.start(intervalMs); }
    void stop() override { m_timer.stop(); }

private:
    QTimer m_timer;
};

} // namespace

std::unique_ptr<TickSource> RealClock::createTickSource(std::function<void()> onTick)
{
    return std::make_unique<QtTickSource>(std::move(onTick));
}

double RealClock::secondsSinceMidnight() const { return QTime::currentTime().msecsSinceStartOfDay() / 1000.0; }

struct VirtualClock::Entry {
    std::uint64_t id = 0;
    std::function<void()> onTick;
    bool running = false;
    int interval = 0;
    std::int64_t due = 0;
};

class VirtualClock::Source final : public TickSource {
public:
    Source(VirtualClock& clock, std::shared_ptr<Entry> entry) : m_clock(clock), m_entry(std::move(entry)) {}
    ~Source() override
    {
        m_entry->running = false;
        std::erase(m_clock.m_entries, m_entry);
    }
    void start(int intervalMs) override
    {
        m_entry->running = intervalMs > 0;
        m_entry->interval = intervalMs;
        m_entry->due = m_clock.m_now + intervalMs;
    }
    void stop() override { m_entry->running = false; }

private:
    VirtualClock& m_clock;
    std::shared_ptr<Entry> m_entry;
};

VirtualClock::~VirtualClock() = default;

std::unique_ptr<TickSource> VirtualClock::createTickSource(std::function<void()> onTick)
{
    auto entry = std::make_shared<Entry>();
    entry->id = m_nextId++;
    entry->onTick = std::move(onTick);
    m_entries.push_back(entry);
    return std::make_unique<Source>(*this, std::move(entry));
}

double VirtualClock::secondsSinceMidnight() const
{
    const double s = m_start + static_cast<double>(m_now) / 1000.0;
    return s - 86400.0 * static_cast<double>(static_cast<std::int64_t>(s / 86400.0));
}

void VirtualClock::advance(std::int64_t ms)
{
    const std::int64_t target = m_now + ms;
    for (;;) {
        std::shared_ptr<Entry> next;
        for (const auto& e : m_entries)
            if (e->running && e->due <= target &&
                (!next || e->due < next->due || (e->due == next->due && e->id < next->id)))
                next = e;
        if (!next)
            break;
        m_now = std::max(m_now, next->due);
        next->due += next->interval; // fixed rate; a handler that restarts the source overrides this
        auto keepAlive = next;       // the handler may destroy its own source
        keepAlive->onTick();
    }
    m_now = std::max(m_now, target);
}

int VirtualClock::runningSources() const
{
    return static_cast<int>(
        std::count_if(m_entries.begin(), m_entries.end(), [](const auto& e) { return e->running; }));
}

} // namespace vp
