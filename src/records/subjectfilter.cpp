#include "records/subjectfilter.h"

#include "records/engine.h"
#include "records/legacysource.h"
#include "records/schema.h"

#include <QByteArray>
#include <cstring>
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

// The matches are handed over inside the query, by an aggregate that sees
// every row, not returned row by row through sqlite3_step: a text nearly
// every subject holds finds a million rows, and a million returns to the
// caller cost as much again as the index itself. The callback travels as a
// bound pointer, so the function keeps no state of its own; it is direct-only,
// so nothing stored in a file (a trigger, a view) can call it.
constexpr const char* kMarkFunction = "lumo_filter_keys";
constexpr const char* kMarkPointer = "lumo_filter_callback";

void markStep(sqlite3_context*, int, sqlite3_value** argv)
{
    if (auto* found = static_cast<KeyMarks*>(sqlite3_value_pointer(argv[1], kMarkPointer)))
        found->mark(sqlite3_value_int64(argv[0]));
}

void markFinal(sqlite3_context* context)
{
    sqlite3_result_null(context);
}

bool prepareMarking(sqlite3* h, const char* sql, sqlite3_stmt** st)
{
    if (sqlite3_prepare_v2(h, sql, -1, st, nullptr) == SQLITE_OK) return true;
    // Registered once per connection, on its first filter: a new name expires
    // none of the connection's prepared statements.
    if (sqlite3_create_function_v2(h, kMarkFunction, 2, SQLITE_UTF8 | SQLITE_DIRECTONLY, nullptr, nullptr,
                                   markStep, markFinal, nullptr) != SQLITE_OK)
        return false;
    return sqlite3_prepare_v2(h, sql, -1, st, nullptr) == SQLITE_OK;
}

bool stepKeys(sqlite3* h, const char* table, const QByteArray& match, KeyMarks* found, QString* error)
{
    const QByteArray sql =
        QByteArray("SELECT ") + kMarkFunction + "(rowid, ?2) FROM " + table + " WHERE " + table + " MATCH ?1";
    sqlite3_stmt* st = nullptr;
    if (!prepareMarking(h, sql.constData(), &st)) {
        *error = QString::fromUtf8(sqlite3_errmsg(h));
        sqlite3_finalize(st);
        return false;
    }
    sqlite3_bind_text(st, 1, match.constData(), int(match.size()), SQLITE_TRANSIENT);
    sqlite3_bind_pointer(st, 2, found, kMarkPointer, nullptr);
    const int rc = sqlite3_step(st);
    sqlite3_finalize(st);
    if (rc == SQLITE_ROW) return true;
    *error = QString::fromUtf8(sqlite3_errmsg(h));
    return false;
}

// Row by row, for the texts no index holds: slow at a large practice, and
// only for one or two characters that are blanks or rare signs.
bool scanRows(sqlite3* h, const QString& text, KeyMarks* found, QString* error)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(h, "SELECT MKEY, CUSTNO, NAME, TEL, TEL2, TEL3 FROM ZUCUST ORDER BY MKEY", -1, &st,
                           nullptr) != SQLITE_OK) {
        *error = QString::fromUtf8(sqlite3_errmsg(h));
        return false;
    }
    const QString digits = filterDigits(text);
    int rc;
    while ((rc = sqlite3_step(st)) == SQLITE_ROW)
        for (int c = 1; c <= 5; ++c) {
            const QString v = QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(st, c)),
                                                sqlite3_column_bytes(st, c));
            if (v.contains(text, Qt::CaseInsensitive) ||
                (c >= 3 && !digits.isEmpty() && telephoneDigits(v).contains(digits))) {
                found->mark(sqlite3_column_int64(st, 0));
                break;
            }
        }
    sqlite3_finalize(st);
    if (rc == SQLITE_DONE) return true;
    *error = QString::fromUtf8(sqlite3_errmsg(h));
    return false;
}

enum class IndexForm
{
    None,
    Earlier, // without the telephones' digits
    Current
};

// A file of an earlier version opened only for reading (a data directory
// that takes no writes) has not been given the index, or not this form of it.
IndexForm indexForm(sqlite3* h)
{
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(
            h,
            "SELECT COUNT(*), SUM(sql LIKE '%DIGITS%') FROM sqlite_master WHERE type = 'table' "
            "AND name IN ('ZUCUST_TRIGRAMS', 'ZUCUST_PAIRS')",
            -1, &st, nullptr) != SQLITE_OK)
        return IndexForm::None;
    IndexForm form = IndexForm::None;
    if (sqlite3_step(st) == SQLITE_ROW && sqlite3_column_int(st, 0) == 2)
        form = sqlite3_column_int(st, 1) == 2 ? IndexForm::Current : IndexForm::Earlier;
    sqlite3_finalize(st);
    return form;
}

