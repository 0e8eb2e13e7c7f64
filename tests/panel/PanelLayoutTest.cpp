#include "panel/PanelLayout.h"
#include "panel/ClockFormatter.h"
#include "panel/ContextMenuModel.h"
#include "panel/FramePlan.h"
#include "panel/PanelTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

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
    settings.shown = {};
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

bool hasText(const PanelLayoutResult& layout, const QString& wanted) {
    return test::findText(layout, wanted) != nullptr;
}

// Every combination of the block switches: blocks in the table's order, one divider between
// consecutive shown blocks (never above the first, never at the bottom), the empty state exactly
// when nothing is on. The core bars' switch flips along and must change nothing.
TEST(PanelLayout, BlocksAndDividersForEveryCombination) {
    const Theme theme = Theme::light();
    for (unsigned mask = 0; mask < 1U << blockCount; ++mask) {
        SCOPED_TRACE(mask);
        DisplaySettings settings = allOff();
        std::vector<PanelBlock> expected;
        for (const BlockRow& row : blockTable) {
            const bool shown = (mask & (1U << blockIndex(row.block))) != 0;
            settings.shown.set(row.block, shown);
            if (shown) {
                expected.emplace_back(row.block);
            }
        }
        settings.detailed.set(Block::cpu, mask % 3 == 0);
        const PanelLayoutResult layout = layoutPanel(inputsWith(settings), theme);
        if (expected.empty()) {
            expected.emplace_back(PanelNotice::emptyState);
        }
        EXPECT_EQ(layout.blocks, expected);
        const auto lines = dividers(layout);
        EXPECT_EQ(lines.size(), expected.size() - 1);
        for (const DividerElement& line : lines) {
            EXPECT_GT(line.rect.top(), PanelMetrics::padding);
            EXPECT_LT(line.rect.bottom(), layout.size.height() - PanelMetrics::padding);
        }
        EXPECT_EQ(hasText(layout, QStringLiteral("表示項目がありません\n右クリック → 設定…")),
                  mask == 0);
        EXPECT_EQ(layout.secondsBar.has_value(), settings.shows(Block::clock));
    }
}

TEST(PanelLayout, RequiredUpdateBadgeSitsAboveEmptyStateWithItsDivider) {
    const Theme theme = Theme::light();
    PanelInputs inputs = inputsWith(allOff());
    inputs.update = {PanelUpdateStatus::Kind::required, QStringLiteral("2.0"),
                     QUrl(QStringLiteral("https://example.org/update"))};
    const PanelLayoutResult layout = layoutPanel(inputs, theme);
    EXPECT_EQ(layout.blocks,
              (std::vector<PanelBlock>{PanelNotice::updateBadge, PanelNotice::emptyState}));
    ASSERT_EQ(dividers(layout).size(), 1u);
    EXPECT_TRUE(hasText(layout, QStringLiteral("要アップデート v2.0")));
    const auto badge =
        std::find_if(layout.hitRegions.begin(), layout.hitRegions.end(), [](const HitRegion& hit) {
            return hit.action == PanelAction::openUpdatePage;
        });
    ASSERT_NE(badge, layout.hitRegions.end());
    EXPECT_LT(badge->rect.bottom(), dividers(layout)[0].rect.top());

    inputs.update.kind = PanelUpdateStatus::Kind::optional;
    const PanelLayoutResult optional = layoutPanel(inputs, theme);
    EXPECT_EQ(optional.blocks, std::vector<PanelBlock>{PanelNotice::emptyState});
    EXPECT_TRUE(dividers(optional).empty());
}

// The controls appear while the pointer is inside, take no space, and the pin says which
// level the window is at.
TEST(PanelLayout, HoverControlsFollowHoverAndAlwaysOnTop) {
    const Theme theme = Theme::light();
    PanelInputs inputs = inputsWith(DisplaySettings{});
    const PanelLayoutResult idle = layoutPanel(inputs, theme);
    EXPECT_TRUE(idle.hitRegions.empty());
    inputs.hovering = true;
    struct Case {
        bool alwaysOnTop;
        Symbol symbol;
        QString toolTip;
    };
    const Case cases[] = {
        {true, Symbol::pinned, QStringLiteral("最前面に表示中（クリックでデスクトップ張り付き）")},
        {false, Symbol::unpinned, QStringLiteral("デスクトップ張り付き中（クリックで最前面）")},
    };
    for (const Case& c : cases) {
        inputs.settings.alwaysOnTop = c.alwaysOnTop;
        const PanelLayoutResult hovered = layoutPanel(inputs, theme);
        ASSERT_EQ(hovered.hitRegions.size(), 2u);
        EXPECT_EQ(hovered.hitRegions[0].action, PanelAction::openSettings);
        EXPECT_EQ(hovered.hitRegions[0].toolTip, QStringLiteral("設定"));
        EXPECT_EQ(hovered.hitRegions[1].action, PanelAction::togglePin);
        EXPECT_EQ(hovered.hitRegions[1].toolTip, c.toolTip);
        EXPECT_EQ(std::get<SymbolElement>(hovered.elements.back()).symbol, c.symbol);
        EXPECT_EQ(hovered.size, idle.size);
    }
}

