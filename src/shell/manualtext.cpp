// The options both programs share, the window's own, and the manual's
// sections beside the commands: practice mode, the server, traces, the
// environment, the files, the exit status and the examples.
#include "shell/commandline.h"

namespace lumo {

const std::vector<OptionSpec>& commonOptions()
{
    static const std::vector<OptionSpec> options = {
        {"--data-dir", "DIR",
         "The data directory (`~/.local/share/Quenta/lumo/` unless given), relative to the current "
         "directory; never empty, never the root."},
        {"--database", "CONNINFO",
         "The main database on a PostgreSQL server, a libpq connection string; wins over "
         "`lumo-server.conf` in the data directory."},
        {"--operator", "NAME",
         "In practice mode, the operator who logs in; the password from LUMO_PASSWORD or standard input."},
        {"--help", "", "Describe the command (or, before any command, every command) and do nothing else."},
    };
    return options;
}

const std::vector<OptionSpec>& instrumentOptions()
{
    static const std::vector<OptionSpec> options = {
        {"--simulate", "", "The simulated instrument in place of one plugged in."},
        {"--trace-instrument", "FILE", "Record every report between the program and the instrument in FILE."},
        {"--replay-instrument", "FILE",
         "Run against the instrument recorded in the trace FILE instead of one plugged in."},
        {"--short-counts", "N[,M]",
         "With --simulate: the counts the simulated tip reads on the handle at the standard and at the high "
         "potential, 0 to 4095 (M is N unless given; 4000 unless given)."},
        {"--probe-script", "FILE",
         "With --simulate: the simulated hand at each point, from the JSON script FILE (see TRACES AND PROBE "
         "SCRIPTS); the steady automatic hand unless given."},
    };
    return options;
}

const std::vector<OptionSpec>& windowOptions()
{
    static const std::vector<OptionSpec> options = {
        commonOptions().at(0),
        commonOptions().at(1),
        {"--simulate", "",
         "Run against the simulated instrument, with a small virtual probe panel: touch and lift, the value, "
         "an automatic mode that measures all 24 points, plugging and unplugging; for calibrating, the tip "
         "on "
         "the handle; for locating, a slider along the skin over one acupoint."},
        instrumentOptions().at(1),
        instrumentOptions().at(2),
        {"--probe-script", "FILE",
         "With --simulate: the hand of the probe panel's automatic mode, point by point, from the JSON "
         "script FILE."},
    };
    return options;
}

const char* manualName(ManualPage page)
{
    return page == ManualPage::Lumo ? "lumo - L.U.M.O. meridian energy analysis"
                                    : "lumo-cli - the L.U.M.O. program's operations from the command line";
}

const char* manualDescription(ManualPage page)
{
    if (page == ManualPage::Lumo)
        return R"(The program measures the meridian energy of the 24 source points with the L.U.M.O. USB probe
instrument, keeps subjects and their measurements, analyses and prints them, proposes treatment
programs, compares measurements, helps to locate acupoints and calibrates the probe. Its interface
is in Traditional Chinese.

At start it prepares the data directory (copying the delivered files that are missing), opens the
main database (a file, or a PostgreSQL server), checks the instrument in the start-up status window
and then opens the main window, from which every function opens as a screen. F12 masks the
subjects' names, numbers and telephones where the waiting room can see the screen; Ctrl+F goes to
the filter of a subject list; Ctrl+R lists the last 10 subjects worked with.

A data directory that takes no writes (read-only, or on a full disk) is found at start: the records
open for reading only, the start-up status says so and the status bar keeps a 唯讀 mark.)";
    return R"(Runs the program's operations without a window: preparing a data directory, identifying and
calibrating the instrument, analysing, printing and comparing measurements, moving records in and
out, backups, the operator accounts and the audit log. Results go to standard output (JSON where
they are data), messages to standard error.

The common options may stand anywhere on the line; the others belong to the command they follow. An
option the command does not know, an option without its value, or one given twice is refused with
exit status 2, naming it, before anything is touched. Commands that write into the data directory
(`init`, `calibrate`, `import`, `export`, `backup`, `backup-passphrase`, `restore`, `demo`,
`measure --store`) refuse with the reason when it takes no writes (read-only, or a full disk);
those that only read work as usual.)";
}

