// lumo-cli backup and restore as a script runs them.
#include "clirunner.h"

#include "backup/retention.h"
#include "records/database.h"
#include "records/programs.h"
#include "records/subjects.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using namespace lumo;
using namespace lumo::test;

namespace {

struct Installation
{
    QTemporaryDir dir;
    QString data;
    Installation()
    {
        data = dir.filePath(QStringLiteral("data"));
        const CliRun r = runCli({QStringLiteral("--data-dir"), data, QStringLiteral("init")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    }
    CliRun run(QStringList args) { return runCli(QStringList{QStringLiteral("--data-dir"), data} + args); }
    QString main() const { return data + QStringLiteral("/lumo4.mdb"); }
    qint64 subjects(const QString& path) const
    {
        Status st;
        auto db = Database::open(path, FileKind::Main, Database::Access::ReadOnly, &st);
        if (!db) return -1;
        QSqlQuery q(db->sql());
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM ZUCUST")) && q.next() ? q.value(0).toLongLong()
                                                                                 : -1;
    }
    void addSubject(const QString& no)
    {
        Status st;
        auto db = Database::open(main(), FileKind::Main, Database::Access::ReadWrite, &st);
        QVERIFY(db);
        SubjectRow s;
        s.CUSTNO = no;
        QVERIFY(SubjectStore(*db).append(s).ok);
    }
};

} // namespace

class TestCliBackup : public QObject
{
    Q_OBJECT
private slots:
    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("backup --to without a folder") << QStringList{"backup", "--to"};
        QTest::newRow("backup with a stray word") << QStringList{"backup", "now"};
        QTest::newRow("restore without a file") << QStringList{"restore"};
        QTest::newRow("restore with two files") << QStringList{"restore", "a", "b"};
    }
    void usage()
    {
        QFETCH(QStringList, args);
        Installation i;
        const CliRun r = i.run(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.err.contains(QStringLiteral("usage:")));
        QVERIFY(r.out.isEmpty());
    }

    void backupThenRestore()
    {
        Installation i;
        i.addSubject(QStringLiteral("A1"));
        CliRun r = i.run({QStringLiteral("backup")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QString copy = i.data + QStringLiteral("/Backup/") + backupFileName(QDate::currentDate());
        QCOMPARE(r.out.trimmed(), copy);
        QCOMPARE(i.subjects(copy), 1);

        // The operator's own folder keeps its mode.
        const QString elsewhere = i.dir.filePath(QStringLiteral("stick"));
        QVERIFY(QDir().mkpath(elsewhere));
        QCOMPARE(::chmod(QFile::encodeName(elsewhere).constData(), 0755), 0);
        r = i.run({QStringLiteral("backup"), QStringLiteral("--to"), elsewhere});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(QFile::exists(elsewhere + QLatin1Char('/') + backupFileName(QDate::currentDate())));
        struct stat st
        {
        };
        QCOMPARE(::stat(QFile::encodeName(elsewhere).constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 0777), 0755);

        i.addSubject(QStringLiteral("A2"));
        r = i.run({QStringLiteral("restore"), copy});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.out.contains(QStringLiteral("lumo4_before_restore.mdb")));
        QCOMPARE(i.subjects(i.main()), 1);
        QCOMPARE(i.subjects(i.data + QStringLiteral("/lumo4_before_restore.mdb")), 2);
    }

    // The commands of the copy's programs are printed with nothing hidden
    // and come only with --with-commands; the manifest's check is reported.
    void restoreTellsWhatItBrings_data()
    {
        QTest::addColumn<bool>("withCommands");
        QTest::newRow("without --with-commands") << false;
        QTest::newRow("--with-commands") << true;
    }
    void restoreTellsWhatItBrings()
    {
        QFETCH(bool, withCommands);
        Installation i;
        {
            Status st;
            auto db = Database::open(i.main(), FileKind::Main, Database::Access::ReadWrite, &st);
            ProgramRow p;
            p.ProNo = QStringLiteral("P9");
            p.ProName = QStringLiteral("Calm") + QString(3000, QLatin1Char(' ')) + QStringLiteral("\n\n");
            p.ProFN = QStringLiteral("1000");
            p.ProPrg = {QStringLiteral("/bin/sh"), {}, {}, {}};
            p.ProParm = {QStringLiteral("-c 'rm -rf ~'"), {}, {}, {}};
            QVERIFY(ProgramStore(*db).append(p).ok);
        }
        CliRun r = i.run({QStringLiteral("backup")});
        const QString copy = r.out.trimmed();
        QStringList args{QStringLiteral("restore"), copy};
        if (withCommands) args << QStringLiteral("--with-commands");
        r = i.run(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(r.err.contains(
            QString::fromUtf8("  P9 Calm⟨空白×3000⟩⟨換行×2⟩，按鈕 1：/bin/sh -c 'rm -rf ~'\n")));
        QCOMPARE(r.err.contains(QString::fromUtf8("已略過")), !withCommands);
        QVERIFY(r.out.contains(QString::fromUtf8("SHA-256 與備份清單")));
        Status st;
        auto db = Database::open(i.main(), FileKind::Main, Database::Access::ReadOnly, &st);
        const auto programs = ProgramStore(*db).loadAll();
        QCOMPARE(programs.size(), 1);
        QCOMPARE(programs[0].program.ProPrg[0], withCommands ? QStringLiteral("/bin/sh") : QString());
        QCOMPARE(programs[0].program.ProFN, withCommands ? QStringLiteral("1000") : QString());
    }

    void failures_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("restore a missing file") << "missing";
        QTest::newRow("restore a text file") << "text";
        QTest::newRow("backup without a database") << "nodb";
    }
    void failures()
    {
        QFETCH(QString, kind);
        Installation i;
        CliRun r;
        if (kind == QLatin1String("missing")) {
            r = i.run({QStringLiteral("restore"), i.dir.filePath(QStringLiteral("nothing.mdb"))});
        } else if (kind == QLatin1String("text")) {
            const QString file = i.dir.filePath(QStringLiteral("text.mdb"));
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a database");
            f.close();
            r = i.run({QStringLiteral("restore"), file});
        } else {
            QVERIFY(QFile::remove(i.main()));
            r = i.run({QStringLiteral("backup")});
            QVERIFY(!QDir(i.data + QStringLiteral("/Backup")).exists() ||
                    QDir(i.data + QStringLiteral("/Backup")).isEmpty());
        }
        QCOMPARE(r.exitCode, 2);
        QVERIFY(!r.err.trimmed().isEmpty());
        QVERIFY(r.out.isEmpty());
        if (kind != QLatin1String("nodb")) QCOMPARE(i.subjects(i.main()), 0);
        QVERIFY(!QFile::exists(i.data + QStringLiteral("/lumo4_before_restore.mdb")));
    }
};

QTEST_GUILESS_MAIN(TestCliBackup)
#include "test_cli_backup.moc"
