#include "shell/recentsubjects.h"

#include "base/atomicfile.h"

#include <QDir>
#include <QFile>

namespace lumo {
namespace {

const char* const kFileName = "LumoRecent.txt";
// Ten numbers of at most 15 characters; a larger file is not this program's.
constexpr qint64 kReadLimit = 4096;

} // namespace

QStringList readRecentSubjects(const QString& dataDirectory)
{
    QFile f(QDir(dataDirectory).filePath(QLatin1String(kFileName)));
    if (!f.open(QIODevice::ReadOnly)) return {};
    QStringList numbers;
    for (const QString& line : QString::fromUtf8(f.read(kReadLimit)).split(QLatin1Char('\n')))
        numbers << line.trimmed();
    // Built through the same rule as a note, so a file edited by hand cannot
    // hold duplicates, blanks or more than the count.
    QStringList kept;
    for (auto it = numbers.crbegin(); it != numbers.crend(); ++it)
        kept = withRecentSubject(kept, *it);
    return kept;
}

QStringList withRecentSubject(const QStringList& numbers, const QString& custNo)
{
    const QString n = custNo.trimmed();
    if (n.isEmpty()) return numbers.mid(0, RecentSubjectCount);
    QStringList out = {n};
    for (const QString& other : numbers)
        if (other.compare(n, Qt::CaseInsensitive) != 0 && out.size() < RecentSubjectCount) out << other;
    return out;
}

Status noteRecentSubject(const QString& dataDirectory, const QString& custNo)
{
    const QStringList numbers = withRecentSubject(readRecentSubjects(dataDirectory), custNo);
    return writeFileAtomically(QDir(dataDirectory).filePath(QLatin1String(kFileName)),
                               numbers.join(QLatin1Char('\n')).toUtf8());
}

} // namespace lumo
