#pragma once
// The export and the import as the operator runs them: the questions, the
// notices and their tones, the working copy in the data directory, the copies
// to and from the chosen directory, the progress bar. The screen and the
// command line run the same steps; only the answers differ.

#include "base/messages.h"
#include "records/transfer.h"

namespace lumo {

struct TransferHooks
{
    MessageSource* messages = nullptr;
    std::function<void(int tone)> tone;        // an alert tone before a question or notice
    std::function<void(int value)> progress;   // the bar, 0..TransferProgress::Maximum
    std::function<void(bool running)> running; // 離  開 is disabled while an operation runs
    // Reached a step ("copied in": the import's working copy is whole; "built":
    // the export's). Tests hold an operation there while another one runs.
    std::function<void(const char* step)> reached;
    // An import's last step inside its transaction: what it writes (the audit
    // log's entry) is committed with the rows or not at all.
    std::function<Status()> beforeCommit = {};
};

enum class TransferOutcome
{
    Done,
    Cancelled, // the operator answered 否
    Failed     // the message was shown; nothing was changed
};

struct ExportRequest
{
    QString directory;
    TransferGroups groups;
    bool csv = false;       // 研究用 CSV 檔案
    bool anonymous = false; // 不含個人資料
};

struct ImportRequest
{
    QString directory;
    TransferGroups groups;
    bool replace = false;
};

class TransferFlow
{
public:
    TransferFlow(Database& main, const QString& dataDirectory, TransferHooks hooks);

    TransferOutcome runExport(const ExportRequest& request);
    TransferOutcome runImport(const ImportRequest& request);

    // The chosen directory as the operations take it: trimmed, ending in a separator.
    static QString chosenDirectory(const QString& directory);
    // The transfer file in a directory (its name matched without regard to case); empty when there is none.
    static QString transferFileIn(const QString& directory);

    static QString exportQuestion();
    static QString importQuestion(bool replace);
    static QString exportSuccess();
    static QString importSuccess(bool replace);
    static QString emptyGroupNotice(bool programs);
    static QString commandsQuestion(qsizetype count);

private:
    bool ask(int kind, const QString& text);
    void fail(int tone, const QString& message);
    bool exportTransferFile(const QString& target, TransferGroups groups);
    bool buildTransferFile(const QString& working, TransferGroups groups);
    bool exportCsv(const ExportRequest& request, const QString& directory);
    bool importFrom(const QString& source, const ImportRequest& request);
    bool confirmCommands(const ImportScan& scan);
    bool failCopy(int osError, TransferDirection direction);
    void reached(const char* step);

    Database& m_main;
    QString m_dataDirectory;
    TransferHooks m_hooks;
    TransferProgress m_progress;
};

// What the log says of a transfer file's import: the folder and how it was imported.
QString transferImportAuditText(const QString& directory, bool replace);

} // namespace lumo
