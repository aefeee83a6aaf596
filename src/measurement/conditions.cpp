#include "measurement/conditions.h"

#include "base/atomicfile.h"
#include "base/formats.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QString number(double v)
{
    // Whole numbers without a fraction, others with one decimal.
    return v == std::round(v) ? QString::number(qint64(v)) : QString::number(v, 'f', 1);
}

QString choice(const QStringList& names, const std::optional<int>& v)
{
    return v ? names.value(*v - 1) : QString();
}

// Minutes since midnight of a day number's time, or -1 without one.
double minutesOfDay(double takenAt)
{
    if (takenAt == 0) return -1;
    // To the second: a day number's fraction carries rounding noise.
    const double fraction = takenAt - std::floor(takenAt);
    return std::round(fraction * 86400) / 60;
}

template <typename T> std::optional<T> within(const std::optional<T>& v, double low, double high)
{
    if (!v || !std::isfinite(double(*v)) || *v < low || *v > high) return std::nullopt;
    return v;
}

// Numbers that differ by more than this are different conditions.
struct NumberRule
{
    std::optional<double> MeasurementConditions::*field;
    const char* name;
    const char* unit;
    double tolerance;
};
constexpr NumberRule kNumbers[] = {
    {&MeasurementConditions::restMinutes, "休息", " 分鐘", 10},
    {&MeasurementConditions::mealHours, "距上餐", " 小時", 2},
    {&MeasurementConditions::roomTemperature, "室溫", " °C", 3},
    {&MeasurementConditions::humidity, "濕度", " %", 15},
};

} // namespace

bool MeasurementConditions::isEmpty() const
{
    return !restMinutes && !mealHours && !exercise && !roomTemperature && !humidity && !skinPreparation &&
           note.trimmed().isEmpty();
}

Status parseConditionAssignment(const QString& text, MeasurementConditions& c)
{
    const qsizetype eq = text.indexOf(QLatin1Char('='));
    const QString name = text.left(eq).trimmed(), value = text.mid(eq + 1).trimmed();
    if (eq <= 0) return Status::failure(u("%1：條件要寫成 名稱=值").arg(text));
    auto is = [&](const char* label, const char* key) {
        return name == u(label) || name == QLatin1String(key);
    };
    if (is("備註", "note")) {
        c.note = value.left(200);
        return Status::success();
    }
    auto refused = [&] { return Status::failure(u("%1：%2 不是可用的值").arg(name, value)); };
    auto pick = [&](const QStringList& names, std::optional<int>& out) {
        bool ok = false;
        const int n = names.contains(value) ? int(names.indexOf(value)) + 1 : value.toInt(&ok);
        if (n < 1 || n > 3 || (!ok && !names.contains(value))) return refused();
        out = n;
        return Status::success();
    };
    if (is("今日運動", "exercise")) return pick(exerciseChoices(), c.exercise);
    if (is("皮膚處理", "skin")) return pick(skinChoices(), c.skinPreparation);
    struct Number
    {
        const char* label;
        const char* key;
        std::optional<double> MeasurementConditions::*field;
        double low, high;
    };
    // The ranges of the save screen's fields.
    const Number numbers[] = {{"休息", "rest_minutes", &MeasurementConditions::restMinutes, 0, 240},
                              {"距上餐", "meal_hours", &MeasurementConditions::mealHours, 0, 72},
                              {"室溫", "room_temperature", &MeasurementConditions::roomTemperature, 0, 45},
                              {"濕度", "humidity", &MeasurementConditions::humidity, 0, 100}};
    for (const Number& n : numbers) {
        if (!is(n.label, n.key)) continue;
        bool ok = false;
        const double v = value.toDouble(&ok);
        if (!ok || !std::isfinite(v) || v < n.low || v > n.high) return refused();
        c.*n.field = v;
        return Status::success();
    }
    return Status::failure(
        u("%1：沒有這個量測條件（休息、距上餐、今日運動、室溫、濕度、皮膚處理、備註）").arg(name));
}

QStringList exerciseChoices()
{
    return {u("無"), u("輕度"), u("激烈")};
}

QStringList skinChoices()
{
    return {u("乾燥"), u("擦拭"), u("濕潤")};
}

MeasurementConditions sanitizedConditions(MeasurementConditions c)
{
    c.restMinutes = within(c.restMinutes, 0, 24 * 60);
    c.mealHours = within(c.mealHours, 0, 72);
    c.exercise = within(c.exercise, 1, 3);
    c.roomTemperature = within(c.roomTemperature, -20, 50);
    c.humidity = within(c.humidity, 0, 100);
    c.skinPreparation = within(c.skinPreparation, 1, 3);
    c.note = c.note.left(200);
    return c;
}

