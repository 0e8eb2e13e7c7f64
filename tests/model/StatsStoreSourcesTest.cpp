#include "model/StatsStore.h"

#include "model/Blocks.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsSource.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

using namespace trovimo;
using namespace std::chrono_literals;

namespace {

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
