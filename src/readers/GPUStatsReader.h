#pragma once

#include "model/SampleSource.h"
#include "readers/gpu/GPUSource.h"
#include "readers/gpu/NvmlSession.h"

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace trovimo {

// GPU utilisation 0..1. It finds one source, holds it while it answers, and drops it (the next
// read searches again) when it stops; a search that finds nothing is not repeated for
// `searchSpacing`, so a machine without a GPU source is not searched every tick. Sources,
// searched in this order (readers/gpu/, one kind a unit with its power-management rule):
//  - /sys/class/drm/cardN in card order: amdgpu's gpu_busy_percent; NVIDIA through NVML;
//    Intel i915/xe through their idle residency counters;
//  - Qualcomm's /sys/class/kgsl/kgsl-3d0/gpu_busy_percentage;
//  - NVML devices, when no NVIDIA card shows up in /sys/class/drm (no nvidia-drm module).
// A card whose device/power/runtime_status reads "suspended" answers 0 without being touched:
// reading its busy figure would wake it, and a monitor must not cost power.
class GPUStatsReader final : public SampleSource<double> {
public:
    using Clock = std::function<std::chrono::steady_clock::time_point()>;

    // `nvmlLibrary`: the name or path handed to dlopen. `clock`: monotonic time for the
    // residency deltas and the idle release of NVML sessions (steady_clock when empty). Not
    // boot time, unlike the other rates: whether the idle-residency counters go on through a
    // suspend is up to the hardware, and where they stop, an interval that counted the
    // suspend would read as a busy GPU. Neither clock steps with the wall clock.
    explicit GPUStatsReader(std::string root = "/", std::string nvmlLibrary = "libnvidia-ml.so.1",
                            Clock clock = {});
    ~GPUStatsReader() override;

    [[nodiscard]] std::optional<double> read() override;

    // The least time between two searches that found nothing.
    static constexpr std::chrono::seconds searchSpacing{5};

private:
    [[nodiscard]] std::unique_ptr<gpu::Source> find();
    [[nodiscard]] std::unique_ptr<gpu::Source> findDrmCard(const std::string& card,
                                                           unsigned& nvidiaCards);
    [[nodiscard]] std::shared_ptr<const NvmlSession::Library> nvml();

    std::string root_;
    std::string nvmlLibrary_;
    gpu::Context context_;
    bool nvmlLoadTried_ = false; // a missing library is not looked for again every tick
    std::shared_ptr<const NvmlSession::Library> nvml_;
    std::unique_ptr<gpu::Source> source_;
    std::optional<std::chrono::steady_clock::time_point> lastFruitlessSearch_;
};

} // namespace trovimo
