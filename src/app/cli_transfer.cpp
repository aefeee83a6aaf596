// lumo-cli export, import, export-csv and legacy-dump: the import and export
// screen's operations without questions, the research files, and a look into
// an old file for support staff.
#include "app/cli.h"

#include "base/json.h"
#include "practice/audit.h"
#include "records/legacysource.h"
#include "records/researchcsv.h"
#include "records/transferflow.h"
#include "shell/sharedstate.h"

namespace lumo {
namespace {

QString option(const QStringList& args, const QString& name)
{
    const int i = int(args.indexOf(name));
    return i >= 0 && i + 1 < args.size() ? args.at(i + 1) : QString();
}

// Answers every question with 是, except that imported programs keep their
// external commands only when asked to (the commands are printed either way,
// every hidden character marked); the success text goes to stdout, notices
// and errors to stderr.
class CommandAnswers : public MessageSource
{
public:
    CommandAnswers(CliContext& c, bool withCommands) : m_c(c), m_withCommands(withCommands) {}
    bool show(int kind, const QString& text) override
    {
        if (kind == NoteImportant)
            *m_c.out << text << Qt::endl;
        else if (kind >= NoteQuestion)
            *m_c.err << text << Qt::endl;
        return true;
    }
    bool showList(int, const QString&, const QStringList& items) override
    {
        printCommands(*m_c.err, items, m_withCommands);
        return m_withCommands;
    }
    void reportError(const QString& text) override { *m_c.err << text << Qt::endl; }

private:
    CliContext& m_c;
    bool m_withCommands;
};

int usage(CliContext& c, const char* text)
{
    *c.err << "usage: lumo-cli [--data-dir DIR] " << text << Qt::endl;
    return 2;
}

TransferGroups groupsOf(const QStringList& args)
{
    return TransferGroups{args.contains(QStringLiteral("--programs")),
                          args.contains(QStringLiteral("--records"))};
}

int runTransfer(CliContext& c, bool exporting)
{
    const QString dir = option(c.args, exporting ? QStringLiteral("--to") : QStringLiteral("--from"));
    const TransferGroups groups = groupsOf(c.args);
    if (dir.isEmpty() || !groups.any())
        return usage(c, exporting ? "export --to DEST [--programs] [--records] (at least one group)"
                                  : "import --from SRC [--programs] [--records] [--replace] [--with-commands]"
                                    " (at least one group)");
    SharedState state;
    ScriptedMessages quiet;
    if (!prepareState(c, state, quiet)) return 2;
    CommandAnswers answers(c, c.args.contains(QStringLiteral("--with-commands")));
    state.messages = &answers;
    const bool replace = c.args.contains(QStringLiteral("--replace"));
    const AuditEntry entry{exporting ? QStringLiteral("export") : QStringLiteral("import"),
                           {},
                           0,
                           exporting ? dir : transferImportAuditText(dir, replace)};
    // An import's entry is written in its own transaction, with its rows.
    TransferFlow flow(*state.MainDatabase, state.DataDirectory,
                      TransferHooks{&answers, {}, {}, {}, {}, [&] { return audit(state, entry); }});
    const TransferOutcome outcome = exporting ? flow.runExport(ExportRequest{dir, groups, false, false})
                                              : flow.runImport(ImportRequest{dir, groups, replace});
    if (!exporting) return outcome == TransferOutcome::Done ? 0 : 2;
    return logOutcome(c, state, outcome == TransferOutcome::Done ? 0 : 2, entry);
}

void writeValue(JsonWriter& w, const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        w.value(v.toBool());
        break;
    case QMetaType::LongLong:
    case QMetaType::Int:
        w.value(v.toLongLong());
        break;
    case QMetaType::Double:
        w.value(v.toDouble());
        break;
    case QMetaType::QByteArray:
        w.value(QString::fromLatin1(v.toByteArray().toHex()));
        break;
    case QMetaType::QString:
        w.value(v.toString());
        break;
    default:
        w.null();
    }
}

} // namespace

