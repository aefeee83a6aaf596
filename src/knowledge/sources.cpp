#include "knowledge/sources.h"

#include "records/schema.h"

#include <QStringList>

namespace lumo {

QMultiMap<QString, QString> parseSourceFields(const QString& text)
{
    QMultiMap<QString, QString> out;
    QString field;
    QStringList lines;
    auto flush = [&] {
        if (field.isEmpty()) return;
        while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        out.insert(field, lines.join(QLatin1Char('\n')));
    };
    for (const QString& raw : QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")).split(QLatin1Char('\n'))) {
        if (raw.startsWith(QLatin1Char('@'))) {
            flush();
            field = raw.mid(1).trimmed();
            lines.clear();
        } else if (!field.isEmpty()) {
            lines << raw;
        }
    }
    flush();
    return out;
}

std::optional<KnowledgeSource> parseKnowledgeSource(int key, const QString& text, QString* error)
{
    KnowledgeSource k;
    k.key = key;
    const auto fields = parseSourceFields(text);
    for (auto it = fields.begin(); it != fields.end(); ++it) {
        if (!knowledgeTextFields().contains(it.key())) {
            if (error)
                *error = QStringLiteral("entry %1: unknown field %2").arg(QString::number(key), it.key());
            return std::nullopt;
        }
        k.fields.insert(it.key(), it.value());
    }
    return k;
}

std::optional<QString> conditionString(const QString& positions, QString* error)
{
    QString s(24, QLatin1Char('0'));
    for (const QString& part : positions.trimmed().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QStringList pc = part.trimmed().split(QLatin1Char('='));
        bool okP = false, okC = false;
        const int p = pc.value(0).toInt(&okP);
        const int c = pc.value(1).toInt(&okC);
        if (pc.size() != 2 || !okP || !okC || p < 1 || p > 24 || c < 0 || c > 9) {
            if (error) *error = QStringLiteral("bad condition position '%1'").arg(part);
            return std::nullopt;
        }
        s[p - 1] = QChar(u'0' + c);
    }
    return s;
}

std::optional<QString> requiredString(const QString& positions, QString* error)
{
    QString s(24, QLatin1Char('0'));
    for (const QString& part : positions.trimmed().split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int p = part.trimmed().toInt(&ok);
        // Positions 23 and 24 are never marked: an age or sex condition is always required.
        if (!ok || p < 1 || p > 22) {
            if (error) *error = QStringLiteral("bad required position '%1'").arg(part);
            return std::nullopt;
        }
        s[p - 1] = QLatin1Char('1');
    }
    return s;
}

std::optional<ProgramWithConditions> parseProgramSource(const QString& text, QString* error)
{
    const auto fields = parseSourceFields(text);
    ProgramWithConditions p;
    ProgramRow& r = p.program;
    r.ProNo = fields.value(QStringLiteral("ProNo")).trimmed();
    r.ProName = fields.value(QStringLiteral("ProName")).trimmed();
    r.ProData = fields.value(QStringLiteral("ProData"));
    for (int i = 0; i < 3; ++i) r.ProMed[size_t(i)] = fields.value(QStringLiteral("ProMed%1").arg(i + 1));
    for (int i = 0; i < 5; ++i) r.ProHel[size_t(i)] = fields.value(QStringLiteral("ProHel%1").arg(i + 1));
    if (r.ProNo.isEmpty() || r.ProName.isEmpty() || r.ProName.size() > 24 || r.ProNo.size() > 12) {
        if (error) *error = QStringLiteral("a program needs a number (12) and a name (24 characters at most)");
        return std::nullopt;
    }
    const QStringList conds = fields.values(QStringLiteral("Cond"));
    for (auto it = conds.rbegin(); it != conds.rend(); ++it) { // QMultiMap keeps the last inserted first
        const QStringList parts = it->split(QLatin1Char('|'));
        if (parts.size() != 8) {
            if (error) *error = QStringLiteral("%1: a condition has 8 parts: %2").arg(r.ProNo, *it);
            return std::nullopt;
        }
        ConditionRow c;
        c.ProNo = r.ProNo;
        c.ProSubN = parts[0].trimmed();
        c.ProNote = parts[1].trimmed();
        auto cond = conditionString(parts[2], error);
        auto req = requiredString(parts[3], error);
        if (!cond || !req) return std::nullopt;
        c.ProCond = *cond;
        c.ProAnd = *req;
        c.ProFlg = parts[4].trimmed() == QLatin1String("1");
        c.ProAGL = parts[5].trimmed().toInt();
        c.ProAGH = parts[6].trimmed().toInt();
        c.ProEng = parts[7].trimmed().toDouble();
        p.conditions.append(c);
    }
    if (p.conditions.isEmpty()) {
        if (error) *error = QStringLiteral("%1: a program without conditions never matches").arg(r.ProNo);
        return std::nullopt;
    }
    return p;
}

} // namespace lumo
