#include "analysis/reportinput.h"

#include "treatment/matching.h"

namespace lumo {

std::optional<ReportContext> reportContext(SharedState& state, const QString& options, const QString& treatmentRecord,
                                           QString* error)
{
    auto analysis = ComputeEnergyAnalysis(state.energy, state.compensation, state.CurrentSubject.SEX, error);
    if (!analysis) return std::nullopt;
    ReportContext c;
    c.knowledge = std::make_unique<KnowledgeTexts>(state.KnowledgeDatabase.get(),
                                                   [&state](const QString& e) { state.reportError(e); });
    ReportInput& in = c.input;
    in.analysis = *analysis;
    in.energy = state.energy;
    in.subject = state.CurrentSubject;
    in.config = &state.config;
    in.options = options;
    in.lists = buildAnalysisLists(*analysis);
    in.knowledge = c.knowledge.get();
    in.treatmentRecord = treatmentRecord;
    if (state.MainDatabase) {
        in.userPrograms = MatchPrograms(*state.MainDatabase, *analysis,
                                        conditionAge(state.CurrentSubject.DBIRTH, QDate::currentDate()), state.CurrentSubject.SEX);
        in.programDatabase = state.MainDatabase.get();
    }
    return c;
}

} // namespace lumo
