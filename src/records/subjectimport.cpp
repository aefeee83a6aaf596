#include "records/subjectimport.h"

#include "base/formats.h"
#include "base/visibletext.h"
#include "records/subjects.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QTime>
#include <algorithm>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const ImportFieldInfo kFields[ImportFieldCount] = {
    {ImportField::CUSTNO, "CUSTNO", "編號", 15}, {ImportField::NAME, "NAME", "姓名", 50},
    {ImportField::SEX, "SEX", "性別", 0},        {ImportField::DBIRTH, "DBIRTH", "生日", 0},
    {ImportField::ADDR, "ADDR", "地址", 100},    {ImportField::TEL, "TEL", "電話", 30},
    {ImportField::TEL2, "TEL2", "行動電話", 30}, {ImportField::TEL3, "TEL3", "傳真", 30},
    {ImportField::EMAIL, "EMAIL", "E-Mail", 50}, {ImportField::MEMO, "MEMO", "備註", 0},
    {ImportField::BTYPE, "BTYPE", "血型", 5},    {ImportField::HEIGHT, "HEIGHT", "身高", 0},
    {ImportField::WEIGHT, "WEIGHT", "體重", 0},  {ImportField::CUSTCAT, "CUSTCAT", "類別", 50},
    {ImportField::CUSTFG, "CUSTFG", "標記", 10},
};

// Header texts in their compared form: without blanks (also the full-width
// one), hyphens, underscores and dots, case folded.
QString folded(const QString& header)
{
    QString f;
    for (QChar c : header)
        if (!c.isSpace() && c != QChar(0x3000) && c != QLatin1Char('-') && c != QLatin1Char('_') &&
            c != QLatin1Char('.') && c != QChar(0xFEFF))
            f += c;
    return f.toCaseFolded();
}

const QHash<QString, ImportField>& knownHeaders()
{
    static const QHash<QString, ImportField> headers = [] {
        const std::pair<ImportField, const char*> names[] = {
            {ImportField::CUSTNO,
             "編號 受測者編號 客戶編號 病歷號碼 病歷號 no number id subjectnumber patientid"},
            {ImportField::NAME, "姓名 名字 name fullname"},
            {ImportField::SEX, "性別 sex gender"},
            {ImportField::DBIRTH, "生日 出生日期 出生年月日 birthday birthdate dateofbirth dob"},
            {ImportField::ADDR, "地址 住址 通訊地址 address"},
            {ImportField::TEL, "電話 室內電話 聯絡電話 住家電話 phone telephone"},
            {ImportField::TEL2, "行動電話 行動 手機 mobile mobilephone cellphone cell"},
            {ImportField::TEL3, "傳真 fax"},
            {ImportField::EMAIL, "電子郵件 電子信箱 email mail"},
            {ImportField::MEMO, "備註 備註欄 memo remarks notes note"},
            {ImportField::BTYPE, "血型 bloodtype"},
            {ImportField::HEIGHT, "身高 height"},
            {ImportField::WEIGHT, "體重 weight"},
            {ImportField::CUSTCAT, "類別 category"},
            {ImportField::CUSTFG, "標記 flag"},
        };
        QHash<QString, ImportField> h;
        for (const auto& [field, list] : names)
            for (const QString& n : u(list).split(QLatin1Char(' ')))
                h.insert(folded(n), field);
        for (const ImportFieldInfo& f : kFields)
            h.insert(folded(QLatin1String(f.column)), f.field);
        return h;
    }();
    return headers;
}

std::optional<bool> parseSex(const QString& text)
{
    const QString t = folded(text);
    static const QSet<QString> male = {u("男"),
                                       u("男性"),
                                       QStringLiteral("m"),
                                       QStringLiteral("male"),
                                       QStringLiteral("1"),
                                       QStringLiteral("true")};
    static const QSet<QString> female = {u("女"),
                                         u("女性"),
                                         QStringLiteral("f"),
                                         QStringLiteral("female"),
                                         QStringLiteral("0"),
                                         QStringLiteral("false")};
    if (male.contains(t)) return true;
    if (female.contains(t)) return false;
    return std::nullopt;
}

// ASCII letters without regard to case, as the database compares numbers.
QString numberKey(const QString& custNo)
{
    QString k = custNo;
    for (QChar& c : k)
        if (c.unicode() < 128) c = c.toLower();
    return k;
}

// A value of the file in a problem's text: marked where it hides
// characters, and cut to a readable length (a field may hold 65,536).
QString shownValue(const QString& text)
{
    return visibleText(text, 40);
}

