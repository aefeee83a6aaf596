#pragma once
// The audit log anchored outside its database. Whoever owns a file can
// rewrite every row of it and recompute every hash; what that OS account
// cannot rewrite is the system journal. So each row's key and hash also go to
// the journal once the row is committed, and the check reads them back.

#include "base/status.h"

#include <QByteArray>
#include <QString>
#include <QVector>
#include <functional>

namespace lumo {

class Database;

// The practice's name in the journal: the database file's full path. Empty
// on a server, whose own log holds the rows (the append function's RAISE LOG).
QString anchorIdentity(Database& db);

// Sends one committed row's key and hash; false when no journal took it.
bool sendAnchor(const QString& identity, qint64 key, const QString& hash);

// Whether a journal runs on this machine to take and keep the rows.
bool journalRunning();

// Every row the journal holds for the identity, in the journal's order.
Status readAnchors(const QString& identity, const std::function<void(qint64, const QByteArray&)>& each);

// The log against the journal, for the rows this workstation wrote.
struct AnchorCheck
{
    bool journal = false;       // a journal could be read at all
    qint64 anchored = 0;        // rows found there with the same hash
    QVector<qint64> missing;    // in the journal, no longer in the log
    QVector<qint64> changed;    // in both, with another hash
    QVector<qint64> unanchored; // written here after the journal's first row, never in it
    qint64 beforeJournal = 0;   // written here before the journal's first row of this log
    qint64 elsewhere = 0;       // rows of other workstations: their own journals hold them
};

// Reads the journal's rows of this log and walks the log once beside them.
Status checkAnchors(Database& db, const QString& workstation, AnchorCheck* check);

} // namespace lumo
