#include "comparison/trendchart.h"

#include "base/formats.h"
#include "comparison/comparisonchart.h"

#include <QGuiApplication>
#include <QPalette>
#include <cmath>

namespace lumo {
namespace {

using namespace chartcolour;
const QColor Corridor(200, 232, 200), GridGrey(200, 200, 200), Panel(255, 255, 255);
const QColor ChangeHatch(110, 130, 170); // the band of no real change

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The printed colour of a grade: green while normal or mild, olive when
// marked, red at the extremes (the autonomic grades 0..3 read the same way).
QColor gradeColour(int grade)
{
    const int g = std::abs(grade);
    return g <= 1 ? Green : g == 2 ? Olive : Red;
}

void outline(ChartSurface& s, const QRect& r, const QColor& c, int width)
{
    s.line(r.left(), r.top(), r.right(), r.top(), c, width);
    s.line(r.right(), r.top(), r.right(), r.bottom(), c, width);
    s.line(r.right(), r.bottom(), r.left(), r.bottom(), c, width);
    s.line(r.left(), r.bottom(), r.left(), r.top(), c, width);
}

void rightAligned(ChartSurface& s, int right, int centreY, const QString& t, const QColor& c)
{
    s.text(right - s.textWidth(t), centreY - s.textHeight() / 2, t, c);
}

} // namespace

TrendLayout::TrendLayout(const QVector<TrendRow>& rows, bool male, QSize size, const QFontMetrics& fm,
                         int unitWidth)
    : unit(unitWidth)
{
    const int fh = fm.height();
    const int left = fm.horizontalAdvance(QStringLiteral("000.00")) + fh;
    const int right = size.width() - fh;
    const int top = fh * 3 / 2;
    const int bottom = size.height() - fh * 3 / 2;
    const int bodyHeight = (bottom - top) * 40 / 100;
    body = QRect(QPoint(left, top), QPoint(right, top + bodyHeight));
    // Each ratio's strip has its name on a line of its own above it, so no
    // label covers a point.
    const int gap = fh / 3;
    const int stripsTop = body.bottom() + fh / 2;
    const int stripHeight = (bottom - stripsTop - TrendRatioCount * fh - 3 * gap) / TrendRatioCount;
    for (int i = 0; i < TrendRatioCount; ++i) {
        const int y = stripsTop + i * (fh + stripHeight + gap) + fh;
        ratios[size_t(i)] = QRect(QPoint(left, y), QPoint(right, y + stripHeight));
    }
    dateLabelY = bottom + fh / 4;

    double lo = 1e300, hi = -1e300;
    std::array<double, TrendRatioCount> rlo, rhi;
    for (int i = 0; i < TrendRatioCount; ++i) {
        const NormalRange n = trendNormalRange(i, male);
        rlo[size_t(i)] = n.low;
        rhi[size_t(i)] = n.high;
    }
    bool first = true;
    for (const TrendRow& r : rows) {
        if (!r.analysed) continue;
        m_t0 = first ? r.takenAt : std::min(m_t0, r.takenAt);
        m_t1 = first ? r.takenAt : std::max(m_t1, r.takenAt);
        first = false;
        lo = std::min(lo, r.bandBottom);
        hi = std::max(hi, r.bandTop);
        for (int i = 0; i < TrendRatioCount; ++i) {
            rlo[size_t(i)] = std::min(rlo[size_t(i)], trendRatio(r, i));
            rhi[size_t(i)] = std::max(rhi[size_t(i)], trendRatio(r, i));
        }
    }
    m_points = !first;
    if (!m_points) return;
    // Less than a day apart: half a day either side, so the axis has a date.
    if (m_t1 - m_t0 < 1) {
        m_t0 -= 0.5;
        m_t1 += 0.5;
    }
    m_bodyLow = std::floor(lo / 10) * 10;
    m_bodyHigh = std::ceil(hi / 10) * 10;
    if (m_bodyHigh - m_bodyLow < 20) m_bodyHigh = m_bodyLow + 20;
    const double span = m_bodyHigh - m_bodyLow;
    m_bodyStep = span <= 80 ? 10 : span <= 200 ? 20 : 50;
    for (int i = 0; i < TrendRatioCount; ++i) {
        const double pad = (rhi[size_t(i)] - rlo[size_t(i)]) * 0.15;
        m_low[size_t(i)] = std::max(0.0, rlo[size_t(i)] - pad);
        m_high[size_t(i)] = rhi[size_t(i)] + pad;
    }
}

int TrendLayout::xOf(double day) const
{
    const int pad = std::max(4, body.width() / 40);
    if (m_t1 <= m_t0) return body.center().x();
    return body.left() + pad + int(std::lround((day - m_t0) / (m_t1 - m_t0) * (body.width() - 2 * pad)));
}

int TrendLayout::yBody(double v) const
{
    return body.bottom() - int(std::lround((v - m_bodyLow) / (m_bodyHigh - m_bodyLow) * body.height()));
}

int TrendLayout::yRatio(int i, double v) const
{
    const QRect& r = ratios[size_t(i)];
    const double lo = m_low[size_t(i)], hi = m_high[size_t(i)];
    if (hi <= lo) return r.center().y();
    return r.bottom() - int(std::lround((v - lo) / (hi - lo) * r.height()));
}

QVector<double> TrendLayout::dateTicks(int labelWidth) const
{
    QVector<double> ticks;
    if (!m_points) return ticks;
    const int room = std::max(2, body.width() / std::max(1, labelWidth * 3 / 2));
    const double span = m_t1 - m_t0;
    for (int days : {1, 2, 7, 14}) {
        if (span / days > room) continue;
        for (double d = std::ceil(m_t0 / days) * days; d <= m_t1; d += days)
            ticks << d;
        return ticks;
    }
    for (int months : {1, 2, 3, 6, 12, 24, 60, 120, 240}) {
        if (span / (30.44 * months) > room) continue;
        const QDate start = dateFromDayNumber(m_t0);
        int index = start.year() * 12 + start.month() - 1;
        index = (index + months - 1) / months * months; // the next month on the step's grid
        QDate d(index / 12, index % 12 + 1, 1);
        if (d < start) d = d.addMonths(months);
        for (; dayNumber(d) <= m_t1; d = d.addMonths(months))
            ticks << dayNumber(d);
        return ticks;
    }
    ticks << m_t0 << m_t1;
    return ticks;
}

namespace {

// One painting of the chart: the layout, the rows shown and the marker size.
struct TrendPainter
{
    ChartSurface& s;
    const QVector<TrendRow>& rows;
    bool male;
    QSize size;
    int unit;
    TrendLayout L;
    int fh;
    QVector<int> shown; // the analysed rows
    int half = 3;       // of a marker
    const NoiseFigures* noise = nullptr;

