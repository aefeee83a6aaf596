#include "records/researchcsv.h"

#include "analysis/energy.h"
#include "base/atomicfile.h"
#include "base/formats.h"
#include "measurement/qualitycodec.h"
#include "records/sqlitesource.h"
#include "shell/datadir.h"

#include <QDir>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <algorithm>
#include <cmath>
#include <sqlite3.h>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const QByteArray kByteOrderMark("\xEF\xBB\xBF");
const QByteArray kLineEnd("\r\n");

// The subject fields in table order, and whether they stay out of the
// anonymous form: what names or reaches a person, the keys that lead back to
// the row, and the free texts no screen shows (nobody could check them).
struct SubjectColumn
{
    const char* name;
    bool identifying;
};
const SubjectColumn kSubjectColumns[] = {
    {"MKEY", true},   {"CUSTNO", true}, {"NAME", true},    {"SEX", false},    {"DBIRTH", false},
    {"ADDR", true},   {"TEL", true},    {"TEL2", true},    {"TEL3", true},    {"EMAIL", true},
    {"MEMO", true},   {"BTYPE", false}, {"HEIGHT", false}, {"WEIGHT", false}, {"CUSTCAT", true},
    {"CUSTFG", true}, {"PrtFG", false},
};

QByteArray number(double v)
{
    return csvNumber(v);
}

QByteArray field(const QString& text)
{
    return csvField(text).toUtf8();
}

// A pseudonym per subject number (without regard to case), drawn at random
// for each export: nothing of the number can be read from it, and two exports
// cannot be joined by it.
class Pseudonyms
{
public:
    QString of(const QString& custNo)
    {
        const QString key = custNo.toCaseFolded();
        const auto it = m_byNumber.constFind(key);
        if (it != m_byNumber.constEnd()) return *it;
        QString p;
        do {
            p = QStringLiteral("P%1")
                    .arg(QRandomGenerator::system()->generate(), 8, 16, QLatin1Char('0'))
                    .toUpper();
        } while (m_used.contains(p));
        m_used.insert(p);
        m_byNumber.insert(key, p);
        return p;
    }

private:
    QHash<QString, QString> m_byNumber;
    QSet<QString> m_used;
};

// The lines of one file. The anonymous form puts them in the order of the
// pseudonyms, so that the order of the rows tells nothing of the subject
// numbers either; the rows of one subject keep their order.
class Lines
{
public:
    Lines(QByteArray& out, bool byPseudonym) : m_out(out), m_byPseudonym(byPseudonym) {}
    void add(QByteArray& line, const QString& pseudonym = {})
    {
        line.chop(1); // the last comma
        line += kLineEnd;
        if (m_byPseudonym)
            m_held.emplace_back(pseudonym, line);
        else
            m_out += line;
        line.clear();
    }
    void finish()
    {
        std::stable_sort(m_held.begin(), m_held.end(),
                         [](const auto& a, const auto& b) { return a.first < b.first; });
        for (const auto& h : m_held)
            m_out += h.second;
        m_held.clear();
    }

private:
    QByteArray& m_out;
    bool m_byPseudonym;
    std::vector<std::pair<QString, QByteArray>> m_held;
};

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

void subjectHeader(QByteArray& line, bool anonymous)
{
    if (anonymous) line += "SUBJECT,";
    for (const SubjectColumn& c : kSubjectColumns) {
        if (anonymous && c.identifying) continue;
        line += anonymous && qstrcmp(c.name, "DBIRTH") == 0 ? QByteArray("BIRTHYEAR") : QByteArray(c.name);
        line += ',';
    }
}

void subjectField(QByteArray& line, const QString& name, const QVariant& v, bool anonymous)
{
    if (name == QLatin1String("SEX")) {
        line += field(v.toLongLong() != 0 ? u("男") : u("女"));
    } else if (name == QLatin1String("DBIRTH")) {
        const QDate born = dateFromDayNumber(v.toDouble());
        if (!isNoBirthDate(v.toDouble()))
            line += anonymous ? QByteArray::number(born.year()) : born.toString(Qt::ISODate).toUtf8();
    } else if (name == QLatin1String("HEIGHT") || name == QLatin1String("WEIGHT")) {
        line += number(v.toDouble());
    } else if (name == QLatin1String("MKEY") || name == QLatin1String("PRTFG")) {
        line += QByteArray::number(v.toLongLong());
    } else {
        line += field(v.toString());
    }
    line += ',';
}

