#pragma once
// What the records benchmark's baseline does, on either engine: the reads and
// writes of the records layer's screens with nothing of the layer in between.

#include <QString>
#include <QVariant>

namespace lumo::bench {

class Bare
{
public:
    virtual ~Bare() = default;
    virtual bool ok() const = 0;
    virtual qint64 countSubjects() = 0;
    // Whole rows along the order (column, MKEY) after the anchor, or from the start.
    // The last row's sort value and key land in last and lastKey when given.
    virtual int readRows(const char* column, bool descending, const QVariant* value, qint64 key, int limit,
                         QVariant* last = nullptr, qint64* lastKey = nullptr) = 0;
    // Rows before the anchor in the order, counted along the index.
    virtual qint64 countBefore(const char* column, bool descending, const QVariant& value, qint64 key) = 0;
    virtual QVariant valueOf(const char* column, qint64 key) = 0;
    // The first row in the order whose field begins with the text, by the same
    // choice of index as the layer makes; its sort value and key.
    virtual bool firstWithPrefix(const char* sortColumn, const char* searchColumn, const QString& text,
                                 QVariant* value, qint64* key) = 0;
    virtual int readMeasurements(const QString& custNo) = 0;
    // Whole subject rows of one name, along the name's index.
    virtual int readSameName(const QString& name) = 0;
    virtual bool appendMeasurement(const QString& custNo) = 0;
    virtual bool removeSubject(qint64 key) = 0;
    virtual qint64 countMeasurements() = 0;
};

} // namespace lumo::bench
