#pragma once

#include "model/BlockSampler.h"
#include "model/LocalSource.h"

#include <memory>
#include <string>

namespace trovimo {

// This machine as a source: a sampler per block over the readers of /proc and /sys below
// `root` ("/" normally), rates and spacings on `clock` (the boot-time clock when empty).
[[nodiscard]] std::unique_ptr<LocalSource> makeLocalSource(const std::string& root = "/",
                                                           BlockSampler::Clock clock = {});

} // namespace trovimo