TEST(PanelLayout, ClockShowsLocaleTextsAndSecondsBar) {
    const Theme theme = Theme::light();
    DisplaySettings settings = allOff();
    settings.shown.set(Block::clock, true);
    PanelInputs inputs = inputsWith(settings);
    PanelLayoutResult layout = layoutPanel(inputs, theme);
    EXPECT_TRUE(hasText(layout, QStringLiteral("Sun, Dec 6")));
    EXPECT_TRUE(hasText(layout, QStringLiteral("1:05\u202FPM")) ||
                hasText(layout, QStringLiteral("1:05 PM")));
    ASSERT_TRUE(layout.secondsBar);
    const auto& bar = std::get<CapacityBarElement>(layout.elements[*layout.secondsBar]);
    EXPECT_DOUBLE_EQ(bar.gauge.fraction, 0.5);

    inputs.now = sunday - 30s; // 13:05:00
    layout = layoutPanel(inputs, theme);
    EXPECT_DOUBLE_EQ(
        std::get<CapacityBarElement>(layout.elements[*layout.secondsBar]).gauge.fraction, 0.0);

    inputs.settings.detailed.set(Block::clock, true);
    layout = layoutPanel(inputs, theme);
    EXPECT_TRUE(hasText(layout, QStringLiteral("Sun, Dec 6, 2026")));
}

