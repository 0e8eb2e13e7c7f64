// Paints the whole panel in states that exercise its frame, texts, gauges and colours, and
// keeps the images as test artifacts (<build>/panel-snapshots/*.png) for a person to look at:
// as the program draws them, and by QPainter alone (*-qpainter.png), the reference the pixel
// code is held to within a stated tolerance.
#include "panel/PanelSnapshotSupport.h"

#include <iostream>

namespace trovimo {
namespace {

using namespace snapshot;

class PanelSnapshot : public ::testing::TestWithParam<std::tuple<bool, double>> {
protected:
    void SetUp() override {
        saved_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    }
    void TearDown() override { QLocale::setDefault(saved_); }

    [[nodiscard]] Theme theme() const {
        return std::get<0>(GetParam()) ? Theme::dark() : Theme::light();
    }
    // At least this many device pixels where `atDoubleScale` were wanted at 2x; fewer at
    // smaller scales, where antialiasing pales a larger share of each glyph.
    [[nodiscard]] double atLeast(double atDoubleScale) const {
        const double scale = std::get<1>(GetParam());
        return atDoubleScale * scale * scale / 5.0;
    }
    [[nodiscard]] QString name(const char* state) const {
        const auto [dark, scale] = GetParam();
        return QStringLiteral("%1-%2-%3x")
            .arg(QLatin1String(state), dark ? QStringLiteral("dark") : QStringLiteral("light"))
            .arg(scale);
    }

private:
    QLocale saved_;
};

TEST_P(PanelSnapshot, PaintsFrameTextsAndGauges) {
    const double scale = std::get<1>(GetParam());
    PanelInputs inputs = busyMachine();
    inputs.hovering = true;
    inputs.update = {PanelUpdateStatus::Kind::required, QStringLiteral("2.1.0"), {}};
    const PanelLayoutResult layout = layoutPanel(inputs, theme());
    const QImage image = render(layout, theme(), scale, name("busy"));

    EXPECT_EQ(image.width(), static_cast<int>(std::ceil(190 * scale)));
    // Outside the rounded corner: untouched; inside: the translucent background.
    EXPECT_EQ(qAlpha(pixelAt(image, {1, 1})), 0);
    const QRgb background = pixelAt(image, {95, layout.size.height() - 4});
    EXPECT_GT(qAlpha(background), 150);
    // Texts and gauges leave ink in the column.
    const QRectF column(12, 12, 166, layout.size.height() - 24);
    EXPECT_GT(count(image, column, ink(background)), 2000 * scale * scale / 4);
    // The seconds bar at second 30: blue fill on its left half, track on its right end.
    ASSERT_TRUE(layout.secondsBar);
    const QRectF bar = elementRect(layout.elements[*layout.secondsBar]);
    const QRgb fill = pixelAt(image, {bar.left() + 40, bar.center().y()});
    EXPECT_GT(qBlue(fill), qRed(fill) + 100);
    const QRgb track = pixelAt(image, {bar.right() - 10, bar.center().y()});
    EXPECT_LT(std::abs(qBlue(track) - qRed(track)), 30);
    // The badge is red.
    EXPECT_GT(count(image, QRectF(12, 12, 80, 12), ink(background)), 30);
}

// A disk past its threshold, memory under pressure, a long Wi-Fi name.
TEST_P(PanelSnapshot, AlertingMachine) {
    PanelInputs inputs = busyMachine();
    test::stats(inputs).memory =
        MemoryStats{14 * gb, 16 * gb,       10 * gb,       3 * gb,
                    1 * gb,  3'400'000'000, 4'300'000'000, MemoryPressure::critical};
    test::stats(inputs).networkInfo = NetworkInfo{
        "wlp2s0", "Wi-Fi", std::string("Cafe Bellevue Guest Network 5G"), std::string("Wi-Fi 6")};
    const PanelLayoutResult layout = layoutPanel(inputs, theme());
    const QImage image = render(layout, theme(), std::get<1>(GetParam()), name("sections-alert"));

    const TextElement* alert =
        test::findText(layout, QStringLiteral("使用率がしきい値（90%）を超えています"));
    ASSERT_NE(alert, nullptr);
    EXPECT_GT(count(image, alert->rect, reddish), atLeast(80));
    const TextElement* remaining = test::findText(layout, QStringLiteral("残り 50.0 GB"));
    ASSERT_NE(remaining, nullptr);
    EXPECT_GT(count(image, remaining->rect, reddish), atLeast(40));
    // The panel grows with the wrapped alert instead of cutting it.
    EXPECT_LE(alert->rect.bottom(), layout.size.height() - 12.0 + 0.01);

    std::vector<QRectF> graphs; // CPU, GPU, download, upload
    for (const PanelElement& element : layout.elements) {
        if (const auto* sparkline = std::get_if<SparklineElement>(&element)) {
            graphs.push_back(sparkline->rect);
        }
    }
    ASSERT_EQ(graphs.size(), 4U);
    EXPECT_GT(count(image, graphs[2], blueish), atLeast(100));
    EXPECT_GT(count(image, graphs[3], orangeish), atLeast(40));
}

// A disk in its warning band, swap unused, wired Ethernet (its kind in the reader's words).
TEST_P(PanelSnapshot, WarningMachine) {
    PanelInputs inputs = busyMachine();
    test::stats(inputs).gpu = 0.27;
    test::stats(inputs).memory =
        MemoryStats{9 * gb, 16 * gb, 6 * gb, 2 * gb, 1 * gb, 0, 0, MemoryPressure::warning};
    test::stats(inputs).networkInfo =
        NetworkInfo{"enp3s0", "イーサネット", std::nullopt, std::nullopt};
    test::stats(inputs).disk = DiskUsage{850 * gb, 1000 * gb, 60 * gb, 15 * gb};
    const PanelLayoutResult layout = layoutPanel(inputs, theme());
    const QImage image = render(layout, theme(), std::get<1>(GetParam()), name("sections-warning"));

    const TextElement* remaining = test::findText(layout, QStringLiteral("残り 150 GB"));
    ASSERT_NE(remaining, nullptr);
    EXPECT_GT(count(image, remaining->rect, orangeish), atLeast(30));
    EXPECT_EQ(count(image, remaining->rect, reddish), 0);
    const TextElement* footer = test::findText(layout, QStringLiteral("850 GB / 1.0 TB 使用中"));
    ASSERT_NE(footer, nullptr);
    EXPECT_EQ(count(image, footer->rect, reddish), 0);
}

// The blocks that are off unless asked for, on a laptop: a GPU past its high limit, a battery
// about to run out, the disk busy reading.
TEST_P(PanelSnapshot, OptionalBlocks) {
    PanelInputs inputs = busyMachine();
    DisplaySettings& shown = inputs.settings;
    shown.shown = BlockSet::all();
    StatsSnapshot& s = test::stats(inputs);
    s.sensors =
        SensorReadings{Temperature{52.0}, Temperature{88.0, 85.0, 100.0}, Temperature{38.0}, 1200};
    s.cpuTemperatureHistory = wave(0.5, 0.1, 100.0);
    s.battery = BatteryStatus{8.0, BatteryState::discharging, 12'300s, 8.4};
    s.diskActivity = DiskActivity{12'300'000, 0, "nvme0n1"};
    s.diskReadHistory = wave(0.3, 0.3, 20'000'000);
    s.diskWriteHistory = wave(0.1, 0.1, 1'000'000);
    const PanelLayoutResult layout = layoutPanel(inputs, theme());
    const QImage image = render(layout, theme(), std::get<1>(GetParam()), name("optional-blocks"));

    for (const char* text : {"CPU", "52°C", "SSD", "38°C", "ファン", "1,200 rpm",
                             "放電中・残り 3:25・8.4 W", "nvme0n1", "12.3 MB/s", "0 B/s"}) {
        EXPECT_NE(test::findText(layout, QString::fromUtf8(text)), nullptr) << text;
    }
    // The hottest reading heads the block, orange like the GPU's own row; the battery is red.
    const TextElement* hot = test::findText(layout, QStringLiteral("88°C"));
    ASSERT_NE(hot, nullptr);
    EXPECT_GT(count(image, hot->rect, orangeish), atLeast(40));
    const TextElement* charge = test::findText(layout, QStringLiteral("8%"));
    ASSERT_NE(charge, nullptr);
    EXPECT_GT(count(image, charge->rect, reddish), atLeast(40));
    EXPECT_EQ(count(image, charge->rect, orangeish), 0);
}

// Nothing shown, and every section before its first sample.
TEST_P(PanelSnapshot, EmptyAndStartUpStates) {
    PanelInputs fresh;
    fresh.now = afternoon;
    fresh.clock = &japaneseClock();
    PanelInputs empty = fresh;
    empty.settings.shown = {};
    const PanelLayoutResult emptyLayout = layoutPanel(empty, theme());
    const QImage emptyImage = render(emptyLayout, theme(), std::get<1>(GetParam()), name("empty"));
    const QRgb background = pixelAt(emptyImage, {95, emptyLayout.size.height() - 4});
    EXPECT_GT(
        count(emptyImage, QRectF(12, 12, 166, emptyLayout.size.height() - 24), ink(background)),
        100);

    fresh.settings.shown.set(Block::self, true);
    fresh.settings.shown.set(Block::sensors, true);
    fresh.settings.shown.set(Block::battery, true);
    fresh.settings.shown.set(Block::diskActivity, true);
    const PanelLayoutResult startup = layoutPanel(fresh, theme());
    const QImage startupImage = render(startup, theme(), std::get<1>(GetParam()), name("startup"));
    const auto elementsOf = [&](Block block) {
        const auto at = std::find(startup.blocks.begin(), startup.blocks.end(), PanelBlock{block});
        const auto [first, last] =
            startup.blockElements.at(static_cast<std::size_t>(at - startup.blocks.begin()));
        return std::span(startup.elements).subspan(first, last - first);
    };
    // No sensors: a line that says so and no graph waiting for ever; no battery: a track
    // without the blue stub that reads as an almost empty battery.
    EXPECT_NE(test::findText(startup, QStringLiteral("センサーが見つかりません")), nullptr);
    for (const Block block : {Block::sensors, Block::battery}) {
        for (const PanelElement& element : elementsOf(block)) {
            EXPECT_FALSE(std::holds_alternative<SparklineElement>(element));
            EXPECT_EQ(count(startupImage, elementRect(element), blueish), 0);
        }
    }
    // The disk's rate rows in the network rows' columns: texts and graphs start alike.
    const auto columns = [&](Block block) {
        std::vector<double> lefts;
        for (const PanelElement& element : elementsOf(block)) {
            if (std::holds_alternative<SparklineElement>(element) ||
                (std::holds_alternative<TextElement>(element) &&
                 std::get<TextElement>(element).text.endsWith(QStringLiteral("B/s")))) {
                lefts.push_back(elementRect(element).left());
            }
        }
        return lefts;
    };
    EXPECT_EQ(columns(Block::diskActivity), columns(Block::network));
}

INSTANTIATE_TEST_SUITE_P(Looks, PanelSnapshot,
                         ::testing::Combine(::testing::Bool(), ::testing::Values(1.0, 1.5, 2.0)),
                         [](const auto& info) {
                             const double scale = std::get<1>(info.param);
                             return std::string(std::get<0>(info.param) ? "dark" : "light") +
                                    std::to_string(static_cast<int>(scale * 10)) + "x";
                         });

} // namespace
} // namespace trovimo
