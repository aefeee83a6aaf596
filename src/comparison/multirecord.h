#pragma once
// What the multi-record comparison shows of the picked measurements: the
// subject list, the selected entry with its band, the chart and the page.

#include "comparison/comparisonnotes.h"
#include "comparison/comparisonprint.h"
#include "comparison/comparisonrecords.h"

#include <QStringList>
#include <optional>

namespace lumo {

class MultiRecordComparison
{
public:
    explicit MultiRecordComparison(const QVector<PickedRecord>& set) : m_set(set) {}

    // "1.  name  date time" per entry, then "[隱藏生理界線]" when there is any entry.
    QStringList subjectListItems(bool masked = false) const; // names masked for 候診區顯示
    // Selects item `item` of the list (0-based): an entry, or the last item,
    // which hides the band. Anything else selects nothing.
    void selectItem(int item);
    int selectedEntry() const { return m_selected; } // 0-based; -1 for none
    std::optional<RecordBlock> header() const;
    QString statusText() const;

    // Each entry's poor points, and the warnings between the first entry and
    // each later one, from the entries' side rows by MKEY.
    QStringList notes(const QHash<qint64, MeasurementExtras>& extras) const;

    ComparisonChart chart() const;
    MultiRecordPage page(const Configuration& config,
                         const QDateTime& at = QDateTime::currentDateTime()) const;

private:
    const QVector<PickedRecord>& m_set;
    int m_selected = -1;
};

RecordBlock recordBlockOf(const PickedRecord& r);

} // namespace lumo
