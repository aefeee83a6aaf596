#pragma once
// The analysis of one measurement: body energy, group sums and ratios, the
// physiological band with the marks of points, elements and pairs, and the
// graded verdicts with their texts. Plain computation, no widgets.

#include "base/status.h"
#include "measurement/catalogue.h"

#include <QString>
#include <array>
#include <optional>

namespace lumo {

enum class Element { Wood, Fire, Earth, Metal, Water };
constexpr int ElementCount = 5;

struct PhysiologicalBand
{
    double BandFactor = 0;
    double UpperInnerLimit = 0;
    double UpperOuterLimit = 0;
    double LowerInnerLimit = 0;
    double LowerOuterLimit = 0;
};

PhysiologicalBand bandOf(double bodyEnergy);
// -2..+2; a value exactly on a limit takes the milder mark.
int BandMark(double deviation, const PhysiologicalBand& band);

struct EnergyAnalysis
{
    std::array<double, 24> Values{};    // E1..E24, compensated
    bool male = true;
    std::array<double, 8> GroupSum{};   // G1..G8
    double BodyEnergy = 0;
    double YinTotal = 0, YangTotal = 0;
    double UpperTotal = 0, LowerTotal = 0;
    double LeftTotal = 0, RightTotal = 0;
    double GroupMax = 0, GroupMin = 0;
    double YinYangRatio = 0, UpperLowerRatio = 0, LeftRightRatio = 0, AutonomicRatio = 0;
    PhysiologicalBand band;
    std::array<double, 24> Deviation{};
    std::array<int, 24> PointMark{};
    std::array<double, ElementCount> ElementMean{};
    std::array<int, ElementCount> ElementMark{};
    std::array<double, 12> MeridianMean{};
    std::array<double, 6> PairDifference{};
    std::array<int, 6> PairStatus{};
    int BodyGrade = 0, UpperLowerGrade = 0, LeftRightGrade = 0, YinYangGrade = 0, AutonomicGrade = 0;
    std::array<int, 35> GradeTable{}; // 1-based in the texts: GradeTable[k - 1]

    int gradeEntry(int k) const { return GradeTable[size_t(k - 1)]; }
};

// Every reading valid (isValidReading, from the catalogue); otherwise the message
// (in the interface's language) names the first point that is not.
Status checkReadings(const std::array<double, 24>& readings);

// "無法分析": what the screen and the report show instead of verdicts for a
// measurement the analysis refuses.
QString unanalysableText();

// Refuses readings outside 0..MaxReading (checkReadings) and a measurement
// without a denominator (no body energy, or no yang, lower or right values):
// there is no analysis of it. The message is in the interface's language.
std::optional<EnergyAnalysis> ComputeEnergyAnalysis(const EnergySet& energy, const CompensationTable& table,
                                                    bool male, QString* error = nullptr);
// From values already compensated; refuses values that are not finite or are
// negative, and a measurement without a denominator.
std::optional<EnergyAnalysis> analyseCompensated(const std::array<double, 24>& values, bool male,
                                                 QString* error = nullptr);

// Seven-step grades -3..+3 (a value on a bound takes the higher grade) and the
// four-step autonomic grade 0..3 (a value on a bound takes the lower grade).
int bodyGrade(double bodyEnergy, bool male);
int upperLowerGrade(double ratio, bool male);
int leftRightGrade(double ratio);
int yinYangGrade(double ratio);
int autonomicGrade(double ratio);
int pairStatus(double difference, const PhysiologicalBand& band);

enum class TextStyle { Screen, Print };
QString bodyText(int grade, TextStyle style = TextStyle::Screen);
QString upperLowerText(int grade, TextStyle style = TextStyle::Screen);
QString leftRightText(int grade, TextStyle style = TextStyle::Screen);
QString yinYangText(int grade, TextStyle style = TextStyle::Screen);
QString autonomicText(int grade);
QString pairStatusText(int status, TextStyle style = TextStyle::Screen);
QString bodyRangeText(bool male);        // "(28 - 59)" / "(26 - 58)"
QString upperLowerRangeText(bool male);  // "(0.88-1.15)" / "(0.78-1.05)"
QString leftRightRangeText();            // "(0.8-1.1)"
QString yinYangRangeText();              // "(0.8-1.1)"
QString autonomicRangeText();            // "(1.0-1.5)"

enum class Judgement { Normal, High, Low, None };
const char* judgementName(Judgement j); // "normal", "high", "low", "none"
// Keys 13..17: body energy, mental state, musculoskeletal, metabolism, autonomic.
Judgement IndexJudgement(const EnergyAnalysis& a, int key);
// High when both sides are marked up, low when both are down; normal when both
// are unmarked; none otherwise (one side only, or opposite directions).
Judgement MeridianJudgement(const EnergyAnalysis& a, Meridian m);
// The body-energy entry is low and graded -3.
bool bodyEnergyWarning(const EnergyAnalysis& a);
QString bodyEnergyWarningText();

// The element labels of the pairs in pair order: 金, 相火, 君火, 土, 木, 水.
QString pairLabel(int pair);
std::array<Meridian, 2> pairMeridians(int pair); // pair 1..6

} // namespace lumo
