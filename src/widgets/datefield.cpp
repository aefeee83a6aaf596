#include "widgets/datefield.h"

#include "base/formats.h"

#include <QKeyEvent>
#include <QRegularExpressionValidator>

namespace lumo {
namespace {

// A field that is full would refuse every further digit; the digit replaces
// the one at the cursor instead, the way a printed form is corrected.
bool overwriteDigit(QLineEdit& field, QKeyEvent* event)
{
    const QString typed = event->text();
    if (typed.size() != 1 || !typed.at(0).isDigit() || field.hasSelectedText()) return false;
    if (field.text().size() < field.maxLength()) return false;
    QString text = field.text();
    int at = field.cursorPosition();
    while (at < text.size() && !text.at(at).isDigit())
        ++at;
    if (at >= text.size()) return true; // at the end of a full field the digit has no place
    text[at] = typed.at(0);
    field.setText(text);
    field.setCursorPosition(at + 1);
    return true;
}

} // namespace

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

void DateField::keyPressEvent(QKeyEvent* event)
{
    if (!overwriteDigit(*this, event)) QLineEdit::keyPressEvent(event);
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

void TimeField::keyPressEvent(QKeyEvent* event)
{
    if (!overwriteDigit(*this, event)) QLineEdit::keyPressEvent(event);
}

} // namespace lumo
