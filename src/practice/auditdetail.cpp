#include "practice/auditdetail.h"

#include "records/rows.h"
#include "shell/usersettings.h"

namespace lumo {
namespace {

// Details stay short: a long memo is cut, its change still seen.
constexpr int ValueLimit = 200;

QString shown(const QString& v)
{
    return v.size() > ValueLimit ? v.left(ValueLimit) + QStringLiteral("…") : v;
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
