#pragma once

#include "core/BackgroundRead.h"
#include "model/BlockSampler.h"
#include "model/DiskUsage.h"
#include "model/SampleSource.h"
#include "model/TrashSource.h"

#include <QSocketNotifier>

#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

namespace trovimo {

// The home volume's capacity with the trash as its purgeable share. Both are read on threads
// of their own (a network home can hang any call on it) and land between ticks: the volume at
// most every readSpacing while a sample is held, the trash after each volume read, again when
// it changed or trashReadSpacing on.
class DiskSampler final : public BlockSampler {
public:
    static constexpr std::chrono::seconds readSpacing{30};
    // The trash is counted again this long after the last count, or after it changed: then
    // no sooner than trashChangeSpacing, or ten times the last count's time, after the last
    // count began. A trash that changes all the while (a large folder moved in file by file)
    // is not walked over and over.
    static constexpr std::chrono::minutes trashReadSpacing{5};
    static constexpr std::chrono::seconds trashChangeSpacing{5};
    // A read still running after this is logged; the panel goes on with what it has.
    static constexpr std::chrono::seconds readLimit{2};
    static constexpr std::chrono::seconds trashReadLimit{10};

    // `trash` may be null: no purgeable share then.
    DiskSampler(std::unique_ptr<SampleSource<DiskUsage>> volume, std::unique_ptr<TrashSource> trash,
                Clock clock = {});
    ~DiskSampler() override;

    [[nodiscard]] Block block() const noexcept override { return Block::disk; }
    void sample() override;
    void hide() override;
    void write(Figures& figures) const override;
    [[nodiscard]] bool isAwaiting(bool complete) const override;

    // For tests: shorter limits than readLimit and trashReadLimit.
    void setReadLimits(std::chrono::milliseconds volume, std::chrono::milliseconds trash);

private:
    void startTrashRead();
    void publishVolume(std::optional<DiskUsage> sample);
    void publishTrash(std::optional<std::int64_t> bytes);

    // Shared with the read in flight, which may outlive the sampler when it hangs.
    std::shared_ptr<SampleSource<DiskUsage>> volume_;
    std::shared_ptr<TrashSource> trash_;
    Clock clock_;
    std::unique_ptr<QSocketNotifier> trashWatch_;
    BackgroundRead volumeRead_;
    BackgroundRead trashRead_;
    bool shown_ = false;
    std::optional<DiskUsage> disk_;
    // When the last volume and trash reads started; none means the distant past.
    std::optional<TimePoint> lastRead_;
    std::optional<TimePoint> lastTrashRead_;
    TimePoint::duration lastTrashDuration_{};
    bool trashChanged_ = false;
    std::int64_t trashBytes_ = 0; // the last count
};

} // namespace trovimo
