#include "analysis/energy.h"

#include <cmath>

namespace lumo {
namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

// Grade -3..+3 from six ascending bounds; a value on a bound takes the higher grade.
int sevenStep(double x, const std::array<double, 6>& bounds)
{
    int g = -3;
    for (double b : bounds)
        if (x >= b) ++g;
    return g;
}

QString styled(const char* text, TextStyle style)
{
    QString s = u(text);
    if (style == TextStyle::Print) s.replace(QLatin1Char(','), QChar(0xFF0C));
    return s;
}

const char* pick(const char* const (&texts)[7], int grade) { return texts[std::clamp(grade, -3, 3) + 3]; }

} // namespace

PhysiologicalBand bandOf(double bodyEnergy)
{
    PhysiologicalBand b;
    b.BandFactor = (bodyEnergy - 10) * 0.0084375 + 0.6625;
    b.UpperInnerLimit = 11.5 * b.BandFactor;
    b.UpperOuterLimit = 21 * b.BandFactor;
    b.LowerInnerLimit = 10.5 * b.BandFactor;
    b.LowerOuterLimit = 20 * b.BandFactor;
    return b;
}

int BandMark(double x, const PhysiologicalBand& b)
{
    if (x >= 0) {
        if (x <= b.UpperInnerLimit) return 0;
        return x <= b.UpperOuterLimit ? 1 : 2;
    }
    const double a = -x;
    if (a <= b.LowerInnerLimit) return 0;
    return a <= b.LowerOuterLimit ? -1 : -2;
}

int bodyGrade(double x, bool male)
{
    return male ? sevenStep(x, {19, 26, 28, 60, 62, 68}) : sevenStep(x, {18, 24, 26, 59, 61, 67});
}

int upperLowerGrade(double r, bool male)
{
    return male ? sevenStep(r, {0.63, 0.83, 0.88, 1.16, 1.31, 1.41}) : sevenStep(r, {0.53, 0.73, 0.78, 1.06, 1.2, 1.29});
}

int leftRightGrade(double r) { return sevenStep(r, {0.4, 0.7, 0.8, 1.2, 1.3, 1.6}); }
int yinYangGrade(double r) { return sevenStep(r, {0.4, 0.7, 0.8, 1.2, 1.3, 1.6}); }

int autonomicGrade(double r)
{
    if (r <= 1.5) return 0;
    if (r <= 1.8) return 1;
    return r <= 2.1 ? 2 : 3;
}

int pairStatus(double d, const PhysiologicalBand& b)
{
    if (d < 22 * b.BandFactor) return 0;
    return d < 41 * b.BandFactor ? 1 : 2;
}

namespace {

// "第 5 點（左  手 三焦經）的數值 …": the point as the operator knows it.
QString pointText(int point)
{
    return u("第 %1 點（%2 %3）")
        .arg(QString::number(point), positionText(point), shortName(meridianOfPoint(point)));
}

QString valueText(double v)
{
    return std::isnan(v) ? u("（非數值）") : QString::number(v, 'g', 6);
}

} // namespace

Status checkReadings(const std::array<double, 24>& readings)
{
    for (int p = 1; p <= 24; ++p) {
        const double v = readings[size_t(p - 1)];
        if (!std::isfinite(v) || v < 0 || v > MaxReading)
            return Status::failure(u("%1的數值 %2 不在 0 到 %3 uA 之間，此筆測量資料無法分析。")
                                       .arg(pointText(p), valueText(v), QString::number(MaxReading)));
    }
    return Status::success();
}

QString unanalysableText()
{
    return u("無法分析");
}

std::optional<EnergyAnalysis> ComputeEnergyAnalysis(const EnergySet& energy, const CompensationTable& table,
                                                    bool male, QString* error)
{
    const Status readings = checkReadings(energy.Readings);
    if (!readings) {
        if (error) *error = readings.error;
        return std::nullopt;
    }
    std::array<double, 24> values{};
    for (int p = 1; p <= 24; ++p) values[size_t(p - 1)] = compensate(p, energy.Readings[size_t(p - 1)], table);
    return analyseCompensated(values, male, error);
}

