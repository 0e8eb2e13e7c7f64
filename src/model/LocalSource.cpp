#include "model/LocalSource.h"

#include <algorithm>
#include <utility>

namespace trovimo {

LocalSource::LocalSource(std::vector<std::unique_ptr<BlockSampler>> samplers, QObject* parent)
    : StatsSource(parent), samplers_(std::move(samplers)) {
    std::stable_sort(samplers_.begin(), samplers_.end(), [](const auto& a, const auto& b) {
        return blockIndex(a->block()) < blockIndex(b->block());
    });
    for (const auto& sampler : samplers_) {
        sampler->setEvents(
            {[this] { emit figuresReady(gather(), false); }, [this] { emit settled(); }});
    }
}

LocalSource::~LocalSource() = default;

QString LocalSource::name() const {
    return QStringLiteral("このコンピュータ");
}

void LocalSource::sample(BlockSet shown, Interval /*interval*/) {
    shown_ = shown;
    for (const auto& sampler : samplers_) {
        if (shown.contains(sampler->block())) {
            sampler->sample();
        } else {
            sampler->hide();
        }
    }
    emit figuresReady(gather(), true);
}

Figures LocalSource::gather() const {
    Figures figures;
    for (const auto& sampler : samplers_) {
        if (shown_.contains(sampler->block())) {
            sampler->write(figures);
        }
    }
    return figures;
}

bool LocalSource::isAwaiting(bool complete) const {
    return std::any_of(samplers_.begin(), samplers_.end(),
                       [complete](const auto& sampler) { return sampler->isAwaiting(complete); });
}

} // namespace trovimo
