// Records that travel: a subject with 500 measurements exported as its folder
// (bundle, research files and 500 reports as PDF; target 3 s), beside the
// reports alone rendered into memory; and 10,000 subjects imported from a
// CSV file (target 5 s), beside the same rows inserted with one prepared
// statement in one transaction.

#include "analysis/reportinput.h"
#include "records/fhirbundle.h"
#include "records/measurements.h"
#include "records/subjectexport.h"
#include "records/subjectimport.h"
#include "records/subjects.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cstdio>
#include <ctime>
#include <random>

using namespace lumo;

namespace {

void figure(const char* name, double ms, double target = 0)
{
    std::printf("FIGURE %s %.1f ms%s\n", name, ms, target > 0 && ms > target ? "  OVER" : "");
}

double since(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e6;
}

// The processor time of all threads, in ms: on a machine that other work
// shares, it tells the work's own cost beside the time that passed.
double cpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

bool exportBench(SharedState& state, const QString& out)
{
    SubjectRow s;
    s.CUSTNO = QStringLiteral("B500");
    s.NAME = QString::fromUtf8("王小明");
    s.DBIRTH = 27000;
    SubjectStore(*state.MainDatabase).append(s);
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> v(15, 90);
    QVector<MeasurementRow> rows;
    {
        Transaction t(*state.MainDatabase);
        for (int i = 0; i < 500; ++i) {
            MeasurementRow m;
            m.CUSTNO = s.CUSTNO;
            m.ZUDATE = 43000 + i * 3.5;
            m.MEMO1 = QString::fromUtf8("第 %1 次：頭痛，睡眠不佳。").arg(i + 1);
            for (double& z : m.ZU)
                z = v(rng);
            MeasurementStore(*state.MainDatabase).append(m);
            rows << m;
        }
        t.commit();
    }
    // Bare: the same 500 reports rendered into memory, no database reads, no files.
    QElapsedTimer t;
    t.start();
    double cpu = cpuMs();
    for (const MeasurementRow& m : rows) {
        EnergySet e;
        e.Readings = m.ZU;
        e.recompensate(state.compensation);
        QString error;
        auto ctx = reportContext(state, s, e, state.config.PrintOptions, m.MEMO1, &error);
        QByteArray pdf;
        if (!ctx || !renderReportPdf(ctx->input, &pdf, &error)) return false;
    }
    figure("bare_render_500_reports", since(t));
    QElapsedTimer j;
    j.start();
    const QByteArray json = subjectBundleJson(s, rows, state.compensation, QDateTime::currentDateTime());
    figure("bundle_json_500_measurements", since(j));
    figure("bare_render_500_reports_cpu", cpuMs() - cpu);
    t.restart();
    cpu = cpuMs();
    const Status st = exportSubjectRecords(state, s, QDir(out).filePath(QStringLiteral("export")),
                                           state.config.PrintOptions);
    figure("export_subject_500_measurements", since(t), 3000);
    figure("export_subject_500_measurements_cpu", cpuMs() - cpu);
    if (!st) std::fprintf(stderr, "%s\n", qPrintable(st.error));
    return st.ok;
}

bool importBench(Database& db, const QString& dir)
{
    QByteArray csv = QByteArray("\xEF\xBB\xBF") +
                     QString::fromUtf8("編號,姓名,性別,生日,電話,行動電話,地址,備註\r\n").toUtf8();
    for (int i = 0; i < 10000; ++i)
        csv += QString::fromUtf8(
                   "T%1,\"陳, 志明 "
                   "%1\",%2,1970/%3/%4,02-2345-%1,0912-%1,台北市中山路%1號,\"第一行\r\n第二行\"\r\n")
                   .arg(i)
                   .arg(i % 2 ? QString::fromUtf8("男") : QString::fromUtf8("女"))
                   .arg(1 + i % 12)
                   .arg(1 + i % 28)
                   .toUtf8();
    const QString path = QDir(dir).filePath(QStringLiteral("subjects.csv"));
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(csv) != csv.size()) return false;
    f.close();

    QElapsedTimer t;
    t.start();
    CsvTable table;
    Status st = readCsvFile(path, &table);
    const ImportPlan plan = planSubjectImport(table, guessMapping(table.header), db, QDate::currentDate());
    int imported = 0;
    if (st) st = importSubjects(db, plan, ExistingNumbers::Refuse, &imported, nullptr);
    figure("import_10000_subjects_csv", since(t), 5000);
    if (!st || imported != 10000) {
        std::fprintf(stderr, "%s (%d imported)\n", qPrintable(st.error), imported);
        return false;
    }
    // Bare: the same 10,000 rows inserted with one prepared statement in one transaction.
    t.restart();
    {
        Transaction tx(db);
        QSqlQuery q(db.sql());
        q.prepare(QStringLiteral("INSERT INTO ZUCUST (CUSTNO, NAME, SEX, DBIRTH, TEL, TEL2, ADDR, MEMO) "
                                 "VALUES (?,?,?,?,?,?,?,?)"));
        for (const SubjectRow& s : plan.subjects) {
            for (const QVariant& v :
                 {QVariant(QStringLiteral("X") + s.CUSTNO), QVariant(s.NAME), QVariant(int(s.SEX)),
                  QVariant(s.DBIRTH), QVariant(s.TEL), QVariant(s.TEL2), QVariant(s.ADDR), QVariant(s.MEMO)})
                q.addBindValue(v);
            q.exec();
        }
        tx.commit();
    }
    figure("bare_insert_10000_subjects", since(t));
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    SharedState state;
    ScriptedMessages messages;
    state.messages = &messages;
    state.DataDirectory = dir.filePath(QStringLiteral("data")) + QLatin1Char('/');
    runStartupFileSteps(state, deliveredDirectory());
    if (!state.MainDatabase) return 1;
    const bool ok = exportBench(state, dir.path()) && importBench(*state.MainDatabase, dir.path());
    return ok ? 0 : 1;
}
