// One refresh of the shown panel, as the running program does it every second: a sampling
// pass over scripted readers, the relayout it triggers and the repaint of what changed, on
// the offscreen platform. The figures of an idle desktop change a little every second.
// Beside it, a second with animated values (the refresh, the rolls and the seconds bar's
// sweep), and what the clock alone repaints: counters of the repainted area.
#include "model/DiskActivitySampler.h"
#include "model/DiskSampler.h"
#include "model/History.h"
#include "model/LocalSource.h"
#include "model/NetworkSampler.h"
#include "model/ReaderSampler.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "panel/ContentView.h"
#include "support/QtBenchmarkMain.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QPaintEvent>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <vector>

namespace {

using namespace trovimo;
using namespace std::chrono_literals;

// A fixed sequence of small numbers, the same on every run.
class Script {
public:
    double next(double low, double high) {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        const double unit = static_cast<double>(state_ >> 11) / 9007199254740992.0;
        return low + (high - low) * unit;
    }

private:
    std::uint64_t state_ = 42;
};

Script& script() {
    static Script instance;
    return instance;
}

class IdleCPU final : public SampleSource<CPULoad> {
public:
    std::optional<CPULoad> read() override {
        CPULoad load{0.0, std::vector<double>(4)};
        for (double& core : load.perCore) {
            core = script().next(0.0, 0.08);
            load.total += core / 4.0;
        }
        return load;
    }
};

class IdleGPU final : public SampleSource<double> {
public:
    std::optional<double> read() override { return script().next(0.0, 0.05); }
};

class IdleMemory final : public SampleSource<MemoryStats> {
public:
    std::optional<MemoryStats> read() override {
        constexpr std::uint64_t mb = 1'000'000;
        const auto jitter = static_cast<std::uint64_t>(script().next(0.0, 3.0) * mb);
        return MemoryStats{
            3'200 * mb + jitter,   16'000 * mb, 2'100 * mb + jitter, 600 * mb, 0, 0, 0,
            MemoryPressure::normal};
    }
};

class IdleNetwork final : public ThroughputSource {
public:
    std::optional<NetworkSpeed> read(BoottimeClock::time_point,
                                     const std::optional<std::string>&) override {
        return NetworkSpeed{script().next(0.0, 4'000.0), script().next(0.0, 1'500.0)};
    }
};

class FixedNetworkInfo final : public SampleSource<NetworkInfo> {
public:
    std::optional<NetworkInfo> read() override {
        return NetworkInfo{"enp3s0", "イーサネット", std::nullopt, std::nullopt};
    }
};

class FixedDisk final : public SampleSource<DiskUsage> {
public:
    std::optional<DiskUsage> read() override {
        constexpr std::uint64_t gb = 1'000'000'000;
        return DiskUsage{191 * gb, 271 * gb, 23 * gb, 0};
    }
};

// The blocks that are off by default, on an idle laptop: the CPU's temperature wanders by a
// fraction of a degree, the fan by a few turns, the battery's draw by tenths of a watt; the
// disk is written to in a short burst every few seconds (the journal's commits) and read from
// hardly ever.
class WarmSensors final : public SampleSource<SensorReadings> {
public:
    std::optional<SensorReadings> read() override {
        cpu_ = std::clamp(cpu_ + script().next(-0.6, 0.6), 44.0, 56.0);
        return SensorReadings{Temperature{cpu_}, std::nullopt, Temperature{37.85},
                              static_cast<std::uint32_t>(script().next(2380.0, 2420.0))};
    }

private:
    double cpu_ = 48.0;
};

class DischargingBattery final : public SampleSource<BatteryStatus> {
public:
    std::optional<BatteryStatus> read() override {
        percent_ = std::max(0.0, percent_ - 0.003);
        const double watts = script().next(7.6, 8.8);
        return BatteryStatus{percent_, BatteryState::discharging,
                             std::chrono::seconds(static_cast<int>(percent_ * 570.0 / watts)),
                             watts};
    }

private:
    double percent_ = 71.0;
};

class QuietDisk final : public DiskActivitySource {
public:
    std::optional<DiskActivity> read(TimePoint) override {
        const bool commit = ++tick_ % 5 == 0;
        return DiskActivity{0.0, commit ? script().next(40'000.0, 200'000.0) : 0.0, "nvme0n1"};
    }
    std::optional<HomeVolume> locateHome() const override {
        return HomeVolume{"/home/ada", 259, 2};
    }
    void setHome(const std::optional<HomeVolume>&, TimePoint) override {}

private:
    int tick_ = 0;
};

class ManualTimer final : public WakeTimer {
public:
    void arm(std::chrono::nanoseconds) override {}
};

void refresh(StatsStore& store, BoottimeClock::time_point& now) {
    now += 1s;
    store.tick();
    QCoreApplication::processEvents();
}

// The timed refreshes alone, by name: `valgrind --tool=callgrind
// --toggle-collect='*measuredRefresh*'` counts them without the set-up.
[[gnu::noinline]] void measuredRefresh(StatsStore& store, BoottimeClock::time_point& now) {
    refresh(store, now);
}

// Counts paint events and the pixels they cover.
class PaintCounter : public QObject {
public:
    void reset() {
        paints = 0;
        pixels = 0;
        lowestRow = -1;
    }

