#pragma once
// Backups of a main database on a server are the server's own business (its
// administrator backs it up with pg_dump, or with the server's own means).
// lumo-cli backup says so, and writes a pg_dump custom-format file when
// pg_dump is installed, so a practice without an administrator still gets one.

#include "base/status.h"

#include <QByteArray>
#include <QDate>
#include <QString>

namespace lumo {

// "主資料庫在資料庫伺服器上..." naming the server.
QString serverBackupNotice(const QString& server);
// "還原只用於資料目錄中的 lumo4.mdb..."
QString serverRestoreRefusal(const QString& server);

// The connection string as pg_dump gets it: its password taken out (into
// `password`), as a passfile passes it, never an argument others see in ps.
QString withoutPassword(const QString& conninfo, QString* password);
// pg_dump on the PATH; empty when it is not installed.
QString pgDumpProgram();

struct ServerDump
{
    QString conninfo;
    QString folder;   // where the dump goes
    QDate day;        // names it: lumo4-YYYYMMDD.dump
    QString password; // the one typed at the program's start, when the server asked for one
    // With a passphrase the dump is encrypted (encryptedbackup.h) as
    // lumo4-YYYYMMDD.dump.enc; its clear form is made in clearFolder (the
    // data directory, on this machine's disk) and removed.
    const QByteArray* passphrase = nullptr;
    QString clearFolder;
};

// folder/lumo4-YYYYMMDD.dump of day: pg_dump's custom format, written beside
// its place and renamed into it only when pg_dump succeeded, with a manifest
// (manifest.h) whose "auditLastHash" is the log's end as the dump holds it.
// The password the libpq way (~/.pgpass, PGPASSFILE), or the one typed at the
// program's start (given to pg_dump in its environment, never on its command
// line, which every user of the machine can read); the error is pg_dump's own
// text. lumo-cli restores no dump (pg_restore does), and has no command yet
// that turns an encrypted one back into what pg_restore reads.
Status dumpServer(const ServerDump& dump, QString* path);

} // namespace lumo
