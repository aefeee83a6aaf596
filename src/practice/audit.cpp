#include "practice/audit.h"

#include "shell/sharedstate.h"

namespace lumo {

// Provisional until the log's chain lands: outside practice mode there is
// nothing to write, and in practice mode the write is refused rather than
// silently skipped.
Status audit(SharedState& state, const AuditEntry& entry)
{
    Q_UNUSED(entry);
    if (!state.Session.practiceMode) return Status::success();
    return Status::failure(QStringLiteral("audit log not available"));
}

} // namespace lumo
