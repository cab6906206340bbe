// Time for the screens: periodic tick sources and the time of day. The program
// runs on real Qt timers; tests run on a virtual clock that they advance.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace vp {

class TickSource {
public:
    virtual ~TickSource() = default;
    // Starts a full new period of `intervalMs`; ticks repeat until stop().
    virtual void start(int intervalMs) = 0;
    virtual void stop() = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual std::unique_ptr<TickSource> createTickSource(std::function<void()> onTick) = 0;
    // Seconds since midnight, with its fraction.
    virtual double secondsSinceMidnight() const = 0;
};

class RealClock final : public Clock {
public:
    std::unique_ptr<TickSource> createTickSource(std::function<void()> onTick) override;
    double secondsSinceMidnight() const override;
};

// A clock that only moves when told. advance() fires every due tick in time
// order (ties in the order the sources were created); a tick source restarted
// or stopped by a handler is rescheduled before the next one is looked at.
class VirtualClock final : public Clock {
public:
    explicit VirtualClock(double startSecondsSinceMidnight = 36000.0) : m_start(startSecondsSinceMidnight) {}
    ~VirtualClock() override;

    std::unique_ptr<TickSource> createTickSource(std::function<void()> onTick) override;
    double secondsSinceMidnight() const override;

    void advance(std::int64_t ms);
    std::int64_t now() const { return m_now; }
    int runningSources() const;

private:
    struct Entry;
    class Source;
    friend class Source;
    double m_start;
    std::int64_t m_now = 0;
    std::uint64_t m_nextId = 0;
    std::vector<std::shared_ptr<Entry>> m_entries;
};

} // namespace vp
