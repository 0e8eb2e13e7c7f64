#include "model/StatsStore.h"

#include "core/BoottimeTimer.h"
#include "core/SystemLog.h"
#include "model/SettingsStore.h"

#include <QEventLoop>
#include <QTimer>

#include <algorithm>

namespace trovimo {
namespace {

template <typename Sample, typename Reader> std::optional<Sample> sampleOf(Reader& reader) {
    return reader ? reader->read() : std::nullopt;
}

// The trash lies inside the volume's used space; it cannot take more of it than the part
// that is not the system's reserve.
std::int64_t purgeableShare(const DiskUsage& usage, std::int64_t trashBytes) noexcept {
    const std::int64_t room = usage.used > usage.system ? usage.used - usage.system : 0;
    return std::clamp<std::int64_t>(trashBytes, 0, room);
}

} // namespace

StatsStore::StatsStore(SettingsStore& settings, StatsReaders readers,
                       std::unique_ptr<WakeTimer> timer, Clock clock, QObject* parent)
    : QObject(parent), settings_(settings), readers_(std::move(readers)),
      timer_(timer ? std::move(timer) : std::make_unique<BoottimeTimer>()),
      clock_(clock ? std::move(clock) : [] { return BoottimeClock::now(); }),
      diskReader_(std::move(readers_.disk)), trashReader_(std::move(readers_.trash)),
      diskActivityReader_(std::move(readers_.diskActivity)),
      volumeRead_(QStringLiteral("trovimo-volume"),
                  QStringLiteral("StatsStore: ホームのボリュームが %1 秒以内に応答しません")
                      .arg(diskReadLimit.count()),
                  diskReadLimit),
      trashRead_(QStringLiteral("trovimo-trash"),
                 QStringLiteral("StatsStore: ゴミ箱の大きさの読み取りが %1 秒以内に終わりません")
                     .arg(trashReadLimit.count()),
                 trashReadLimit),
      homeRead_(QStringLiteral("trovimo-home"),
                QStringLiteral("StatsStore: ホームディレクトリが %1 秒以内に応答しません")
                    .arg(diskReadLimit.count()),
                diskReadLimit) {
    connect(timer_.get(), &WakeTimer::fired, this, &StatsStore::onTimerFired);
    if (trashReader_ && trashReader_->changeDescriptor() >= 0) {
        trashWatch_ = std::make_unique<QSocketNotifier>(trashReader_->changeDescriptor(),
                                                        QSocketNotifier::Read);
        connect(trashWatch_.get(), &QSocketNotifier::activated, this, [this] {
            trashReader_->drainChanges();
            trashChanged_ = true;
        });
    }
}

void StatsStore::setDiskReadLimits(std::chrono::milliseconds volume,
                                   std::chrono::milliseconds trash) {
    volumeRead_.setTimeLimit(volume);
    homeRead_.setTimeLimit(volume);
    trashRead_.setTimeLimit(trash);
}

const DisplaySettings& StatsStore::shown() {
    const DisplaySettings& settings = settings_.display();
    // Zero, negative and unreadable values mean "the default" and go unmentioned; a value
    // someone wrote but that cannot be honoured is named once, whatever else changes.
    const double stored = settings.updateIntervalAsSet;
    if (stored > 0.0 && settings.updateInterval != stored && reportedInterval_ != stored) {
        reportedInterval_ = stored;
        systemLog(logApp(), QStringLiteral("StatsStore: 更新間隔 %1 秒の代わりに %2 秒で計測します")
                                .arg(stored)
                                .arg(settings.updateInterval));
    }
    return settings;
}

StatsStore::~StatsStore() = default;

bool StatsStore::isMainWindowVisible() const {
    return visibilityQuery_ ? visibilityQuery_() : true;
}

void StatsStore::start() {
    if (started_) {
        return;
    }
    started_ = true;
    if (isMainWindowVisible()) {
        tick();
    }
    armNextWake();
}

void StatsStore::armNextWake() {
    // Read before every sleep, so a new interval applies from the next sleep on. The deadline
    // is taken after the tick, so the real period is the interval plus the tick's own time.
    const double seconds = shown().updateInterval;
    const auto delay = std::chrono::duration<double>(std::min(seconds, 86400.0));
    timer_->arm(std::chrono::duration_cast<std::chrono::nanoseconds>(delay));
}

void StatsStore::onTimerFired() {
    if (isMainWindowVisible()) {
        tick();
    }
    armNextWake();
}

void StatsStore::tick() {
    sampleCPU();
    sampleGPU();
    sampleMemory();
    sampleNetwork();
    sampleDisk();
    sampleSensors();
    sampleBattery();
    sampleDiskActivity();
    sampleSelf();
    emit ticked();
}

void StatsStore::sampleCPU() {
    cpu_ = shown().showCPU ? sampleOf<CPULoad>(readers_.cpu) : std::nullopt;
    if (cpu_) {
        cpuHistory_.append(cpu_->total);
    }
}

void StatsStore::sampleGPU() {
    gpu_ = shown().showGPU ? sampleOf<double>(readers_.gpu) : std::nullopt;
    if (gpu_) {
        gpuHistory_.append(*gpu_);
    }
}

void StatsStore::sampleMemory() {
    memory_ = shown().showMemory ? sampleOf<MemoryStats>(readers_.memory) : std::nullopt;
}

void StatsStore::sampleNetwork() {
    if (!shown().showNetwork) {
        network_.reset();
        networkInfo_.reset();
        return;
    }
    networkInfo_ = sampleOf<NetworkInfo>(readers_.networkInfo);
    std::optional<std::string> interface;
    if (networkInfo_) {
        interface = networkInfo_->interfaceName;
    }
    const auto now = clock_();
    network_ = readers_.network ? readers_.network->read(now, interface) : std::nullopt;
    if (network_) {
        downloadHistory_.append(network_->download);
        uploadHistory_.append(network_->upload);
    }
}

void StatsStore::sampleDisk() {
    if (!shown().showDisk || !diskReader_) {
        disk_.reset();
        return;
    }
    if (volumeRead_.isRunning()) {
        // Slow or hung: what is held stays, and no second read piles up behind it.
        return;
    }
    const auto now = clock_();
    if (disk_ && lastDiskRead_ && now - *lastDiskRead_ < diskReadSpacing) {
        startTrashRead();
        return;
    }
    lastDiskRead_ = now;
    volumeRead_.start([this, reader = diskReader_]() -> BackgroundRead::HandBack {
        // On the read's thread: only the sample goes back, inside the hand-back.
        return [this, sample = reader->read()] { publishVolume(sample); };
    });
}

void StatsStore::awaitDiskReads(std::chrono::milliseconds limit, bool withTrash) {
    const auto underWay = [&] {
        return volumeRead_.isRunning() || homeRead_.isRunning() ||
               (withTrash && trashRead_.isRunning());
    };
    if (!underWay()) {
        return;
    }
    QEventLoop loop;
    QTimer::singleShot(limit, &loop, &QEventLoop::quit);
    // Each read says when its hand-back ran; the home's publishes nothing of its own.
    const auto check = [&] {
        if (!underWay()) {
            loop.quit();
        }
    };
    for (BackgroundRead* read : {&volumeRead_, &homeRead_, &trashRead_}) {
        connect(read, &BackgroundRead::finished, &loop, check);
    }
    loop.exec();
}

void StatsStore::startTrashRead() {
    // Never beside a running volume read: on a hung home both would hang.
    if (!trashReader_ || trashRead_.isRunning() || volumeRead_.isRunning()) {
        return;
    }
    const auto now = clock_();
    if (lastTrashRead_ &&
        now - *lastTrashRead_ < (trashChanged_ ? std::max<BoottimeClock::duration>(
                                                     trashChangeSpacing, 10 * lastTrashDuration_)
                                               : trashReadSpacing)) {
        return;
    }
    trashChanged_ = false;
    lastTrashRead_ = now;
    trashRead_.start([this, reader = trashReader_]() -> BackgroundRead::HandBack {
        return [this, bytes = reader->read()] { publishTrash(bytes); };
    });
}

void StatsStore::publishVolume(std::optional<DiskUsage> sample) {
    if (!shown().showDisk) {
        return; // hidden while the read ran
    }
    if (sample) {
        sample->purgeable = purgeableShare(*sample, trashBytes_);
    }
    disk_ = sample;
    if (disk_) {
        startTrashRead(); // before the signal, so that its listeners find it under way
    }
    emit ticked();
}

void StatsStore::publishTrash(std::optional<std::int64_t> bytes) {
    if (lastTrashRead_) {
        lastTrashDuration_ = clock_() - *lastTrashRead_;
    }
    // Absent when the trash cannot be read, which the reader logged: the last count stands.
    trashBytes_ = bytes.value_or(trashBytes_);
    if (disk_ && shown().showDisk) {
        disk_->purgeable = purgeableShare(*disk_, trashBytes_);
    }
    emit ticked();
}

void StatsStore::sampleSelf() {
    selfStats_ = shown().showSelf ? sampleOf<SelfStats>(readers_.self) : std::nullopt;
}

void StatsStore::sampleSensors() {
    if (!shown().showSensors) {
        sensors_.reset();
        cpuTemperatureHistory_.clear();
        return;
    }
    sensors_ = sampleOf<SensorReadings>(readers_.sensors);
    if (sensors_ && sensors_->cpu) {
        cpuTemperatureHistory_.append(sensors_->cpu->celsius);
    }
}

void StatsStore::sampleBattery() {
    battery_ = shown().showBattery ? sampleOf<BatteryStatus>(readers_.battery) : std::nullopt;
}

void StatsStore::sampleDiskActivity() {
    if (!shown().showDiskActivity || !diskActivityReader_) {
        diskActivity_.reset();
        diskReadHistory_.clear();
        diskWriteHistory_.clear();
        lastHomeRead_.reset(); // shown again: look for the home at once
        return;
    }
    const auto now = clock_();
    // The home directory is stat'ed on a thread of its own, like the volume; the rates come
    // from /proc/diskstats, which never blocks.
    if (!homeRead_.isRunning() &&
        (!lastHomeRead_ || now < *lastHomeRead_ || now - *lastHomeRead_ >= homeReadSpacing)) {
        lastHomeRead_ = now;
        homeRead_.start([this, reader = diskActivityReader_]() -> BackgroundRead::HandBack {
            return [this, reader, home = reader->locateHome()] { reader->setHome(home, clock_()); };
        });
    }
    diskActivity_ = diskActivityReader_->read(now);
    if (diskActivity_) {
        diskReadHistory_.append(diskActivity_->readBytesPerSecond);
        diskWriteHistory_.append(diskActivity_->writeBytesPerSecond);
    }
}

} // namespace trovimo
