#include "analysis/reportinput.h"

#include "treatment/matching.h"

namespace lumo {

std::optional<ReportContext> reportContext(SharedState& state, const QString& options, const QString& treatmentRecord,
                                           QString* error)
{
    return reportContext(state, state.CurrentSubject, state.energy, options, treatmentRecord, error);
}

std::optional<ReportContext> reportContext(SharedState& state, const SubjectRow& subject, const EnergySet& energy,
                                           const QString& options, const QString& treatmentRecord, QString* error)
{
    QString refusal;
    auto analysis = ComputeEnergyAnalysis(energy, state.compensation, subject.SEX, &refusal);
    ReportContext c;
    if (!analysis) {
        // Printed all the same: its values and "無法分析" where the verdicts would be.
        ReportInput& in = c.input;
        in.energy = energy;
        in.subject = subject;
        in.config = &state.config;
        in.options = options;
        in.treatmentRecord = treatmentRecord;
        in.refusal = refusal;
        if (error) *error = refusal;
        return c;
    }
    c.knowledge = std::make_unique<KnowledgeTexts>(state.KnowledgeDatabase.get(),
                                                   [&state](const QString& e) { state.reportError(e); });
    ReportInput& in = c.input;
    in.analysis = *analysis;
    in.energy = energy;
    in.subject = subject;
    in.config = &state.config;
    in.options = options;
    in.lists = buildAnalysisLists(*analysis);
    in.knowledge = c.knowledge.get();
    in.treatmentRecord = treatmentRecord;
    if (state.MainDatabase) {
        in.userPrograms = MatchPrograms(*state.MainDatabase, *analysis,
                                        conditionAge(subject.DBIRTH, QDate::currentDate()), subject.SEX);
        in.programDatabase = state.MainDatabase.get();
    }
    return c;
}

} // namespace lumo
