#pragma once
// Values between Qt and libpq: bound parameters in libpq's form, and the text
// of a result's field as the QVariant the records layer reads (the same kinds
// SQLite gives: qint64, double, QString, QByteArray or null).

#include <QByteArray>
#include <QVariant>
#include <QVector>

typedef struct pg_result PGresult;

namespace lumo::pg {

struct Parameters
{
    explicit Parameters(const QVariantList& binds);
    int count() const { return int(values.size()); }
    QVector<QByteArray> data;
    QVector<const char*> values; // null for SQL NULL
    QVector<int> lengths;
    QVector<int> formats; // 1: bytes sent as they are (a picture)
    QVector<bool> nulls;
};

// A number in the text libpq and the server read back exactly.
QByteArray numberText(double v);

QVariant fieldValue(PGresult* result, int row, int column);

} // namespace lumo::pg
