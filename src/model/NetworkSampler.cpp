#include "model/NetworkSampler.h"

#include <string>
#include <utility>

namespace trovimo {

NetworkSampler::NetworkSampler(std::unique_ptr<SampleSource<NetworkInfo>> identity,
                               std::unique_ptr<ThroughputSource> throughput, Clock clock)
    : identity_(std::move(identity)), throughput_(std::move(throughput)),
      clock_(orBoottime(std::move(clock))) {}

void NetworkSampler::sample() {
    info_ = identity_ ? identity_->read() : std::nullopt;
    std::optional<std::string> interface;
    if (info_) {
        interface = info_->interfaceName;
    }
    speed_ = throughput_ ? throughput_->read(clock_(), interface) : std::nullopt;
}

void NetworkSampler::hide() {
    speed_.reset();
    info_.reset();
}

void NetworkSampler::write(Figures& figures) const {
    figures.network = speed_;
    figures.networkInfo = info_;
}

} // namespace trovimo
