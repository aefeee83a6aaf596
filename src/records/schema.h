#pragma once
// The tables of every database file, defined once. Files are created from
// this definition and carry its version, so a later version can upgrade them.

#include <QSqlDatabase>
#include <QString>
#include <QStringList>

namespace lumo {

constexpr int SchemaVersion = 1;

enum class FileKind {
    Main,      // lumo4.mdb, Zuspa.mdb, ZuTran.mdb, lumo.mdb: ZUCUST, ZUDATA, ZUPRO, ZUPRDT
    Master,    // lumoMTW.mdb: ZUPRO (with the advice texts) and ZUPRDT
    Knowledge  // lumoTW.mdb: ZUMTDB
};

// Creates the missing tables and indexes of the kind; runs inside the caller's transaction.
bool createSchema(QSqlDatabase& db, FileKind kind, QString* error);

// The tables a file of the kind must hold.
QStringList requiredTables(FileKind kind);

// The text fields of ZUMTDB in column order (DtEA1 .. DtML5).
const QStringList& knowledgeTextFields();

} // namespace lumo
