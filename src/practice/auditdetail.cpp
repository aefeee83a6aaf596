#include "practice/auditdetail.h"

#include "base/formats.h"
#include "measurement/catalogue.h"
#include "records/rows.h"
#include "records/subjectimport.h"
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
        m_parts << QStringLiteral("%1: %2 → %3").arg(QString::fromUtf8(field), shown(before), shown(after));
}

void ChangeDetail::add(const char* field, double before, double after)
{
    if (before != after) add(field, QString::number(before, 'g', 15), QString::number(after, 'g', 15));
}

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QString sexText(bool male)
{
    return male ? u("男") : u("女");
}

QString birthText(double day)
{
    return isNoBirthDate(day) ? QString() : shortDateOfDay(day);
}

// A measuring point as the grids name it: its side and meridian, "左肺經".
QByteArray pointLabel(int point)
{
    QString name = (sideOfPoint(point) == Side::Left ? u("左") : u("右")) + shortName(meridianOfPoint(point));
    name.remove(QLatin1Char(' '));
    return name.toUtf8();
}

const char* labelOf(ImportField f)
{
    return importFieldInfo(f).label;
}

} // namespace

QString subjectDeletion(const SubjectRow& subject, const QVector<MeasurementRow>& measurements)
{
    QStringList keys;
    for (const MeasurementRow& m : measurements)
        keys << QString::number(m.MKEY);
    QString detail = u("姓名: %1; 測量資料 %2 筆").arg(subject.NAME).arg(measurements.size());
    if (!keys.isEmpty()) detail += u(" (序號 %1)").arg(keys.join(u("、")));
    return detail;
}

QString subjectChanges(const SubjectRow& b, const SubjectRow& a)
{
    ChangeDetail c;
    using F = ImportField;
    c.add(labelOf(F::CUSTNO), b.CUSTNO, a.CUSTNO);
    c.add(labelOf(F::NAME), b.NAME, a.NAME);
    c.add(labelOf(F::SEX), sexText(b.SEX), sexText(a.SEX));
    c.add(labelOf(F::DBIRTH), birthText(b.DBIRTH), birthText(a.DBIRTH));
    c.add(labelOf(F::ADDR), b.ADDR, a.ADDR);
    c.add(labelOf(F::TEL), b.TEL, a.TEL);
    c.add(labelOf(F::TEL2), b.TEL2, a.TEL2);
    c.add(labelOf(F::TEL3), b.TEL3, a.TEL3);
    c.add(labelOf(F::EMAIL), b.EMAIL, a.EMAIL);
    c.add(labelOf(F::MEMO), b.MEMO, a.MEMO);
    c.add(labelOf(F::BTYPE), b.BTYPE, a.BTYPE);
    c.add(labelOf(F::HEIGHT), b.HEIGHT, a.HEIGHT);
    c.add(labelOf(F::WEIGHT), b.WEIGHT, a.WEIGHT);
    c.add(labelOf(F::CUSTCAT), b.CUSTCAT, a.CUSTCAT);
    c.add(labelOf(F::CUSTFG), b.CUSTFG, a.CUSTFG);
    return c.text();
}

QString measurementChanges(const MeasurementRow& b, const MeasurementRow& a)
{
    ChangeDetail c;
    c.add("測量時間", dateTimeOfDay(b.ZUDATE), dateTimeOfDay(a.ZUDATE));
    c.add("測量方式", b.ZUVOTA ? u("高電位") : u("標準"), a.ZUVOTA ? u("高電位") : u("標準"));
    for (int i = 0; i < int(a.ZU.size()); ++i)
        c.add(pointLabel(i + 1).constData(), b.ZU[size_t(i)], a.ZU[size_t(i)]);
    c.add("處置記錄", b.MEMO1, a.MEMO1);
    c.add("MEMO2", b.MEMO2, a.MEMO2); // no screen shows it
    return c.text();
}

QString programChanges(const ProgramRow& b, const ProgramRow& a)
{
    ChangeDetail c;
    c.add("療程編號", b.ProNo, a.ProNo);
    c.add("療程名稱", b.ProName, a.ProName);
    c.add("療程說明", b.ProData, a.ProData);
    if (b.ProPict != a.ProPict) c.add("照片", pictureText(b.ProPict), pictureText(a.ProPict));
    c.add("原圖大小", b.ProScal ? 1 : 0, a.ProScal ? 1 : 0);
    c.add("自訂功能鍵", b.ProFN, a.ProFN);
    addAll(c, "自訂功能鍵說明 ", b.ProScrp, a.ProScrp);
    addAll(c, "自訂功能鍵程式 ", b.ProPrg, a.ProPrg);
    addAll(c, "自訂功能鍵參數 ", b.ProParm, a.ProParm);
    addAll(c, "醫療建議 ", b.ProMed, a.ProMed);
    addAll(c, "保健建議 ", b.ProHel, a.ProHel);
    return c.text();
}

QString conditionChanges(const ConditionRow& b, const ConditionRow& a)
{
    ChangeDetail c;
    c.add("條件名稱", b.ProSubN, a.ProSubN);
    c.add("條件說明", b.ProNote, a.ProNote);
    c.add("必要位置", b.ProAnd, a.ProAnd);
    c.add("條件", b.ProCond, a.ProCond);
    c.add("年齡下限", b.ProAGL, a.ProAGL);
    c.add("年齡上限", b.ProAGH, a.ProAGH);
    c.add("能量值", b.ProEng, a.ProEng);
    c.add("必須條件", b.ProFlg ? 1 : 0, a.ProFlg ? 1 : 0);
    return c.text();
}

QString userSettingsChanges(const Configuration& before, const Configuration& after)
{
    const UserSettingsFields b = UserSettingsFields::of(before), a = UserSettingsFields::of(after);
    ChangeDetail c;
    static const char* const userKeys[] = {"用戶名稱1", "用戶名稱2", "用戶資料1", "用戶資料2"};
    for (size_t i = 0; i < b.user.size(); ++i)
        c.add(userKeys[i], b.user[i], a.user[i]);
    for (size_t i = 0; i < b.enabled.size(); ++i) {
        const QByteArray n = QByteArray::number(qulonglong(i + 1));
        c.add(("程式 " + n).constData(), b.enabled[i] ? 1 : 0, a.enabled[i] ? 1 : 0);
        c.add(("說明 " + n).constData(), b.hint[i], a.hint[i]);
        c.add(("執行功能程式 " + n).constData(), b.program[i], a.program[i]);
        c.add(("參數與檔案 " + n).constData(), b.param[i], a.param[i]);
    }
    return c.text();
}

} // namespace lumo
