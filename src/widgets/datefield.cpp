#include "widgets/datefield.h"

#include "base/formats.h"

#include <QRegularExpressionValidator>

namespace lumo {

DateField::DateField(QWidget* parent) : QLineEdit(parent)
{
    // Digits and the separators the short date is written with, nothing else.
    setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9/.\\-]{0,10}")), this));
    setPlaceholderText(QStringLiteral("yyyy/mm/dd"));
    setMaxLength(10);
    connect(this, &QLineEdit::editingFinished, this, &DateField::commit);
}

void DateField::setDate(const QDate& date)
{
    const bool changed = date != m_date;
    m_date = date;
    setText(date.isValid() ? shortDate(date) : QString());
    if (changed) emit dateChanged(m_date);
}

void DateField::commit()
{
    const QDate typed = parseShortDate(text());
    setDate(typed.isValid() ? typed : m_date);
}

void DateField::focusOutEvent(QFocusEvent* event)
{
    commit();
    QLineEdit::focusOutEvent(event);
}

TimeField::TimeField(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9:]{0,8}")), this));
    setPlaceholderText(QStringLiteral("hh:mm:ss"));
    setMaxLength(8);
    connect(this, &QLineEdit::editingFinished, this, &TimeField::commit);
}

void TimeField::setTime(const QTime& time)
{
    m_time = time;
    setText(time.isValid() ? longTime(time) : QString());
}

void TimeField::commit()
{
    const QTime typed = parseLongTime(text());
    setTime(typed.isValid() ? typed : m_time);
}

void TimeField::focusOutEvent(QFocusEvent* event)
{
    commit();
    QLineEdit::focusOutEvent(event);
}

} // namespace lumo
