#pragma once
// Every screen runs modal to the window that opened it, not to the whole
// application: the windows it opened from wait, while a window that stands for
// something outside the program (the virtual probe panel of the simulated
// instrument, a hand on the instrument) stays usable during a measuring run.

class QDialog;

namespace lumo {

// Runs `dialog` in its own event loop until it closes; returns its result.
// A dialog without a parent has no window to be modal to and blocks them all.
int execModal(QDialog& dialog);

// What execModal does to a screen before it runs: the program's own screens
// get the shared keyboard rules (keyboard.h); Qt's standard dialogs (files,
// printing, input) keep their own keys.
void prepareScreen(QDialog& dialog);

} // namespace lumo
