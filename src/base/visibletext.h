#pragma once
// Text from a file someone handed us, shown so that nothing in it hides:
// control characters, invisible and direction-changing characters and runs
// of blanks are written as marks the reader can see. A name padded with
// thousands of blanks or forty line breaks then takes one short mark, and
// what follows it (a command line) stays in view.

#include <QString>

namespace lumo {

// Each character a reader cannot see becomes a mark in ⟨ ⟩: line breaks
// "⟨換行⟩", carriage returns "⟨歸位⟩", tabs "⟨定位⟩", any other "⟨U+XXXX⟩";
// a run of the same one "⟨換行×40⟩"; a run of two or more blanks
// "⟨空白×N⟩". The brackets themselves are marked too, so no text can pass
// for a mark. maxChars > 0 cuts a longer result and says how long it was.
QString visibleText(const QString& text, int maxChars = 0);

} // namespace lumo
