#include "panel/Sections.h"

#include "panel/SectionParts.h"
#include "panel/SectionTexts.h"
#include "panel/ValueFormatting.h"

#include <algorithm>

namespace trovimo {
namespace {

using namespace sections;

constexpr double rowSpacing = 4.0;
constexpr double itemSpacing = 6.0;
constexpr double arrowBoxWidth = 10.0;
constexpr double arrowSize = 8.0;
constexpr double rateBoxWidth = 70.0;
constexpr double historyHeight = 14.0;

struct Direction {
    Symbol arrow;
    ColorRole color;
    const char* animationId;
};

// Arrow, rate text and history of one direction. Each history has its own scale, so a busy
// download does not flatten the upload graph.
double appendRateRow(SectionLayout& out, const Theme& theme, double y, double width,
                     const Direction& direction, double rate, const std::vector<double>& history) {
    const FontSpec font = captionDigitsFont();
    const double rowHeight = std::max(historyHeight, theme.lineHeight(font));
    double x = 0.0;

    out.elements.emplace_back(SymbolElement{QRectF(x, y, arrowBoxWidth, rowHeight), direction.arrow,
                                            arrowSize, direction.color});
    x += arrowBoxWidth + itemSpacing;

    // Keyed on the text itself: the roll starts exactly when what is shown changes.
    const QString text = QString::fromStdString(formatRate(rate));
    TextElement rateText =
        centredText(theme, QRectF(x, y, rateBoxWidth, rowHeight), text, font, ColorRole::primary);
    rateText.animation = AnimatedNumber{QString::fromLatin1(direction.animationId), text};
    out.elements.emplace_back(std::move(rateText));
    x += rateBoxWidth + itemSpacing;

    out.elements.emplace_back(SparklineElement{
        QRectF(x, y + (rowHeight - historyHeight) / 2.0, std::max(0.0, width - x), historyHeight),
        Sparkline{history, texts::rateScale(history), direction.color}});
    return rowHeight;
}

} // namespace

SectionLayout layoutNetworkSection(const PanelInputs& inputs, const Theme& theme, double width) {
    const StatsSnapshot& stats = inputs.stats;
    SectionLayout out;

    std::optional<TextElement> detail;
    if (stats.networkInfo) {
        TextElement text;
        text.text = QString::fromStdString(stats.networkInfo->detailText());
        text.font = caption2Font();
        text.color = ColorRole::secondary;
        detail = std::move(text);
    }
    double y =
        appendSectionHeader(out, theme, 0.0, width, qtext(texts::networkLabel), std::move(detail));

    // Before the first throughput sample both rows read 0 B/s.
    const double download = stats.network ? stats.network->download : 0.0;
    const double upload = stats.network ? stats.network->upload : 0.0;
    y += rowSpacing;
    y +=
        appendRateRow(out, theme, y, width, {Symbol::download, ColorRole::blue, "network.download"},
                      download, stats.downloadHistory);
    y += rowSpacing;
    y += appendRateRow(out, theme, y, width, {Symbol::upload, ColorRole::orange, "network.upload"},
                       upload, stats.uploadHistory);
    out.height = y;
    return out;
}

} // namespace trovimo
