// lumo-cli export-subject and import-subjects: a subject's records as a
// folder for the subject to take away, and subjects from a spreadsheet.
#include "app/cli.h"

#include "records/operationhook.h"
#include "records/subjectexport.h"
#include "records/subjectimport.h"
#include "records/subjects.h"
#include "shell/sharedstate.h"

#include <QDir>

namespace lumo {
namespace {

QString option(const QStringList& args, const QString& name)
{
    const int i = int(args.indexOf(name));
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
}

int usageImport(CliContext& c)
{
    *c.err << "usage: lumo-cli [--data-dir DIR] import-subjects --csv FILE [--map FIELD=COLUMN ...] "
              "[--skip-existing] [--dry-run]"
           << Qt::endl;
    return 2;
}

// The mapping as the screen shows it: each field and the column it takes.
void printMapping(CliContext& c, const CsvTable& table, const ColumnMapping& mapping)
{
    *c.out << QString::fromUtf8("檔案：%1，%2 分隔，%3 筆資料")
                  .arg(table.encoding, table.separator == QLatin1Char('\t') ? QStringLiteral("Tab")
                                                                            : QString::fromUtf8("逗號"))
                  .arg(table.rows.size())
           << Qt::endl;
    for (int f = 0; f < ImportFieldCount; ++f) {
        const int col = mapping[size_t(f)];
        if (col < 0) continue;
        *c.out << QString::fromUtf8("%1 (%2) ← 第 %3 欄 %4")
                      .arg(QString::fromUtf8(importFieldInfo(ImportField(f)).label),
                           QLatin1String(importFieldInfo(ImportField(f)).column))
                      .arg(col + 1)
                      .arg(table.header.value(col))
               << Qt::endl;
    }
}

void printProblems(QTextStream& to, const QVector<ImportProblem>& problems)
{
    for (const ImportProblem& p : problems)
        to << QString::fromUtf8("第 %1 行 (編號 %2)：%3").arg(p.line).arg(p.custNo, p.text) << Qt::endl;
}

} // namespace

int cmdExportSubject(CliContext& c)
{
    const QString custNo = option(c.args, QStringLiteral("--custno")).trimmed();
    const QString to = option(c.args, QStringLiteral("--to"));
    if (custNo.isEmpty() || to.isEmpty()) {
        *c.err << "usage: lumo-cli [--data-dir DIR] export-subject --custno NUMBER --to DIR2" << Qt::endl;
        return 2;
    }
    SharedState state;
    ScriptedMessages quiet;
    if (!prepareState(c, state, quiet)) return 2;
    const auto subject = SubjectStore(*state.MainDatabase).findByCustNo(custNo);
    if (!subject) {
        *c.err << QString::fromUtf8("沒有編號為 %1 的受測者").arg(custNo) << Qt::endl;
        return 2;
    }
    SubjectExportOutcome outcome;
    const Status st = runRecordOperation(state, RecordOperation::ExportSubject, custNo, [&](AuditEntry& e) {
        const Status done = exportSubjectRecords(state, *subject, to, state.config.PrintOptions, &outcome);
        e.detail = exportAuditText(*subject, done ? outcome.folder : to, outcome.measurements);
        return done;
    });
    if (!st) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    *c.out << QDir::toNativeSeparators(outcome.folder) << Qt::endl;
    return 0;
}

int cmdImportSubjects(CliContext& c)
{
    const QString path = option(c.args, QStringLiteral("--csv"));
    if (path.isEmpty()) return usageImport(c);
    CsvTable table;
    if (Status st = readCsvFile(path, &table); !st) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    ColumnMapping mapping = guessMapping(table.header);
    for (int i = 0; i < c.args.size(); ++i) {
        if (c.args[i] != QLatin1String("--map")) continue;
        if (i + 1 >= c.args.size()) return usageImport(c);
        if (Status st = applyMapping(c.args[i + 1], table.header, &mapping); !st) {
            *c.err << st.error << Qt::endl;
            return 2;
        }
    }
    SharedState state;
    ScriptedMessages quiet;
    if (!prepareState(c, state, quiet)) return 2;
    const ExistingNumbers existing =
        c.args.contains(QStringLiteral("--skip-existing")) ? ExistingNumbers::Skip : ExistingNumbers::Refuse;
    const ImportPlan plan = planSubjectImport(table, mapping, *state.MainDatabase, QDate::currentDate());
    printMapping(c, table, mapping);
    printProblems(*c.err, plan.problems);
    printProblems(existing == ExistingNumbers::Skip ? *c.out : *c.err, plan.existing);
    if (plan.sexMissing > 0)
        *c.out << QString::fromUtf8("%1 筆沒有性別，以男性儲存").arg(plan.sexMissing) << Qt::endl;
    Status st = importable(plan, existing);
    if (st && c.args.contains(QStringLiteral("--dry-run"))) {
        *c.out
            << QString::fromUtf8("試行：可以新增 %1 位受測者，沒有寫入任何資料。").arg(plan.subjects.size())
            << Qt::endl;
        return 0;
    }
    int imported = 0, skipped = 0;
    if (st)
        st = runRecordOperation(state, RecordOperation::ImportSubjects, path, [&](AuditEntry& e) {
            QStringList numbers;
            const Status done =
                importSubjects(*state.MainDatabase, plan, existing, &imported, &skipped, &numbers);
            e.detail = importAuditText(path, numbers, skipped);
            return done;
        });
    if (!st) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    *c.out << importDoneText(imported, skipped) << Qt::endl;
    return 0;
}

} // namespace lumo
