#pragma once
// The stored form of a measurement's quality: a small blob per measurement
// (at most 2 KB for 24 points). Each graded point keeps its value, grade,
// the figures of every test (so a later study can grade again with other
// bounds) and a trace of 14 of the readings of its last two ticks; the points
// measured twice keep the reading that was not used. A transfer file brings
// blobs from elsewhere: decoding checks every length and refuses what does
// not fit, never reading beyond the blob or allocating by a count it holds.

#include "measurement/quality.h"

#include <QByteArray>

namespace lumo {

// Readings of a point kept in the stored trace.
constexpr int StoredSamplesPerPoint = 14;
constexpr int MaxStoredRepeats = 48;
constexpr int MaxQualityBlobBytes = 16 * 1024;

QByteArray encodeQuality(const MeasurementQuality& q);
// False for a blob that is not one (the quality is then left empty).
bool decodeQuality(const QByteArray& blob, MeasurementQuality& q);

// The 24 grade letters ('A', 'B', 'C', '-' for none), for the table's
// GRADES column, research files and counts in SQL.
QString gradeLetters(const MeasurementQuality& q);

// The readings kept of a point's samples: evenly spread over its third and
// fourth tick.
QualitySamples keptSamples(const QualitySamples& all);

} // namespace lumo
