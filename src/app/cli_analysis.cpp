// lumo-cli commands of the analysis engine: analyse, chart, match, decipher, encipher.
#include "app/cli.h"

#include "analysis/charts.h"
#include "analysis/imagefile.h"
#include "base/formats.h"
#include "base/json.h"
#include "knowledge/decipher.h"
#include "records/programfile.h"
#include "treatment/matching.h"

#include <QFileInfo>
#include <random>

namespace lumo {
namespace {

struct Measurement
{
    std::array<double, 24> readings{};
    bool male = true;
    QStringList rest; // arguments that were not values or --female
};

// Reads "--female" and the 24 values (stored readings, before compensation).
bool readValues(CliContext& c, const QStringList& args, Measurement& m, const QStringList& optionsWithValue = {})
{
    QList<double> values;
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args.at(i);
        if (a == QLatin1String("--female")) {
            m.male = false;
        } else if (optionsWithValue.contains(a)) {
            if (i + 1 >= args.size()) {
                *c.err << a << " needs a value" << Qt::endl;
                return false;
            }
            m.rest << a << args.at(++i);
        } else {
            // Infinities and NaN are numbers here; the analysis refuses them with
            // the same message as any other value out of range.
            bool ok = false;
            const double v = a.toDouble(&ok);
            if (!ok) {
                *c.err << "not a number: " << a << Qt::endl;
                return false;
            }
            values << v;
        }
    }
    if (values.size() != 24) {
        *c.err << "expected 24 values, got " << values.size() << Qt::endl;
        return false;
    }
    for (int i = 0; i < 24; ++i) m.readings[size_t(i)] = values.at(i);
    return true;
}

std::optional<EnergyAnalysis> analyse(CliContext& c, const Measurement& m)
{
    EnergySet e;
    e.Readings = m.readings;
    QString error;
    auto a = ComputeEnergyAnalysis(e, defaultCompensationTable(), m.male, &error);
    if (!a) *c.err << error << Qt::endl;
    return a;
}

QString option(const QStringList& rest, const QString& name)
{
    const int i = int(rest.indexOf(name));
    return i >= 0 && i + 1 < rest.size() ? rest.at(i + 1) : QString();
}

void writeElements(JsonWriter& w, const auto& values)
{
    static const char* names[] = {"Wood", "Fire", "Earth", "Metal", "Water"};
    w.beginObject();
    for (int i = 0; i < 5; ++i) w.key(QLatin1String(names[i])).value(values[size_t(i)]);
    w.endObject();
}

} // namespace

