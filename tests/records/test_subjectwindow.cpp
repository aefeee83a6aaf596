// The subject list as a window onto the ordered table, checked against the
// plain list of every key sorted here by the order's own rule, on small
// practices with ties, NULL values, one row and more rows than the window
// holds; on both engines, which must list in exactly the same order.

#include "records/measurements.h"
#include "records/programs.h"
#include "records/searchfields.h"
#include "records/subjectlist.h"
#include "records/subjectmodel.h"
#include "support/engines.h"

#include <QRandomGenerator>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <algorithm>

using namespace lumo;

namespace {

const SubjectField kFields[] = {SubjectField::CUSTNO, SubjectField::NAME, SubjectField::SEX,
                                SubjectField::DBIRTH, SubjectField::TEL,  SubjectField::ADDR,
                                SubjectField::EMAIL,  SubjectField::TEL2, SubjectField::TEL3};
const SubjectField kTextFields[] = {SubjectField::CUSTNO, SubjectField::NAME,  SubjectField::TEL,
                                    SubjectField::ADDR,   SubjectField::EMAIL, SubjectField::TEL2,
                                    SubjectField::TEL3};
const int kSizes[] = {0, 1, 7, 450, 2600};

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Few distinct values, so every order has long runs of ties; some NULLs as
// older files hold them; the numbers in mixed case.
void fill(Database& db, int n)
{
    QRandomGenerator rng(n);
    const QStringList names = {u("陳志明"),           u("陳美玲"), u("林志明"),
                               QStringLiteral("Ang"), QString(),   u("林")};
    const QStringList cities = {u("台北市"), u("台中市"), u("高雄市")};
    Transaction t(db);
    for (int i = 0; i < n; ++i) {
        const QString no =
            (i % 2 ? QStringLiteral("a%1") : QStringLiteral("A%1")).arg(i % 997, 3, 10, QLatin1Char('0'));
        QVERIFY(
            db.run(QStringLiteral(
                       "INSERT INTO ZUCUST (CUSTNO, NAME, SEX, DBIRTH, TEL, ADDR, EMAIL, TEL2, TEL3) "
                       "VALUES (?,?,?,?,?,?,?,?,?)"),
                   {no, names[int(rng.bounded(names.size()))], int(rng.bounded(2)),
                    double(40000 + rng.bounded(5)),
                    QStringLiteral("0%1-%2").arg(rng.bounded(2, 4)).arg(rng.bounded(100)),
                    cities[int(rng.bounded(cities.size()))] + QString::number(rng.bounded(20)),
                    QStringLiteral("m%1@x").arg(rng.bounded(30)), QStringLiteral("09%1").arg(i), QString()})
                .ok);
    }
    QVERIFY(db.run(QStringLiteral("UPDATE ZUCUST SET NAME = NULL WHERE MKEY % 13 = 0")).ok);
    QVERIFY(db.run(QStringLiteral("UPDATE ZUCUST SET DBIRTH = NULL, TEL = NULL WHERE MKEY % 17 = 0")).ok);
    QVERIFY(t.commit().ok);
}

// The order's rule, independent of either engine: NULL first, numbers by
// value, the subject number with ASCII letters folded, other texts by their
// characters' codes (the byte order of UTF-8); ties by MKEY.
bool before(const QVariant& a, const QVariant& b, bool caseless)
{
    if (a.isNull() || b.isNull()) return a.isNull() && !b.isNull();
    if (a.typeId() != QMetaType::QString) return a.toDouble() < b.toDouble();
    auto fold = [caseless](const QString& t) {
        QByteArray bytes = t.toUtf8();
        if (caseless)
            for (char& c : bytes)
                if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        return bytes;
    };
    return fold(a.toString()) < fold(b.toString());
}

// The plain list: every key in the order.
QVector<qint64> fullList(Database& db, SubjectField f, bool descending)
{
    SqlRows rows;
    db.run(QStringLiteral("SELECT MKEY, %1 FROM ZUCUST").arg(QLatin1String(subjectFieldColumn(f))), {},
           &rows);
    const bool caseless = f == SubjectField::CUSTNO;
    std::sort(rows.begin(), rows.end(), [&](const SqlRow& x, const SqlRow& y) {
        const SqlRow& a = descending ? y : x;
        const SqlRow& b = descending ? x : y;
        if (before(a[1], b[1], caseless)) return true;
        if (before(b[1], a[1], caseless)) return false;
        return a[0].toLongLong() < b[0].toLongLong();
    });
    QVector<qint64> keys;
    for (const SqlRow& r : rows)
        keys << r[0].toLongLong();
    return keys;
}

// The first position in the plain list whose field begins with the text.
int plainSearch(Database& db, const QVector<qint64>& keys, SubjectField field, const QString& text)
{
    if (keys.isEmpty()) return -1;
    if (text.isEmpty()) return 0;
    QHash<qint64, QString> values;
    SqlRows rows;
    db.run(QStringLiteral("SELECT MKEY, %1 FROM ZUCUST").arg(QLatin1String(subjectFieldColumn(field))), {},
           &rows);
    for (const SqlRow& r : rows)
        values.insert(r[0].toLongLong(), r[1].toString());
    const Qt::CaseSensitivity cs = field == SubjectField::CUSTNO ? Qt::CaseInsensitive : Qt::CaseSensitive;
    for (int i = 0; i < keys.size(); ++i)
        if (values.value(keys[i]).startsWith(text, cs)) return i;
    return -1;
}

QVector<qint64> scan(SubjectList& list, bool backward)
{
    QVector<qint64> keys(list.size());
    for (int i = 0; i < list.size(); ++i) {
        const int p = backward ? list.size() - 1 - i : i;
        keys[p] = list.keyAt(p);
    }
    return keys;
}

} // namespace