    double paints = 0;
    double pixels = 0;
    int lowestRow = -1;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::Paint) {
            ++paints;
            const QRegion& region = static_cast<QPaintEvent*>(event)->region();
            for (const QRect& rect : region) {
                pixels += static_cast<double>(rect.width()) * rect.height();
            }
            lowestRow = std::max(lowestRow, region.boundingRect().bottom());
        }
        return QObject::eventFilter(watched, event);
    }
};

// A shown panel over scripted readers, its histories full as after the first minute.
class IdleDesktop {
public:
    IdleDesktop(bool gpu, bool blocks, bool animate)
        : settings_(folder_.filePath(QStringLiteral("Trovimo.conf"))) {
        settings_.registerDefaults(defaultSettings());
        if (animate) {
            settings_.setBool(QLatin1String(keys::animateValues), true);
        }
        const BlockSampler::Clock clock = [this] { return now; };
        std::vector<std::unique_ptr<BlockSampler>> samplers;
        samplers.push_back(readEveryTick(Block::cpu, &Figures::cpu, std::make_unique<IdleCPU>()));
        if (gpu) {
            samplers.push_back(
                readEveryTick(Block::gpu, &Figures::gpu, std::make_unique<IdleGPU>()));
        }
        samplers.push_back(
            readEveryTick(Block::memory, &Figures::memory, std::make_unique<IdleMemory>()));
        samplers.push_back(std::make_unique<NetworkSampler>(
            std::make_unique<FixedNetworkInfo>(), std::make_unique<IdleNetwork>(), clock));
        samplers.push_back(
            std::make_unique<DiskSampler>(std::make_unique<FixedDisk>(), nullptr, clock));
        if (blocks) {
            for (const Block block : {Block::sensors, Block::battery, Block::diskActivity}) {
                settings_.setBool(QLatin1String(shownKey(block)), true);
            }
            samplers.push_back(
                readEveryTick(Block::sensors, &Figures::sensors, std::make_unique<WarmSensors>()));
            samplers.push_back(readEveryTick(Block::battery, &Figures::battery,
                                             std::make_unique<DischargingBattery>()));
            samplers.push_back(
                std::make_unique<DiskActivitySampler>(std::make_unique<QuietDisk>(), clock));
        }
        store_ = std::make_unique<StatsStore>(settings_,
                                              std::make_unique<LocalSource>(std::move(samplers)),
                                              std::make_unique<ManualTimer>());
        view_ = std::make_unique<ContentView>(*store_, nullptr, settings_);
        view_->show();
        store_->start(); // as the application does once the panel shows
        for (std::size_t second = 0; second < 2 * historyCapacity; ++second) {
            refresh(*store_, now);
            store_->awaitFigures(1s, false);
        }
    }

    [[nodiscard]] StatsStore& store() { return *store_; }
    [[nodiscard]] ContentView& view() { return *view_; }

    BoottimeClock::time_point now{86400s};

private:
    QTemporaryDir folder_;
    SettingsStore settings_;
    std::unique_ptr<StatsStore> store_;
    std::unique_ptr<ContentView> view_;
};

