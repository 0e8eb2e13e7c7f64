#pragma once

#include "core/BoottimeClock.h"
#include "model/Blocks.h"
#include "model/StatsSnapshot.h"

#include <functional>
#include <utility>

namespace trovimo {

// How one block is read on this machine: what the local source runs for it at every tick. Most
// read one reader on the GUI thread (ReaderSampler); a read that may block for good runs on a
// thread of its own and lands between ticks.
class BlockSampler {
public:
    using TimePoint = BoottimeClock::time_point;
    // What rates and spacings are measured on; empty: the boot-time clock.
    using Clock = std::function<TimePoint()>;
    // How a read that lands later tells the local source: `landed` when the figure changed,
    // `settled` whenever a read off the GUI thread ended.
    struct Events {
        std::function<void()> landed;
        std::function<void()> settled;
    };

    BlockSampler() = default;
    BlockSampler(const BlockSampler&) = delete;
    BlockSampler& operator=(const BlockSampler&) = delete;
    virtual ~BlockSampler() = default;

    [[nodiscard]] virtual Block block() const noexcept = 0;
    // A tick that shows the block: reads it, or starts a read that lands later.
    virtual void sample() = 0;
    // A tick that hides it: its figure goes; what the next rate needs stays with the reader.
    virtual void hide() = 0;
    // Puts the latest figure into `figures`.
    virtual void write(Figures& figures) const = 0;
    // A read off the GUI thread is under way; `complete`: counting those a first frame does
    // without (StatsSource::isAwaiting).
    [[nodiscard]] virtual bool isAwaiting(bool /*complete*/) const { return false; }

    // Set by the local source before the first tick.
    void setEvents(Events events) { events_ = std::move(events); }

protected:
    [[nodiscard]] static Clock orBoottime(Clock clock) {
        return clock ? std::move(clock) : [] { return BoottimeClock::now(); };
    }
    void landed() const {
        if (events_.landed) {
            events_.landed();
        }
    }
    void settled() const {
        if (events_.settled) {
            events_.settled();
        }
    }

private:
    Events events_;
};

} // namespace trovimo
