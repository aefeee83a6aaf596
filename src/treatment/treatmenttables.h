#pragma once
// The operator's programs (ZUPRO) and their conditions (ZUPRDT) as the
// treatment screens edit them. A program's conditions are the rows whose ProNo
// equals its number without regard to case, the same link the matching
// follows. Every change that touches more than one row runs in one
// transaction: a failure leaves both tables as they were.

#include "records/database.h"
#include "records/rows.h"

#include <QVector>
#include <optional>

namespace lumo {

// A row of the program grid.
struct ProgramSummary
{
    qint64 MKEY = 0;
    QString ProNo, ProName;
};

class TreatmentTables
{
public:
    explicit TreatmentTables(Database& db) : m_db(db) {}

    // Every program by ProNo ascending (ties in table order).
    QVector<ProgramSummary> programs();
    // One program whole, its picture included; nothing when it is gone.
    std::optional<ProgramRow> program(qint64 mkey);
    // The conditions of a program number, in table order.
    QVector<ConditionRow> conditions(const QString& ProNo);
    // The first program (by ProNo) whose stored number equals `number`, whole
    // value, without regard to case.
    std::optional<ProgramSummary> findNumber(const QString& number);

    // 確認異動: the condition (appended when its MKEY is 0, else changed) and
    // the program's description, picture and scale, in one transaction.
    // Refused with rowConflictMessage() when another workstation changed
    // either row since it was read; on success both carry their new versions.
    Status confirmCondition(ConditionRow& condition, ProgramRow& program);
    // 刪除療程: every condition of the program's number, then the program.
    Status deleteProgram(const ProgramRow& program);
    Status deleteCondition(qint64 mkey);

    // The group editor: a new program, or every field of one but its number
    // (refused with rowConflictMessage() as above).
    Status appendProgram(ProgramRow& program);
    Status updateProgram(ProgramRow& program);

private:
    Database& m_db;
};

} // namespace lumo
