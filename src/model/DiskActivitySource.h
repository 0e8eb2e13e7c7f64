#pragma once

#include "core/BoottimeClock.h"
#include "model/DiskActivity.h"

#include <chrono>
#include <optional>

namespace trovimo {

// A disk activity reader: rates since the previous call. Absent on the first call and when the
// disks under the home directory change.
class DiskActivitySource {
public:
    // The time ThroughputSource takes, so that the store times both rates on one clock.
    using TimePoint = BoottimeClock::time_point;

    virtual ~DiskActivitySource() = default;
    [[nodiscard]] virtual std::optional<DiskActivity> read(TimePoint now) = 0;
};

} // namespace trovimo
