#include "records/tablemapping.h"

#include "base/formats.h"
#include "base/json.h"
#include "records/programcommands.h"
#include "records/schema.h"

#include <QRegularExpression>
#include <cmath>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

bool isOneOf(const QString& name, std::initializer_list<const char*> names)
{
    for (const char* n : names)
        if (name.compare(QLatin1String(n), Qt::CaseInsensitive) == 0) return true;
    return false;
}

// The schema keeps these yes/no fields in integer columns.
bool isBoolean(const QString& name)
{
    return isOneOf(name, {"SEX", "ZUVOTA", "ProScal", "PrtFG", "ProFlg"});
}

bool isOptional(const QString& table, const QString& name)
{
    if (table.compare(QLatin1String("ZUPRO"), Qt::CaseInsensitive) == 0)
        return isOneOf(name, {"ProFN"}) || name.startsWith(QLatin1String("ProScrp"), Qt::CaseInsensitive) ||
               isCommandField(name);
    if (table.compare(QLatin1String("ZUPRDT"), Qt::CaseInsensitive) == 0)
        return isOneOf(name, {"ProAGL", "ProAGH"});
    return false;
}

// The value a column's definition gives a row that does not set it.
QVariant declaredDefault(const ColumnDef& c, FieldKind kind)
{
    static const QRegularExpression re(QStringLiteral("DEFAULT\\s+(\\S+)"));
    const QString given = re.match(c.declaration).captured(1);
    // An answer that may be missing (a number without a default that may be
    // NULL) stays missing: a 0 would read as an answer.
    const bool mayBeMissing =
        given.isEmpty() && !c.declaration.contains(QLatin1String("NOT NULL"), Qt::CaseInsensitive);
    if (mayBeMissing && kind != FieldKind::Text) return QVariant();
    switch (kind) {
    case FieldKind::Boolean:
    case FieldKind::Integer:
        return QVariant(qint64(given.toLongLong()));
    case FieldKind::Real:
    case FieldKind::DateTime:
        return QVariant(given.toDouble());
    case FieldKind::Text:
        // An empty text, not a missing one: the columns emptied on purpose (the
        // dropped commands) read as blank to the earlier program, as they were.
        return QVariant(QStringLiteral(""));
    case FieldKind::Key:
    case FieldKind::Bytes:
        break;
    }
    return QVariant();
}

FieldKind kindOf(const ColumnDef& c)
{
    if (isBoolean(c.name)) return FieldKind::Boolean;
    if (isOneOf(c.name, {"DBIRTH", "ZUDATE"})) return FieldKind::DateTime;
    switch (c.type) {
    case ColumnType::Key:
        return FieldKind::Key;
    case ColumnType::Integer:
        return FieldKind::Integer;
    case ColumnType::Real:
        return FieldKind::Real;
    case ColumnType::Text:
        return FieldKind::Text;
    case ColumnType::Blob:
        return FieldKind::Bytes;
    }
    return FieldKind::Text;
}

// A date-time as its text form carries it: whole seconds (milliseconds rounded first).
double toWholeSecond(double day)
{
    const double whole = std::trunc(day);
    const double frac = std::fabs(day - whole);
    qint64 seconds = std::llround(frac * 86400000.0) / 1000;
    if (seconds > 86399) seconds = 86399;
    return day < 0 ? whole - double(seconds) / 86400.0 : whole + double(seconds) / 86400.0;
}

bool textToBool(const QString& text, bool* out)
{
    const QString t = text.trimmed().toLower();
    if (t.isEmpty() || t == QLatin1String("0") || t == QLatin1String("false") || t == QLatin1String("no") ||
        t == u("否")) {
        *out = false;
        return true;
    }
    if (t == QLatin1String("1") || t == QLatin1String("-1") || t == QLatin1String("true") ||
        t == QLatin1String("yes") || t == u("是")) {
        *out = true;
        return true;
    }
    return false;
}

