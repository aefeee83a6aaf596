// The lumo-cli commands of the records, their copies and the practice's
// accounts, as their help and the manual describe them.
#include "shell/commandline.h"

namespace lumo {
namespace {

const OptionSpec withCommands{
    "--with-commands", "",
    "Keep the external commands of the programs it brings, with their buttons' flags and hints (they "
    "are dropped unless given; printed on standard error either way)."};

// The transfer file, the research files, a subject's folder, a spreadsheet, old files.
const std::vector<CommandSpec> transferCommands = {
    {"export",
     "",
     "--to DEST [--programs] [--records]",
     "write the transfer file ZuTran.mdb",
     R"(Writes the transfer file `ZuTran.mdb` into the folder DEST, as the import and export screen does,
without questions, with the groups given (at least one). The screen's success text goes to standard
output, a skipped empty group's notice to standard error; a failure changes nothing.)",
     {{"--to", "DEST", "The folder."},
      {"--programs", "", "The practice's treatment programs."},
      {"--records", "", "The subjects and their measurements."}},
     {}},
    {"import",
     "",
     "--from SRC [--programs] [--records] [--replace] [--with-commands]",
     "read the transfer file ZuTran.mdb",
     R"(Reads the transfer file `ZuTran.mdb` from the folder SRC into the main database with the groups
given (at least one), appending unless `--replace`, in one transaction. The file may also be an Access
file of the earlier Windows program. It is read on a private copy, and only when it holds nothing but
this program's objects; measurements must be dated 1900-01-01 to 2100-12-31.)",
     {{"--from", "SRC", "The folder."},
      {"--programs", "", "The treatment programs."},
      {"--records", "", "The subjects and their measurements."},
      {"--replace", "", "Replace the groups' data in place instead of appending to it."},
      withCommands},
     {}},
    {"export-csv",
     "",
     "--to DEST [--anonymous] [--custno NUMBER]",
     "the research files, for a spreadsheet",
     R"(Writes `lumo-subjects.csv` and `lumo-measurements.csv` into DEST for research, as the screen's
研究用 CSV 檔案 does: UTF-8, comma separated, numbers with the digits they were stored with, the
readings with the compensated values and the analysis. A text that a spreadsheet would run as a
formula (beginning with =, +, -, @, a tab or a carriage return) is written behind an apostrophe.)",
     {{"--to", "DEST", "The folder."},
      {"--anonymous", "",
       "不含個人資料: a pseudonym drawn for this export (`SUBJECT`) in place of the "
       "number and the row keys, the birth year (`BIRTHYEAR`) in place of the date, "
       "and no name, address, telephone numbers, e-mail, remarks or free texts."},
      {"--custno", "NUMBER", "One subject only."}},
     {}},
    {"export-subject",
     "",
     "--custno NUMBER --to DIR2",
     "a subject's records as a folder to take away",
     R"(Writes the folder DIR2, which must not exist yet, with everything the practice keeps about one
subject (匯出個人資料): `subject.json`, a FHIR R4 bundle of the patient and each measurement with its 24
points; the research files of the subject; and the printed report of each measurement. The folder is
written hidden beside its place and renamed, so it appears whole or not at all.)",
     {{"--custno", "NUMBER", "The subject's number."}, {"--to", "DIR2", "The folder to make."}},
     {}},
    {"import-subjects",
     "",
     "--csv FILE [--map FIELD=COLUMN ...] [--skip-existing] [--dry-run]",
     "subjects from a spreadsheet's CSV file",
     R"(Reads subjects from a spreadsheet's CSV file (匯入受測者清單): UTF-8 or Big5, comma or tab
separated, at most 32 MB. Columns are matched to the fields by their headers (編號, 姓名, 性別, 生日,
電話, 行動電話, 傳真, 地址, E-Mail, 備註, 血型, 身高, 體重, their English names, or the research file's
field names). Every row is checked first; any problem imports nothing. A number the practice already
holds is never overwritten.)",
     {{"--map", "FIELD=COLUMN",
       "Take FIELD from COLUMN, a header or a column number (`--map "
       "姓名=暱稱`, `--map NAME=3`).",
       true},
      {"--skip-existing", "",
       "List and skip the rows whose number the practice holds (the import is "
       "refused otherwise)."},
      {"--dry-run", "", "Show what would be imported and write nothing."},
      {"--csv", "FILE", "The CSV file."}},
     {}},
    {"legacy-dump",
     "",
     "FILE [TABLE]",
     "look into an Access file of the earlier program",
     R"(Lists the tables of an Access file of the earlier Windows program, or prints the rows of TABLE as
JSON lines (texts as UTF-8, date-times as day numbers, bytes in hexadecimal). In practice mode the
rows printed are logged as an export.)",
     {},
     {}},
};