std::optional<EnergyAnalysis> analyseCompensated(const std::array<double, 24>& E, bool male, QString* error)
{
    for (int p = 1; p <= 24; ++p) {
        const double v = E[size_t(p - 1)];
        if (!std::isfinite(v) || v < 0) {
            if (error)
                *error = u("%1的補償值 %2 不是 0 以上的數值，此筆測量資料無法分析。")
                             .arg(pointText(p), valueText(v));
            return std::nullopt;
        }
    }
    EnergyAnalysis a;
    a.Values = E;
    a.male = male;
    auto e = [&](int i) { return E[size_t(i - 1)]; };
    for (int g = 0; g < 8; ++g) a.GroupSum[size_t(g)] = e(3 * g + 1) + e(3 * g + 2) + e(3 * g + 3);
    const auto& G = a.GroupSum;
    double sum = 0;
    for (double g : G) sum += g;
    a.BodyEnergy = sum * 100 / 24 / 100;
    a.YinTotal = G[0] + G[2] + G[4] + G[6];
    a.YangTotal = G[1] + G[3] + G[5] + G[7];
    a.UpperTotal = G[0] + G[1] + G[2] + G[3];
    a.LowerTotal = G[4] + G[5] + G[6] + G[7];
    a.LeftTotal = G[0] + G[1] + G[4] + G[5];
    a.RightTotal = G[2] + G[3] + G[6] + G[7];

    // No body energy, or a total that would divide by zero: no analysis.
    if (!(a.BodyEnergy > 0) || a.YangTotal == 0 || a.LowerTotal == 0 || a.RightTotal == 0) {
        if (error)
            *error = u("此筆測量資料沒有可分析的能量：身體能量為 %1，陽經、下肢與右側的總和為 %2、%3 與 "
                       "%4，無法分析。")
                         .arg(QString::number(a.BodyEnergy), QString::number(a.YangTotal),
                              QString::number(a.LowerTotal), QString::number(a.RightTotal));
        return std::nullopt;
    }

    a.band = bandOf(a.BodyEnergy);
    for (int i = 0; i < 24; ++i) {
        a.Deviation[size_t(i)] = E[size_t(i)] - a.BodyEnergy;
        a.PointMark[size_t(i)] = BandMark(a.Deviation[size_t(i)], a.band);
    }
    a.ElementMean[size_t(Element::Wood)] = (e(14) + e(17) + e(20) + e(23)) / 4;
    a.ElementMean[size_t(Element::Fire)] = (e(2) + e(3) + e(4) + e(5) + e(8) + e(9) + e(10) + e(11)) / 8;
    a.ElementMean[size_t(Element::Earth)] = (e(13) + e(18) + e(19) + e(24)) / 4;
    a.ElementMean[size_t(Element::Metal)] = (e(1) + e(6) + e(7) + e(12)) / 4;
    a.ElementMean[size_t(Element::Water)] = (e(15) + e(16) + e(21) + e(22)) / 4;
    for (int i = 0; i < ElementCount; ++i)
        a.ElementMark[size_t(i)] = BandMark(a.ElementMean[size_t(i)] - a.BodyEnergy, a.band);
    for (int m = 1; m <= 12; ++m)
        a.MeridianMean[size_t(m - 1)] = m <= 6 ? (e(m) + e(m + 6)) / 2 : (e(m + 6) + e(m + 12)) / 2;
    for (int p = 1; p <= 6; ++p) {
        const auto pair = pairMeridians(p);
        a.PairDifference[size_t(p - 1)] =
            std::fabs(a.MeridianMean[size_t(pair[0])] - a.MeridianMean[size_t(pair[1])]);
        a.PairStatus[size_t(p - 1)] = pairStatus(a.PairDifference[size_t(p - 1)], a.band);
    }
    a.GroupMax = *std::max_element(G.begin(), G.end());
    a.GroupMin = *std::min_element(G.begin(), G.end());
    if (a.GroupMin == 0) a.GroupMin = 1.0;

    a.YinYangRatio = a.YinTotal / a.YangTotal;
    a.UpperLowerRatio = a.UpperTotal / a.LowerTotal;
    a.LeftRightRatio = a.LeftTotal / a.RightTotal;
    a.AutonomicRatio = a.GroupMax / a.GroupMin;
    a.BodyGrade = bodyGrade(a.BodyEnergy, male);
    a.UpperLowerGrade = upperLowerGrade(a.UpperLowerRatio, male);
    a.LeftRightGrade = leftRightGrade(a.LeftRightRatio);
    a.YinYangGrade = yinYangGrade(a.YinYangRatio);
    a.AutonomicGrade = autonomicGrade(a.AutonomicRatio);

    for (int i = 0; i < 24; ++i) a.GradeTable[size_t(i)] = a.PointMark[size_t(i)];
    a.GradeTable[24] = a.BodyGrade;
    a.GradeTable[25] = a.UpperLowerGrade;
    a.GradeTable[26] = a.LeftRightGrade;
    a.GradeTable[27] = a.YinYangGrade;
    a.GradeTable[28] = a.AutonomicGrade;
    for (int p = 0; p < 6; ++p) a.GradeTable[size_t(29 + p)] = a.PairStatus[size_t(p)];
    return a;
}

QString bodyText(int grade, TextStyle style)
{
    static const char* const t[7] = {"體能狀況低落,元氣不足", "體能精氣狀態稍弱", "體能元氣狀態偏虛,但仍屬正常", "體能及元氣狀態正常",
                                     "體能狀態偏旺,但仍在正常範圍", "體能狀態略有亢奮現象", "體能狀態亢奮,活動力旺盛"};
    return styled(pick(t, grade), style);
}

