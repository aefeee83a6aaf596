#include "measurement/qualitycodec.h"

#include <QtEndian>
#include <cmath>
#include <cstring>

namespace lumo {
namespace {

// 1: the grade, the figures of every test and the trace.
// 2: also the slope's standard error and degrees of freedom, the value's own
//    standard error and the settling fit (older blobs read them as unknown).
// 3: the figures as varints, and 14 readings of a point's trace.
constexpr quint8 FormatVersion = 3;

class Writer
{
public:
    void u8(quint8 v) { m_out.append(char(v)); }
    void u16(quint16 v)
    {
        u8(quint8(v & 0xff));
        u8(quint8(v >> 8));
    }
    void f32(float v)
    {
        quint32 bits;
        std::memcpy(&bits, &v, 4);
        u16(quint16(bits & 0xffff));
        u16(quint16(bits >> 16));
    }
    void varint(quint32 v)
    {
        while (v >= 0x80) {
            u8(quint8(v | 0x80));
            v >>= 7;
        }
        u8(quint8(v));
    }
    void zigzag(qint32 v) { varint((quint32(v) << 1) ^ quint32(v >> 31)); }
    QByteArray m_out;
};

class Reader
{
public:
    explicit Reader(const QByteArray& b) : m_b(b) {}
    bool ok() const { return m_ok; }
    quint8 u8()
    {
        if (m_pos >= m_b.size()) {
            m_ok = false;
            return 0;
        }
        return quint8(m_b.at(m_pos++));
    }
    quint16 u16()
    {
        const quint16 lo = u8();
        return quint16(lo | (quint16(u8()) << 8));
    }
    float f32()
    {
        const quint32 lo = u16();
        const quint32 bits = lo | (quint32(u16()) << 16);
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    }
    quint32 varint()
    {
        quint32 v = 0;
        for (int shift = 0; shift < 35; shift += 7) {
            const quint8 b = u8();
            v |= quint32(b & 0x7f) << shift;
            if (!(b & 0x80)) return v;
        }
        m_ok = false; // longer than any 32-bit number
        return 0;
    }
    qint32 zigzag()
    {
        const quint32 v = varint();
        return qint32(v >> 1) ^ -qint32(v & 1);
    }
    bool atEnd() const { return m_pos == m_b.size(); }

private:
    const QByteArray& m_b;
    int m_pos = 0;
    bool m_ok = true;
};

// Figures in tenths, saturating: a figure beyond the field still reads as "very large".
quint16 tenths(double v)
{
    return quint16(std::clamp(std::round(v * 10), 0.0, 65535.0));
}
qint16 signedTenths(double v)
{
    return qint16(std::clamp(std::round(v * 10), -32767.0, 32767.0));
}

void writeGrade(Writer& w, const PointGrade& g)
{
    w.f32(g.value);
    const int grade = g.grade == QualityGrade::A ? 1 : g.grade == QualityGrade::B ? 2 : 3;
    w.u8(quint8(grade << 4 | int(g.test)));
    // Each figure a 16-bit field's value, written as a varint: most figures
    // are small, and a page holds three rows of a measurement's quality
    // instead of two when they take one byte each.
    w.zigzag(signedTenths(g.figures.slopePct));
    w.varint(tenths(g.figures.spreadPct));
    w.varint(tenths(g.figures.stepPct));
    w.varint(tenths(g.figures.tickDiffPct));
    w.varint(quint16(std::clamp(g.figures.samples, 0, 65535)));
    w.varint(tenths(std::isfinite(g.figures.slopeSePct) ? g.figures.slopeSePct : 6553.5));
    w.varint(tenths(g.figures.effectiveDf));
    w.varint(quint16(std::clamp(std::round(g.figures.sePct * 100), 0.0, 65535.0)));
    w.zigzag(signedTenths(g.figures.plateauPct));
    w.varint(quint16(std::clamp(std::round(g.figures.tauMs), 0.0, 65535.0)));
}

// A figure's 16-bit field: fixed two bytes before version 3, a varint since;
// a varint beyond the field is no figure this program wrote.
class FigureReader
{
public:
    FigureReader(Reader& r, int version) : m_r(r), m_version(version) {}
    quint16 unsignedField()
    {
        if (m_version < 3) return m_r.u16();
        const quint32 v = m_r.varint();
        if (v > 65535) m_bad = true;
        return quint16(v);
    }
    qint16 signedField()
    {
        if (m_version < 3) return qint16(m_r.u16());
        const qint32 v = m_r.zigzag();
        if (v < -32768 || v > 32767) m_bad = true;
        return qint16(v);
    }
    bool ok() const { return !m_bad && m_r.ok(); }

private:
    Reader& m_r;
    int m_version;
    bool m_bad = false;
};

bool readGrade(Reader& r, PointGrade& g, int version)
{
    g.value = r.f32();
    const quint8 code = r.u8();
    const int grade = code >> 4, test = code & 0x0f;
    if (grade < 1 || grade > 3 || test > int(QualityTest::TickAgreement) || !std::isfinite(g.value))
        return false;
    g.grade = grade == 1 ? QualityGrade::A : grade == 2 ? QualityGrade::B : QualityGrade::C;
    g.test = QualityTest(test);
    FigureReader f(r, version);
    g.figures.slopePct = f.signedField() / 10.0;
    g.figures.spreadPct = f.unsignedField() / 10.0;
    g.figures.stepPct = f.unsignedField() / 10.0;
    g.figures.tickDiffPct = f.unsignedField() / 10.0;
    g.figures.samples = f.unsignedField();
    if (version >= 2) {
        g.figures.slopeSePct = f.unsignedField() / 10.0;
        g.figures.effectiveDf = f.unsignedField() / 10.0;
        g.figures.sePct = f.unsignedField() / 100.0;
        g.figures.plateauPct = f.signedField() / 10.0;
        g.figures.tauMs = f.unsignedField();
    }
    if (!f.ok()) return false;
    switch (g.test) {
    case QualityTest::None:
        g.figure = 0;
        break;
    case QualityTest::Samples:
        g.figure = g.figures.samples;
        break;
    case QualityTest::Step:
        g.figure = g.figures.stepPct;
        break;
    case QualityTest::Slope:
        g.figure = g.figures.slopePct;
        break;
    case QualityTest::Spread:
        g.figure = g.figures.spreadPct;
        break;
    case QualityTest::TickAgreement:
        g.figure = g.figures.tickDiffPct;
        break;
    }
    return r.ok();
}

void writeSamples(Writer& w, const QualitySamples& all)
{
    const QualitySamples kept = keptSamples(all);
    quint16 tick4 = 0;
    for (const QualitySample& s : all)
        if (s.tick == 4) {
            tick4 = s.ms;
            break;
        }
    w.u16(tick4);
    w.u8(quint8(kept.size()));
    int t = 0, c = 0;
    for (const QualitySample& s : kept) {
        w.varint(quint32(std::max(0, s.ms - t)));
        w.zigzag(s.counts - c);
        t = s.ms;
        c = s.counts;
    }
}

bool readSamples(Reader& r, QualitySamples& out)
{
    const quint16 tick4 = r.u16();
    const int count = r.u8();
    if (count > StoredSamplesPerPoint) return false;
    qint64 t = 0, c = 0;
    for (int i = 0; i < count && r.ok(); ++i) {
        t += r.varint();
        c += r.zigzag();
        if (t > 65535 || c < 0 || c > 65535) return false;
        out.append({quint16(t), quint16(c), quint8(t >= tick4 ? 4 : 3)});
    }
    return r.ok();
}

} // namespace

QualitySamples keptSamples(const QualitySamples& all)
{
    QualitySamples window;
    for (const QualitySample& s : all)
        if (s.tick >= 3) window.append(s);
    if (window.size() <= StoredSamplesPerPoint) return window;
    QualitySamples kept;
    const int last = window.size() - 1;
    for (int j = 0; j < StoredSamplesPerPoint; ++j)
        kept.append(window.at(int(std::lround(double(j) * last / (StoredSamplesPerPoint - 1)))));
    return kept;
}

QByteArray encodeQuality(const MeasurementQuality& q)
{
    Writer w;
    w.u8(FormatVersion);
    quint32 mask = 0;
    for (int i = 0; i < 24; ++i)
        if (q.grades[size_t(i)].graded()) mask |= 1u << i;
    w.u8(quint8(mask));
    w.u8(quint8(mask >> 8));
    w.u8(quint8(mask >> 16));
    for (int i = 0; i < 24; ++i) {
        if (!(mask & (1u << i))) continue;
        writeGrade(w, q.grades[size_t(i)]);
        writeSamples(w, q.samples[size_t(i)]);
    }
    const int repeats = std::min<int>(int(q.repeats.size()), MaxStoredRepeats);
    w.u8(quint8(repeats));
    // The latest repeats are the ones that explain the values now kept.
    for (int i = int(q.repeats.size()) - repeats; i < q.repeats.size(); ++i) {
        const RepeatReading& rr = q.repeats.at(i);
        w.u8(quint8(rr.point));
        w.u8(rr.laterKept ? 1 : 0);
        const bool graded = rr.other.graded();
        w.u8(graded ? 1 : 0);
        if (graded)
            writeGrade(w, rr.other);
        else
            w.f32(rr.other.value);
    }
    return w.m_out;
}

bool decodeQuality(const QByteArray& blob, MeasurementQuality& q)
{
    q.clear();
    if (blob.isEmpty() || blob.size() > MaxQualityBlobBytes) return false;
    Reader r(blob);
    MeasurementQuality d;
    const int version = r.u8();
    if (version < 1 || version > FormatVersion) return false;
    quint32 mask = r.u8();
    mask |= quint32(r.u8()) << 8;
    mask |= quint32(r.u8()) << 16;
    for (int i = 0; i < 24 && r.ok(); ++i) {
        if (!(mask & (1u << i))) continue;
        if (!readGrade(r, d.grades[size_t(i)], version) || !readSamples(r, d.samples[size_t(i)]))
            return false;
    }
    const int repeats = r.u8();
    if (!r.ok() || repeats > MaxStoredRepeats) return false;
    for (int i = 0; i < repeats; ++i) {
        RepeatReading rr;
        rr.point = r.u8();
        rr.laterKept = r.u8() & 1;
        const bool graded = r.u8() == 1;
        if (graded ? !readGrade(r, rr.other, version) : (rr.other.value = r.f32(), !r.ok())) return false;
        if (rr.point < 1 || rr.point > 24) return false;
        d.repeats.append(rr);
    }
    if (!r.ok() || !r.atEnd()) return false;
    q = d;
    return true;
}

QString gradeLetters(const MeasurementQuality& q)
{
    QString s;
    for (const PointGrade& g : q.grades)
        s += g.graded() ? QChar(char(g.grade)) : QLatin1Char('-');
    return s;
}

} // namespace lumo
