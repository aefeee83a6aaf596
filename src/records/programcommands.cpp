#include "records/programcommands.h"

#include "base/visibletext.h"
#include "records/sqlitesource.h"
#include "records/tablemapping.h"

#include <QSqlQuery>

namespace lumo {

Status listProgramCommands(LegacyCursor& rows, QVector<ProgramCommand>* commands)
{
    const int no = rows.columnIndex(QStringLiteral("ProNo"));
    const int name = rows.columnIndex(QStringLiteral("ProName"));
    int program[4], parameter[4];
    for (int i = 0; i < 4; ++i) {
        program[i] = rows.columnIndex(QStringLiteral("ProPrg%1").arg(i + 1));
        parameter[i] = rows.columnIndex(QStringLiteral("ProParm%1").arg(i + 1));
    }
    auto text = [](const LegacyRow& row, int column) {
        return column < 0 ? QString() : row.value(column).toString();
    };
    LegacyRow row;
    while (rows.next(&row)) {
        for (int i = 0; i < 4; ++i) {
            ProgramCommand c{text(row, no), text(row, name), i + 1, text(row, program[i]),
                             text(row, parameter[i])};
            // The launcher trims both; what is blank starts nothing.
            if (c.program.trimmed().isEmpty() && c.parameter.trimmed().isEmpty()) continue;
            commands->append(c);
        }
    }
    return rows.error();
}

Status listProgramCommands(Database& db, QVector<ProgramCommand>* commands)
{
    Status st;
    auto rows = queryCursor(db, QStringLiteral("SELECT * FROM ZUPRO ORDER BY MKEY"), &st);
    if (!rows) return st;
    return listProgramCommands(*rows, commands);
}

QString describeCommand(const ProgramCommand& c)
{
    return QString::fromUtf8("%1 %2，按鈕 %3：%4 %5")
        .arg(visibleText(c.proNo), visibleText(c.proName), QString::number(c.button), visibleText(c.program),
             visibleText(c.parameter));
}

QStringList describeCommands(const QVector<ProgramCommand>& commands)
{
    QStringList lines;
    for (const ProgramCommand& c : commands)
        lines << describeCommand(c);
    return lines;
}

bool isButtonField(const QString& field)
{
    return isCommandField(field) || field.compare(QLatin1String("ProFN"), Qt::CaseInsensitive) == 0 ||
           field.startsWith(QLatin1String("ProScrp"), Qt::CaseInsensitive);
}

Status clearProgramButtons(Database& db)
{
    QStringList sets;
    for (const MappedField& f : mappedFields(QStringLiteral("ZUPRO")))
        if (isButtonField(f.name)) sets << f.name + QStringLiteral(" = ''");
    QSqlQuery q(db.sql());
    if (!q.exec(QStringLiteral("UPDATE ZUPRO SET %1").arg(sets.join(QStringLiteral(", ")))))
        return Status::failure(QStringLiteral("%1: %2").arg(db.path(), sqlError(q)));
    return Status::success();
}

} // namespace lumo
