#pragma once
// The save screen's compact group of a measurement's conditions: rest, meal,
// exercise, room temperature and humidity, skin preparation and a note. Every
// answer is optional; an unanswered field reads "—" and is stored as none.

#include "measurement/conditions.h"

#include <QGroupBox>

class QComboBox;
class QDoubleSpinBox;
class QLineEdit;

namespace lumo {

class ConditionsGroup : public QGroupBox
{
    Q_OBJECT
public:
    explicit ConditionsGroup(QWidget* parent = nullptr);
    void setConditions(const MeasurementConditions& c);
    MeasurementConditions conditions() const;

    QDoubleSpinBox* rest() const { return m_rest; }
    QComboBox* exercise() const { return m_exercise; }
    QLineEdit* note() const { return m_note; }

private:
    QDoubleSpinBox* number(const char* name, double low, double high, double step, int decimals,
                           const QString& suffix);
    QDoubleSpinBox* m_rest;
    QDoubleSpinBox* m_meal;
    QComboBox* m_exercise;
    QDoubleSpinBox* m_temperature;
    QDoubleSpinBox* m_humidity;
    QComboBox* m_skin;
    QLineEdit* m_note;
};

} // namespace lumo
