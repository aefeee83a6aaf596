#include "comparison/tworecord.h"

namespace lumo {

TwoRecordComparison::TwoRecordComparison(const SubjectRow& subject, const EnergySet& energy)
{
    m_base.number = subject.CUSTNO;
    m_base.name = subject.NAME;
    m_base.bodyEnergy = meanOf(energy.Readings);
    m_base.high = energy.VoltageMode;
    m_base.takenAt = energy.TakenAt;
    m_baseValues = energy.Compensated;
    m_baseNoted = notedMeasurement(QString::fromUtf8("1.原始資料"), energy);
}

void TwoRecordComparison::load(const ComparisonRecord& record, const MeasurementExtras& extras)
{
    m_comparison = record;
    m_band = BandChoice::Hidden;
    m_comparisonNoted.label = QString::fromUtf8("2.比對資料");
    m_comparisonNoted.readings = record.Stored; // the grades belong to the values as stored
    m_comparisonNoted.extras = extras;
    m_comparisonNoted.takenAt = record.ZUDATE;
}

QStringList TwoRecordComparison::notes() const
{
    QVector<NotedMeasurement> measured{m_baseNoted};
    if (m_comparison) measured << m_comparisonNoted;
    QStringList notes = comparisonNotes(measured);
    if (m_comparison) notes << judgementText(judgement(), m_noise);
    return notes;
}

ChangeJudgement TwoRecordComparison::judgement() const
{
    if (!m_comparison) return {};
    const ChangeInput base =
        changeInputOf(m_baseValues, m_baseNoted.readings, m_baseNoted.extras.quality, m_baseNoted.takenAt);
    const ChangeInput other = changeInputOf(m_comparison->Values, m_comparisonNoted.readings,
                                            m_comparisonNoted.extras.quality, m_comparisonNoted.takenAt);
    return judgeChange(base, other, m_noise);
}

bool TwoRecordComparison::choose(BandChoice choice)
{
    if (!choiceEnabled(choice)) return false;
    m_band = choice;
    return true;
}

std::optional<RecordBlock> TwoRecordComparison::comparisonBlock() const
{
    if (!m_comparison) return std::nullopt;
    const ComparisonRecord& c = *m_comparison;
    return RecordBlock{c.CUSTNO, c.NAME, c.StoredMean, c.ZUVOTA, c.ZUDATE};
}

ComparisonChart TwoRecordComparison::chart() const
{
    ComparisonChart c;
    c.kind = ComparisonKind::TwoRecord;
    c.series << m_baseValues;
    if (m_comparison) {
        c.series << m_comparison->Values;
        c.changeBand = true;
        const ChangeJudgement j = judgement();
        c.changeMdcPct = j.bandMdcPct;
        for (int p = 1; p <= 24; ++p)
            c.noChange[size_t(p - 1)] = !j.notJudged.contains(p) && !j.shiftChanged && !j.changed(p);
    }
    if (m_band == BandChoice::Base) {
        c.bandSeries = 1;
        c.bandCentre = m_base.bodyEnergy;
    } else if (m_band == BandChoice::Comparison && m_comparison) {
        c.bandSeries = 2;
        c.bandCentre = m_comparison->StoredMean;
    }
    return c;
}

TwoRecordPage TwoRecordComparison::page(const Configuration& config, const QDateTime& at) const
{
    TwoRecordPage p;
    p.config = &config;
    p.base = m_base;
    p.comparison = comparisonBlock();
    p.chart = chart();
    p.notes = notes();
    p.printedAt = at;
    return p;
}

} // namespace lumo
