#include "records/researchcsv.h"

#include "analysis/energy.h"
#include "base/atomicfile.h"
#include "base/formats.h"
#include "base/json.h"
#include "measurement/qualitycodec.h"
#include "records/sqlitesource.h"
#include "shell/datadir.h"

#include <QDir>
#include <QHash>
#include <sqlite3.h>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const QByteArray kByteOrderMark("\xEF\xBB\xBF");
const QByteArray kLineEnd("\r\n");

// The subject fields in table order, and whether they name a person.
struct SubjectColumn
{
    const char* name;
    bool personal;
};
const SubjectColumn kSubjectColumns[] = {
    {"MKEY", false},   {"CUSTNO", false}, {"NAME", true},    {"SEX", false},    {"DBIRTH", false},
    {"ADDR", true},    {"TEL", true},     {"TEL2", true},    {"TEL3", true},    {"EMAIL", true},
    {"MEMO", true},    {"BTYPE", false},  {"HEIGHT", false}, {"WEIGHT", false}, {"CUSTCAT", false},
    {"CUSTFG", false}, {"PrtFG", false},
};

QByteArray number(double v)
{
    return shortestNumber(v);
}

QByteArray field(const QString& text)
{
    return csvField(text).toUtf8();
}

void endLine(QByteArray& out, QByteArray& line)
{
    line.chop(1); // the last comma
    out += line;
    out += kLineEnd;
    line.clear();
}

QString whereOf(const ResearchCsvOptions& o)
{
    return o.custNo.isEmpty() ? QString() : QStringLiteral(" WHERE CUSTNO = ?1");
}

// A query with the subject number bound where the options name one.
std::unique_ptr<LegacyCursor> query(Database& db, const QString& sql, const ResearchCsvOptions& o, Status* st)
{
    QString text = sql;
    if (!o.custNo.isEmpty()) {
        // The number is a value of the query, quoted as SQLite quotes a text literal.
        QString literal = o.custNo;
        literal.replace(QLatin1Char('\''), QStringLiteral("''"));
        text.replace(QStringLiteral("?1"), QLatin1Char('\'') + literal + QLatin1Char('\''));
    }
    return queryCursor(db, text, st);
}

Status writeSubjects(Database& db, const ResearchCsvOptions& o, QByteArray& out, QHash<QString, bool>& sexOf,
                     const std::function<void()>& perRow)
{
    Status st;
    auto rows =
        query(db, QStringLiteral("SELECT * FROM ZUCUST%1 ORDER BY CUSTNO, MKEY").arg(whereOf(o)), o, &st);
    if (!rows) return st;
    QVector<int> index;
    QByteArray line;
    for (const SubjectColumn& c : kSubjectColumns) {
        if (o.anonymous && c.personal) continue;
        index << rows->columnIndex(QLatin1String(c.name));
        line += c.name;
        line += ',';
    }
    endLine(out, line);
    const int custNo = rows->columnIndex(QStringLiteral("CUSTNO"));
    const int sex = rows->columnIndex(QStringLiteral("SEX"));
    LegacyRow row;
    while (rows->next(&row)) {
        const QString key = row.value(custNo).toString().toCaseFolded();
        if (!sexOf.contains(key)) sexOf.insert(key, row.value(sex).toLongLong() != 0);
        for (int i : index) {
            const QString name = rows->columns().at(i).name.toUpper();
            const QVariant v = row.value(i);
            if (name == QLatin1String("SEX"))
                line += field(v.toLongLong() != 0 ? u("男") : u("女"));
            else if (name == QLatin1String("DBIRTH"))
                line += isNoBirthDate(v.toDouble())
                            ? QByteArray()
                            : dateFromDayNumber(v.toDouble()).toString(Qt::ISODate).toUtf8();
            else if (name == QLatin1String("HEIGHT") || name == QLatin1String("WEIGHT"))
                line += number(v.toDouble());
            else if (name == QLatin1String("MKEY") || name == QLatin1String("PRTFG"))
                line += QByteArray::number(v.toLongLong());
            else
                line += field(v.toString());
            line += ',';
        }
        endLine(out, line);
        if (perRow) perRow();
    }
    if (!rows->error()) return rows->error();
    if (!o.custNo.isEmpty() && sexOf.isEmpty())
        return Status::failure(u("沒有編號為 %1 的受測者").arg(o.custNo));
    return Status::success();
}

void measurementHeader(QByteArray& line)
{
    line += "MKEY,CUSTNO,ZUDATE,ZUVOTA,";
    for (int i = 1; i <= 24; ++i)
        line += "ZU" + QByteArray::number(i) + ',';
    for (int i = 1; i <= 24; ++i)
        line += "COMP" + QByteArray::number(i) + ',';
    line += "BodyEnergy,UpperLowerRatio,LeftRightRatio,YinYangRatio,AutonomicRatio,"
            "BodyGrade,UpperLowerGrade,LeftRightGrade,YinYangGrade,AutonomicGrade,";
    // How it was taken: the 24 reading grades (A, B, C, - for none) and the conditions.
    line += "QUALITY,RESTMIN,MEALHRS,EXERCISE,ROOMTEMP,HUMIDITY,SKINPREP,";
}

