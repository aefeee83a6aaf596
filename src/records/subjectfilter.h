#pragma once
// Which subjects a filter text finds: those whose number, name or any
// telephone contains it, without regard to case, in any script. Read from
// the filter's index (schemafind.cpp): a text of three or more characters as
// a phrase of its runs of three, one of one or two characters from the index
// of pairs. Texts the pair index cannot hold (a short text with a blank or a
// sign that is no telephone punctuation) are looked for row by row. Digits
// also find a telephone that holds them between separators.

#include "records/database.h"

#include <QString>
#include <QVector>
#include <algorithm>
#include <vector>

namespace lumo {

enum class FilterIndex
{
    Trigrams,
    Pairs,
    Rows
};

struct FilterQuery
{
    FilterIndex index;
    QString match; // the full-text query; empty for Rows
};

// The queries that find a text (trimmed; an empty one filters nothing, not
// asked here): the text itself in the number, name and telephones and, for a
// text of digits and telephone separators, its digits in the telephones'
// digits (schemafind.cpp). One query, or two when they need different indexes.
QVector<FilterQuery> filterQueriesFor(const QString& text);

// The digits a text of digits and telephone separators between them stands
// for ("2345-6789" gives "23456789"); empty for any other text, and for one
// that begins or ends with a separator (that sign is meant as written).
QString filterDigits(const QString& text);
// A telephone without its separators.
QString telephoneDigits(const QString& telephone);

// On the server: the condition on ZUCUST that finds the subjects, its values
// appended to binds (each field tested for the text, letters folded).
QString serverFilterCondition(Database& db, const QString& text, QVariantList* binds);

// Subjects' keys as a bit per key, up to the largest a list holds (keys are
// counted up from 1): 125 kB at 1,000,000 subjects, however many are marked.
class KeyMarks
{
public:
    explicit KeyMarks(qint64 maxKey) : m_bits(size_t(std::max<qint64>(maxKey, 0) / 64 + 1), 0), m_max(maxKey)
    {
    }
    void mark(qint64 key)
    {
        if (key >= 0 && key <= m_max) m_bits[size_t(key / 64)] |= quint64(1) << (key % 64);
    }
    bool has(qint64 key) const
    {
        return key >= 0 && key <= m_max && (m_bits[size_t(key / 64)] >> (key % 64)) & 1;
    }

private:
    std::vector<quint64> m_bits;
    qint64 m_max;
};

// Marks the key of each matching subject; false with the error when the
// file could not be read.
bool subjectsMatching(Database& db, const QString& text, KeyMarks* found, QString* error);

} // namespace lumo
