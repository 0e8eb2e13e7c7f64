#pragma once

#include "model/BlockSampler.h"
#include "model/LocalSource.h"

#include <memory>
#include <string>
#include <vector>

namespace trovimo {

// This machine as a source: a sampler per block over the readers of /proc and /sys below
// `root` ("/" normally), rates and spacings on `clock` (the boot-time clock when empty).
[[nodiscard]] std::unique_ptr<LocalSource> makeLocalSource(const std::string& root = "/",
                                                           BlockSampler::Clock clock = {});

// The samplers of the blocks that are the panel's own whichever machine it shows (its own
// load), for a source of another machine.
[[nodiscard]] std::vector<std::unique_ptr<BlockSampler>>
makePanelSamplers(const std::string& root = "/");

} // namespace trovimo
