#pragma once

#include "model/BlockSampler.h"
#include "model/RemoteMachine.h"
#include "model/StatsSource.h"
#include "remote/NodeExporterPoller.h"

#include <memory>
#include <vector>

namespace trovimo {

// Another machine as the panel's source: its node exporter read at every tick (one request,
// off the GUI thread, NodeExporterPoller), the answer handed on when it lands. What is the
// panel's own rather than the machine's (its own load) comes from `here`, samplers of this
// machine read at the tick; the GPU has no figure. While the machine cannot be reached the
// figures are absent, the panel's own load excepted, and the state says why the panel is
// empty.
class RemoteSource final : public StatsSource {
    Q_OBJECT
public:
    RemoteSource(RemoteMachine machine, std::vector<std::unique_ptr<BlockSampler>> here,
                 QObject* parent = nullptr);
    ~RemoteSource() override;

    [[nodiscard]] QString name() const override { return poller_.machine().name; }
    [[nodiscard]] SourceState state() const override;
    void sample(BlockSet shown, Interval interval) override;
    [[nodiscard]] bool isAwaiting(bool complete) const override;

    [[nodiscard]] const NodeExporterPoller& poller() const noexcept { return poller_; }

private:
    // The machine's figures (none when it could not be read) with this machine's own.
    void answer(Figures figures, bool sampled);

    NodeExporterPoller poller_;
    std::vector<std::unique_ptr<BlockSampler>> here_;
    BlockSet shown_;
};

} // namespace trovimo