int cmdAnalyse(CliContext& c)
{
    Measurement m;
    if (!readValues(c, c.args.mid(1), m)) return 2;
    auto result = analyse(c, m);
    if (!result) return 2;
    const EnergyAnalysis& a = *result;
    JsonWriter w;
    w.beginObject();
    w.key(QStringLiteral("Compensated")).numbers(a.Values);
    w.key(QStringLiteral("GroupSum")).numbers(a.GroupSum);
    const std::pair<const char*, double> scalars[] = {
        {"BodyEnergy", a.BodyEnergy},   {"YinTotal", a.YinTotal},         {"YangTotal", a.YangTotal},
        {"UpperTotal", a.UpperTotal},   {"LowerTotal", a.LowerTotal},     {"LeftTotal", a.LeftTotal},
        {"RightTotal", a.RightTotal},   {"GroupMax", a.GroupMax},         {"GroupMin", a.GroupMin},
        {"YinYangRatio", a.YinYangRatio}, {"UpperLowerRatio", a.UpperLowerRatio}, {"LeftRightRatio", a.LeftRightRatio},
        {"AutonomicRatio", a.AutonomicRatio}};
    for (const auto& [k, v] : scalars) w.key(QLatin1String(k)).value(v);
    w.key(QStringLiteral("PhysiologicalBand")).beginObject();
    w.key(QStringLiteral("BandFactor")).value(a.band.BandFactor);
    w.key(QStringLiteral("UpperInnerLimit")).value(a.band.UpperInnerLimit);
    w.key(QStringLiteral("UpperOuterLimit")).value(a.band.UpperOuterLimit);
    w.key(QStringLiteral("LowerInnerLimit")).value(a.band.LowerInnerLimit);
    w.key(QStringLiteral("LowerOuterLimit")).value(a.band.LowerOuterLimit);
    w.endObject();
    w.key(QStringLiteral("Deviation")).numbers(a.Deviation);
    w.key(QStringLiteral("PointMark")).beginArray();
    for (int v : a.PointMark) w.value(v);
    w.endArray();
    w.key(QStringLiteral("ElementMean"));
    writeElements(w, a.ElementMean);
    w.key(QStringLiteral("ElementMark"));
    writeElements(w, a.ElementMark);
    w.key(QStringLiteral("MeridianMean")).numbers(a.MeridianMean);
    w.key(QStringLiteral("PairDifference")).numbers(a.PairDifference);
    w.key(QStringLiteral("PairStatus")).beginArray();
    for (int v : a.PairStatus) w.value(v);
    w.endArray();
    w.key(QStringLiteral("BodyGrade")).value(a.BodyGrade);
    w.key(QStringLiteral("UpperLowerGrade")).value(a.UpperLowerGrade);
    w.key(QStringLiteral("LeftRightGrade")).value(a.LeftRightGrade);
    w.key(QStringLiteral("YinYangGrade")).value(a.YinYangGrade);
    w.key(QStringLiteral("AutonomicGrade")).value(a.AutonomicGrade);
    w.key(QStringLiteral("GradeTable")).beginArray();
    for (int v : a.GradeTable) w.value(v);
    w.endArray();
    w.key(QStringLiteral("Texts")).beginObject();
    w.key(QStringLiteral("Body")).value(bodyText(a.BodyGrade));
    w.key(QStringLiteral("UpperLower")).value(upperLowerText(a.UpperLowerGrade));
    w.key(QStringLiteral("LeftRight")).value(leftRightText(a.LeftRightGrade));
    w.key(QStringLiteral("YinYang")).value(yinYangText(a.YinYangGrade));
    w.key(QStringLiteral("Autonomic")).value(autonomicText(a.AutonomicGrade));
    w.endObject();
    w.key(QStringLiteral("Judgements")).beginObject();
    w.key(QStringLiteral("Index")).beginArray();
    for (int k = 13; k <= 17; ++k) w.value(judgementName(IndexJudgement(a, k)));
    w.endArray();
    w.key(QStringLiteral("Meridian")).beginArray();
    for (int m = 0; m < 12; ++m) w.value(judgementName(MeridianJudgement(a, Meridian(m))));
    w.endArray();
    w.endObject();
    w.endObject();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
    return 0;
}

int cmdChart(CliContext& c)
{
    bool ok = false;
    const int chart = c.args.value(1).toInt(&ok);
    if (!ok || !isChartNumber(chart)) {
        *c.err << "chart number must be 1-6, 8 or 9" << Qt::endl;
        return 2;
    }
    Measurement m;
    if (!readValues(c, c.args.mid(2), m, {QStringLiteral("--out"), QStringLiteral("--width"), QStringLiteral("--height")}))
        return 2;
    const QString out = option(m.rest, QStringLiteral("--out"));
    if (out.isEmpty()) {
        *c.err << "--out FILE.png is required" << Qt::endl;
        return 2;
    }
    const int width = option(m.rest, QStringLiteral("--width")).isEmpty() ? 757 : option(m.rest, QStringLiteral("--width")).toInt();
    const int height = option(m.rest, QStringLiteral("--height")).isEmpty() ? 393 : option(m.rest, QStringLiteral("--height")).toInt();
    if (width < 100 || height < 100 || width > 10000 || height > 10000) {
        *c.err << "width and height must be 100..10000" << Qt::endl;
        return 2;
    }
    auto a = analyse(c, m);
    if (!a) return 2;
    if (const Status saved = saveImageAtomically(renderChart(chart, *a, width, height), out); !saved) {
        *c.err << saved.error << Qt::endl;
        return 2;
    }
    *c.out << QFileInfo(out).absoluteFilePath() << Qt::endl;
    return 0;
}

