#include "model/StatsStoreFixture.h"

#include "core/SystemLog.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTimer>

#include <poll.h>

#include <thread>

using namespace trovimo;
using namespace trovimo::test;
using namespace std::chrono_literals;

namespace {

TEST_F(StatsStoreTest, TickCallsReadersInFixedOrderAndPublishesWhatTheyGive) {
    cpu->script = {std::nullopt, CPULoad{0.5, {0.4, 0.6}}};
    gpu->fallback = 0.25;
    memory->fallback = MemoryStats{};
    memory->fallback->used = 10;
    networkInfo->fallback = NetworkInfo{"wlan0", "Wi-Fi", std::nullopt, std::nullopt};
    disk->answer = DiskUsage{1, 2, 0, 0};
    self->script = {std::nullopt, SelfStats{0.01, 1000}};

    tickAndWait();
    EXPECT_EQ(journal, (Journal{"cpu", "gpu", "memory", "networkInfo", "network", "self"}));
    EXPECT_EQ(disk->reads.load(), 1);
    // First tick: the delta readers have nothing yet; the rest publish.
    EXPECT_FALSE(stats().cpu);
    EXPECT_FALSE(stats().network);
    EXPECT_FALSE(stats().selfStats);
    EXPECT_EQ(stats().gpu, 0.25);
    EXPECT_TRUE(stats().memory);
    EXPECT_TRUE(stats().networkInfo);
    EXPECT_TRUE(stats().disk);
    EXPECT_TRUE(stats().cpuHistory.empty());
    EXPECT_EQ(stats().gpuHistory, std::vector<double>{0.25});
    ASSERT_EQ(network->calls.size(), 1u);
    EXPECT_EQ(network->calls[0].interface, std::optional<std::string>("wlan0"));
    EXPECT_EQ(network->calls[0].now, bootNow);

    network->fallback = NetworkSpeed{100.0, 7.0};
    store->tick();
    ASSERT_TRUE(stats().cpu);
    EXPECT_EQ(stats().cpuHistory, std::vector<double>{0.5});
    EXPECT_EQ(stats().downloadHistory, std::vector<double>{100.0});
    EXPECT_EQ(stats().uploadHistory, std::vector<double>{7.0});
    EXPECT_TRUE(stats().selfStats);
}

TEST_F(StatsStoreTest, SwitchedOffSectionsAreNotReadAndKeepTheirHistory) {
    cpu->fallback = CPULoad{0.5, {0.5}};
    network->fallback = NetworkSpeed{1.0, 2.0};
    networkInfo->fallback = NetworkInfo{"eth0", "Ethernet", std::nullopt, std::nullopt};
    store->tick();
    ASSERT_EQ(stats().cpuHistory.size(), 1u);

    for (const char* key :
         {shownKey(Block::cpu), shownKey(Block::gpu), shownKey(Block::memory),
          shownKey(Block::network), shownKey(Block::disk), shownKey(Block::self)}) {
        settings.setBool(key, false);
    }
    journal.clear();
    store->tick();
    EXPECT_TRUE(journal.empty());
    EXPECT_FALSE(stats().cpu);
    EXPECT_FALSE(stats().gpu);
    EXPECT_FALSE(stats().memory);
    EXPECT_FALSE(stats().network);
    EXPECT_FALSE(stats().networkInfo);
    EXPECT_FALSE(stats().disk);
    EXPECT_FALSE(stats().selfStats);
    EXPECT_EQ(stats().cpuHistory.size(), 1u) << "a hidden section neither clears nor pads";
    EXPECT_EQ(stats().downloadHistory.size(), 1u);

    settings.setBool(shownKey(Block::cpu), true);
    store->tick();
    EXPECT_EQ(journal, Journal{"cpu"});
    EXPECT_EQ(stats().cpuHistory.size(), 2u);
}

// Temperatures, battery and disk activity are read only while shown, after the disk and before
// the self-load; the home directory is looked for off the GUI thread, and hidden blocks drop
// their histories.
TEST_F(StatsStoreTest, OptionalBlocksAreReadOnlyWhileShown) {
    sensors->fallback = SensorReadings{Temperature{50.0}, std::nullopt, std::nullopt, 900};
    battery->fallback = BatteryStatus{};
    tickAndWait();
    EXPECT_EQ(journal, (Journal{"cpu", "gpu", "memory", "networkInfo", "network", "self"}));
    EXPECT_EQ(diskActivity->locates.load(), 0);

    for (const char* key :
         {shownKey(Block::sensors), shownKey(Block::battery), shownKey(Block::diskActivity)}) {
        settings.setBool(key, true);
    }
    journal.clear();
    tickAndWait();
    // No rates until the home was found.
    EXPECT_EQ(journal, (Journal{"cpu", "gpu", "memory", "networkInfo", "network", "sensors",
                                "battery", "self"}));
    EXPECT_EQ(diskActivity->locates.load(), 1);
    EXPECT_FALSE(diskActivity->locatedOnGuiThread.load());
    ASSERT_EQ(diskActivity->handedIn.size(), 1U);
    EXPECT_EQ(diskActivity->handedIn[0], (HomeVolume{"/home/ada", 8, 1}));

    journal.clear();
    store->tick();
    EXPECT_EQ(journal.at(journal.size() - 2), "diskActivity");
    EXPECT_EQ(stats().diskActivity, (DiskActivity{10.0, 20.0, "sda"}));
    EXPECT_EQ(stats().diskWriteHistory, (std::vector<double>{20.0}));
    EXPECT_EQ(stats().cpuTemperatureHistory, (std::vector<double>{50.0, 50.0}));
    EXPECT_TRUE(stats().battery);
    EXPECT_EQ(diskActivity->locates.load(), 1) << "looked for again only after a minute";

    for (const char* key :
         {shownKey(Block::sensors), shownKey(Block::battery), shownKey(Block::diskActivity)}) {
        settings.setBool(key, false);
    }
    journal.clear();
    store->tick();
    EXPECT_EQ(journal, (Journal{"cpu", "gpu", "memory", "networkInfo", "network", "self"}));
    EXPECT_FALSE(stats().sensors || stats().battery || stats().diskActivity);
    EXPECT_TRUE(stats().cpuTemperatureHistory.empty());
    EXPECT_TRUE(stats().diskReadHistory.empty());
}

TEST_F(StatsStoreTest, NoNetworkIdentityMeansNoInterfaceAndAbsentRateAddsNoHistory) {
    network->fallback = std::nullopt;
    store->tick();
    ASSERT_EQ(network->calls.size(), 1u);
    EXPECT_FALSE(network->calls[0].interface);
    EXPECT_TRUE(stats().downloadHistory.empty());
    EXPECT_TRUE(stats().uploadHistory.empty());
}

TEST_F(StatsStoreTest, DiskIsReadAtMostEveryThirtySecondsAndRetriedAfterAFailure) {
    disk->answer = std::nullopt;
    tickAndWait();
    tickAndWait();
    EXPECT_EQ(disk->reads.load(), 2) << "a failed read is tried again at the next tick";
    disk->answer = DiskUsage{1, 2, 0, 0};
    tickAndWait();
    bootNow += 29s;
    tickAndWait();
    EXPECT_EQ(disk->reads.load(), 3);
    bootNow += 1s; // 30 s after the read
    tickAndWait();
    EXPECT_EQ(disk->reads.load(), 4);
}

// statvfs on a home whose server went away blocks until the server returns: the ticks go on,
// the last sample stays, one line is logged, and no second read piles up behind the first.
TEST_F(StatsStoreTest, AHungVolumeReadLeavesTheLastSampleAndTheTicksGoOn) {
    QStringList logged;
    setSystemLogSink([&](const QString& line) { logged << line; });
    // The trash is counted after each volume read; on a busy machine that count may take
    // longer than the volume's short limit here, and its own line is not this test's.
    diskSampler->setReadLimits(20ms, 10s);
    disk->answer = DiskUsage{1, 2, 0, 0};
    tickAndWait();

    disk->held = true;
    disk->answer = DiskUsage{3, 4, 0, 0};
    for (int tick = 0; tick < 5; ++tick) {
        bootNow += 31s;
        store->tick(); // would block here, were the read made on this thread
        QTest::qWait(10);
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return disk->reads == 2 && !logged.isEmpty(); }));
    QTest::qWait(30);
    EXPECT_EQ(disk->reads.load(), 2) << "a second read behind the hung one";
    EXPECT_EQ(stats().disk, (DiskUsage{1, 2, 0, 0}));
    ASSERT_EQ(logged.size(), 1);
    EXPECT_TRUE(logged[0].startsWith(QStringLiteral("StatsStore: ")));

    disk->held = false;
    ASSERT_TRUE(QTest::qWaitFor([this] { return stats().disk == DiskUsage{3, 4, 0, 0}; }));
    EXPECT_EQ(logged.size(), 1);
    setSystemLogSink({});
}

