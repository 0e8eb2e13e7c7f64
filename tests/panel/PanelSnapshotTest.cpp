// Paints the whole panel in states that exercise its frame, texts, gauges and colours, and
// keeps the images as test artifacts (<build>/panel-snapshots/*.png) for a person to look at:
// as the program draws them, and by QPainter alone (*-qpainter.png), the reference the pixel
// code is held to within a stated tolerance.
#include "panel/ClockFormatter.h"
#include "panel/NumberRoller.h"
#include "panel/PaintCache.h"
#include "panel/PanelLayout.h"
#include "panel/PanelPainter.h"
#include "panel/PanelTestSupport.h"

#include <QDir>
#include <QImage>
#include <QLocale>
#include <QPainter>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <iostream>
#include <span>
#include <string>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::system_clock::time_point afternoon{1796562330s};
constexpr std::uint64_t gb = 1'000'000'000;

const ClockFormatter& japaneseClock() {
    static const std::unique_ptr<icu::TimeZone> utc(icu::TimeZone::createTimeZone("UTC"));
    static const ClockFormatter formatter(icu::Locale("ja_JP"), utc.get());
    return formatter;
}

std::vector<double> wave(double base, double swing, double top) {
    std::vector<double> values;
    for (int i = 0; i < 60; ++i) {
        values.push_back(top * std::clamp(base + swing * std::sin(i * 0.35), 0.0, 1.0));
    }
    return values;
}

