#include "model/DiskSampler.h"

#include <algorithm>
#include <utility>

namespace trovimo {
namespace {

// The trash lies inside the volume's used space; it cannot take more of it than the part
// that is not the system's reserve.
std::int64_t purgeableShare(const DiskUsage& usage, std::int64_t trashBytes) noexcept {
    const std::int64_t room = usage.used > usage.system ? usage.used - usage.system : 0;
    return std::clamp<std::int64_t>(trashBytes, 0, room);
}

} // namespace

DiskSampler::DiskSampler(std::unique_ptr<SampleSource<DiskUsage>> volume,
                         std::unique_ptr<TrashSource> trash, Clock clock)
    : volume_(std::move(volume)), trash_(std::move(trash)), clock_(orBoottime(std::move(clock))),
      volumeRead_(QStringLiteral("trovimo-volume"),
                  QStringLiteral("StatsStore: ホームのボリュームが %1 秒以内に応答しません")
                      .arg(readLimit.count()),
                  readLimit),
      trashRead_(QStringLiteral("trovimo-trash"),
                 QStringLiteral("StatsStore: ゴミ箱の大きさの読み取りが %1 秒以内に終わりません")
                     .arg(trashReadLimit.count()),
                 trashReadLimit) {
    for (BackgroundRead* read : {&volumeRead_, &trashRead_}) {
        QObject::connect(read, &BackgroundRead::finished, read, [this] { settled(); });
    }
    if (trash_ && trash_->changeDescriptor() >= 0) {
        trashWatch_ =
            std::make_unique<QSocketNotifier>(trash_->changeDescriptor(), QSocketNotifier::Read);
        QObject::connect(trashWatch_.get(), &QSocketNotifier::activated, trashWatch_.get(), [this] {
            trash_->drainChanges();
            trashChanged_ = true;
        });
    }
}

DiskSampler::~DiskSampler() = default;

void DiskSampler::setReadLimits(std::chrono::milliseconds volume, std::chrono::milliseconds trash) {
    volumeRead_.setTimeLimit(volume);
    trashRead_.setTimeLimit(trash);
}

bool DiskSampler::isAwaiting(bool complete) const {
    return volumeRead_.isRunning() || (complete && trashRead_.isRunning());
}

void DiskSampler::hide() {
    shown_ = false;
    disk_.reset();
}

void DiskSampler::write(Figures& figures) const {
    figures.disk = disk_;
}

void DiskSampler::sample() {
    shown_ = true;
    if (volumeRead_.isRunning()) {
        // Slow or hung: what is held stays, and no second read piles up behind it.
        return;
    }
    const auto now = clock_();
    if (disk_ && lastRead_ && now - *lastRead_ < readSpacing) {
        startTrashRead();
        return;
    }
    lastRead_ = now;
    volumeRead_.start([this, reader = volume_]() -> BackgroundRead::HandBack {
        // On the read's thread: only the sample goes back, inside the hand-back.
        return [this, sample = reader->read()] { publishVolume(sample); };
    });
}

void DiskSampler::startTrashRead() {
    // Never beside a running volume read: on a hung home both would hang.
    if (!trash_ || trashRead_.isRunning() || volumeRead_.isRunning()) {
        return;
    }
    const auto now = clock_();
    if (lastTrashRead_ &&
        now - *lastTrashRead_ < (trashChanged_ ? std::max<TimePoint::duration>(
                                                     trashChangeSpacing, 10 * lastTrashDuration_)
                                               : trashReadSpacing)) {
        return;
    }
    trashChanged_ = false;
    lastTrashRead_ = now;
    trashRead_.start([this, reader = trash_]() -> BackgroundRead::HandBack {
        return [this, bytes = reader->read()] { publishTrash(bytes); };
    });
}

void DiskSampler::publishVolume(std::optional<DiskUsage> sample) {
    if (!shown_) {
        return; // hidden while the read ran
    }
    if (sample) {
        sample->purgeable = purgeableShare(*sample, trashBytes_);
    }
    disk_ = sample;
    if (disk_) {
        startTrashRead(); // before the figures go out, so that their listeners find it under way
    }
    landed();
}

void DiskSampler::publishTrash(std::optional<std::int64_t> bytes) {
    if (lastTrashRead_) {
        lastTrashDuration_ = clock_() - *lastTrashRead_;
    }
    // Absent when the trash cannot be read, which the reader logged: the last count stands.
    trashBytes_ = bytes.value_or(trashBytes_);
    if (disk_ && shown_) {
        disk_->purgeable = purgeableShare(*disk_, trashBytes_);
    }
    landed();
}

} // namespace trovimo
