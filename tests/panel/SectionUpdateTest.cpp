// How the sections follow change: which value changes roll their digits, and that the disk
// alert follows its threshold without waiting for a new sample.
#include "model/DiskSampler.h"
#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "panel/CPUSection.h"
#include "panel/ContentView.h"
#include "panel/DiskSection.h"
#include "panel/NetworkSection.h"
#include "panel/NumberRoller.h"
#include "panel/PanelTestSupport.h"
#include "panel/SelfSection.h"
#include "support/LocalSources.h"
#include "support/TestSupport.h"

#include <QLocale>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace trovimo {
namespace {

using Clock = NumberRoller::Clock;

class SectionUpdateTest : public test::EnglishLocaleTest {};

// Feeds successive evaluations of one section to a roller and says whether the last one
// started a roll.
class Evaluations {
public:
    explicit Evaluations(SectionLayout (*section)(const PanelInputs&, const Theme&, double))
        : section_(section) {}

    bool rollsAfter(const PanelInputs& inputs) {
        now_ += std::chrono::seconds(1); // past any earlier roll
        roller_.observe(section_(inputs, theme_, PanelMetrics::columnWidth).elements, true, now_);
        return roller_.isRolling(now_);
    }

private:
    SectionLayout (*section_)(const PanelInputs&, const Theme&, double);
    Theme theme_ = Theme::light();
    NumberRoller roller_;
    Clock::time_point now_{};
};

TEST_F(SectionUpdateTest, OnlyAChangeOfTheShownFigureRolls) {
    PanelInputs inputs;
    Evaluations cpu(layoutCPUSection);
    test::stats(inputs).cpu = CPULoad{0.452, {0.452}};
    cpu.rollsAfter(inputs);
    test::stats(inputs).cpu = CPULoad{0.449, {0.449}};
    EXPECT_FALSE(cpu.rollsAfter(inputs)); // still 45 %
    test::stats(inputs).cpu = CPULoad{0.47, {0.47}};
    EXPECT_TRUE(cpu.rollsAfter(inputs));

    Evaluations network(layoutNetworkSection);
    test::stats(inputs).network = NetworkSpeed{1'210'000, 0};
    network.rollsAfter(inputs);
    test::stats(inputs).network = NetworkSpeed{1'240'000, 0}; // both read 1.2 MB/s
    EXPECT_FALSE(network.rollsAfter(inputs));
    test::stats(inputs).network = NetworkSpeed{1'260'000, 0};
    EXPECT_TRUE(network.rollsAfter(inputs));

    Evaluations self(layoutSelfSection);
    test::stats(inputs).selfStats = SelfStats{0.0081, 41'200'000};
    self.rollsAfter(inputs);
    test::stats(inputs).selfStats = SelfStats{0.0079, 41'300'000}; // CPU 0.8 % either way
    EXPECT_FALSE(self.rollsAfter(inputs));
    test::stats(inputs).selfStats = SelfStats{0.0125, 41'300'000};
    EXPECT_TRUE(self.rollsAfter(inputs));

    Evaluations disk(layoutDiskSection);
    test::stats(inputs).disk = DiskUsage{500, 1000, 0, 0};
    disk.rollsAfter(inputs);
    test::stats(inputs).disk = DiskUsage{501, 1000, 0, 0};
    EXPECT_TRUE(disk.rollsAfter(inputs)); // keyed on the free bytes themselves
}

class CountingDisk : public SampleSource<DiskUsage> {
public:
    explicit CountingDisk(int* reads) : reads_(reads) {}
    std::optional<DiskUsage> read() override {
        ++*reads_;
        return DiskUsage{850'000'000'000, 1000'000'000'000, 40'000'000'000, 30'000'000'000};
    }

private:
    int* reads_;
};

using test::findText;

TEST_F(SectionUpdateTest, DiskAlertFollowsTheThresholdWithoutANewSample) {
    SettingsStore settings(test::scratchDirectory() + QStringLiteral("/disk-threshold.conf"));
    settings.registerDefaults(defaultSettings());
    int reads = 0;
    StatsStore stats(settings, test::localSource(std::make_unique<DiskSampler>(
                                   std::make_unique<CountingDisk>(&reads), nullptr)));
    ContentView view(stats, nullptr, settings);
    stats.tick();
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return stats.snapshot()->disk.has_value(); })); // read off-thread
    ASSERT_EQ(reads, 1);

    const TextElement* remaining = findText(view.currentLayout(), QStringLiteral("残り 150 GB"));
    ASSERT_NE(remaining, nullptr);
    EXPECT_EQ(remaining->color, ColorRole::orange);
    EXPECT_NE(findText(view.currentLayout(), QStringLiteral("850 GB / 1.0 TB 使用中")), nullptr);

    settings.setDouble(QString::fromLatin1(keys::diskAlertThreshold), 0.85);
    EXPECT_EQ(reads, 1);
    remaining = findText(view.currentLayout(), QStringLiteral("残り 150 GB"));
    ASSERT_NE(remaining, nullptr);
    EXPECT_EQ(remaining->color, ColorRole::red);
    EXPECT_NE(
        findText(view.currentLayout(), QStringLiteral("使用率がしきい値（85%）を超えています")),
        nullptr);
    EXPECT_EQ(findText(view.currentLayout(), QStringLiteral("850 GB / 1.0 TB 使用中")), nullptr);
}

} // namespace
} // namespace trovimo
