#pragma once
// Disabled controls that keep what they show legible.

#include "analysis/contrast.h"

class QWidget;

namespace lumo {

// Disabled children of `w` draw their texts and check marks dark enough to be
// read against the disabled background (at least ReadableContrast), while
// their background still shows that they cannot be changed.
void readableWhenDisabled(QWidget* w);

} // namespace lumo
