#pragma once

#include "core/BackgroundRead.h"
#include "core/BoottimeClock.h"
#include "core/WakeTimer.h"
#include "model/RingBuffer.h"
#include "model/StatsReaders.h"

#include <QObject>
#include <QSocketNotifier>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

namespace trovimo {

struct DisplaySettings;
class SettingsStore;

// The single model of the running system: owns the readers, runs the sampling loop on the
// GUI thread and publishes the latest sample of each kind plus its one-minute histories.
// The volume and the trash are read on threads of their own (a network home can hang any
// call on it); their results land here, between ticks.
class StatsStore : public QObject {
    Q_OBJECT
public:
    using Clock = std::function<BoottimeClock::time_point()>;
    static constexpr std::ptrdiff_t historyCapacity = 60;
    static constexpr std::chrono::seconds diskReadSpacing{30};
    // The trash is counted again this long after the last count, or after it changed: then
    // no sooner than trashChangeSpacing, or ten times the last count's time, after the last
    // count began. A trash that changes all the while (a large folder moved in file by file)
    // is not walked over and over.
    static constexpr std::chrono::minutes trashReadSpacing{5};
    static constexpr std::chrono::seconds trashChangeSpacing{5};
    // A volume read still running after this is logged; the panel goes on with what it has.
    static constexpr std::chrono::seconds diskReadLimit{2};
    static constexpr std::chrono::seconds trashReadLimit{10};
    // Where the home directory lives is looked up again this long after the last look.
    static constexpr std::chrono::seconds homeReadSpacing{60};

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

    // Whether a volume, home or trash read is under way (a tool that prints once waits for it).
    [[nodiscard]] bool isReadingDisk() const noexcept {
        return volumeRead_.isRunning() || homeRead_.isRunning() || trashRead_.isRunning();
    }
    // Runs the event loop until the disk reads under way have landed (the volume's and the
    // home's, and the trash's too when `withTrash`) or `limit` has passed, so that a first
    // frame or a printed line holds the figures of its own tick. Returns at once when none is
    // under way.
    void awaitDiskReads(std::chrono::milliseconds limit, bool withTrash);
    // For tests: shorter limits than diskReadLimit and trashReadLimit.
    void setDiskReadLimits(std::chrono::milliseconds volume, std::chrono::milliseconds trash);

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
    [[nodiscard]] const std::optional<SensorReadings>& sensors() const noexcept { return sensors_; }
    // The CPU temperature in °C; empty while the block is hidden.
    [[nodiscard]] const RingBuffer<double>& cpuTemperatureHistory() const noexcept {
        return cpuTemperatureHistory_;
    }
    [[nodiscard]] const std::optional<BatteryStatus>& battery() const noexcept { return battery_; }
    [[nodiscard]] const std::optional<DiskActivity>& diskActivity() const noexcept {
        return diskActivity_;
    }
    // Bytes per second; empty while the block is hidden.
    [[nodiscard]] const RingBuffer<double>& diskReadHistory() const noexcept {
        return diskReadHistory_;
    }
    [[nodiscard]] const RingBuffer<double>& diskWriteHistory() const noexcept {
        return diskWriteHistory_;
    }

signals:
    // Once after every tick, and after a volume or trash read landed: views redraw as a
    // whole from the getters.
    void ticked();

private:
    void onTimerFired();
    void armNextWake();
    void sampleCPU();
    void sampleGPU();
    void sampleMemory();
    void sampleNetwork();
    void sampleDisk();
    void startTrashRead();
    void publishVolume(std::optional<DiskUsage> sample);
    void publishTrash(std::optional<std::int64_t> bytes);
    void sampleSelf();
    void sampleSensors();
    void sampleBattery();
    void sampleDiskActivity();

    // The settings, with the interval named in the log when it cannot be honoured.
    const DisplaySettings& shown();

    SettingsStore& settings_;
    std::optional<double> reportedInterval_;
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
    std::optional<SensorReadings> sensors_;
    RingBuffer<double> cpuTemperatureHistory_{historyCapacity};
    std::optional<BatteryStatus> battery_;
    std::optional<DiskActivity> diskActivity_;
    RingBuffer<double> diskReadHistory_{historyCapacity};
    RingBuffer<double> diskWriteHistory_{historyCapacity};
    // Shared with the read in flight, which may outlive the store when it hangs.
    std::shared_ptr<SampleSource<DiskUsage>> diskReader_;
    std::shared_ptr<TrashSource> trashReader_;
    std::shared_ptr<DiskActivitySource> diskActivityReader_;
    std::unique_ptr<QSocketNotifier> trashWatch_;
    BackgroundRead volumeRead_;
    BackgroundRead trashRead_;
    BackgroundRead homeRead_; // where the home directory lives, for the disk activity
    // When the last volume, trash and home reads started; none means the distant past.
    std::optional<BoottimeClock::time_point> lastDiskRead_;
    std::optional<BoottimeClock::time_point> lastTrashRead_;
    BoottimeClock::duration lastTrashDuration_{};
    std::optional<BoottimeClock::time_point> lastHomeRead_;
    bool trashChanged_ = false;
    std::int64_t trashBytes_ = 0; // the last count
};

} // namespace trovimo
