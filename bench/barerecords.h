#pragma once
// The records benchmark's baseline: the same reads and writes as the records
// layer, straight on SQLite's C interface with its own connection, so the
// layer's figures can be read against what the file itself costs.

#include "bare.h"

struct sqlite3;
struct sqlite3_stmt;

namespace lumo::bench {

class BareRecords : public Bare
{
public:
    explicit BareRecords(const QString& path);
    ~BareRecords() override;
    BareRecords(const BareRecords&) = delete;
    BareRecords& operator=(const BareRecords&) = delete;
    bool ok() const override { return m_db != nullptr; }

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
    // The filter's full-text query alone (subjectfilter.h), every match stepped through.
    qint64 filterMatches(const char* table, const QString& match);
    // The plain query without the index: the matches counted and the first
    // 100 of them in name order, each row's five fields tested with LIKE.
    qint64 filterByScan(const QString& text);

private:
    sqlite3_stmt* prepare(const QByteArray& sql);
    bool exec(const char* sql);
    sqlite3* m_db = nullptr;
};

} // namespace lumo::bench