class TestSubjectWindow : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QHash<int, QString> m_servers; // practices of n subjects on the server, made once

    // A practice of n subjects on the current engine; fresh: one of its own.
    std::unique_ptr<Database> practice(int n, bool fresh = false)
    {
        QFETCH_GLOBAL(test::Engine, engine);
        Status st;
        if (engine == test::Engine::Sqlite) {
            const QString path = m_dir.filePath(QStringLiteral("p%1%2.mdb").arg(n).arg(fresh ? "f" : ""));
            if (fresh) QFile::remove(path);
            if (!QFileInfo::exists(path)) {
                auto created = Database::create(path, FileKind::Main, &st);
                if (created) fill(*created, n);
            }
            return Database::open(path, FileKind::Main, Database::Access::ReadWrite, &st);
        }
        if (fresh || !m_servers.contains(n)) {
            const QString conninfo = test::newServerDatabase();
            auto created = Database::connect({conninfo, {}}, &st);
            if (!created) return nullptr;
            fill(*created, n);
            if (!fresh) m_servers.insert(n, conninfo);
            return created;
        }
        return Database::connect({m_servers.value(n), {}}, &st);
    }

    // A second workstation on the same database.
    static std::unique_ptr<Database> another(Database& db)
    {
        Status st;
        if (db.onServer()) return Database::connect(db.login(), &st);
        return Database::open(db.path(), FileKind::Main, Database::Access::ReadWrite, &st);
    }

    static void orders()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("field");
        QTest::addColumn<bool>("descending");
        for (int n : kSizes)
            for (SubjectField f : kFields)
                for (bool d : {false, true})
                    QTest::addRow("%d rows, %s%s", n, subjectFieldColumn(f), d ? " desc" : "")
                        << n << int(f) << d;
    }

