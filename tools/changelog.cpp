// The Debian changelog from the release notes.
#include "docgen.h"

#include <QDate>
#include <QLocale>
#include <QRegularExpression>

namespace lumo {
namespace {

struct Release
{
    QString version;
    QDate date;
    QStringList items;
};

QString wrapped(const QString& item)
{
    QString out, line = QStringLiteral("  *");
    for (const QString& w : item.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        // Debian's tools read lines of at most 80 columns.
        if (line.size() + 1 + w.size() > 78 && line.size() > 4) {
            out += line + QLatin1Char('\n');
            line = QStringLiteral("   ");
        }
        line += QLatin1Char(' ') + w;
    }
    return out + line + QLatin1Char('\n');
}

} // namespace

Status debianChangelog(const QString& notes, const QString& version, const QString& maintainer,
                       QByteArray* changelog, QDate* released)
{
    static const QRegularExpression heading(QStringLiteral("^## (\\S+) \\((\\d{4}-\\d{2}-\\d{2})\\)\\s*$"));
    QVector<Release> releases;
    for (const QString& l : notes.split(QLatin1Char('\n'))) {
        const QRegularExpressionMatch m = heading.match(l);
        if (m.hasMatch()) {
            releases.append({m.captured(1), QDate::fromString(m.captured(2), Qt::ISODate), {}});
            if (!releases.last().date.isValid())
                return Status::failure(QStringLiteral("release notes: %1 is not a date").arg(m.captured(2)));
        } else if (!releases.isEmpty() && l.startsWith(QLatin1String("- "))) {
            releases.last().items << l.mid(2).trimmed();
        } else if (!releases.isEmpty() && !releases.last().items.isEmpty() &&
                   l.startsWith(QLatin1String("  "))) {
            releases.last().items.last() += QLatin1Char(' ') + l.trimmed();
        }
    }
    if (releases.isEmpty() || releases.first().version != version)
        return Status::failure(
            QStringLiteral("release notes: the newest entry is not version %1").arg(version));
    QString out;
    const QLocale c = QLocale::c();
    for (const Release& r : releases) {
        if (r.items.isEmpty())
            return Status::failure(QStringLiteral("release notes: %1 says nothing").arg(r.version));
        out += QStringLiteral("lumo (%1) unstable; urgency=medium\n\n").arg(r.version);
        for (const QString& item : r.items)
            out += wrapped(item);
        out += QStringLiteral("\n -- %1  %2 00:00:00 +0000\n\n")
                   .arg(maintainer, c.toString(r.date, QStringLiteral("ddd, dd MMM yyyy")));
    }
    out.chop(1);
    *changelog = out.toUtf8();
    *released = releases.first().date;
    return Status::success();
}

} // namespace lumo
