#include "records/operationhook.h"

#include "practice/audit.h"
#include "practice/roles.h"
#include "shell/sharedstate.h"

namespace lumo {
namespace {

QString actionOf(RecordOperation op)
{
    switch (op) {
    case RecordOperation::ExportSubject:
        return QStringLiteral("export.subject");
    case RecordOperation::ImportSubjects:
        return QStringLiteral("import.subjects");
    case RecordOperation::MergeSubjects:
        return QStringLiteral("merge");
    case RecordOperation::UndoMerge:
        return QStringLiteral("merge.undo");
    }
    return {};
}

Permission permissionOf(RecordOperation op)
{
    switch (op) {
    case RecordOperation::ExportSubject:
        return Permission::ExportSubject;
    case RecordOperation::ImportSubjects:
        return Permission::Import;
    case RecordOperation::MergeSubjects:
    case RecordOperation::UndoMerge:
        return Permission::Merge;
    }
    return Permission::Merge;
}

// The subject the operation concerns, where `detail` names one rather than a file.
bool namesSubject(RecordOperation op)
{
    return op != RecordOperation::ImportSubjects;
}

} // namespace

Status runRecordOperation(SharedState& state, RecordOperation op, const QString& detail,
                          const std::function<Status(AuditEntry&)>& work)
{
    // The operator's role is checked before the work: a refusal runs nothing
    // and writes nothing, not even a log entry, as nothing was done.
    if (const Permission p = permissionOf(op); !allowed(state.Session, p))
        return Status::failure(refusalReason(p));
    AuditEntry entry{actionOf(op), namesSubject(op) ? detail : QString(), 0,
                     namesSubject(op) ? QString() : detail};
    // An export changes nothing in the database: its entry follows the folder.
    const Status done =
        op == RecordOperation::ExportSubject ? work(entry) : auditedChange(state, entry, work);
    if (done && op != RecordOperation::ExportSubject) return done;
    // A failure is logged either way: a failed export may still have left
    // part of a subject's records somewhere, a refused import was tried.
    if (!done) entry.detail += QString::fromUtf8("（失敗：%1）").arg(done.error);
    const Status logged = audit(state, entry);
    if (!done) return done;
    return logged;
}

} // namespace lumo