namespace {

using P = ManualPage;

// In the order the pages show them, after the options and the commands.
const std::vector<ManualSection> sections = {
    {"PRACTICE MODE",
     R"(Practice mode is off until the first operator account exists (`lumo-cli operator add`, an admin).
From then on the window asks for a login after the start-up status, and every `lumo-cli` command
needs `--operator NAME` with the password from LUMO_PASSWORD or standard input: without it the
command exits 2 with "需要登入", and a command the operator's role does not allow exits 2 with
"權限不足", both before anything is touched. Five wrong passwords in a row make the next try wait
30 s, on every workstation. Passwords are hashed with Argon2id at a cost measured once per data
directory (about 0.5 s a login); a hash made at a lower cost is made again at the next login.

Admins may do everything. Practitioners may do everything but the accounts, the audit log, restores,
`migrate`, `decrypt-backup` and replacing imports. Assistants measure, save, calibrate and keep the
subjects' contact data. Anyone may change their own password.

Every view of a subject's measurements, every change to subjects, measurements and programs, every
print, PDF, export, import, backup and restore adds a row to the audit log `LUMOAUDIT`: the time
(UTC), the operator, the workstation, the action, the subject and measurement, and a short detail.
Rows are never changed or removed (triggers refuse it); each row's hash chains it to the one before,
which `lumo-cli audit --verify` checks; on a file each committed row's key and hash also go to the
system journal (`SYSLOG_IDENTIFIER=lumo-audit`), which the file's owner cannot rewrite. A guard
(the triggers that refuse changing or removing a row) found missing at the opening is made again,
logged as `audit.guard` and said. In the window an admin reads the log under 系統支援 → 稽核紀錄.

The screen locks after the idle time set on 用戶資料設定 (10 minutes unless set), when the desktop
locks and before the machine sleeps.

Practice mode, once on, stays on: a database without an enabled admin refuses every command and the
window, naming the way back: on a file `lumo-cli restore` of a backup that has one (no login needed),
on a server `operator add --role admin` with the schema owner's login.)",
     {P::Lumo, P::LumoCli}},
    {"THE MAIN DATABASE ON A SERVER",
     R"(For a practice that measures in several rooms, the main database (subjects, measurements, the
practice's programs, the calibration log) can live on a PostgreSQL server; the knowledge texts and
the master programs stay local files. The data directory's `lumo-server.conf` holds one libpq
connection string (lines starting with # are comments), and `--database` wins over it:

    host=clinic-server dbname=lumo user=room1 sslmode=verify-full

Passwords the libpq way: `~/.pgpass`, PGPASSFILE, or, in the window only, asked for at start-up and
kept in memory. The first connection creates the schema in an empty database; the login that does
so owns it, the audit log's guard included. So each room gets a login of its own:

    lumo-cli --database "host=clinic-server dbname=lumo user=lumo_owner" init
    lumo-cli --database "host=clinic-server dbname=lumo user=lumo_owner" server-grant --role room1

and names `user=room1` in its `lumo-server.conf`. A room's login changes no schema: an upgrade after
a new version of the program asks for one connection as the owner first. Saving a row another
workstation changed meanwhile is refused with a message and the screen keeps what was typed; open
lists follow the other workstations' changes within a second. `migrate` moves a practice between a
file and a server. A server's backups are its own: `lumo-cli backup` writes a `pg_dump` file (restored
with `pg_restore`), `restore` refuses, and the window makes no copies on closing.)",
     {P::Lumo, P::LumoCli}},
    {"TRACES AND PROBE SCRIPTS",
     R"(A trace (`--trace-instrument`, `--replay-instrument`) has one line per report:

    <ms> <direction> <bytes>    # comment

with the milliseconds since the recording started (never decreasing); the direction `>` a report the
program wrote, `!` one the instrument refused, `<` one it read, `s3` string descriptor 3 as read; and
the bytes as two-digit hexadecimal numbers (a report starts with its report-id byte). Blank lines
and text after # are comments. A replay answers each command with the recorded reply after the
recorded delay; a command the trace does not hold is reported on standard error and the instrument
goes silent.

A probe script (`--probe-script`) is a JSON object with 24 points, each with any of these keys (the
values shown are the defaults; the drift compounds, so -x and +x are the same ratio per second; an
unknown key is refused):

    {"points": [{"value": 45.0, "drift_pct_per_s": 0, "noise_pct": 1,
                 "step_at_ms": null, "step_pct": 0, "lift_at_ms": null}, ...]})",
     {P::Lumo, P::LumoCli}},
    {"ENVIRONMENT",
     R"(@LUMO_PASSWORD
The operator's password in practice mode (otherwise read from standard input).

@LUMO_BACKUP_PASSPHRASE
The backup passphrase for `backup-passphrase set`, `backup --encrypt`, `decrypt-backup` and the
restore of an encrypted copy (otherwise read from standard input). Never given as an argument,
which every user of the machine can read in the process list.

@LUMO_NETWORK_FOLDER
1 or 0: whether the data directory counts as a network folder (the rollback journal in place of
SQLite's write-ahead log), overriding what the file system's type says.

@LUMO_PASSWORD_COST
`floor`: hash new passwords at the least cost allowed instead of the data directory's measured one
(for tests; a practice leaves it unset).

@PGPASSFILE, PGHOST, PGUSER, ...
Read by libpq for a main database on a server.

@XDG_DATA_HOME
Where the default data directory lies (`~/.local/share` unless set).

@QT_QPA_PLATFORM
Qt's platform; `offscreen` unless set, so the commands draw without a display.)",
     {P::LumoCli}},
    {"ENVIRONMENT",
     R"(@LUMO_NETWORK_FOLDER
1 or 0: whether the data directory counts as a network folder (the rollback journal in place of
SQLite's write-ahead log), overriding what the file system's type says.

@PGPASSFILE, PGHOST, PGUSER, ...
Read by libpq for a main database on a server.

@XDG_DATA_HOME
Where the default data directory lies (`~/.local/share` unless set).)",
     {P::Lumo}},
    {"FILES",
     R"(@~/.local/share/Quenta/lumo/
The data directory, unless `--data-dir` names another. Its files are the user's alone (mode 0600).

@lumo4.mdb
The main database: subjects, measurements, the practice's programs, the calibration log, the
operators and the audit log (SQLite).

@lumoTW.mdb, lumoMTW.mdb, Zuspa.mdb, Data/
The delivered knowledge texts, master treatment programs, empty template and point pictures, copied
from /usr/share/lumo/ when missing.

@ZuDefTw.ini
The configuration: 36 settings, one a line.

@lumo-server.conf
The main database on a server: one libpq connection string.

@LumoQuality.json
The practice's bounds of the reading grades (any of `steady_slope_pct_per_s`, `steady_spread_pct`,
`tick_agreement_pct`, `unsteady_slope_pct_per_s`, `unsteady_spread_pct`, `step_pct`, `min_samples`,
`step_span_ms`, `step_noise_se`).

@LumoPasswordCost.txt
The cost of the password hashes measured on this machine: memory in KiB and passes.

@LumoConditions.json, LumoRecent.txt, LumoMasked.txt, LumoIdleLock.txt
The last measuring conditions entered, the last 10 subjects, the waiting-room masking of this
workstation, the screen lock's idle time.

@Backup/lumo4-YYYYMMDD.mdb, .json, .enc, .dump
The copies of the main database with their manifests: made when the window closes (at most once a
day) and by `lumo-cli backup`; the newest of each of the last 7 days, 4 weeks and 12 months stay.

@lumo4_before_restore.mdb
The database a restore replaced.

@lumo_backup_passphrase, lumo_encryption_notice, lumo_audit_owner_notice
The backup passphrase's verifier; the days the start-up last gave its notices.

@ZuTran.mdb
The transfer file of `import` and `export`, in the folder they name.

@/usr/lib/udev/rules.d/70-lumo.rules
Gives the user at the seat access to the instrument.)",
     {P::Lumo, P::LumoCli}},
    {"EXIT STATUS",
     R"(@0
Success.

@2
A usage error (an unknown command or option, a missing value, an option given twice) or a failure;
the message is on standard error.

@3
`calibrate`: the calibration failed (its values are logged, the previous ones stay in use);
`audit --verify`: rows of the log that the system journal never received, nothing else wrong.)",
     {P::LumoCli}},
    {"EXIT STATUS",
     R"(@0
The program was closed.

@2
An option was refused (a data directory that is empty or the root, an empty `--database`, a trace
or probe script that cannot be read).)",
     {P::Lumo}},
    {"EXAMPLES",
     R"(Prepare a data directory and look at the simulated instrument:

    lumo-cli --data-dir ~/lumo init
    lumo-cli --data-dir ~/lumo --simulate instrument

The first operator turns practice mode on; later commands log in:

    lumo-cli operator add --name chen --role admin
    LUMO_PASSWORD=... lumo-cli --operator chen noise

Print a stored measurement's report, compare two measurements, a subject's trend:

    lumo-cli report --mkey 42 --out report.pdf
    lumo-cli compare --mkey 42 --mkey 57 --band base --out change.pdf
    lumo-cli trend --custno A001 --out trend.png

Research files without personal data, a subject's records to take away, subjects from a
spreadsheet (first a trial):

    lumo-cli export-csv --to /media/usb --anonymous
    lumo-cli export-subject --custno A001 --to /media/usb/A001
    lumo-cli import-subjects --csv clients.csv --map NAME=3 --dry-run

A copy now, an encrypted copy to take off the machine, and a restore:

    lumo-cli backup
    lumo-cli backup-passphrase set
    lumo-cli backup --to /media/usb --encrypt
    lumo-cli restore ~/.local/share/Quenta/lumo/Backup/lumo4-20261210.mdb

Move a practice to a server, then check the audit log there:

    lumo-cli migrate --to "host=clinic-server dbname=lumo user=lumo_owner"
    lumo-cli --database "host=clinic-server dbname=lumo user=lumo_owner" audit --verify

Calibrate the probe, or try it on the simulated one:

    lumo-cli calibrate
    lumo-cli --simulate calibrate --keep-failed)",
     {P::LumoCli}},
    {"EXAMPLES",
     R"(The program on a practice's data directory, on a server, and against the simulated instrument:

    lumo
    lumo --database "host=clinic-server dbname=lumo user=room1"
    lumo --simulate --data-dir ~/lumo-trial)",
     {P::Lumo}},
    {"SEE ALSO", R"(lumo-cli(1))", {P::Lumo}},
    {"SEE ALSO", R"(lumo(1), pg_dump(1), pg_restore(1))", {P::LumoCli}},
};

} // namespace

const std::vector<ManualSection>& manualSections()
{
    return sections;
}

} // namespace lumo
