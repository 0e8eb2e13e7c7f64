#pragma once

// The panel is painted by hand, so assistive technology sees nothing inside it unless told:
// registers accessibility factories that present every ContentView as a window with one child
// per item (PanelAccessibleItem: the shown blocks, then the settings and pin controls, and
// the context menu while it is open), follow the keyboard focus and announce changed values
// after each layout pass; and that give checkable menu items a role that says so (Qt 6.4
// passes no "checkable" state to AT-SPI). Idempotent.
namespace trovimo {

void installPanelAccessibility();

} // namespace trovimo
