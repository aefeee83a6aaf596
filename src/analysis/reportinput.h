#pragma once
// Everything a printed report of the current measurement reads, gathered from
// the shared state and the databases.

#include "analysis/report.h"
#include "shell/sharedstate.h"

#include <memory>
#include <optional>

namespace lumo {

struct ReportContext
{
    std::unique_ptr<KnowledgeTexts> knowledge;
    ReportInput input;
};

// The analysis of the current measurement and everything the report prints
// with it. A measurement the analysis refuses gives a context whose input
// carries the refusal (the report prints "無法分析" instead of verdicts);
// `error` is kept for callers that want to know why nothing could be built.
std::optional<ReportContext> reportContext(SharedState& state, const QString& options,
                                           const QString& treatmentRecord, QString* error);

// The same for a stored measurement of a subject, leaving the shared state's
// current measurement and subject as they are.
std::optional<ReportContext> reportContext(SharedState& state, const SubjectRow& subject, const EnergySet& energy,
                                           const QString& options, const QString& treatmentRecord, QString* error);

} // namespace lumo
