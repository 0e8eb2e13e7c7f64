#pragma once

#include "model/BlockSampler.h"
#include "model/StatsSource.h"

#include <memory>
#include <vector>

namespace trovimo {

// This machine's figures: one sampler per block (readers/SystemReaders.h makes them), run in
// the block table's order at every tick. Most read /proc and /sys on the GUI thread and answer
// before the tick returns; the volume, the trash and the home's location land later.
class LocalSource final : public StatsSource {
    Q_OBJECT
public:
    // Blocks without a sampler have no figures.
    explicit LocalSource(std::vector<std::unique_ptr<BlockSampler>> samplers = {},
                         QObject* parent = nullptr);
    ~LocalSource() override;

    [[nodiscard]] QString name() const override;
    [[nodiscard]] SourceState state() const override { return SourceState::local; }
    void sample(BlockSet shown, Interval interval) override;
    [[nodiscard]] bool isAwaiting(bool complete) const override;

private:
    [[nodiscard]] Figures gather() const;

    std::vector<std::unique_ptr<BlockSampler>> samplers_;
    BlockSet shown_;
};

} // namespace trovimo