// The trash is the purgeable share: counted after the volume, again when it changes (but
// not on every change) or five minutes on, never more than the used space outside the
// reserve, the last count kept when the trash cannot be read.
TEST_F(StatsStoreTest, TrashCountIsThePurgeableShare) {
    disk->answer = DiskUsage{1000, 4000, 100, 0};
    trash->bytes = 300;
    tickAndWait();
    EXPECT_EQ(stats().disk->purgeable, 300);
    EXPECT_EQ(trash->reads.load(), 1);

    trash->bytes = 5000;
    bootNow += 10s;
    tickAndWait();
    EXPECT_EQ(trash->reads.load(), 1) << "nothing changed";
    const auto change = [this] { // until the store took the news
        ::eventfd_write(trash->fd, 1);
        pollfd pending{trash->fd, POLLIN, 0};
        ASSERT_TRUE(QTest::qWaitFor([&] { return ::poll(&pending, 1, 0) == 0; }));
    };
    change();
    tickAndWait();
    EXPECT_EQ(trash->reads.load(), 2);
    EXPECT_EQ(stats().disk->purgeable, 900) << "used less the reserve";
    for (int second = 1; second <= 5; ++second) { // changing all the while
        change();
        bootNow += 1s;
        tickAndWait();
        EXPECT_EQ(trash->reads.load(), second < 5 ? 2 : 3) << second;
    }

    trash->bytes = -1;
    bootNow += 5min;
    tickAndWait();
    EXPECT_EQ(trash->reads.load(), 4);
    EXPECT_EQ(stats().disk->purgeable, 900);
    bootNow += 30s; // the next volume sample carries the kept count
    tickAndWait();
    EXPECT_EQ(stats().disk->purgeable, 900);
}

