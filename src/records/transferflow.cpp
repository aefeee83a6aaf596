#include "records/transferflow.h"

#include "base/atomicfile.h"
#include "records/researchcsv.h"
#include "records/transferwork.h"
#include "shell/datadir.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The files SQLite keeps beside a database of that name. A new transfer file
// takes the name: a journal or log of the file it replaces would be applied
// to it when it is read. Removing a link removes the link alone, never
// touching what it points to; deleting needs no change of a file's mode here.
void removeStaleCompanions(const QString& path)
{
    for (const char* suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(path + QLatin1String(suffix));
}

// Runs the operation's end whatever way it leaves: the bar back to 0, 離  開 enabled.
class Running
{
public:
    Running(const TransferHooks& hooks, TransferProgress& progress) : m_hooks(hooks), m_progress(progress)
    {
        if (m_hooks.running) m_hooks.running(true);
    }
    ~Running()
    {
        m_progress.reset();
        if (m_hooks.running) m_hooks.running(false);
    }

private:
    const TransferHooks& m_hooks;
    TransferProgress& m_progress;
};

constexpr int ExportSteps = 5; // template copied, file opened, file closed, copied out, working copy deleted
constexpr int CsvSteps = 2;    // read, written

} // namespace

TransferFlow::TransferFlow(Database& main, const QString& dataDirectory, TransferHooks hooks)
    : m_main(main), m_dataDirectory(dataDirectory), m_hooks(std::move(hooks)), m_progress(m_hooks.progress)
{
}

QString TransferFlow::exportQuestion()
{
    return u("請確定目的地的磁片或磁碟空間容量許可，確定匯出資料，請按確認鍵。");
}
QString TransferFlow::importQuestion(bool replace)
{
    return replace ? u("執行本功能將會取代現有的資料，原有的資料將刪除而且無法回復！您確定要匯入嗎 ?")
                   : u("執行本功能會將資料附加至現有的資料中，您確定要匯入嗎 ?");
}
QString TransferFlow::exportSuccess()
{
    return u("資料匯出成功 !!");
}
QString TransferFlow::importSuccess(bool replace)
{
    return replace ? u("資料匯入成功，原有的資料已被取代 !!") : u("資料匯入成功，資料已經附加 !!");
}
QString TransferFlow::emptyGroupNotice(bool programs)
{
    return programs ? u("來源的 [專家療程] 資料是空的，將跳過匯入動作。")
                    : u("來源的 [病歷檢測] 資料是空的，將跳過匯入動作。");
}
QString TransferFlow::commandsQuestion(qsizetype count)
{
    return u("匯入的專家療程含有以下外部執行程式（共 %1 項），確定要一併匯入嗎 ?\r\n"
             "按「否」則療程照常匯入，但不含這些程式，療程按鈕的設定與說明也一併清除。")
        .arg(count);
}

QString TransferFlow::chosenDirectory(const QString& directory)
{
    QString d = directory.trimmed();
    if (!d.endsWith(QLatin1Char('/')) && !d.endsWith(QDir::separator())) d += QLatin1Char('/');
    return d;
}

QString TransferFlow::transferFileIn(const QString& directory)
{
    const QString dir = chosenDirectory(directory);
    if (directory.trimmed().isEmpty() || !QFileInfo(dir).isDir()) return {};
    const QString path = dataFilePath(dir, QLatin1String(TransferDatabaseFile));
    return QFileInfo(path).isFile() ? path : QString();
}

bool TransferFlow::ask(int kind, const QString& text)
{
    return m_hooks.messages && m_hooks.messages->show(kind, text);
}

void TransferFlow::fail(int tone, const QString& message)
{
    if (m_hooks.tone) m_hooks.tone(tone);
    if (m_hooks.messages) m_hooks.messages->show(NoteAttention, message);
}

bool TransferFlow::failCopy(int osError, TransferDirection direction)
{
    fail(2, transferFailureMessage(transferErrorText(osError, direction), direction));
    return false;
}

void TransferFlow::reached(const char* step)
{
    if (m_hooks.reached) m_hooks.reached(step);
}

