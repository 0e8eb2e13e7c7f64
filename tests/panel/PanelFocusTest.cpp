#include "panel/PanelFocus.h"

#include <gtest/gtest.h>

namespace trovimo {
namespace {

TEST(PanelFocus, KeysOnlyWithoutOtherModifiers) {
    struct Row {
        int key;
        Qt::KeyboardModifiers modifiers;
        PanelKeyCommand command;
    };
    const Row rows[] = {
        {Qt::Key_Backtab, Qt::ShiftModifier, PanelKeyCommand::previous},
        {Qt::Key_Enter, Qt::KeypadModifier, PanelKeyCommand::press},
        {Qt::Key_F10, Qt::ShiftModifier, PanelKeyCommand::openMenu},
        {Qt::Key_F10, Qt::NoModifier, PanelKeyCommand::none},
        {Qt::Key_Down, Qt::ControlModifier, PanelKeyCommand::none},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(panelKeyCommand(row.key, row.modifiers), row.command) << row.key;
    }
}

TEST(PanelFocus, StaysOnItsItemWhileBlocksComeAndGo) {
    const PanelItem clock = Block::clock;
    const PanelItem cpu = Block::cpu;
    const PanelItem gpu = Block::gpu;
    const PanelItem pin = PanelControl::pin;
    PanelFocus focus;
    EXPECT_TRUE(focus.setItems({clock, cpu, gpu, pin}));
    EXPECT_EQ(focus.current(), clock);
    EXPECT_TRUE(focus.move(PanelKeyCommand::next));
    EXPECT_EQ(focus.current(), cpu);

    // The badge appears above: still on the CPU.
    EXPECT_FALSE(focus.setItems({PanelNotice::updateBadge, clock, cpu, gpu, pin}));
    // The CPU is switched off: the block that took its place.
    EXPECT_TRUE(focus.setItems({PanelNotice::updateBadge, clock, gpu, pin}));
    EXPECT_EQ(focus.current(), gpu);

    // The ends hold.
    EXPECT_TRUE(focus.move(PanelKeyCommand::last));
    EXPECT_FALSE(focus.move(PanelKeyCommand::next));
    EXPECT_EQ(focus.current(), pin);
    EXPECT_TRUE(focus.setItems({clock}));
    EXPECT_EQ(focus.current(), clock);
    EXPECT_FALSE(focus.move(PanelKeyCommand::previous));
}

} // namespace
} // namespace trovimo
