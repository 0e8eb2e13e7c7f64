#include "panel/PanelLayout.h"
#include "panel/ClockFormatter.h"
#include "panel/ContextMenuModel.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

// 2026-12-06 13:05:30 UTC, a Sunday.
constexpr std::chrono::system_clock::time_point sunday{1796562330s};

const ClockFormatter& utcEnglish() {
    static const std::unique_ptr<icu::TimeZone> utc(icu::TimeZone::createTimeZone("UTC"));
    static const ClockFormatter formatter(icu::Locale("en_US"), utc.get());
    return formatter;
}

PanelInputs inputsWith(DisplaySettings settings) {
    PanelInputs inputs;
    inputs.settings = settings;
    inputs.now = sunday;
    inputs.clock = &utcEnglish();
    return inputs;
}

DisplaySettings allOff() {
    DisplaySettings settings;
    settings.showClock = settings.showCPU = settings.showGPU = settings.showMemory = false;
    settings.showNetwork = settings.showDisk = settings.showSelf = false;
    return settings;
}

std::vector<DividerElement> dividers(const PanelLayoutResult& layout) {
    std::vector<DividerElement> result;
    for (const PanelElement& element : layout.elements) {
        if (const auto* divider = std::get_if<DividerElement>(&element)) {
            result.push_back(*divider);
        }
    }
    return result;
}

std::vector<const TextElement*> texts(const PanelLayoutResult& layout) {
    std::vector<const TextElement*> result;
    for (const PanelElement& element : layout.elements) {
        if (const auto* text = std::get_if<TextElement>(&element)) {
            result.push_back(text);
        }
    }
    return result;
}

bool hasText(const PanelLayoutResult& layout, const QString& wanted) {
    const auto all = texts(layout);
    return std::any_of(all.begin(), all.end(), [&](auto* t) { return t->text == wanted; });
}

// Every combination of the seven block switches: blocks in the fixed order, one divider
// between consecutive shown blocks (never above the first, never at the bottom), the empty
// state exactly when nothing is on. showCoreBars flips along and must change nothing.
TEST(PanelLayout, BlocksAndDividersForEveryCombination) {
    const Theme theme = Theme::light();
    for (int mask = 0; mask < 128; ++mask) {
        SCOPED_TRACE(mask);
        DisplaySettings settings = allOff();
        settings.showClock = mask & 1;
        settings.showCPU = mask & 2;
        settings.showGPU = mask & 4;
        settings.showMemory = mask & 8;
        settings.showNetwork = mask & 16;
        settings.showDisk = mask & 32;
        settings.showSelf = mask & 64;
        settings.showCoreBars = mask % 3 == 0;
        const PanelLayoutResult layout = layoutPanel(inputsWith(settings), theme);

        std::vector<PanelBlock> expected;
        const PanelBlock order[] = {PanelBlock::clock,  PanelBlock::cpu,     PanelBlock::gpu,
                                    PanelBlock::memory, PanelBlock::network, PanelBlock::disk,
                                    PanelBlock::self};
        for (int bit = 0; bit < 7; ++bit) {
            if (mask & (1 << bit)) {
                expected.push_back(order[bit]);
            }
        }
        if (expected.empty()) {
            expected.push_back(PanelBlock::emptyState);
        }
        EXPECT_EQ(layout.blocks, expected);
        const auto lines = dividers(layout);
        EXPECT_EQ(lines.size(), expected.size() - 1);
        for (const DividerElement& line : lines) {
            EXPECT_GT(line.rect.top(), PanelMetrics::padding);
            EXPECT_LT(line.rect.bottom(), layout.size.height() - PanelMetrics::padding);
            EXPECT_DOUBLE_EQ(line.rect.width(), PanelMetrics::columnWidth);
        }
        EXPECT_DOUBLE_EQ(layout.size.width(), 190.0);
        EXPECT_EQ(hasText(layout, QStringLiteral("表示項目がありません\n右クリック → 設定…")),
                  mask == 0);
        EXPECT_EQ(layout.secondsBar.has_value(), settings.showClock);
    }
}

