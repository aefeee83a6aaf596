// lumo-cli as a user types it: its arguments, its exit codes and messages.
#include "clirunner.h"
#include "shell/datadir.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;
using lumo::test::runCli;

namespace {

QStringList values(double first, double rest = 40)
{
    QStringList v{QString::number(first, 'g', 17)};
    for (int i = 1; i < 24; ++i)
        v << QString::number(rest);
    return v;
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT
private slots:
    void dataDirectoryIsResolved_data()
    {
        QTest::addColumn<QString>("given");
        QTest::addColumn<QString>("resolved"); // empty: refused
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("blank") << "   "
                               << "";
        QTest::newRow("root") << "/"
                              << "";
        QTest::newRow("root by a detour") << "/tmp/.."
                                          << "";
        QTest::newRow("absolute") << "/tmp/lumo-x"
                                  << "/tmp/lumo-x/";
        QTest::newRow("relative") << "data/here" << QDir::currentPath() + QStringLiteral("/data/here/");
        QTest::newRow("relative with dots") << "./a/../b" << QDir::currentPath() + QStringLiteral("/b/");
    }
    void dataDirectoryIsResolved()
    {
        QFETCH(QString, given);
        QFETCH(QString, resolved);
        QString out;
        const Status s = resolveDataDirectory(given, &out);
        QCOMPARE(s.ok, !resolved.isEmpty());
        if (s)
            QCOMPARE(out, resolved);
        else
            QVERIFY(!s.error.isEmpty());
    }

    void emptyOrRootDataDirectoryWritesNothing_data()
    {
        QTest::addColumn<QString>("given");
        QTest::newRow("empty") << "";
        QTest::newRow("root") << "/";
    }
    void emptyOrRootDataDirectoryWritesNothing()
    {
        QFETCH(QString, given);
        QTemporaryDir cwd;
        const bool rootHadIni = QFile::exists(QStringLiteral("/ZuDefTw.ini"));
        const auto r = runCli({"--data-dir", given, "init"}, cwd.path());
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QString::fromUtf8("資料目錄")), qPrintable(r.err));
        QVERIFY(QDir(cwd.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
        QCOMPARE(QFile::exists(QStringLiteral("/ZuDefTw.ini")), rootHadIni);
    }

    void relativeDataDirectoryIsTheCurrentDirectorys()
    {
        QTemporaryDir cwd;
        const auto r = runCli({"--data-dir", "practice", "init"}, cwd.path());
        QCOMPARE(r.exitCode, 0);
        QVERIFY(QFile::exists(cwd.filePath(QStringLiteral("practice/lumo4.mdb"))));
    }

    void usageErrorsExitWithTwo_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"frobnicate"};
        QTest::newRow("config without dump") << QStringList{"config", "show"};
        QTest::newRow("data-dir without a directory") << QStringList{"--data-dir"};
        QTest::newRow("trace without a file") << QStringList{"--trace-instrument"};
        QTest::newRow("report without its options") << QStringList{"report"};
    }
    void usageErrorsExitWithTwo()
    {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const auto r = runCli(args, dir.path());
        QCOMPARE(r.exitCode, 2);
        QVERIFY(!r.err.isEmpty());
    }

    void analyseRefusesReadingsOutOfRange_data()
    {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("1e308") << "1e308" << 2;
        QTest::newRow("infinity") << "inf" << 2;
        QTest::newRow("minus infinity") << "-inf" << 2;
        QTest::newRow("not a number") << "nan" << 2;
        QTest::newRow("negative") << "-0.5" << 2;
        QTest::newRow("just above 1000") << "1000.01" << 2;
        QTest::newRow("1000") << "1000" << 0;
        QTest::newRow("above 200") << "410" << 0;
    }
    void analyseRefusesReadingsOutOfRange()
    {
        QFETCH(QString, reading);
        QFETCH(int, exitCode);
        QStringList args{"analyse", reading};
        args << values(40).mid(1);
        const auto r = runCli(args);
        QCOMPARE(r.exitCode, exitCode);
        if (exitCode == 0) {
            QVERIFY(r.out.contains(QStringLiteral("\"BodyEnergy\"")));
        } else {
            QVERIFY2(r.err.contains(QString::fromUtf8("無法分析")), qPrintable(r.err));
            QVERIFY(r.err.contains(QString::fromUtf8("第 1 點")));
            QVERIFY(r.out.isEmpty());
        }
    }

    void decipherMessageKeepsPercentSigns()
    {
        const auto r = runCli({"decipher", "zz%1"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QStringLiteral("'zz%1'")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("at 1")), qPrintable(r.err));
        QVERIFY(!r.err.contains(QStringLiteral("%2")));
    }

    void encipherRefusesCharactersOutsideCodePage950_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("named"); // empty: accepted
        QTest::newRow("accented letter") << QString::fromUtf8("火café") << "U+00E9";
        QTest::newRow("emoji") << QString::fromUtf8("心😀") << "U+1F600";
        QTest::newRow("simplified only") << QString::fromUtf8("经络") << "U+7ECF";
        QTest::newRow("traditional") << QString::fromUtf8("經絡能量 100%") << "";
    }
    void encipherRefusesCharactersOutsideCodePage950()
    {
        QFETCH(QString, text);
        QFETCH(QString, named);
        const auto r = runCli({"encipher", "--first", "3C", text});
        QCOMPARE(r.exitCode, named.isEmpty() ? 0 : 2);
        if (named.isEmpty()) {
            const auto back = runCli({"decipher", r.out.trimmed()});
            QCOMPARE(back.out.trimmed(), text);
        } else {
            QVERIFY2(r.err.contains(named), qPrintable(r.err));
            QVERIFY(r.out.isEmpty());
        }
    }

    void demonstrationSubjectNumbersAreUniqueAndFit()
    {
        QTemporaryDir dir;
        const QString data = dir.filePath(QStringLiteral("data"));
        QVERIFY(runCli({"--data-dir", data, "init"}).exitCode == 0);
        // Two demonstrations started together in one data directory: one second, two subjects.
        QProcess a, b;
        for (QProcess* p : {&a, &b})
            p->start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"),
                     {"--data-dir", data, "demo", "--out",
                      dir.filePath(p == &a ? QStringLiteral("a") : QStringLiteral("b"))});
        for (QProcess* p : {&a, &b}) {
            QVERIFY(p->waitForFinished(120000));
            QCOMPARE(p->exitCode(), 0);
        }
        QStringList numbers;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
            db.setDatabaseName(data + QStringLiteral("/lumo4.mdb"));
            QVERIFY(db.open());
            QSqlQuery q(db);
            QVERIFY(q.exec(QStringLiteral("SELECT CUSTNO FROM ZUCUST")));
            while (q.next())
                numbers << q.value(0).toString();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("check"));
        QCOMPARE(numbers.size(), 2);
        QVERIFY2(numbers[0].compare(numbers[1], Qt::CaseInsensitive) != 0, qPrintable(numbers.join(' ')));
        for (const QString& n : numbers)
            QVERIFY2(n.size() <= 15, qPrintable(n));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "test_cli.moc"
