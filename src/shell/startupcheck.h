#pragma once
// The start-up check of the instrument: identification and the timed lamp
// sequence. Plain logic; the status window shows its progress.

#include "instrument/instrument.h"

#include <QString>
#include <functional>

namespace lumo {

struct StartupStatus
{
    bool ready = false; // InstrumentReady
    int model = 0;
    QString serial;
    QString hardware;
    QString message; // shown in the status bar when the check fails
    // Not attached because this user may not open the instrument: shown as no
    // instrument, told apart for support (lumo-cli instrument).
    bool accessRefused = false;
};

class StartupCheck
{
public:
    // instrument may be null (no HID access at all).
    StartupCheck(Instrument* instrument, Clock& clock) : m_instrument(instrument), m_clock(clock) {}

    StartupStatus identify();

    // The 1300 ms sequence. progress(bar, lampsOn, showTexts) is called in every pass.
    void runSequence(const StartupStatus& status, const std::function<void(int, int, bool)>& progress);

    static constexpr int SequenceMs = 1300;

private:
    Instrument* m_instrument;
    Clock& m_clock;
};

} // namespace lumo