TEST(PanelLayout, RequiredUpdateBadgeSitsAboveEmptyStateWithItsDivider) {
    const Theme theme = Theme::light();
    PanelInputs inputs = inputsWith(allOff());
    inputs.update = {PanelUpdateStatus::Kind::required, QStringLiteral("2.0"),
                     QUrl(QStringLiteral("https://example.org/update"))};
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    EXPECT_EQ(layout.blocks,
              (std::vector<PanelBlock>{PanelBlock::updateBadge, PanelBlock::emptyState}));
    ASSERT_EQ(dividers(layout).size(), 1u);
    EXPECT_TRUE(hasText(layout, QStringLiteral("要アップデート v2.0")));
    const auto badge =
        std::find_if(layout.hitRegions.begin(), layout.hitRegions.end(), [](const HitRegion& hit) {
            return hit.action == PanelAction::openUpdatePage;
        });
    ASSERT_NE(badge, layout.hitRegions.end());
    // The whole row reacts, spacer included.
    EXPECT_DOUBLE_EQ(badge->rect.left(), PanelMetrics::padding);
    EXPECT_DOUBLE_EQ(badge->rect.width(), PanelMetrics::columnWidth);
    EXPECT_LT(badge->rect.bottom(), dividers(layout)[0].rect.top());

    inputs.update.kind = PanelUpdateStatus::Kind::optional;
    const PanelLayoutResult optional = layoutPanel(inputs, theme);
    EXPECT_EQ(optional.blocks, std::vector<PanelBlock>{PanelBlock::emptyState});
    EXPECT_TRUE(dividers(optional).empty());
}

TEST(PanelLayout, HeightFollowsContent) {
    const Theme theme = Theme::light();
    DisplaySettings clockOnly = allOff();
    clockOnly.showClock = true;
    const double clock = layoutPanel(inputsWith(clockOnly), theme).size.height();
    const double full = layoutPanel(inputsWith(DisplaySettings{}), theme).size.height();
    const double empty = layoutPanel(inputsWith(allOff()), theme).size.height();
    EXPECT_GT(full, clock);
    EXPECT_GT(clock, 2 * PanelMetrics::padding + CapacityBar::height);
    EXPECT_GT(empty, 2 * PanelMetrics::padding);
}

TEST(PanelLayout, HoverControlsAppearOnlyWhileHovering) {
    const Theme theme = Theme::light();
    PanelInputs inputs = inputsWith(DisplaySettings{});
    const PanelLayoutResult idle = layoutPanel(inputs, theme);
    EXPECT_TRUE(idle.hitRegions.empty());
    for (const PanelElement& element : idle.elements) {
        const auto* symbol = std::get_if<SymbolElement>(&element);
        EXPECT_TRUE(symbol == nullptr ||
                    (symbol->symbol != Symbol::gearshapeFill && symbol->symbol != Symbol::pinFill));
    }

    inputs.hovering = true;
    const PanelLayoutResult hovered = layoutPanel(inputs, theme);
    ASSERT_EQ(hovered.hitRegions.size(), 2u);
    const HitRegion& gear = hovered.hitRegions[0];
    const HitRegion& pin = hovered.hitRegions[1];
    EXPECT_EQ(gear.action, PanelAction::openSettings);
    EXPECT_EQ(gear.toolTip, QStringLiteral("設定"));
    EXPECT_EQ(pin.action, PanelAction::togglePin);
    // 4 in from the top and right edges, a 9-point symbol padded by 4, no spacing.
    EXPECT_EQ(pin.rect, QRectF(190 - 4 - 17, 4, 17, 17));
    EXPECT_EQ(gear.rect, QRectF(190 - 4 - 34, 4, 17, 17));
    // Hovering takes no space.
    EXPECT_EQ(hovered.size, idle.size);
    const auto& last = std::get<SymbolElement>(hovered.elements.back());
    EXPECT_EQ(last.symbol, Symbol::pinFill);
}