// Characters a field of a subject never holds: controls (a NUL would cut the
// text on a server and be kept whole in a file) and the direction overrides
// and isolates that make a name read as another. Line breaks and tabs are
// the file's own and are handled where a field is read.
bool isRefusedCharacter(QChar c)
{
    const char16_t v = c.unicode();
    if (v == u'\t' || v == u'\r' || v == u'\n') return false;
    return v < 0x20 || (v >= 0x7F && v <= 0x9F) || (v >= 0x202A && v <= 0x202E) ||
           (v >= 0x2066 && v <= 0x2069);
}

struct RowCheck
{
    SubjectRow subject;
    QStringList problems;
    bool sexMissing = false;
};

QString fieldText(const CsvRow& row, const ColumnMapping& mapping, ImportField f)
{
    const int column = mapping[size_t(f)];
    QString text = column >= 0 ? row.fields.value(column) : QString();
    if (f != ImportField::MEMO) {
        // One line: a line break inside a quoted field of a one-line field becomes a blank.
        text.replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
        return text.trimmed();
    }
    // The memo's lines are stored separated by CR LF, as the editor stores them.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n")).replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
}

void checkNumber(RowCheck& c, ImportField f, const QString& text, double* into)
{
    if (text.isEmpty()) return;
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0)
        c.problems << u("%1 不是數字：%2").arg(u(importFieldInfo(f).label), shownValue(text));
    else
        *into = v;
}

RowCheck checkRow(const CsvRow& row, const ColumnMapping& mapping, const QDate& today)
{
    RowCheck c;
    if (!row.problem.isEmpty()) c.problems << row.problem;
    auto text = [&](ImportField f) { return fieldText(row, mapping, f); };
    SubjectRow& s = c.subject;
    s.CUSTNO = text(ImportField::CUSTNO);
    if (s.CUSTNO.isEmpty()) c.problems << u("缺少編號");
    QString* texts[] = {&s.CUSTNO, &s.NAME, nullptr,  nullptr, &s.ADDR, &s.TEL,     &s.TEL2,  &s.TEL3,
                        &s.EMAIL,  &s.MEMO, &s.BTYPE, nullptr, nullptr, &s.CUSTCAT, &s.CUSTFG};
    for (const ImportFieldInfo& f : kFields) {
        QString* into = texts[int(f.field)];
        if (!into) continue;
        *into = text(f.field);
        if (f.maxLength > 0 && into->size() > f.maxLength)
            c.problems << u("%1 超過 %2 個字").arg(u(f.label)).arg(f.maxLength);
    }
    const QString sex = text(ImportField::SEX);
    if (sex.isEmpty()) {
        c.sexMissing = true;
        s.SEX = true;
    } else if (auto male = parseSex(sex)) {
        s.SEX = *male;
    } else {
        c.problems << u("性別無法辨識：%1").arg(shownValue(sex));
    }
    const QString birth = text(ImportField::DBIRTH);
    if (!birth.isEmpty()) {
        const QDate d = parseBirthDate(birth);
        if (!d.isValid())
            c.problems << u("生日無法辨識：%1").arg(shownValue(birth));
        else if (isNoBirthDate(dayNumber(d)) || d > today)
            c.problems << u("生日不在合理範圍：%1").arg(shownValue(birth));
        else
            s.DBIRTH = dayNumber(d);
    }
    checkNumber(c, ImportField::HEIGHT, text(ImportField::HEIGHT), &s.HEIGHT);
    checkNumber(c, ImportField::WEIGHT, text(ImportField::WEIGHT), &s.WEIGHT);
    for (const ImportFieldInfo& f : kFields) {
        const QString value = text(f.field);
        const auto bad = std::find_if(value.begin(), value.end(), isRefusedCharacter);
        if (bad != value.end())
            c.problems << u("%1 含有控制字元 U+%2")
                              .arg(u(f.label),
                                   QString::number(bad->unicode(), 16).toUpper().rightJustified(4, u'0'));
    }
    return c;
}

// The numbers of the practice, in their compared form.
QSet<QString> presentNumbers(Database& db)
{
    QSet<QString> numbers;
    QSqlQuery q(db.sql());
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT CUSTNO FROM ZUCUST")))
        while (q.next())
            numbers.insert(numberKey(q.value(0).toString()));
    return numbers;
}

} // namespace

const ImportFieldInfo& importFieldInfo(ImportField f)
{
    return kFields[int(f)];
}

