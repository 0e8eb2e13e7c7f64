#pragma once

#include <optional>

namespace trovimo {

// What a block's sampler needs of a reader: one synchronous sample, absent on failure.
template <typename Sample> class SampleSource {
public:
    virtual ~SampleSource() = default;
    [[nodiscard]] virtual std::optional<Sample> read() = 0;
};

} // namespace trovimo
