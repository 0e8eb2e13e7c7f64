#include "panel/DiskActivitySection.h"

#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"
#include "panel/SpokenTexts.h"

namespace trovimo {
namespace {

constexpr std::string_view diskActivityLabel = "ディスクの読み書き";
// One character each: they lead the rate rows in the width of the network's arrows.
constexpr std::string_view readLabel = "読";
constexpr std::string_view writeLabel = "書";

} // namespace

SectionLayout layoutDiskActivitySection(const PanelInputs& inputs, const Theme& theme,
                                        double width) {
    using namespace sections;
    constexpr double rowSpacing = 4.0;
    const StatsSnapshot& stats = *inputs.stats;
    SectionLayout out;

    std::optional<TextElement> device;
    if (stats.diskActivity && !stats.diskActivity->device.empty()) {
        TextElement text;
        text.text = QString::fromStdString(stats.diskActivity->device);
        text.font = caption2Font();
        text.color = ColorRole::secondary;
        device = std::move(text);
    }
    double y =
        appendSectionHeader(out, theme, 0.0, width, qtext(diskActivityLabel), std::move(device));

    // The rates and graphs in the network rows' columns, a character in the arrows' place.
    const QString read = qtext(readLabel);
    const QString write = qtext(writeLabel);
    constexpr double leadWidth = rateArrowWidth;
    // Before the first sample (and on a home without a disk of its own) both rows read 0 B/s.
    const double readRate = stats.diskActivity ? stats.diskActivity->readBytesPerSecond : 0.0;
    const double writeRate = stats.diskActivity ? stats.diskActivity->writeBytesPerSecond : 0.0;
    y += rowSpacing;
    y += appendRateRow(out, theme, y, width,
                       {std::nullopt, read, leadWidth, ColorRole::blue, "diskActivity.read"},
                       readRate, stats.diskReadHistory);
    y += rowSpacing;
    y += appendRateRow(out, theme, y, width,
                       {std::nullopt, write, leadWidth, ColorRole::orange, "diskActivity.write"},
                       writeRate, stats.diskWriteHistory);
    out.height = y;
    return out;
}

QString spokenDiskActivitySection(const PanelInputs& inputs) {
    const std::optional<DiskActivity>& activity = inputs.stats->diskActivity;
    if (!activity) {
        return spoken::noData();
    }
    QStringList parts;
    if (!activity->device.empty()) {
        parts << spoken::utf8(activity->device);
    }
    parts << QStringLiteral("読み込み ") + spoken::rate(activity->readBytesPerSecond)
          << QStringLiteral("書き込み ") + spoken::rate(activity->writeBytesPerSecond);
    return spoken::joined(parts);
}

} // namespace trovimo
