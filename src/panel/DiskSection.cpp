#include "panel/DiskSection.h"

#include "panel/AnimationKey.h"
#include "panel/SpokenTexts.h"
#include "panel/ValueFormatting.h"

#include "panel/DiskLevel.h"
#include "panel/LineBreaking.h"
#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"

#include <array>
#include <span>

namespace trovimo {
namespace {

constexpr std::string_view diskLabel = "ディスク";

using namespace sections;

constexpr double rowSpacing = 5.0;
constexpr double headerSpacing = 4.0;
constexpr double symbolSize = 9.0;

// The warning triangle 4 after the label.
void appendAlertSymbol(SectionLayout& out, const Theme& theme, std::size_t labelIndex) {
    const auto* label = std::get_if<TextElement>(&out.elements[labelIndex]);
    if (label == nullptr) {
        return;
    }
    const double left = label->rect.x() + theme.textWidth(label->text, label->font) + headerSpacing;
    // Centred on the middle of the label's capitals, as the glyph would sit in the text.
    const double box = symbolSize + 1.0;
    const double centre = label->baseline - theme.metrics(label->font).capHeight() / 2.0;
    out.elements.emplace_back(SymbolElement{QRectF(left, centre - box / 2.0, box, box),
                                            Symbol::alert, symbolSize, ColorRole::red});
}

} // namespace

SectionLayout layoutDiskSection(const PanelInputs& inputs, const Theme& theme, double width) {
    const std::optional<DiskUsage>& disk = inputs.stats->disk;
    const double threshold = inputs.settings.diskAlertThreshold;
    // Read from the settings at every layout, so moving the threshold recolours at once.
    const CapacityLevel level = diskLevel(diskUsedFraction(disk), threshold);
    SectionLayout out;

    std::optional<TextElement> remaining;
    if (disk) {
        remaining = animatedValue(QString::fromStdString(texts::diskRemainingText(*disk)),
                                  captionDigitsFont(), levelTextColor(level), "disk.remaining",
                                  diskRemaining(*disk));
    }
    const std::size_t labelIndex = out.elements.size();
    double y = appendSectionHeader(out, theme, 0.0, width, qtext(diskLabel), std::move(remaining));
    if (level == CapacityLevel::critical) {
        appendAlertSymbol(out, theme, labelIndex);
    }
    y += rowSpacing;

    if (disk && disk->total >= 1) {
        const double total = static_cast<double>(disk->total);
        const std::int64_t data = diskData(*disk);
        SegmentedBar bar{{{static_cast<double>(disk->system) / total, ColorRole::gray},
                          {static_cast<double>(data) / total, ColorRole::blue}}};
        std::array legend{
            LegendEntry{qtext(texts::systemLegend), disk->system, ColorRole::gray},
            LegendEntry{qtext(texts::dataLegend), data, ColorRole::blue},
            LegendEntry{qtext(texts::purgeableLegend), disk->purgeable.value_or(0),
                        ColorRole::teal},
        };
        // Another machine's volume tells nothing of a trash: no share rather than a made-up 0.
        if (disk->purgeable) {
            bar.segments.push_back(
                {static_cast<double>(*disk->purgeable) / total, ColorRole::teal});
        }
        out.elements.emplace_back(
            SegmentedBarElement{QRectF(0.0, y, width, SegmentedBar::height), std::move(bar)});
        y += SegmentedBar::height + rowSpacing;
        y +=
            appendLegendRow(out, theme, y, width, std::span(legend).first(disk->purgeable ? 3 : 2));
    } else {
        appendEmptyCapacityBar(out, y, width);
        y += CapacityBar::height;
    }

    if (level == CapacityLevel::critical) {
        // The alert is the one text that must never be cut: it wraps onto as many lines as
        // it needs, broken where a reader expects the break.
        const FontSpec font = caption2Font();
        const QString alert = QString::fromStdString(texts::diskAlertText(threshold));
        std::vector<qsizetype> breaks = theme.evenLineBreaks(alert, font, width);
        const double height = theme.wrappedHeight(withLineBreaks(alert, breaks), font, width);
        y += rowSpacing;
        TextElement footer;
        footer.rect = QRectF(0.0, y, width, height);
        footer.baseline = y + theme.ascent(font);
        footer.text = alert;
        footer.font = font;
        footer.color = ColorRole::red;
        footer.wrap = true;
        footer.lineBreaks = std::move(breaks);
        out.elements.emplace_back(std::move(footer));
        y += height;
    } else if (disk) {
        y += rowSpacing;
        const FontSpec font = caption2DigitsFont();
        const double height = theme.lineHeight(font);
        out.elements.emplace_back(centredText(theme, QRectF(0.0, y, width, height),
                                              QString::fromStdString(texts::diskUsageText(*disk)),
                                              font, ColorRole::secondary));
        y += height;
    }
    out.height = y;
    return out;
}

QString spokenDiskSection(const PanelInputs& inputs) {
    const std::optional<DiskUsage>& disk = inputs.stats->disk;
    const double threshold = inputs.settings.diskAlertThreshold;
    const CapacityLevel level = diskLevel(diskUsedFraction(disk), threshold);
    QStringList parts;
    if (const QString word = spoken::levelWord(level); !word.isEmpty()) {
        parts << word;
    }
    if (disk) {
        parts << QStringLiteral("残り ") + spoken::bytes(diskRemaining(*disk));
        if (disk->total >= 1) {
            parts << spoken::utf8(texts::systemLegend) + QLatin1Char(' ') +
                         spoken::bytes(disk->system)
                  << spoken::utf8(texts::dataLegend) + QLatin1Char(' ') +
                         spoken::bytes(diskData(*disk));
            if (disk->purgeable) { // another machine's volume tells of no trash
                parts << spoken::utf8(texts::purgeableLegend) + QLatin1Char(' ') +
                             spoken::bytes(*disk->purgeable);
            }
        }
    } else {
        parts << spoken::noData();
    }
    if (level == CapacityLevel::critical) {
        parts << QStringLiteral("使用率がしきい値 %1パーセントを超えています")
                     .arg(percentKey(threshold, 0));
    } else if (disk) {
        parts << spoken::bytes(disk->total) + QStringLiteral("中 ") + spoken::bytes(disk->used) +
                     QStringLiteral("使用");
    }
    return spoken::joined(parts);
}

} // namespace trovimo

namespace trovimo::texts {

std::string diskRemainingText(const DiskUsage& disk) {
    return "残り " + formatBytes(diskRemaining(disk));
}

std::string diskAlertText(double alertThreshold) {
    return "使用率がしきい値（" + std::to_string(percentKey(alertThreshold, 0)) +
           "%）を超えています";
}

std::string diskUsageText(const DiskUsage& disk) {
    return formatBytes(disk.used) + " / " + formatBytes(disk.total) + " 使用中";
}

} // namespace trovimo::texts
