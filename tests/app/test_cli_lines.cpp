// lumo-cli's command lines against the one table that describes them: every
// command refuses what it does not take before it touches anything, --help and
// the manual page say the same, and match reads either kind of program file.
#include "clirunner.h"
#include "shell/commandline.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;
using lumo::test::CliRun;
using lumo::test::runCli;

namespace {

// The manual's commands: each heading ("chart N --out FILE.png ...") with the
// options listed beneath it, roff taken off.
QMap<QString, QStringList> manualCommands(const QString& path, QMap<QString, QString>* descriptions)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    const auto plain = [](QString s) {
        s.replace(QRegularExpression(QStringLiteral("\\\\f[BIR]")), QString());
        return s.replace(QLatin1String("\\-"), QLatin1String("-")).replace(QLatin1String("\\&"), QString());
    };
    QMap<QString, QStringList> commands;
    QString current;
    bool inCommands = false, afterItem = false, inDescription = false;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        if (line.startsWith(QLatin1String(".SH"))) inCommands = line == QLatin1String(".SH COMMANDS");
        if (!inCommands) continue;
        if (line.startsWith(QLatin1String(".SS "))) {
            current = plain(line.mid(4)).remove(QLatin1Char('"'));
            commands[current];
            inDescription = true;
        } else if (line == QLatin1String(".TP")) {
            afterItem = true;
            inDescription = false;
        } else if (afterItem) {
            commands[current] << plain(line).section(QLatin1Char(' '), 0, 0);
            afterItem = false;
        } else if (line.startsWith(QLatin1String("Also takes "))) {
            for (const QString& w : plain(line).split(QRegularExpression(QStringLiteral("[ ,]+"))))
                if (w.startsWith(QLatin1String("--"))) commands[current] << w;
        } else if (inDescription && !line.startsWith(QLatin1Char('.'))) {
            (*descriptions)[current] += plain(line) + QLatin1Char(' ');
        }
    }
    return commands;
}

QStringList readings()
{
    QStringList v;
    for (int i = 0; i < 24; ++i)
        v << QStringLiteral("40");
    return v;
}

void addTable(const QString& file, const QString& sql)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), file);
    db.setDatabaseName(file);
    QVERIFY(db.open());
    QVERIFY(QSqlQuery(db).exec(sql));
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(file);
}

} // namespace