TransferOutcome TransferFlow::runExport(const ExportRequest& request)
{
    Running running(m_hooks, m_progress);
    if (m_hooks.tone) m_hooks.tone(1);
    if (!ask(AskImportant, exportQuestion())) return TransferOutcome::Cancelled;
    const QString directory = chosenDirectory(request.directory);

    Status st;
    qint64 advances = 0;
    if (request.groups.any()) {
        const qint64 rows = exportRowCount(m_main, request.groups, &st);
        if (rows < 0) {
            fail(2, transferErrorMessage(st.error, TransferDirection::Export));
            return TransferOutcome::Failed;
        }
        advances += ExportSteps + rows;
    }
    if (request.csv) {
        const qint64 rows = researchCsvRows(m_main, ResearchCsvOptions{request.anonymous, {}}, &st);
        if (rows < 0) {
            fail(2, transferErrorMessage(st.error, TransferDirection::Export));
            return TransferOutcome::Failed;
        }
        advances += CsvSteps + rows;
    }
    m_progress.plan(advances);

    // An existing transfer file there keeps its name and content until the new one is whole.
    const QString existing = transferFileIn(directory);
    const QString target = existing.isEmpty() ? directory + QLatin1String(TransferDatabaseFile) : existing;
    if (request.groups.any() && !exportTransferFile(target, request.groups)) return TransferOutcome::Failed;
    if (request.csv && !exportCsv(request, directory)) return TransferOutcome::Failed;
    m_progress.fill();
    ask(NoteImportant, exportSuccess());
    return TransferOutcome::Done;
}

bool TransferFlow::exportTransferFile(const QString& target, TransferGroups groups)
{
    WorkingFolder::removeLeftovers(m_dataDirectory); // of operations that were killed
    WorkingFolder folder(m_dataDirectory);
    if (!folder.status()) return failCopy(folder.osError(), TransferDirection::Export);
    const QString working = folder.filePath(QLatin1String(TransferDatabaseFile));
    int osError = 0;
    Status st = copyFileAtomically(dataFilePath(m_dataDirectory, QLatin1String(TemplateDatabaseFile)),
                                   working, false, &osError);
    if (!st) return failCopy(osError, TransferDirection::Export);
    m_progress.advance();
    if (!buildTransferFile(working, groups)) return false;
    reached("built");
    m_progress.advance();
    // A copy killed half-way left its temporary file here; the copy is
    // written beside its final name and renamed into place.
    removeLeftoverTemporaries(QFileInfo(target).path(), {QFileInfo(target).fileName()});
    removeStaleCompanions(target);
    st = copyFileAtomically(working, target, true, &osError);
    m_progress.advance();
    m_progress.advance(); // the working copy goes with its folder
    if (!st) return failCopy(osError, TransferDirection::Export);
    return true;
}

bool TransferFlow::buildTransferFile(const QString& working, TransferGroups groups)
{
    Status st;
    {
        auto transfer = Database::open(working, FileKind::Main, Database::Access::ReadWrite, &st);
        if (transfer) {
            m_progress.advance();
            st = exportRows(m_main, *transfer, groups, [this] { m_progress.advance(); });
        }
    }
    if (st) st = Database::settle(working); // whole on its own, without a log beside it
    if (!st) fail(2, transferErrorMessage(st.error, TransferDirection::Export));
    return st.ok;
}

bool TransferFlow::exportCsv(const ExportRequest& request, const QString& directory)
{
    ResearchCsv csv;
    Status st = buildResearchCsv(m_main, ResearchCsvOptions{request.anonymous, {}}, &csv,
                                 [this] { m_progress.advance(); });
    if (!st) {
        fail(2, transferErrorMessage(st.error, TransferDirection::Export));
        return false;
    }
    m_progress.advance();
    removeLeftoverTemporaries(directory,
                              {QLatin1String(ResearchSubjectsFile), QLatin1String(ResearchMeasurementsFile)});
    int osError = 0;
    st = writeResearchCsv(directory, csv, &osError);
    if (!st) {
        fail(2, transferFailureMessage(transferErrorText(osError, TransferDirection::Export),
                                       TransferDirection::Export));
        return false;
    }
    m_progress.advance();
    return true;
}

} // namespace lumo
