#include "records/ui/conditionsgroup.h"

#include <QComboBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// One step below the range is "no answer": the spin box shows "—" there.
std::optional<double> answer(const QDoubleSpinBox* box)
{
    return box->value() == box->minimum() ? std::nullopt : std::optional<double>(box->value());
}
void showAnswer(QDoubleSpinBox* box, const std::optional<double>& v)
{
    box->setValue(v ? *v : box->minimum());
}

QComboBox* choices(QWidget* parent, const char* name, const QStringList& items)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->addItem(u("—"));
    c->addItems(items);
    return c;
}

} // namespace

QDoubleSpinBox* ConditionsGroup::number(const char* name, double low, double high, double step, int decimals,
                                        const QString& suffix)
{
    auto* box = new QDoubleSpinBox(this);
    box->setObjectName(QLatin1String(name));
    box->setDecimals(decimals);
    box->setSingleStep(step);
    box->setRange(low - step, high);
    box->setSpecialValueText(u("—"));
    box->setSuffix(suffix);
    box->setValue(box->minimum());
    return box;
}

ConditionsGroup::ConditionsGroup(QWidget* parent) : QGroupBox(u("量測條件（可不填）"), parent)
{
    setObjectName(QStringLiteral("ConditionsGroup"));
    m_rest = number("RestMinutes", 0, 240, 5, 0, u(" 分鐘"));
    m_meal = number("MealHours", 0, 72, 0.5, 1, u(" 小時"));
    m_exercise = choices(this, "Exercise", exerciseChoices());
    m_temperature = number("RoomTemperature", 0, 45, 0.5, 1, u(" °C"));
    m_humidity = number("Humidity", 0, 100, 5, 0, u(" %"));
    m_skin = choices(this, "SkinPreparation", skinChoices());
    m_note = new QLineEdit(this);
    m_note->setObjectName(QStringLiteral("OperatorNote"));
    m_note->setMaxLength(200);
    auto* g = new QGridLayout(this);
    const std::pair<const char*, QWidget*> fields[] = {
        {"休息:", m_rest},        {"距上餐:", m_meal},   {"今日運動:", m_exercise},
        {"室溫:", m_temperature}, {"濕度:", m_humidity}, {"皮膚處理:", m_skin},
    };
    for (int i = 0; i < 6; ++i) {
        auto* label = new QLabel(u(fields[i].first), this);
        label->setBuddy(fields[i].second);
        g->addWidget(label, i / 3, (i % 3) * 2);
        g->addWidget(fields[i].second, i / 3, (i % 3) * 2 + 1);
    }
    auto* noteLabel = new QLabel(u("備註:"), this);
    noteLabel->setBuddy(m_note);
    g->addWidget(noteLabel, 2, 0);
    g->addWidget(m_note, 2, 1, 1, 5);
}

void ConditionsGroup::setConditions(const MeasurementConditions& given)
{
    const MeasurementConditions c = sanitizedConditions(given);
    showAnswer(m_rest, c.restMinutes);
    showAnswer(m_meal, c.mealHours);
    m_exercise->setCurrentIndex(c.exercise.value_or(0));
    showAnswer(m_temperature, c.roomTemperature);
    showAnswer(m_humidity, c.humidity);
    m_skin->setCurrentIndex(c.skinPreparation.value_or(0));
    m_note->setText(c.note);
}

MeasurementConditions ConditionsGroup::conditions() const
{
    MeasurementConditions c;
    c.restMinutes = answer(m_rest);
    c.mealHours = answer(m_meal);
    if (m_exercise->currentIndex() > 0) c.exercise = m_exercise->currentIndex();
    c.roomTemperature = answer(m_temperature);
    c.humidity = answer(m_humidity);
    if (m_skin->currentIndex() > 0) c.skinPreparation = m_skin->currentIndex();
    c.note = m_note->text().trimmed();
    return c;
}

} // namespace lumo
