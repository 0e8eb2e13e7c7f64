#pragma once

#include "model/DiskActivitySampler.h"
#include "model/DiskSampler.h"
#include "model/LocalSource.h"
#include "model/NetworkSampler.h"
#include "model/ReaderSampler.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "support/ManualWakeTimer.h"

#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <memory>
#include <string>
#include <vector>

// The statistics store over scripted readers, each call noted in one journal, with a volume
// that can hang and a loop timer the test fires.
namespace trovimo::test {

using namespace std::chrono_literals;

// Every reader call goes into one shared journal so the tick order can be checked.
using Journal = std::vector<std::string>;

template <typename Sample> class ScriptedSource : public SampleSource<Sample> {
public:
    ScriptedSource(std::string name, Journal& journal)
        : name_(std::move(name)), journal_(journal) {}
    std::optional<Sample> read() override {
        journal_.push_back(name_);
        if (script.empty()) {
            return fallback;
        }
        auto next = script.front();
        script.pop_front();
        return next;
    }
    std::deque<std::optional<Sample>> script;
    std::optional<Sample> fallback;

private:
    std::string name_;
    Journal& journal_;
};

// The volume, read on the store's worker threads: while held, it blocks like statvfs on a
// home whose server went away. The test sets `answer` only while no read runs.
class HeldDisk : public SampleSource<DiskUsage> {
public:
    std::optional<DiskUsage> read() override {
        ++reads;
        while (held) {
            std::this_thread::sleep_for(1ms);
        }
        return answer;
    }
    std::atomic<int> reads{0};
    std::atomic<bool> held{false};
    std::optional<DiskUsage> answer;
};

// The trash: a scripted count (below 0: unreadable), and an eventfd standing in for inotify.
class ScriptedTrash : public TrashSource {
public:
    std::optional<std::int64_t> read() override {
        ++reads;
        return bytes >= 0 ? std::optional<std::int64_t>(bytes) : std::nullopt;
    }
    ~ScriptedTrash() override { ::close(fd); }
    int changeDescriptor() const noexcept override { return fd; }
    void drainChanges() const noexcept override { ::eventfd_read(fd, nullptr); }
    const int fd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    std::atomic<std::int64_t> bytes{0};
    std::atomic<int> reads{0};
};

class ScriptedThroughput : public ThroughputSource {
public:
    explicit ScriptedThroughput(Journal& journal) : journal_(journal) {}
    std::optional<NetworkSpeed> read(BoottimeClock::time_point now,
                                     const std::optional<std::string>& interface) override {
        journal_.push_back("network");
        calls.push_back({now, interface});
        return fallback;
    }
    struct Call {
        BoottimeClock::time_point now;
        std::optional<std::string> interface;
    };
    std::vector<Call> calls;
    std::optional<NetworkSpeed> fallback;

private:
    Journal& journal_;
};

// Disk activity: where the home lives is asked for on the store's worker thread, the rates on
// the GUI thread; like the real reader, it reads nothing before the answer was handed over.
class ScriptedDiskActivity : public DiskActivitySource {
public:
    explicit ScriptedDiskActivity(Journal& journal) : journal_(journal) {}
    std::optional<DiskActivity> read(TimePoint /*now*/) override {
        if (handedIn.empty()) {
            return std::nullopt;
        }
        journal_.push_back("diskActivity");
        return DiskActivity{10.0, 20.0, "sda"};
    }
    std::optional<HomeVolume> locateHome() const override {
        locatedOnGuiThread = std::this_thread::get_id() == guiThread;
        ++locates;
        return HomeVolume{"/home/ada", 8, 1};
    }
    void setHome(const std::optional<HomeVolume>& home, TimePoint /*now*/) override {
        handedIn.push_back(home);
    }
    std::thread::id guiThread = std::this_thread::get_id();
    mutable std::atomic<int> locates{0};
    mutable std::atomic<bool> locatedOnGuiThread{false};
    std::vector<std::optional<HomeVolume>> handedIn;

private:
    Journal& journal_;
};

class StatsStoreTest : public ::testing::Test {
protected:
    StatsStoreTest() : settings(dir.path() + QStringLiteral("/Trovimo.conf")) {
        settings.registerDefaults(defaultSettings());
        settings.setBool(shownKey(Block::self), true);
        auto make = [&](auto& raw, auto* source) {
            raw = source;
            return std::unique_ptr<std::remove_pointer_t<decltype(source)>>(source);
        };
        const BlockSampler::Clock clock = [this] { return bootNow; };
        std::vector<std::unique_ptr<BlockSampler>> samplers;
        samplers.push_back(readEveryTick(Block::cpu, &Figures::cpu,
                                         make(cpu, new ScriptedSource<CPULoad>("cpu", journal))));
        samplers.push_back(readEveryTick(Block::gpu, &Figures::gpu,
                                         make(gpu, new ScriptedSource<double>("gpu", journal))));
        samplers.push_back(
            readEveryTick(Block::memory, &Figures::memory,
                          make(memory, new ScriptedSource<MemoryStats>("memory", journal))));
        samplers.push_back(std::make_unique<NetworkSampler>(
            make(networkInfo, new ScriptedSource<NetworkInfo>("networkInfo", journal)),
            make(network, new ScriptedThroughput(journal)), clock));
        auto volume = std::make_unique<DiskSampler>(make(disk, new HeldDisk),
                                                    make(trash, new ScriptedTrash), clock);
        diskSampler = volume.get();
        samplers.push_back(std::move(volume));
        samplers.push_back(
            readEveryTick(Block::sensors, &Figures::sensors,
                          make(sensors, new ScriptedSource<SensorReadings>("sensors", journal))));
        samplers.push_back(
            readEveryTick(Block::battery, &Figures::battery,
                          make(battery, new ScriptedSource<BatteryStatus>("battery", journal))));
        samplers.push_back(std::make_unique<DiskActivitySampler>(
            make(diskActivity, new ScriptedDiskActivity(journal)), clock));
        samplers.push_back(
            readEveryTick(Block::self, &Figures::selfStats,
                          make(self, new ScriptedSource<SelfStats>("self", journal))));
        auto manual = std::make_unique<test::ManualWakeTimer>();
        timer = manual.get();
        store = std::make_unique<StatsStore>(
            settings, std::make_unique<LocalSource>(std::move(samplers)), std::move(manual));
    }
    ~StatsStoreTest() override {
        disk->held = false;
        EXPECT_TRUE(QTest::qWaitFor([this] { return !store->isAwaiting(); }));
    }

    // A tick, and the volume and trash reads it started landing.
    void tickAndWait() {
        store->tick();
        store->awaitFigures(5s, true);
        ASSERT_FALSE(store->isAwaiting());
    }

    QTemporaryDir dir;
    SettingsStore settings;
    Journal journal;
    ScriptedSource<CPULoad>* cpu = nullptr;
    ScriptedSource<double>* gpu = nullptr;
    ScriptedSource<MemoryStats>* memory = nullptr;
    ScriptedSource<NetworkInfo>* networkInfo = nullptr;
    ScriptedThroughput* network = nullptr;
    HeldDisk* disk = nullptr;
    DiskSampler* diskSampler = nullptr;
    ScriptedTrash* trash = nullptr;
    ScriptedSource<SelfStats>* self = nullptr;
    ScriptedSource<SensorReadings>* sensors = nullptr;
    ScriptedSource<BatteryStatus>* battery = nullptr;
    ScriptedDiskActivity* diskActivity = nullptr;
    test::ManualWakeTimer* timer = nullptr;
    const StatsSnapshot& stats() const { return *store->snapshot(); }
    BoottimeClock::time_point bootNow{std::chrono::hours(500)};
    std::unique_ptr<StatsStore> store;
};

} // namespace trovimo::test
