// Export and import through the transfer file as the screen runs them: the
// groups, the order of rows, the carried values read back field by field, the
// questions and notices, and imports that change all or nothing.
#include "base/formats.h"
#include "records/sqlitesource.h"
#include "records/transferflow.h"
#include "transferfixture.h"

#include <QFile>
#include <cerrno>

using namespace lumo;
using namespace lumo::test;

namespace {

// The rows of a table without MKEY and ZUDATE, in key order.
QStringList withoutDate(const QStringList& rows)
{
    QStringList out;
    for (QString r : rows) {
        QStringList fields = r.split(QLatin1Char('|'));
        fields.erase(std::remove_if(fields.begin(), fields.end(),
                                    [](const QString& f) { return f.startsWith(QLatin1String("ZUDATE=")); }),
                     fields.end());
        out << fields.join(QLatin1Char('|'));
    }
    return out;
}

QVector<double> datesOf(Database& db)
{
    QVector<double> d;
    QSqlQuery q(db.sql());
    q.exec(QStringLiteral("SELECT ZUDATE FROM ZUDATA ORDER BY MKEY"));
    while (q.next())
        d << q.value(0).toDouble();
    return d;
}

// The rows of the main table in the order the export writes them.
QStringList mainRowsInOrder(Database& db, const QString& table, const QString& order)
{
    QStringList rows;
    const QStringList all = rowsOf(db, table, true);
    QSqlQuery q(db.sql());
    q.exec(QStringLiteral("SELECT MKEY FROM %1 ORDER BY %2").arg(table, order));
    while (q.next()) {
        const QString key = QStringLiteral("MKEY=") + q.value(0).toString() + QLatin1Char('|');
        for (const QString& r : all)
            if (r.startsWith(key)) rows << r.mid(key.size());
    }
    return rows;
}

std::unique_ptr<Database> openTransfer(const QString& path)
{
    Status st;
    auto db = Database::open(path, FileKind::Main, Database::Access::ReadOnly, &st);
    if (!db) qWarning() << st.error;
    return db;
}

// An exported transfer file of the practice, in its own folder.
QString exportedFile(TransferPractice& p, TransferGroups groups,
                     const QString& folder = QStringLiteral("out"))
{
    const QString dir = p.folder(folder);
    p.flow().runExport(ExportRequest{dir, groups, false, false});
    p.clear();
    return dir + QStringLiteral("/ZuTran.mdb");
}

} // namespace

