#pragma once

#include "core/BoottimeClock.h"
#include "model/NetworkSpeed.h"

#include <optional>
#include <string>

namespace trovimo {

// A throughput reader: rates since the previous call, for one interface (or the default
// selection when none is given). Absent on the first call and when the selection changes.
class ThroughputSource {
public:
    virtual ~ThroughputSource() = default;
    [[nodiscard]] virtual std::optional<NetworkSpeed>
    read(BoottimeClock::time_point now, const std::optional<std::string>& interface) = 0;
};

} // namespace trovimo
