#pragma once
// The process-wide state that the screens share, owned by the main window
// (or by a headless command) and living for the whole run.

#include "base/messages.h"
#include "base/printerchoice.h"
#include "comparison/comparisonrecords.h"
#include "measurement/catalogue.h"
#include "practice/idletime.h"
#include "practice/session.h"
#include "practice/waitingroom.h"
#include "records/database.h"
#include "records/rows.h"
#include "records/serverlogin.h"
#include "shell/configuration.h"

#include <QVector>
#include <memory>

namespace lumo {

class Instrument;

struct SharedState
{
    QString DataDirectory;
    Configuration config;
    EnergySet energy;
    CompensationTable compensation = defaultCompensationTable();
    SubjectRow CurrentSubject;
    qint64 CurrentMeasurementKey = 0;
    // The version of that row as this workstation read or wrote it last: the
    // treatment record is stored only into the row as it was shown.
    qint64 CurrentMeasurementVersion = 0;
    int SubjectSortField = 1;
    int AnalysisPage = 0;
    int AnalysisChart = 1;
    lumo::ComparisonRecord ComparisonRecord;
    QVector<PickedRecord> PickedRecords;
    bool InstrumentReady = false;
    // A measuring run is in progress: the idle lock never interrupts it.
    bool MeasuringRunActive = false;
    QString SerialText;
    int PointsSinceAnalysis = 0;
    // The bounds of the reading grades: the defaults, or the practice's own.
    QualityThresholds qualityThresholds;
    PrinterChoice printer;
    // Why nothing can be stored (a read-only data directory or file, a full
    // disk), as found at start and as the operator is told it; empty when the
    // data can be written. The main database is then open for reading only.
    QString ReadOnlyReason;

    // Who is at the keyboard, when the practice has operators.
    OperatorSession Session;
    // 候診區顯示 on this workstation: lists and headers show subjects masked.
    WaitingRoomDisplay waitingRoom;
    // The screen lock's idle time, as set on the user settings screen.
    IdleTimeSetting idleTime;

    std::unique_ptr<Database> MainDatabase;
    std::unique_ptr<Database> KnowledgeDatabase;

    // The main database on a server: the connection string given with
    // --database (it wins over lumo-server.conf in the data directory); empty
    // for the file lumo4.mdb unless the data directory names a server.
    QString databaseOption;
    // How the main database was reached when it is on a server, the password
    // typed at start-up included (kept here, in memory, for as long as the program runs).
    ServerLogin server;
    // Asks for that password; the window sets it, the commands never ask.
    PasswordQuestion askPassword;

    MessageSource* messages = nullptr;
    Instrument* instrument = nullptr;

    SharedState();

    // The path of a data file, matched without regard to case.
    QString dataPath(const QString& name) const;
    // A question defaults to 否; askDefaultYes for one whose 是 is the expected, harmless answer.
    bool ShowMessageDialog(int kind, const QString& text)
    {
        return messages ? messages->show(kind, text) : false;
    }
    bool askDefaultYes(int kind, const QString& text)
    {
        return messages ? messages->askDefaultYes(kind, text) : false;
    }
    void reportError(const QString& text)
    {
        if (messages) messages->reportError(text);
    }
    // A failed save as the operator is told it: a row another workstation
    // changed meanwhile in the message dialog, anything else in the general
    // error report.
    void reportFailure(const Status& st);
    // Saves the whole configuration; a failure reaches the general error report.
    bool saveConfiguration();
    void resetCurrentSubject();
    // An alert tone on the instrument, when one is there.
    void playTone(int tone);
};

// The creation steps that touch files, shared by the window and the command line:
// delivered files, template check, swap, template copy, databases, configuration.
struct StartupOutcome
{
    bool templateMissing = false;
    Status databases;     // failure: the message to show, the program then closes
    Status configuration; // failure: reaches the general error report
    Status copies;        // delivered files that could not be copied: the general error report
    Status swap;          // an upgrade swap refused (a file in use): a notice, the files as they were
    Status privacy;       // a data directory other users can read: a notice, the program goes on
    // The data directory or the main database takes no writes (the reason):
    // the database is open for reading only and the start-up status says so.
    Status writable;
    QStringList copiedFiles;
    // The data directory lies in a network folder: a notice, the program goes on.
    bool networkFolder = false;
    // The main database is on a server (lumo-server.conf or --database).
    bool onServer = false;
    Status qualityThresholds; // a practice's bounds that could not be read: the general error report
};
StartupOutcome runStartupFileSteps(SharedState& state, const QString& deliveredDir);

// "LUMO 資料庫啟動錯誤！" followed by the engine's text.
QString databaseStartupMessage(const QString& engineError);
QString templateMissingMessage();
QString networkFolderMessage();

} // namespace lumo