ColumnMapping guessMapping(const QStringList& header)
{
    ColumnMapping m;
    m.fill(-1);
    for (int i = 0; i < header.size(); ++i) {
        const auto it = knownHeaders().constFind(folded(header[i]));
        if (it != knownHeaders().constEnd() && m[size_t(*it)] < 0) m[size_t(*it)] = i;
    }
    return m;
}

Status applyMapping(const QString& assignment, const QStringList& header, ColumnMapping* mapping)
{
    const qsizetype eq = assignment.indexOf(QLatin1Char('='));
    if (eq <= 0) return Status::failure(u("對應應寫成 欄位=欄：%1").arg(assignment));
    const QString name = folded(assignment.left(eq));
    const QString column = assignment.mid(eq + 1).trimmed();
    const ImportFieldInfo* field = nullptr;
    for (const ImportFieldInfo& f : kFields)
        if (folded(QLatin1String(f.column)) == name || folded(u(f.label)) == name) field = &f;
    if (!field) return Status::failure(u("沒有這個欄位：%1").arg(assignment.left(eq)));
    int index = -1;
    if (!column.isEmpty()) {
        for (int i = 0; i < header.size() && index < 0; ++i)
            if (header[i].trimmed() == column) index = i;
        bool isNumber = false;
        const int n = column.toInt(&isNumber);
        if (index < 0 && isNumber && n >= 1 && n <= header.size()) index = n - 1;
        if (index < 0) return Status::failure(u("檔案中沒有這一欄：%1").arg(column));
    }
    (*mapping)[size_t(field->field)] = index;
    return Status::success();
}

QDate parseBirthDate(const QString& text)
{
    const QString t = text.trimmed();
    QDate d = parseShortDate(t);
    if (d.isValid()) return d;
    static const QRegularExpression iso(QStringLiteral("^(\\d{4})-(\\d{2})-(\\d{2})[T ]([0-9:.]+)$"));
    static const QRegularExpression written(
        u("^(民國)?\\s*(\\d{1,4})\\s*年\\s*(\\d{1,2})\\s*月\\s*(\\d{1,2})\\s*日?$"));
    static const QRegularExpression republic(
        QStringLiteral("^(\\d{1,3})[/.\\-](\\d{1,2})[/.\\-](\\d{1,2})$"));
    QRegularExpressionMatch m = iso.match(t);
    if (m.hasMatch()) {
        // The time of a date-time is not stored, but one that cannot be (25:99) makes the date suspect too.
        const QString time = m.captured(4);
        if (!QTime::fromString(time, Qt::ISODateWithMs).isValid() &&
            !QTime::fromString(time, Qt::ISODate).isValid())
            return {};
        return QDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    }
    m = written.match(t);
    if (m.hasMatch()) {
        int year = m.captured(2).toInt();
        // A year of up to three digits, or one after 民國, counts from 1912.
        if (!m.captured(1).isEmpty() || m.captured(2).size() <= 3) year += 1911;
        return QDate(year, m.captured(3).toInt(), m.captured(4).toInt());
    }
    m = republic.match(t);
    if (m.hasMatch())
        return QDate(m.captured(1).toInt() + 1911, m.captured(2).toInt(), m.captured(3).toInt());
    return {};
}

QString duplicateHeader(const QStringList& header)
{
    QHash<QString, int> first;
    for (int i = 0; i < header.size(); ++i) {
        const QString name = folded(header[i]);
        if (name.isEmpty()) continue;
        if (const auto seen = first.constFind(name); seen != first.constEnd())
            return u("標題列的第 %1 欄與第 %2 欄同名 (%3)，無法分辨要匯入哪一欄；請修改標題後再匯入")
                .arg(*seen + 1)
                .arg(i + 1)
                .arg(shownValue(header[i]));
        first.insert(name, i);
    }
    return {};
}

QString storedText(ImportField f, const QString& raw)
{
    const QString t = raw.trimmed();
    if (t.isEmpty()) return f == ImportField::SEX ? u("男 (未填)") : QString();
    if (f == ImportField::DBIRTH) {
        const QDate d = parseBirthDate(t);
        return d.isValid() ? shortDate(d) : t;
    }
    if (f == ImportField::SEX) {
        const auto male = parseSex(t);
        return male ? (*male ? u("男") : u("女")) : t;
    }
    return raw;
}

