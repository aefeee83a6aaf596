// lumo-cli compare and trend on a fresh data directory: the files they write
// are the screens' pictures and pages, and every error exits 2 with nothing written.
#include "comparison/comparisonfixture.h"
#include "comparison/multirecord.h"
#include "comparison/trend.h"
#include "comparison/tworecord.h"

#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

struct Cli
{
    int exitCode = -1;
    QString out, err;
};

const QDateTime T0(QDate(2025, 4, 7), QTime(8, 30, 0));

} // namespace

class TestCompareCli : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QList<qint64> m_keys; // seven measurements: A1 three, B2 four
    QVector<MeasurementRow> m_rows;

    Cli run(const QStringList& args)
    {
        QProcess p;
        p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"), QStringList{"--data-dir", m_dir.path()} + args);
        Cli c;
        if (!p.waitForFinished(120000)) return c;
        c.exitCode = p.exitCode();
        c.out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        c.err = QString::fromUtf8(p.readAllStandardError());
        return c;
    }
    QString key(int i) const { return QString::number(m_keys.at(i)); }
    QString path(const QString& name) const { return m_dir.filePath(QStringLiteral("out/") + name); }
    QImage image(const QString& file) const { return QImage(file).convertToFormat(QImage::Format_RGB32); }

private slots:
    void initTestCase()
    {
        QDir(m_dir.path()).mkpath(QStringLiteral("out"));
        SharedState s;
        ScriptedMessages messages;
        s.messages = &messages;
        s.DataDirectory = m_dir.path() + QLatin1Char('/');
        runStartupFileSteps(s, QStringLiteral(LUMO_SHARE_DIR));
        storeSubject(s, QStringLiteral("A1"), QString::fromUtf8("甲"));
        storeSubject(s, QStringLiteral("B2"), QString::fromUtf8("乙"), false);
        for (int i = 0; i < 7; ++i) {
            const QString number = i < 3 ? QStringLiteral("A1") : QStringLiteral("B2");
            const auto values = i == 1 ? filled(40) : varied(20 + 4 * i);
            m_rows << storeMeasurement(s, number, T0.addDays(10 * i), values, i == 2);
            m_keys << m_rows.last().MKEY;
        }
    }

    // The base with its stored values as the readings, the second record's band.
    void twoRecordPicture()
    {
        const QString file = path(QStringLiteral("two.png"));
        const Cli c =
            run({"compare", "--mkey", key(0), "--mkey", key(1), "--band", "comparison", "--out", file});
        QCOMPARE(c.exitCode, 0);
        QCOMPARE(c.out, QFileInfo(file).absoluteFilePath());
        const QImage img = image(file);
        QCOMPARE(img.size(), QSize(600, 417));
        // The second record stores 40 everywhere: its band's lines at rows 260, 278, 322, 340.
        for (int y : {260, 340}) {
            int red = 0;
            for (int x = 31; x < 600; ++x)
                red += img.pixelColor(x, y) == QColor(255, 0, 0);
            QVERIFY2(red > 150, qPrintable(QString::number(y)));
        }
        SubjectRow a;
        a.CUSTNO = QStringLiteral("A1");
        EnergySet e;
        e.Readings = m_rows[0].ZU;
        e.recompensate();
        TwoRecordComparison cmp(a, e);
        cmp.load(comparisonRecordOf(a, m_rows[1], defaultCompensationTable()));
        cmp.choose(BandChoice::Comparison);
        QCOMPARE(img, renderComparisonChart(cmp.chart(), TwoRecordBox));
    }

    void twoRecordPage()
    {
        const QString file = path(QStringLiteral("two.pdf"));
        const Cli c = run({"compare", "--mkey", key(2), "--out", file});
        QCOMPARE(c.exitCode, 0);
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QVERIFY(f.read(5) == "%PDF-");
    }

    void multiPicture()
    {
        const QString file = path(QStringLiteral("multi.png"));
        QStringList args{"compare", "--multi"};
        for (int i = 0; i < 6; ++i)
            args << "--mkey" << key(i);
        const Cli c = run(args + QStringList{"--select", "2", "--out", file});
        QCOMPARE(c.exitCode, 0);
        QVector<PickedRecord> set;
        for (int i = 0; i < 6; ++i) {
            SubjectRow s;
            s.CUSTNO = m_rows[i].CUSTNO;
            addPicked(set, pickedRecordOf(s, m_rows[i], defaultCompensationTable()));
        }
        MultiRecordComparison cmp(set);
        cmp.selectItem(1);
        QCOMPARE(image(file), renderComparisonChart(cmp.chart(), MultiBox));
        const Cli page = run(args + QStringList{"--out", path(QStringLiteral("multi.pdf"))});
        QCOMPARE(page.exitCode, 0);
        QVERIFY(QFileInfo(path(QStringLiteral("multi.pdf"))).size() > 1000);
    }

    void trendFiles()
    {
        const QString csv = path(QStringLiteral("trend.csv"));
        const Cli c = run({"trend", "--custno", "b2", "--out", csv}); // numbers match without regard to case
        QCOMPARE(c.exitCode, 0);
        QFile f(csv);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), trendCsv(buildTrend(m_rows.mid(3), defaultCompensationTable(), false)));
        QCOMPARE(run({"trend", "--custno", "A1", "--out", path(QStringLiteral("trend.png"))}).exitCode, 0);
        QCOMPARE(image(path(QStringLiteral("trend.png"))).size(), QSize(1000, 600));
        QCOMPARE(run({"trend", "--custno", "A1", "--out", path(QStringLiteral("trend.pdf"))}).exitCode, 0);
        QVERIFY(QFileInfo(path(QStringLiteral("trend.pdf"))).size() > 1000);
    }

    void errors_data()
    {
        QTest::addColumn<QStringList>("args"); // %1.. stand for the measurement keys, OUT for the file
        QTest::addColumn<QString>("file");
        QTest::newRow("unknown measurement")
            << QStringList{"compare", "--mkey", "99999", "--out", "OUT"} << "e1.png";
        QTest::newRow("key not a number")
            << QStringList{"compare", "--mkey", "x1", "--out", "OUT"} << "e2.png";
        QTest::newRow("unknown subject")
            << QStringList{"trend", "--custno", "NOPE", "--out", "OUT"} << "e3.csv";
        QTest::newRow("seventh") << QStringList{"compare", "--multi", "--mkey", "%0", "--mkey", "%1",
                                                "--mkey",  "%2",      "--mkey", "%3", "--mkey", "%4",
                                                "--mkey",  "%5",      "--mkey", "%6", "--out",  "OUT"}
                                 << "e4.png";
        QTest::newRow("the same twice")
            << QStringList{"compare", "--multi", "--mkey", "%0", "--mkey", "%0", "--out", "OUT"} << "e5.pdf";
        QTest::newRow("unknown ending") << QStringList{"compare", "--mkey", "%0", "--out", "OUT"} << "e6.jpg";
        QTest::newRow("trend as text") << QStringList{"trend", "--custno", "A1", "--out", "OUT"} << "e7.txt";
        QTest::newRow("comparison band without K2")
            << QStringList{"compare", "--mkey", "%0", "--band", "comparison", "--out", "OUT"} << "e8.png";
        QTest::newRow("unknown band")
            << QStringList{"compare", "--mkey", "%0", "--band", "upper", "--out", "OUT"} << "e9.png";
        QTest::newRow("three for two")
            << QStringList{"compare", "--mkey", "%0", "--mkey", "%1", "--mkey", "%2", "--out", "OUT"}
            << "e10.png";
        QTest::newRow("selection beyond the entries")
            << QStringList{"compare", "--multi",  "--mkey", "%0",    "--mkey",
                           "%1",      "--select", "3",      "--out", "OUT"}
            << "e11.png";
        QTest::newRow("selection of two records")
            << QStringList{"compare", "--mkey", "%0", "--select", "1", "--out", "OUT"} << "e12.png";
        QTest::newRow("no output") << QStringList{"compare", "--mkey", "%0"} << "";
        QTest::newRow("a folder that is not there")
            << QStringList{"compare", "--mkey", "%0", "--out", "OUT"} << "missing/e14.png";
    }
    void errors()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, file);
        const QString target = file.isEmpty() ? QString() : path(file);
        for (QString& a : args) {
            if (a == QLatin1String("OUT")) a = target;
            if (a.startsWith(QLatin1Char('%'))) a = key(a.mid(1).toInt());
        }
        const Cli c = run(args);
        QCOMPARE(c.exitCode, 2);
        QVERIFY(!c.err.trimmed().isEmpty());
        QVERIFY(c.out.isEmpty());
        if (!target.isEmpty()) QVERIFY(!QFileInfo::exists(target));
        // Nothing else appeared beside it either (no half-written file under another name).
        const QStringList left = QDir(path(QString())).entryList(QDir::Files);
        for (const QString& name : left)
            QVERIFY2(!name.startsWith(QLatin1Char('e')), qPrintable(name));
    }

    // A failing command leaves an earlier file as it was.
    void failureKeepsTheOldFile()
    {
        const QString file = path(QStringLiteral("kept.png"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("earlier");
        f.close();
        QCOMPARE(run({"compare", "--mkey", "99999", "--out", file}).exitCode, 2);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("earlier"));
    }
};

QTEST_MAIN(TestCompareCli)
#include "test_compare_cli.moc"
