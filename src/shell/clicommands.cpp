// Every lumo-cli command as its help and the manual describe it, with the
// options its code reads: the dispatch refuses any other before the command runs.
#include "shell/commandline.h"

namespace lumo {
namespace {

const OptionSpec female{"--female", "", "The subject is a woman (a man unless given)."};

// The data directory, the instrument, the analysis and the comparisons.
const std::vector<CommandSpec> measuringCommands = {
    {"init",
     "",
     "",
     "prepare the data directory, or a server's schema",
     R"(Prepares the data directory as the window does at start: copies the delivered files that are
missing (the template `Zuspa.mdb`, the knowledge texts `lumoTW.mdb`, the master programs `lumoMTW.mdb`,
the point pictures), makes the main database `lumo4.mdb` from the template, converts an older database
waiting there, and reads or writes the configuration `ZuDefTw.ini`; a delivered file already there is
never overwritten. With the main database on a server (`--database` or `lumo-server.conf`) it creates
the schema in an empty database, or upgrades it; the login that does so owns the schema.)",
     {},
     {}},
    {"config",
     "dump",
     "",
     "print the configuration as JSON",
     R"(Prints the 36 settings of `ZuDefTw.ini` as one JSON object, after the start-up steps.)",
     {},
     {}},
    {"instrument",
     "",
     "",
     "identify the instrument",
     R"(Identifies the instrument as the start-up status does and prints it as JSON: model, serial number,
hardware version and usage counter. What stops it (no instrument, no right to open it, with the udev
rule that grants it) goes to standard error, and the exit status is 2.)",
     {},
     {"--simulate", "--trace-instrument", "--replay-instrument"}},
    {"analyse",
     "",
     "[--female] V1 ... V24",
     "analyse 24 readings and print the analysis as JSON",
     R"(Analyses the 24 readings in microamperes (0 for a point not measured, at most 1000) and prints the
analysis as JSON: the compensated values, body energy, the totals and ratios, the physiological band,
each point's mark, the element and meridian means, the grades with their texts and the judgements.
The points are numbered as stored: 1-6 the left hand, 7-12 the right hand, 13-18 the left foot,
19-24 the right foot, each run in the order lung, pericardium, heart, small intestine, sanjiao, large
intestine (hand) or spleen, liver, kidney, bladder, gall bladder, stomach (foot).)",
     {female},
     {}},
    {"chart",
     "",
     "N --out FILE.png [--width W] [--height H] [--female] V1 ... V24",
     "draw analysis chart N of 24 readings as a picture",
     R"(Draws analysis chart N (1 to 6, 8 or 9) of the 24 readings, numbered as for `analyse`, into a PNG
picture and prints its path. The picture is written beside its place and renamed into it.)",
     {{"--out", "FILE.png", "The picture to write."},
      {"--width", "W", "Its width in pixels, 100 to 10000 (757 unless given)."},
      {"--height", "H", "Its height in pixels, 100 to 10000 (393 unless given)."},
      female},
     {}},
    {"match",
     "",
     "--db FILE [--female] [--birth YYYY-MM-DD] [--today YYYY-MM-DD] V1 ... V24",
     "the treatment programs whose conditions 24 readings meet",
     R"(Prints as a JSON array the names of the treatment programs whose conditions the 24 readings
(numbered as for `analyse`) meet. FILE is either kind of program file, told apart by the tables it
holds: the master program file `lumoMTW.mdb`, or a practice's own main database with its programs
(`lumo4.mdb`, or the template `Zuspa.mdb` that `init` delivers). It is only read, and only when it
holds nothing but this program's objects.)",
     {{"--db", "FILE", "The program file."},
      female,
      {"--birth", "YYYY-MM-DD",
       "The subject's birth date, for the programs' age conditions (no age "
       "unless given)."},
      {"--today", "YYYY-MM-DD", "The day the age is counted on (today unless given)."}},
     {}},
    {"decipher",
     "",
     "[--bytes] HEXTEXT",
     "a stored knowledge text in clear",
     R"(Deciphers a knowledge text as `ZUMTDB` stores it (hexadecimal) and prints the text.)",
     {{"--bytes", "", "Print the deciphered bytes in hexadecimal (code page 950) instead of the text."}},
     {}},
    {"encipher",
     "",
     "[--first HH] TEXT",
     "a text enciphered as knowledge texts are stored",
     R"(Enciphers TEXT as `ZUMTDB` stores knowledge texts and prints the hexadecimal. TEXT may hold only
characters of code page 950; the first one that is not is named.)",
     {{"--first", "HH",
       "The first byte, two hexadecimal digits (drawn at random unless given), for a "
       "result that can be repeated."}},
     {}},
    {"report",
     "",
     "--mkey N --out FILE.pdf [--options FLAGS]",
     "the printed report of a measurement as a PDF",
     R"(Writes the analysis report of the stored measurement whose `MKEY` is N, with its subject and
treatment record, to a PDF file and prints the file's path. A measurement the analysis refuses is
printed as such, with the reason on standard error.)",
     {{"--mkey", "N", "The measurement's key."},
      {"--out", "FILE.pdf", "The PDF file to write."},
      {"--options", "FLAGS",
       "The sections to print, a string of 0 and 1 in the order of the print "
       "screen's boxes (the configuration's print options unless given)."}},
     {}},
    {"demo",
     "",
     "--out DIR",
     "measure a demonstration subject and print its report",
     R"(Measures a demonstration subject with the simulated probe in virtual time (a few seconds), stores
the measurement, and writes its report `report.pdf` and the eight analysis charts `chart1.png` ...
`chart9.png` into DIR, printing each path. Without `--data-dir` it works in a data directory of its own,
removed afterwards; in a practice's data directory the subject and measurement stay, as any other.)",
     {{"--out", "DIR", "The folder for the report and the charts (made when missing)."}},
     {}},
    {"calibrate",
     "",
     "[--keep-failed]",
     "calibrate the probe",
     R"(Runs the probe calibration (the cotton tip held on the probe's metal handle) and prints one JSON
object: this calibration's `CalibStandard`, `CalibHigh`, `CalibDate` and `Success`, the values in use
before as `PreviousStandard` and `PreviousHigh`, and whether the new ones are now in use as `Applied`.
Every calibration is logged in `CALIBLOG` of the main database. Exit status 0 on success, 3 when the
calibration failed (its values are logged, the previous ones stay in use), 2 when nothing was stored
(no instrument answered, or the tip did not close the circuit within 60 s of instrument time).)",
     {{"--keep-failed", "",
       "Take the values of a failed calibration into use all the same (the screen "
       "asks, with 否 for its default)."}},
     {"--simulate", "--short-counts", "--trace-instrument"}},
    {"compare",
     "",
     "--mkey K1 [--mkey K2] [--band base|comparison|hidden] --out FILE | --mkey K1 --mkey K2 --json | "
     "--multi --mkey K1 [--mkey K2 ...] [--select N] --out FILE",
     "compare two, or up to six, stored measurements",
     R"(Draws the comparison of stored measurements into FILE: a chart when it ends in `.png`, the printed
page when it ends in `.pdf`. Without `--multi` the two-record comparison: measurement K1 against K2
(or K1 alone), with the band of no real change from the practice's repeat pairs. With `--json` it
writes no file and answers whether K2 changed from K1 beyond chance, once for the whole profile: the
whole-body shift against its own spread and the pattern point by point, judged together by Holm's
procedure at 5 %. With `--multi` the multi-record comparison of up to six measurements, each given
once. In practice mode each compared measurement is logged under its own subject.)",
     {{"--mkey", "K", "A measurement's key; once for each measurement compared.", true},
      {"--multi", "", "The multi-record comparison."},
      {"--band", "base|comparison|hidden",
       "Two-record comparison: the physiological band of the first "
       "measurement, of the second, or none (none unless given)."},
      {"--select", "N",
       "Multi-record comparison: the entry (1 to the number compared) whose marks are "
       "drawn."},
      {"--json", "",
       "Print the answer for K1 and K2 as JSON instead of a file: `shift_pct`, `shift_mdc_pct`, "
       "`shift_changed`, `changed_points` (points 1-24), `outside_band`, `not_judged` (C points), "
       "`expected_by_chance`, `figure` (`published`, `within-session` or `between-visits`) and "
       "the sentences the screen shows."},
      {"--out", "FILE", "The file to write, `.png` or `.pdf` (none with `--json`)."}},
     {}},
    {"trend",
     "",
     "--custno NUMBER --out FILE",
     "a subject's measurements over time",
     R"(Writes the trend of the subject's measurements into FILE: a table when it ends in `.csv`, the chart
when `.png`, the printout with its notes and the practice's noise figures when `.pdf`.)",
     {{"--custno", "NUMBER", "The subject's number."},
      {"--out", "FILE", "The file to write, `.csv`, `.png` or `.pdf`."}},
     {}},
};

} // namespace

std::vector<CommandSpec> recordCommands(); // clirecordcommands.cpp

const std::vector<CommandSpec>& cliCommands()
{
    static const std::vector<CommandSpec> commands = [] {
        std::vector<CommandSpec> all = measuringCommands;
        for (CommandSpec& s : recordCommands())
            all.push_back(std::move(s));
        return all;
    }();
    return commands;
}

} // namespace lumo