TEST(PanelLayout, TextsStayInsideTheColumn) {
    const Theme theme = Theme::dark();
    PanelInputs inputs = inputsWith(DisplaySettings{});
    inputs.settings.shown.set(Block::self, true);
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

// Locale patterns and hour cycles; the texts are formatted once a minute, and any other
// minute, later or earlier, is a new text.
TEST(ClockFormatter, FollowsTheLocaleAndTurnsWithTheMinuteEitherWay) {
    const std::unique_ptr<icu::TimeZone> utc(icu::TimeZone::createTimeZone("UTC"));
    const ClockFormatter clock(icu::Locale("ja_JP"), utc.get());
    EXPECT_EQ(clock.dateText(sunday, true), QStringLiteral("2026年12月6日(日)"));
    EXPECT_EQ(ClockFormatter(icu::Locale("de_DE"), utc.get()).timeText(sunday),
              QStringLiteral("13:05"));
    EXPECT_EQ(utcEnglish().secondOfMinute(sunday), 30);
    EXPECT_EQ(utcEnglish().secondOfMinute(std::chrono::system_clock::time_point{-1s}), 59);
    const auto minuteStart = sunday - 30s; // 13:05:00
    EXPECT_EQ(clock.timeText(minuteStart), QStringLiteral("13:05"));
    EXPECT_EQ(clock.timeText(minuteStart + 59s + 999ms), QStringLiteral("13:05"));
    EXPECT_EQ(clock.timeText(minuteStart + 60s), QStringLiteral("13:06"));
    EXPECT_EQ(clock.timeText(minuteStart - 1ms), QStringLiteral("13:04"));
    EXPECT_EQ(clock.dateText(sunday, false), QStringLiteral("12月6日(日)"));
    EXPECT_EQ(clock.dateText(sunday + 11h, false), QStringLiteral("12月7日(月)"));
    EXPECT_EQ(clock.dateText(sunday, false), QStringLiteral("12月6日(日)"));
}

// Top to bottom: the update when there is one, the window switches as the settings stand,
// settings and about, the other apps (marked when not installed), quit.
TEST(ContextMenu, ItemsFollowTheUpdateTheSettingsAndTheLauncher) {
    DisplaySettings settings;
    settings.snapToEdges = false;
    QPixmap pixels(16, 16);
    pixels.fill(Qt::red);
    const std::vector<LauncherMenuEntry> launcher{
        {QStringLiteral("Hoshizora"), QStringLiteral("星空観測ノート"), QIcon(pixels)},
        {QStringLiteral("Kumo"), QStringLiteral("天気メモ"), QIcon()},
    };
    const auto items = contextMenuItems(
        {PanelUpdateStatus::Kind::optional, QStringLiteral("1.4.2"), {}}, settings, launcher);
    QStringList shown;
    for (const ContextMenuItem& item : items) {
        shown << (item.kind == ContextMenuItem::Kind::separator
                      ? QStringLiteral("---")
                      : item.title + (item.checked ? QStringLiteral(" [x]") : QString()) +
                            (item.hasIcon ? QStringLiteral(" [icon]") : QString()));
    }
    EXPECT_EQ(
        shown.join(QLatin1Char('|')),
        QStringLiteral("新しいバージョン v1.4.2 があります…|---|最前面に表示 [x]|画面端に吸着|"
                       "設定…|Trovimo について|---|Hoshizora — 星空観測ノート [icon]|"
                       "Kumo — 天気メモ（未インストール）|---|Trovimo を終了"));
    EXPECT_EQ(items[8].launcherIndex, 1);
    EXPECT_EQ(contextMenuItems({}, settings, {}).size(), 7u) << "up to date: no update item";

    // With other machines listed, "表示するマシン" comes first, the one shown checked.
    const auto withMachines = contextMenuItems(
        {}, settings, {}, {{QStringLiteral("NAS"), QStringLiteral("ビルド機")}, "NAS"});
    ASSERT_EQ(withMachines.size(), 9u);
    EXPECT_EQ(withMachines[0].title, QStringLiteral("表示するマシン"));
    QStringList choices;
    for (const ContextMenuItem& item : withMachines[0].children) {
        choices << item.title + (item.checked ? QStringLiteral(" [x]") : QString()) + "=" +
                       item.machine;
    }
    EXPECT_EQ(choices.join(QLatin1Char('|')),
              QStringLiteral("このマシン=|NAS [x]=NAS|ビルド機=ビルド機"));
}

// Another machine's panel starts with its name and how its source stands; the figures it
// lacks show as on this machine's panel, and its disk has no trash share.
TEST(PanelLayout, AnotherMachinesPanelIsHeadedByItsNameAndState) {
    const Theme theme = Theme::light();
    PanelInputs inputs = inputsWith(DisplaySettings{});
    EXPECT_EQ(layoutPanel(inputs, theme).blocks.front(), PanelBlock(Block::clock));
    const std::tuple<SourceState, ColorRole, bool> states[] = {
        {SourceState::connecting, ColorRole::gray, false},
        {SourceState::fresh, ColorRole::green, false},
        {SourceState::unreachable, ColorRole::red, true},
    };
    for (const auto& [state, dot, unreachable] : states) {
        StatsSnapshot& stats = test::stats(inputs);
        stats.sourceName = QStringLiteral("NAS");
        stats.sourceState = state;
        stats.disk = DiskUsage{600, 1000, 100, std::nullopt};
        const PanelLayoutResult layout = layoutPanel(inputs, theme);
        ASSERT_EQ(layout.blocks.front(), PanelBlock(PanelNotice::sourceLine));
        EXPECT_EQ(layout.blocks[1], PanelBlock(Block::clock));
        const auto [first, last] = layout.blockElements.front();
        const auto* shown = std::get_if<DotElement>(&layout.elements[first]);
        ASSERT_NE(shown, nullptr);
        EXPECT_EQ(shown->color, dot);
        EXPECT_TRUE(hasText(layout, QStringLiteral("NAS")));
        EXPECT_EQ(hasText(layout, QStringLiteral("接続できません")), unreachable);
        EXPECT_EQ(dividers(layout).size(), 6u) << "one more, below the machine's line";
        EXPECT_TRUE(std::none_of(layout.elements.begin(), layout.elements.end(), [](auto& e) {
            const auto* text = std::get_if<TextElement>(&e);
            return text != nullptr && text->text.startsWith(QStringLiteral("解放可"));
        }));
        EXPECT_GT(last, first);
    }
}

// The plan repaints nothing for the same inputs, only a changed value's own area when a figure
// moves, and everything when a block comes or goes.
TEST(FramePlan, RepaintsWhatChanged) {
    const Theme theme = Theme::light();
    PanelInputs inputs = inputsWith(DisplaySettings{});
    test::stats(inputs).cpu = CPULoad{0.45, {0.45}};
    const PanelLayoutResult shown = layoutPanel(inputs, theme);
    const FramePlan same = planFrame(shown, inputs, theme);
    EXPECT_FALSE(same.changed || same.rearranged);
    EXPECT_TRUE(same.damage.isEmpty());

    test::stats(inputs).cpu = CPULoad{0.47, {0.47}};
    const FramePlan moved = planFrame(shown, inputs, theme);
    EXPECT_TRUE(moved.changed);
    EXPECT_FALSE(moved.rearranged);
    const TextElement* before = test::findText(shown, QStringLiteral("45%"));
    ASSERT_NE(before, nullptr);
    EXPECT_TRUE(moved.damage.contains(before->rect.center().toPoint()));
    const TextElement* memory = test::findText(shown, QStringLiteral("メモリ"));
    ASSERT_NE(memory, nullptr);
    EXPECT_FALSE(moved.damage.intersects(memory->rect.toAlignedRect()));

    inputs.settings.shown.erase(Block::gpu);
    const FramePlan fewer = planFrame(shown, inputs, theme);
    EXPECT_TRUE(fewer.rearranged && fewer.changed);
    EXPECT_LT(fewer.frame.size.height(), shown.size.height());
}

} // namespace
} // namespace trovimo
