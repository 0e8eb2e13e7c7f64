#include "model/DiskActivitySampler.h"

#include <utility>

namespace trovimo {

DiskActivitySampler::DiskActivitySampler(std::unique_ptr<DiskActivitySource> reader, Clock clock)
    : reader_(std::move(reader)), clock_(orBoottime(std::move(clock))),
      homeRead_(QStringLiteral("trovimo-home"),
                QStringLiteral("StatsStore: ホームディレクトリが %1 秒以内に応答しません")
                    .arg(homeReadLimit.count()),
                homeReadLimit) {
    QObject::connect(&homeRead_, &BackgroundRead::finished, &homeRead_, [this] { settled(); });
}

DiskActivitySampler::~DiskActivitySampler() = default;

void DiskActivitySampler::hide() {
    latest_.reset();
    lastHomeRead_.reset(); // shown again: look for the home at once
}

void DiskActivitySampler::sample() {
    const auto now = clock_();
    // The rates come from /proc/diskstats, which never blocks; the home's look-up may.
    if (!homeRead_.isRunning() &&
        (!lastHomeRead_ || now < *lastHomeRead_ || now - *lastHomeRead_ >= homeReadSpacing)) {
        lastHomeRead_ = now;
        homeRead_.start([this, reader = reader_]() -> BackgroundRead::HandBack {
            return [this, reader, home = reader->locateHome()] { reader->setHome(home, clock_()); };
        });
    }
    latest_ = reader_->read(now);
}

} // namespace trovimo
