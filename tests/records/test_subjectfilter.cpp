// The filter: which subjects a text finds (number, name, any telephone;
// case, CJK, short and long texts, signs), the filtered list in each order
// with its window, and the index kept by the triggers and made on upgrade.

#include "records/schema.h"
#include "records/subjectfilter.h"
#include "records/subjectlist.h"
#include "support/engines.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

struct Person
{
    const char *no, *name, *tel, *tel2, *tel3, *addr;
};
const Person kPeople[] = {
    {"A01", "王小明", "02-2345-6789", "0912345678", "", "台北市"},
    {"a02", "王大同", "07-1234567", "", "", "高雄市王小明路"},
    {"B03", "Wang Ming", "", "0987-111-222", "", ""},
    {"C04", "林美玲", "", "", "(03)555 0101", ""},
    {"c05", "小明·陳", "", "", "", ""},
    {"D06", "WANG", "+886 2 1111", "", "", ""},
};

void fill(Database& db)
{
    QSqlQuery q(db.sql());
    q.prepare(
        QStringLiteral("INSERT INTO ZUCUST (CUSTNO, NAME, TEL, TEL2, TEL3, ADDR) VALUES (?,?,?,?,?,?)"));
    for (const Person& p : kPeople) {
        for (const char* v : {p.no, p.name, p.tel, p.tel2, p.tel3, p.addr})
            q.addBindValue(u(v));
        QVERIFY(q.exec());
    }
}

// The numbers of the filtered list in its order.
QStringList numbers(SubjectList& list)
{
    QStringList out;
    for (int i = 0; i < list.size(); ++i)
        out << list.rowAt(i).CUSTNO;
    return out;
}

} // namespace

class TestSubjectFilter : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    std::unique_ptr<Database> m_db;

    // A database on the tests' server with the same subjects.
    std::unique_ptr<Database> onServer()
    {
        QString why;
        auto db = test::freshMain(test::Engine::Postgres, m_dir, &why);
        if (!db) qWarning("%s", qPrintable(why));
        if (db) fill(*db);
        return db;
    }