class TestCliLines : public QObject
{
    Q_OBJECT
private slots:
    // Every command's unknown option and every option without its value, from the table itself.
    void everyCommandRefusesWhatItDoesNotTake_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("message");
        for (const CommandSpec& s : cliCommands()) {
            const QStringList head = s.title().split(QLatin1Char(' '));
            QTest::addRow("%s --bogus", qPrintable(s.title()))
                << head + QStringList{"--bogus"} << "unknown option --bogus";
            for (const OptionSpec& o : s.options)
                if (*o.value)
                    QTest::addRow("%s %s", qPrintable(s.title()), o.name)
                        << head + QStringList{QLatin1String(o.name)}
                        << QStringLiteral("%1 needs a value").arg(QLatin1String(o.name));
        }
        QTest::newRow("instrument option of another command")
            << QStringList{"noise", "--simulate"} << "unknown option --simulate";
        QTest::newRow("twice") << QStringList{"backup", "--to", "a", "--to", "b"} << "--to is given twice";
        QTest::newRow("a value that is an option")
            << QStringList{"export-csv", "--to", "--anonymous"} << "--to needs a value";
        QTest::newRow("shared option without its value")
            << QStringList{"init", "--data-dir"} << "--data-dir needs a value";
        QTest::newRow("unknown sub-command")
            << QStringList{"operator", "rename"} << "unknown sub-command rename";
        // Taken: a repeatable option, shared options anywhere, a negative reading (one dash).
        QTest::newRow("repeatable") << QStringList{"compare", "--mkey", "1", "--mkey", "2", "--out", "c.png"}
                                    << "";
        QTest::newRow("shared options around the command")
            << QStringList{"--simulate", "measure", "--data-dir", "d", "--store", "A1"} << "";
        QTest::newRow("negative reading") << QStringList{"analyse", "-0.5", "--female"} << "";
    }
    void everyCommandRefusesWhatItDoesNotTake()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, message);
        const CommandLine line = parseCliLine(args);
        QVERIFY2(message.isEmpty() ? line.error.isEmpty() : line.error.contains(message),
                 qPrintable(line.error));
    }

    // The program refuses before anything: no data directory made, no file written.
    void refusedBeforeAnything_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("named");
        QTest::newRow("one letter wrong") << QStringList{"export-csv", "--to", "OUT", "--anonymus"}
                                          << "--anonymus (did you mean --anonymous?)";
        QTest::newRow("unknown option with a value") << QStringList{"noise", "--bogus", "7"} << "--bogus";
        QTest::newRow("missing value")
            << QStringList{"measure", "--simulate", "--store"} << "--store needs a value";
        QTest::newRow("short counts without a value")
            << QStringList{"calibrate", "--short-counts"} << "--short-counts";
    }
    void refusedBeforeAnything()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, named);
        QTemporaryDir tmp;
        const QString data = tmp.filePath(QStringLiteral("data"));
        args.replaceInStrings(QStringLiteral("OUT"), tmp.filePath(QStringLiteral("out")));
        const CliRun r = runCli(args + QStringList{"--data-dir", data});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(named), qPrintable(r.err));
        QVERIFY(r.out.isEmpty());
        QCOMPARE(QDir(tmp.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList());
    }

    // Each command's usage, description and options in --help are those of its manual page.
    void helpAndManualSayTheSame()
    {
        QMap<QString, QString> manualText;
        const QMap<QString, QStringList> manual =
            manualCommands(QStringLiteral(LUMO_DOC_DIR "/lumo-cli.1"), &manualText);
        QVERIFY(!manual.isEmpty());
        const CliRun overview = runCli({"--help"});
        QCOMPARE(overview.exitCode, 0);
        QStringList titles;
        for (const QString& l :
             overview.out.section(QStringLiteral("Commands:\n"), 1).split(QLatin1Char('\n')))
            if (l.startsWith(QLatin1String("  "))) titles << l.trimmed().section(QStringLiteral("  "), 0, 0);
        QStringList headings;
        for (const QString& title : titles) {
            const CliRun help = runCli(title.split(QLatin1Char(' ')) + QStringList{"--help"});
            QCOMPARE(help.exitCode, 0);
            const QString heading =
                help.out.section(QLatin1Char('\n'), 0, 0).section(QStringLiteral("[COMMON OPTIONS] "), 1);
            QVERIFY2(manual.contains(heading), qPrintable(heading));
            headings << heading;
            QStringList options;
            for (const QString& l :
                 help.out.section(QStringLiteral("Options:\n"), 1).split(QLatin1Char('\n')))
                if (l.startsWith(QLatin1String("  --")))
                    options << l.trimmed().section(QLatin1Char(' '), 0, 0);
            QCOMPARE(options, manual.value(heading));
            QString described = help.out.section(QStringLiteral("\n\n"), 1);
            described = described.left(described.indexOf(QStringLiteral("\nOptions:\n")))
                            .section(QStringLiteral("\nCommon options ("), 0, 0);
            QCOMPARE(described.simplified(), manualText.value(heading).simplified());
        }
        headings.sort();
        QCOMPARE(headings, manual.keys());
    }

    // The practice's own program file (the template init delivers, the main
    // database made from it) and the master file are both read; a foreign
    // object is named as what it is, never one of the program's own tables.
    void matchReadsEitherProgramFile_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("foreign"); // SQL that adds what does not belong
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("template") << "Zuspa.mdb" << QString() << 0 << "";
        QTest::newRow("main database") << "lumo4.mdb" << QString() << 0 << "";
        QTest::newRow("master file") << "lumoMTW.mdb" << QString() << 0 << "";
        QTest::newRow("knowledge file") << "lumoTW.mdb" << QString() << 2 << QString::fromUtf8("知識資料庫");
        QTest::newRow("main database with a foreign table")
            << "lumo4.mdb"
            << "CREATE TABLE EXTRA (A INTEGER)" << 2 << QString::fromUtf8("資料表 EXTRA");
        QTest::newRow("master file with a foreign view")
            << "lumoMTW.mdb"
            << "CREATE VIEW PEEK AS SELECT 1" << 2 << QString::fromUtf8("PEEK");
    }
    void matchReadsEitherProgramFile()
    {
        QFETCH(QString, file);
        QFETCH(QString, foreign);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        QTemporaryDir tmp;
        QCOMPARE(runCli({"--data-dir", tmp.path(), "init"}).exitCode, 0);
        const QString path = tmp.filePath(file);
        if (!foreign.isEmpty()) addTable(path, foreign);
        const CliRun r = runCli(QStringList{"--data-dir", tmp.path(), "match", "--db", path} + readings());
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        if (exitCode == 0) QVERIFY2(r.out.startsWith(QLatin1Char('[')), qPrintable(r.out));
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY2(!r.err.contains(QStringLiteral("ZUCUST")), qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestCliLines)
#include "test_cli_lines.moc"