Status writeSubjects(Database& db, const ResearchCsvOptions& o, QByteArray& out, QHash<QString, bool>& sexOf,
                     Pseudonyms& pseudonyms, const std::function<void()>& perRow)
{
    Status st;
    auto rows =
        query(db, QStringLiteral("SELECT * FROM ZUCUST%1 ORDER BY CUSTNO, MKEY").arg(whereOf(o)), o, &st);
    if (!rows) return st;
    QVector<int> index;
    for (const SubjectColumn& c : kSubjectColumns)
        if (!o.anonymous || !c.identifying) index << rows->columnIndex(QLatin1String(c.name));
    QByteArray line;
    subjectHeader(line, o.anonymous);
    Lines lines(out, o.anonymous);
    out += line.chopped(1) + kLineEnd;
    line.clear();
    const int custNo = rows->columnIndex(QStringLiteral("CUSTNO"));
    const int sex = rows->columnIndex(QStringLiteral("SEX"));
    LegacyRow row;
    while (rows->next(&row)) {
        const QString number = row.value(custNo).toString();
        const QString key = number.toCaseFolded();
        if (!sexOf.contains(key)) sexOf.insert(key, row.value(sex).toLongLong() != 0);
        const QString pseudonym = o.anonymous ? pseudonyms.of(number) : QString();
        if (o.anonymous) line += pseudonym.toLatin1() + ',';
        for (int i : index)
            subjectField(line, rows->columns().at(i).name.toUpper(), row.value(i), o.anonymous);
        lines.add(line, pseudonym);
        if (perRow) perRow();
    }
    lines.finish();
    if (!rows->error()) return rows->error();
    if (!o.custNo.isEmpty() && sexOf.isEmpty())
        return Status::failure(u("沒有編號為 %1 的受測者").arg(o.custNo));
    return Status::success();
}

void measurementHeader(QByteArray& line, bool anonymous)
{
    line += anonymous ? "SUBJECT,ZUDATE,ZUVOTA," : "MKEY,CUSTNO,ZUDATE,ZUVOTA,";
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
                         const QHash<QString, bool>& sexOf, Pseudonyms& pseudonyms,
                         const std::function<void()>& perRow)
{
    Status st;
    QString columns = QStringLiteral("d.MKEY, CUSTNO, ZUDATE, ZUVOTA");
    for (int i = 1; i <= 24; ++i)
        columns += QStringLiteral(", ZU%1").arg(i);
    columns += QStringLiteral(", q.QUALITY, c.RESTMIN, c.MEALHRS, c.EXERCISE, c.ROOMTEMP, c.HUMIDITY, c.SKINPREP");
    auto rows = query(db,
                      QStringLiteral("SELECT %1 FROM ZUDATA d LEFT JOIN ZUQUAL q ON q.DATAKEY = d.MKEY "
                                     "LEFT JOIN ZUCOND c ON c.DATAKEY = d.MKEY%2 ORDER BY CUSTNO, ZUDATE, d.MKEY")
                          .arg(columns, whereOf(o)),
                      o, &st);
    if (!rows) return st;
    QByteArray line;
    measurementHeader(line, o.anonymous);
    out += line.chopped(1) + kLineEnd;
    line.clear();
    Lines lines(out, o.anonymous);
    const CompensationTable& table = defaultCompensationTable();
    LegacyRow row;
    while (rows->next(&row)) {
        const QString custNo = row.value(1).toString();
        const double taken = row.value(2).toDouble();
        const QString pseudonym = o.anonymous ? pseudonyms.of(custNo) : QString();
        if (o.anonymous)
            line += pseudonym.toLatin1() + ',';
        else
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
        lines.add(line, pseudonym);
        if (perRow) perRow();
    }
    lines.finish();
    return rows->error();
}

} // namespace

QString csvField(const QString& value)
{
    // What spreadsheet programs take for the start of a formula (OWASP's list).
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    QString v = value;
    if (!v.isEmpty() && formulaStarts.contains(v.front())) v.prepend(QLatin1Char('\''));
    const bool quote = v.contains(QLatin1Char(',')) || v.contains(QLatin1Char('"')) ||
                       v.contains(QLatin1Char('\n')) || v.contains(QLatin1Char('\r')) ||
                       (!v.isEmpty() && (v.front().isSpace() || v.back().isSpace()));
    if (!quote) return v;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

// Printed with the 17 digits that tell every double apart, a compensated value
// such as 27.1 x 1.1081 shows the binary's noise (30.029510000000005), which no
// stored value had; 15 digits give back every value stored with 15 or fewer.
QByteArray csvNumber(double value)
{
    if (!std::isfinite(value)) return {};
    return QByteArray::number(value, 'g', 15);
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
    Pseudonyms pseudonyms;
    out->subjects = kByteOrderMark;
    out->measurements = kByteOrderMark;
    Status st = writeSubjects(main, o, out->subjects, sexOf, pseudonyms, perRow);
    if (st) st = writeMeasurements(main, o, out->measurements, sexOf, pseudonyms, perRow);
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
