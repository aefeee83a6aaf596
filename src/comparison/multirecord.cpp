#include "comparison/multirecord.h"

#include "base/formats.h"
#include "practice/masking.h"

namespace lumo {

RecordBlock recordBlockOf(const PickedRecord& r)
{
    return RecordBlock{r.CUSTNO, r.NAME, r.BodyEnergy, r.ZUVOTA, r.ZUDATE};
}

QStringList MultiRecordComparison::subjectListItems(bool masked) const
{
    QStringList items;
    for (int n = 1; n <= m_set.size(); ++n)
        // Visits of one subject differ only in when they were measured.
        items << fmt("%1d", n) + QStringLiteral(".  ") +
                     (masked ? maskedName(m_set[n - 1].NAME) : m_set[n - 1].NAME) + QStringLiteral("  ") +
                     dateTimeOfDay(m_set[n - 1].ZUDATE);
    if (!m_set.isEmpty()) items << QString::fromUtf8("[隱藏生理界線]");
    return items;
}

void MultiRecordComparison::selectItem(int item)
{
    m_selected = item >= 0 && item < m_set.size() ? item : -1;
}

std::optional<RecordBlock> MultiRecordComparison::header() const
{
    if (m_selected < 0 || m_selected >= m_set.size()) return std::nullopt;
    return recordBlockOf(m_set[m_selected]);
}

QString MultiRecordComparison::statusText() const
{
    return m_set.isEmpty() ? QString::fromUtf8("請點選 [載入資料] 選擇欲比對資料.")
                           : QString::fromUtf8("請至 [受測者資料] 中點選以繪出生理界線及查閱相關資料.");
}

ComparisonChart MultiRecordComparison::chart() const
{
    ComparisonChart c;
    c.kind = ComparisonKind::Multi;
    for (const PickedRecord& r : m_set)
        c.series << r.Values;
    if (m_selected >= 0 && m_selected < m_set.size()) {
        c.bandSeries = m_selected + 1;
        c.bandCentre = m_set[m_selected].BodyEnergy;
    }
    return c;
}

MultiRecordPage MultiRecordComparison::page(const Configuration& config, const QDateTime& at) const
{
    MultiRecordPage p;
    p.config = &config;
    for (const PickedRecord& r : m_set)
        p.entries << recordBlockOf(r);
    p.chart = chart();
    p.printedAt = at;
    return p;
}

QStringList MultiRecordComparison::notes(const QHash<qint64, MeasurementExtras>& extras) const
{
    QVector<NotedMeasurement> measured;
    for (int n = 1; n <= m_set.size(); ++n) {
        const PickedRecord& r = m_set[n - 1];
        NotedMeasurement m;
        m.label = QString::fromUtf8("第 %1 筆").arg(n);
        m.readings = r.Stored;
        m.extras = extras.value(r.MKEY);
        m.takenAt = r.ZUDATE;
        measured << m;
    }
    return comparisonNotes(measured);
}

} // namespace lumo