QString conditionsText(const MeasurementConditions& c, double takenAt)
{
    QStringList parts;
    const double minutes = minutesOfDay(takenAt);
    if (minutes >= 0)
        parts << u("時段 ") + QStringLiteral("%1:%2")
                                  .arg(int(minutes) / 60, 2, 10, QLatin1Char('0'))
                                  .arg(int(minutes) % 60, 2, 10, QLatin1Char('0'));
    for (const NumberRule& r : kNumbers)
        if (const auto& v = c.*r.field) parts << u(r.name) + QLatin1Char(' ') + number(*v) + u(r.unit);
    if (c.exercise) parts << u("運動 ") + choice(exerciseChoices(), c.exercise);
    if (c.skinPreparation) parts << u("皮膚 ") + choice(skinChoices(), c.skinPreparation);
    return u("測量條件：") + (parts.isEmpty() ? u("未記錄") : parts.join(u("、")));
}

QString conditionsNoteText(const MeasurementConditions& c)
{
    const QString note = c.note.simplified();
    return note.isEmpty() ? QString() : u("備註：") + note;
}

QStringList conditionWarnings(const MeasurementConditions& a, double takenA, const MeasurementConditions& b,
                              double takenB)
{
    QStringList warnings;
    const double ma = minutesOfDay(takenA), mb = minutesOfDay(takenB);
    if (ma >= 0 && mb >= 0) {
        const double apart = std::fabs(ma - mb);
        const double hours = std::min(apart, 24 * 60 - apart) / 60; // 23:00 and 01:00 are 2 hours apart
        if (hours > TimeOfDayWarningHours)
            warnings << u("兩次量測時段相差 %1 小時，數值差異可能來自時段").arg(int(std::lround(hours)));
    }
    QStringList differ;
    for (const NumberRule& r : kNumbers) {
        const auto &x = a.*r.field, &y = b.*r.field;
        if (x && y && std::fabs(*x - *y) > r.tolerance)
            differ << u("%1（%2／%3%4）").arg(u(r.name), number(*x), number(*y), u(r.unit));
    }
    if (a.exercise && b.exercise && *a.exercise != *b.exercise)
        differ << u("運動（%1／%2）")
                      .arg(choice(exerciseChoices(), a.exercise), choice(exerciseChoices(), b.exercise));
    if (a.skinPreparation && b.skinPreparation && *a.skinPreparation != *b.skinPreparation)
        differ << u("皮膚（%1／%2）")
                      .arg(choice(skinChoices(), a.skinPreparation),
                           choice(skinChoices(), b.skinPreparation));
    if (!differ.isEmpty())
        warnings << u("兩次量測條件不同：%1，數值差異可能來自量測條件").arg(differ.join(u("、")));
    return warnings;
}

} // namespace lumo

namespace lumo {
namespace {

constexpr qint64 MaxConditionsFileBytes = 16 * 1024;

template <typename T> void put(QJsonObject& o, const char* key, const std::optional<T>& v)
{
    if (v) o.insert(QLatin1String(key), double(*v));
}

std::optional<double> number(const QJsonObject& o, const char* key)
{
    const QJsonValue v = o.value(QLatin1String(key));
    return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

} // namespace

QString lastConditionsFile(const QString& dataDirectory)
{
    return QDir(dataDirectory).filePath(QStringLiteral("LumoConditions.json"));
}

MeasurementConditions readLastConditions(const QString& dataDirectory)
{
    QFile f(lastConditionsFile(dataDirectory));
    if (!f.open(QIODevice::ReadOnly)) return {};
    const QJsonObject o = QJsonDocument::fromJson(f.read(MaxConditionsFileBytes)).object();
    MeasurementConditions c;
    c.restMinutes = number(o, "rest_minutes");
    c.mealHours = number(o, "meal_hours");
    if (auto v = number(o, "exercise")) c.exercise = int(*v);
    c.roomTemperature = number(o, "room_temperature");
    c.humidity = number(o, "humidity");
    if (auto v = number(o, "skin")) c.skinPreparation = int(*v);
    return sanitizedConditions(c);
}

Status writeLastConditions(const QString& dataDirectory, const MeasurementConditions& given)
{
    const MeasurementConditions c = sanitizedConditions(given);
    QJsonObject o;
    put(o, "rest_minutes", c.restMinutes);
    put(o, "meal_hours", c.mealHours);
    put(o, "exercise", c.exercise);
    put(o, "room_temperature", c.roomTemperature);
    put(o, "humidity", c.humidity);
    put(o, "skin", c.skinPreparation);
    return writeFileAtomically(lastConditionsFile(dataDirectory), QJsonDocument(o).toJson());
}

} // namespace lumo
