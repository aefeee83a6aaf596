#pragma once
// The conditions under which a measurement was taken. Skin conductance moves
// with the time of day, rest, meals, exercise, the room and the skin's
// preparation; two measurements taken under different conditions differ for
// those reasons too, and the comparisons say so.

#include "base/status.h"

#include <QString>
#include <QStringList>
#include <optional>

namespace lumo {

struct MeasurementConditions
{
    std::optional<double> restMinutes;     // rest before measuring
    std::optional<double> mealHours;       // since the last meal
    std::optional<int> exercise;           // today: 1 none, 2 light, 3 hard
    std::optional<double> roomTemperature; // °C
    std::optional<double> humidity;        // relative, %
    std::optional<int> skinPreparation;    // 1 dry, 2 wiped, 3 moistened
    QString note;                          // the operator's
    // A repeat taken the same way as an earlier measurement: the MKEY of the
    // first measurement of its repeat session (0: no repeat). Not an answer:
    // isEmpty() and the warnings leave it out, and it is never remembered.
    qint64 repeatOf = 0;
    bool isEmpty() const;
    bool operator==(const MeasurementConditions&) const = default;
};

// One condition given as NAME=VALUE (the command line): NAME is the screen's
// label without its colon (休息, 距上餐, 今日運動, 室溫, 濕度, 皮膚處理, 備註)
// or the key of the remembered answers (rest_minutes, meal_hours, exercise,
// room_temperature, humidity, skin, note); a choice by its text or 1..3. A
// value out of range or an unknown name is refused with the reason.
Status parseConditionAssignment(const QString& text, MeasurementConditions& c);

QStringList exerciseChoices(); // "無", "輕度", "激烈" (values 1..3)
QStringList skinChoices();     // "乾燥", "擦拭", "濕潤" (values 1..3)

// An answer as stored: out-of-range numbers and choices are no answer, so a
// damaged or foreign row never shows a value that was not given.
MeasurementConditions sanitizedConditions(MeasurementConditions c);

// "測量條件：時段 09:30、休息 10 分鐘、距上餐 2 小時、運動 無、室溫 24 °C、濕度 55 %、皮膚 擦拭";
// the time of day comes from the measurement's date-time (day number, 0 for none).
QString conditionsText(const MeasurementConditions& c, double takenAt);
// "備註：..." or empty.
QString conditionsNoteText(const MeasurementConditions& c);

// What may explain a difference between two measurements beside a real
// change: times of day more than 3 hours apart ("兩次量測時段相差 5 小時，
// 數值差異可能來自時段"), and answered conditions that differ.
QStringList conditionWarnings(const MeasurementConditions& a, double takenA, const MeasurementConditions& b,
                              double takenB);
constexpr double TimeOfDayWarningHours = 3;

} // namespace lumo

namespace lumo {

// The last answers, kept in the data directory for the next save (the note
// is about one measurement and is not kept). A damaged file reads as none.
QString lastConditionsFile(const QString& dataDirectory); // "LumoConditions.json"
MeasurementConditions readLastConditions(const QString& dataDirectory);
Status writeLastConditions(const QString& dataDirectory, const MeasurementConditions& c);

} // namespace lumo
