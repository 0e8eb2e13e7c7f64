#pragma once

#include "model/LocalSource.h"
#include "model/ReaderSampler.h"

#include <memory>
#include <utility>
#include <vector>

namespace trovimo::test {

// A local source of the given samplers: `localSource(readEveryTick(...), ...)`.
template <typename... Samplers>
[[nodiscard]] std::unique_ptr<LocalSource> localSource(std::unique_ptr<Samplers>... samplers) {
    std::vector<std::unique_ptr<BlockSampler>> list;
    (list.push_back(std::move(samplers)), ...);
    return std::make_unique<LocalSource>(std::move(list));
}

} // namespace trovimo::test
