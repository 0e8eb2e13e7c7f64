#pragma once

#include "model/BoottimeClock.h"
#include "model/RingBuffer.h"
#include "model/StatsReaders.h"
#include "model/WakeTimer.h"

#include <QObject>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace trovimo {

class SettingsStore;

// The single model of the running system: owns the readers, runs the sampling loop on the
// GUI thread and publishes the latest sample of each kind plus four one-minute histories.
class StatsStore : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<BoottimeClock::time_point()>;
    static constexpr std::ptrdiff_t historyCapacity = 60;
    static constexpr std::chrono::seconds diskReadSpacing{30};

    // `timer` defaults to a boot-time timer, `clock` (what every interval is measured on) to
    // the boot-time clock.
    StatsStore(SettingsStore& settings, StatsReaders readers,
               std::unique_ptr<WakeTimer> timer = nullptr, Clock clock = {},
               QObject* parent = nullptr);
    ~StatsStore() override;

    // Starts the sampling loop; only the first call has an effect.
    void start();
    [[nodiscard]] bool isStarted() const noexcept { return started_; }

    // One sampling pass over the shown sections, in the fixed order.
    void tick();

    // The window layer tells whether the main window can be seen; true when none is set.
    void setVisibilityQuery(std::function<bool()> query) { visibilityQuery_ = std::move(query); }
    [[nodiscard]] bool isMainWindowVisible() const;

    [[nodiscard]] const std::optional<CPULoad>& cpu() const noexcept { return cpu_; }
    [[nodiscard]] const RingBuffer<double>& cpuHistory() const noexcept { return cpuHistory_; }
    [[nodiscard]] std::optional<double> gpu() const noexcept { return gpu_; }
    [[nodiscard]] const RingBuffer<double>& gpuHistory() const noexcept { return gpuHistory_; }
    [[nodiscard]] const std::optional<MemoryStats>& memory() const noexcept { return memory_; }
    [[nodiscard]] const std::optional<NetworkSpeed>& network() const noexcept { return network_; }
    [[nodiscard]] const std::optional<NetworkInfo>& networkInfo() const noexcept {
        return networkInfo_;
    }
    [[nodiscard]] const RingBuffer<double>& downloadHistory() const noexcept {
        return downloadHistory_;
    }
    [[nodiscard]] const RingBuffer<double>& uploadHistory() const noexcept {
        return uploadHistory_;
    }
    [[nodiscard]] const std::optional<DiskUsage>& disk() const noexcept { return disk_; }
    [[nodiscard]] const std::optional<SelfStats>& selfStats() const noexcept { return selfStats_; }

signals:
    void cpuChanged();
    void cpuHistoryChanged();
    void gpuChanged();
    void gpuHistoryChanged();
    void memoryChanged();
    void networkChanged();
    void networkInfoChanged();
    void downloadHistoryChanged();
    void uploadHistoryChanged();
    void diskChanged();
    void selfStatsChanged();
    // After every tick, once: a cheap hook for views that redraw as a whole.
    void ticked();

private:
    void onTimerFired();
    void armNextWake();
    void sampleCPU();
    void sampleGPU();
    void sampleMemory();
    void sampleNetwork();
    void sampleDisk();
    void sampleSelf();

    // The settings a tick reads, looked up again only after the store reports a change.
    struct TickSettings {
        bool showCPU = false;
        bool showGPU = false;
        bool showMemory = false;
        bool showNetwork = false;
        bool showDisk = false;
        bool showSelf = false;
        double updateInterval = 0.0;
    };
    const TickSettings& tickSettings();

    SettingsStore& settings_;
    std::optional<TickSettings> tickSettings_;
    StatsReaders readers_;
    std::unique_ptr<WakeTimer> timer_;
    Clock clock_;
    std::function<bool()> visibilityQuery_;
    bool started_ = false;

    std::optional<CPULoad> cpu_;
    RingBuffer<double> cpuHistory_{historyCapacity};
    std::optional<double> gpu_;
    RingBuffer<double> gpuHistory_{historyCapacity};
    std::optional<MemoryStats> memory_;
    std::optional<NetworkSpeed> network_;
    std::optional<NetworkInfo> networkInfo_;
    RingBuffer<double> downloadHistory_{historyCapacity};
    RingBuffer<double> uploadHistory_{historyCapacity};
    std::optional<DiskUsage> disk_;
    std::optional<SelfStats> selfStats_;
    // When the disk was last read; none means the distant past.
    std::optional<BoottimeClock::time_point> lastDiskRead_;
};

} // namespace trovimo