// Copies of the main database and moves between engines.
const std::vector<CommandSpec> copyCommands = {
    {"backup",
     "",
     "[--to DIR2 [--encrypt]]",
     "a checked copy of the main database now",
     R"(Copies the main database now, with SQLite's online backup, into `Backup/lumo4-YYYYMMDD.mdb` of the
data directory, checks the copy and writes its manifest (SHA-256, size, row counts) beside it; in
`Backup/` the keeping rules prune older copies. With the main database on a server it writes
`lumo4-YYYYMMDD.dump` with `pg_dump --format=custom` instead.)",
     {{"--to", "DIR2", "Copy into DIR2, where nothing is pruned."},
      {"--encrypt", "",
       "With `--to`: encrypt the copy under the backup passphrase (`.enc`); the "
       "passphrase from LUMO_BACKUP_PASSPHRASE or standard input, checked against the "
       "one set."}},
     {}},
    {"backup-passphrase",
     "set",
     "",
     "set the passphrase of encrypted backups",
     R"(Sets the practice's backup passphrase, at least 8 characters, from LUMO_BACKUP_PASSPHRASE or
standard input (asked twice on a terminal). Only its verifier, an Argon2id hash, is kept, in
`lumo_backup_passphrase` of the data directory.)",
     {},
     {}},
    {"decrypt-backup",
     "",
     "FILE --to OUT",
     "an encrypted copy back in clear",
     R"(Decrypts an encrypted copy (a server's dump too) into OUT, which must not exist, for `restore` or
`pg_restore`; the passphrase as for `backup --encrypt`. A wrong passphrase or a changed byte leaves no
file behind. An admin's act in practice mode, logged as an export.)",
     {{"--to", "OUT", "The clear file to write."}},
     {}},
    {"restore",
     "",
     "FILE [--with-commands]",
     "put a checked copy in place of the main database",
     R"(Checks FILE (its manifest's SHA-256 when one is beside it, this program's objects, complete; an
encrypted copy is decrypted with the passphrase from LUMO_BACKUP_PASSPHRASE or standard input), keeps
the database in place as `lumo4_before_restore.mdb` and puts FILE in its place, all or nothing. The
audit log and the operator accounts in place stay. Refused while another workstation has the database
open, while an earlier `lumo4_before_restore.mdb` is there, and for a main database on a server.

A practice database left without an enabled admin (accounts removed or disabled outside the program)
runs no other command; `restore` of a copy that has one then needs no login, takes the copy's
accounts and is logged as "（復原）".)",
     {withCommands},
     {}},
    {"migrate",
     "",
     "--to CONNINFO | --from CONNINFO",
     "move the main database between a file and a server",
     R"(Moves a practice between the data directory's file and a PostgreSQL server, whole or not at all:
every row keeps its `MKEY`, and the copy is compared with its source field by field before it is
committed. The password the libpq way only (`~/.pgpass`, PGPASSFILE). In practice mode the source's log
gets an export row and the new database's an import row.)",
     {{"--to", "CONNINFO",
       "Copy the data directory's `lumo4.mdb` (no other workstation may have it "
       "open) into an empty database on the server."},
      {"--from", "CONNINFO",
       "Copy the server's main database into a new `lumo4.mdb` of the data "
       "directory (none may be there)."}},
     {}},
};