bool serverMatching(Database& db, const QString& text, KeyMarks* found, QString* error)
{
    QVariantList binds;
    const QString where = serverFilterCondition(db, text, &binds);
    Status st;
    auto rows = db.engine().cursor(
        QStringLiteral("SELECT MKEY FROM ZUCUST WHERE %1 ORDER BY MKEY").arg(where), binds, &st);
    if (!rows) {
        *error = st.error;
        return false;
    }
    LegacyRow row;
    while (rows->next(&row))
        found->mark(row.value(0).toLongLong());
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
        tests << QStringLiteral("%1 LIKE %2 ESCAPE '\\'")
                     .arg(e.caseless(QLatin1String(field)), e.caselessValue());
        *binds << pattern;
    }
    if (const QString digits = filterDigits(text); !digits.isEmpty())
        for (const char* field : {"TEL", "TEL2", "TEL3"}) {
            tests << QStringLiteral("translate(%1, '%2', '') LIKE ?")
                         .arg(QLatin1String(field), QLatin1String(TelephoneSeparators));
            *binds << QLatin1Char('%') + digits + QLatin1Char('%');
        }
    return QLatin1Char('(') + tests.join(QStringLiteral(" OR ")) + QLatin1Char(')');
}

QString telephoneDigits(const QString& telephone)
{
    QString d = telephone;
    for (const char* c = TelephoneSeparators; *c; ++c)
        d.remove(QLatin1Char(*c));
    return d;
}

QString filterDigits(const QString& text)
{
    const QString t = text.trimmed();
    const auto digit = [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); };
    // A sign typed at either end is meant as written ("-111-", "(0", "+8").
    if (t.isEmpty() || !digit(t.front()) || !digit(t.back())) return {};
    for (const QChar c : t)
        if (!digit(c) && (c.unicode() > 127 || !std::strchr(TelephoneSeparators, c.toLatin1()))) return {};
    return telephoneDigits(t);
}

namespace {

// One text as a query of the index that holds texts of its length; false
// when the pair index cannot hold it.
bool queryOf(const QString& t, bool literal, FilterQuery* q)
{
    const QList<uint> chars = t.toUcs4();
    if (chars.size() >= 3) {
        // The telephones' digits are found by their own query, not as a telephone's text.
        *q = {FilterIndex::Trigrams,
              (literal ? QStringLiteral("{CUSTNO NAME TEL TEL2 TEL3} : ") : QStringLiteral("DIGITS : ")) +
                  quoted(t)};
        return true;
    }
    for (uint c : chars)
        if (!pairIndexKeeps(char32_t(c))) return false;
    // One character: every pair that begins with it, and a field's last
    // character. The pairs of DIGITS are matched too: they hold digits only.
    *q = {FilterIndex::Pairs, chars.size() == 1 ? quoted(t) + QLatin1Char('*') : quoted(t)};
    return true;
}

} // namespace

QVector<FilterQuery> filterQueriesFor(const QString& text)
{
    const QString t = text.trimmed();
    FilterQuery literal;
    if (!queryOf(t, true, &literal)) return {{FilterIndex::Rows, {}}};
    const QString digits = filterDigits(t);
    FilterQuery d;
    if (digits.isEmpty() || !queryOf(digits, false, &d) || d.match == literal.match) return {literal};
    if (d.index == literal.index) return {{literal.index, literal.match + QStringLiteral(" OR ") + d.match}};
    return {literal, d};
}

bool subjectsMatching(Database& db, const QString& text, KeyMarks* found, QString* error)
{
    if (db.engine().kind() != EngineKind::Sqlite) return serverMatching(db, text.trimmed(), found, error);
    sqlite3* h = db.handle();
    if (!h) {
        *error = QStringLiteral("no connection");
        return false;
    }
    const IndexForm form = indexForm(h);
    if (form == IndexForm::None || (form == IndexForm::Earlier && !filterDigits(text).isEmpty()))
        return scanRows(h, text.trimmed(), found, error);
    for (const FilterQuery& q : filterQueriesFor(text)) {
        if (q.index == FilterIndex::Rows) return scanRows(h, text.trimmed(), found, error);
        if (!stepKeys(h, q.index == FilterIndex::Trigrams ? "ZUCUST_TRIGRAMS" : "ZUCUST_PAIRS",
                      q.match.toUtf8(), found, error))
            return false;
    }
    return true;
}

} // namespace lumo