private slots:
    void initTestCase_data() { test::bothEngines(); }

    void windowMatchesFullList_data() { orders(); }
    void windowMatchesFullList()
    {
        QFETCH(int, size);
        QFETCH(int, field);
        QFETCH(bool, descending);
        auto db = practice(size);
        QVERIFY(db);
        SubjectList list(*db);
        QVERIFY(list.sort(SubjectField(field), descending).ok);
        const QVector<qint64> plain = fullList(*db, SubjectField(field), descending);
        QCOMPARE(list.size(), plain.size());
        QCOMPARE(scan(list, false), plain);
        QCOMPARE(scan(list, true), plain);
        QRandomGenerator rng(field * 2 + descending);
        for (int i = 0; i < 60 && size > 0; ++i) {
            const int p = i == 0 ? size - 1 : int(rng.bounded(size));
            QCOMPARE(list.keyAt(p), plain[p]);
            QCOMPARE(list.rowAt(p).MKEY, plain[p]);
            const int q = int(rng.bounded(size));
            list.invalidateRows(); // positions are counted, not remembered
            QCOMPARE(list.positionOf(plain[q]), q);
        }
        QCOMPARE(list.rowAt(size).MKEY, 0);
        QCOMPARE(list.rowAt(-1).MKEY, 0);
        QCOMPARE(list.positionOf(987654321), -1);
    }

    void searchMatchesFullList_data() { orders(); }
    void searchMatchesFullList()
    {
        QFETCH(int, size);
        QFETCH(int, field);
        QFETCH(bool, descending);
        auto db = practice(size);
        QVERIFY(db);
        SubjectList list(*db);
        QVERIFY(list.sort(SubjectField(field), descending).ok);
        const QVector<qint64> plain = fullList(*db, SubjectField(field), descending);
        // Many matches, few matches, one, none, and the empty text.
        const QStringList prefixes = {u("台"),
                                      u("台北市1"),
                                      u("林"),
                                      u("林志明"),
                                      QStringLiteral("a00"),
                                      QStringLiteral("A12"),
                                      QStringLiteral("02-"),
                                      QStringLiteral("03-9"),
                                      QStringLiteral("m2"),
                                      QStringLiteral("0944"),
                                      QStringLiteral("Zz"),
                                      u("澎湖"),
                                      QString()};
        for (SubjectField s : kTextFields)
            for (const QString& p : prefixes)
                QVERIFY2(list.findPrefix(s, p) == plainSearch(*db, plain, s, p),
                         qPrintable(QStringLiteral("%1 '%2'").arg(QLatin1String(subjectFieldColumn(s)), p)));
    }

    void ownChangesKeepTheWindow()
    {
        auto db = practice(450, true);
        SubjectList list(*db);
        QVERIFY(list.sort(SubjectField::NAME, false).ok);
        QVector<qint64> plain = fullList(*db, SubjectField::NAME, false);
        // In the window, before it, beyond it, the first row and the last.
        for (int p : {200, 10, 300, 0, -1}) {
            if (p < 0) p = int(plain.size()) - 1;
            list.rowAt(200);
            QVERIFY(list.removeWithMeasurements(list.keyAt(p)).ok);
            plain.remove(p);
            QCOMPARE(list.size(), plain.size());
            QCOMPARE(scan(list, p % 2 == 0), plain);
        }
        SubjectRow r;
        r.CUSTNO = QStringLiteral("NEW1");
        r.NAME = u("林");
        QVERIFY(SubjectStore(*db).append(r).ok);
        list.noteAppended();
        QCOMPARE(scan(list, false), fullList(*db, SubjectField::NAME, false));
    }

    void otherConnectionsChanges_data()
    {
        QTest::addColumn<int>("inserted");
        QTest::addColumn<int>("deleted");
        QTest::newRow("inserts") << 40 << 0;
        QTest::newRow("deletes") << 0 << 40;
        QTest::newRow("both") << 25 << 60;
    }
    void otherConnectionsChanges()
    {
        QFETCH(int, inserted);
        QFETCH(int, deleted);
        auto db = practice(450, true);
        SubjectList list(*db);
        QVERIFY(list.sort(SubjectField::ADDR, true).ok);
        list.rowAt(150);
        auto other = another(*db);
        QVERIFY(other);
        for (int i = 0; i < inserted; ++i)
            QVERIFY(other
                        ->run(QStringLiteral("INSERT INTO ZUCUST (CUSTNO, ADDR) VALUES (?, ?)"),
                              {QStringLiteral("X%1").arg(i), u("台北市")})
                        .ok);
        QVERIFY(other
                    ->run(QStringLiteral(
                              "DELETE FROM ZUCUST WHERE MKEY IN (SELECT MKEY FROM ZUCUST ORDER BY random() "
                              "LIMIT %1)")
                              .arg(deleted))
                    .ok);
        // Until it is reloaded the grid keeps its old length; what it reads
        // anew are rows that exist, each once, in the order, in either direction.
        const QVector<qint64> now = fullList(*db, SubjectField::ADDR, true);
        for (bool backward : {false, true}) {
            list.invalidateRows();
            QSet<qint64> seen;
            int last = backward ? int(now.size()) : -1;
            for (int i = 0; i < list.size(); ++i) {
                const int p = backward ? list.size() - 1 - i : i;
                const qint64 k = list.keyAt(p);
                if (k == 0) continue;
                const int at = int(now.indexOf(k));
                QVERIFY(at >= 0);
                QVERIFY(!seen.contains(k));
                seen.insert(k);
                QVERIFY(backward ? at < last : at > last);
                last = at;
            }
            QVERIFY(seen.size() >= std::min<int>(list.size(), int(now.size())) - 1);
        }
        QVERIFY(list.reload().ok);
        QCOMPARE(scan(list, false), now);
    }

    void modelShowsTheWindow()
    {
        auto db = practice(2600);
        SubjectList list(*db);
        QVERIFY(list.sort(SubjectField::CUSTNO, true).ok);
        SubjectTableModel model(
            list, {"Index", "No", "Name", "Sex", "Birth", "Age", "Tel", "Addr", "Mail", "Mobile", "Fax"});
        QCOMPARE(model.rowCount(), 2600);
        const QVector<qint64> plain = fullList(*db, SubjectField::CUSTNO, true);
        auto no = [&](qint64 key) { return SubjectStore(*db).get(key)->CUSTNO; };
        for (int r : {2599, 0, 1300, 2598})
            QCOMPARE(model.data(model.index(r, 1)).toString(), no(plain[r]));
        QCOMPARE(model.data(model.index(2599, 0)).toString(), QStringLiteral("2600"));
    }

    void keptCountsStayExact()
    {
        auto db = practice(7, true);
        MeasurementStore ms(*db);
        SubjectStore subjects(*db);
        auto counted = [&](const char* table) {
            SqlRows rows;
            db->run(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table)), {}, &rows);
            return rows.value(0).value(0).toLongLong();
        };
        auto same = [&] {
            return ms.countAll() == counted("ZUDATA") && subjects.count() == counted("ZUCUST");
        };
        QVERIFY(same());
        SubjectRow s;
        s.CUSTNO = QStringLiteral("K1");
        QVERIFY(subjects.append(s).ok);
        QVERIFY(same());
        for (int i = 0; i < 3; ++i) {
            MeasurementRow m;
            m.CUSTNO = QStringLiteral("K1");
            QVERIFY(ms.append(m).ok);
            QVERIFY(same());
        }
        {
            Transaction t(*db); // rolled back: nothing it did may be counted
            MeasurementRow m;
            m.CUSTNO = QStringLiteral("K1");
            QVERIFY(ms.append(m).ok);
        }
        QVERIFY(same());
        auto other = another(*db); // another workstation's writes are counted too
        QVERIFY(other->run(QStringLiteral("INSERT INTO ZUDATA (CUSTNO) VALUES ('K1')")).ok);
        QVERIFY(other->run(QStringLiteral("DELETE FROM ZUCUST WHERE MKEY = 1")).ok);
        QVERIFY(same());
        QVERIFY(subjects.removeWithMeasurements(s.MKEY).ok);
        QVERIFY(same());
        QVERIFY(
            db->run(QStringLiteral("DELETE FROM ZUDATA WHERE MKEY > 2")).ok); // several rows in one statement
        QVERIFY(same());
        QVERIFY(db->run(QStringLiteral("DELETE FROM ZUCUST")).ok); // a change nobody noted
        QVERIFY(same());
    }

    void searchRules_data()
    {
        QTest::addColumn<int>("sort");
        QTest::addColumn<int>("save");
        QTest::addColumn<int>("browser");
        using F = SubjectField;
        const F save[] = {F::CUSTNO, F::NAME, F::ADDR, F::ADDR, F::TEL, F::ADDR, F::ADDR, F::ADDR, F::ADDR};
        const F browser[] = {F::CUSTNO, F::NAME,  F::TEL3, F::TEL3, F::TEL,
                             F::ADDR,   F::EMAIL, F::TEL2, F::TEL3};
        for (int i = 0; i < 9; ++i)
            QTest::addRow("sort %d", i + 1) << i + 1 << int(save[i]) << int(browser[i]);
    }
    void searchRules()
    {
        QFETCH(int, sort);
        QFETCH(int, save);
        QFETCH(int, browser);
        QCOMPARE(int(saveSearchField(sort)), save);
        QCOMPARE(int(browserSearchField(sort)), browser);
    }

    // An index or a trigger of the kept counts that a tool dropped comes back
    // when the database is next opened for writing; the count the missing
    // trigger did not keep is counted again.
    void missingObjectsComeBackOnOpening()
    {
        auto db = practice(7, true);
        QVERIFY(db);
        QVERIFY(db->run(QStringLiteral("DROP INDEX ZUCUST_ADDR")).ok);
        QVERIFY(db->run(QStringLiteral("DROP INDEX ZUCS1")).ok);
        QVERIFY(db->run(db->onServer() ? QStringLiteral("DROP TRIGGER ZUDATA_COUNT_ADDED ON ZUDATA")
                                       : QStringLiteral("DROP TRIGGER ZUDATA_COUNT_ADDED"))
                    .ok);
        QVERIFY(db->run(QStringLiteral("INSERT INTO ZUDATA (CUSTNO) VALUES ('uncounted')")).ok);
        QVERIFY(!db->engine().complete(FileKind::Main));
        if (!db->onServer()) {
            Status st;
            auto reader = Database::open(db->path(), FileKind::Main, Database::Access::ReadOnly, &st);
            QVERIFY(reader);
            QVERIFY(!reader->engine().complete(FileKind::Main)); // reading writes nothing
        }
        auto again = another(*db);
        QVERIFY(again);
        QVERIFY(again->engine().complete(FileKind::Main));
        QCOMPARE(MeasurementStore(*again).countAll(), 1);
    }

    // A file only read (never given the missing index) is searched all the same.
    void searchWithoutTheOrdersIndex_data()
    {
        QTest::addColumn<QString>("prefix");
        QTest::newRow("many matches") << u("台");
        QTest::newRow("few matches") << u("台北市1");
        QTest::newRow("none") << u("澎湖");
    }
    void searchWithoutTheOrdersIndex()
    {
        QFETCH(QString, prefix);
        const QString path = m_dir.filePath(QStringLiteral("nosexindex.mdb"));
        Status st;
        if (!QFileInfo::exists(path)) {
            auto db = Database::create(path, FileKind::Main, &st);
            fill(*db, 2600);
            QSqlQuery q(db->sql());
            QVERIFY(q.exec(QStringLiteral("DROP INDEX ZUCUST_SEX")));
        }
        auto db = Database::open(path, FileKind::Main, Database::Access::ReadOnly, &st);
        QVERIFY(db);
        SubjectList list(*db);
        QVERIFY(list.sort(SubjectField::SEX, false).ok);
        const QVector<qint64> plain = fullList(*db, SubjectField::SEX, false);
        QCOMPARE(list.findPrefix(SubjectField::ADDR, prefix),
                 plainSearch(*db, plain, SubjectField::ADDR, prefix));
    }

    void programLookupFindsAsFindByName_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("first of two") << QStringLiteral("twice");
        QTest::newRow("other case") << QStringLiteral("ONCE");
        QTest::newRow("missing") << QStringLiteral("none");
        QTest::newRow("empty") << QString();
    }
    void programLookupFindsAsFindByName()
    {
        QFETCH(QString, name);
        auto db = practice(1, true);
        ProgramStore store(*db);
        for (const char* n : {"twice", "once", "twice"}) {
            ProgramRow p;
            p.ProNo = QStringLiteral("P%1").arg(QLatin1String(n));
            p.ProName = QLatin1String(n);
            p.ProData = QStringLiteral("data of %1").arg(QLatin1String(n));
            QVERIFY(store.append(p).ok);
        }
        ProgramLookup lookup(*db);
        for (int round = 0; round < 3; ++round) { // the statement is used again
            const auto a = lookup.find(name);
            const auto b = store.findByName(name);
            QCOMPARE(a.has_value(), b.has_value());
            QCOMPARE(a.has_value(), name.compare(QLatin1String("twice"), Qt::CaseInsensitive) == 0 ||
                                        name.compare(QLatin1String("once"), Qt::CaseInsensitive) == 0);
            if (a) QCOMPARE(a->MKEY, b->MKEY);
        }
    }
};

QTEST_MAIN(TestSubjectWindow)
#include "test_subjectwindow.moc"
