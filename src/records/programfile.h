#pragma once
// A file of treatment programs is one of two kinds: the master program file
// (lumoMTW.mdb: ZUPRO with the advice texts, and ZUPRDT) or a practice's own
// main database (lumo4.mdb, or the template Zuspa.mdb that start-up copies),
// which holds the subjects and measurements beside its programs. Each is
// checked against its own kind's definition, so that neither kind's tables
// are ever taken for foreign objects of the other.

#include "records/database.h"

namespace lumo {

// The kind the file's tables say it is: Main when it holds a table only the
// main database has, Knowledge for the knowledge file, Master otherwise (the
// check on opening then says what does not belong). Read without trusting the
// file; a file that cannot be read is left to the opening to report.
FileKind programFileKind(const QString& path);

// Opens either kind for reading; the knowledge file, which holds no
// programs, is refused with a message that says so.
std::unique_ptr<Database> openProgramFile(const QString& path, Status* status);

} // namespace lumo
