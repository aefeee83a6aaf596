#include "records/transferflow.h"

#include "base/atomicfile.h"
#include "records/researchcsv.h"
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

// Deleting a file first clears its read-only attribute; the files SQLite kept
// beside it go with it, so that no log meets the next file of that name.
void removeDatabaseFile(const QString& path)
{
    if (QFileInfo::exists(path)) {
        QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::WriteOwner);
        QFile::remove(path);
    }
    Database::removeOrphanedCompanions(path);
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
QString TransferFlow::commandsQuestion()
{
    return u("匯入的專家療程含有以下外部執行程式，確定要一併匯入嗎 ?");
}

QString TransferFlow::workingCopyPath(const QString& chosenDirectory) const
{
    const QString data = QFileInfo(m_dataDirectory).canonicalFilePath();
    if (!chosenDirectory.isEmpty() && !data.isEmpty() &&
        QFileInfo(chosenDirectory.trimmed()).canonicalFilePath() == data)
        return dataFilePath(m_dataDirectory, QStringLiteral("ZuTran.working.mdb"));
    return dataFilePath(m_dataDirectory, QLatin1String(TransferDatabaseFile));
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

void TransferFlow::removeWorkingCopy()
{
    removeDatabaseFile(m_working);
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
    m_working = workingCopyPath(QFileInfo(target).path());
    const QString working = m_working;
    struct Cleanup
    {
        TransferFlow* flow;
        ~Cleanup() { flow->removeWorkingCopy(); }
    } cleanup{this};
    auto step = [this] { m_progress.advance(); };

    removeWorkingCopy();
    int osError = 0;
    Status st = copyFileAtomically(dataFilePath(m_dataDirectory, QLatin1String(TemplateDatabaseFile)),
                                   working, false, &osError);
    if (!st) {
        fail(2, transferFailureMessage(transferErrorText(osError, TransferDirection::Export),
                                       TransferDirection::Export));
        return false;
    }
    step();
    {
        auto transfer = Database::open(working, FileKind::Main, Database::Access::ReadWrite, &st);
        if (transfer) {
            step();
            st = exportRows(m_main, *transfer, groups, step);
        }
    }
    if (st) st = Database::settle(working); // whole on its own, without a log beside it
    if (!st) {
        fail(2, transferErrorMessage(st.error, TransferDirection::Export));
        return false;
    }
    step();
    // The copy is written beside its final name and renamed into place.
    removeDatabaseFile(target + QStringLiteral("-journal"));
    st = copyFileAtomically(working, target, true, &osError);
    step();
    removeWorkingCopy();
    step();
    if (!st) {
        fail(2, transferFailureMessage(transferErrorText(osError, TransferDirection::Export),
                                       TransferDirection::Export));
        return false;
    }
    return true;
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
