// Writes the records of a few subjects, as 匯出個人資料 writes them, into the
// folder given: the bundles the FHIR schema check reads. The subjects cover
// what a bundle must carry well: a full record with texts that need escaping,
// a subject without birth date or contacts, a measurement with points not
// measured, and one the analysis refuses (every point 0).
#include "records/subjectexport.h"
#include "travelfixture.h"

#include <QDir>
#include <QGuiApplication>
#include <cstdio>

using namespace lumo;
using namespace lumo::test;

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: fhir_sample OUT_DIR\n");
        return 2;
    }
    TravelPractice p;
    if (!p.state.MainDatabase) return 2;
    SubjectRow full;
    full.CUSTNO = QStringLiteral("A01");
    full.NAME = QString::fromUtf8("陳 \"小明\", 先生");
    full.DBIRTH = dayNumber(QDate(1975, 6, 15));
    full.ADDR = QString::fromUtf8("台北市中山路100號\r\n5樓");
    full.TEL = QStringLiteral("02-2345-6789");
    full.TEL2 = QStringLiteral("0912-345-678");
    full.TEL3 = QStringLiteral("02-2345-0000");
    full.EMAIL = QStringLiteral("a@example.org");
    full.MEMO = QString::fromUtf8("過敏：無");
    SubjectStore(p.db()).append(full);
    p.measurement(QStringLiteral("A01"), 30, 0, QString::fromUtf8("頭痛\r\n睡眠不佳"));
    MeasurementRow partial = p.measurement(QStringLiteral("A01"), 45, 1);
    partial.ZU[3] = 0;
    partial.ZU[20] = 0;
    MeasurementStore(p.db()).update(partial);
    const SubjectRow bare = p.subject(QStringLiteral("b-02"), QString(), false);
    p.measurement(QStringLiteral("b-02"), 0, 2);

    for (const SubjectRow& s : {full, bare}) {
        const QString folder = QDir(QString::fromLocal8Bit(argv[1])).filePath(s.CUSTNO);
        const Status st = exportSubjectRecords(p.state, s, folder, p.state.config.PrintOptions);
        if (!st) {
            std::fprintf(stderr, "%s\n", qPrintable(st.error));
            return 1;
        }
        std::printf("%s\n", qPrintable(folder));
    }
    return 0;
}