TEST(PanelLayout, PinSymbolAndTooltipFollowAlwaysOnTop) {
    const Theme theme = Theme::light();
    struct Case {
        bool alwaysOnTop;
        Symbol symbol;
        QString toolTip;
    };
    const Case cases[] = {
        {true, Symbol::pinFill, QStringLiteral("最前面に表示中（クリックでデスクトップ張り付き）")},
        {false, Symbol::pinSlash, QStringLiteral("デスクトップ張り付き中（クリックで最前面）")},
    };
    for (const Case& c : cases) {
        DisplaySettings settings;
        settings.alwaysOnTop = c.alwaysOnTop;
        PanelInputs inputs = inputsWith(settings);
        inputs.hovering = true;
        const PanelLayoutResult layout = layoutPanel(inputs, theme);
        EXPECT_EQ(std::get<SymbolElement>(layout.elements.back()).symbol, c.symbol);
        EXPECT_EQ(layout.hitRegions.back().toolTip, c.toolTip);
    }
}

TEST(PanelLayout, ClockShowsLocaleTextsAndSecondsBar) {
    const Theme theme = Theme::light();
    DisplaySettings settings = allOff();
    settings.showClock = true;
    PanelInputs inputs = inputsWith(settings);
    PanelLayoutResult layout = layoutPanel(inputs, theme);
    EXPECT_TRUE(hasText(layout, QStringLiteral("Sun, Dec 6")));
    EXPECT_TRUE(hasText(layout, QStringLiteral("1:05\u202FPM")) ||
                hasText(layout, QStringLiteral("1:05 PM")));
    ASSERT_TRUE(layout.secondsBar);
    const auto& bar = std::get<CapacityBarElement>(layout.elements[*layout.secondsBar]);
    EXPECT_DOUBLE_EQ(bar.gauge.fraction, 0.5);
    EXPECT_DOUBLE_EQ(bar.rect.width(), PanelMetrics::columnWidth);

    inputs.now = sunday - 30s; // 13:05:00
    layout = layoutPanel(inputs, theme);
    const auto& stub = std::get<CapacityBarElement>(layout.elements[*layout.secondsBar]);
    EXPECT_DOUBLE_EQ(stub.gauge.fraction, 0.0);
    EXPECT_DOUBLE_EQ(stub.gauge.fillWidth(stub.rect.width()), 4.0);

    inputs.settings.showClockYear = true;
    layout = layoutPanel(inputs, theme);
    EXPECT_TRUE(hasText(layout, QStringLiteral("Sun, Dec 6, 2026")));
}

TEST(PanelLayout, TextsStayInsideTheColumn) {
    const Theme theme = Theme::dark();
    PanelInputs inputs = inputsWith(DisplaySettings{});
    inputs.settings.showSelf = true;
    inputs.update = {PanelUpdateStatus::Kind::required, QStringLiteral("10.20.30-beta.1"), {}};
    inputs.hovering = true;
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    for (const PanelElement& element : layout.elements) {
        const QRectF rect = elementRect(element);
        EXPECT_GE(rect.left(), 0.0);
        EXPECT_LE(rect.right(), PanelMetrics::width + 1e-9);
        EXPECT_LE(rect.bottom(), layout.size.height());
    }
}

TEST(ClockFormatter, FollowsLocalePatternsAndHourCycle) {
    const std::unique_ptr<icu::TimeZone> utc(icu::TimeZone::createTimeZone("UTC"));
    const ClockFormatter japanese(icu::Locale("ja_JP"), utc.get());
    EXPECT_EQ(japanese.dateText(sunday, false), QStringLiteral("12月6日(日)"));
    EXPECT_EQ(japanese.dateText(sunday, true), QStringLiteral("2026年12月6日(日)"));
    EXPECT_EQ(japanese.timeText(sunday), QStringLiteral("13:05"));
    const ClockFormatter german(icu::Locale("de_DE"), utc.get());
    EXPECT_EQ(german.timeText(sunday), QStringLiteral("13:05"));
    EXPECT_EQ(utcEnglish().secondOfMinute(sunday), 30);
    EXPECT_EQ(utcEnglish().secondOfMinute(std::chrono::system_clock::time_point{-1s}), 59);
}

