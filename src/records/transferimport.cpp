// The import steps of TransferFlow: the transfer file is copied into the data
// directory, read there, and every change it brings is one transaction.
#include "records/transferflow.h"

#include "base/atomicfile.h"
#include "shell/datadir.h"

#include <QFileInfo>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

constexpr int ImportSteps = 2;     // copied in, opened
constexpr int CommandsListed = 12; // lines of external commands the question shows

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
    QString text = commandsQuestion() + QStringLiteral("\r\n");
    for (int i = 0; i < scan.commands.size() && i < CommandsListed; ++i)
        text += QStringLiteral("\r\n") + scan.commands.at(i);
    if (scan.commands.size() > CommandsListed)
        text += QStringLiteral("\r\n") + u("……共 %1 項").arg(scan.commands.size());
    if (m_hooks.tone) m_hooks.tone(1);
    return ask(AskAttention, text);
}

bool TransferFlow::importFrom(const QString& source, const ImportRequest& request)
{
    m_working = workingCopyPath(QFileInfo(source).path());
    const QString working = m_working;
    struct Cleanup
    {
        TransferFlow* flow;
        ~Cleanup() { flow->removeWorkingCopy(); }
    } cleanup{this};
    // Messages name the file the operator chose, not its copy.
    auto failWith = [&](const Status& st) {
        QString error = st.error;
        error.replace(working, source);
        fail(2, transferErrorMessage(error, TransferDirection::Import));
        return false;
    };

    removeWorkingCopy();
    int osError = 0;
    Status st = copyFileAtomically(source, working, false, &osError);
    if (!st) {
        fail(2, transferFailureMessage(transferErrorText(osError, TransferDirection::Import),
                                       TransferDirection::Import));
        return false;
    }
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
    st = importRows(m_main, *file, choice, scan, [this] { m_progress.advance(); });
    if (!st) return failWith(st);
    file.reset();
    removeWorkingCopy();
    m_progress.fill();
    ask(NoteImportant, importSuccess(request.replace));
    return true;
}

} // namespace lumo
