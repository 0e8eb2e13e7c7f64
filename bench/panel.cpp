// Painting the whole default panel into an offscreen image, the work of one refresh.
#include "panel/ClockFormatter.h"
#include "panel/PaintCache.h"
#include "panel/PanelLayout.h"
#include "panel/PanelPainter.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

namespace {

using namespace trovimo;
using namespace std::chrono_literals;

std::vector<double> history(double top) {
    std::vector<double> values;
    for (int i = 0; i < 60; ++i) {
        values.push_back(top * (0.5 + 0.4 * std::sin(i * 0.3)));
    }
    return values;
}

PanelInputs defaultPanel() {
    PanelInputs inputs;
    inputs.now = std::chrono::system_clock::time_point{1796562330s};
    auto stats = std::make_shared<StatsSnapshot>();
    inputs.stats = stats;
    StatsSnapshot& s = *stats;
    s.cpu = CPULoad{0.45, std::vector<double>(16, 0.4)};
    s.cpuHistory = history(1.0);
    s.gpu = 0.2;
    s.gpuHistory = history(1.0);
    constexpr std::uint64_t gb = 1'000'000'000;
    s.memory =
        MemoryStats{11 * gb, 16 * gb, 8 * gb, 2 * gb, 1 * gb, gb, 2 * gb, MemoryPressure::normal};
    s.network = NetworkSpeed{1'250'000, 48'000};
    s.networkInfo = NetworkInfo{"wlp2s0", "Wi-Fi", std::string("Home"), std::string("Wi-Fi 6")};
    s.downloadHistory = history(2'000'000);
    s.uploadHistory = history(60'000);
    s.disk = DiskUsage{412 * gb, 994 * gb, 40 * gb, 30 * gb};
    return inputs;
}

void paintInto(QImage& image, const PanelLayoutResult& layout, const Theme& theme,
               PaintCache& cache) {
    image.fill(Qt::transparent);
    QPainter painter(&image);
    panelPainter::paint(painter, layout, theme, cache);
}

QImage imageFor(const PanelLayoutResult& layout, double scale) {
    QImage image((layout.size * scale).toSize(), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    return image;
}

// Drawing a computed layout (what a repaint costs).
void BM_PaintDefaultPanel(benchmark::State& state) {
    const Theme theme = Theme::light();
    const PanelLayoutResult layout = layoutPanel(defaultPanel(), theme);
    const double scale = static_cast<double>(state.range(0)) / 2.0;
    QImage image = imageFor(layout, scale);
    PaintCache cache;
    paintInto(image, layout, theme, cache); // warm the font and symbol caches
    for (auto _ : state) {
        paintInto(image, layout, theme, cache);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PaintDefaultPanel)
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

// Layout and paint together: one refresh after a new sample.
void BM_LayoutAndPaintDefaultPanel(benchmark::State& state) {
    const Theme theme = Theme::light();
    const PanelInputs inputs = defaultPanel();
    QImage image = imageFor(layoutPanel(inputs, theme), 1.0);
    PaintCache cache;
    for (auto _ : state) {
        const PanelLayoutResult layout = layoutPanel(inputs, theme);
        paintInto(image, layout, theme, cache);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_LayoutAndPaintDefaultPanel)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// The once-a-second repaint: only the seconds bar's rectangle.
void BM_PaintSecondsBarOnly(benchmark::State& state) {
    const Theme theme = Theme::light();
    const PanelLayoutResult layout = layoutPanel(defaultPanel(), theme);
    QImage image = imageFor(layout, 1.0);
    PaintCache cache;
    paintInto(image, layout, theme, cache);
    const PanelElement& bar = layout.elements[*layout.secondsBar];
    for (auto _ : state) {
        QPainter painter(&image);
        const QRect dirty = elementRect(bar).toAlignedRect();
        painter.setClipRect(dirty);
        panelPainter::paintFrame(painter, layout.size, theme, QRegion(dirty));
        panelPainter::paintElement(painter, bar, theme, cache);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PaintSecondsBarOnly)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

// One kind of element at a time (the index of the element variant), to see where a
// full paint spends its time.
void BM_PaintElementsOfKind(benchmark::State& state) {
    const Theme theme = Theme::light();
    const PanelLayoutResult layout = layoutPanel(defaultPanel(), theme);
    QImage image = imageFor(layout, 1.0);
    PaintCache cache;
    paintInto(image, layout, theme, cache);
    const auto kind = static_cast<std::size_t>(state.range(0));
    for (auto _ : state) {
        QPainter painter(&image);
        for (const PanelElement& element : layout.elements) {
            if (element.index() == kind) {
                panelPainter::paintElement(painter, element, theme, cache);
            }
        }
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_PaintElementsOfKind)
    ->DenseRange(0, 7)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

// The default panel's elements that `wanted` picks, painted over a finished panel at a
// device pixel ratio of the first argument / 2; with the second one, by QPainter alone.
template <typename Pick>
void paintPicked(benchmark::State& state, Pick wanted, const char* counter) {
    const Theme theme = Theme::light();
    const PanelLayoutResult layout = layoutPanel(defaultPanel(), theme);
    QImage image = imageFor(layout, static_cast<double>(state.range(0)) / 2.0);
    PaintCache cache;
    cache.raster.setEnabled(state.range(1) == 0);
    paintInto(image, layout, theme, cache);
    std::vector<const PanelElement*> picked;
    for (const PanelElement& element : layout.elements) {
        if (wanted(element)) {
            picked.push_back(&element);
        }
    }
    for (auto _ : state) {
        QPainter painter(&image);
        for (const PanelElement* element : picked) {
            panelPainter::paintElement(painter, *element, theme, cache);
        }
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters[counter] = static_cast<double>(picked.size());
}

void BM_PaintSparklines(benchmark::State& state) {
    paintPicked(
        state,
        [](const PanelElement& element) {
            return std::holds_alternative<SparklineElement>(element);
        },
        "sparklines");
}
BENCHMARK(BM_PaintSparklines)
    ->ArgNames({"scale2x", "qpainter"})
    ->ArgsProduct({{2, 4}, {0, 1}})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

// The rounded bars: core bars, segmented and capacity bars.
void BM_PaintBars(benchmark::State& state) {
    paintPicked(
        state,
        [](const PanelElement& element) {
            return std::holds_alternative<CoreBarsElement>(element) ||
                   std::holds_alternative<SegmentedBarElement>(element) ||
                   std::holds_alternative<CapacityBarElement>(element);
        },
        "bars");
}
BENCHMARK(BM_PaintBars)
    ->ArgNames({"scale2x", "qpainter"})
    ->ArgsProduct({{2, 4}, {0, 1}})
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

// The core bars alone, laid out and painted, from a laptop to a large server: the cost of a
// refresh grows with the number of cores and no faster (see the fitted complexity).
void BM_LayoutAndPaintCoreBars(benchmark::State& state) {
    const Theme theme = Theme::light();
    std::vector<double> loads(static_cast<std::size_t>(state.range(0)));
    for (std::size_t core = 0; core < loads.size(); ++core) {
        loads[core] = 0.5 + 0.45 * std::sin(static_cast<double>(core) * 0.7);
    }
    const CoreBars bars{loads};
    QImage image(QSize(190, 44), QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    PaintCache cache;
    for (auto _ : state) {
        QPainter painter(&image);
        cache.raster.paint(painter, bars, QRectF(12, 12.3, 166, 20), theme);
        benchmark::DoNotOptimize(image.constBits());
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_LayoutAndPaintCoreBars)
    ->Arg(8)
    ->Arg(64)
    ->Arg(128)
    ->Arg(256)
    ->Arg(512)
    ->Complexity(benchmark::oN)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace

#include "support/QtBenchmarkMain.h"
