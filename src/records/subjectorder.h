#pragma once
// The subjects in one sort order, read along that order's index (sort value,
// then MKEY): runs of rows after or before a known row, the position of a row,
// the first row whose field begins with a text. None of them reads every key,
// so the lists cost the same at 1,000 subjects and at 1,000,000.

#include "records/subjects.h"

#include <QVariant>
#include <QVector>
#include <optional>

namespace lumo {

// One row of the order: its sort value as stored, the key, and the row itself.
struct OrderedSubject
{
    QVariant value;
    SubjectRow row;
};

class SubjectOrder
{
public:
    SubjectOrder(Database& db, SubjectField field, bool descending)
        : m_db(db), m_field(field), m_descending(descending)
    {
    }

    // Up to limit rows following (forward) or preceding the anchor in this
    // order, nearest first, after passing over skip of them. Without an anchor
    // forward starts at the first row and backward at the last.
    QVector<OrderedSubject> step(const OrderedSubject* anchor, bool forward, qint64 skip, int limit);

    // How many rows come before the row in this order; given the number of
    // rows (total), counted from whichever end is nearer.
    qint64 countBefore(const OrderedSubject& at, qint64 total = -1);
    // The subject with its sort value; none when it is gone.
    std::optional<OrderedSubject> entryOf(qint64 mkey);
    // The first row in this order whose field begins with the text.
    std::optional<OrderedSubject> firstWithPrefix(SubjectField field, const QString& text);
    qint64 count();

private:
    // One run of the order that a single indexed query reads.
    struct Segment
    {
        QString where;
        QVariantList binds;
        bool ascending; // along the index, or against it
    };
    QVector<Segment> segmentsFrom(const OrderedSubject* anchor, bool forward) const;
    QVector<OrderedSubject> read(const Segment& s, qint64 skip, int limit);
    QVector<OrderedSubject> readRows(const QString& sql, const QVariantList& binds);
    qint64 countOf(const QString& where, const QVariantList& binds);
    // The field as the order compares it (the number without regard to case).
    QString expression(SubjectField f) const;
    QString select() const;

    Database& m_db;
    SubjectField m_field;
    bool m_descending;
};

// How many rows a search of another field than the sort field may match
// before walking the sort order's index beats sorting the matches.
constexpr int kFewMatches = 512;

} // namespace lumo
