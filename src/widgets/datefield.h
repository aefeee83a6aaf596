#pragma once
// A date typed as the program shows it ("1975/03/15", or "19750315" without
// separators): the text is read as a whole when the field is left or Enter is
// pressed, so the date is what was typed, not what a section-by-section editor
// made of the keys. Reached by the keyboard the field's text is selected, so
// the first digit typed starts a new date; clicked into, a digit in a full
// field overwrites the one at the cursor (stepping over separators), so a year
// can be corrected by clicking into it and typing. A text that is no date is
// refused, never dropped: the field keeps it for correcting and says so
// through refused(), which the screen turns into its message.

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
    // Reads the typed text: false (and refused()) for a text that is no date,
    // which stays in the field while date() keeps the last date. An empty
    // field shows the last date again.
    bool commit();

signals:
    void dateChanged(const QDate& date);
    void refused(const QString& typed);

protected:
    void focusInEvent(QFocusEvent* event) override;
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
    bool commit(); // as DateField::commit

signals:
    void refused(const QString& typed);

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTime m_time;
};

// The messages for a refused text.
QString refusedDateMessage(const QString& typed);
QString refusedTimeMessage(const QString& typed);

} // namespace lumo