void printCommands(QTextStream& err, const QStringList& lines, bool taken)
{
    err << (taken ? QString::fromUtf8("療程含有以下外部執行程式，依 --with-commands 一併保留：")
                  : QString::fromUtf8("療程含有以下外部執行程式，已略過，療程按鈕的設定與說明一併清除"
                                      "（要保留請加 --with-commands）："))
        << Qt::endl;
    for (const QString& line : lines)
        err << "  " << line << Qt::endl;
}

int cmdExport(CliContext& c)
{
    return runTransfer(c, true);
}

int cmdImport(CliContext& c)
{
    return runTransfer(c, false);
}

int cmdExportCsv(CliContext& c)
{
    const QString dir = option(c.args, QStringLiteral("--to"));
    if (dir.isEmpty()) return usage(c, "export-csv --to DEST [--anonymous] [--custno NUMBER]");
    ResearchCsvOptions options{c.args.contains(QStringLiteral("--anonymous")),
                               option(c.args, QStringLiteral("--custno"))};
    if (c.args.contains(QStringLiteral("--custno")) && options.custNo.trimmed().isEmpty())
        return usage(c, "export-csv --to DEST [--anonymous] [--custno NUMBER]");
    SharedState state;
    ScriptedMessages quiet;
    if (!prepareState(c, state, quiet)) return 2;
    ResearchCsv csv;
    Status st = buildResearchCsv(*state.MainDatabase, options, &csv);
    if (!st) {
        *c.err << transferErrorMessage(st.error, TransferDirection::Export) << Qt::endl;
        return 2;
    }
    int osError = 0;
    if (!(st = writeResearchCsv(dir, csv, &osError))) {
        *c.err << transferFailureMessage(transferErrorText(osError, TransferDirection::Export),
                                         TransferDirection::Export)
               << Qt::endl
               << st.error << Qt::endl;
        return 2;
    }
    *c.out << TransferFlow::exportSuccess() << Qt::endl;
    return logOutcome(c, state, 0,
                      {QStringLiteral("research.export"), options.custNo, 0,
                       dir + (options.anonymous ? QStringLiteral(" --anonymous") : QString())});
}

int cmdLegacyDump(CliContext& c)
{
    const QString file = c.args.value(1);
    if (file.isEmpty() || c.args.size() > 3) return usage(c, "legacy-dump FILE [TABLE]");
    // Only the files of the earlier Windows program: this program's own are SQLite's to read.
    const FileSignature kind = fileSignature(file);
    if (kind == FileSignature::Sqlite || kind == FileSignature::Other) {
        *c.err << QString::fromUtf8("%1：不是 Access 資料庫檔案").arg(file) << Qt::endl;
        return 2;
    }
    Status st;
    auto source = openLegacySource(file, &st);
    if (!source) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    if (c.args.size() == 2) {
        for (const QString& t : source->tables())
            *c.out << t << '\n';
        return 0;
    }
    auto rows = source->open(c.args.at(2), &st);
    if (!rows) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    LegacyRow row;
    while (rows->next(&row)) {
        JsonWriter w;
        w.beginObject();
        for (int i = 0; i < rows->columns().size(); ++i) {
            w.key(rows->columns().at(i).name);
            writeValue(w, row.value(i));
        }
        w.endObject();
        *c.out << QString::fromUtf8(w.text()) << '\n';
    }
    if (!rows->error()) {
        *c.err << rows->error().error << Qt::endl;
        return 2;
    }
    // An old practice's records in clear on standard output: a copy, logged as one.
    if (const Status logged =
            auditCommand(c, {QStringLiteral("export"),
                             {},
                             0,
                             QString::fromUtf8("舊版檔案 %1 的資料表 %2").arg(file, c.args.at(2))});
        !logged) {
        *c.err << logged.error << Qt::endl;
        return 2;
    }
    return 0;
}

} // namespace lumo
