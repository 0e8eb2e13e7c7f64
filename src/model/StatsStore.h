#pragma once

#include "core/WakeTimer.h"
#include "model/Blocks.h"
#include "model/StatsSnapshot.h"
#include "model/StatsSource.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace trovimo {

struct DisplaySettings;
class SettingsStore;

// The single model of the running system: runs the sampling loop on the GUI thread, asks its
// source for the shown blocks at every tick, keeps the one-minute histories and publishes the
// figures with them as one snapshot each time the source answers.
class StatsStore : public QObject {
    Q_OBJECT
public:
    // `source` defaults to one without figures, `timer` to a boot-time timer.
    StatsStore(SettingsStore& settings, std::unique_ptr<StatsSource> source,
               std::unique_ptr<WakeTimer> timer = nullptr, QObject* parent = nullptr);
    ~StatsStore() override;

    // Starts the sampling loop; only the first call has an effect.
    void start();
    [[nodiscard]] bool isStarted() const noexcept { return started_; }

    // One sampling pass over the shown blocks.
    void tick();

    // The window layer tells whether the main window can be seen; true when none is set.
    void setVisibilityQuery(std::function<bool()> query) { visibilityQuery_ = std::move(query); }
    [[nodiscard]] bool isMainWindowVisible() const;

    // Whether figures asked for are still on their way (a tool that prints once waits for them).
    [[nodiscard]] bool isAwaiting() const { return source_->isAwaiting(true); }
    // Runs the event loop until the figures asked for have landed or `limit` has passed, so
    // that a first frame or a printed line holds the figures of its own tick. `complete`: the
    // refinements a first frame goes without too (StatsSource::isAwaiting). Returns at once
    // when nothing is on its way.
    void awaitFigures(std::chrono::milliseconds limit, bool complete);

    // The last figures with their histories; never null, never changed once published.
    [[nodiscard]] const std::shared_ptr<const StatsSnapshot>& snapshot() const noexcept {
        return snapshot_;
    }
    [[nodiscard]] StatsSource& source() const noexcept { return *source_; }
    // Figures from another source from now on (the panel shows another machine): the
    // histories start afresh, and a running loop asks the new source at once.
    void setSource(std::unique_ptr<StatsSource> source);

signals:
    // A new snapshot: after every answer of the source (once per tick for this machine's), and
    // after a figure that landed late. Views redraw as a whole from it.
    void published();

private:
    void adopt(std::unique_ptr<StatsSource> source);
    void onTimerFired();
    void armNextWake();
    void publish(const Figures& figures, bool sampled);
    void appendHistories(StatsSnapshot& next) const;

    // The settings, with the interval named in the log when it cannot be honoured.
    const DisplaySettings& shown();

    SettingsStore& settings_;
    std::optional<double> reportedInterval_;
    std::unique_ptr<StatsSource> source_;
    std::unique_ptr<WakeTimer> timer_;
    std::function<bool()> visibilityQuery_;
    bool started_ = false;
    BlockSet asked_; // the blocks of the last tick
    std::shared_ptr<const StatsSnapshot> snapshot_;
};

} // namespace trovimo