class TestTransfer : public QObject
{
    Q_OBJECT
private slots:
    void exportCarriesTheTickedGroups_data()
    {
        QTest::addColumn<bool>("programs");
        QTest::addColumn<bool>("records");
        QTest::newRow("programs only") << true << false;
        QTest::newRow("records only") << false << true;
        QTest::newRow("both groups") << true << true;
    }
    void exportCarriesTheTickedGroups()
    {
        QFETCH(bool, programs);
        QFETCH(bool, records);
        TransferPractice p;
        fillPractice(*p.main);
        const QStringList before = everyRow(*p.main);
        const QString dir = p.folder(QStringLiteral("stick"));
        QCOMPARE(p.flow().runExport(ExportRequest{dir, {programs, records}, false, false}),
                 TransferOutcome::Done);

        QCOMPARE(p.tones, QVector<int>{1});
        QCOMPARE(p.shownTexts(),
                 (QStringList{TransferFlow::exportQuestion(), TransferFlow::exportSuccess()}));
        QCOMPARE(p.messages.shown().front().kind, int(AskImportant));
        QCOMPARE(p.messages.shown().back().kind, int(NoteImportant));
        QCOMPARE(everyRow(*p.main), before); // the export only reads
        QVERIFY(!QFile::exists(p.dataDir + QStringLiteral("ZuTran.mdb")));
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("ZuTran.mdb")});

        auto t = openTransfer(dir + QStringLiteral("/ZuTran.mdb"));
        QVERIFY(t);
        // Programs in ProNo order then their conditions; subjects in CUSTNO order then the measurements.
        QCOMPARE(rowsOf(*t, QStringLiteral("ZUPRO")),
                 programs ? mainRowsInOrder(*p.main, QStringLiteral("ZUPRO"), QStringLiteral("ProNo"))
                          : QStringList());
        QCOMPARE(rowsOf(*t, QStringLiteral("ZUPRDT")),
                 programs ? rowsOf(*p.main, QStringLiteral("ZUPRDT")) : QStringList());
        QCOMPARE(rowsOf(*t, QStringLiteral("ZUCUST")),
                 records ? mainRowsInOrder(*p.main, QStringLiteral("ZUCUST"), QStringLiteral("CUSTNO"))
                         : QStringList());
        QCOMPARE(withoutDate(rowsOf(*t, QStringLiteral("ZUDATA"))),
                 records ? withoutDate(rowsOf(*p.main, QStringLiteral("ZUDATA"))) : QStringList());
        if (programs) QCOMPARE(ProgramStore(*t).loadAll(true).front().program.ProPict, everyByte() + "P1");
        // ZUDATE travels to the second: 14:30:12.789 arrives as 14:30:12.
        const QVector<double> sent = datesOf(*p.main), arrived = datesOf(*t);
        QCOMPARE(arrived.size(), records ? sent.size() : 0);
        for (int i = 0; i < arrived.size(); ++i) {
            QDateTime expected = dateTimeFromDayNumber(sent[i]);
            expected.setTime(
                QTime(expected.time().hour(), expected.time().minute(), expected.time().second()));
            QCOMPARE(dateTimeFromDayNumber(arrived[i]), expected);
        }
        // The bar moved, filled at the end and went back to 0; 離  開 was off meanwhile.
        QVERIFY(p.bar.contains(TransferProgress::Maximum));
        QCOMPARE(p.bar.last(), 0);
        QVERIFY(std::is_sorted(p.bar.begin(), p.bar.end() - 1));
        QCOMPARE(p.running, (QVector<bool>{true, false}));
    }

    void exportReplacesAnOlderFileOnlyWhenWhole()
    {
        TransferPractice p;
        fillPractice(*p.main);
        const QString dir = p.folder(QStringLiteral("stick"));
        QFile old(dir + QStringLiteral("/zutran.MDB")); // its name in another case, as a Windows disk has it
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("an older transfer file");
        old.close();
        QCOMPARE(p.flow().runExport(ExportRequest{dir, {true, true}, false, false}), TransferOutcome::Done);
        QCOMPARE(QDir(dir).entryList(QDir::Files), QStringList{QStringLiteral("zutran.MDB")});
        auto t = openTransfer(dir + QStringLiteral("/zutran.MDB"));
        QVERIFY(t);
        QCOMPARE(countOf(*t, "ZUCUST"), 3);
    }

    void theDataDirectoryAsTheChosenOne()
    {
        TransferPractice p;
        fillPractice(*p.main);
        // Exported into the data directory itself, the file stays there...
        QCOMPARE(p.flow().runExport(ExportRequest{p.dataDir, {true, true}, false, false}),
                 TransferOutcome::Done);
        const QString file = p.dataDir + QStringLiteral("ZuTran.mdb");
        QVERIFY(openTransfer(file));
        // ...and imported from there it is read, not deleted first.
        QCOMPARE(p.flow().runImport(ImportRequest{p.dataDir, {false, true}, false}), TransferOutcome::Done);
        QCOMPARE(countOf(*p.main, "ZUCUST"), 6);
        QVERIFY(QFile::exists(file));
        QVERIFY(!QFile::exists(p.dataDir + QStringLiteral("ZuTran.working.mdb")));
    }

    void exportAnsweredNoWritesNothing()
    {
        TransferPractice p;
        fillPractice(*p.main);
        p.messages.push(false);
        const QString dir = p.folder(QStringLiteral("stick"));
        QCOMPARE(p.flow().runExport(ExportRequest{dir, {true, true}, true, false}),
                 TransferOutcome::Cancelled);
        QVERIFY(QDir(dir).entryList(QDir::Files).isEmpty());
        QCOMPARE(p.shownTexts(), QStringList{TransferFlow::exportQuestion()});
        QCOMPARE(p.running, (QVector<bool>{true, false}));
    }

    void importAppendedTwiceDoublesEverything()
    {
        TransferPractice source;
        fillPractice(*source.main);
        const QString file = exportedFile(source, {true, true});
        TransferPractice p;
        fillPractice(*p.main, QStringLiteral("own"));
        const QStringList own = everyRow(*p.main);
        for (int round = 1; round <= 2; ++round) {
            p.clear();
            QCOMPARE(p.flow().runImport(ImportRequest{QFileInfo(file).path(), {true, true}, false}),
                     TransferOutcome::Done);
            QCOMPARE(p.shownTexts().first(), TransferFlow::importQuestion(false));
            QCOMPARE(p.shownTexts().last(), TransferFlow::importSuccess(false));
            QCOMPARE(p.tones.first(), 2);
        }
        auto t = openTransfer(file);
        for (const char* table : {"ZUCUST", "ZUDATA", "ZUPRO", "ZUPRDT"}) {
            const QStringList arrived = rowsOf(*t, QLatin1String(table));
            const QStringList now = rowsOf(*p.main, QLatin1String(table));
            const qsizetype ownRows = now.size() - 2 * arrived.size();
            QVERIFY(!arrived.isEmpty());
            QCOMPARE(now.mid(ownRows), arrived + arrived);
        }
        // The own rows kept their keys and values; the imported ones got new keys.
        const QStringList all = everyRow(*p.main);
        for (const QString& r : own)
            QVERIFY2(all.contains(r), qPrintable(r));
        QCOMPARE(countOf(*p.main, "ZUCUST"), 9);
        QCOMPARE(countOf(*p.main, "ZUDATA"), 18);
        QVERIFY(!QFile::exists(p.dataDir + QStringLiteral("ZuTran.mdb")));
    }

    void replaceWithAnEmptySourceGroup()
    {
        TransferPractice source;
        fillPractice(*source.main);
        QSqlQuery(source.main->sql()).exec(QStringLiteral("DELETE FROM ZUCUST"));
        const QString file = exportedFile(source, {true, true});
        TransferPractice p;
        fillPractice(*p.main, QStringLiteral("own"));
        const QStringList subjects = rowsOf(*p.main, QStringLiteral("ZUCUST"), true);
        const QStringList measurements = rowsOf(*p.main, QStringLiteral("ZUDATA"), true);
        QCOMPARE(p.flow().runImport(ImportRequest{QFileInfo(file).path(), {true, true}, true}),
                 TransferOutcome::Done);

        auto t = openTransfer(file);
        QCOMPARE(rowsOf(*p.main, QStringLiteral("ZUPRO")), rowsOf(*t, QStringLiteral("ZUPRO")));
        QCOMPARE(rowsOf(*p.main, QStringLiteral("ZUPRDT")), rowsOf(*t, QStringLiteral("ZUPRDT")));
        QCOMPARE(rowsOf(*p.main, QStringLiteral("ZUCUST"), true), subjects);
        QCOMPARE(rowsOf(*p.main, QStringLiteral("ZUDATA"), true), measurements);
        QCOMPARE(p.shownTexts(),
                 (QStringList{TransferFlow::importQuestion(true),
                              TransferFlow::commandsQuestion(1) + QStringLiteral("\r\n\r\n") +
                                  u("P2 療程 P2，按鈕 1：/usr/bin/xdg-open /tmp/handout.pdf"),
                              TransferFlow::emptyGroupNotice(false), TransferFlow::importSuccess(true)}));
        QCOMPARE(p.messages.shown()[2].kind, int(NoteAttention));
        QCOMPARE(p.tones, (QVector<int>{2, 1, 1}));
    }

    void externalCommandsOnlyWhenAccepted_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::newRow("accepted") << true;
        QTest::newRow("declined") << false;
    }
    void externalCommandsOnlyWhenAccepted()
    {
        QFETCH(bool, answer);
        TransferPractice source;
        fillPractice(*source.main);
        const QString file = exportedFile(source, {true, false});
        TransferPractice p;
        p.messages.push(true);   // the import question
        p.messages.push(answer); // the external programs
        QCOMPARE(p.flow().runImport(ImportRequest{QFileInfo(file).path(), {true, false}, false}),
                 TransferOutcome::Done);
        QCOMPARE(p.messages.shown()[1].kind, int(AskAttention));
        QVERIFY(p.messages.shown()[1].text.contains(QStringLiteral("/usr/bin/xdg-open /tmp/handout.pdf")));
        const auto programs = ProgramStore(*p.main).loadAll(true);
        QCOMPARE(programs.size(), 3);
        for (const auto& pc : programs) {
            const bool hasCommand = pc.program.ProNo == QLatin1String("P2") && answer;
            QCOMPARE(pc.program.ProPrg[0], hasCommand ? QStringLiteral("/usr/bin/xdg-open") : QString());
            QCOMPARE(pc.program.ProParm[0], hasCommand ? QStringLiteral("/tmp/handout.pdf") : QString());
            // Declined, the buttons go with their flags and hints: none stays enabled to start nothing.
            QCOMPARE(pc.program.ProScrp[3], answer ? u("說明四") : QString());
            QCOMPARE(pc.program.ProFN, answer ? QStringLiteral("1010") : QString());
            // Everything else arrives either way.
            QCOMPARE(pc.program.ProData, u("說明，含 \"引號\"\r\n第二行"));
            QCOMPARE(pc.program.ProPict, everyByte() + pc.program.ProNo.toLatin1().right(2));
        }
        // Dropped means blank, not missing: the earlier program reads the rows too.
        QSqlQuery q(p.main->sql());
        QVERIFY(q.exec("SELECT count(*) FROM ZUPRO WHERE ProFN IS NULL OR ProPrg1 IS NULL OR ProScrp4 IS NULL"));
        QVERIFY(q.next());
        if (!answer) QCOMPARE(q.value(0).toInt(), 0);
    }

    void olderLayoutArrivesWithEmptyFields()
    {
        TransferPractice p;
        const QString dir = p.folder(QStringLiteral("old"));
        {
            // A file of the layout before the program buttons and the age limits.
            Status st;
            auto old = Database::create(dir + QStringLiteral("/ZuTran.mdb"), FileKind::Main, &st);
            QSqlQuery q(old->sql());
            QStringList gone{QStringLiteral("ProFN")};
            for (const char* stem : {"ProScrp", "ProPrg", "ProParm"})
                for (int i = 1; i <= 4; ++i)
                    gone << QLatin1String(stem) + QString::number(i);
            for (const QString& c : gone)
                QVERIFY(q.exec(QStringLiteral("ALTER TABLE ZUPRO DROP COLUMN ") + c));
            QVERIFY(q.exec("ALTER TABLE ZUPRDT DROP COLUMN ProAGL"));
            QVERIFY(q.exec("ALTER TABLE ZUPRDT DROP COLUMN ProAGH"));
            QVERIFY(q.exec("INSERT INTO ZUPRO (MKEY, ProNo, ProName, ProData, ProPict, ProScal, PrtFG)"
                           " VALUES (7, 'OLD', 'Old program', 'text', x'00ff10', 1, 0)"));
            QVERIFY(
                q.exec("INSERT INTO ZUPRDT (MKEY, ProNo, ProSubN, ProNote, ProAnd, ProCond, ProEng, ProFlg,"
                       " PrtFG) VALUES (9, 'OLD', 'cond', 'note', '1', '2', 33.5, 1, 0)"));
        }
        QCOMPARE(p.flow().runImport(ImportRequest{dir, {true, false}, false}), TransferOutcome::Done);
        const auto programs = ProgramStore(*p.main).loadAll(true);
        QCOMPARE(programs.size(), 1);
        const ProgramRow& r = programs.front().program;
        QCOMPARE(r.ProName, QStringLiteral("Old program"));
        QCOMPARE(r.ProPict, QByteArray("\x00\xff\x10", 3));
        QVERIFY(r.ProScal);
        QCOMPARE(r.ProFN, QString());
        for (int i = 0; i < 4; ++i)
            QVERIFY(r.ProScrp[size_t(i)].isEmpty() && r.ProPrg[size_t(i)].isEmpty() &&
                    r.ProParm[size_t(i)].isEmpty());
        const ConditionRow& c = programs.front().conditions.front();
        QCOMPARE(c.ProEng, 33.5);
        QCOMPARE(c.ProAGL, 0);
        QCOMPARE(c.ProAGH, 0);
        QVERIFY(c.ProFlg);
    }

    void failedImportChangesNothing_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("replace");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a required field missing") << "drop NAME" << false << u("缺少欄位 NAME");
        QTest::newRow("a required field missing, replacing") << "drop NAME" << true << u("缺少欄位 NAME");
        QTest::newRow("truncated") << "truncate" << false << u("不是資料庫檔案");
        QTest::newRow("truncated, replacing") << "truncate" << true << u("不是資料庫檔案");
        QTest::newRow("not a database") << "garbage" << true << u("不是資料庫檔案");
        QTest::newRow("a value that is no number") << "text in ZU5" << true << u("ZU5");
        QTest::newRow("the engine refuses a row") << "refuse" << true << u("disk full");
    }
    void failedImportChangesNothing()
    {
        QFETCH(QString, damage);
        QFETCH(bool, replace);
        QFETCH(QString, expected);
        TransferPractice source;
        fillPractice(*source.main);
        const QString file = exportedFile(source, {true, true});
        TransferPractice p;
        fillPractice(*p.main, QStringLiteral("own"));
        if (damage == QLatin1String("drop NAME") || damage == QLatin1String("text in ZU5")) {
            auto t = Database::open(file, FileKind::Main, Database::Access::ReadWrite, nullptr);
            QSqlQuery q(t->sql());
            // The column goes with what reads it: its index and the filter's triggers.
            if (damage == QLatin1String("drop NAME"))
                for (const char* s : {"DROP INDEX ZUCUST_NAME", "DROP TRIGGER ZUCUST_FIND_INSERT",
                                      "DROP TRIGGER ZUCUST_FIND_DELETE", "DROP TRIGGER ZUCUST_FIND_UPDATE"})
                    QVERIFY(q.exec(QLatin1String(s)));
            QVERIFY(damage == QLatin1String("drop NAME")
                        ? q.exec(QStringLiteral("ALTER TABLE ZUCUST DROP COLUMN NAME"))
                        : q.exec(QStringLiteral("UPDATE ZUDATA SET ZU5 = 'abc' WHERE MKEY = 4")));
            t.reset();
            QVERIFY(Database::settle(file).ok);
        } else if (damage == QLatin1String("truncate")) {
            QFile f(file);
            QVERIFY(f.resize(f.size() / 2));
        } else if (damage == QLatin1String("garbage")) {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(QByteArray(40000, 'x'));
        } else {
            // The main database takes the subjects and then refuses a measurement, as a full disk does.
            QVERIFY(QSqlQuery(p.main->sql())
                        .exec(QStringLiteral("CREATE TRIGGER refuse BEFORE INSERT ON ZUDATA WHEN NEW.AutoKey "
                                             "= 'A3' BEGIN SELECT RAISE(ABORT, 'disk full'); END")));
        }
        const QStringList before = everyRow(*p.main);
        const TransferOutcome outcome =
            p.flow().runImport(ImportRequest{QFileInfo(file).path(), {true, true}, replace});
        QVERIFY2(outcome == TransferOutcome::Failed, qPrintable(p.shownTexts().join(QLatin1Char('/'))));
        QCOMPARE(everyRow(*p.main), before);
        QCOMPARE(p.tones.last(), 2);
        const auto& last = p.messages.shown().back();
        QCOMPARE(last.kind, int(NoteAttention));
        QVERIFY2(last.text.startsWith(u("資料匯入錯誤 !! ")), qPrintable(last.text));
        QVERIFY2(last.text.contains(expected), qPrintable(last.text));
        QVERIFY(last.text.endsWith(u("， 請排除問題後重新匯入資料。")));
        QVERIFY(!last.text.contains(p.dataDir +
                                    QStringLiteral("ZuTran.mdb"))); // the file as chosen, not its copy
        QVERIFY(!QFile::exists(p.dataDir + QStringLiteral("ZuTran.mdb")));
        QCOMPARE(p.running.last(), false);
    }

    void anotherWorkstationHoldingTheLock()
    {
        TransferPractice source;
        fillPractice(*source.main);
        const QString file = exportedFile(source, {true, true});
        TransferPractice p;
        fillPractice(*p.main, QStringLiteral("own"));
        p.main->setBusyTimeout(200);
        Status st;
        auto other = Database::open(p.main->path(), FileKind::Main, Database::Access::ReadWrite, &st);
        QVERIFY(QSqlQuery(other->sql()).exec(QStringLiteral("BEGIN IMMEDIATE")));
        const QStringList before = everyRow(*other);
        QCOMPARE(p.flow().runImport(ImportRequest{QFileInfo(file).path(), {true, true}, true}),
                 TransferOutcome::Failed);
        QVERIFY(p.messages.shown().back().text.contains(databaseBusyMessage()));
        QVERIFY(QSqlQuery(other->sql()).exec(QStringLiteral("COMMIT")));
        QCOMPARE(everyRow(*p.main), before);
    }

    void errorTextsByTheSystemsError_data()
    {
        QTest::addColumn<int>("osError");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("exportText");
        QTest::addColumn<QString>("importText");
        const QString missing = u("來源的檔案資料不存在 !!"), readOnly = u("磁片或檔案是唯讀格式 !!");
        const QString notReady = u("磁碟機尚未準備妥當，或沒有磁片 !!"),
                      fault = u("無法讀取指定裝置，或磁碟格式化錯誤 !!");
        const QString full = u("磁碟容量不足 !!");
        QTest::newRow("ENOENT") << ENOENT << 2 << missing << missing;
        QTest::newRow("EACCES") << EACCES << 5 << readOnly << readOnly;
        QTest::newRow("EPERM") << EPERM << 5 << readOnly << readOnly;
        QTest::newRow("EROFS") << EROFS << 19 << u("磁碟片防寫 !!") << u("磁碟片防寫 !!");
        QTest::newRow("ENODEV") << ENODEV << 21 << notReady << notReady;
        QTest::newRow("ENXIO") << ENXIO << 21 << notReady << notReady;
        QTest::newRow("ENOMEDIUM") << ENOMEDIUM << 21 << notReady << notReady;
        QTest::newRow("EIO") << EIO << 30 << fault << fault;
        QTest::newRow("EBUSY") << EBUSY << 32 << fault << fault;
        QTest::newRow("ETXTBSY") << ETXTBSY << 32 << fault << fault;
        QTest::newRow("ENOSPC") << ENOSPC << 112 << full << full;
        QTest::newRow("EDQUOT") << EDQUOT << 112 << full << full;
        QTest::newRow("EMFILE, its own number") << EMFILE << EMFILE << u("資料匯出錯誤 !! ErrorCode[24]，")
                                                << u("資料匯入錯誤 !! ErrorCode[24]，");
        QTest::newRow("EMLINK, its own number") << EMLINK << EMLINK << u("資料匯出錯誤 !! ErrorCode[31]，")
                                                << u("資料匯入錯誤 !! ErrorCode[31]，");
        QTest::newRow("EPIPE, its own number")
            << EPIPE << EPIPE << u("資料匯出錯誤 !! ErrorCode[32]，") << u("資料匯入錯誤 !! ErrorCode[32]，");
        QTest::newRow("EISDIR, its own number") << EISDIR << EISDIR << u("資料匯出錯誤 !! ErrorCode[21]，")
                                                << u("資料匯入錯誤 !! ErrorCode[21]，");
    }
    void errorTextsByTheSystemsError()
    {
        QFETCH(int, osError);
        QFETCH(int, code);
        QFETCH(QString, exportText);
        QFETCH(QString, importText);
        QCOMPARE(transferErrorCode(osError), code);
        QCOMPARE(transferErrorText(osError, TransferDirection::Export), exportText);
        QCOMPARE(transferErrorText(osError, TransferDirection::Import), importText);
        QCOMPARE(transferFailureMessage(exportText, TransferDirection::Export),
                 exportText + u(" 請排除問題後重新匯出資料。"));
        QCOMPARE(transferFailureMessage(importText, TransferDirection::Import),
                 importText + u(" 請排除問題後重新匯入資料。"));
    }

    void importOfAFileThatWentAway()
    {
        TransferPractice source;
        fillPractice(*source.main);
        const QString file = exportedFile(source, {true, true});
        TransferPractice p;
        const QStringList before = everyRow(*p.main);
        QVERIFY(QFile::remove(file)); // after the directory was chosen
        QCOMPARE(p.flow().runImport(ImportRequest{QFileInfo(file).path(), {true, true}, true}),
                 TransferOutcome::Failed);
        QCOMPARE(p.shownTexts().last(), u("來源的檔案資料不存在 !! 請排除問題後重新匯入資料。"));
        QCOMPARE(everyRow(*p.main), before);
    }

    void progressOfALongOperationKeepsMoving()
    {
        QVector<int> shown;
        TransferProgress bar([&](int v) { shown << v; });
        bar.plan(100000);
        for (int i = 0; i < 100000; ++i)
            bar.advance();
        QCOMPARE(shown.size(), TransferProgress::Maximum);
        QCOMPARE(shown.last(), TransferProgress::Maximum);
        // A short one advances by 5 a step.
        shown.clear();
        bar.plan(10);
        for (int i = 0; i < 3; ++i)
            bar.advance();
        QCOMPARE(shown, (QVector<int>{0, 5, 10, 15}));
    }
};

QTEST_MAIN(TestTransfer)
#include "test_transfer.moc"
