#include "practice/auditdetail.h"

#include "records/rows.h"
#include "shell/usersettings.h"

#include <QCryptographicHash>

namespace lumo {
namespace {

// Details stay short: a long memo is cut, its change still seen.
constexpr int ValueLimit = 200;

QString shown(const QString& v)
{
    return v.size() > ValueLimit ? v.left(ValueLimit) + QStringLiteral("…") : v;
}

// A picture in a line of the log: its size and the start of its SHA-256.
QString pictureText(const QByteArray& picture)
{
    if (picture.isEmpty()) return {};
    const QByteArray digest = QCryptographicHash::hash(picture, QCryptographicHash::Sha256).toHex().left(12);
    return QStringLiteral("%1 B %2").arg(picture.size()).arg(QLatin1String(digest));
}

// Numbered fields: ProPrg1, ProPrg2 ...
template <size_t N>
void addAll(ChangeDetail& c, const char* field, const std::array<QString, N>& b,
            const std::array<QString, N>& a)
{
    for (size_t i = 0; i < N; ++i)
        c.add((QByteArray(field) + QByteArray::number(qulonglong(i + 1))).constData(), b[i], a[i]);
}

} // namespace

void ChangeDetail::add(const char* field, const QString& before, const QString& after)
{
    if (before != after)
        m_parts << QStringLiteral("%1: %2 → %3").arg(QLatin1String(field), shown(before), shown(after));
}

void ChangeDetail::add(const char* field, double before, double after)
{
    if (before != after) add(field, QString::number(before, 'g', 15), QString::number(after, 'g', 15));
}

QString subjectDeletion(const SubjectRow& subject, const QVector<MeasurementRow>& measurements)
{
    QStringList keys;
    for (const MeasurementRow& m : measurements)
        keys << QString::number(m.MKEY);
    QString detail = QStringLiteral("NAME: %1; ").arg(subject.NAME) +
                     QString::fromUtf8("檢測資料 %1 筆").arg(measurements.size());
    if (!keys.isEmpty()) detail += QStringLiteral(" (MKEY %1)").arg(keys.join(QStringLiteral(", ")));
    return detail;
}

QString subjectChanges(const SubjectRow& b, const SubjectRow& a)
{
    ChangeDetail c;
    c.add("CUSTNO", b.CUSTNO, a.CUSTNO);
    c.add("NAME", b.NAME, a.NAME);
    c.add("SEX", b.SEX ? 1 : 0, a.SEX ? 1 : 0);
    c.add("DBIRTH", b.DBIRTH, a.DBIRTH);
    c.add("ADDR", b.ADDR, a.ADDR);
    c.add("TEL", b.TEL, a.TEL);
    c.add("TEL2", b.TEL2, a.TEL2);
    c.add("TEL3", b.TEL3, a.TEL3);
    c.add("EMAIL", b.EMAIL, a.EMAIL);
    c.add("MEMO", b.MEMO, a.MEMO);
    c.add("BTYPE", b.BTYPE, a.BTYPE);
    c.add("HEIGHT", b.HEIGHT, a.HEIGHT);
    c.add("WEIGHT", b.WEIGHT, a.WEIGHT);
    c.add("CUSTCAT", b.CUSTCAT, a.CUSTCAT);
    c.add("CUSTFG", b.CUSTFG, a.CUSTFG);
    return c.text();
}

QString measurementChanges(const MeasurementRow& b, const MeasurementRow& a)
{
    ChangeDetail c;
    c.add("ZUDATE", b.ZUDATE, a.ZUDATE);
    c.add("ZUVOTA", b.ZUVOTA ? 1 : 0, a.ZUVOTA ? 1 : 0);
    for (int i = 0; i < int(a.ZU.size()); ++i) {
        const QByteArray name = "ZU" + QByteArray::number(i + 1);
        c.add(name.constData(), b.ZU[size_t(i)], a.ZU[size_t(i)]);
    }
    c.add("MEMO1", b.MEMO1, a.MEMO1);
    c.add("MEMO2", b.MEMO2, a.MEMO2);
    return c.text();
}

QString programChanges(const ProgramRow& b, const ProgramRow& a)
{
    ChangeDetail c;
    c.add("ProNo", b.ProNo, a.ProNo);
    c.add("ProName", b.ProName, a.ProName);
    c.add("ProData", b.ProData, a.ProData);
    if (b.ProPict != a.ProPict) c.add("ProPict", pictureText(b.ProPict), pictureText(a.ProPict));
    c.add("ProScal", b.ProScal ? 1 : 0, a.ProScal ? 1 : 0);
    c.add("ProFN", b.ProFN, a.ProFN);
    addAll(c, "ProScrp", b.ProScrp, a.ProScrp);
    addAll(c, "ProPrg", b.ProPrg, a.ProPrg);
    addAll(c, "ProParm", b.ProParm, a.ProParm);
    addAll(c, "ProMed", b.ProMed, a.ProMed);
    addAll(c, "ProHel", b.ProHel, a.ProHel);
    return c.text();
}

QString conditionChanges(const ConditionRow& b, const ConditionRow& a)
{
    ChangeDetail c;
    c.add("ProSubN", b.ProSubN, a.ProSubN);
    c.add("ProNote", b.ProNote, a.ProNote);
    c.add("ProAnd", b.ProAnd, a.ProAnd);
    c.add("ProCond", b.ProCond, a.ProCond);
    c.add("ProAGL", b.ProAGL, a.ProAGL);
    c.add("ProAGH", b.ProAGH, a.ProAGH);
    c.add("ProEng", b.ProEng, a.ProEng);
    c.add("ProFlg", b.ProFlg ? 1 : 0, a.ProFlg ? 1 : 0);
    return c.text();
}

QString userSettingsChanges(const Configuration& before, const Configuration& after)
{
    const UserSettingsFields b = UserSettingsFields::of(before), a = UserSettingsFields::of(after);
    ChangeDetail c;
    static const char* const userKeys[] = {"UserName1", "UserName2", "UserData1", "UserData2"};
    for (size_t i = 0; i < b.user.size(); ++i)
        c.add(userKeys[i], b.user[i], a.user[i]);
    for (size_t i = 0; i < b.enabled.size(); ++i) {
        const QByteArray n = QByteArray::number(qulonglong(i + 1));
        c.add(("ToolFlag" + n).constData(), b.enabled[i] ? 1 : 0, a.enabled[i] ? 1 : 0);
        c.add(("ToolHint" + n).constData(), b.hint[i], a.hint[i]);
        c.add(("ToolProgram" + n).constData(), b.program[i], a.program[i]);
        c.add(("ToolParam" + n).constData(), b.param[i], a.param[i]);
    }
    return c.text();
}

} // namespace lumo
