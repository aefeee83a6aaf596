#pragma once
// The records tests' other workstations: a second connection to the same
// database, a row saved on both, and databases of an earlier program, each in
// the words of the engine under test.

#include "records/database.h"

#include <QtTest>
#include <memory>

namespace {

using namespace lumo;

// A second workstation on the same database.
std::unique_ptr<Database> another(Database& db)
{
    Status st;
    if (db.onServer()) return Database::connect(db.login(), &st);
    return Database::open(db.path(), FileKind::Main, Database::Access::ReadWrite, &st);
}

// Workstation a holds a row it read; b changes it and saves; a's save is
// refused and b's change stays. Read again, a saves, and saves once more from
// the same copy (its own save raised the version it holds).
template <typename Row, typename Get, typename Save, typename Set, typename Field>
void checkConflict(Database& a, Database& b, qint64 key, Get get, Save save, Set set, Field field)
{
    Row mine = *get(a, key);
    Row theirs = *get(b, key);
    set(theirs, QStringLiteral("theirs"));
    QVERIFY(save(b, theirs).ok);
    set(mine, QStringLiteral("mine"));
    const Status refused = save(a, mine);
    QCOMPARE(refused.error, rowConflictMessage());
    QCOMPARE(field(*get(a, key)), QStringLiteral("theirs"));
    mine = *get(a, key);
    set(mine, QStringLiteral("mine"));
    QVERIFY(save(a, mine).ok);
    set(mine, QStringLiteral("again"));
    QVERIFY(save(a, mine).ok);
    QCOMPARE(field(*get(b, key)), QStringLiteral("again"));
}

// The row versions and kept counts taken away and the version set back to 2, as a
// database of an earlier program.
QStringList downgradeToVersion2(bool server)
{
    QStringList sql;
    for (const char* t : {"ZUCUST", "ZUDATA"})
        for (const char* trigger : {"COUNT_ADDED", "COUNT_REMOVED"})
            sql << (server ? QStringLiteral("DROP TRIGGER %1_%2 ON %1")
                           : QStringLiteral("DROP TRIGGER %1_%2"))
                       .arg(QLatin1String(t), QLatin1String(trigger));
    sql << QStringLiteral("DROP TABLE LUMOCOUNT");
    for (const char* t : {"ZUCUST", "ZUDATA", "ZUPRO", "ZUPRDT"})
        sql << QStringLiteral("ALTER TABLE %1 DROP COLUMN ROWVER").arg(QLatin1String(t));
    sql << (server ? QStringLiteral("UPDATE LUMOVERSION SET VERSION = 2")
                   : QStringLiteral("PRAGMA user_version = 2"));
    return sql;
}

// A trigger that refuses to delete subjects, in the engine's words.
QStringList refusingTrigger(bool server)
{
    if (!server)
        return {QStringLiteral(
            "CREATE TRIGGER refuse BEFORE DELETE ON ZUCUST BEGIN SELECT RAISE(ABORT, 'refused'); END")};
    return {QStringLiteral("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
                           "$$ BEGIN RAISE EXCEPTION 'refused'; END $$"),
            QStringLiteral(
                "CREATE TRIGGER refuse BEFORE DELETE ON ZUCUST FOR EACH ROW EXECUTE FUNCTION refuse()")};
}

} // namespace
