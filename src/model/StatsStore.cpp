#include "model/StatsStore.h"

#include "model/BoottimeTimer.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"

#include <algorithm>

namespace trovimo {
namespace {

template <typename Sample, typename Reader> std::optional<Sample> sampleOf(Reader& reader) {
    return reader ? reader->read() : std::nullopt;
}

} // namespace

StatsStore::StatsStore(SettingsStore& settings, StatsReaders readers,
                       std::unique_ptr<WakeTimer> timer, Clock clock, QObject* parent)
    : QObject(parent), settings_(settings), readers_(std::move(readers)),
      timer_(timer ? std::move(timer) : std::make_unique<BoottimeTimer>()),
      clock_(clock ? std::move(clock) : [] { return BoottimeClock::now(); }) {
    connect(timer_.get(), &WakeTimer::fired, this, &StatsStore::onTimerFired);
    connect(&settings_, &SettingsStore::changed, this, [this] { tickSettings_.reset(); });
}

const StatsStore::TickSettings& StatsStore::tickSettings() {
    if (!tickSettings_) {
        tickSettings_ = TickSettings{
            settings_.boolValue(keys::showCPU),         settings_.boolValue(keys::showGPU),
            settings_.boolValue(keys::showMemory),      settings_.boolValue(keys::showNetwork),
            settings_.boolValue(keys::showDisk),        settings_.boolValue(keys::showSelf),
            settings_.doubleValue(keys::updateInterval)};
    }
    return *tickSettings_;
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
    const double seconds = effectiveUpdateInterval(tickSettings().updateInterval);
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
    sampleSelf();
    emit ticked();
}

void StatsStore::sampleCPU() {
    if (!tickSettings().showCPU) {
        cpu_.reset();
        emit cpuChanged();
        return;
    }
    cpu_ = sampleOf<CPULoad>(readers_.cpu);
    emit cpuChanged();
    if (cpu_) {
        cpuHistory_.append(cpu_->total);
        emit cpuHistoryChanged();
    }
}

void StatsStore::sampleGPU() {
    std::optional<double> sample;
    if (tickSettings().showGPU) {
        sample = sampleOf<double>(readers_.gpu);
    }
    if (sample != gpu_) {
        gpu_ = sample;
        emit gpuChanged();
    }
    if (sample) {
        gpuHistory_.append(*sample);
        emit gpuHistoryChanged();
    }
}

void StatsStore::sampleMemory() {
    if (tickSettings().showMemory) {
        memory_ = sampleOf<MemoryStats>(readers_.memory);
    } else {
        memory_.reset();
    }
    emit memoryChanged();
}

void StatsStore::sampleNetwork() {
    if (!tickSettings().showNetwork) {
        network_.reset();
        emit networkChanged();
        networkInfo_.reset();
        emit networkInfoChanged();
        return;
    }
    networkInfo_ = sampleOf<NetworkInfo>(readers_.networkInfo);
    emit networkInfoChanged();
    std::optional<std::string> interface;
    if (networkInfo_) {
        interface = networkInfo_->bsdName;
    }
    const auto now = clock_();
    network_ = readers_.network ? readers_.network->read(now, interface) : std::nullopt;
    emit networkChanged();
    if (network_) {
        downloadHistory_.append(network_->download);
        emit downloadHistoryChanged();
        uploadHistory_.append(network_->upload);
        emit uploadHistoryChanged();
    }
}

void StatsStore::sampleDisk() {
    if (!tickSettings().showDisk) {
        disk_.reset();
        emit diskChanged();
        return;
    }
    const auto now = clock_();
    const bool due = !disk_ || !lastDiskRead_ || now - *lastDiskRead_ >= diskReadSpacing;
    if (!due) {
        return;
    }
    disk_ = sampleOf<DiskUsage>(readers_.disk);
    emit diskChanged();
    lastDiskRead_ = now;
}

void StatsStore::sampleSelf() {
    if (tickSettings().showSelf) {
        selfStats_ = sampleOf<SelfStats>(readers_.self);
    } else {
        selfStats_.reset();
    }
    emit selfStatsChanged();
}

} // namespace trovimo
