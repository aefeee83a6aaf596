#include "comparison/trend.h"

#include "base/formats.h"
#include "base/json.h"

#include <algorithm>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

double trendRatio(const TrendRow& r, int ratio)
{
    switch (ratio) {
    case 0:
        return r.UpperLowerRatio;
    case 1:
        return r.LeftRightRatio;
    case 2:
        return r.YinYangRatio;
    default:
        return r.AutonomicRatio;
    }
}

int trendGrade(const TrendRow& r, int ratio)
{
    switch (ratio) {
    case 0:
        return r.UpperLowerGrade;
    case 1:
        return r.LeftRightGrade;
    case 2:
        return r.YinYangGrade;
    default:
        return r.AutonomicGrade;
    }
}

QString trendGradeText(const TrendRow& r, int ratio, TextStyle style)
{
    switch (ratio) {
    case 0:
        return upperLowerText(r.UpperLowerGrade, style);
    case 1:
        return leftRightText(r.LeftRightGrade, style);
    case 2:
        return yinYangText(r.YinYangGrade, style);
    default:
        return autonomicText(r.AutonomicGrade);
    }
}

QString trendRatioLabel(int ratio)
{
    static const char* labels[TrendRatioCount] = {"精神狀態比值", "左右肌骨系統", "新陳代謝功能",
                                                  "自律神經平衡度"};
    return QString::fromUtf8(labels[std::clamp(ratio, 0, TrendRatioCount - 1)]);
}

QString meridianNames(const QVector<Meridian>& meridians)
{
    QStringList names;
    for (Meridian m : meridians)
        names << shortName(m).remove(QLatin1Char(' '));
    return names.join(QString::fromUtf8("、"));
}

NormalRange trendNormalRange(int ratio, bool male)
{
    switch (ratio) {
    case 0:
        return upperLowerNormalRange(male);
    case 1:
        return leftRightNormalRange();
    case 2:
        return yinYangNormalRange();
    default:
        return autonomicNormalRange();
    }
}

QVector<TrendRow> buildTrend(QVector<MeasurementRow> measurements, const CompensationTable& table, bool male)
{
    std::stable_sort(measurements.begin(), measurements.end(),
                     [](const MeasurementRow& a, const MeasurementRow& b) {
                         return a.ZUDATE != b.ZUDATE ? a.ZUDATE < b.ZUDATE : a.MKEY < b.MKEY;
                     });
    QVector<TrendRow> rows;
    rows.reserve(measurements.size());
    for (const MeasurementRow& m : measurements) {
        TrendRow r;
        r.MKEY = m.MKEY;
        r.takenAt = m.ZUDATE;
        r.high = m.ZUVOTA;
        EnergySet e;
        e.Readings = m.ZU;
        if (auto a = ComputeEnergyAnalysis(e, table, male)) {
            r.analysed = true;
            r.BodyEnergy = a->BodyEnergy;
            r.bandTop = a->BodyEnergy + a->band.UpperOuterLimit;
            r.bandBottom = a->BodyEnergy - a->band.LowerOuterLimit;
            r.UpperLowerRatio = a->UpperLowerRatio;
            r.LeftRightRatio = a->LeftRightRatio;
            r.YinYangRatio = a->YinYangRatio;
            r.AutonomicRatio = a->AutonomicRatio;
            r.UpperLowerGrade = a->UpperLowerGrade;
            r.LeftRightGrade = a->LeftRightGrade;
            r.YinYangGrade = a->YinYangGrade;
            r.AutonomicGrade = a->AutonomicGrade;
            for (int i = 0; i < MeridianCount; ++i) {
                const Judgement j = MeridianJudgement(*a, Meridian(i));
                if (j == Judgement::High) r.meridiansHigh << Meridian(i);
                if (j == Judgement::Low) r.meridiansLow << Meridian(i);
            }
            r.highMeridians = int(r.meridiansHigh.size());
            r.lowMeridians = int(r.meridiansLow.size());
        }
        rows << r;
    }
    return rows;
}

// One line per kind, however many visits: the visits' poor points, the
// visits whose time of day is more than 3 hours from the first visit's, and
// those whose answered conditions differ from its.
QStringList trendNotes(const QVector<TrendRow>& rows, const QVector<MeasurementRow>& measurements,
                       const QHash<qint64, MeasurementExtras>& extras)
{
    QHash<qint64, const MeasurementRow*> byKey;
    for (const MeasurementRow& m : measurements)
        byKey.insert(m.MKEY, &m);
    QStringList poor, hours, differ;
    const TrendRow* first = nullptr;
    for (int i = 0; i < rows.size(); ++i) {
        const TrendRow& r = rows[i];
        const MeasurementRow* m = byKey.value(r.MKEY);
        if (!m) continue;
        const MeasurementExtras x = extras.value(r.MKEY);
        const int c = countGrades(x.quality, m->ZU).c;
        if (c > 0) poor << u("第 %1 次 %2 點").arg(i + 1).arg(c);
        if (!first) {
            first = &r;
            continue;
        }
        const MeasurementConditions none;
        if (!conditionWarnings(none, first->takenAt, none, r.takenAt).isEmpty())
            hours << QString::number(i + 1);
        if (!conditionWarnings(extras.value(first->MKEY).conditions, 0, x.conditions, 0).isEmpty())
            differ << QString::number(i + 1);
    }
    QStringList notes;
    if (!poor.isEmpty()) notes << u("品質不佳：") + poor.join(u("、"));
    if (!hours.isEmpty())
        notes << u("第 %1 次與第 1 次時段相差 %2 小時以上，數值差異可能來自時段")
                     .arg(hours.join(u("、")))
                     .arg(TimeOfDayWarningHours);
    if (!differ.isEmpty())
        notes << u("第 %1 次與第 1 次量測條件不同，數值差異可能來自量測條件").arg(differ.join(u("、")));
    return notes;
}

int analysedCount(const QVector<TrendRow>& rows)
{
    return int(std::count_if(rows.begin(), rows.end(), [](const TrendRow& r) { return r.analysed; }));
}

QByteArray trendCsv(const QVector<TrendRow>& rows)
{
    QByteArray out("\xEF\xBB\xBF");
    out += "MKEY,Date,Time,Potential,BodyEnergy,UpperLowerRatio,LeftRightRatio,YinYangRatio,AutonomicRatio,"
           "HighMeridians,LowMeridians\r\n";
    for (const TrendRow& r : rows) {
        const QDateTime at = dateTimeFromDayNumber(r.takenAt);
        QStringList cells = {QString::number(r.MKEY), at.date().toString(QStringLiteral("yyyy-MM-dd")),
                             at.time().toString(QStringLiteral("HH:mm:ss")),
                             r.high ? QStringLiteral("high") : QStringLiteral("standard")};
        if (r.analysed) {
            cells << QString::fromLatin1(shortestNumber(r.BodyEnergy));
            for (int i = 0; i < TrendRatioCount; ++i)
                cells << QString::fromLatin1(shortestNumber(trendRatio(r, i)));
            cells << QString::number(r.highMeridians) << QString::number(r.lowMeridians);
        } else {
            for (int i = 0; i < 7; ++i)
                cells << QString();
        }
        out += cells.join(QLatin1Char(',')).toUtf8() + "\r\n";
    }
    return out;
}

} // namespace lumo
