#pragma once

#include "readers/WholeFileReader.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

// The GPU reader's sources, one kind a unit, each with the power-management rule it needs:
// amdgpu's busy figure (AmdgpuSource), Qualcomm's kgsl figure (KgslSource), Intel's idle
// residency counters (IntelResidencySource) and NVIDIA's management library (NvmlSource).
namespace trovimo::gpu {

using TimePoint = std::chrono::steady_clock::time_point;

// What every source reads through: one buffer, reused for all the small sysfs files, and the
// reader's clock.
struct Context {
    WholeFileReader file{256};
    std::function<TimePoint()> clock;

    [[nodiscard]] std::optional<std::int64_t> readInteger(const std::string& path);
    // Whether the file holds `value`, blanks and line end aside.
    [[nodiscard]] bool holds(const std::string& path, std::string_view value);
};

// A DRM card's runtime power management, from its device/power folder. Reading these files
// does not wake a suspended card; reading its busy figure would, and a monitor must not cost
// power.
struct RuntimePower {
    std::string statusPath; // device/power/runtime_status; empty when there is none
    bool managed = false;   // device/power/control is "auto": the kernel suspends it when idle

    [[nodiscard]] static RuntimePower of(const std::string& device, Context& context);
    [[nodiscard]] bool suspended(Context& context) const;
};

class Source {
public:
    Source() = default;
    Source(const Source&) = delete;
    Source& operator=(const Source&) = delete;
    virtual ~Source() = default;

    // Busy share 0..1; absent when the source stopped answering (the reader then drops it and
    // searches again).
    [[nodiscard]] virtual std::optional<double> read(Context& context) = 0;
};

// A busy percentage as a fraction 0..1, clamped.
[[nodiscard]] double percentToFraction(std::int64_t percent) noexcept;

} // namespace trovimo::gpu