void BM_RefreshIdleDesktop(benchmark::State& state) {
    IdleDesktop desktop(state.range(0) != 0, state.range(2) != 0, false);
    // On an idle desktop the panel sleeps a second between refreshes, and whatever else
    // runs meanwhile takes the caches: "cold" evicts them before every refresh, so what it
    // measures grows with the code and data a refresh touches, not only its instructions.
    const bool cold = state.range(1) != 0;
    std::vector<char> evictor(cold ? 64u << 20 : 0);
    for (auto _ : state) {
        if (cold) {
            state.PauseTiming();
            for (std::size_t at = 0; at < evictor.size(); at += 64) {
                evictor[at] = static_cast<char>(evictor[at] + 1);
            }
            benchmark::DoNotOptimize(evictor.data());
            state.ResumeTiming();
        }
        measuredRefresh(desktop.store(), desktop.now);
    }
}
// "blocks": temperatures, battery and disk activity shown as well.
BENCHMARK(BM_RefreshIdleDesktop)
    ->ArgNames({"gpu", "cold", "blocks"})
    ->ArgsProduct({{0, 1}, {0, 1}, {0}})
    ->Args({1, 0, 1})
    ->Args({1, 1, 1})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

// Timer events anywhere in the program: its wake-ups.
class WakeCounter : public QObject {
public:
    double wakeups = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        wakeups += event->type() == QEvent::Timer ? 1 : 0;
        return QObject::eventFilter(watched, event);
    }
};

// A refresh and the second of event loop after it, by name for callgrind as above
// (`--toggle-collect='*measuredAnimatedSecond*'`).
[[gnu::noinline]] void measuredAnimatedSecond(StatsStore& store, BoottimeClock::time_point& now) {
    refresh(store, now);
    QEventLoop loop;
    QTimer::singleShot(1s, &loop, &QEventLoop::quit);
    loop.exec();
}

// A second of the panel with animateValues on: a refresh whose figures roll, and the
// second of event loop that follows, with the rolls' frames and the seconds bar's sweep.
// The counters say how often the program woke up and painted per second.
void BM_AnimatedSecond(benchmark::State& state) {
    IdleDesktop desktop(true, false, true);
    PaintCounter paints;
    WakeCounter wakes;
    desktop.view().installEventFilter(&paints);
    QCoreApplication::instance()->installEventFilter(&wakes);
    for (auto _ : state) {
        measuredAnimatedSecond(desktop.store(), desktop.now);
    }
    QCoreApplication::instance()->removeEventFilter(&wakes);
    desktop.view().removeEventFilter(&paints);
    const auto perSecond = benchmark::Counter::kAvgIterations;
    state.counters["wakeups"] = benchmark::Counter(wakes.wakeups, perSecond);
    state.counters["paints"] = benchmark::Counter(paints.paints, perSecond);
}
BENCHMARK(BM_AnimatedSecond)->Iterations(8)->MeasureProcessCPUTime()->Unit(benchmark::kMillisecond);

// A shown panel whose figures stand still while its wall clock moves on by the argument's
// seconds between relayouts: 0 should repaint nothing, 1 the seconds bar's rectangle (and
// once a minute the clock), 60 the clock's texts, never the blocks below it. The counters
// say how much per relayout, and the lowest row any repaint reached (-1: none).
void BM_RepaintAfterClockStep(benchmark::State& state) {
    QTemporaryDir folder;
    SettingsStore settings(folder.filePath(QStringLiteral("Trovimo.conf")));
    settings.registerDefaults(defaultSettings());
    StatsStore store(settings, nullptr, std::make_unique<ManualTimer>());
    ContentView view(store, nullptr, settings);
    auto wall = std::chrono::system_clock::time_point{1796562330s + 400ms};
    view.setWallClock([&wall] { return wall; });
    PaintCounter counter;
    view.installEventFilter(&counter);
    view.show();
    // The first frames (the platform may expose the window more than once).
    for (int quiet = 0, spin = 0; quiet < 50 && spin < 10000; ++spin) {
        const double before = counter.paints;
        QCoreApplication::processEvents();
        quiet = counter.paints == before && counter.paints > 0 ? quiet + 1 : 0;
    }
    counter.reset();
    for (auto _ : state) {
        wall += std::chrono::seconds(state.range(0));
        view.relayout();
        QCoreApplication::processEvents();
    }
    view.removeEventFilter(&counter);
    const auto perRelayout = benchmark::Counter::kAvgIterations;
    state.counters["paints"] = benchmark::Counter(counter.paints, perRelayout);
    state.counters["painted_px"] = benchmark::Counter(counter.pixels, perRelayout);
    state.counters["panel_px"] = static_cast<double>(view.width()) * view.height();
    state.counters["lowest_row"] = counter.lowestRow;
    state.counters["panel_rows"] = view.height();
}
BENCHMARK(BM_RepaintAfterClockStep)->ArgName("seconds")->Arg(0)->Arg(1)->Arg(60);

} // namespace
