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

// Reached by Tab, Enter or a screen's move, the whole text is selected and the
// first key typed replaces it; a click puts the cursor where it was clicked.
void selectUnlessClicked(QLineEdit& field, QFocusEvent* event)
{
    if (event->reason() != Qt::MouseFocusReason && event->reason() != Qt::PopupFocusReason) field.selectAll();
}

} // namespace

QString refusedDateMessage(const QString& typed)
{
    return QString::fromUtf8("「%1」不是正確的日期，請以 年/月/日 輸入，例如 1980/01/31 或 19800131。")
        .arg(typed);
}

QString refusedTimeMessage(const QString& typed)
{
    return QString::fromUtf8("「%1」不是正確的時間，請以 時:分:秒 輸入，例如 09:30:00。").arg(typed);
}

DateField::DateField(QWidget* parent) : QLineEdit(parent)
{
    // Digits and the separators the short date is written with, nothing else.
    setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9/.\\-]{0,10}")), this));
    setPlaceholderText(QStringLiteral("yyyy/mm/dd"));
    setMaxLength(10);
}

void DateField::setDate(const QDate& date)
{
    const bool changed = date != m_date;
    m_date = date;
    setText(date.isValid() ? shortDate(date) : QString());
    if (changed) emit dateChanged(m_date);
}

bool DateField::commit()
{
    const QString t = text().trimmed();
    const QDate typed = parseShortDate(t);
    if (!t.isEmpty() && !typed.isValid()) {
        emit refused(t);
        return false;
    }
    setDate(typed.isValid() ? typed : m_date);
    return true;
}

void DateField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    selectUnlessClicked(*this, event);
}

void DateField::focusOutEvent(QFocusEvent* event)
{
    // A refusal while the screen's own message takes the focus is said once, by the first.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) commit();
    QLineEdit::focusOutEvent(event);
}

void DateField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) commit();
    if (!overwriteDigit(*this, event)) QLineEdit::keyPressEvent(event);
}

TimeField::TimeField(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9:]{0,8}")), this));
    setPlaceholderText(QStringLiteral("hh:mm:ss"));
    setMaxLength(8);
}

void TimeField::setTime(const QTime& time)
{
    m_time = time;
    setText(time.isValid() ? longTime(time) : QString());
}

bool TimeField::commit()
{
    const QString t = text().trimmed();
    const QTime typed = parseLongTime(t);
    if (!t.isEmpty() && !typed.isValid()) {
        emit refused(t);
        return false;
    }
    setTime(typed.isValid() ? typed : m_time);
    return true;
}

void TimeField::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    selectUnlessClicked(*this, event);
}

void TimeField::focusOutEvent(QFocusEvent* event)
{
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) commit();
    QLineEdit::focusOutEvent(event);
}

void TimeField::keyPressEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) commit();
    if (!overwriteDigit(*this, event)) QLineEdit::keyPressEvent(event);
}

} // namespace lumo
