#include "records/pgvalues.h"

#include <QLocale>
#include <cmath>
#include <libpq-fe.h>

namespace lumo::pg {
namespace {

// The type numbers of the server's catalogue that the schema uses.
constexpr Oid BoolOid = 16;
constexpr Oid ByteaOid = 17;
constexpr Oid Int8Oid = 20;
constexpr Oid Int2Oid = 21;
constexpr Oid Int4Oid = 23;
constexpr Oid OidOid = 26;
constexpr Oid Float4Oid = 700;
constexpr Oid Float8Oid = 701;
constexpr Oid NumericOid = 1700;

} // namespace

QByteArray numberText(double v)
{
    if (std::isnan(v)) return QByteArrayLiteral("NaN");
    if (std::isinf(v)) return v > 0 ? QByteArrayLiteral("Infinity") : QByteArrayLiteral("-Infinity");
    return QByteArray::number(v, 'g', QLocale::FloatingPointShortest);
}

Parameters::Parameters(const QVariantList& binds)
{
    data.reserve(binds.size());
    for (const QVariant& v : binds) {
        int format = 0;
        QByteArray text;
        bool null = v.isNull() || !v.isValid();
        switch (v.typeId()) {
        case QMetaType::Bool:
            text = v.toBool() ? "1" : "0";
            break;
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
            text = QByteArray::number(v.toLongLong());
            break;
        case QMetaType::Double:
            text = numberText(v.toDouble());
            break;
        case QMetaType::QByteArray:
            // A null text or picture is NULL, as Qt's drivers bind it.
            null = null || v.toByteArray().isNull();
            text = v.toByteArray();
            format = 1;
            break;
        case QMetaType::QString:
            null = null || v.toString().isNull();
            text = v.toString().toUtf8();
            break;
        default:
            text = v.toString().toUtf8();
        }
        data.append(null ? QByteArray() : text);
        formats.append(format);
        lengths.append(int(text.size()));
        nulls.append(null);
    }
    // Pointers only once every text lies where it stays.
    for (int i = 0; i < data.size(); ++i)
        values.append(nulls.at(i) ? nullptr : data.at(i).constData());
}

QVariant fieldValue(PGresult* r, int row, int column)
{
    if (PQgetisnull(r, row, column)) return QVariant();
    const char* text = PQgetvalue(r, row, column);
    const int length = PQgetlength(r, row, column);
    switch (PQftype(r, column)) {
    case Int8Oid:
    case Int4Oid:
    case Int2Oid:
    case OidOid:
        return QVariant(QByteArray::fromRawData(text, length).toLongLong());
    case BoolOid:
        return QVariant(qint64(text[0] == 't' ? 1 : 0));
    case Float8Oid:
    case Float4Oid:
    case NumericOid:
        return QVariant(QByteArray::fromRawData(text, length).toDouble());
    case ByteaOid: {
        size_t bytes = 0;
        unsigned char* raw = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &bytes);
        QByteArray b(reinterpret_cast<const char*>(raw), qsizetype(bytes));
        PQfreemem(raw);
        return QVariant(b);
    }
    default:
        return QVariant(QString::fromUtf8(text, length));
    }
}

} // namespace lumo::pg
