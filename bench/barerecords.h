#pragma once
// The records benchmark's baseline: the same reads and writes as the records
// layer, straight on SQLite's C interface with its own connection, so the
// layer's figures can be read against what the file itself costs.

#include <QString>
#include <QVariant>
#include <QVector>

struct sqlite3;
struct sqlite3_stmt;

namespace lumo::bench {

class BareRecords
{
public:
    explicit BareRecords(const QString& path);
    ~BareRecords();
    BareRecords(const BareRecords&) = delete;
    BareRecords& operator=(const BareRecords&) = delete;
    bool ok() const { return m_db != nullptr; }

    qint64 countSubjects();
    // Whole rows along the order (column, MKEY) after the anchor, or from the start.
    // The last row's sort value and key land in last and lastKey when given.
    int readRows(const char* column, bool descending, const QVariant* value, qint64 key, int limit,
                 QVariant* last = nullptr, qint64* lastKey = nullptr);
    // Rows before the anchor in the order, counted along the index.
    qint64 countBefore(const char* column, bool descending, const QVariant& value, qint64 key);
    QVariant valueOf(const char* column, qint64 key);
    // The first row in the order whose field begins with the text, by the same
    // choice of index as the layer makes; its sort value and key.
    bool firstWithPrefix(const char* sortColumn, const char* searchColumn, const QString& text,
                         QVariant* value, qint64* key);
    int readMeasurements(const QString& custNo);
    bool appendMeasurement(const QString& custNo);
    bool removeSubject(qint64 key);
    qint64 countMeasurements();
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
