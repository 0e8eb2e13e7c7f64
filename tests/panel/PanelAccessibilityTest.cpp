#include "panel/PanelAccessibility.h"

#include "model/SettingsKeys.h"
#include "model/SettingsStore.h"
#include "model/StatsStore.h"
#include "panel/ContentView.h"
#include "panel/PanelTestSupport.h"
#include "support/LocalSources.h"
#include "support/TestSupport.h"

#include <QAccessible>
#include <QLocale>

#include <gtest/gtest.h>

#include <memory>

namespace trovimo {
namespace {

constexpr std::uint64_t gb = 1'000'000'000;

class EnglishLocale : public test::EnglishLocaleTest {};

PanelInputs busyMachine() {
    PanelInputs inputs;
    inputs.settings.shown.set(Block::self, true);
    StatsSnapshot& s = test::stats(inputs);
    s.cpu = CPULoad{0.452, {0.452}};
    s.memory = MemoryStats{11 * gb, 16 * gb,       8 * gb,        2 * gb,
                           1 * gb,  1'200'000'000, 2'100'000'000, MemoryPressure::normal};
    s.network = NetworkSpeed{1'250'000, 48'000};
    s.networkInfo = NetworkInfo{"wlp2s0", "Wi-Fi", std::string("Home"), std::string("Wi-Fi 6")};
    s.disk = DiskUsage{950'000'000'000, 1000'000'000'000, 40'000'000'000, 30'000'000'000};
    s.selfStats = SelfStats{0.008, 41'200'000};
    inputs.settings.shown = BlockSet::all();
    s.sensors = SensorReadings{Temperature{52.4}, std::nullopt, std::nullopt, 1200};
    s.battery = BatteryStatus{76.0, BatteryState::charging, std::nullopt, std::nullopt};
    s.diskActivity = DiskActivity{12'300'000, 0, "nvme0n1"};
    return inputs;
}

using PanelAccessibilityTexts = EnglishLocale;

TEST_F(PanelAccessibilityTexts, EachShownSectionReadsWhatItShows) {
    PanelInputs inputs = busyMachine();
    inputs.update = {PanelUpdateStatus::Kind::required, QStringLiteral("2.0"), {}};
    const Theme theme = Theme::light();
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    const std::vector<AccessibleSection> sections = accessibleSections(layout);

    struct Expected {
        Block block;
        const char* name;
        const char* value;
    };
    const Expected expected[] = {
        {Block::cpu, "CPU", "45%"},
        {Block::gpu, "GPU", "—"},
        {Block::memory, "メモリ",
         "11.0 GB / 16.0 GB、App 8.0G、固定 2.0G、圧縮 1.0G、スワップ 1.2G/2.1G、圧力 正常"},
        {Block::network, "ネットワーク", "Wi-Fi 6 · Home、↓ 1.2 MB/s、↑ 48.0 KB/s"},
        {Block::disk, "ディスク",
         "残り 50.0 GB、OS 40G、データ 880G、解放可 30G、使用率がしきい値（90%）を超えています"},
        {Block::sensors, "温度", "52°C、CPU、52°C、ファン、1,200 rpm"},
        {Block::battery, "バッテリー", "76%、充電中"},
        {Block::diskActivity, "ディスクの読み書き", "nvme0n1、読、12.3 MB/s、書、0 B/s"},
        {Block::self, "Trovimo", "CPU 0.8%・41.2 MB"},
    };
    ASSERT_EQ(sections.size(), std::size(expected)); // neither the badge nor the clock
    double previousBottom = 0.0;
    for (std::size_t index = 0; index < sections.size(); ++index) {
        EXPECT_EQ(sections[index].block, expected[index].block);
        EXPECT_EQ(sections[index].name.toStdString(), expected[index].name);
        EXPECT_EQ(sections[index].value.toStdString(), expected[index].value);
        // Each section's area lies in the column, below the one before it.
        const QRectF& rect = sections[index].rect;
        EXPECT_GE(rect.top(), previousBottom) << expected[index].name;
        EXPECT_GE(rect.left(), PanelMetrics::padding);
        EXPECT_LE(rect.right(), PanelMetrics::width - PanelMetrics::padding + 0.01);
        previousBottom = rect.bottom();
    }

    inputs.settings.shown.set(Block::gpu, false);
    inputs.settings.shown.set(Block::clock, false);
    EXPECT_EQ(accessibleSections(layoutPanel(inputs, theme)).size(), 8U);
    inputs.settings = DisplaySettings{};
    inputs.settings.shown = {Block::clock};
    EXPECT_TRUE(accessibleSections(layoutPanel(inputs, theme)).empty()); // the clock alone
}

class ScriptedCPU : public SampleSource<CPULoad> {
public:
    explicit ScriptedCPU(double* total) : total_(total) {}
    std::optional<CPULoad> read() override { return CPULoad{*total_, {*total_}}; }

private:
    double* total_;
};

class PanelAccessibilityView : public EnglishLocale {
protected:
    void SetUp() override {
        EnglishLocale::SetUp();
        installPanelAccessibility();
        static int counter = 0;
        settings = std::make_unique<SettingsStore>(
            test::scratchDirectory() + QStringLiteral("/accessibility-%1.conf").arg(++counter));
        settings->registerDefaults(defaultSettings());
        stats = std::make_unique<StatsStore>(
            *settings, test::localSource(readEveryTick(Block::cpu, &Figures::cpu,
                                                       std::make_unique<ScriptedCPU>(&cpuTotal))));
        view = std::make_unique<ContentView>(*stats, nullptr, *settings);
    }

    double cpuTotal = 0.25;
    std::unique_ptr<SettingsStore> settings;
    std::unique_ptr<StatsStore> stats;
    std::unique_ptr<ContentView> view;
};

TEST_F(PanelAccessibilityView, PresentsSectionsAsChildrenThatFollowThePanel) {
    QAccessibleInterface* panel = QAccessible::queryAccessibleInterface(view.get());
    ASSERT_NE(panel, nullptr);
    // Default settings: CPU, GPU, memory, network and disk.
    ASSERT_EQ(panel->childCount(), 5);
    QAccessibleInterface* cpu = panel->child(0);
    ASSERT_NE(cpu, nullptr);
    EXPECT_EQ(cpu->text(QAccessible::Name), QStringLiteral("CPU"));
    EXPECT_EQ(cpu->text(QAccessible::Value), QStringLiteral("0%"));
    EXPECT_EQ(cpu->role(), QAccessible::StaticText);
    EXPECT_EQ(cpu->parent(), panel);
    EXPECT_EQ(panel->indexOfChild(cpu), 0);
    EXPECT_EQ(panel->child(4)->text(QAccessible::Name), QStringLiteral("ディスク"));
    EXPECT_EQ(panel->child(5), nullptr);

    stats->tick();
    EXPECT_EQ(cpu->text(QAccessible::Value), QStringLiteral("25%"));
    cpuTotal = 0.5;
    stats->tick();
    EXPECT_EQ(cpu->text(QAccessible::Description), QStringLiteral("50%"));

    // Switching sections on and off changes the children at once.
    settings->setBool(shownKey(Block::cpu), false);
    settings->setBool(shownKey(Block::self), true);
    ASSERT_EQ(panel->childCount(), 5);
    EXPECT_EQ(panel->child(0)->text(QAccessible::Name), QStringLiteral("GPU"));
    EXPECT_EQ(panel->child(4)->text(QAccessible::Name), QStringLiteral("Trovimo"));
    EXPECT_EQ(panel->child(4)->text(QAccessible::Value), QStringLiteral("—"));
    EXPECT_EQ(panel->indexOfChild(cpu), -1);
    EXPECT_TRUE(cpu->text(QAccessible::Name).isEmpty());
}

} // namespace
} // namespace trovimo