bool textToDay(const QString& text, double* out)
{
    const QString t = text.trimmed();
    bool ok = false;
    const double n = t.toDouble(&ok);
    if (ok) {
        *out = n;
        return true;
    }
    QDateTime dt = QDateTime::fromString(t, Qt::ISODate);
    if (!dt.isValid()) {
        const int gap = t.indexOf(QLatin1Char(' '));
        const QDate d = parseShortDate(gap < 0 ? t : t.left(gap));
        const QTime tm = gap < 0 ? QTime(0, 0) : parseLongTime(t.mid(gap + 1).trimmed());
        if (d.isValid() && tm.isValid()) dt = QDateTime(d, tm);
    }
    if (!dt.isValid()) return false;
    *out = dayNumber(dt);
    return true;
}

QString textOf(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Bool:
        return v.toBool() ? QStringLiteral("True") : QStringLiteral("False");
    case QMetaType::Double:
        return QString::fromLatin1(shortestNumber(v.toDouble()));
    case QMetaType::QByteArray:
        return QString::fromUtf8(v.toByteArray());
    default:
        return v.toString();
    }
}

bool isNumber(const QVariant& v)
{
    const int t = v.typeId();
    return t == QMetaType::LongLong || t == QMetaType::Int || t == QMetaType::Double || t == QMetaType::Bool;
}

bool toNumber(const QVariant& in, double* out)
{
    if (isNumber(in)) {
        *out = in.toDouble();
        return std::isfinite(*out);
    }
    bool ok = false;
    const QString t = textOf(in).trimmed();
    *out = t.isEmpty() ? 0.0 : t.toDouble(&ok);
    return (t.isEmpty() || ok) && std::isfinite(*out);
}

} // namespace

bool isMeasurementDay(double day)
{
    static const double first = dayNumber(QDate(1900, 1, 1));
    static const double afterLast = dayNumber(QDate(2101, 1, 1));
    return day >= first && day < afterLast; // false for NaN
}

bool isCommandField(const QString& field)
{
    return field.startsWith(QLatin1String("ProPrg"), Qt::CaseInsensitive) ||
           field.startsWith(QLatin1String("ProParm"), Qt::CaseInsensitive);
}

QVector<MappedField> mappedFields(const QString& table, bool withKey)
{
    QVector<MappedField> fields;
    for (const TableDef& t : tablesOf(FileKind::Main)) {
        if (t.name.compare(table, Qt::CaseInsensitive) != 0) continue;
        for (const ColumnDef& c : t.columns) {
            const FieldKind kind = kindOf(c);
            if (kind == FieldKind::Key && !withKey) continue;
            if (c.name == QLatin1String(RowVersionColumn)) continue;
            fields.append({c.name, kind, isOptional(t.name, c.name), declaredDefault(c, kind)});
        }
    }
    return fields;
}

QString missingFieldMessage(const QString& table, const QString& field)
{
    return u("資料表 %1 缺少欄位 %2").arg(table, field);
}

