// The panel with every section switched on: what one refresh after a new sample costs, and
// what each section's layout step costs on its own.
#include "panel/Sections.h"
#include "panel/CPUSection.h"
#include "panel/ClockFormatter.h"
#include "panel/DiskSection.h"
#include "panel/GPUSection.h"
#include "panel/MemorySection.h"
#include "panel/NetworkSection.h"
#include "panel/PaintCache.h"
#include "panel/PanelLayout.h"
#include "panel/PanelPainter.h"
#include "panel/SelfSection.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>

namespace {

using namespace trovimo;
using namespace std::chrono_literals;

std::vector<double> history(double top, double phase) {
    std::vector<double> values;
    for (int i = 0; i < 60; ++i) {
        values.push_back(top * (0.5 + 0.4 * std::sin(i * 0.3 + phase)));
    }
    return values;
}

// Every section on and every optional part present: core bars for 16 cores, swap and
// pressure, a Wi-Fi identity, a disk past its threshold (wrapped footer), the own-load row.
PanelInputs everySection() {
    PanelInputs inputs;
    inputs.now = std::chrono::system_clock::time_point{1796562330s};
    inputs.settings.shown.set(Block::self, true);
    auto stats = std::make_shared<StatsSnapshot>();
    inputs.stats = stats;
    StatsSnapshot& s = *stats;
    s.cpu = CPULoad{0.45, std::vector<double>(16, 0.4)};
    s.cpuHistory = history(1.0, 0.0);
    s.gpu = 0.2;
    s.gpuHistory = history(1.0, 1.0);
    constexpr std::uint64_t gb = 1'000'000'000;
    s.memory =
        MemoryStats{11 * gb, 16 * gb, 8 * gb, 2 * gb, 1 * gb, gb, 2 * gb, MemoryPressure::warning};
    s.network = NetworkSpeed{1'250'000, 48'000};
    s.networkInfo = NetworkInfo{"wlp2s0", "Wi-Fi", std::string("Home"), std::string("Wi-Fi 6")};
    s.downloadHistory = history(2'000'000, 0.5);
    s.uploadHistory = history(60'000, 2.0);
    s.disk = DiskUsage{950'000'000'000, 1000'000'000'000, 40'000'000'000, 30'000'000'000};
    s.selfStats = SelfStats{0.008, 41'200'000};
    return inputs;
}

void BM_LayoutAndPaintEverySection(benchmark::State& state) {
    const Theme theme = Theme::light();
    const PanelInputs inputs = everySection();
    const PanelLayoutResult first = layoutPanel(inputs, theme);
    QImage image(first.size.toSize(), QImage::Format_ARGB32_Premultiplied);
    PaintCache cache;
    for (auto _ : state) {
        const PanelLayoutResult layout = layoutPanel(inputs, theme);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        panelPainter::paint(painter, layout, theme, cache);
        benchmark::DoNotOptimize(image.constBits());
    }
}
BENCHMARK(BM_LayoutAndPaintEverySection)->MeasureProcessCPUTime()->Unit(benchmark::kMicrosecond);

constexpr SectionFunction sectionFunctions[] = {layoutCPUSection,    layoutGPUSection,
                                                layoutMemorySection, layoutNetworkSection,
                                                layoutDiskSection,   layoutSelfSection};

// Arg: CPU, GPU, memory, network, disk, own load.
void BM_LayoutSection(benchmark::State& state) {
    const Theme theme = Theme::light();
    const PanelInputs inputs = everySection();
    const SectionFunction section = sectionFunctions[state.range(0)];
    for (auto _ : state) {
        benchmark::DoNotOptimize(section(inputs, theme, PanelMetrics::columnWidth));
    }
}
BENCHMARK(BM_LayoutSection)
    ->DenseRange(0, 5)
    ->MeasureProcessCPUTime()
    ->Unit(benchmark::kMicrosecond);

} // namespace

#include "support/QtBenchmarkMain.h"
