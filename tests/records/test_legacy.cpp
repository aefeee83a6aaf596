// The files of the earlier Windows program: the Access reader on the public
// sample files (Jet 3 and Jet 4), the four tables carried through the reader
// interface, the migration of an Access main database, and the start-up
// conversion of an Access lumo.mdb.
#include "base/codec.h"
#include "base/formats.h"
#include "records/conversion.h"
#include "records/migration.h"
#include "records/tablemapping.h"
#include "records/transfer.h"
#include "shell/sharedstate.h"
#include "support/memorysource.h"
#include "transferfixture.h"

#include <QCryptographicHash>
#include <QFile>

using namespace lumo;
using namespace lumo::test;

namespace {

QString fixture(const char* name)
{
    return QStringLiteral(LUMO_JET_FIXTURES "/") + QLatin1String(name);
}

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// Every row of a table of a file as read through the interface.
QVector<LegacyRow> readAll(LegacySource& s, const QString& table, QVector<LegacyColumn>* columns = nullptr,
                           Status* status = nullptr)
{
    Status st;
    auto c = s.open(table, &st);
    QVector<LegacyRow> rows;
    if (!c) {
        if (status) *status = st;
        return rows;
    }
    if (columns) *columns = c->columns();
    LegacyRow r;
    while (c->next(&r))
        rows << r;
    if (status) *status = c->error();
    return rows;
}

LegacyColumn col(const char* name, LegacyType t)
{
    return {QLatin1String(name), t};
}

// The four tables as the earlier program's Access file holds them: yes/no
// fields, dates as date-times, ages as doubles, a key as a long integer; a
// program table of the older layout without ProParm4.
void fillOldLayout(MemorySource& s)
{
    MemoryTable& c = s.table(QStringLiteral("ZUCUST"));
    c.columns = {col("MKEY", LegacyType::Integer),    col("CUSTNO", LegacyType::Text),
                 col("NAME", LegacyType::Text),       col("SEX", LegacyType::Boolean),
                 col("DBIRTH", LegacyType::DateTime), col("ADDR", LegacyType::Text),
                 col("TEL", LegacyType::Text),        col("TEL2", LegacyType::Text),
                 col("TEL3", LegacyType::Text),       col("EMAIL", LegacyType::Text),
                 col("MEMO", LegacyType::Text),       col("BTYPE", LegacyType::Text),
                 col("HEIGHT", LegacyType::Real),     col("WEIGHT", LegacyType::Real),
                 col("CUSTCAT", LegacyType::Text),    col("CUSTFG", LegacyType::Text),
                 col("PrtFG", LegacyType::Boolean)};
    c.rows << LegacyRow{qint64(500),
                        u("A01"),
                        u("林美玲"),
                        false,
                        -1234.5,
                        u("高雄市"),
                        u("07-1234567"),
                        QVariant(),
                        QVariant(),
                        QVariant(),
                        u("第一行\r\n第二行"),
                        u("O"),
                        158.5,
                        50.0,
                        QVariant(),
                        QVariant(),
                        true};
    c.rows << LegacyRow{qint64(502), u("A02"),   u("王建宏"), true,       0.0,        QVariant(),
                        QVariant(),  QVariant(), QVariant(),  QVariant(), QVariant(), QVariant(),
                        0.0,         0.0,        QVariant(),  QVariant(), false};
    MemoryTable& d = s.table(QStringLiteral("ZUDATA"));
    d.columns = {col("MKEY", LegacyType::Integer),    col("CUSTNO", LegacyType::Text),
                 col("ZUDATE", LegacyType::DateTime), col("ZUVOTA", LegacyType::Boolean),
                 col("MEMO1", LegacyType::Text),      col("MEMO2", LegacyType::Text),
                 col("AutoKey", LegacyType::Integer), col("PrtFG", LegacyType::Boolean)};
    for (int i = 1; i <= 24; ++i)
        d.columns << LegacyColumn{QStringLiteral("ZU%1").arg(i), LegacyType::Real};
    LegacyRow m{qint64(900), u("A01"), 39000.5 + 1.5 / 86400.0, true, u("處置"), QVariant(),
                qint64(17),  false};
    for (int i = 1; i <= 24; ++i)
        m << 10.0 + i / 4.0;
    d.rows << m;
    MemoryTable& p = s.table(QStringLiteral("ZUPRO"));
    p.columns = {col("MKEY", LegacyType::Integer),  col("ProNo", LegacyType::Text),
                 col("ProName", LegacyType::Text),  col("ProData", LegacyType::Text),
                 col("ProPict", LegacyType::Bytes), col("ProScal", LegacyType::Boolean),
                 col("PrtFG", LegacyType::Boolean), col("ProFN", LegacyType::Text)};
    for (const char* f : {"ProScrp", "ProPrg", "ProParm"})
        for (int i = 1; i <= (QLatin1String(f) == QLatin1String("ProParm") ? 3 : 4); ++i)
            p.columns << LegacyColumn{QStringLiteral("%1%2").arg(QLatin1String(f)).arg(i), LegacyType::Text};
    LegacyRow pr{qint64(70), u("P1"), u("舊療程"), u("說明"), QByteArray("\x00\x01\xfe\xff", 4),
                 true,       false,   u("1100")};
    for (int i = 0; i < 11; ++i)
        pr << QStringLiteral("v%1").arg(i);
    p.rows << pr;
    MemoryTable& t = s.table(QStringLiteral("ZUPRDT"));
    t.columns = {col("MKEY", LegacyType::Integer), col("ProNo", LegacyType::Text),
                 col("ProSubN", LegacyType::Text), col("ProNote", LegacyType::Text),
                 col("ProAnd", LegacyType::Text),  col("ProCond", LegacyType::Text),
                 col("ProAGL", LegacyType::Real),  col("ProAGH", LegacyType::Real),
                 col("ProEng", LegacyType::Real),  col("ProFlg", LegacyType::Boolean),
                 col("PrtFG", LegacyType::Boolean)};
    t.rows << LegacyRow{qint64(80), u("P1"), u("條件"), u("註"), u("1"), u("2"),
                        20.0,       65.0,    42.5,      true,    false};
}

} // namespace

