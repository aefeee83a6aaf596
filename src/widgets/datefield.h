#pragma once
// A date typed as the program shows it ("1975/03/15"): the text is read as a
// whole when the field is left or Enter is pressed, so the date is what was
// typed, not what a section-by-section editor made of the keys. In a full
// field a digit overwrites the one at the cursor (stepping over separators),
// so a year can be corrected by clicking into it and typing.

#include <QDate>
#include <QLineEdit>
#include <QTime>

namespace lumo {

class DateField : public QLineEdit
{
    Q_OBJECT
public:
    explicit DateField(QWidget* parent = nullptr);

    QDate date() const { return m_date; }
    void setDate(const QDate& date);
    // Reads the typed text; text that is no date gives the last date back.
    void commit();

signals:
    void dateChanged(const QDate& date);

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QDate m_date;
};

// A time typed as the program shows it ("09:30:00"), read as a whole like DateField.
class TimeField : public QLineEdit
{
    Q_OBJECT
public:
    explicit TimeField(QWidget* parent = nullptr);

    QTime time() const { return m_time; }
    void setTime(const QTime& time);
    void commit();

protected:
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTime m_time;
};

} // namespace lumo
