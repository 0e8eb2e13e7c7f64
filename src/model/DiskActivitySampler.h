#pragma once

#include "core/BackgroundRead.h"
#include "model/BlockSampler.h"
#include "model/DiskActivitySource.h"

#include <chrono>
#include <memory>
#include <optional>

namespace trovimo {

// The home disks' reads and writes. The rates come from the reader on the GUI thread at each
// tick; where the home directory lives is looked up on a thread of its own (stat blocks on a
// network home), at once when the block is shown and again homeReadSpacing after the last look.
class DiskActivitySampler final : public BlockSampler {
public:
    static constexpr std::chrono::seconds homeReadSpacing{60};
    static constexpr std::chrono::seconds homeReadLimit{2};

    explicit DiskActivitySampler(std::unique_ptr<DiskActivitySource> reader, Clock clock = {});
    ~DiskActivitySampler() override;

    [[nodiscard]] Block block() const noexcept override { return Block::diskActivity; }
    void sample() override;
    void hide() override;
    void write(Figures& figures) const override { figures.diskActivity = latest_; }
    [[nodiscard]] bool isAwaiting(bool /*complete*/) const override {
        return homeRead_.isRunning();
    }

    // For tests: a shorter limit than homeReadLimit.
    void setReadLimit(std::chrono::milliseconds limit) { homeRead_.setTimeLimit(limit); }

private:
    // Shared with the look-up in flight, which may outlive the sampler when it hangs.
    std::shared_ptr<DiskActivitySource> reader_;
    Clock clock_;
    BackgroundRead homeRead_;
    std::optional<TimePoint> lastHomeRead_; // none: look at the next tick
    std::optional<DiskActivity> latest_;
};

} // namespace trovimo