QString upperLowerText(int grade, TextStyle style)
{
    static const char* const t[7] = {"下焦氣血旺盛,有明顯精神衰弱傾向", "上焦氣血不足,有中度精神衰弱傾向",
                                     "上焦氣血偏虛,精神活動力略降",     "上下焦氣血平衡,精神活動力正常",
                                     "上焦氣血略旺,有輕微精神壓力傾向", "上盛下衰,有中度精神壓力傾向",
                                     "上焦氣血旺盛,有明顯精神壓力傾向"};
    return styled(pick(t, grade), style);
}

QString leftRightText(int grade, TextStyle style)
{
    static const char* const t[7] = {"左側氣血衰弱,肌肉骨骼系統有明顯運作不良", "右側氣血旺盛,肌骨系統運作失調",
                                     "右側氣血略旺,肌骨系統運作稍微失衡",       "左右氣血平衡,肌肉骨骼系統運作正常",
                                     "左右稍微失衡,肌骨系統稍有障礙",           "左盛右衰,肌骨系統功能障礙",
                                     "右側氣血衰弱,肌肉骨骼系統運作有明顯障礙"};
    return styled(pick(t, grade), style);
}

QString yinYangText(int grade, TextStyle style)
{
    static const char* const t[7] = {"陽腑盛於陰臟,機體代謝功能異常增加", "陽盛於陰,機體代謝功能增加",
                                     "陽盛於陰,機體代謝稍快",             "陰陽平衡,機體代謝功能正常",
                                     "陰盛於陽,機體代謝稍低",             "陰盛於陽,機體代謝功能降低",
                                     "陰臟盛於陽腑,機體代謝功能異常不足"};
    return styled(pick(t, grade), style);
}

QString autonomicText(int grade)
{
    static const char* const t[4] = {"全身自律神經系統功能正常", "自律神經系統有輕微失衡現象", "自律神經系統有中度失衡傾象",
                                     "有明顯自律神經系統失衡傾象"};
    return u(t[std::clamp(grade, 0, 3)]);
}

QString pairStatusText(int status, TextStyle style)
{
    static const char* const screen[3] = {"正常", "尚可", "表裡不平衡"};
    static const char* const print[3] = {"正  常", "尚  可", "表裡不平衡"};
    const int s = std::clamp(status, 0, 2);
    return u(style == TextStyle::Screen ? screen[s] : print[s]);
}

QString bodyRangeText(bool male) { return male ? QStringLiteral("(28 - 59)") : QStringLiteral("(26 - 58)"); }
QString upperLowerRangeText(bool male) { return male ? QStringLiteral("(0.88-1.15)") : QStringLiteral("(0.78-1.05)"); }
QString leftRightRangeText() { return QStringLiteral("(0.8-1.1)"); }
QString yinYangRangeText() { return QStringLiteral("(0.8-1.1)"); }
QString autonomicRangeText() { return QStringLiteral("(1.0-1.5)"); }

const char* judgementName(Judgement j)
{
    switch (j) {
    case Judgement::Normal: return "normal";
    case Judgement::High: return "high";
    case Judgement::Low: return "low";
    case Judgement::None: return "none";
    }
    return "none";
}

Judgement IndexJudgement(const EnergyAnalysis& a, int key)
{
    const int g = a.gradeEntry(key + 12);
    return g == 0 ? Judgement::Normal : g > 0 ? Judgement::High : Judgement::Low;
}

Judgement MeridianJudgement(const EnergyAnalysis& a, Meridian m)
{
    const int l = a.PointMark[size_t(leftPointOf(m) - 1)];
    const int r = a.PointMark[size_t(rightPointOf(m) - 1)];
    if (l > 0 && r > 0) return Judgement::High;
    if (l < 0 && r < 0) return Judgement::Low;
    if (l == 0 && r == 0) return Judgement::Normal;
    return Judgement::None;
}

bool bodyEnergyWarning(const EnergyAnalysis& a) { return IndexJudgement(a, 13) == Judgement::Low && a.BodyGrade == -3; }

QString bodyEnergyWarningText() { return u("【您的體能過度低落，請特別留意身體機能及經絡的異常狀態】"); }

QString pairLabel(int pair)
{
    static const char* const labels[6] = {"金", "相火", "君火", "土", "木", "水"};
    return u(labels[std::clamp(pair, 1, 6) - 1]);
}

std::array<Meridian, 2> pairMeridians(int pair)
{
    switch (pair) {
    case 1: return {Meridian::Lung, Meridian::LargeIntestine};
    case 2: return {Meridian::Pericardium, Meridian::Sanjiao};
    case 3: return {Meridian::Heart, Meridian::SmallIntestine};
    case 4: return {Meridian::Spleen, Meridian::Stomach};
    case 5: return {Meridian::Liver, Meridian::GallBladder};
    default: return {Meridian::Kidney, Meridian::Bladder};
    }
}

} // namespace lumo