    TrendPainter(ChartSurface& surface, const QVector<TrendRow>& r, bool isMale, QSize sz, int u,
                 const NoiseFigures* n)
        : s(surface), rows(r), male(isMale), size(sz), unit(u),
          L(r, isMale, sz, surface.painter().fontMetrics(), u), fh(surface.textHeight()), noise(n)
    {
        for (int i = 0; i < rows.size(); ++i)
            if (rows[i].analysed) shown << i;
        // Markers shrink where the points crowd (hundreds of measurements over a few years).
        const int room = L.body.width() / std::max<int>(1, int(shown.size()));
        half = std::clamp(room / 3, 1, 3) * unit;
    }

    void marker(QPoint p, const QColor& c)
    {
        s.fillRect(p.x() - half, p.y() - half, p.x() + half + 1, p.y() + half + 1, c);
    }

    void panels()
    {
        s.fillRect(L.body.left(), L.body.top(), L.body.right() + 1, L.body.bottom() + 1, Panel);
        for (const QRect& r : L.ratios)
            s.fillRect(r.left(), r.top(), r.right() + 1, r.bottom() + 1, Panel);
        s.text(L.body.left(), fh / 4, u("身體能量 (uA)"), Black);
        const int key = L.body.left() + s.textWidth(u("身體能量 (uA)")) + fh;
        s.fillRect(key, fh / 4 + fh / 4, key + fh, fh / 4 + fh * 3 / 4, Corridor);
        s.text(key + fh + fh / 3, fh / 4, u("生理界線"), Black);
        if (!noise) return;
        const int change = key + fh + fh / 3 + s.textWidth(u("生理界線")) + fh;
        s.hatchedRect(change, fh / 4 + fh / 4, change + fh, fh / 4 + fh * 3 / 4, ChangeHatch, ChangeHatch,
                      Qt::BDiagPattern, unit);
        s.text(change + fh + fh / 3, fh / 4, noRealChangeText(), Black);
    }

