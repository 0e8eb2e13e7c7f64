#pragma once

#include "model/StatsReaders.h"

namespace trovimo {

// The readers of this machine, reading /proc and /sys below `root` ("/" normally).
[[nodiscard]] StatsReaders makeSystemReaders(const std::string& root = "/");

} // namespace trovimo
