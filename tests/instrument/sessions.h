#pragma once
// The sessions whose traces tests/instrument/traces/ holds, as code: the
// recorder (record_traces) plays them on the simulated instrument with the
// traffic traced, the replay test plays them again on the trace. A trace of
// the same session recorded with a real instrument replaces a file there.

#include "app/tzustatu.h"
#include "measurement/measuringrun.h"
#include "shell/sharedstate.h"

#include <QJsonDocument>
#include <QJsonObject>

namespace lumo::test {

// The start-up status window's check, as at the main window's first activation.
inline StartupStatus startupSession(SharedState& state, Instrument& instrument, Clock& clock)
{
    TZuStatu window(state, &instrument, clock);
    window.runCheck();
    return window.status();
}

// A measuring run of the 24 points at standard potential, as from 經絡測量.
inline void measuringSession(SharedState& state, Instrument& instrument)
{
    MeasuringView view;
    MeasuringRun run(state, instrument, view);
    run.start();
}

// What the recorded instrument was, written beside each trace by whoever
// recorded it: the recorder from the simulator's settings, by hand for a real
// instrument (its label, the practitioner's stored record).
inline QString expectationPath(const QString& tracePath)
{
    return tracePath.left(tracePath.lastIndexOf(QLatin1Char('.'))) + QStringLiteral(".json");
}

} // namespace lumo::test
