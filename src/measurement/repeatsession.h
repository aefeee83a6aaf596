#pragma once
// The repeat-measurement mode: the same subject measured twice within half an
// hour, on purpose, so that the practice gathers the pairs its own error band
// is computed from. The mode only guides: it remembers the first saved
// measurement, clears it for the second run without asking, and says whether
// the second one made a pair.

#include <QString>

namespace lumo {

class RepeatSession
{
public:
    enum class Outcome
    {
        None,     // the mode is off, or this was the first of a pair
        Paired,   // the second measurement made a pair with the first
        NotPaired // saved to another subject or too late: the mode starts again
    };

    void setOn(bool on);
    bool on() const { return m_on; }
    // A measurement of the grid was saved (its subject, its taking time as a day number, its key).
    Outcome saved(const QString& custNo, double takenAt, qint64 mkey);
    // The first of a pair is in the grid: the next run clears it without the question.
    bool clearsWithoutAsking(qint64 currentKey) const
    {
        return m_on && m_firstKey > 0 && currentKey == m_firstKey;
    }
    // The key of the first of the pair, while the second is awaited (0 otherwise).
    qint64 firstKey() const { return m_firstKey; }
    // What the status bar says in the mode (empty when it is off).
    QString statusText() const;
    // After a pair: the practice's count of pairs, for the text.
    void setPairsInPractice(int pairs) { m_pairs = pairs; }

private:
    bool m_on = false;
    QString m_firstSubject;
    double m_firstTakenAt = 0;
    qint64 m_firstKey = 0;
    Outcome m_last = Outcome::None;
    int m_pairs = 0;
};

} // namespace lumo
