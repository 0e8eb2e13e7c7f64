#pragma once

#include "model/SampleSource.h"
#include "readers/NvmlSession.h"
#include "readers/WholeFileReader.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace trovimo {

// Busy share of a GPU from Intel's idle residency counters (i915 rc6, xe gtidle), in ms:
// 1 - idle time / elapsed time, clamped to 0..1. The i915 counter is 32 bits wide and wraps
// after about 49 days; a later value below an earlier one that both fit 32 bits is taken as
// one wrap. Absent when the counter went backwards otherwise (reset) or no time passed.
[[nodiscard]] std::optional<double> residencyBusyFraction(std::uint64_t previousIdleMs,
                                                          std::uint64_t idleMs,
                                                          std::chrono::nanoseconds elapsed);

// GPU utilisation 0..1. It finds one source, holds it while it answers, and drops it (the next
// read searches again) when it stops; a search that finds nothing is not repeated for
// `searchSpacing`, so a machine without a GPU source is not searched every tick. Sources,
// searched in this order:
//  - /sys/class/drm/cardN in card order: amdgpu's gpu_busy_percent; NVIDIA through NVML;
//    Intel i915/xe through their idle residency counters;
//  - Qualcomm's /sys/class/kgsl/kgsl-3d0/gpu_busy_percentage;
//  - NVML devices, when no NVIDIA card shows up in /sys/class/drm (no nvidia-drm module).
// A card whose device/power/runtime_status reads "suspended" answers 0 without being touched:
// reading its busy figure would wake it, and a monitor must not cost battery.
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

    // How long an NVML session on a card with runtime power management may see 0 % before it
    // is released, so that the card can suspend.
    static constexpr std::chrono::seconds nvmlIdleRelease{10};
    // After such a release the card is given this long to suspend before it is opened again
    // while still awake (then something else keeps it awake, and our session costs nothing).
    static constexpr std::chrono::seconds nvmlReopenGrace{30};
    // The least time between two searches that found nothing.
    static constexpr std::chrono::seconds searchSpacing{5};

private:
    struct Source;

    [[nodiscard]] std::unique_ptr<Source> find();
    [[nodiscard]] std::unique_ptr<Source> findDrmCard(const std::string& card,
                                                      unsigned& nvidiaCards);
    [[nodiscard]] std::optional<double> readSource(Source& source);
    [[nodiscard]] std::optional<double> readNvml(Source& source);
    [[nodiscard]] std::optional<double> readResidency(Source& source);
    [[nodiscard]] bool isSuspended(const Source& source);
    [[nodiscard]] std::optional<std::int64_t> readInteger(const std::string& path);
    [[nodiscard]] std::shared_ptr<const NvmlSession::Library> nvml();

    std::string root_;
    std::string nvmlLibrary_;
    Clock clock_;
    bool nvmlLoadTried_ = false; // a missing library is not looked for again every tick
    std::shared_ptr<const NvmlSession::Library> nvml_;
    std::unique_ptr<Source> source_;
    std::optional<std::chrono::steady_clock::time_point> lastFruitlessSearch_;
    WholeFileReader file_{256}; // reused for every small file
};

} // namespace trovimo
