// The report as a file: the text a PDF gives back, a measurement that cannot
// be analysed, a full disk, a path that is not a regular file.
#include "analysis/charts.h"
#include "analysis/report.h"
#include "analysisfixture.h"
#include "recordingdevice.h"

#include <QDir>
#include <QFile>
#include <QtTest>
#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

using namespace lumo;
using lumo::test::Fixture;
using lumo::test::RecordingDevice;

namespace {

QString everything()
{
    return QString(20, QLatin1Char('1'));
}

// The text layer as pdftotext gives it, characters untouched. Blanks are not
// kept by any PDF text layer (they are guessed from glyph distances), so they
// are left out on both sides of a comparison.
QString extracted(const QString& pdf)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"),
            {QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000) || p.exitCode() != 0)
        return QStringLiteral("<pdftotext (poppler-utils) failed>");
    return QString::fromUtf8(p.readAllStandardOutput());
}

QString withoutBlanks(const QString& s)
{
    QString out;
    for (QChar c : s)
        if (!c.isSpace()) out += c; // the full-width blank U+3000 of "肺　經" too
    return out;
}

QByteArray contentOf(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestReportFiles : public QObject
{
    Q_OBJECT
private slots:
    void pdfTextIsThePrintedText()
    {
        Fixture f;
        f.setCompensated(1, 80); // Lung high on both sides: entries in every knowledge list
        f.setCompensated(7, 80);
        f.setCompensated(15, 10); // Kidney low
        f.setCompensated(21, 10);
        QString error;
        auto ctx = reportContext(f.state, everything(), QString::fromUtf8("火氣大，心悸，長期失眠"), &error);
        QVERIFY(ctx && ctx->input.refusal.isEmpty());
        const QString pdf = f.dir.filePath(QStringLiteral("report.pdf"));
        QVERIFY2(printReportToPdf(ctx->input, pdf, &error), qPrintable(error));
        const QString text = extracted(pdf);

        QStringList expected = {QString::fromUtf8("LUMO 經絡能量分析儀分析報表"),
                                QString::fromUtf8("經絡能量辨證  **本資料僅供學術研究參考**"),
                                QString::fromUtf8("醫方建議  **本資料僅供學術研究參考**"),
                                QString::fromUtf8("養生食療建議"),
                                QString::fromUtf8("症狀描述與處置"),
                                QString::fromUtf8("專家療程建議"),
                                QString::fromUtf8("表裡經絡平均能量對應:"),
                                QString::fromUtf8("身體能量:"),
                                QString::fromUtf8("自律神經平衡度:"),
                                QString::fromUtf8("火氣大，心悸，長期失眠"),
                                QString::fromUtf8("【 水 】腎  經 - 膀胱經")};
        for (int chart : {1, 2, 3, 4, 5, 6, 8, 9})
            expected << chartTitle(chart);
        for (int m = 0; m < MeridianCount; ++m)
            expected << fullWidthName(Meridian(m));
        for (const QString& e : expected)
            QVERIFY2(withoutBlanks(text).contains(withoutBlanks(e)), qPrintable(e));
        // Not one character came back as a Kangxi radical or a radical supplement.
        for (QChar c : text)
            QVERIFY2(c.unicode() < 0x2E80 || c.unicode() > 0x2FDF,
                     qPrintable(QStringLiteral("U+%1").arg(c.unicode(), 4, 16)));
    }

    void unanalysableMeasurementPrintsItsValuesAndNoVerdicts()
    {
        Fixture f;
        f.state.energy.setReading(5, 1e308);
        f.state.energy.setReading(20, -3);
        QString error;
        auto ctx = reportContext(f.state, everything(), QStringLiteral("record line"), &error);
        QVERIFY(ctx);
        QVERIFY(ctx->input.refusal.contains(QString::fromUtf8("第 5 點")));
        RecordingDevice d;
        PrintAnalysisReport(ctx->input, d, [&d] { d.turnPage(); });
        const QStringList texts = d.texts();
        QVERIFY(texts.contains(unanalysableText()));
        QVERIFY(texts.contains(QString::fromUtf8("症狀描述與處置"))); // the record needs no analysis
        QVERIFY(texts.contains(QStringLiteral("record line")));
        QCOMPARE(texts.count(QStringLiteral("---")), 2); // the two values out of range
        QCOMPARE(texts.count(QStringLiteral("[---]")), 2);
        QVERIFY(texts.contains(QStringLiteral("40.0"))); // the others as stored
        for (int grade = -3; grade <= 3; ++grade)
            QVERIFY(!texts.contains(bodyText(grade, TextStyle::Print)));
        for (int chart : {1, 2, 3, 4, 5, 6, 8, 9})
            QVERIFY(!texts.contains(chartTitle(chart)));
        QVERIFY(!texts.contains(QString::fromUtf8("身體能量:")));
    }

    void pdfOnAFullDiskKeepsTheOldFile()
    {
        Fixture f;
        QString error;
        auto ctx = reportContext(f.state, everything(), QString(), &error);
        const QString pdf = f.dir.filePath(QStringLiteral("report.pdf"));
        QVERIFY(printReportToPdf(ctx->input, pdf, &error));
        const QByteArray good = contentOf(pdf);
        QVERIFY(good.size() > 32768);

        std::signal(SIGXFSZ, SIG_IGN);
        rlimit saved{};
        getrlimit(RLIMIT_FSIZE, &saved);
        rlimit small = saved;
        small.rlim_cur = 32768;
        setrlimit(RLIMIT_FSIZE, &small);
        ctx->input.treatmentRecord = QStringLiteral("changed");
        const bool written = printReportToPdf(ctx->input, pdf, &error);
        setrlimit(RLIMIT_FSIZE, &saved);

        QVERIFY(!written);
        QVERIFY2(error.contains(QStringLiteral("report.pdf")), qPrintable(error));
        QCOMPARE(contentOf(pdf), good);
        QCOMPARE(QDir(f.dir.path()).entryList({QStringLiteral("report.pdf*")}, QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("report.pdf")});
    }

    void pdfNeverReplacesWhatIsNotARegularFile()
    {
        Fixture f;
        QString error;
        auto ctx = reportContext(f.state, everything(), QString(), &error);
        const QString fifo = f.dir.filePath(QStringLiteral("report.pdf"));
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
        QVERIFY(!printReportToPdf(ctx->input, fifo, &error));
        QVERIFY(error.contains(QStringLiteral("not a regular file")));
        struct stat st
        {
        };
        QVERIFY(::lstat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
    }

    void noticeNamesTheFile()
    {
        const QString notice = pdfWrittenNotice(QStringLiteral("/tmp/reports/王小明.pdf"));
        QVERIFY(notice.startsWith(QString::fromUtf8("分析報表已存成 PDF 檔案：")));
        QVERIFY(notice.endsWith(QString::fromUtf8("/tmp/reports/王小明.pdf")));
    }
};

QTEST_MAIN(TestReportFiles)
#include "test_reportfiles.moc"
