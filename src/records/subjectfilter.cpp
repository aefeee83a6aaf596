#include "records/subjectfilter.h"

#include "records/engine.h"
#include "records/legacysource.h"

#include <QByteArray>
#include <sqlite3.h>

namespace lumo {
namespace {

// What the pair index's tokenizer keeps inside a word (schemafind.cpp).
bool pairIndexKeeps(char32_t c)
{
    if (QChar::isLetterOrNumber(c)) return true;
    return c < 128 && std::strchr("-+()#*./_@&", int(c)) != nullptr;
}

QString quoted(const QString& text)
{
    QString q = text;
    q.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + q + QLatin1Char('"');
}

bool stepKeys(sqlite3* h, const char* sql, const QByteArray& bind, const std::function<void(qint64)>& found,
              QString* error)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, sql, -1, &st, nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(h));
        return false;
    }
    if (!bind.isNull()) sqlite3_bind_text(st, 1, bind.constData(), int(bind.size()), SQLITE_TRANSIENT);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        found(sqlite3_column_int64(st, 0));
    sqlite3_finalize(st);
    if (rc == SQLITE_DONE) return true;
    *error = QString::fromUtf8(sqlite3_errmsg(h));
    return false;
}

// Row by row, for the texts no index holds: slow at a large practice, and
// only for one or two characters that are blanks or rare signs.
bool scanRows(sqlite3* h, const QString& text, const std::function<void(qint64)>& found, QString* error)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, "SELECT MKEY, CUSTNO, NAME, TEL, TEL2, TEL3 FROM ZUCUST ORDER BY MKEY", -1, &st,
                           nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(h));
        return false;
    }
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        for (int c = 1; c <= 5; ++c) {
            const QString v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                                sqlite3_column_bytes(st, c));
            if (v.contains(text, Qt::CaseInsensitive)) {
                found(sqlite3_column_int64(st, 0));
                break;
            }
        }
    sqlite3_finalize(st);
    if (rc == SQLITE_DONE) return true;
    *error = QString::fromUtf8(sqlite3_errmsg(h));
    return false;
}

// A file of an earlier version opened only for reading (a data directory
// that takes no writes) has not been given the index.
bool hasIndex(sqlite3* h)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(
            h, "SELECT COUNT(*) FROM sqlite_master WHERE name IN ('ZUCUST_TRIGRAMS', 'ZUCUST_PAIRS')", -1,
            &st, nullptr) != SQLITE_OK)
        return false;
    const bool both = sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) == 2;
    sqlite3_finalize(st);
    return both;
}

bool serverMatching(Database& db, const QString& text, const std::function<void(qint64)>& found,
                    QString* error)
{
    QVariantList binds;
    const QString where = serverFilterCondition(db, text, &binds);
    Status st;
    auto rows = db.engine().cursor(QStringLiteral("SELECT MKEY FROM ZUCUST WHERE %1 ORDER BY MKEY").arg(where),
                                   binds, &st);
    if (!rows) {
        *error = st.error;
        return false;
    }
    LegacyRow row;
    while (rows->next(&row))
        found(row.value(0).toLongLong());
    if (const Status end = rows->error(); !end) {
        *error = end.error;
        return false;
    }
    return true;
}

} // namespace

QString serverFilterCondition(Database& db, const QString& text, QVariantList* binds)
{
    QString pattern = text.trimmed();
    for (const char* sign : {"\\", "%", "_"})
        pattern.replace(QLatin1String(sign), QLatin1String("\\") + QLatin1String(sign));
    pattern = QLatin1Char('%') + pattern + QLatin1Char('%');
    const Engine& e = db.engine();
    QStringList tests;
    for (const char* field : {"CUSTNO", "NAME", "TEL", "TEL2", "TEL3"}) {
        tests << QStringLiteral("%1 LIKE %2 ESCAPE '\\'").arg(e.caseless(QLatin1String(field)), e.caselessValue());
        *binds << pattern;
    }
    return QLatin1Char('(') + tests.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

FilterQuery filterQueryFor(const QString& text)
{
    const QString t = text.trimmed();
    const QList<uint> chars = t.toUcs4();
    if (chars.size() >= 3) return {FilterIndex::Trigrams, quoted(t)};
    for (uint c : chars)
        if (!pairIndexKeeps(char32_t(c))) return {FilterIndex::Rows, {}};
    // One character: every pair that begins with it, and a field's last character.
    if (chars.size() == 1) return {FilterIndex::Pairs, quoted(t) + QLatin1Char('*')};
    return {FilterIndex::Pairs, quoted(t)};
}

bool subjectsMatching(Database& db, const QString& text, const std::function<void(qint64)>& found,
                      QString* error)
{
    if (db.engine().kind() != EngineKind::Sqlite) return serverMatching(db, text.trimmed(), found, error);
    sqlite3* h = db.handle();
    if (!h) {
        *error = QStringLiteral("no connection");
        return false;
    }
    const FilterQuery q = filterQueryFor(text);
    if (!hasIndex(h)) return scanRows(h, text.trimmed(), found, error);
    switch (q.index) {
    case FilterIndex::Trigrams:
        return stepKeys(h, "SELECT rowid FROM ZUCUST_TRIGRAMS WHERE ZUCUST_TRIGRAMS MATCH ?1",
                        q.match.toUtf8(), found, error);
    case FilterIndex::Pairs:
        return stepKeys(h, "SELECT rowid FROM ZUCUST_PAIRS WHERE ZUCUST_PAIRS MATCH ?1", q.match.toUtf8(),
                        found, error);
    case FilterIndex::Rows:
        return scanRows(h, text.trimmed(), found, error);
    }
    return false;
}

} // namespace lumo