bool carryValue(const MappedField& f, const QVariant& in, const CarryRules& rules, QVariant* out,
                QString* problem)
{
    if (rules.emptyCommands && isButtonField(f.name)) {
        *out = f.emptyValue;
        return true;
    }
    if (in.isNull()) {
        if (f.kind == FieldKind::Key) {
            *problem = u("沒有 MKEY");
            return false;
        }
        // A text or a picture that is not there stays so; a yes/no or a number takes its default.
        *out = f.kind == FieldKind::Text || f.kind == FieldKind::Bytes ? QVariant() : f.emptyValue;
        return true;
    }
    double n = 0;
    switch (f.kind) {
    case FieldKind::Key:
    case FieldKind::Integer:
        if (!toNumber(in, &n)) break;
        *out = QVariant(qint64(rnd(n)));
        return true;
    case FieldKind::Real:
        if (!toNumber(in, &n)) break;
        *out = QVariant(n);
        return true;
    case FieldKind::DateTime:
        if (isNumber(in) ? !toNumber(in, &n) : !textToDay(textOf(in), &n)) break;
        if (f.name.compare(QLatin1String("ZUDATE"), Qt::CaseInsensitive) == 0) {
            if (rules.boundedMeasurementDates && !isMeasurementDay(n)) {
                *problem = u("測量日期 %1 不在 1900/01/01 至 2100/12/31 之間").arg(textOf(in).left(40));
                return false;
            }
            if (rules.dateToSecond) n = toWholeSecond(n);
        }
        *out = QVariant(n);
        return true;
    case FieldKind::Boolean: {
        bool b = false;
        if (isNumber(in))
            b = in.toDouble() != 0;
        else if (!textToBool(textOf(in), &b))
            break;
        *out = QVariant(qint64(b ? 1 : 0));
        return true;
    }
    case FieldKind::Text:
        *out = QVariant(textOf(in));
        return true;
    case FieldKind::Bytes:
        *out = QVariant(in.typeId() == QMetaType::QByteArray ? in.toByteArray() : textOf(in).toUtf8());
        return true;
    }
    *problem = u("「%1」不是欄位 %2 可存放的值").arg(textOf(in).left(40), f.name);
    return false;
}

RowInserter::RowInserter(Database& db, const QString& table, const QStringList& columns) : m_db(db)
{
    m_appender = db.appender(table, columns, &m_status);
    if (!m_status) m_status = Status::failure(QStringLiteral("%1: %2").arg(db.path(), m_status.error));
}

RowInserter::~RowInserter() = default;

Status RowInserter::insert(const QVector<QVariant>& values)
{
    if (!m_status) return m_status;
    const Status st = m_appender->append(values);
    if (!st) m_status = Status::failure(QStringLiteral("%1: %2").arg(m_db.path(), st.error));
    return m_status;
}

Status RowInserter::finish()
{
    if (!m_status) return m_status;
    const Status st = m_appender->finish();
    if (!st) m_status = Status::failure(QStringLiteral("%1: %2").arg(m_db.path(), st.error));
    return m_status;
}

Status copyRows(LegacyCursor& from, const QString& table, Database& target, const CarryRules& rules,
                const std::function<void()>& perRow)
{
    const QVector<MappedField> fields = mappedFields(table, rules.keepKeys);
    QVector<int> source(fields.size(), -1);
    QStringList names;
    bool optionalGone = false;
    for (int i = 0; i < fields.size(); ++i) {
        const MappedField& f = fields.at(i);
        names << f.name;
        source[i] = from.columnIndex(f.name);
        if (f.optional && rules.optionalUpToFirstMissing) {
            optionalGone = optionalGone || source[i] < 0;
            if (optionalGone) source[i] = -1;
        }
        if (source[i] < 0 && !f.optional) return Status::failure(missingFieldMessage(table, f.name));
    }
    RowInserter insert(target, table, names);
    if (!insert.status()) return insert.status();
    LegacyRow row;
    QVector<QVariant> values(fields.size());
    qint64 number = 0;
    while (from.next(&row)) {
        ++number;
        for (int i = 0; i < fields.size(); ++i) {
            QString problem;
            const QVariant in = source[i] < 0 ? QVariant() : row.value(source[i]);
            if (!carryValue(fields.at(i), in, rules, &values[i], &problem))
                return Status::failure(
                    u("資料表 %1 第 %2 筆：%3").arg(table, QString::number(number), problem));
        }
        Status st = insert.insert(values);
        if (!st) return st;
        if (perRow) perRow();
    }
    if (!from.error()) return from.error();
    Status st = insert.finish();
    // Rows that kept their keys: the keys the engine gives new rows come after them.
    if (st && rules.keepKeys) st = target.engine().keysCopied(table);
    return st;
}

} // namespace lumo