// Texts are formatted once a minute; any other minute, later or earlier, is a new text.
TEST(ClockFormatter, TextsTurnWithTheMinuteInEitherDirection) {
    const std::unique_ptr<icu::TimeZone> utc(icu::TimeZone::createTimeZone("UTC"));
    const ClockFormatter clock(icu::Locale("ja_JP"), utc.get());
    const auto minuteStart = sunday - 30s; // 13:05:00
    EXPECT_EQ(clock.timeText(minuteStart), QStringLiteral("13:05"));
    EXPECT_EQ(clock.timeText(minuteStart + 59s + 999ms), QStringLiteral("13:05"));
    EXPECT_EQ(clock.timeText(minuteStart + 60s), QStringLiteral("13:06"));
    EXPECT_EQ(clock.timeText(minuteStart - 1ms), QStringLiteral("13:04"));
    EXPECT_EQ(clock.dateText(sunday, false), QStringLiteral("12月6日(日)"));
    EXPECT_EQ(clock.dateText(sunday + 11h, false), QStringLiteral("12月7日(月)"));
    EXPECT_EQ(clock.dateText(sunday + 11h, true), QStringLiteral("2026年12月7日(月)"));
    EXPECT_EQ(clock.dateText(sunday, false), QStringLiteral("12月6日(日)"));
}

TEST(ContextMenu, ItemsForEachUpdateStatus) {
    const DisplaySettings settings;
    const std::vector<LauncherMenuEntry> none;
    const auto upToDate = contextMenuItems(PanelUpdateStatus{}, settings, none);
    std::vector<QString> titles;
    for (const ContextMenuItem& item : upToDate) {
        titles.push_back(item.kind == ContextMenuItem::Kind::separator ? QStringLiteral("---")
                                                                       : item.title);
    }
    EXPECT_EQ(titles,
              (std::vector<QString>{QStringLiteral("最前面に表示"), QStringLiteral("画面端に吸着"),
                                    QStringLiteral("設定…"), QStringLiteral("Trovimo について"),
                                    QStringLiteral("---"), QStringLiteral("---"),
                                    QStringLiteral("Trovimo を終了")}));
    EXPECT_EQ(upToDate[0].kind, ContextMenuItem::Kind::toggle);
    EXPECT_TRUE(upToDate[0].checked);

    for (auto kind : {PanelUpdateStatus::Kind::optional, PanelUpdateStatus::Kind::required}) {
        const auto items = contextMenuItems({kind, QStringLiteral("1.4.2"), {}}, settings, none);
        ASSERT_GE(items.size(), 2u);
        EXPECT_EQ(items[0].title, QStringLiteral("新しいバージョン v1.4.2 があります…"));
        EXPECT_EQ(items[0].action, ContextMenuAction::openUpdatePage);
        EXPECT_EQ(items[1].kind, ContextMenuItem::Kind::separator);
        EXPECT_EQ(items.size(), upToDate.size() + 2);
    }
}

TEST(ContextMenu, ChecksFollowSettingsAndLauncherEntriesShowInstallState) {
    DisplaySettings settings;
    settings.alwaysOnTop = false;
    settings.snapToEdges = false;
    QPixmap pixels(16, 16);
    pixels.fill(Qt::red);
    const std::vector<LauncherMenuEntry> launcher{
        {QStringLiteral("Hoshizora"), QStringLiteral("星空観測ノート"), QIcon(pixels)},
        {QStringLiteral("Kumo"), QStringLiteral("天気メモ"), QIcon()},
    };
    const auto items = contextMenuItems(PanelUpdateStatus{}, settings, launcher);
    EXPECT_FALSE(items[0].checked);
    EXPECT_FALSE(items[1].checked);
    const ContextMenuItem& installed = items[5];
    const ContextMenuItem& missing = items[6];
    EXPECT_EQ(installed.title, QStringLiteral("Hoshizora — 星空観測ノート"));
    EXPECT_TRUE(installed.hasIcon);
    EXPECT_EQ(installed.launcherIndex, 0);
    EXPECT_EQ(missing.title, QStringLiteral("Kumo — 天気メモ（未インストール）"));
    EXPECT_FALSE(missing.hasIcon);
    EXPECT_EQ(missing.launcherIndex, 1);
    EXPECT_EQ(items[7].kind, ContextMenuItem::Kind::separator);
}

} // namespace
} // namespace trovimo
