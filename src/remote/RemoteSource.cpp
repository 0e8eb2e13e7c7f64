#include "remote/RemoteSource.h"

#include <utility>

namespace trovimo {

RemoteSource::RemoteSource(RemoteMachine machine, std::vector<std::unique_ptr<BlockSampler>> here,
                           QObject* parent)
    : StatsSource(parent), poller_(std::move(machine)), here_(std::move(here)) {
    connect(&poller_, &NodeExporterPoller::figuresArrived, this, [this](const Figures& figures) {
        answer(figures, true);
        emit settled();
    });
    connect(&poller_, &NodeExporterPoller::fetchFailed, this, [this] {
        answer({}, true);
        emit settled();
    });
    connect(&poller_, &NodeExporterPoller::stateChanged, this,
            [this](NodeExporterPoller::State state) {
                // A request that hangs makes the machine unreachable before it ends: its last
                // figures go now rather than stand as if they were fresh.
                if (state == NodeExporterPoller::State::unreachable) {
                    answer({}, false);
                }
                emit stateChanged();
            });
}

RemoteSource::~RemoteSource() = default;

SourceState RemoteSource::state() const {
    switch (poller_.state()) {
    case NodeExporterPoller::State::connecting:
        return SourceState::connecting;
    case NodeExporterPoller::State::fresh:
        return SourceState::fresh;
    case NodeExporterPoller::State::unreachable:
        break;
    }
    return SourceState::unreachable;
}

void RemoteSource::sample(BlockSet shown, Interval interval) {
    shown_ = shown;
    for (const auto& sampler : here_) {
        if (shown.contains(sampler->block())) {
            sampler->sample();
        } else {
            sampler->hide();
        }
    }
    if (poller_.poll(shown, interval) || poller_.isFetching()) {
        return; // answered when the request lands; one still out lets this tick pass
    }
    // Backing off: the tick is answered at once, without the machine's figures.
    answer({}, true);
}

bool RemoteSource::isAwaiting(bool /*complete*/) const {
    return poller_.isFetching();
}

void RemoteSource::answer(Figures figures, bool sampled) {
    for (const auto& sampler : here_) {
        if (shown_.contains(sampler->block())) {
            sampler->write(figures);
        }
    }
    emit figuresReady(figures, sampled);
}

} // namespace trovimo
