// What the panel's snapshot tests share: the states they paint, painting a layout with the
// pixel code or QPainter alone, and counting pixels by colour.
#pragma once

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
#include <span>
#include <string>

namespace trovimo::snapshot {

using namespace std::chrono_literals;

constexpr std::chrono::system_clock::time_point afternoon{1796562330s};
constexpr std::uint64_t gb = 1'000'000'000;

inline const ClockFormatter& japaneseClock() {
    static const std::unique_ptr<icu::TimeZone> utc(icu::TimeZone::createTimeZone("UTC"));
    static const ClockFormatter formatter(icu::Locale("ja_JP"), utc.get());
    return formatter;
}

inline std::vector<double> wave(double base, double swing, double top) {
    std::vector<double> values;
    for (int i = 0; i < 60; ++i) {
        values.push_back(top * std::clamp(base + swing * std::sin(i * 0.35), 0.0, 1.0));
    }
    return values;
}

// A busy machine a minute after start-up, its disk past the alert threshold.
inline PanelInputs busyMachine() {
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

inline QImage paintPanel(const PanelLayoutResult& layout, const Theme& theme, double scale,
                         bool raster, const NumberRoller* roller,
                         NumberRoller::Clock::time_point now) {
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

inline void expectLikeQPainter(const QImage& drawn, const QImage& reference) {
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

inline void save(const QImage& image, const QString& name) {
    const QString folder = QStringLiteral(TROVIMO_BINARY_DIR "/panel-snapshots");
    QDir().mkpath(folder);
    ASSERT_TRUE(image.save(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
}

// The panel as the program draws it, held against QPainter's drawing of it; both saved
// under `name`.
inline QImage render(const PanelLayoutResult& layout, const Theme& theme, double scale,
                     const QString& name, const NumberRoller* roller = nullptr,
                     NumberRoller::Clock::time_point now = {}) {
    const QImage drawn = paintPanel(layout, theme, scale, true, roller, now);
    const QImage reference = paintPanel(layout, theme, scale, false, roller, now);
    save(drawn, name);
    save(reference, name + QStringLiteral("-qpainter"));
    expectLikeQPainter(drawn, reference);
    return drawn;
}

inline QRgb pixelAt(const QImage& image, QPointF logical) {
    const double scale = image.devicePixelRatio();
    return image.pixel(static_cast<int>(logical.x() * scale),
                       static_cast<int>(logical.y() * scale));
}

// Device pixels inside `logical` whose colour passes `wanted`.
inline int count(const QImage& image, const QRectF& logical,
                 const std::function<bool(QColor)>& wanted) {
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
inline std::function<bool(QColor)> ink(QRgb background) {
    return [background](QColor c) {
        return std::abs(c.red() - qRed(background)) + std::abs(c.green() - qGreen(background)) +
                   std::abs(c.blue() - qBlue(background)) >
               60;
    };
}
inline bool reddish(QColor c) {
    // Orange has far more green than red has.
    return c.red() > c.green() + 150 && c.red() > c.blue() + 150;
}
inline bool orangeish(QColor c) {
    return c.red() > c.blue() + 90 && c.green() > c.blue() + 30 && c.red() > c.green() + 20;
}
inline bool blueish(QColor c) {
    return c.blue() > c.red() + 60;
}

} // namespace trovimo::snapshot
