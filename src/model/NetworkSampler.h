#pragma once

#include "model/BlockSampler.h"
#include "model/NetworkInfo.h"
#include "model/SampleSource.h"
#include "model/ThroughputSource.h"

#include <memory>
#include <optional>

namespace trovimo {

// The network block: the primary interface's identity, then the throughput on that interface
// (none named when there is no identity).
class NetworkSampler final : public BlockSampler {
public:
    NetworkSampler(std::unique_ptr<SampleSource<NetworkInfo>> identity,
                   std::unique_ptr<ThroughputSource> throughput, Clock clock = {});

    [[nodiscard]] Block block() const noexcept override { return Block::network; }
    void sample() override;
    void hide() override;
    void write(Figures& figures) const override;

private:
    std::unique_ptr<SampleSource<NetworkInfo>> identity_;
    std::unique_ptr<ThroughputSource> throughput_;
    Clock clock_;
    std::optional<NetworkInfo> info_;
    std::optional<NetworkSpeed> speed_;
};

} // namespace trovimo
