#pragma once
// Pages 0 (體能狀況) and 2 (表裡對應) of the analysis screen: the indices, the
// five elements and the six meridian pairs, each with its grade and gauge, and
// the measured values.

#include "analysis/energy.h"

class QWidget;

namespace lumo {

struct SharedState;

QWidget* buildBodyPage(const EnergyAnalysis& a, const SharedState& state);
QWidget* buildPairPage(const EnergyAnalysis& a);

} // namespace lumo
