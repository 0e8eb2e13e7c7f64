#include "panel/MemorySection.h"

#include "panel/SpokenTexts.h"
#include "panel/ValueFormatting.h"

#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"

#include <algorithm>
#include <array>

namespace trovimo {
namespace {

constexpr std::string_view memoryLabel = "メモリ";

using namespace sections;

constexpr double rowSpacing = 5.0;
constexpr double dotSize = 5.0;
constexpr double dotGap = 3.0;
// The toolkit's default gap between neighbours in a row.
constexpr double defaultSpacing = 8.0;
constexpr double minimumTextScale = 0.75;

ColorRole pressureColor(MemoryPressure pressure) noexcept {
    switch (pressure) {
    case MemoryPressure::normal:
        return ColorRole::green;
    case MemoryPressure::warning:
        return ColorRole::orange;
    case MemoryPressure::critical:
        return ColorRole::red;
    }
    return ColorRole::gray;
}

// Swap use at the left, the pressure indicator at the right edge; either may be missing.
// Both texts shrink together (down to three quarters) before the swap text is cut.
double appendSwapAndPressureRow(SectionLayout& out, const Theme& theme, double y, double width,
                                const MemoryStats& memory) {
    const std::optional<std::string> swap = texts::swapText(memory);
    const std::optional<MemoryPressure> pressure = memory.pressure;
    if (!swap && !pressure) {
        return 0.0;
    }
    const FontSpec swapFont = caption2DigitsFont();
    const FontSpec pressureFont = caption2Font();
    const double rowHeight = std::max(swap ? theme.lineHeight(swapFont) : 0.0,
                                      pressure ? theme.lineHeight(pressureFont) : 0.0);

    const QString swapString = swap ? QString::fromStdString(*swap) : QString();
    const QString pressureString = pressure ? qtext(texts::pressureText(*pressure)) : QString();
    const double swapWidth = swap ? theme.textWidth(swapString, swapFont) : 0.0;
    const double pressureWidth = pressure ? theme.textWidth(pressureString, pressureFont) : 0.0;
    const double fixedWidth =
        (pressure ? dotSize + dotGap : 0.0) + (swap && pressure ? defaultSpacing : 0.0);

    double scale = 1.0;
    const double textWidth = swapWidth + pressureWidth;
    if (textWidth > 0.0 && fixedWidth + textWidth > width) {
        scale = std::max(minimumTextScale, (width - fixedWidth) / textWidth);
    }

    // Left to right, so the texts are read in the order they are seen.
    const double labelWidth = pressureWidth * scale;
    const double indicatorLeft =
        pressure ? std::max(0.0, width - labelWidth - dotGap - dotSize) : width;
    if (swap) {
        const double room = pressure ? indicatorLeft - defaultSpacing : width;
        TextElement text = centredText(
            theme,
            QRectF(0.0, y, std::clamp(swapWidth * scale, 0.0, std::max(room, 0.0)), rowHeight),
            swapString, swapFont, ColorRole::secondary);
        text.minimumScale = minimumTextScale;
        out.elements.emplace_back(std::move(text));
    }
    if (pressure) {
        out.elements.emplace_back(
            DotElement{QRectF(indicatorLeft, y + (rowHeight - dotSize) / 2.0, dotSize, dotSize),
                       pressureColor(*pressure)});
        TextElement label =
            centredText(theme, QRectF(indicatorLeft + dotSize + dotGap, y, labelWidth, rowHeight),
                        pressureString, pressureFont, ColorRole::secondary);
        label.minimumScale = minimumTextScale;
        out.elements.emplace_back(std::move(label));
    }
    return rowHeight;
}

} // namespace

SectionLayout layoutMemorySection(const PanelInputs& inputs, const Theme& theme, double width) {
    const auto& memory = inputs.stats->memory;
    SectionLayout out;

    std::optional<TextElement> value;
    if (memory) {
        TextElement usage;
        usage.text = QString::fromStdString(texts::memoryUsageText(*memory));
        usage.font = captionDigitsFont();
        usage.color = ColorRole::primary;
        value = std::move(usage);
    }
    double y = appendSectionHeader(out, theme, 0.0, width, qtext(memoryLabel), std::move(value));
    y += rowSpacing;

    if (!memory) {
        appendEmptyCapacityBar(out, y, width);
        out.height = y + CapacityBar::height;
        return out;
    }

    // The physical memory size is never 0; should a corrupt sample say so, the bar stays empty
    // rather than dividing by zero.
    const double total = static_cast<double>(memory->total);
    const auto share = [total](std::uint64_t bytes) {
        return total > 0.0 ? static_cast<double>(bytes) / total : 0.0;
    };
    out.elements.emplace_back(
        SegmentedBarElement{QRectF(0.0, y, width, SegmentedBar::height),
                            SegmentedBar{{{share(memory->app), ColorRole::blue},
                                          {share(memory->wired), ColorRole::teal},
                                          {share(memory->compressed), ColorRole::gray}}}});
    y += SegmentedBar::height + rowSpacing;

    const std::array legend{
        LegendEntry{qtext(texts::appLegend), texts::toSignedBytes(memory->app), ColorRole::blue},
        LegendEntry{qtext(texts::wiredLegend), texts::toSignedBytes(memory->wired),
                    ColorRole::teal},
        LegendEntry{qtext(texts::compressedLegend), texts::toSignedBytes(memory->compressed),
                    ColorRole::gray},
    };
    y += appendLegendRow(out, theme, y, width, legend);
    y += rowSpacing;

    y += appendSwapAndPressureRow(out, theme, y, width, *memory);
    out.height = y;
    return out;
}

QString spokenMemorySection(const PanelInputs& inputs) {
    const std::optional<MemoryStats>& memory = inputs.stats->memory;
    if (!memory) {
        return spoken::noData();
    }
    const auto size = [](std::uint64_t count) {
        return spoken::bytes(texts::toSignedBytes(count));
    };
    QStringList parts{
        size(memory->total) + QStringLiteral("中 ") + size(memory->used) + QStringLiteral("使用"),
        QStringLiteral("アプリ ") + size(memory->app),
        spoken::utf8(texts::wiredLegend) + QLatin1Char(' ') + size(memory->wired),
        spoken::utf8(texts::compressedLegend) + QLatin1Char(' ') + size(memory->compressed)};
    if (memory->swapTotal != 0) {
        parts << QStringLiteral("スワップ ") + size(memory->swapTotal) + QStringLiteral("中 ") +
                     size(memory->swapUsed) + QStringLiteral("使用");
    }
    if (memory->pressure) {
        parts << spoken::utf8(texts::pressureText(*memory->pressure));
    }
    return spoken::joined(parts);
}

} // namespace trovimo

namespace trovimo::texts {

std::string memoryUsageText(const MemoryStats& memory) {
    return formatBytes(toSignedBytes(memory.used)) + " / " +
           formatBytes(toSignedBytes(memory.total));
}

std::optional<std::string> swapText(const MemoryStats& memory) {
    if (memory.swapTotal == 0) {
        return std::nullopt;
    }
    return "スワップ " + formatBytesCompact(toSignedBytes(memory.swapUsed)) + "/" +
           formatBytesCompact(toSignedBytes(memory.swapTotal));
}

std::string_view pressureText(MemoryPressure pressure) noexcept {
    switch (pressure) {
    case MemoryPressure::normal:
        return "圧力 正常";
    case MemoryPressure::warning:
        return "圧力 注意";
    case MemoryPressure::critical:
        return "圧力 逼迫";
    }
    return {};
}

} // namespace trovimo::texts