    // The span around the first visit's value that is no real change, from
    // that visit on; `y` maps a value, `clip` the panel it is drawn in.
    template <typename Y> void changeBand(double first, double mdcPct, const QRect& clip, Y y)
    {
        if (!noise || shown.size() < 2) return;
        const ChangeBand b = noChangeBand(first, mdcPct);
        const int top = std::max(clip.top(), y(std::min(b.high, 1e6)));
        const int bottom = std::min(clip.bottom(), y(b.low));
        const int left = L.xOf(rows[shown[0]].takenAt);
        // Hatched, so that the physiological band and the normal ranges beneath stay visible.
        if (bottom > top)
            s.hatchedRect(left, top, clip.right() + 1, bottom, ChangeHatch, ChangeHatch, Qt::BDiagPattern,
                          unit);
    }

    // A later visit whose body energy is no real change from the first's.
    bool noBodyChange(int row) const
    {
        if (!noise || shown.size() < 2 || row == shown[0]) return false;
        return !isRealChange(rows[shown[0]].BodyEnergy, rows[row].BodyEnergy,
                             noise->ofIndex(NoiseIndex::BodyEnergy).mdcPct);
    }

    void timeGrid()
    {
        const int labelWidth = s.textWidth(shortDate(QDate(2000, 12, 31)));
        for (double d : L.dateTicks(labelWidth)) {
            const int x = L.xOf(d);
            s.line(x, L.body.top(), x, L.ratios.back().bottom(), GridGrey, unit, Qt::DotLine);
            const QString t = shortDate(dateFromDayNumber(d));
            const int w = s.textWidth(t);
            s.text(std::clamp(x - w / 2, 0, size.width() - w), L.dateLabelY, t, Black);
        }
        if (!L.hasPoints()) return;
        for (double v = L.bodyLow(); v <= L.bodyHigh() + 1e-9; v += L.bodyStep()) {
            const int y = L.yBody(v);
            s.line(L.body.left(), y, L.body.right(), y, GridGrey, unit, Qt::DotLine);
            rightAligned(s, L.body.left() - fh / 3, y, fmt("%3.0f", v), Navy);
        }
    }

    // The band as a corridor: its upper limits forward, its lower limits back.
    void bodyEnergy()
    {
        if (shown.size() == 1) {
            const TrendRow& r = rows[shown[0]];
            const int x = L.xOf(r.takenAt);
            s.fillRect(x - fh / 2, L.yBody(r.bandTop), x + fh / 2, L.yBody(r.bandBottom), Corridor);
        } else if (shown.size() > 1) {
            QVector<QPoint> upper, lower;
            for (int i : shown) {
                upper << QPoint(L.xOf(rows[i].takenAt), L.yBody(rows[i].bandTop));
                lower << QPoint(L.xOf(rows[i].takenAt), L.yBody(rows[i].bandBottom));
            }
            QVector<QPoint> corridor = upper;
            for (auto it = lower.crbegin(); it != lower.crend(); ++it)
                corridor << *it;
            s.polygon(corridor, Corridor);
            s.polyline(upper, Green, unit);
            s.polyline(lower, Green, unit);
        }
        if (!shown.isEmpty())
            changeBand(rows[shown[0]].BodyEnergy, noise ? noise->ofIndex(NoiseIndex::BodyEnergy).mdcPct : 0,
                       L.body, [this](double v) { return L.yBody(v); });
        QVector<QPoint> energy;
        for (int i : shown)
            energy << QPoint(L.xOf(rows[i].takenAt), L.yBody(rows[i].BodyEnergy));
        if (energy.size() > 1) s.polyline(energy, Blue, 2 * unit);
        for (int j = 0; j < energy.size(); ++j)
            marker(energy[j], noBodyChange(shown[j]) ? noChangeMarkerColour() : Blue);
        outline(s, L.body, Grey, unit);
    }