TEST_F(StatsStoreTest, StartTicksOnceArmsOneLoopAndRereadsTheIntervalBeforeEachSleep) {
    QSignalSpy ticks(store.get(), &StatsStore::published);
    store->start();
    store->start();
    EXPECT_EQ(ticks.count(), 1);
    ASSERT_EQ(timer->armed.size(), 1u);
    EXPECT_EQ(timer->armed.back(), 1s);

    settings.setDouble(keys::updateInterval, 5.0);
    EXPECT_EQ(timer->armed.size(), 1u) << "the sleep in progress is not cut short";
    timer->fire();
    EXPECT_EQ(ticks.count(), 2);
    EXPECT_EQ(timer->armed.back(), 5s);

    settings.setDouble(keys::updateInterval, -1.0);
    timer->fire();
    EXPECT_EQ(timer->armed.back(), 1s);
    settings.setDouble(keys::updateInterval, 0.5);
    timer->fire();
    EXPECT_EQ(timer->armed.back(), 500ms);
    settings.setDouble(keys::updateInterval, 1e300);
    timer->fire();
    EXPECT_EQ(timer->armed.back(), 24h) << "absurd intervals are capped, not overflowed";

    QStringList lines;
    setSystemLogSink([&lines](const QString& line) { lines << line; });
    settings.setDouble(keys::updateInterval, 1e-9);
    timer->fire();
    settings.setBool(shownKey(Block::gpu), false); // read again, but named only once
    timer->fire();
    setSystemLogSink({});
    EXPECT_EQ(timer->armed.back(), 100ms);
    EXPECT_EQ(lines, QStringList{QStringLiteral(
                         "StatsStore: 更新間隔 1e-09 秒の代わりに 0.1 秒で計測します")});
}

TEST_F(StatsStoreTest, HiddenWindowSkipsSamplingButKeepsTheLoop) {
    bool visible = false;
    store->setVisibilityQuery([&] { return visible; });
    cpu->fallback = CPULoad{0.5, {0.5}};
    store->start();
    EXPECT_TRUE(journal.empty());
    timer->fire();
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(timer->armed.size(), 2u);
    EXPECT_TRUE(stats().cpuHistory.empty());

    visible = true;
    timer->fire();
    EXPECT_EQ(journal.size(), 6u);
    EXPECT_EQ(stats().cpuHistory.size(), 1u);
}