int cmdMatch(CliContext& c)
{
    Measurement m;
    if (!readValues(c, c.args.mid(1), m, {QStringLiteral("--db"), QStringLiteral("--birth"), QStringLiteral("--today")}))
        return 2;
    const QString dbPath = option(m.rest, QStringLiteral("--db"));
    if (dbPath.isEmpty()) {
        *c.err << "--db FILE is required" << Qt::endl;
        return 2;
    }
    QDate today = QDate::currentDate();
    if (!option(m.rest, QStringLiteral("--today")).isEmpty()) {
        today = QDate::fromString(option(m.rest, QStringLiteral("--today")), Qt::ISODate);
        if (!today.isValid()) {
            *c.err << "--today must be YYYY-MM-DD" << Qt::endl;
            return 2;
        }
    }
    double birth = 0;
    if (!option(m.rest, QStringLiteral("--birth")).isEmpty()) {
        const QDate b = QDate::fromString(option(m.rest, QStringLiteral("--birth")), Qt::ISODate);
        if (!b.isValid()) {
            *c.err << "--birth must be YYYY-MM-DD" << Qt::endl;
            return 2;
        }
        birth = dayNumber(b);
    }
    auto a = analyse(c, m);
    if (!a) return 2;
    Status st;
    // Either kind of program file, each checked as what it is.
    auto db = openProgramFile(dbPath, &st);
    if (!db) {
        *c.err << st.error << Qt::endl;
        return 2;
    }
    const QStringList names = MatchPrograms(*db, *a, conditionAge(birth, today), m.male);
    JsonWriter w;
    w.beginArray();
    for (const QString& n : names) w.value(n);
    w.endArray();
    *c.out << QString::fromUtf8(w.text()) << Qt::endl;
    return 0;
}

int cmdDecipher(CliContext& c)
{
    const bool bytes = c.args.contains(QStringLiteral("--bytes"));
    QStringList rest = c.args.mid(1);
    rest.removeAll(QStringLiteral("--bytes"));
    if (rest.size() != 1) {
        *c.err << "usage: lumo-cli decipher [--bytes] HEXTEXT" << Qt::endl;
        return 2;
    }
    QString error;
    auto plain = decipherKnowledgeBytes(rest.first(), &error);
    if (!plain) {
        *c.err << error << Qt::endl;
        return 2;
    }
    if (bytes)
        *c.out << QString::fromLatin1(plain->toHex().toUpper()) << Qt::endl;
    else
        *c.out << *DecipherKnowledgeText(rest.first()) << Qt::endl;
    return 0;
}

int cmdEncipher(CliContext& c)
{
    QStringList rest = c.args.mid(1);
    int first = -1;
    const int i = int(rest.indexOf(QStringLiteral("--first")));
    if (i >= 0) {
        bool ok = false;
        first = rest.value(i + 1).toInt(&ok, 16);
        if (!ok || rest.value(i + 1).size() != 2) {
            *c.err << "--first takes two hexadecimal digits" << Qt::endl;
            return 2;
        }
        rest.remove(i, 2);
    }
    if (rest.size() != 1) {
        *c.err << "usage: lumo-cli encipher [--first HH] TEXT" << Qt::endl;
        return 2;
    }
    if (first < 0) first = int(std::random_device{}() % 256);
    QString error;
    auto stored = EncipherKnowledgeText(rest.first(), first, &error);
    if (!stored) {
        *c.err << error << Qt::endl;
        return 2;
    }
    *c.out << *stored << Qt::endl;
    return 0;
}

} // namespace lumo
