#include "comparison/comparisonrecords.h"

#include "base/formats.h"
#include "base/messages.h"
#include "shell/sharedstate.h"

namespace lumo {
namespace {

std::array<double, 24> compensated(const MeasurementRow& row, const CompensationTable& table)
{
    std::array<double, 24> out{};
    for (int p = 1; p <= PointCount; ++p)
        out[size_t(p - 1)] = compensate(p, row.ZU[size_t(p - 1)], table);
    return out;
}

} // namespace

double meanOf(const std::array<double, 24>& values)
{
    double sum = 0;
    for (double v : values)
        sum += v;
    return sum / 24;
}

ComparisonRecord comparisonRecordOf(const SubjectRow& subject, const MeasurementRow& row,
                                    const CompensationTable& table)
{
    ComparisonRecord r;
    r.MKEY = row.MKEY;
    r.CUSTNO = subject.CUSTNO;
    r.NAME = subject.NAME;
    r.ZUDATE = row.ZUDATE;
    r.ZUVOTA = row.ZUVOTA;
    r.StoredMean = meanOf(row.ZU);
    r.Values = compensated(row, table);
    r.Stored = row.ZU;
    return r;
}

PickedRecord pickedRecordOf(const SubjectRow& subject, const MeasurementRow& row,
                            const CompensationTable& table)
{
    PickedRecord r;
    r.MKEY = row.MKEY;
    r.CUSTNO = subject.CUSTNO;
    r.NAME = subject.NAME;
    r.ZUDATE = row.ZUDATE;
    r.ZUVOTA = row.ZUVOTA;
    r.Values = compensated(row, table);
    r.BodyEnergy = meanOf(r.Values);
    r.Stored = row.ZU;
    return r;
}

QString pickIdentity(const QString& custNo, double takenAt)
{
    return custNo + dateTimeOfDay(takenAt);
}

PickOutcome addPicked(QVector<PickedRecord>& set, const PickedRecord& entry)
{
    if (set.size() >= MaxPickedRecords) return PickOutcome::Full;
    const QString id = pickIdentity(entry.CUSTNO, entry.ZUDATE);
    for (const PickedRecord& held : set)
        if (pickIdentity(held.CUSTNO, held.ZUDATE) == id) return PickOutcome::Duplicate;
    set.append(entry);
    return PickOutcome::Added;
}

QString pickRefusalText(PickOutcome outcome)
{
    switch (outcome) {
    case PickOutcome::Full:
        return QString::fromUtf8("您已選取了超過 6 個比對資料,請先刪除不需比對的資料後,再行選取!");
    case PickOutcome::Duplicate:
        return QString::fromUtf8("這筆資料已經選取! 請勿重覆載入要比對的資料!!");
    case PickOutcome::Added:
        break;
    }
    return QString();
}

PickOutcome pickInto(SharedState& state, const PickedRecord& entry)
{
    const PickOutcome o = addPicked(state.PickedRecords, entry);
    if (o != PickOutcome::Added) {
        state.playTone(1);
        state.ShowMessageDialog(NoteAttention, pickRefusalText(o));
    }
    return o;
}

bool removePicked(QVector<PickedRecord>& set, int index)
{
    if (index < 0 || index >= set.size()) return false;
    set.removeAt(index);
    for (PickedRecord& r : set)
        r.BodyEnergy = meanOf(r.Values);
    return true;
}

} // namespace lumo