ImportPlan planSubjectImport(const CsvTable& table, const ColumnMapping& mapping, Database& db,
                             const QDate& today)
{
    ImportPlan plan;
    plan.numberMapped = mapping[size_t(ImportField::CUSTNO)] >= 0;
    plan.headerProblem = duplicateHeader(table.header);
    const QSet<QString> present = presentNumbers(db);
    QHash<QString, int> firstLine; // numbers of this file, with the line that brought each first
    for (const CsvRow& row : table.rows) {
        ++plan.rowsRead;
        RowCheck c = checkRow(row, mapping, today);
        const QString key = numberKey(c.subject.CUSTNO);
        if (!c.subject.CUSTNO.isEmpty()) {
            const auto seen = firstLine.constFind(key);
            if (seen != firstLine.constEnd())
                c.problems << u("編號與第 %1 行重覆").arg(*seen);
            else
                firstLine.insert(key, row.line);
        }
        if (!c.problems.isEmpty()) {
            plan.problems << ImportProblem{row.line, shownValue(c.subject.CUSTNO), c.problems.join(u("；"))};
            continue;
        }
        if (present.contains(key)) {
            plan.existing << ImportProblem{row.line, shownValue(c.subject.CUSTNO), u("編號已經存在")};
            continue;
        }
        if (c.sexMissing) ++plan.sexMissing;
        plan.subjects << c.subject;
        plan.lines << row.line;
    }
    return plan;
}

Status importable(const ImportPlan& plan, ExistingNumbers existing)
{
    if (!plan.headerProblem.isEmpty()) return Status::failure(plan.headerProblem);
    if (!plan.numberMapped) return Status::failure(u("沒有對應到「編號」的欄位"));
    if (!plan.problems.isEmpty())
        return Status::failure(u("有 %1 筆資料有問題，請修正檔案或欄位對應後再匯入；沒有匯入任何資料。")
                                   .arg(plan.problems.size()));
    if (existing == ExistingNumbers::Refuse && !plan.existing.isEmpty())
        return Status::failure(u("有 %1 筆資料的編號已經存在，沒有匯入任何資料。").arg(plan.existing.size()));
    if (plan.subjects.isEmpty()) return Status::failure(u("沒有可以匯入的受測者"));
    return Status::success();
}

Status importSubjects(Database& db, const ImportPlan& plan, ExistingNumbers existing, int* imported,
                      int* skipped, QStringList* importedNumbers)
{
    if (Status s = importable(plan, existing); !s) return s;
    Transaction t(db);
    if (!t.active()) return t.begun();
    // Another import, or an editor adding a subject, waits here until this
    // one commits; then it reads the numbers this one added.
    if (const QString lock = db.engine().lockSubjectNumbers(); !lock.isEmpty())
        if (Status s = db.run(lock); !s) return s;
    const QSet<QString> present = presentNumbers(db);
    int added = 0, left = int(plan.existing.size());
    QStringList numbers;
    SubjectStore store(db);
    for (SubjectRow s : plan.subjects) {
        if (present.contains(numberKey(s.CUSTNO))) {
            if (existing == ExistingNumbers::Refuse)
                return Status::failure(u("編號 %1 剛由其他工作站新增，沒有匯入任何資料。").arg(s.CUSTNO));
            ++left;
            continue;
        }
        if (Status st = store.append(s); !st) return st;
        numbers << s.CUSTNO;
        ++added;
    }
    if (added == 0) return Status::failure(u("所有編號都已由其他工作站新增，沒有匯入任何資料。"));
    if (Status st = t.commit(); !st) return st;
    if (imported) *imported = added;
    if (skipped) *skipped = left;
    if (importedNumbers) *importedNumbers = numbers;
    return Status::success();
}

QString importAuditText(const QString& file, const QStringList& numbers, int skipped)
{
    // A list of thousands of subjects would make the row unreadable: the first ones name it.
    constexpr int Named = 50;
    QString text =
        u("%1：新增 %2 位受測者 (編號 %3%4)")
            .arg(file)
            .arg(numbers.size())
            .arg(numbers.mid(0, Named).join(u("、")), numbers.size() > Named ? u(" 等") : QString());
    if (skipped > 0) text += u("，%1 筆編號已經存在而略過").arg(skipped);
    return text;
}

QString importDoneText(int imported, int skipped)
{
    QString text = u("受測者清單匯入完成：新增 %1 位受測者").arg(imported);
    if (skipped > 0) text += u("，%1 筆編號已經存在而略過").arg(skipped);
    return text + u("。");
}

} // namespace lumo
