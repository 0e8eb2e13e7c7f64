#pragma once

#include "readers/gpu/GPUSource.h"

#include <memory>

namespace trovimo::gpu {

// Busy share from Intel's idle residency counters (i915 rc6, xe gtidle), in ms: 1 - idle time /
// elapsed time, clamped to 0..1. The i915 counter is the one 32-bit counter the readers know
// (wrapping32Delta). Absent when the counter went backwards otherwise (reset) or no time
// passed.
[[nodiscard]] std::optional<double> residencyBusyFraction(std::uint64_t previousIdleMs,
                                                          std::uint64_t idleMs,
                                                          std::chrono::nanoseconds elapsed);

// Intel i915 and xe cards. The counter stands still while the card is runtime-suspended, so a
// suspended card answers 0 and the first reading after it wakes starts afresh: a delta across
// the sleep would read as busy.
class IntelResidencySource final : public Source {
public:
    // The card's residency file: i915 per GT (gt0 is the render GT), i915 before 5.18 per card,
    // xe per tile and GT. Primed at once while the card is awake, so that the first read has a
    // value; absent when there is no such file or it holds no count.
    [[nodiscard]] static std::unique_ptr<IntelResidencySource>
    find(const std::string& card, const RuntimePower& power, bool suspended, Context& context);

    [[nodiscard]] std::optional<double> read(Context& context) override;

private:
    IntelResidencySource(std::string counterPath, RuntimePower power)
        : counterPath_(std::move(counterPath)), power_(std::move(power)) {}

    std::string counterPath_;
    RuntimePower power_;
    std::optional<std::uint64_t> previousIdleMs_; // none yet, or forgotten across a suspend
    TimePoint previousTime_{};
    double lastFraction_ = 0.0;
};

} // namespace trovimo::gpu
