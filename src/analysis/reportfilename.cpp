#include "analysis/reportfilename.h"

#include "base/formats.h"
#include "practice/masking.h"

#include <QRegularExpression>

namespace lumo {
namespace {

QString safePart(const QString& text)
{
    static const QRegularExpression unsafe(QStringLiteral("[\\\\/:*?\"<>|\\x00-\\x1f\\x7f\\s]+"));
    QString s = text.trimmed();
    s.replace(unsafe, QStringLiteral("_"));
    // A leading dot would hide the file; a "_" left at either end joins badly.
    while (s.startsWith(QLatin1Char('.')) || s.startsWith(QLatin1Char('_')))
        s.remove(0, 1);
    while (s.endsWith(QLatin1Char('_')))
        s.chop(1);
    return s.left(60);
}

} // namespace

QString proposedPdfName(const QString& number, const QString& name, const QDate& date, const QString& kind,
                        bool masked)
{
    QStringList parts;
    // Under the waiting-room display the file dialog is on the screen too.
    for (const QString& p : {masked ? maskedNumber(number) : number, masked ? maskedName(name) : name})
        if (const QString s = safePart(p); !s.isEmpty()) parts << s;
    if (parts.isEmpty()) parts << QStringLiteral("LUMO");
    if (date.isValid()) parts << date.toString(QStringLiteral("yyyyMMdd"));
    if (const QString k = safePart(kind); !k.isEmpty()) parts << k;
    return parts.join(QLatin1Char('_')) + QStringLiteral(".pdf");
}

QDate reportDate(double takenAt)
{
    return takenAt > 0 ? dateFromDayNumber(takenAt) : QDate::currentDate();
}

} // namespace lumo
