// The merge screen's likely duplicates on either engine: the same name with
// the same birth date or telephone digits, the strongest first, found along
// the name's index.
#include "records/mergecandidates.h"
#include "records/subjects.h"
#include "support/engines.h"

using namespace lumo;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

SubjectRow add(Database& db, const QString& no, const QString& name, double birth, const QString& tel,
               const QString& mobile = {})
{
    SubjectRow s;
    s.CUSTNO = no;
    s.NAME = name;
    s.DBIRTH = birth;
    s.TEL = tel;
    s.TEL2 = mobile;
    SubjectStore(db).append(s);
    return s;
}

} // namespace

class TestMergeCandidates : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase_data() { test::bothEngines(); }

    // Each row: another subject beside 王小明 (born on day 27000, telephone 02-2345-6789).
    void proposed_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<double>("birth");
        QTest::addColumn<QString>("tel");
        QTest::addColumn<QString>("mobile");
        QTest::addColumn<QString>("why"); // empty: not proposed
        QTest::newRow("name and birth") << u("王小明") << 27000.0 << ""
                                        << "" << u("同姓名及生日");
        QTest::newRow("and the telephone, written apart") << u("王小明") << 27000.0 << "(02) 2345 6789"
                                                          << "" << u("同姓名、生日及電話");
        QTest::newRow("name and the number as a mobile") << u("王小明") << 0.0 << ""
                                                         << "0223456789" << u("同姓名及電話");
        QTest::newRow("another name") << u("王大明") << 27000.0 << "02-2345-6789"
                                      << "" << QString();
        QTest::newRow("another birth date") << u("王小明") << 27001.0 << "02-9999-0000"
                                            << "" << QString();
        QTest::newRow("no birth date (day 3000), no telephone") << u("王小明") << 3000.0 << ""
                                                                << "" << QString();
        QTest::newRow("too few digits to tell") << u("王小明") << 0.0 << "6789"
                                                << "" << QString();
    }
    void proposed()
    {
        QFETCH(QString, name);
        QFETCH(double, birth);
        QFETCH(QString, tel);
        QFETCH(QString, mobile);
        QFETCH(QString, why);
        QTemporaryDir dir;
        LUMO_FRESH_MAIN(db, dir);
        const SubjectRow kept =
            add(*db, QStringLiteral("A01"), u("王小明"), 27000, QStringLiteral("02-2345-6789"));
        add(*db, QStringLiteral("B02"), name, birth, tel, mobile);
        const QVector<MergeCandidate> found = mergeCandidates(*db, kept);
        QCOMPARE(found.size(), why.isEmpty() ? 0 : 1);
        if (!why.isEmpty()) QCOMPARE(likenessText(found[0].likeness), why);
    }

    void strongestFirstAlongTheIndex()
    {
        QTemporaryDir dir;
        LUMO_FRESH_MAIN(db, dir);
        const SubjectRow kept =
            add(*db, QStringLiteral("A01"), u("林"), 27000, QStringLiteral("0912-345-678"));
        const qint64 phone =
            add(*db, QStringLiteral("B02"), u("林"), 0, {}, QStringLiteral("0912345678")).MKEY;
        const qint64 birth = add(*db, QStringLiteral("C03"), u("林"), 27000, {}).MKEY;
        const qint64 both =
            add(*db, QStringLiteral("D04"), u("林"), 27000, QStringLiteral("0912345678")).MKEY;
        QVector<qint64> keys;
        for (const MergeCandidate& c : mergeCandidates(*db, kept))
            keys << c.subject.MKEY;
        QCOMPARE(keys, (QVector<qint64>{both, birth, phone}));

        // The name's index serves the query on either engine (the server's
        // planner is kept off a whole-table scan, which a small table invites).
        const bool server = db->onServer();
        if (server) QVERIFY(db->run(QStringLiteral("SET enable_seqscan = off")));
        SqlRows plan;
        QVERIFY(db->run((server ? QStringLiteral("EXPLAIN ") : QStringLiteral("EXPLAIN QUERY PLAN ")) +
                            mergeCandidatesStatement(),
                        {kept.NAME, kept.NAME, kept.MKEY, 20}, &plan));
        QString text;
        for (const SqlRow& r : plan)
            for (const QVariant& v : r)
                text += v.toString() + QLatin1Char(' ');
        QVERIFY2(text.contains(QStringLiteral("zucust_name"), Qt::CaseInsensitive), qPrintable(text));
    }
};

QTEST_MAIN(TestMergeCandidates)
#include "test_mergecandidates.moc"
