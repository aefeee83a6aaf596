#pragma once
// The one place where the operations on records that leave or enter the
// practice (a subject's records exported, subjects imported from a
// spreadsheet, subjects merged and a merge undone) meet the practice's
// operators: whether the one at the keyboard may run the operation, and the
// audit log's entry of what it did. Without operators and roles every
// operation is allowed and nothing is logged; practice mode fills this in.

#include "base/status.h"
#include "practice/audit.h"

#include <QString>
#include <functional>

namespace lumo {

struct SharedState;

enum class RecordOperation
{
    ExportSubject,  // 匯出個人資料
    ImportSubjects, // 匯入受測者清單
    MergeSubjects,  // 合併受測者
    UndoMerge       // 復原合併
};

// Runs `work` when the operation is allowed, and records its outcome; the
// refusal or the work's failure comes back as the status. `detail` names what
// the operation touched (a subject number, a file), for the log; `work` may
// name more in the entry it is given (what it took, where it wrote). The
// operations that change the database run with their entry in one
// transaction; a failure is logged after it was undone.
Status runRecordOperation(SharedState& state, RecordOperation op, const QString& detail,
                          const std::function<Status(AuditEntry&)>& work);

} // namespace lumo
