#include "panel/ClockFormatter.h"
#include "panel/NumberRoller.h"
#include "panel/PanelLayout.h"
#include "panel/PanelPainter.h"
#include "panel/raster/PaintCache.h"

#include <QDir>
#include <QImage>
#include <QPainter>

#include <gtest/gtest.h>

#include <cmath>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

constexpr std::chrono::system_clock::time_point afternoon{1796562330s};

const ClockFormatter& japaneseClock() {
    static const std::unique_ptr<icu::TimeZone> utc(icu::TimeZone::createTimeZone("UTC"));
    static const ClockFormatter formatter(icu::Locale("ja_JP"), utc.get());
    return formatter;
}

std::vector<double> wave(int count, double base, double swing, double top) {
    std::vector<double> values;
    for (int i = 0; i < count; ++i) {
        values.push_back(top * std::clamp(base + swing * std::sin(i * 0.35), 0.0, 1.0));
    }
    return values;
}

// A busy machine a minute after start-up.
PanelInputs busyMachine() {
    PanelInputs inputs;
    inputs.now = afternoon;
    inputs.clock = &japaneseClock();
    inputs.settings.showSelf = true;
    StatsSnapshot& s = inputs.stats;
    s.cpu = CPULoad{0.452, {0.9, 0.1, 0.45, 0.7, 0.2, 0.05, 0.6, 0.62}};
    s.cpuHistory = wave(60, 0.4, 0.3, 1.0);
    s.gpu = 0.18;
    s.gpuHistory = wave(60, 0.2, 0.15, 1.0);
    constexpr std::uint64_t gb = 1'000'000'000;
    s.memory = MemoryStats{11 * gb, 16 * gb,      8 * gb,       2 * gb,
                           1 * gb,  1200'000'000, 2100'000'000, MemoryPressure::normal};
    s.network = NetworkSpeed{1'250'000, 48'000};
    s.networkInfo = NetworkInfo{"wlp2s0", "Wi-Fi", std::string("Home"), std::string("Wi-Fi 6")};
    s.downloadHistory = wave(60, 0.3, 0.3, 2'000'000);
    s.uploadHistory = wave(60, 0.2, 0.2, 60'000);
    s.disk = DiskUsage{950 * gb, 1000 * gb, 40 * gb, 30 * gb};
    s.selfStats = SelfStats{0.008, 41'200'000};
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

void save(const QImage& image, const QString& name) {
    const QString folder = QStringLiteral(TROVIMO_BINARY_DIR "/panel-snapshots");
    QDir().mkpath(folder);
    ASSERT_TRUE(image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
}

QRgb pixelAt(const QImage& image, QPointF logical) {
    const double scale = image.devicePixelRatio();
    return image.pixel(static_cast<int>(logical.x() * scale),
                       static_cast<int>(logical.y() * scale));
}

// Pixels in `logical` that differ clearly from the panel background.
int inkIn(const QImage& image, const QRectF& logical, QRgb background) {
    const double scale = image.devicePixelRatio();
    const QRect rect = QRectF(logical.topLeft() * scale, logical.size() * scale).toRect();
    int ink = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y) {
        for (int x = rect.left(); x <= rect.right(); ++x) {
            const QRgb p = image.pixel(x, y);
            const int distance = std::abs(qRed(p) - qRed(background)) +
                                 std::abs(qGreen(p) - qGreen(background)) +
                                 std::abs(qBlue(p) - qBlue(background));
            ink += distance > 60 ? 1 : 0;
        }
    }
    return ink;
}

struct SnapshotCase {
    const char* name;
    bool dark;
    double scale;
};

class PanelSnapshot : public ::testing::TestWithParam<SnapshotCase> {};

TEST_P(PanelSnapshot, PaintsFrameTextsAndGauges) {
    const SnapshotCase& c = GetParam();
    const Theme theme = c.dark ? Theme::dark() : Theme::light();
    PanelInputs inputs = busyMachine();
    inputs.hovering = true;
    inputs.update = {PanelUpdateStatus::Kind::required, QStringLiteral("2.1.0"), {}};
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    const QImage image = render(layout, theme, c.scale);
    save(image, QString::fromLatin1(c.name));

    EXPECT_EQ(image.width(), static_cast<int>(std::ceil(190 * c.scale)));
    // Outside the rounded corner: untouched; inside: the translucent background.
    EXPECT_EQ(qAlpha(pixelAt(image, {1, 1})), 0);
    const QRgb background = pixelAt(image, {95, layout.size.height() - 4});
    EXPECT_GT(qAlpha(background), 150);
    // Texts and gauges leave ink in the column.
    const QRectF column(12, 12, 166, layout.size.height() - 24);
    EXPECT_GT(inkIn(image, column, background), 2000 * c.scale * c.scale / 4);
    // The seconds bar at second 30: blue fill on its left half, track on its right end.
    ASSERT_TRUE(layout.secondsBar);
    const QRectF bar = elementRect(layout.elements[*layout.secondsBar]);
    const QRgb fill = pixelAt(image, {bar.left() + 40, bar.center().y()});
    EXPECT_GT(qBlue(fill), qRed(fill) + 100);
    const QRgb track = pixelAt(image, {bar.right() - 10, bar.center().y()});
    EXPECT_LT(std::abs(qBlue(track) - qRed(track)), 30);
    // The badge is red.
    EXPECT_GT(inkIn(image, QRectF(12, 12, 80, 12), background), 30);
}

INSTANTIATE_TEST_SUITE_P(Canned, PanelSnapshot,
                         ::testing::Values(SnapshotCase{"busy-light-1x", false, 1.0},
                                           SnapshotCase{"busy-light-1_5x", false, 1.5},
                                           SnapshotCase{"busy-light-2x", false, 2.0},
                                           SnapshotCase{"busy-dark-1x", true, 1.0},
                                           SnapshotCase{"busy-dark-1_5x", true, 1.5},
                                           SnapshotCase{"busy-dark-2x", true, 2.0}),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             std::replace(name.begin(), name.end(), '-', '_');
                             return name;
                         });

// Crisp at 2x: the one-point divider covers exactly two device rows with hard edges.
TEST(PanelSnapshot, DividerIsCrispAtDoubleScale) {
    const Theme theme = Theme::dark();
    PanelInputs inputs = busyMachine();
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    const QImage image = render(layout, theme, 2.0);
    const DividerElement* divider = nullptr;
    for (const PanelElement& element : layout.elements) {
        if ((divider = std::get_if<DividerElement>(&element))) {
            break;
        }
    }
    ASSERT_NE(divider, nullptr);
    const int x = 2 * 95;
    const int row = static_cast<int>(divider->rect.top() * 2);
    const QRgb above = image.pixel(x, row - 1);
    const QRgb on = image.pixel(x, row);
    const QRgb on2 = image.pixel(x, row + 1);
    const QRgb below = image.pixel(x, row + 2);
    EXPECT_EQ(on, on2);
    EXPECT_EQ(above, below);
    EXPECT_NE(on, above);
}

TEST(PanelSnapshot, EmptyStateAndStartUpStates) {
    for (const bool dark : {false, true}) {
        const Theme theme = dark ? Theme::dark() : Theme::light();
        PanelInputs empty;
        empty.now = afternoon;
        empty.clock = &japaneseClock();
        empty.settings.showClock = empty.settings.showCPU = empty.settings.showGPU = false;
        empty.settings.showMemory = empty.settings.showNetwork = false;
        empty.settings.showDisk = empty.settings.showSelf = false;
        const PanelLayoutResult emptyLayout = layoutPanel(empty, theme);
        const QImage emptyImage = render(emptyLayout, theme, 1.0);
        save(emptyImage, dark ? QStringLiteral("empty-dark-1x") : QStringLiteral("empty-light-1x"));
        const QRgb background = pixelAt(emptyImage, {95, emptyLayout.size.height() - 4});
        EXPECT_GT(
            inkIn(emptyImage, QRectF(12, 12, 166, emptyLayout.size.height() - 24), background),
            100);

        // Before the first sample: every section in its placeholder form.
        PanelInputs fresh;
        fresh.now = afternoon;
        fresh.clock = &japaneseClock();
        fresh.settings.showSelf = true;
        const PanelLayoutResult freshLayout = layoutPanel(fresh, theme);
        save(render(freshLayout, theme, 2.0),
             dark ? QStringLiteral("startup-dark-2x") : QStringLiteral("startup-light-2x"));
    }
}

// Mid-roll, the changed digits of the CPU value sit between their old and new places while
// the unchanged ones stay put.
TEST(PanelSnapshot, RollingDigitsPaintBetweenOldAndNewText) {
    const Theme theme = Theme::light();
    PanelInputs inputs = busyMachine();
    inputs.settings.animateValues = true;
    const NumberRoller::Clock::time_point start{};
    NumberRoller roller;
    roller.observe(layoutPanel(inputs, theme).elements, true, start);
    inputs.stats.cpu->total = 0.47;
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    roller.observe(layout.elements, true, start);

    const TextElement* value = nullptr;
    for (const PanelElement& element : layout.elements) {
        const auto* text = std::get_if<TextElement>(&element);
        if (text != nullptr && text->animation && text->text.contains(QStringLiteral("47"))) {
            value = text;
        }
    }
    ASSERT_NE(value, nullptr);
    const auto renderAt = [&](NumberRoller::Clock::time_point now) {
        QImage image(QSize(190, static_cast<int>(layout.size.height())) * 2,
                     QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(2.0);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        PaintCache cache;
        panelPainter::paint(painter, layout, theme, cache, &roller, now);
        return image;
    };
    const QImage rolling = renderAt(start + std::chrono::milliseconds(60));
    const QImage settled = renderAt(start + std::chrono::milliseconds(300));
    save(rolling, QStringLiteral("rolling-light-2x"));
    const QRgb background = pixelAt(settled, {95, layout.size.height() - 4});
    const double width = value->rect.width();
    const QRectF lastDigits(value->rect.right() - width * 0.6, value->rect.top(), width * 0.6,
                            value->rect.height());
    EXPECT_NE(rolling.copy(QRectF(lastDigits.topLeft() * 2, lastDigits.size() * 2).toRect()),
              settled.copy(QRectF(lastDigits.topLeft() * 2, lastDigits.size() * 2).toRect()));
    EXPECT_GT(inkIn(rolling, value->rect, background), 20);
}

} // namespace
} // namespace trovimo
