#pragma once
// What the two-record comparison shows: the base record taken from the
// measurement screen, the record loaded through the browser, the band choice
// and the chart and page they make.

#include "comparison/changejudgement.h"
#include "comparison/comparisonnotes.h"
#include "comparison/comparisonprint.h"
#include "comparison/comparisonrecords.h"

#include <optional>

namespace lumo {

enum class BandChoice
{
    Base,       // 原始資料
    Comparison, // 比對資料
    Hidden      // 隱  藏
};

class TwoRecordComparison
{
public:
    // The base record: the subject and the measurement the measurement screen holds.
    TwoRecordComparison(const SubjectRow& subject, const EnergySet& energy);

    // The comparison record was loaded on this screen: two curves, the band
    // hidden; `extras`: how it was taken (its grades and conditions).
    void load(const ComparisonRecord& record, const MeasurementExtras& extras = {});
    // The practice's figures of a real change (the published ones until set).
    void setNoise(const NoiseFigures& noise) { m_noise = noise; }
    const NoiseFigures& noise() const { return m_noise; }
    // Poor points, condition warnings and, once a record is loaded, the
    // comparison's answer: the shift, the pattern, the points not judged and
    // the figure that judged them.
    QStringList notes() const;
    // The answer; only once a record is loaded.
    ChangeJudgement judgement() const;
    bool loaded() const { return m_comparison.has_value(); }
    int seriesCount() const { return loaded() ? 2 : 1; }

    // 比對資料 is refused until a record was loaded; false when refused.
    bool choose(BandChoice choice);
    BandChoice band() const { return m_band; }
    bool choiceEnabled(BandChoice choice) const { return choice != BandChoice::Comparison || loaded(); }

    // Body energy here is the plain mean of the values as stored, not the
    // compensated figure of the analysis.
    const RecordBlock& baseBlock() const { return m_base; }
    std::optional<RecordBlock> comparisonBlock() const;

    ComparisonChart chart() const;
    TwoRecordPage page(const Configuration& config, const QDateTime& at = QDateTime::currentDateTime()) const;

private:
    RecordBlock m_base;
    std::array<double, 24> m_baseValues{};
    std::optional<ComparisonRecord> m_comparison;
    BandChoice m_band = BandChoice::Hidden;
    NotedMeasurement m_baseNoted, m_comparisonNoted;
    NoiseFigures m_noise = publishedNoise();
};

} // namespace lumo