TEST(StatsStoreDefaults, MissingReadersPublishAbsentValues) {
    QTemporaryDir dir;
    SettingsStore settings(dir.path() + QStringLiteral("/Trovimo.conf"));
    settings.registerDefaults(defaultSettings());
    StatsStore store(settings, nullptr);
    EXPECT_TRUE(store.isMainWindowVisible());
    store.tick();
    EXPECT_FALSE(store.snapshot()->cpu);
    EXPECT_FALSE(store.snapshot()->gpu);
    EXPECT_FALSE(store.snapshot()->memory);
    EXPECT_FALSE(store.snapshot()->disk);
}

// Another machine's source answers a tick later, on the GUI thread: the store publishes then,
// the histories take the answer, the snapshot carries the source's name and state, and a tool
// that waits for the tick's figures waits for the answer.
class LaterSource final : public StatsSource {
public:
    QString name() const override { return QStringLiteral("build-server"); }
    SourceState state() const override { return state_; }
    void sample(BlockSet shown, Interval /*interval*/) override { asked.push_back(shown); }
    bool isAwaiting(bool /*complete*/) const override { return asked.size() > answers; }
    void answer(const Figures& figures) {
        ++answers;
        emit figuresReady(figures, true);
        emit settled();
    }
    void setState(SourceState state) {
        state_ = state;
        emit stateChanged();
    }
    std::vector<BlockSet> asked;
    std::size_t answers = 0;

private:
    SourceState state_ = SourceState::connecting;
};

TEST(StatsStoreSources, AnAnswerThatComesLaterIsPublishedWithItsStateAndAwaited) {
    QTemporaryDir dir;
    SettingsStore settings(dir.path() + QStringLiteral("/Trovimo.conf"));
    auto* source = new LaterSource;
    StatsStore store(settings, std::unique_ptr<StatsSource>(source));
    QSignalSpy published(&store, &StatsStore::published);
    EXPECT_EQ(store.snapshot()->sourceName, QStringLiteral("build-server"));
    EXPECT_EQ(store.snapshot()->sourceState, SourceState::connecting);

    store.tick();
    ASSERT_EQ(source->asked.size(), 1U);
    EXPECT_EQ(source->asked[0], DisplaySettings{}.shown);
    EXPECT_EQ(published.count(), 0);

    Figures figures;
    figures.cpu = CPULoad{0.5, {0.5}};
    QTimer::singleShot(10ms, source, [&] {
        source->setState(SourceState::fresh);
        source->answer(figures);
    });
    store.awaitFigures(10s, true);
    EXPECT_EQ(published.count(), 2);
    EXPECT_EQ(store.snapshot()->sourceState, SourceState::fresh);
    EXPECT_EQ(store.snapshot()->cpuHistory, std::vector<double>{0.5});

    source->setState(SourceState::unreachable);
    EXPECT_EQ(store.snapshot()->sourceState, SourceState::unreachable);
    EXPECT_EQ(store.snapshot()->cpuHistory, std::vector<double>{0.5}) << "no answer, no point";
}

// The menu's choice of machine swaps the source of a running store: the new one is asked at
// once, the histories start afresh, and an answer the old one still had coming is not shown.
TEST(StatsStoreSources, ASwappedSourceStartsAfreshAndTheOldOnesAnswerIsDropped) {
    QTemporaryDir dir;
    SettingsStore settings(dir.path() + QStringLiteral("/Trovimo.conf"));
    auto* first = new LaterSource;
    StatsStore store(settings, std::unique_ptr<StatsSource>(first));
    store.start();
    Figures figures;
    figures.cpu = CPULoad{0.5, {0.5}};
    first->answer(figures);
    ASSERT_EQ(store.snapshot()->cpuHistory.size(), 1U);
    QPointer<LaterSource> old(first);

    auto* second = new LaterSource;
    store.setSource(std::unique_ptr<StatsSource>(second));
    EXPECT_TRUE(old.isNull()) << "the old source goes before the new one is asked";
    EXPECT_EQ(second->asked.size(), 1U);
    EXPECT_TRUE(store.snapshot()->cpuHistory.empty());
    EXPECT_FALSE(store.snapshot()->cpu);
    second->answer(figures);
    EXPECT_EQ(store.snapshot()->cpuHistory, std::vector<double>{0.5});
}

} // namespace
