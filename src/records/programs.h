#pragma once
// Treatment programs (ZUPRO) and their conditions (ZUPRDT), in either the main
// or the master program database.

#include "records/database.h"
#include "records/rows.h"

#include <QVector>
#include <memory>
#include <optional>

namespace lumo {

struct ProgramWithConditions
{
    ProgramRow program;
    QVector<ConditionRow> conditions; // in table order
};

class ProgramStore
{
public:
    explicit ProgramStore(Database& db) : m_db(db) {}

    // Every program in ZuProB order with its conditions: two queries, joined in memory.
    QVector<ProgramWithConditions> loadAll(bool withPictures = false);
    // The first program of that name in table order, without regard to case.
    std::optional<ProgramRow> findByName(const QString& name);

    Status append(ProgramRow& row);
    Status appendCondition(ConditionRow& row);

private:
    Database& m_db;
};

// Looks up many programs by name with one prepared statement, as the printed
// report does for every program it lists: preparing the SQL again for each of
// thousands of names cost more than the lookups themselves.
class ProgramLookup
{
public:
    explicit ProgramLookup(Database& db);
    ~ProgramLookup();
    ProgramLookup(const ProgramLookup&) = delete;
    ProgramLookup& operator=(const ProgramLookup&) = delete;
    // As ProgramStore::findByName.
    std::optional<ProgramRow> find(const QString& name);

private:
    Database& m_db;
    bool m_master;
    QString m_sql;
    std::unique_ptr<class QSqlQuery> m_query; // SQLite only
};

class KnowledgeStore
{
public:
    explicit KnowledgeStore(Database& db) : m_db(db) {}
    std::optional<KnowledgeRow> get(int mkey);
    QVector<int> keys();

private:
    Database& m_db;
};

} // namespace lumo
