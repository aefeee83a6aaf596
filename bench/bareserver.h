#pragma once
// The server side of the records benchmark's baseline: the records layer's
// statements for the same screens, through libpq alone on a connection of its
// own, so the layer's figures can be read against what the server and the
// network cost.

#include "bare.h"

typedef struct pg_conn PGconn;
typedef struct pg_result PGresult;

namespace lumo::bench {

class BareServer : public Bare
{
public:
    explicit BareServer(const QString& conninfo);
    ~BareServer() override;
    BareServer(const BareServer&) = delete;
    BareServer& operator=(const BareServer&) = delete;
    bool ok() const override;

    qint64 countSubjects() override;
    int readRows(const char* column, bool descending, const QVariant* value, qint64 key, int limit,
                 QVariant* last = nullptr, qint64* lastKey = nullptr) override;
    qint64 countBefore(const char* column, bool descending, const QVariant& value, qint64 key) override;
    QVariant valueOf(const char* column, qint64 key) override;
    bool firstWithPrefix(const char* sortColumn, const char* searchColumn, const QString& text,
                         QVariant* value, qint64* key) override;
    int readMeasurements(const QString& custNo) override;
    int readSameName(const QString& name) override;
    bool appendMeasurement(const QString& custNo) override;
    bool removeSubject(qint64 key) override;
    qint64 countMeasurements() override;

    // A statement without rows to keep (VACUUM ANALYZE after loading).
    bool exec(const char* sql);

private:
    PGresult* query(const QByteArray& sql, const QVector<QByteArray>& values);
    qint64 number(const QByteArray& sql, const QVector<QByteArray>& values);
    PGconn* m_conn = nullptr;
};

} // namespace lumo::bench
