#include "panel/NetworkSection.h"

#include "panel/SectionConventions.h"
#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"
#include "panel/SpokenTexts.h"

namespace trovimo {
namespace {

constexpr std::string_view networkLabel = "ネットワーク";

using namespace sections;

constexpr double rowSpacing = 4.0;

} // namespace

SectionLayout layoutNetworkSection(const PanelInputs& inputs, const Theme& theme, double width) {
    const StatsSnapshot& stats = *inputs.stats;
    SectionLayout out;

    std::optional<TextElement> detail;
    if (stats.networkInfo) {
        TextElement text;
        text.text = QString::fromStdString(stats.networkInfo->detailText());
        text.font = caption2Font();
        text.color = ColorRole::secondary;
        detail = std::move(text);
    }
    double y = appendSectionHeader(out, theme, 0.0, width, qtext(networkLabel), std::move(detail));

    // Before the first throughput sample both rows read 0 B/s.
    const double download = stats.network ? stats.network->download : 0.0;
    const double upload = stats.network ? stats.network->upload : 0.0;
    y += rowSpacing;
    y += appendRateRow(out, theme, y, width,
                       {Symbol::download, {}, rateArrowWidth, ColorRole::blue, "network.download"},
                       download, stats.downloadHistory);
    y += rowSpacing;
    y += appendRateRow(out, theme, y, width,
                       {Symbol::upload, {}, rateArrowWidth, ColorRole::orange, "network.upload"},
                       upload, stats.uploadHistory);
    out.height = y;
    return out;
}

QString spokenNetworkSection(const PanelInputs& inputs) {
    const StatsSnapshot& stats = *inputs.stats;
    QStringList parts;
    if (stats.networkInfo) {
        parts << spoken::utf8(stats.networkInfo->detailText())
                     .replace(QStringLiteral(" \u00B7 "), QStringLiteral("、"));
    }
    const auto direction = [&stats](const QString& word, double NetworkSpeed::*rateOf) {
        return word + QLatin1Char(' ') +
               (stats.network ? spoken::rate((*stats.network).*rateOf) : spoken::noData());
    };
    parts << direction(QStringLiteral("ダウンロード"), &NetworkSpeed::download)
          << direction(QStringLiteral("アップロード"), &NetworkSpeed::upload);
    return spoken::joined(parts);
}

} // namespace trovimo