// Measuring against the simulated probe, the noise figures, practice mode.
const std::vector<CommandSpec> practiceCommands = {
    {"measure",
     "",
     "[--store CUSTNO] [--high] [--condition NAME=VALUE ...] [--repeat-of MKEY]",
     "a guided run against the simulated probe, as JSON",
     R"(Runs a whole guided measuring run against the simulated probe in virtual time (it needs
`--simulate`) and prints JSON: the 24 readings, their grades (A, B, C), reasons and figures (slope,
spread, step, the value's standard error `se_pct`, its settling `plateau_pct` and `tau_ms`), and with
`--store` the stored `MKEY`. The run stops when no point was measured within 60 s of instrument time.)",
     {{"--store", "CUSTNO", "Store the measurement under this existing subject."},
      {"--high", "", "Measure at the high potential (standard unless given; the setting is not saved)."},
      {"--condition", "NAME=VALUE",
       "A condition stored with the measurement: the save screen's 休息, 距上餐, 今日運動, 室溫, 濕度, "
       "皮膚處理, 備註, or `rest_minutes`, `meal_hours`, `exercise`, `room_temperature`, `humidity`, `skin`, "
       "`note`; a choice by its text or 1 to 3.",
       true},
      {"--repeat-of", "MKEY",
       "With `--store`: the new measurement repeats stored measurement MKEY, a pair "
       "for the noise figures (the same subject at the same potential, within 30 "
       "minutes; otherwise exit 2 and nothing stored)."}},
     {"--simulate", "--probe-script"}},
    {"noise",
     "",
     "",
     "the practice's noise figures as JSON",
     R"(Prints as JSON the practice's repeat pairs (keyed within a session, between visits, points measured
again; older measurements without a repeat key are left out), the published prior and the floor, and
for each meridian, the whole-body shift and each index the standard error of measurement and the
smallest detectable change (MDC95) with its 95 % interval.)",
     {},
     {}},
    {"operator",
     "add",
     "--name NAME --role admin|practitioner|assistant",
     "add an operator",
     R"(Adds an operator account; the password from standard input (twice on a terminal, once from a
pipe). The first account, an admin, turns practice mode on and needs no login; every later change
needs an admin's. On a server whose database has no enabled admin left, the schema owner's login adds
one without a login (`--role admin`).)",
     {{"--name", "NAME", "The operator's name."},
      {"--role", "admin|practitioner|assistant", "What the operator may do."}},
     {}},
    {"operator",
     "list",
     "",
     "list the operators",
     R"(Lists the operators, one a line: name, role, 啟用 or 停用, and when the account was made.)",
     {},
     {}},
    {"operator",
     "passwd",
     "--name NAME",
     "change an operator's password",
     R"(Changes an operator's password, read as for `operator add`. Anyone may change their own.)",
     {{"--name", "NAME", "The operator."}},
     {}},
    {"operator",
     "disable",
     "--name NAME",
     "disable an operator",
     R"(Disables an operator account; the last enabled admin stays.)",
     {{"--name", "NAME", "The operator."}},
     {}},
    {"audit",
     "",
     "[--custno X] [--from YYYY-MM-DD] [--to YYYY-MM-DD] | --verify",
     "the audit log as JSON lines, or its check",
     R"(Prints the audit log's rows as JSON lines, oldest first, filtered by subject and by the
workstation's local days (the rows keep UTC).

With `--verify` it checks instead: the log's chain of SHA-256 hashes (exit 2 naming the first row
that was changed, removed or inserted, the last rows removed, or a log that does not start where
practice mode started); the end of the log that the newest backup manifest in `Backup/` names,
which must still be a row (exit 2 when the log was rewritten since); and, on a file, each row's key
and hash against the copy the system journal keeps (exit 2 for rows the journal holds that are
missing or changed in the log, 3 for rows the journal never received: the program stopped between
the commit and the journal, or rows added outside it). Where no journal can be read it says that
this part was not checked. On a server the hashes are in the server's own log, which a workstation
cannot read.)",
     {{"--custno", "X", "One subject's rows."},
      {"--from", "YYYY-MM-DD", "From this local day."},
      {"--to", "YYYY-MM-DD", "Up to this local day."},
      {"--verify", "", "Check the log as above; no filter with it."}},
     {}},
    {"server-grant",
     "",
     "--role ROLE",
     "grant a workstation's login on a server",
     R"(Run as the server schema's owner: grants the existing login ROLE, in one transaction, reading and
writing the records and the kept counts, reading the audit log and the accounts' names and roles, and
the owner's functions through which a room logs in, changes accounts and appends to the log, and
nothing more; run again it changes nothing. Refused when the login running it lacks the owner's rights, when ROLE does
not exist, or when ROLE holds the owner's rights itself. An admin's act in practice mode.)",
     {{"--role", "ROLE", "The workstation's login on the server."}},
     {}},
};

} // namespace

std::vector<CommandSpec> recordCommands()
{
    std::vector<CommandSpec> all = transferCommands;
    all.insert(all.end(), copyCommands.begin(), copyCommands.end());
    all.insert(all.end(), practiceCommands.begin(), practiceCommands.end());
    return all;
}

} // namespace lumo
