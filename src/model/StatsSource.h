#pragma once

#include "model/Blocks.h"
#include "model/StatsSnapshot.h"

#include <QObject>
#include <QString>

#include <chrono>

namespace trovimo {

// Where the figures come from: this machine's /proc and /sys (LocalSource), or another one.
// The statistics store keeps the timer, the pause while the panel is hidden and the histories;
// at each tick it asks the source for the blocks it shows, and the source answers on the GUI
// thread, at once or later (a reply over the network), without ever blocking that thread.
//
// An answer is complete: the latest figure of every shown block, absent where the source has
// none (a block it cannot provide at all, a failed read, a rate before its second sample), and
// every hidden block absent.
class StatsSource : public QObject {
    Q_OBJECT
public:
    // Until the next tick: an answer that takes longer is late.
    using Interval = std::chrono::duration<double>;
    using QObject::QObject;

    // What the panel may call it ("このコンピュータ", a host name), and how it stands.
    [[nodiscard]] virtual QString name() const = 0;
    [[nodiscard]] virtual SourceState state() const = 0;

    // A tick over `shown`. The answer is one figuresReady with `sampled` set, before this
    // returns or later; a source still waiting for its last answer may let a tick pass.
    virtual void sample(BlockSet shown, Interval interval) = 0;

    // Whether figures asked for are still on their way. `complete`: counting those that only
    // refine a figure, which a first frame goes without (the trash's share of the disk).
    [[nodiscard]] virtual bool isAwaiting(bool complete) const = 0;

signals:
    // `sampled`: the answer to a tick, whose figures go into the histories; otherwise the last
    // answer again with a figure that landed since (the volume, read off the GUI thread).
    void figuresReady(const trovimo::Figures& figures, bool sampled);
    // Something awaited ended, with or without new figures.
    void settled();
    // The name or the state changed.
    void stateChanged();
};

} // namespace trovimo
