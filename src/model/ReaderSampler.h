#pragma once

#include "model/BlockSampler.h"
#include "model/SampleSource.h"

#include <memory>
#include <optional>
#include <type_traits>
#include <utility>

namespace trovimo {

// A block read by one reader on the GUI thread at every tick that shows it.
template <typename Sample> class ReaderSampler final : public BlockSampler {
public:
    using Field = std::optional<Sample> Figures::*;

    ReaderSampler(Block block, Field field, std::unique_ptr<SampleSource<Sample>> reader)
        : block_(block), field_(field), reader_(std::move(reader)) {}

    [[nodiscard]] Block block() const noexcept override { return block_; }
    void sample() override { latest_ = reader_->read(); }
    void hide() override { latest_.reset(); }
    void write(Figures& figures) const override { figures.*field_ = latest_; }

private:
    Block block_;
    Field field_;
    std::unique_ptr<SampleSource<Sample>> reader_;
    std::optional<Sample> latest_;
};

// `reader`'s samples as `field` of the figures, while `block` is shown.
template <typename Sample>
[[nodiscard]] std::unique_ptr<BlockSampler>
readEveryTick(Block block, std::optional<Sample> Figures::*field,
              std::type_identity_t<std::unique_ptr<SampleSource<Sample>>> reader) {
    return std::make_unique<ReaderSampler<Sample>>(block, field, std::move(reader));
}

} // namespace trovimo
