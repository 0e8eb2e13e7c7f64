#include "panel/NumberRoller.h"

#include <gtest/gtest.h>

namespace trovimo {
namespace {

using namespace std::chrono_literals;

std::vector<PanelElement> value(const QString& text, const QString& key) {
    TextElement element;
    element.text = text;
    element.animation = AnimatedNumber{QStringLiteral("cpu.value"), key};
    return {element};
}

TEST(NumberRoller, RollsOnlyWhenKeyChangesWithAnimationOn) {
    const NumberRoller::Clock::time_point start{};
    NumberRoller roller;
    roller.observe(value(QStringLiteral("45%"), QStringLiteral("45")), true, start);
    EXPECT_FALSE(roller.roll(QStringLiteral("cpu.value"), start)) << "first sight: no roll";

    // 0.452 -> 0.449: same key, nothing moves.
    roller.observe(value(QStringLiteral("45%"), QStringLiteral("45")), true, start + 1s);
    EXPECT_FALSE(roller.isRolling(start + 1s));

    roller.observe(value(QStringLiteral("47%"), QStringLiteral("47")), true, start + 2s);
    const auto early = roller.roll(QStringLiteral("cpu.value"), start + 2s + 50ms);
    ASSERT_TRUE(early);
    EXPECT_EQ(early->from, QStringLiteral("45%"));
    const auto late = roller.roll(QStringLiteral("cpu.value"), start + 2s + 200ms);
    ASSERT_TRUE(late);
    // Ease-out: most of the way early on.
    EXPECT_GT(early->progress, 0.2 / 0.25 * 0.5);
    EXPECT_GT(late->progress, early->progress);
    EXPECT_FALSE(roller.roll(QStringLiteral("cpu.value"), start + 2s + 250ms));
    // Its last frame is still due just after it settles; then it is left alone.
    const QString id = QStringLiteral("cpu.value");
    EXPECT_TRUE(roller.isRecent(id, start + 2s + 100ms, 66ms));
    EXPECT_TRUE(roller.isRecent(id, start + 2s + 260ms, 66ms));
    EXPECT_FALSE(roller.isRecent(id, start + 2s + 320ms, 66ms));
    EXPECT_FALSE(roller.isRecent(QStringLiteral("gpu.value"), start + 2s + 100ms, 66ms));

    NumberRoller still;
    still.observe(value(QStringLiteral("45%"), QStringLiteral("45")), false, start);
    still.observe(value(QStringLiteral("47%"), QStringLiteral("47")), false, start + 1s);
    EXPECT_FALSE(still.isRecent(QStringLiteral("cpu.value"), start + 1s + 50ms, 66ms));
    EXPECT_FALSE(still.isRolling(start + 1s)) << "without animation the text jumps";
}

TEST(NumberRoller, TextThatLeavesThePanelStartsAfresh) {
    const NumberRoller::Clock::time_point start{};
    NumberRoller roller;
    roller.observe(value(QStringLiteral("45%"), QStringLiteral("45")), true, start);
    roller.observe({}, true, start + 1s);
    roller.observe(value(QStringLiteral("80%"), QStringLiteral("80")), true, start + 2s);
    EXPECT_FALSE(roller.isRolling(start + 2s));
}

} // namespace
} // namespace trovimo
