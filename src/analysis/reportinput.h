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
// with it; nothing when the measurement cannot be analysed (error set).
std::optional<ReportContext> reportContext(SharedState& state, const QString& options, const QString& treatmentRecord,
                                           QString* error);

} // namespace lumo