// The grades that still belong to the values, and the answered conditions.
void qualityFields(QByteArray& line, const EnergySet& e, const LegacyRow& row, int first)
{
    MeasurementQuality q;
    QByteArray letters;
    if (decodeQuality(row.value(first).toByteArray(), q))
        for (size_t p = 0; p < 24; ++p)
            letters += q.grades[p].validFor(e.Readings[p]) ? char(q.grades[p].grade) : '-';
    line += letters + ',';
    for (int i = first + 1; i <= first + 6; ++i) {
        const QVariant v = row.value(i);
        if (!v.isNull()) line += number(v.toDouble());
        line += ',';
    }
}

void analysisFields(QByteArray& line, const std::optional<EnergyAnalysis>& a)
{
    if (!a) {
        line += QByteArray(10, ',');
        return;
    }
    for (double v :
         {a->BodyEnergy, a->UpperLowerRatio, a->LeftRightRatio, a->YinYangRatio, a->AutonomicRatio})
        line += number(v) + ',';
    for (int g : {a->BodyGrade, a->UpperLowerGrade, a->LeftRightGrade, a->YinYangGrade, a->AutonomicGrade})
        line += QByteArray::number(g) + ',';
}

Status writeMeasurements(Database& db, const ResearchCsvOptions& o, QByteArray& out,
                         const QHash<QString, bool>& sexOf, const std::function<void()>& perRow)
{
    Status st;
    QString columns = QStringLiteral("d.MKEY, CUSTNO, ZUDATE, ZUVOTA");
    for (int i = 1; i <= 24; ++i)
        columns += QStringLiteral(", ZU%1").arg(i);
    columns +=
        QStringLiteral(", q.QUALITY, c.RESTMIN, c.MEALHRS, c.EXERCISE, c.ROOMTEMP, c.HUMIDITY, c.SKINPREP");
    auto rows =
        query(db,
              QStringLiteral("SELECT %1 FROM ZUDATA d LEFT JOIN ZUQUAL q ON q.DATAKEY = d.MKEY "
                             "LEFT JOIN ZUCOND c ON c.DATAKEY = d.MKEY%2 ORDER BY CUSTNO, ZUDATE, d.MKEY")
                  .arg(columns, whereOf(o)),
              o, &st);
    if (!rows) return st;
    QByteArray line;
    measurementHeader(line);
    endLine(out, line);
    const CompensationTable& table = defaultCompensationTable();
    LegacyRow row;
    while (rows->next(&row)) {
        const QString custNo = row.value(1).toString();
        const double taken = row.value(2).toDouble();
        line += QByteArray::number(row.value(0).toLongLong()) + ',' + field(custNo) + ',';
        line += dateTimeFromDayNumber(taken).toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")).toUtf8() + ',';
        line += field(row.value(3).toLongLong() != 0 ? u("高電位") : u("標準電位")) + ',';
        EnergySet e;
        for (int p = 0; p < 24; ++p)
            e.Readings[size_t(p)] = row.value(4 + p).toDouble();
        e.recompensate(table);
        for (double v : e.Readings)
            line += number(v) + ',';
        for (double v : e.Compensated)
            line += number(v) + ',';
        // Without its subject the measurement has no sex to be graded by.
        const auto sex = sexOf.constFind(custNo.toCaseFolded());
        analysisFields(line, sex == sexOf.constEnd() ? std::nullopt : ComputeEnergyAnalysis(e, table, *sex));
        qualityFields(line, e, row, 28);
        endLine(out, line);
        if (perRow) perRow();
    }
    return rows->error();
}

} // namespace

QString csvField(const QString& value)
{
    const bool quote = value.contains(QLatin1Char(',')) || value.contains(QLatin1Char('"')) ||
                       value.contains(QLatin1Char('\n')) || value.contains(QLatin1Char('\r')) ||
                       (!value.isEmpty() && (value.front().isSpace() || value.back().isSpace()));
    if (!quote) return value;
    QString v = value;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

qint64 researchCsvRows(Database& main, const ResearchCsvOptions& o, Status* status)
{
    qint64 total = 0;
    for (const char* table : {"ZUCUST", "ZUDATA"}) {
        auto rows =
            query(main, QStringLiteral("SELECT COUNT(*) FROM %1%2").arg(QLatin1String(table), whereOf(o)), o,
                  status);
        LegacyRow row;
        if (!rows || !rows->next(&row)) {
            if (rows) *status = rows->error();
            return -1;
        }
        total += row.value(0).toLongLong();
    }
    *status = Status::success();
    return total;
}

Status buildResearchCsv(Database& main, const ResearchCsvOptions& o, ResearchCsv* out,
                        const std::function<void()>& perRow)
{
    ReadSnapshot snapshot(main);
    QHash<QString, bool> sexOf;
    out->subjects = kByteOrderMark;
    out->measurements = kByteOrderMark;
    Status st = writeSubjects(main, o, out->subjects, sexOf, perRow);
    if (st) st = writeMeasurements(main, o, out->measurements, sexOf, perRow);
    return st;
}

Status writeResearchCsv(const QString& directory, const ResearchCsv& csv, int* osError)
{
    const QString dir = QDir(directory).absolutePath() + QLatin1Char('/');
    Status st =
        writeFileAtomically(dataFilePath(dir, QLatin1String(ResearchSubjectsFile)), csv.subjects, osError);
    if (st)
        st = writeFileAtomically(dataFilePath(dir, QLatin1String(ResearchMeasurementsFile)), csv.measurements,
                                 osError);
    return st;
}

} // namespace lumo
