#include "panel/PanelLayout.h"

#include "panel/ClockFormatter.h"
#include "panel/Sections.h"
#include "panel/SourceLine.h"

#include <algorithm>

namespace trovimo {
namespace {

constexpr double rowSpacing = 8.0; // between the items of a row with default spacing
constexpr double hoverSymbolSize = 9.0;

// Appends `section` at `y` and returns the y below it.
double place(PanelLayoutResult& result, SectionLayout section, double x, double y) {
    const std::size_t first = result.elements.size();
    for (PanelElement& element : section.elements) {
        translateElement(element, QPointF(x, y));
        result.elements.push_back(std::move(element));
    }
    result.blockElements.emplace_back(first, result.elements.size());
    return y + section.height;
}

SectionLayout layoutUpdateBadge(const PanelUpdateStatus& update, const Theme& theme, double width,
                                std::vector<HitRegion>& hits) {
    SectionLayout out;
    const FontSpec font{TextStyle::caption, QFont::Medium};
    constexpr double symbolSize = 9.0;
    constexpr double symbolBox = 11.0;
    const double ascent = theme.ascent(font);
    const double height = std::max(theme.lineHeight(font), symbolBox);
    const double baseline = (height - theme.lineHeight(font)) / 2.0 + ascent;
    const double symbolTop = (height - symbolBox) / 2.0;
    out.elements.push_back(SymbolElement{QRectF(0, symbolTop, symbolBox, symbolBox), Symbol::alert,
                                         symbolSize, ColorRole::red});
    const double textLeft = symbolBox + 4.0;
    const double textRight = width - symbolBox - 4.0;
    TextElement text;
    text.rect = QRectF(textLeft, 0, std::max(0.0, textRight - textLeft), height);
    text.baseline = baseline;
    text.text = QStringLiteral("要アップデート v") + update.latestVersion;
    text.font = font;
    text.color = ColorRole::red;
    out.elements.push_back(std::move(text));
    out.elements.push_back(SymbolElement{QRectF(width - symbolBox, symbolTop, symbolBox, symbolBox),
                                         Symbol::openPage, symbolSize, ColorRole::red});
    out.height = height;
    hits.push_back({QRectF(0, 0, width, height), PanelAction::openUpdatePage, QString()});
    return out;
}

SectionLayout layoutClock(const PanelInputs& inputs, const Theme& theme, double width,
                          std::size_t& secondsBarIndex) {
    const ClockFormatter& clock = inputs.clock ? *inputs.clock : ClockFormatter::shared();
    SectionLayout out;
    const FontSpec dateFont{TextStyle::caption};
    const FontSpec timeFont{TextStyle::title2, QFont::DemiBold, true, true};
    const QString time = clock.timeText(inputs.now);
    const double baseline = std::max(theme.ascent(dateFont), theme.ascent(timeFont));
    const double rowHeight =
        std::max(baseline + theme.descent(dateFont), baseline + theme.descent(timeFont));
    const double timeWidth = std::min(width, std::ceil(theme.textWidth(time, timeFont)));

    TextElement date;
    date.rect = QRectF(0, 0, std::max(0.0, width - timeWidth - rowSpacing), rowHeight);
    date.baseline = baseline;
    date.text = clock.dateText(inputs.now, inputs.settings.showClockYear());
    date.font = dateFont;
    date.color = ColorRole::secondary;
    date.minimumScale = 0.8;
    out.elements.push_back(std::move(date));

    TextElement timeText;
    timeText.rect = QRectF(width - timeWidth, 0, timeWidth, rowHeight);
    timeText.baseline = baseline;
    timeText.text = time;
    timeText.font = timeFont;
    timeText.color = ColorRole::primary;
    timeText.alignment = Qt::AlignRight;
    out.elements.push_back(std::move(timeText));

    const double barTop = rowHeight + 5.0;
    const int second = clock.secondOfMinute(inputs.now);
    secondsBarIndex = out.elements.size();
    out.elements.push_back(CapacityBarElement{QRectF(0, barTop, width, CapacityBar::height),
                                              CapacityBar{second / 60.0, CapacityLevel::normal}});
    out.height = barTop + CapacityBar::height;
    return out;
}

SectionLayout layoutEmptyState(const Theme& theme, double width) {
    SectionLayout out;
    TextElement text;
    text.text = QStringLiteral("表示項目がありません\n右クリック → 設定…");
    text.font = FontSpec{TextStyle::caption};
    text.color = ColorRole::secondary;
    text.alignment = Qt::AlignHCenter;
    text.wrap = true;
    const double height = theme.wrappedHeight(text.text, text.font, width);
    text.rect = QRectF(0, 0, width, height);
    out.elements.push_back(std::move(text));
    out.height = height;
    return out;
}

void addHoverControls(PanelLayoutResult& result, bool alwaysOnTop) {
    for (HitRegion& control : hoverControls(alwaysOnTop)) {
        const Symbol symbol = control.action == PanelAction::openSettings ? Symbol::settings
                              : alwaysOnTop                               ? Symbol::pinned
                                                                          : Symbol::unpinned;
        result.elements.push_back(
            SymbolElement{control.rect, symbol, hoverSymbolSize, ColorRole::secondary});
        result.hitRegions.push_back(std::move(control));
    }
}

} // namespace

std::array<HitRegion, 2> hoverControls(bool alwaysOnTop) {
    constexpr double inset = 4.0;
    constexpr double side = hoverSymbolSize + 2 * 4.0; // the symbol padded by 4 on every side
    const QRectF pin(PanelMetrics::width - inset - side, inset, side, side);
    const QRectF gear = pin.translated(-side, 0);
    return {{{gear, PanelAction::openSettings, QStringLiteral("設定")},
             {pin, PanelAction::togglePin,
              alwaysOnTop ? QStringLiteral("最前面に表示中（クリックでデスクトップ張り付き）")
                          : QStringLiteral("デスクトップ張り付き中（クリックで最前面）")}}};
}

PanelLayoutResult layoutPanel(const PanelInputs& inputs, const Theme& theme) {
    PanelLayoutResult result;
    const DisplaySettings& settings = inputs.settings;
    constexpr double x = PanelMetrics::padding;
    constexpr double width = PanelMetrics::columnWidth;
    double y = PanelMetrics::padding;
    bool first = true;

    // Every item of the column (blocks and dividers) is 10 below the previous one.
    const auto advance = [&]() {
        if (!first) {
            y += PanelMetrics::blockSpacing;
        }
        first = false;
    };
    const auto divider = [&]() {
        advance();
        // Blocks are as tall as their fonts make them; a hairline between whole pixels
        // would be smeared over two rows.
        y = std::ceil(y);
        result.elements.push_back(DividerElement{QRectF(x, y, width, 1.0)});
        y += 1.0;
    };

    if (inputs.stats->sourceState != SourceState::local) {
        advance();
        result.blocks.emplace_back(PanelNotice::sourceLine);
        y = place(result, layoutSourceLine(*inputs.stats, theme, width), x, y);
        divider();
    }

    if (inputs.update.kind == PanelUpdateStatus::Kind::required) {
        advance();
        std::vector<HitRegion> hits;
        SectionLayout badge = layoutUpdateBadge(inputs.update, theme, width, hits);
        for (HitRegion& hit : hits) {
            hit.rect.translate(x, y);
            result.hitRegions.push_back(hit);
        }
        result.blocks.emplace_back(PanelNotice::updateBadge);
        y = place(result, std::move(badge), x, y);
        divider();
    }

    bool anyShown = false;
    if (settings.shows(Block::clock)) {
        advance();
        std::size_t secondsBar = 0;
        SectionLayout clock = layoutClock(inputs, theme, width, secondsBar);
        result.secondsBar = result.elements.size() + secondsBar;
        result.blocks.emplace_back(Block::clock);
        y = place(result, std::move(clock), x, y);
        anyShown = true;
    }

    for (const SectionRow& section : sectionTable()) {
        if (!settings.shows(section.block)) {
            continue;
        }
        if (anyShown) {
            divider();
        }
        advance();
        result.blocks.emplace_back(section.block);
        y = place(result, section.layout(inputs, theme, width), x, y);
        anyShown = true;
    }

    if (!anyShown) {
        advance();
        result.blocks.emplace_back(PanelNotice::emptyState);
        y = place(result, layoutEmptyState(theme, width), x, y);
    }

    result.size = QSizeF(PanelMetrics::width, std::ceil(y + PanelMetrics::padding));
    if (inputs.hovering) {
        addHoverControls(result, settings.alwaysOnTop);
    }
    return result;
}

} // namespace trovimo