// A busy machine a minute after start-up, its disk past the alert threshold.
PanelInputs busyMachine() {
    PanelInputs inputs;
    inputs.now = afternoon;
    inputs.clock = &japaneseClock();
    inputs.settings.shown.set(Block::self, true);
    StatsSnapshot& s = test::stats(inputs);
    s.cpu = CPULoad{0.452, {0.9, 0.1, 0.45, 0.7, 0.2, 0.05, 0.6, 0.62}};
    s.cpuHistory = wave(0.4, 0.3, 1.0);
    s.gpu = 0.18;
    s.gpuHistory = wave(0.2, 0.15, 1.0);
    s.memory = MemoryStats{11 * gb, 16 * gb,      8 * gb,       2 * gb,
                           1 * gb,  1200'000'000, 2100'000'000, MemoryPressure::normal};
    s.network = NetworkSpeed{1'250'000, 48'000};
    s.networkInfo = NetworkInfo{"wlp2s0", "Wi-Fi", std::string("Home"), std::string("Wi-Fi 6")};
    s.downloadHistory = wave(0.3, 0.3, 2'000'000);
    s.uploadHistory = wave(0.2, 0.2, 60'000);
    s.disk = DiskUsage{950 * gb, 1000 * gb, 40 * gb, 30 * gb};
    s.selfStats = SelfStats{0.008, 41'200'000};
    return inputs;
}

QImage paintPanel(const PanelLayoutResult& layout, const Theme& theme, double scale, bool raster,
                  const NumberRoller* roller, NumberRoller::Clock::time_point now) {
    const QSize pixels(static_cast<int>(std::ceil(layout.size.width() * scale)),
                       static_cast<int>(std::ceil(layout.size.height() * scale)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintCache cache;
    cache.raster.setEnabled(raster);
    panelPainter::paint(painter, layout, theme, cache, roller, now);
    return image;
}

// How far the pixel code may stray from QPainter's pixels, channel by channel (alpha
// included, 0 to 255): the two agree inside the shapes and round the coverage of antialiased
// edges differently, most on the bars' small corners (QPainter flattens the arc into chords,
// the pixel code goes by the distance to it). At most 0.5 % of the panel's pixels may differ
// by more than 8 levels, none by more than 40; a restyle (another colour, width or opacity)
// moves thousands of pixels by more.
constexpr int closeEnough = 8;
constexpr double strayShare = 0.005;
constexpr int farthest = 40;

void expectLikeQPainter(const QImage& drawn, const QImage& reference) {
    ASSERT_EQ(drawn.size(), reference.size());
    int stray = 0;
    int worst = 0;
    for (int y = 0; y < drawn.height(); ++y) {
        for (int x = 0; x < drawn.width(); ++x) {
            const int off = test::channelDistance(drawn.pixel(x, y), reference.pixel(x, y));
            stray += off > closeEnough ? 1 : 0;
            worst = std::max(worst, off);
        }
    }
    const int total = drawn.width() * drawn.height();
    EXPECT_LE(stray, total * strayShare) << "of " << total << " pixels";
    EXPECT_LE(worst, farthest);
}

void save(const QImage& image, const QString& name) {
    const QString folder = QStringLiteral(TROVIMO_BINARY_DIR "/panel-snapshots");
    QDir().mkpath(folder);
    ASSERT_TRUE(image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
}

// The panel as the program draws it, held against QPainter's drawing of it; both saved
// under `name`.
QImage render(const PanelLayoutResult& layout, const Theme& theme, double scale,
              const QString& name, const NumberRoller* roller = nullptr,
              NumberRoller::Clock::time_point now = {}) {
    const QImage drawn = paintPanel(layout, theme, scale, true, roller, now);
    const QImage reference = paintPanel(layout, theme, scale, false, roller, now);
    save(drawn, name);
    save(reference, name + QStringLiteral("-qpainter"));
    expectLikeQPainter(drawn, reference);
    return drawn;
}

QRgb pixelAt(const QImage& image, QPointF logical) {
    const double scale = image.devicePixelRatio();
    return image.pixel(static_cast<int>(logical.x() * scale),
                       static_cast<int>(logical.y() * scale));
}

// Device pixels inside `logical` whose colour passes `wanted`.
int count(const QImage& image, const QRectF& logical, const std::function<bool(QColor)>& wanted) {
    const double scale = image.devicePixelRatio();
    const QRect rect = QRectF(logical.topLeft() * scale, logical.size() * scale).toRect();
    int found = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            found += wanted(QColor::fromRgba(image.pixel(x, y))) ? 1 : 0;
        }
    }
    return found;
}

// Pixels that differ clearly from the panel's background.
std::function<bool(QColor)> ink(QRgb background) {
    return [background](QColor c) {
        return std::abs(c.red() - qRed(background)) + std::abs(c.green() - qGreen(background)) +
                   std::abs(c.blue() - qBlue(background)) >
               60;
    };
}
bool reddish(QColor c) {
    // Orange has far more green than red has.
    return c.red() > c.green() + 150 && c.red() > c.blue() + 150;
}
bool orangeish(QColor c) {
    return c.red() > c.blue() + 90 && c.green() > c.blue() + 30 && c.red() > c.green() + 20;
}
bool blueish(QColor c) {
    return c.blue() > c.red() + 60;
}

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

// A repaint redraws the frame under each changed rectangle alone; pieced together, the pieces
// are the frame painted whole, corners and border included.
TEST(PanelSnapshotFrame, RepaintedPiecesAreTheWholeFrame) {
    const Theme theme = Theme::light();
    const QSizeF size(PanelMetrics::width, 533);
    for (const double scale : {1.0, 1.5, 2.0}) {
        SCOPED_TRACE(scale);
        const QImage whole = test::canvas(size, scale, [&](QPainter& painter) {
            panelPainter::paintFrame(painter, size, theme);
        });
        // One repaint per piece: a region would merge them back into one rectangle.
        const QImage pieced = test::canvas(
            size, scale,
            [&](QPainter& painter) {
                for (int y = 0; y < size.height(); y += 13) {
                    for (int x = 0; x < size.width(); x += 37) {
                        panelPainter::paintFrame(painter, size, theme, QRegion(x, y, 37, 13));
                    }
                }
            },
            qRgba(200, 10, 10, 255));
        EXPECT_EQ(pieced, whole);
    }
}

// A point-wide line (a divider, a graph's dashed middle) lies on whole device rows at every
// scale, drawn by the pixel code or by QPainter: as many rows as make a point, all of one
// colour, no row of half strength beside them.
TEST(PanelSnapshotLines, DividersAndMidLinesAreCrispAtEveryScale) {
    const Theme theme = Theme::dark();
    PanelInputs inputs; // before the first sample: every graph shows its mid-line alone
    inputs.now = afternoon;
    inputs.clock = &japaneseClock();
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    QRectF divider; // the first of each
    QRectF graph;
    for (const PanelElement& element : layout.elements) {
        if (divider.isNull() && std::holds_alternative<DividerElement>(element)) {
            divider = elementRect(element);
        } else if (graph.isNull() && std::holds_alternative<SparklineElement>(element)) {
            graph = elementRect(element);
        }
    }
    for (const auto& [scale, raster] : {std::pair{1.0, true},
                                        {1.5, true},
                                        {2.0, true},
                                        {1.0, false},
                                        {1.5, false},
                                        {2.0, false}}) {
        SCOPED_TRACE(testing::Message() << scale << (raster ? "x, pixel code" : "x, QPainter"));
        const QImage image = paintPanel(layout, theme, scale, raster, nullptr, {});
        // The pixels of column `x` from `top` to `bottom` that differ from column `beside`.
        const auto lineRows = [&](double x, double beside, double top, double bottom) {
            std::vector<QRgb> rows;
            for (int y = static_cast<int>(top * scale); y < static_cast<int>(bottom * scale); ++y) {
                const QRgb pixel = image.pixel(static_cast<int>(x * scale), y);
                if (pixel != image.pixel(static_cast<int>(beside * scale), y)) {
                    rows.push_back(pixel);
                }
            }
            return rows;
        };
        // Dashes 2 on, 3 off from the graph's left edge: 80.5 is on, 83.5 off.
        for (const auto& rows : {lineRows(95, 6, divider.top() - 3, divider.bottom() + 3),
                                 lineRows(graph.left() + 80.5, graph.left() + 83.5, graph.top() + 2,
                                          graph.bottom() - 2)}) {
            ASSERT_EQ(rows.size(), static_cast<std::size_t>(std::round(scale)));
            EXPECT_EQ(std::count(rows.begin(), rows.end(), rows.front()),
                      static_cast<std::ptrdiff_t>(rows.size()));
        }
    }
}

// Mid-roll, the changed digits of the CPU value sit between their old and new places while
// the unchanged ones stay put.
TEST(PanelSnapshotRoll, RollingDigitsPaintBetweenOldAndNewText) {
    const Theme theme = Theme::light();
    PanelInputs inputs = busyMachine();
    inputs.settings.animateValues = true;
    const NumberRoller::Clock::time_point start{};
    NumberRoller roller;
    roller.observe(layoutPanel(inputs, theme).elements, true, start);
    test::stats(inputs).cpu->total = 0.47;
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    roller.observe(layout.elements, true, start);

    const TextElement* value = test::findText(layout, QStringLiteral("47%"));
    ASSERT_NE(value, nullptr);
    ASSERT_TRUE(value->animation);
    const QImage rolling =
        render(layout, theme, 2.0, QStringLiteral("rolling-light-2x"), &roller, start + 60ms);
    const QImage settled = paintPanel(layout, theme, 2.0, true, &roller, start + 300ms);
    const QRgb background = pixelAt(settled, {95, layout.size.height() - 4});
    const double width = value->rect.width();
    const QRectF lastDigits(value->rect.right() - width * 0.6, value->rect.top(), width * 0.6,
                            value->rect.height());
    const QRect pixels = QRectF(lastDigits.topLeft() * 2, lastDigits.size() * 2).toRect();
    EXPECT_NE(rolling.copy(pixels), settled.copy(pixels));
    EXPECT_GT(count(rolling, value->rect, ink(background)), 20);
}

} // namespace
} // namespace trovimo
