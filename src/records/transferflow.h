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

    // The working copy "ZuTran.mdb" in the data directory: it exists only
    // while an operation runs. When the chosen directory is the data directory
    // itself, the operator's transfer file has that name: the working copy
    // then takes another, so that neither deletes the other.
    QString workingCopyPath(const QString& chosenDirectory = QString()) const;
    // The chosen directory as the operations take it: trimmed, ending in a separator.
    static QString chosenDirectory(const QString& directory);
    // The transfer file in a directory (its name matched without regard to case); empty when there is none.
    static QString transferFileIn(const QString& directory);

    static QString exportQuestion();
    static QString importQuestion(bool replace);
    static QString exportSuccess();
    static QString importSuccess(bool replace);
    static QString emptyGroupNotice(bool programs);
    static QString commandsQuestion();

private:
    bool ask(int kind, const QString& text);
    void fail(int tone, const QString& message);
    bool exportTransferFile(const QString& target, TransferGroups groups);
    bool exportCsv(const ExportRequest& request, const QString& directory);
    bool importFrom(const QString& source, const ImportRequest& request);
    bool confirmCommands(const ImportScan& scan);
    void removeWorkingCopy();

    Database& m_main;
    QString m_dataDirectory;
    TransferHooks m_hooks;
    TransferProgress m_progress;
    QString m_working; // the working copy of the running operation
};

} // namespace lumo
