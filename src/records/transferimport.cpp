// The import steps of TransferFlow: the transfer file is copied into a working
// folder of the data directory with what SQLite keeps beside it, read there as
// SQLite presents it after recovery, and every change it brings is one transaction.
#include "records/transferflow.h"

#include "records/transferwork.h"
#include "shell/datadir.h"

#include <QFileInfo>

namespace lumo {
namespace {

constexpr int ImportSteps = 2; // copied in, opened

} // namespace

TransferOutcome TransferFlow::runImport(const ImportRequest& request)
{
    struct End
    {
        TransferFlow* flow;
        End(TransferFlow* f) : flow(f)
        {
            if (flow->m_hooks.running) flow->m_hooks.running(true);
        }
        ~End()
        {
            flow->m_progress.reset();
            if (flow->m_hooks.running) flow->m_hooks.running(false);
        }
    } end(this);
    if (m_hooks.tone) m_hooks.tone(2);
    if (!ask(AskImportant, importQuestion(request.replace))) return TransferOutcome::Cancelled;
    const QString directory = chosenDirectory(request.directory);
    QString source = transferFileIn(directory);
    // A file that went away after it was chosen fails the copy, with the copy's message.
    if (source.isEmpty()) source = directory + QLatin1String(TransferDatabaseFile);
    return importFrom(source, request) ? TransferOutcome::Done : TransferOutcome::Failed;
}

bool TransferFlow::confirmCommands(const ImportScan& scan)
{
    if (m_hooks.tone) m_hooks.tone(1);
    return m_hooks.messages &&
           m_hooks.messages->showList(AskAttention, commandsQuestion(scan.commands.size()),
                                      describeCommands(scan.commands));
}

bool TransferFlow::importFrom(const QString& source, const ImportRequest& request)
{
    // This operation's own working copy: another import or export at the
    // same time works on its own, and neither reads or removes the other's.
    WorkingFolder::removeLeftovers(m_dataDirectory); // of operations that were killed
    WorkingFolder folder(m_dataDirectory);
    if (!folder.status()) return failCopy(folder.osError(), TransferDirection::Import);
    const QString working = folder.filePath(QLatin1String(TransferDatabaseFile));
    // Messages about the content name the file the operator chose, not its copy.
    auto failWith = [&](const Status& st) {
        QString error = st.error;
        error.replace(working, source);
        fail(2, transferErrorMessage(error, TransferDirection::Import));
        return false;
    };

    int osError = 0;
    Status st = copyRecovered(source, working, &osError);
    if (!st) return osError ? failCopy(osError, TransferDirection::Import) : failWith(st);
    reached("copied in");
    std::unique_ptr<LegacySource> file = openLegacySource(working, &st);
    if (!file) return failWith(st);
    ImportScan scan;
    if (!(st = scanImport(*file, request.groups, &scan))) return failWith(st);

    const qint64 emptied = request.replace ? 2 : 0;
    qint64 advances = ImportSteps;
    if (scan.importsPrograms(request.groups)) advances += scan.programs + scan.conditions + emptied;
    if (scan.importsRecords(request.groups)) advances += scan.subjects + scan.measurements + emptied;
    m_progress.plan(advances);
    m_progress.advance();
    m_progress.advance();

    ImportChoice choice{request.groups, request.replace, true};
    if (request.groups.programs) {
        if (scan.programs == 0) {
            if (m_hooks.tone) m_hooks.tone(1);
            ask(NoteAttention, emptyGroupNotice(true));
        } else if (!scan.commands.isEmpty()) {
            choice.withCommands = confirmCommands(scan);
        }
    }
    if (request.groups.records && scan.subjects == 0) {
        if (m_hooks.tone) m_hooks.tone(1);
        ask(NoteAttention, emptyGroupNotice(false));
    }
    st = importRows(
        m_main, *file, choice, scan, [this] { m_progress.advance(); }, m_hooks.beforeCommit);
    if (!st) return failWith(st);
    file.reset();
    m_progress.fill();
    ask(NoteImportant, importSuccess(request.replace));
    return true;
}

QString transferImportAuditText(const QString& directory, bool replace)
{
    return directory +
           (replace ? QString::fromUtf8("（取代原有資料）") : QString::fromUtf8("（附加至資料中）"));
}

} // namespace lumo