class TestLegacy : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(fixture("nwind.mdb")) && QFile::exists(fixture("DateTestDatabase.mdb")),
                 "the sample Access files are not at LUMO_JET_FIXTURES (CMake cache variable)");
    }

    void sampleFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("format");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("rows");
        QTest::newRow("Jet 3 Shippers") << "nwind.mdb" << int(LegacySource::Format::Jet3) << "Shippers" << 3;
        QTest::newRow("Jet 3 Orders") << "nwind.mdb" << int(LegacySource::Format::Jet3) << "Orders" << 830;
        QTest::newRow("Jet 3 Order Details")
            << "nwind.mdb" << int(LegacySource::Format::Jet3) << "Order Details" << 2155;
        QTest::newRow("Jet 4 DateTest")
            << "DateTestDatabase.mdb" << int(LegacySource::Format::Jet4) << "DateTest" << 6;
    }
    void sampleFiles()
    {
        QFETCH(QString, file);
        QFETCH(int, format);
        QFETCH(QString, table);
        QFETCH(int, rows);
        Status st;
        auto s = openLegacySource(fixture(file.toLatin1().constData()), &st);
        QVERIFY2(s, qPrintable(st.error));
        QCOMPARE(int(s->format()), format);
        QVERIFY(s->tables().contains(table));
        QCOMPARE(s->rowCount(table, &st), rows);
        QCOMPARE(readAll(*s, table.toLower(), nullptr, &st).size(),
                 rows); // names compare without regard to case
        QVERIFY2(st.ok, qPrintable(st.error));
    }

    // Found by the fuzzer: damaged property blocks in the catalog's rows made
    // libmdb's catalog reader allocate until the memory was gone. The reader
    // never needs them, and the tables are there.
    // Files the fuzzer damaged: read as far as they are whole, refused where not.
    void damagedFiles_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("rows"); // -1: the table is refused with a message
        QTest::newRow("catalog property blocks") << "catalog-properties.mdb"
                                                 << "DateTest" << 6;
        QTest::newRow("table page map unreadable") << "usage-map.mdb"
                                                   << "DateTest" << -1;
        QTest::newRow("column definitions unreadable") << "columns.mdb"
                                                       << "MSysAccessStorage" << -1;
        QTest::newRow("a value's place outside its page") << "value-place.mdb"
                                                          << "MSysObjects" << -1;
    }
    void damagedFiles()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(int, rows);
        Status st;
        auto s = openLegacySource(fixture("../jet-damaged/") + file, &st);
        QVERIFY2(s, qPrintable(st.error));
        QVERIFY(s->tables().contains(table));
        const int read = int(readAll(*s, table, nullptr, &st).size());
        if (rows >= 0) QCOMPARE(read, rows);
        QCOMPARE(bool(st), rows >= 0);
        if (rows < 0) QVERIFY(st.error.contains(u("已損壞")));
    }

    void valuesAsStored_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("row");
        QTest::addColumn<QString>("column");
        QTest::addColumn<QVariant>("value");
        const QString nwind = QStringLiteral("nwind.mdb"), dates = QStringLiteral("DateTestDatabase.mdb");
        QTest::newRow("Jet 3 long integer") << nwind << "Shippers" << 1 << "ShipperID" << QVariant(qint64(2));
        QTest::newRow("Jet 3 text") << nwind << "Shippers" << 0 << "CompanyName"
                                    << QVariant(u("Speedy Express"));
        QTest::newRow("Jet 3 text with a line break")
            << nwind << "Employees" << 0 << "Address" << QVariant(u("507 - 20th Ave. E.\r\nApt. 2A"));
        QTest::newRow("Jet 3 date 1948-12-08")
            << nwind << "Employees" << 0 << "BirthDate" << QVariant(17875.0);
        QTest::newRow("Jet 4 date 2021-12-02")
            << dates << "DateTest" << 0 << "DateTimeCol" << QVariant(44532.0);
        QTest::newRow("Jet 4 date 1898-01-01")
            << dates << "DateTest" << 2 << "DateTimeCol" << QVariant(-728.0);
        QTest::newRow("Jet 4 date 1899-01-01") << dates << "DateTest" << 2 << "DateCol" << QVariant(-363.0);
        QTest::newRow("Jet 4 date 0632-01-01")
            << dates << "DateTest" << 3 << "DateTimeCol" << QVariant(-463126.0);
        QTest::newRow("Jet 4 date 9999-01-01")
            << dates << "DateTest" << 1 << "DateTimeCol" << QVariant(2958101.0);
        QTest::newRow("Jet 4 text") << dates << "DateTest" << 1 << "ShortTextCol" << QVariant(u("Year 1999"));
        QTest::newRow("Jet 4 memo") << dates << "DateTest" << 5 << "LongTextCol"
                                    << QVariant(u("New line\r\nin field"));
        QTest::newRow("Jet 4 memo, backslashes as typed")
            << dates << "DateTest" << 4 << "LongTextCol" << QVariant(u("Escaped new line \\r\\n in field"));
    }
    void valuesAsStored()
    {
        QFETCH(QString, file);
        QFETCH(QString, table);
        QFETCH(int, row);
        QFETCH(QString, column);
        QFETCH(QVariant, value);
        Status st;
        auto s = openLegacySource(fixture(file.toLatin1().constData()), &st);
        QVERIFY(s);
        QVector<LegacyColumn> columns;
        const QVector<LegacyRow> rows = readAll(*s, table, &columns, &st);
        QVERIFY2(st.ok, qPrintable(st.error));
        int index = -1;
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].name == column) index = i;
        QVERIFY(index >= 0);
        QCOMPARE(rows.at(row).at(index), value);
        if (value.typeId() == QMetaType::Double) QCOMPARE(columns[index].type, LegacyType::DateTime);
    }

    void datesBefore1900AreTheirDays()
    {
        Status st;
        auto s = openLegacySource(fixture("DateTestDatabase.mdb"), &st);
        const QVector<LegacyRow> rows = readAll(*s, QStringLiteral("DateTest"));
        QCOMPARE(dateFromDayNumber(rows[2][1].toDouble()), QDate(1898, 1, 1));
        QCOMPARE(dateFromDayNumber(rows[2][2].toDouble()), QDate(1899, 1, 1));
        QCOMPARE(dateFromDayNumber(rows[2][3].toDouble()), QDate(1900, 1, 1));
        QCOMPARE(dateFromDayNumber(rows[3][1].toDouble()), QDate(632, 1, 1));
    }

    void jet3TextsReadAsCodePage950()
    {
        Status st;
        auto s = openLegacySource(fixture("nwind.mdb"), &st);
        // The German sample names a table "Ums\xe4tze" in its own code page; read as
        // code page 950 its bytes are the ones the program's codec gives.
        QVERIFY(s->tables().contains(fromCp950(QByteArray("Ums\xe4tze"))));
    }

    void picturesAsTheirBytes()
    {
        Status st;
        auto s = openLegacySource(fixture("nwind.mdb"), &st);
        QVector<LegacyColumn> columns;
        const QVector<LegacyRow> rows = readAll(*s, QStringLiteral("Employees"), &columns, &st);
        QVERIFY2(st.ok, qPrintable(st.error));
        int photo = -1;
        for (int i = 0; i < columns.size(); ++i)
            if (columns[i].name == QLatin1String("Photo")) photo = i;
        QCOMPARE(columns[photo].type, LegacyType::Bytes);
        const QByteArray bytes = rows[0][photo].toByteArray();
        // An OLE object holding a Paintbrush bitmap: its header names it, the bitmap follows.
        QVERIFY(bytes.size() > 20000);
        QVERIFY(bytes.contains("Paint.Picture"));
        QVERIFY(bytes.contains("BM"));
    }

    void filesThatAreNoAccessFile_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("message");
        QFile f(fixture("nwind.mdb"));
        f.open(QIODevice::ReadOnly);
        const QByteArray whole = f.readAll();
        QTest::newRow("text") << QByteArray("not a database at all") << u("不是資料庫檔案");
        QTest::newRow("empty") << QByteArray() << u("不是資料庫檔案");
        QTest::newRow("cut inside a page") << whole.left(300001) << u("不是資料庫檔案");
        QTest::newRow("cut before the catalogue") << whole.left(8192) << u("不是資料庫檔案");
        QTest::newRow("cut between the pages of a table")
            << whole.left(1000 * 1024) << u("只讀到 132 筆，應有 830 筆");
    }
    void filesThatAreNoAccessFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("broken.mdb"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        Status st;
        auto s = openLegacySource(path, &st);
        if (s) readAll(*s, QStringLiteral("Orders"), nullptr, &st);
        QVERIFY(!st.ok);
        QVERIFY2(st.error.contains(message), qPrintable(st.error));
    }

    void fourTablesThroughTheInterface()
    {
        MemorySource old;
        fillOldLayout(old);
        TransferPractice p;
        ImportScan scan;
        QVERIFY(scanImport(old, {true, true}, &scan).ok);
        QCOMPARE(scan.commands.size(), 4); // v4..v10: ProPrg1..4 with ProParm1..3
        QVERIFY(importRows(*p.main, old, ImportChoice{{true, true}, false, true}, scan, {}).ok);
        const SubjectRow a = *SubjectStore(*p.main).findByCustNo(QStringLiteral("a01"));
        QVERIFY(a.MKEY != 500); // an import gives new keys
        QCOMPARE(a.NAME, u("林美玲"));
        QVERIFY(!a.SEX);
        QCOMPARE(a.DBIRTH, -1234.5);
        QCOMPARE(a.MEMO, u("第一行\r\n第二行"));
        QCOMPARE(a.HEIGHT, 158.5);
        QVERIFY(a.PrtFG);
        QVERIFY(SubjectStore(*p.main).findByCustNo(QStringLiteral("A02"))->SEX);
        const auto m = MeasurementStore(*p.main).listForSubject(QStringLiteral("A01"));
        QCOMPARE(m.size(), 1);
        QCOMPARE(m[0].ZUDATE, 39000.5 + 1.0 / 86400.0); // to the second
        QVERIFY(m[0].ZUVOTA);
        QCOMPARE(m[0].AutoKey, QStringLiteral("17")); // a number through its text form
        QCOMPARE(m[0].ZU[23], 16.0);
        const auto programs = ProgramStore(*p.main).loadAll(true);
        QCOMPARE(programs[0].program.ProPict, QByteArray("\x00\x01\xfe\xff", 4));
        QCOMPARE(programs[0].program.ProParm[2], QStringLiteral("v10"));
        QCOMPARE(programs[0].program.ProParm[3], QString()); // the older layout: left empty
        QCOMPARE(programs[0].conditions[0].ProAGL, 20);
        QCOMPARE(programs[0].conditions[0].ProAGH, 65);
        QCOMPARE(programs[0].conditions[0].ProEng, 42.5);
    }

    void migrationKeepsEveryKey()
    {
        MemorySource old;
        fillOldLayout(old);
        TransferPractice p;
        p.main.reset();
        const QString jet = p.dataDir + QStringLiteral("LUMO4.MDB"); // as a Windows folder may name it
        QFile::remove(p.dataDir + QStringLiteral("lumo4.mdb"));
        QVERIFY(QFile::copy(fixture("DateTestDatabase.mdb"), jet));
        const QByteArray original = hashOf(jet);
        QVERIFY(mainDatabaseIsJet(p.dataDir));
        Status st = migrateJetMainDatabase(p.dataDir, old);
        QVERIFY2(st.ok, qPrintable(st.error));
        QCOMPARE(hashOf(p.dataDir + QLatin1String(JetMainBackupFile)), original);
        QCOMPARE(fileSignature(p.dataDir + QStringLiteral("lumo4.mdb")), FileSignature::Sqlite);
        QVERIFY(!QFile::exists(jet));
        QStringList files = QDir(p.dataDir).entryList(QDir::Files);
        files.sort();
        QCOMPARE(files, (QStringList{QStringLiteral("Zuspa.mdb"), QStringLiteral("lumo4.mdb"),
                                     QStringLiteral("lumo4_jet.mdb")}));
        auto db = Database::open(p.dataDir + QStringLiteral("lumo4.mdb"), FileKind::Main,
                                 Database::Access::ReadWrite, &st);
        QVERIFY2(db, qPrintable(st.error));
        QCOMPARE(SubjectStore(*db).findByCustNo(QStringLiteral("A02"))->MKEY, 502);
        const auto m = MeasurementStore(*db).get(900);
        QVERIFY(m);
        QCOMPARE(m->ZUDATE, 39000.5 + 1.5 / 86400.0); // every digit
        QCOMPARE(ProgramStore(*db).loadAll()[0].program.MKEY, 70);
        // New rows continue after the kept keys.
        SubjectRow s;
        s.CUSTNO = QStringLiteral("NEW");
        QVERIFY(SubjectStore(*db).append(s).ok);
        QVERIFY(s.MKEY > 502);
    }

    void migrationFailuresLeaveEveryFile_data()
    {
        QTest::addColumn<QString>("failure");
        QTest::newRow("the reader fails half-way") << "read";
        QTest::newRow("an earlier original is there") << "backup";
        QTest::newRow("a table is missing") << "table";
    }
    void migrationFailuresLeaveEveryFile()
    {
        QFETCH(QString, failure);
        MemorySource old;
        fillOldLayout(old);
        TransferPractice p;
        p.main.reset();
        const QString jet = p.dataDir + QStringLiteral("lumo4.mdb");
        QFile::remove(jet);
        QVERIFY(QFile::copy(fixture("DateTestDatabase.mdb"), jet));
        if (failure == QLatin1String("read")) old.table(QStringLiteral("ZUDATA")).failAfter = 0;
        if (failure == QLatin1String("backup"))
            QVERIFY(QFile::copy(fixture("nwind.mdb"), p.dataDir + QStringLiteral("lumo4_jet.mdb")));
        MemorySource partial;
        if (failure == QLatin1String("table"))
            partial.table(QStringLiteral("ZUCUST")) = old.table(QStringLiteral("ZUCUST"));
        const QStringList files = QDir(p.dataDir).entryList(QDir::Files);
        const QByteArray original = hashOf(jet);
        Status st = migrateJetMainDatabase(
            p.dataDir, failure == QLatin1String("table") ? static_cast<LegacySource&>(partial) : old);
        QVERIFY(!st.ok);
        QVERIFY(st.error.startsWith(u("舊版資料庫無法轉換，所有檔案維持原狀：")));
        QCOMPARE(QDir(p.dataDir).entryList(QDir::Files), files);
        QCOMPARE(hashOf(jet), original);
    }

    void startUpAsksBeforeItMigrates_data()
    {
        QTest::addColumn<bool>("answer");
        QTest::addColumn<QString>("message");
        QTest::newRow("declined") << false << migrationDeclinedMessage();
        // The sample is an Access file without the four tables: the migration fails and says why.
        QTest::newRow("accepted, but the file lacks the tables") << true << u("缺少資料表 ZUCUST");
    }
    void startUpAsksBeforeItMigrates()
    {
        QFETCH(bool, answer);
        QFETCH(QString, message);
        TransferPractice p;
        p.main.reset();
        const QString jet = p.dataDir + QStringLiteral("lumo4.mdb");
        QFile::remove(jet);
        QVERIFY(QFile::copy(fixture("nwind.mdb"), jet));
        const QByteArray original = hashOf(jet);
        const QStringList files = QDir(p.dataDir).entryList(QDir::Files);
        SharedState state;
        state.DataDirectory = p.dataDir;
        ScriptedMessages messages;
        messages.push(answer);
        state.messages = &messages;
        const StartupOutcome o =
            runStartupFileSteps(state, p.dir.filePath(QStringLiteral("nothing-delivered")));
        QCOMPARE(messages.shown().size(), size_t(1));
        QCOMPARE(messages.shown()[0].kind, int(AskImportant));
        QCOMPARE(messages.shown()[0].text,
                 u("偵測到舊版資料庫，是否轉換為新版格式？原始檔案將保留為 lumo4_jet.mdb。"));
        QVERIFY(!o.databases.ok);
        QVERIFY(o.databases.error.startsWith(u("LUMO 資料庫啟動錯誤！")));
        QVERIFY2(o.databases.error.contains(message), qPrintable(o.databases.error));
        QVERIFY(!state.MainDatabase);
        QCOMPARE(QDir(p.dataDir).entryList(QDir::Files), files);
        QCOMPARE(hashOf(jet), original);
    }

    void conversionOfAnAccessFileWithoutTheTables()
    {
        TransferPractice p;
        fillPractice(*p.main);
        const QStringList before = everyRow(*p.main);
        QVERIFY(QFile::copy(fixture("nwind.mdb"), p.dataDir + QStringLiteral("lumo.mdb")));
        Status st = convertWaitingDatabase(*p.main, p.dataDir, nullptr);
        QVERIFY(!st.ok);
        QVERIFY2(st.error.contains(u("缺少資料表 ZUCUST")), qPrintable(st.error));
        QCOMPARE(everyRow(*p.main), before);
        QVERIFY(QFile::exists(p.dataDir + QStringLiteral("lumo.mdb")));
        QVERIFY(!QFile::exists(p.dataDir + QStringLiteral("lumo_BAK.mdb")));
    }

    void conversionCopiesTheOptionalFieldsUpToTheFirstMissing()
    {
        MemorySource old;
        fillOldLayout(old);
        // ProScrp3 missing: it and every field after it in the group stay empty.
        MemoryTable& pro = old.table(QStringLiteral("ZUPRO"));
        const int gone = 10; // MKEY..ProFN are 0..7, ProScrp1 8, ProScrp2 9, ProScrp3 10
        QCOMPARE(pro.columns[gone].name, QStringLiteral("ProScrp3"));
        pro.columns.removeAt(gone);
        pro.rows[0].removeAt(gone);
        TransferPractice p;
        Status st;
        auto rows = old.open(QStringLiteral("ZUPRO"), &st);
        CarryRules rules;
        rules.optionalUpToFirstMissing = true;
        QVERIFY(copyRows(*rows, QStringLiteral("ZUPRO"), *p.main, rules).ok);
        const ProgramRow r = ProgramStore(*p.main).loadAll()[0].program;
        QCOMPARE(r.ProFN, u("1100"));
        QCOMPARE(r.ProScrp[1], QStringLiteral("v1"));
        QCOMPARE(r.ProScrp[3], QString());
        QCOMPARE(r.ProPrg[0], QString());
    }
};

QTEST_MAIN(TestLegacy)
#include "test_legacy.moc"
