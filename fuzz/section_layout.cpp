// The measurement sections over hostile samples: any bit pattern in any field (NaN,
// infinities, negative and enormous counts, odd network names) and any threshold must lay
// out inside the column, with finite geometry, and paint without a fault.
#include "panel/PaintCache.h"
#include "panel/PanelPainter.h"
#include "panel/Sections.h"
#include "panel/SpokenTexts.h"

#include <QGuiApplication>
#include <QImage>
#include <QPainter>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

using namespace trovimo;

class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    template <typename T> T take() {
        T value{};
        std::uint8_t raw[sizeof(T)] = {};
        for (std::size_t i = 0; i < sizeof(T); ++i) {
            raw[i] = offset_ < size_ ? data_[offset_++] : 0;
        }
        std::memcpy(&value, raw, sizeof(T));
        return value;
    }
    bool flag() { return (take<std::uint8_t>() & 1U) != 0; }
    std::vector<double> doubles(std::size_t most) {
        std::vector<double> values(take<std::uint8_t>() % (most + 1));
        for (double& value : values) {
            value = take<double>();
        }
        return values;
    }
    std::string text() {
        std::string value(take<std::uint8_t>() % 48, '\0');
        for (char& c : value) {
            c = static_cast<char>(take<std::uint8_t>());
        }
        return value;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

void ensureApplication() {
    if (QCoreApplication::instance() != nullptr) {
        return;
    }
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "section_layout";
    static char* argv[] = {name, nullptr};
    // Lives until the process ends: destroying it from an exit handler, after Qt's own
    // globals are gone, crashes.
    new QGuiApplication(argc, argv);
}

PanelInputs decode(Bytes& bytes) {
    PanelInputs inputs;
    DisplaySettings& settings = inputs.settings;
    settings.detailed.set(Block::cpu, bytes.flag());
    settings.diskAlertThreshold = bytes.take<double>();
    auto stats = std::make_shared<StatsSnapshot>();
    inputs.stats = stats;
    StatsSnapshot& s = *stats;
    if (bytes.flag()) {
        s.cpu = CPULoad{bytes.take<double>(), bytes.doubles(64)};
    }
    s.cpuHistory = bytes.doubles(60);
    if (bytes.flag()) {
        s.gpu = bytes.take<double>();
    }
    s.gpuHistory = bytes.doubles(60);
    if (bytes.flag()) {
        MemoryStats m;
        m.used = bytes.take<std::uint64_t>();
        m.total = bytes.take<std::uint64_t>();
        m.app = bytes.take<std::uint64_t>();
        m.wired = bytes.take<std::uint64_t>();
        m.compressed = bytes.take<std::uint64_t>();
        m.swapUsed = bytes.take<std::uint64_t>();
        m.swapTotal = bytes.take<std::uint64_t>();
        if (bytes.flag()) {
            m.pressure = static_cast<MemoryPressure>(bytes.take<std::uint8_t>() % 3);
        }
        s.memory = m;
    }
    if (bytes.flag()) {
        s.network = NetworkSpeed{bytes.take<double>(), bytes.take<double>()};
    }
    if (bytes.flag()) {
        NetworkInfo info{bytes.text(), bytes.text(), std::nullopt, std::nullopt};
        if (bytes.flag()) {
            info.ssid = bytes.text();
        }
        s.networkInfo = info;
    }
    s.downloadHistory = bytes.doubles(60);
    s.uploadHistory = bytes.doubles(60);
    if (bytes.flag()) {
        s.disk = DiskUsage{bytes.take<std::int64_t>(), bytes.take<std::int64_t>(),
                           bytes.take<std::int64_t>(), bytes.take<std::int64_t>()};
    }
    if (bytes.flag()) {
        s.selfStats = SelfStats{bytes.take<double>(), bytes.take<std::uint64_t>()};
    }
    // Another machine's: its name line, and a disk without a trash share.
    if (bytes.flag()) {
        s.sourceName = QString::fromUtf8(bytes.text());
        s.sourceState = static_cast<SourceState>(bytes.take<std::uint8_t>() % 4);
        if (s.disk) {
            s.disk->purgeable.reset();
        }
    }
    return inputs;
}

bool finite(const QRectF& rect) {
    return std::isfinite(rect.x()) && std::isfinite(rect.y()) && std::isfinite(rect.width()) &&
           std::isfinite(rect.height());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    ensureApplication();
    Bytes bytes(data, size);
    const bool paint = (bytes.take<std::uint8_t>() % 16) == 0;
    const PanelInputs inputs = decode(bytes);
    static const Theme theme = Theme::light();
    constexpr double width = PanelMetrics::columnWidth;

    for (const SectionRow& section : sectionTable()) {
        const SectionLayout out = section.layout(inputs, theme, width);
        if (!std::isfinite(out.height) || out.height < 0.0) {
            std::fprintf(stderr, "section height %g\n", out.height);
            std::abort();
        }
        const QRectF bounds(-0.01, -0.01, width + 0.02, out.height + 0.02);
        for (const PanelElement& element : out.elements) {
            const QRectF rect = elementRect(element);
            if (!finite(rect) || !bounds.contains(rect)) {
                std::fprintf(stderr, "element of kind %zu at %g,%g %gx%g outside %gx%g\n",
                             element.index(), rect.x(), rect.y(), rect.width(), rect.height(),
                             width, out.height);
                std::abort();
            }
        }
    }

    PanelInputs all = inputs;
    all.settings.shown.set(Block::self, true);
    const PanelLayoutResult layout = layoutPanel(all, theme);
    // What a screen reader hears of each block: hostile figures must still read as words.
    for (std::size_t index = 0; index < layout.blocks.size(); ++index) {
        const PanelBlock& block = layout.blocks[index];
        if (spoken::blockName(block).isEmpty() || spoken::blockValue(block, all).isEmpty()) {
            std::fprintf(stderr, "block %zu of the column reads nothing\n", index);
            std::abort();
        }
    }
    if (paint) {
        QImage image(layout.size.toSize(), QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        PaintCache cache;
        panelPainter::paint(painter, layout, theme, cache);
    }
    return 0;
}
