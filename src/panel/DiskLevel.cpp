#include "panel/DiskLevel.h"

#include <limits>

namespace trovimo {
namespace {

std::int64_t saturatingSubtract(std::int64_t a, std::int64_t b) noexcept {
    std::int64_t result = 0;
    if (__builtin_sub_overflow(a, b, &result)) {
        return b > 0 ? std::numeric_limits<std::int64_t>::min()
                     : std::numeric_limits<std::int64_t>::max();
    }
    return result;
}

} // namespace

double diskUsedFraction(const std::optional<DiskUsage>& disk) noexcept {
    // A negative total is a corrupt sample; dividing by it could turn a negative used count
    // into a bogus alert.
    if (!disk || disk->total <= 0) {
        return 0.0;
    }
    return static_cast<double>(disk->used) / static_cast<double>(disk->total);
}

CapacityLevel diskLevel(double usedFraction, double alertThreshold) noexcept {
    if (alertThreshold <= usedFraction) {
        return CapacityLevel::critical;
    }
    if (alertThreshold - 0.1 <= usedFraction) {
        return CapacityLevel::warning;
    }
    return CapacityLevel::normal;
}

std::int64_t diskRemaining(const DiskUsage& disk) noexcept {
    return saturatingSubtract(disk.total, disk.used);
}

std::int64_t diskData(const DiskUsage& disk) noexcept {
    const std::int64_t data =
        saturatingSubtract(saturatingSubtract(disk.used, disk.system), disk.purgeable.value_or(0));
    return data > 0 ? data : 0;
}

} // namespace trovimo