    void ratio(int k)
    {
        const QRect& box = L.ratios[size_t(k)];
        const NormalRange n = trendNormalRange(k, male);
        if (L.hasPoints()) {
            const int yHigh = L.yRatio(k, n.high), yLow = L.yRatio(k, n.low);
            const int top = std::max(box.top(), yHigh), bottom = std::min(box.bottom(), yLow);
            if (bottom > top) s.fillRect(box.left(), top, box.right() + 1, bottom, Corridor);
            // The two limits' values, moved apart when the band is narrower than a line.
            const int spread = std::max(0, fh - (yLow - yHigh)) / 2;
            rightAligned(s, box.left() - fh / 3, yHigh - spread, fmt("%4.2f", n.high), Navy);
            rightAligned(s, box.left() - fh / 3, yLow + spread, fmt("%4.2f", n.low), Navy);
        }
        s.text(box.left(), box.top() - fh, trendRatioLabel(k), Black);
        if (!shown.isEmpty() && noise)
            changeBand(trendRatio(rows[shown[0]], k), noise->ofIndex(NoiseIndex(k + 1)).mdcPct, box,
                       [this, k](double v) { return L.yRatio(k, v); });
        QVector<QPoint> line;
        for (int i : shown)
            line << QPoint(L.xOf(rows[i].takenAt), L.yRatio(k, trendRatio(rows[i], k)));
        if (line.size() > 1) s.polyline(line, Navy, unit);
        for (int j = 0; j < line.size(); ++j)
            marker(line[j], gradeColour(trendGrade(rows[shown[j]], k)));
        outline(s, box, Grey, unit);
    }

    void selection(int selected)
    {
        if (selected < 0 || selected >= rows.size() || !rows[selected].analysed) return;
        const TrendRow& r = rows[selected];
        const int x = L.xOf(r.takenAt);
        s.line(x, L.body.top(), x, L.ratios.back().bottom(), Red, unit, Qt::DashLine);
        const int y = L.yBody(r.BodyEnergy), h = 2 * half;
        outline(s, QRect(QPoint(x - h, y - h), QPoint(x + h, y + h)), Red, 2 * unit);
    }
};

} // namespace

void paintTrendChart(ChartSurface& s, const QVector<TrendRow>& rows, bool male, QSize size, int selected,
                     int unit, const NoiseFigures* noise)
{
    TrendPainter p(s, rows, male, size, unit, noise);
    p.panels();
    p.timeGrid();
    p.bodyEnergy();
    for (int k = 0; k < TrendRatioCount; ++k)
        p.ratio(k);
    p.selection(selected);
}

int trendRowAt(const TrendLayout& L, const QVector<TrendRow>& rows, QPoint p, int tolerance)
{
    if (p.y() < L.body.top() || p.y() > L.ratios.back().bottom()) return -1;
    int best = -1, bestDistance = tolerance + 1;
    for (int i = 0; i < rows.size(); ++i) {
        if (!rows[i].analysed) continue;
        const int d = std::abs(L.xOf(rows[i].takenAt) - p.x());
        if (d < bestDistance) {
            best = i;
            bestDistance = d;
        }
    }
    return best;
}

QFont trendChartFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(12);
    return font;
}

QImage renderTrendChart(const QVector<TrendRow>& rows, bool male, QSize size, int selected,
                        const NoiseFigures* noise)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(QGuiApplication::palette().color(QPalette::Button));
    QPainter p(&image);
    p.setFont(trendChartFont());
    ChartSurface s(p);
    paintTrendChart(s, rows, male, size, selected, 1, noise);
    return image;
}

} // namespace lumo
