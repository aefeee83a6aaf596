#pragma once
// Backups of a main database on a server are the server's own business (its
// administrator backs it up with pg_dump, or with the server's own means).
// lumo-cli backup says so, and writes a pg_dump custom-format file when
// pg_dump is installed, so a practice without an administrator still gets one.

#include "base/status.h"

#include <QDate>
#include <QString>

namespace lumo {

// "主資料庫在資料庫伺服器上..." naming the server.
QString serverBackupNotice(const QString& server);
// "<option> 只用於資料目錄中的 lumo4.mdb：伺服器的備份請用伺服器的加密方式。"
// (option: "--encrypt" on the command line, the screen's check box there)
QString serverEncryptionRefusal(const QString& option);
// "還原只用於資料目錄中的 lumo4.mdb..."
QString serverRestoreRefusal(const QString& server);

// pg_dump on the PATH; empty when it is not installed.
QString pgDumpProgram();

// folder/lumo4-YYYYMMDD.dump of day: pg_dump's custom format, written beside
// its place and renamed into it only when pg_dump succeeded. The password
// the libpq way (~/.pgpass, PGPASSFILE), or the one typed at the program's
// start (given to pg_dump in its environment, never on its command line,
// which every user of the machine can read); the error is pg_dump's own text.
Status dumpServer(const QString& conninfo, const QString& folder, QDate day, QString* path,
                  const QString& password = {});

} // namespace lumo
