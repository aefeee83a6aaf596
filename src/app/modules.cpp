#include "app/modules.h"

#include "analysis/ui/tzuany.h"
#include "comparison/ui/tznoise.h"
#include "comparison/ui/tzucmp.h"
#include "comparison/ui/tzumut.h"
#include "knowledge/ui/tzuadv.h"
#include "measurement/ui/tsyspt.h"
#include "measurement/ui/tzudec.h"
#include "measurement/ui/tzuloc.h"
#include "measurement/ui/tzumnu.h"
#include "records/ui/tzufile.h"
#include "records/ui/tzuread.h"
#include "records/ui/tzusave.h"
#include "shell/sharedstate.h"
#include "shell/ui/tzucust.h"
#include "treatment/ui/tzuprof.h"
#include "widgets/modal.h"

namespace lumo {

// The screens the measurement screen opens.
MeasurementLinks measurementLinks(SharedState& s)
{
    MeasurementLinks links;
    links.save = [&s](QWidget* parent) {
        TZusave screen(s, parent);
        execModal(screen);
    };
    links.browse = [&s](QWidget* parent) {
        TZuread browser(s, TZuread::LoadMode::MeasurementScreen, parent);
        browser.measurementEditor = [&s, &browser](MeasurementRow& row) {
            TZumnu editor(TZumnu::Mode::Change, s, &row, &browser);
            execModal(editor);
        };
        execModal(browser);
    };
    links.analysis = [&s](QWidget* parent) {
        TZuany screen(s, parent);
        if (screen.valid()) execModal(screen);
    };
    links.manualEntry = [&s](QWidget* parent) {
        TZumnu screen(TZumnu::Mode::Add, s, nullptr, parent);
        execModal(screen);
    };
    links.compare = [&s](QWidget* parent) {
        TZuCmp screen(s, parent);
        execModal(screen);
    };
    return links;
}

ModuleTable standardModules()
{
    ModuleTable t;
    t[Module::Measurement] = [](SharedState& s, QWidget* parent) -> QDialog* {
        if (!s.instrument) return nullptr;
        return new TZudec(s, *s.instrument, measurementLinks(s), parent);
    };
    t[Module::MultiComparison] = [](SharedState& s, QWidget* parent) { return new TZumut(s, parent); };
    t[Module::Explanation] = [](SharedState& s, QWidget* parent) { return new TZuadv(s, parent); };
    t[Module::Locating] = [](SharedState& s, QWidget* p) -> QDialog* {
        return s.instrument ? new TZuLoc(s, *s.instrument, p) : nullptr;
    };
    t[Module::Calibration] = [](SharedState& s, QWidget* p) -> QDialog* {
        return s.instrument ? new TSyspt(s, *s.instrument, p) : nullptr;
    };
    t[Module::TreatmentPrograms] = [](SharedState& s, QWidget* p) -> QDialog* {
        return s.MainDatabase ? new TZuProf(s, p) : nullptr;
    };
    t[Module::UserSettings] = [](SharedState& s, QWidget* parent) { return new TZuCust(s, parent); };
    t[Module::FileTransfer] = [](SharedState& s, QWidget* p) { return new TZuFile(s, p); };
    t[Module::NoiseFigures] = [](SharedState& s, QWidget* p) { return new TZuNoise(s, p); };
    return t;
}

Permission modulePermission(Module m)
{
    switch (m) {
    case Module::Measurement:
        return Permission::Measure;
    case Module::MultiComparison:
        return Permission::Compare;
    case Module::Locating:
    case Module::Explanation:
        return Permission::Knowledge;
    case Module::TreatmentPrograms:
        return Permission::Treatment;
    case Module::Calibration:
        return Permission::Calibrate;
    case Module::FileTransfer:
        return Permission::Import;
    case Module::UserSettings:
        return Permission::Settings;
    case Module::NoiseFigures:
        return Permission::Analyse;
    }
    return Permission::Operators;
}

} // namespace lumo
