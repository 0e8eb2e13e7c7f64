#pragma once

// The settings and about windows as assistive technology should see them: dialogs (a plain
// QWidget window comes through as a "filler"), and the settings' threshold slider as the
// percentage it sets (50 to 95 in steps of 5) rather than its position (0 to 9). Registers an
// accessibility factory; idempotent. Changes nothing on screen.
namespace trovimo {

void installWindowAccessibility();

} // namespace trovimo