private slots:
    void init()
    {
        QFile::remove(m_dir.filePath(QStringLiteral("f.mdb")));
        Status st;
        m_db = Database::create(m_dir.filePath(QStringLiteral("f.mdb")), FileKind::Main, &st);
        QVERIFY2(m_db, qPrintable(st.error));
        fill(*m_db);
    }
    void cleanup() { m_db.reset(); }

    void finds_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // numbers in number order
        QTest::newRow("CJK one") << u("王") << "A01 a02";
        QTest::newRow("CJK two, end of a name") << u("小明") << "A01 c05";
        QTest::newRow("CJK three") << u("王小明") << "A01";
        QTest::newRow("address not searched") << u("高雄") << "";
        QTest::newRow("ASCII case, short") << "wa"
                                           << "B03 D06";
        QTest::newRow("ASCII case, long") << "wang"
                                          << "B03 D06";
        QTest::newRow("number, other case") << "C0"
                                            << "C04 c05";
        QTest::newRow("number, one letter") << "b"
                                            << "B03";
        QTest::newRow("mobile") << "0912"
                                << "A01";
        QTest::newRow("telephone with dashes") << "-111-"
                                               << "B03";
        QTest::newRow("fax with brackets, short") << "(0"
                                                  << "C04";
        QTest::newRow("fax, last digit") << "1"
                                         << "A01 a02 B03 C04 D06";
        QTest::newRow("blank inside") << "g M"
                                      << "B03";
        QTest::newRow("sign no index holds: row by row") << u("·陳") << "c05";
        QTest::newRow("plus sign") << "+8"
                                   << "D06";
        QTest::newRow("quote") << "\""
                               << "";
        QTest::newRow("trimmed") << "  56  "
                                 << "A01 a02";
        QTest::newRow("nobody") << "zzz"
                                << "";
        QTest::newRow("digits across dashes") << "23456789"
                                              << "A01";
        QTest::newRow("digits, other separators typed") << "2345 6789"
                                                        << "A01";
        QTest::newRow("digits across a blank and brackets") << "035550101"
                                                            << "C04";
        QTest::newRow("two digits across a dash") << "12"
                                                  << "A01 a02 B03";
        QTest::newRow("two digits typed with a blank") << "7 1"
                                                       << "a02 B03";
        QTest::newRow("plus and blanks") << "88621"
                                         << "D06";
        QTest::newRow("a letter among digits") << "2345x6789"
                                               << "";
    }
    void finds() { findsOn(*m_db); }
    // The same texts find the same subjects on the server, by its own query.
    void findsOnServer_data() { finds_data(); }
    void findsOnServer()
    {
        auto db = onServer();
        QVERIFY(db);
        findsOn(*db);
    }
    void findsOn(Database& db)
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        SubjectList list(db);
        QVERIFY(list.sort(SubjectField::CUSTNO, false).ok);
        QVERIFY(list.setFilter(text).ok);
        QCOMPARE(numbers(list).join(QLatin1Char(' ')), expected);
    }

    // The filtered list keeps the chosen order, ties by key, and its window
    // and positions work on the filtered rows only.
    void order_data()
    {
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QString>("expected");
        QTest::newRow("name ascending") << int(SubjectField::NAME) << false << "D06 B03 c05 C04 a02 A01";
        QTest::newRow("name descending") << int(SubjectField::NAME) << true << "A01 a02 C04 c05 B03 D06";
        QTest::newRow("number descending") << int(SubjectField::CUSTNO) << true << "D06 c05 C04 B03 a02 A01";
    }
    void order() { orderOn(*m_db); }
    void orderOnServer_data() { order_data(); }
    void orderOnServer()
    {
        auto db = onServer();
        QVERIFY(db);
        orderOn(*db);
    }
    void orderOn(Database& db)
    {
        QFETCH(int, field);
        QFETCH(bool, descending);
        QFETCH(QString, expected);
        SubjectList list(db);
        QVERIFY(list.sort(SubjectField(field), descending).ok);
        QVERIFY(list.setFilter(QString()).ok);
        QCOMPARE(numbers(list).join(QLatin1Char(' ')), expected);
        QVERIFY(list.setFilter(u("明")).ok);
        const QStringList all = expected.split(QLatin1Char(' '));
        QStringList withMing;
        for (const QString& n : all)
            if (n == QLatin1String("A01") || n == QLatin1String("c05")) withMing << n;
        QCOMPARE(numbers(list), withMing);
        QCOMPARE(list.positionOf(list.keyAt(1)), 1);
        QCOMPARE(list.findPrefix(SubjectField::CUSTNO, QStringLiteral("c")),
                 withMing.indexOf(QStringLiteral("c05")));
        QCOMPARE(list.findPrefix(SubjectField::CUSTNO, QStringLiteral("B")), -1); // B03 is filtered out
        QVERIFY(list.rowAt(2).CUSTNO.isEmpty());
    }

    // Past one word of 64 places: every position, the place of every key, a
    // prefix and a deletion agree with the list filtered by hand.
    void manyPlaces_data()
    {
        QTest::addColumn<bool>("descending");
        QTest::newRow("ascending") << false;
        QTest::newRow("descending") << true;
    }
    void manyPlaces()
    {
        QFETCH(bool, descending);
        QSqlQuery q(m_db->sql());
        q.prepare(QStringLiteral("INSERT INTO ZUCUST (CUSTNO, NAME) VALUES (?, ?)"));
        QStringList expected;
        for (int i = 0; i < 300; ++i) { // numbers in another order than the keys
            const QString number = QStringLiteral("N%1").arg(i * 7 % 300, 3, 10, QLatin1Char('0'));
            q.addBindValue(number);
            q.addBindValue(i % 3 ? u("乙") : u("甲丁"));
            QVERIFY(q.exec());
            if (i % 3 == 0) expected << number;
        }
        std::sort(expected.begin(), expected.end());
        if (descending) std::reverse(expected.begin(), expected.end());
        SubjectList list(*m_db);
        QVERIFY(list.sort(SubjectField::CUSTNO, descending).ok);
        QVERIFY(list.setFilter(u("甲")).ok);
        QCOMPARE(numbers(list), expected);
        for (int p = 0; p < list.size(); ++p)
            QCOMPARE(list.positionOf(list.keyAt(p)), p);
        const auto n1 = std::find_if(expected.begin(), expected.end(),
                                     [](const QString& n) { return n.startsWith(QLatin1String("N1")); });
        QCOMPARE(list.findPrefix(SubjectField::CUSTNO, QStringLiteral("N1")), int(n1 - expected.begin()));
        QVERIFY(list.removeWithMeasurements(list.keyAt(70)).ok);
        expected.removeAt(70);
        QCOMPARE(numbers(list), expected);
    }

    // A file whose keys run far beyond its rows (brought in with their own
    // keys) is refused rather than given an array as large as its last key.
    void keysFarBeyondTheRows_data()
    {
        QTest::addColumn<qint64>("key");
        QTest::newRow("within reach") << qint64(4000);
        QTest::newRow("sparse") << qint64(5000);
        QTest::newRow("beyond 32 bits") << qint64(3000000000);
    }
    void keysFarBeyondTheRows()
    {
        QFETCH(qint64, key);
        QSqlQuery q(m_db->sql());
        q.prepare(QStringLiteral("INSERT INTO ZUCUST (MKEY, CUSTNO, NAME) VALUES (?, 'Z99', 'far')"));
        q.addBindValue(key);
        QVERIFY(q.exec());
        SubjectList list(*m_db);
        const Status st = list.setFilter(QStringLiteral("far"));
        QCOMPARE(st.ok, key == 4000);
        QCOMPARE(list.size(), st.ok ? 1 : 0);
    }

    // Changes reach the index through the triggers: added, changed, deleted.
    void keptByTriggers()
    {
        SubjectList list(*m_db);
        QVERIFY(list.setFilter(u("美玲")).ok);
        QCOMPARE(list.size(), 1);
        QSqlQuery q(m_db->sql());
        QVERIFY(q.exec(QString::fromUtf8("UPDATE ZUCUST SET NAME = '林美華' WHERE CUSTNO = 'C04'")));
        QVERIFY(q.exec(QString::fromUtf8("INSERT INTO ZUCUST (CUSTNO, NAME) VALUES ('E07', '張美玲')")));
        QVERIFY(list.reload().ok);
        QCOMPARE(numbers(list), QStringList{QStringLiteral("E07")});
        QVERIFY(list.removeWithMeasurements(list.keyAt(0)).ok);
        QCOMPARE(list.size(), 0);
        QVERIFY(list.setFilter(u("美")).ok);
        QCOMPARE(numbers(list), QStringList{QStringLiteral("C04")});
    }

    // The function that hands the matches over is the filter's own: a view or
    // a trigger stored in a file cannot call it, even after a filter ran.
    void handOverNotCallableFromTheFile()
    {
        SubjectList list(*m_db);
        QVERIFY(list.setFilter(u("明")).ok);
        QSqlQuery q(m_db->sql());
        QVERIFY(q.exec("CREATE VIEW callsIt AS SELECT lumo_filter_keys(1, NULL)"));
        QVERIFY(!q.exec("SELECT * FROM callsIt"));
        QVERIFY(list.setFilter(u("美")).ok);
        QCOMPARE(numbers(list), QStringList{QStringLiteral("C04")});
    }

    // A file of an earlier version gets the index, made from its rows, and a
    // file whose trigger was dropped gets it made again.
    void madeOnOpening_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("earlier version")
            << "DROP TABLE ZUCUST_TRIGRAMS; DROP TABLE ZUCUST_PAIRS; DROP TRIGGER "
               "ZUCUST_FIND_INSERT; DROP TRIGGER ZUCUST_FIND_DELETE; DROP TRIGGER "
               "ZUCUST_FIND_UPDATE; PRAGMA user_version = 4";
        QTest::newRow("trigger dropped") << "DROP TRIGGER ZUCUST_FIND_UPDATE; UPDATE ZUCUST SET NAME = 'Lee' "
                                            "WHERE CUSTNO = 'B03'";
        QTest::newRow("earlier form, without digits") << "EARLIER";
    }
    // An earlier file opened only for reading has no index, or one without
    // the telephones' digits: what it cannot find is found row by row.
    void earlierFileOnlyRead_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        const QString none = "DROP TABLE ZUCUST_TRIGRAMS; DROP TABLE ZUCUST_PAIRS; PRAGMA user_version = 4";
        QTest::newRow("no index") << none << "wang"
                                  << "B03 D06";
        QTest::newRow("no index, digits") << none << "23456789"
                                          << "A01";
        QTest::newRow("earlier form") << "EARLIER"
                                      << "wang"
                                      << "B03 D06";
        QTest::newRow("earlier form, digits") << "EARLIER"
                                              << "23456789"
                                              << "A01";
    }
    void earlierFileOnlyRead()
    {
        QFETCH(QString, damage);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        damageFile(damage);
        const QString path = m_db->path();
        m_db.reset();
        m_db = Database::open(path, FileKind::Main, Database::Access::ReadOnly, nullptr);
        QVERIFY(m_db);
        SubjectList list(*m_db);
        QVERIFY(list.setFilter(text).ok);
        QCOMPARE(numbers(list).join(QLatin1Char(' ')), expected);
    }

    // Statements separated by "; "; EARLIER makes the index anew in the form
    // of the version before the telephones' digits, as that version filled it.
    void damageFile(const QString& damage)
    {
        QSqlQuery q(m_db->sql());
        const QString earlier = "DROP TRIGGER ZUCUST_FIND_INSERT; DROP TRIGGER ZUCUST_FIND_DELETE; DROP "
                                "TRIGGER ZUCUST_FIND_UPDATE; "
                                "DROP TABLE ZUCUST_TRIGRAMS; DROP TABLE ZUCUST_PAIRS; CREATE TEMP TABLE k AS "
                                "SELECT * FROM ZUCUST; "
                                "DELETE FROM ZUCUST; FORMS; INSERT INTO ZUCUST SELECT * FROM k; DROP TABLE "
                                "k; PRAGMA user_version = 9";
        for (const QString& s : QString(damage).replace("EARLIER", earlier).split(QStringLiteral("; ")))
            for (const QString& one :
                 s == QLatin1String("FORMS") ? earlierFindIndexStatements() : QStringList{s})
                QVERIFY2(q.exec(one), qPrintable(one + q.lastError().text()));
    }

    void madeOnOpening()
    {
        QFETCH(QString, damage);
        damageFile(damage);
        const QString path = m_db->path();
        m_db.reset();
        Status st;
        m_db = Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
        QVERIFY2(m_db, qPrintable(st.error));
        SubjectList list(*m_db);
        QVERIFY(list.setFilter(QStringLiteral("wang")).ok);
        QCOMPARE(numbers(list).join(QLatin1Char(' ')),
                 damage.contains(QLatin1String("Lee")) ? QStringLiteral("D06") : QStringLiteral("B03 D06"));
        QVERIFY(list.setFilter(QStringLiteral("23456789")).ok);
        QCOMPARE(numbers(list), QStringList{QStringLiteral("A01")});
    }
};

QTEST_GUILESS_MAIN(TestSubjectFilter)
#include "test_subjectfilter.moc"
