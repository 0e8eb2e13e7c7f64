// Paints the whole panel with every section on, in states that exercise the sections'
// colours and placeholders, and keeps the images as test artifacts
// (<build>/panel-snapshots/sections-*.png) for a person to look at.
#include "panel/ClockFormatter.h"
#include "panel/PanelLayout.h"
#include "panel/PanelPainter.h"
#include "panel/PanelTestSupport.h"
#include "panel/raster/PaintCache.h"

#include <QDir>
#include <QImage>
#include <QLocale>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

constexpr std::uint64_t gb = 1'000'000'000;

const ClockFormatter& japaneseClock() {
    static const std::unique_ptr<icu::TimeZone> utc(icu::TimeZone::createTimeZone("UTC"));
    static const ClockFormatter formatter(icu::Locale("ja_JP"), utc.get());
    return formatter;
}

std::vector<double> wave(double base, double swing, double top, double phase) {
    std::vector<double> values;
    for (int i = 0; i < 60; ++i) {
        values.push_back(top * std::clamp(base + swing * std::sin(i * 0.3 + phase), 0.0, 1.0));
    }
    return values;
}

PanelInputs allSections() {
    PanelInputs inputs;
    inputs.now = std::chrono::system_clock::time_point{1796562345s};
    inputs.clock = &japaneseClock();
    inputs.settings.showSelf = true;
    StatsSnapshot& s = inputs.stats;
    s.cpu = CPULoad{0.63, {0.95, 0.4, 0.7, 0.3, 0.85, 0.6, 0.5, 0.75, 0.2, 0.9, 0.55, 0.65}};
    s.cpuHistory = wave(0.5, 0.3, 1.0, 0.0);
    s.gpuHistory = wave(0.3, 0.2, 1.0, 1.0);
    s.network = NetworkSpeed{3'456'789, 12'345};
    s.downloadHistory = wave(0.4, 0.4, 3'500'000, 0.5);
    s.uploadHistory = wave(0.3, 0.3, 40'000, 2.0);
    s.selfStats = SelfStats{0.0125, 38'900'000};
    return inputs;
}

// A disk past its threshold, memory under pressure, no GPU figure, a long Wi-Fi name.
PanelInputs alerting() {
    PanelInputs inputs = allSections();
    StatsSnapshot& s = inputs.stats;
    s.memory = MemoryStats{14 * gb, 16 * gb,       10 * gb,       3 * gb,
                           1 * gb,  3'400'000'000, 4'300'000'000, MemoryPressure::critical};
    s.networkInfo = NetworkInfo{"wlp2s0", "Wi-Fi", std::string("Cafe Bellevue Guest Network 5G"),
                                std::string("Wi-Fi 6")};
    s.disk = DiskUsage{950 * static_cast<std::int64_t>(gb), 1000 * static_cast<std::int64_t>(gb),
                       40 * static_cast<std::int64_t>(gb), 30 * static_cast<std::int64_t>(gb)};
    return inputs;
}

// A disk in its warning band, swap unused, wired Ethernet.
PanelInputs warning() {
    PanelInputs inputs = allSections();
    StatsSnapshot& s = inputs.stats;
    s.gpu = 0.27;
    s.memory = MemoryStats{9 * gb, 16 * gb, 6 * gb, 2 * gb, 1 * gb, 0, 0, MemoryPressure::warning};
    s.networkInfo = NetworkInfo{"enp3s0", "Ethernet", std::nullopt, std::nullopt};
    s.disk = DiskUsage{850 * static_cast<std::int64_t>(gb), 1000 * static_cast<std::int64_t>(gb),
                       60 * static_cast<std::int64_t>(gb), 15 * static_cast<std::int64_t>(gb)};
    return inputs;
}

QImage render(const PanelLayoutResult& layout, const Theme& theme, double scale) {
    const QSize pixels(static_cast<int>(std::ceil(layout.size.width() * scale)),
                       static_cast<int>(std::ceil(layout.size.height() * scale)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    PaintCache cache;
    panelPainter::paint(painter, layout, theme, cache);
    return image;
}

using test::findText;

std::vector<SparklineElement> sparklines(const PanelLayoutResult& layout) {
    std::vector<SparklineElement> found;
    for (const PanelElement& element : layout.elements) {
        if (const auto* sparkline = std::get_if<SparklineElement>(&element)) {
            found.push_back(*sparkline);
        }
    }
    return found;
}

// Device pixels inside `logical` whose colour passes `hue`.
int count(const QImage& image, const QRectF& logical, const std::function<bool(QColor)>& hue) {
    const double scale = image.devicePixelRatio();
    const QRect rect = QRectF(logical.topLeft() * scale, logical.size() * scale).toRect();
    int found = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            found += hue(QColor::fromRgba(image.pixel(x, y))) ? 1 : 0;
        }
    }
    return found;
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

class SectionSnapshot : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        saved_ = QLocale();
        QLocale::setDefault(QLocale(QLocale::Japanese, QLocale::Japan));
    }
    void TearDown() override { QLocale::setDefault(saved_); }

    static void save(const QImage& image, const QString& name) {
        const QString folder = QStringLiteral(TROVIMO_BINARY_DIR "/panel-snapshots");
        QDir().mkpath(folder);
        ASSERT_TRUE(image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
    }

private:
    QLocale saved_;
};

TEST_P(SectionSnapshot, AlertingMachine) {
    const bool dark = GetParam();
    const Theme theme = dark ? Theme::dark() : Theme::light();
    const PanelLayoutResult layout = layoutPanel(alerting(), theme);
    const QImage image = render(layout, theme, 2.0);
    save(image, dark ? QStringLiteral("sections-alert-dark-2x")
                     : QStringLiteral("sections-alert-light-2x"));

    const TextElement* alert =
        findText(layout, QStringLiteral("使用率がしきい値（90%）を超えています"));
    ASSERT_NE(alert, nullptr);
    EXPECT_GT(count(image, alert->rect, reddish), 80);
    const TextElement* remaining = findText(layout, QStringLiteral("残り 50.0 GB"));
    ASSERT_NE(remaining, nullptr);
    EXPECT_GT(count(image, remaining->rect, reddish), 40);
    // The panel grows with the wrapped alert instead of cutting it.
    EXPECT_LE(alert->rect.bottom(), layout.size.height() - 12.0 + 0.01);

    const auto graphs = sparklines(layout);
    ASSERT_EQ(graphs.size(), 4U); // CPU, GPU, download, upload
    EXPECT_GT(count(image, graphs[2].rect, blueish), 100);
    EXPECT_GT(count(image, graphs[3].rect, orangeish), 40);
}

TEST_P(SectionSnapshot, WarningMachine) {
    const bool dark = GetParam();
    const Theme theme = dark ? Theme::dark() : Theme::light();
    const PanelLayoutResult layout = layoutPanel(warning(), theme);
    const QImage image = render(layout, theme, 2.0);
    save(image, dark ? QStringLiteral("sections-warning-dark-2x")
                     : QStringLiteral("sections-warning-light-2x"));

    const TextElement* remaining = findText(layout, QStringLiteral("残り 150 GB"));
    ASSERT_NE(remaining, nullptr);
    EXPECT_GT(count(image, remaining->rect, orangeish), 30);
    EXPECT_EQ(count(image, remaining->rect, reddish), 0);
    const TextElement* footer = findText(layout, QStringLiteral("850 GB / 1.0 TB 使用中"));
    ASSERT_NE(footer, nullptr);
    EXPECT_EQ(count(image, footer->rect, reddish), 0);
}

INSTANTIATE_TEST_SUITE_P(Appearance, SectionSnapshot, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "dark" : "light"; });

} // namespace
} // namespace trovimo
