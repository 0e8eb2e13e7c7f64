#pragma once

#include "model/DiskUsage.h"
#include "panel/CapacityLevel.h"

#include <cstdint>
#include <optional>

namespace trovimo {

// used / total, or 0 when there is no sample or no usable total.
[[nodiscard]] double diskUsedFraction(const std::optional<DiskUsage>& disk) noexcept;

// Critical from the alert threshold up, warning in the tenth below it, normal otherwise.
[[nodiscard]] CapacityLevel diskLevel(double usedFraction, double alertThreshold) noexcept;

// Free bytes (total - used), saturating instead of overflowing on corrupt figures.
[[nodiscard]] std::int64_t diskRemaining(const DiskUsage& disk) noexcept;

// What the user's own files take: used less the system and purgeable shares, never negative.
[[nodiscard]] std::int64_t diskData(const DiskUsage& disk) noexcept;

} // namespace trovimo
