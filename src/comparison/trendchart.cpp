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

// Heights in lines of text (fh): the legend above the chart, the two label
// lines under it, a ratio strip's plot (room for its two limit values), the
// least body plot, and the gap between strips.
int legendHeight(int fh)
{
    return fh * 3 / 2;
}
int labelsHeight(int fh)
{
    return 2 * fh + fh / 2;
}
int minimumStrip(int fh)
{
    return 2 * fh + fh / 2;
}
int minimumBody(int fh)
{
    return 4 * fh;
}
int stripGap(int fh)
{
    return fh / 3;
}

} // namespace

TrendSplit trendSplit(int total, int tableNeeds, int tableLeast, int chartLeast)
{
    const int table = std::min(tableNeeds, std::max(tableLeast, total * 2 / 5));
    const int chart = std::max(chartLeast, total - table);
    return {chart, std::max(0, total - chart)};
}

int TrendLayout::minimumHeight(const QFontMetrics& fm)
{
    const int fh = fm.height();
    return legendHeight(fh) + minimumBody(fh) + fh / 2 + TrendRatioCount * (fh + minimumStrip(fh)) +
           (TrendRatioCount - 1) * stripGap(fh) + labelsHeight(fh) + 1;
}

TrendLayout::TrendLayout(const QVector<TrendRow>& rows, bool male, QSize size, const QFontMetrics& fm,
                         int unitWidth)
    : unit(unitWidth), m_fh(fm.height())
{
    const int fh = m_fh, gap = stripGap(fh);
    const int left = fm.horizontalAdvance(QStringLiteral("000.00")) + fh;
    const int right = size.width() - fh;
    const int top = legendHeight(fh);
    dateLabelY = size.height() - labelsHeight(fh) + fh / 4;
    const int bottom = size.height() - labelsHeight(fh);
    // The body takes about 40 % of the plotted height, each strip 15 %, but no
    // strip less than its two limit values need.
    const int plotted = bottom - top - fh / 2 - TrendRatioCount * fh - (TrendRatioCount - 1) * gap;
    int strip = std::max(minimumStrip(fh), plotted * 15 / 100);
    if (plotted - TrendRatioCount * strip < minimumBody(fh))
        strip = std::max(fh, (plotted - minimumBody(fh)) / TrendRatioCount);
    const int bodyHeight = std::max(fh, plotted - TrendRatioCount * strip);
    body = QRect(QPoint(left, top), QPoint(right, top + bodyHeight));
    // Each ratio's strip has its name on a line of its own above it, so no
    // label covers a point.
    const int stripsTop = body.bottom() + fh / 2;
    for (int i = 0; i < TrendRatioCount; ++i) {
        const int y = stripsTop + i * (fh + strip + gap) + fh;
        ratios[size_t(i)] = QRect(QPoint(left, y), QPoint(right, y + strip));
    }

    double lo = 1e300, hi = -1e300;
    std::array<double, TrendRatioCount> rlo, rhi;
    for (int i = 0; i < TrendRatioCount; ++i) {
        const NormalRange n = trendNormalRange(i, male);
        rlo[size_t(i)] = n.low;
        rhi[size_t(i)] = n.high;
    }
    for (int r = 0; r < rows.size(); ++r) {
        if (!rows[r].analysed) {
            m_slotOfRow << -1;
            continue;
        }
        m_slotOfRow << int(m_rowOfSlot.size());
        m_rowOfSlot << r;
        lo = std::min(lo, rows[r].bandBottom);
        hi = std::max(hi, rows[r].bandTop);
        for (int i = 0; i < TrendRatioCount; ++i) {
            rlo[size_t(i)] = std::min(rlo[size_t(i)], trendRatio(rows[r], i));
            rhi[size_t(i)] = std::max(rhi[size_t(i)], trendRatio(rows[r], i));
        }
    }
    if (!hasPoints()) return;
    m_bodyLow = std::floor(lo / 10) * 10;
    m_bodyHigh = std::ceil(hi / 10) * 10;
    if (m_bodyHigh - m_bodyLow < 20) m_bodyHigh = m_bodyLow + 20;
    // Tick labels at least a line and a half apart.
    const double span = m_bodyHigh - m_bodyLow;
    m_bodyStep = 200;
    for (double step : {5.0, 10.0, 20.0, 25.0, 50.0, 100.0})
        if (body.height() * step / span >= 1.5 * fh) {
            m_bodyStep = step;
            break;
        }
    for (int i = 0; i < TrendRatioCount; ++i) {
        const double pad = (rhi[size_t(i)] - rlo[size_t(i)]) * 0.15;
        m_low[size_t(i)] = std::max(0.0, rlo[size_t(i)] - pad);
        m_high[size_t(i)] = rhi[size_t(i)] + pad;
    }
}

int TrendLayout::slotWidth() const
{
    return body.width() / std::max(1, slotCount());
}

int TrendLayout::xOfSlot(int slot) const
{
    const int n = std::max(1, slotCount());
    return body.left() + int((2 * qint64(slot) + 1) * body.width() / (2 * n));
}

int TrendLayout::xOfRow(int row) const
{
    const int slot = slotOfRow(row);
    return slot < 0 ? -1 : xOfSlot(slot);
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

QVector<int> TrendLayout::labelledSlots(int labelWidth) const
{
    QVector<int> chosen;
    const int step = std::max(1, (labelWidth + m_fh + slotWidth() - 1) / std::max(1, slotWidth()));
    for (int s = 0; s < slotCount(); s += step)
        chosen << s;
    return chosen;
}

std::pair<int, int> TrendLayout::limitLabelTops(int ratio, bool male) const
{
    const QRect& box = ratios[size_t(ratio)];
    const NormalRange n = trendNormalRange(ratio, male);
    int high = std::clamp(yRatio(ratio, n.high), box.top(), box.bottom()) - m_fh / 2;
    int low = std::clamp(yRatio(ratio, n.low), box.top(), box.bottom()) - m_fh / 2;
    if (low - high < m_fh) { // a band narrower than a line: the values move apart
        high -= (m_fh - (low - high) + 1) / 2;
        low = high + m_fh;
    }
    if (high < box.top()) {
        high = box.top();
        low = std::max(low, high + m_fh);
    }
    if (low + m_fh > box.bottom() + 1) {
        low = box.bottom() + 1 - m_fh;
        high = std::min(high, low - m_fh);
    }
    return {high, low};
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
    int half = 3; // of a marker
    QVector<TrendLabel> labels;
    const NoiseFigures* noise = nullptr;

    TrendPainter(ChartSurface& surface, const QVector<TrendRow>& r, bool isMale, QSize sz, int u,
                 const NoiseFigures* n)
        : s(surface), rows(r), male(isMale), size(sz), unit(u),
          L(r, isMale, sz, surface.painter().fontMetrics(), u), fh(surface.textHeight()), noise(n)
    {
        // Markers shrink where the visits crowd (hundreds of measurements).
        half = std::clamp(L.slotWidth() / 3, 1, 3) * unit;
    }

    void text(int x, int y, const QString& t, const QColor& c)
    {
        s.text(x, y, t, c);
        labels << TrendLabel{QRect(x, y, s.textWidth(t), fh), t};
    }
    void rightAligned(int right, int top, const QString& t, const QColor& c)
    {
        text(right - s.textWidth(t), top, t, c);
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
        text(L.body.left(), fh / 4, u("身體能量 (uA)"), Black);
        const int key = L.body.left() + s.textWidth(u("身體能量 (uA)")) + fh;
        s.fillRect(key, fh / 4 + fh / 4, key + fh, fh / 4 + fh * 3 / 4, Corridor);
        text(key + fh + fh / 3, fh / 4, u("生理界線"), Black);
        if (!noise) return;
        const int change = key + fh + fh / 3 + s.textWidth(u("生理界線")) + fh;
        s.hatchedRect(change, fh / 4 + fh / 4, change + fh, fh / 4 + fh * 3 / 4, ChangeHatch, ChangeHatch,
                      Qt::BDiagPattern, unit);
        text(change + fh + fh / 3, fh / 4, noRealChangeText(), Black);
    }

    // The span around the first visit's value that is no real change, over
    // the visits; `y` maps a value, `clip` the panel it is drawn in.
    template <typename Y> void changeBand(double first, double mdcPct, const QRect& clip, Y y)
    {
        if (!noise || L.slotCount() < 2) return;
        const ChangeBand b = noChangeBand(first, mdcPct);
        const int top = std::max(clip.top(), y(std::min(b.high, 1e6)));
        const int bottom = std::min(clip.bottom(), y(b.low));
        // Hatched, so that the physiological band and the normal ranges beneath stay visible.
        // From the first visit to the last, as the physiological band runs.
        const int right = std::min(clip.right() + 1, L.xOfSlot(L.slotCount() - 1) + 1);
        if (bottom > top)
            s.hatchedRect(L.xOfSlot(0), top, right, bottom, ChangeHatch, ChangeHatch, Qt::BDiagPattern, unit);
    }

    // A later visit whose body energy is no real change from the first's.
    bool noBodyChange(int slot) const
    {
        if (!noise || L.slotCount() < 2 || slot == 0) return false;
        const TrendRow &first = rows[L.rowOfSlot(0)], &later = rows[L.rowOfSlot(slot)];
        return !isRealChange(first.BodyEnergy, later.BodyEnergy,
                             noise->indexFor(NoiseIndex::BodyEnergy, first.takenAt, later.takenAt).mdcPct);
    }

    // Under each labelled visit its time, and its date where the date
    // changes; a dotted line up through the body and the strips.
    void visitAxis()
    {
        const int labelWidth = s.textWidth(shortDate(QDate(2000, 12, 31)));
        QDate previous;
        for (int slot : L.labelledSlots(labelWidth)) {
            const int x = L.xOfSlot(slot);
            s.line(x, L.body.top(), x, L.ratios.back().bottom(), GridGrey, unit, Qt::DotLine);
            const QDateTime at = dateTimeFromDayNumber(rows[L.rowOfSlot(slot)].takenAt);
            auto centred = [&](int y, const QString& t) {
                const int w = s.textWidth(t);
                text(std::clamp(x - w / 2, 0, size.width() - w), y, t, Black);
            };
            if (at.date() != previous) centred(L.dateLabelY, shortDate(at.date()));
            centred(L.dateLabelY + fh, at.time().toString(QStringLiteral("HH:mm")));
            previous = at.date();
        }
        if (!L.hasPoints()) return;
        for (double v = L.bodyLow(); v <= L.bodyHigh() + 1e-9; v += L.bodyStep()) {
            const int y = L.yBody(v);
            s.line(L.body.left(), y, L.body.right(), y, GridGrey, unit, Qt::DotLine);
            rightAligned(L.body.left() - fh / 3, y - fh / 2, fmt("%3.0f", v), Navy);
        }
    }

    QPoint at(int slot, double value, int ratio = -1) const
    {
        return QPoint(L.xOfSlot(slot), ratio < 0 ? L.yBody(value) : L.yRatio(ratio, value));
    }

    // The band as a corridor: its upper limits forward, its lower limits back.
    void bodyEnergy()
    {
        const int n = L.slotCount();
        if (n == 1) {
            const TrendRow& r = rows[L.rowOfSlot(0)];
            const int x = L.xOfSlot(0);
            s.fillRect(x - fh / 2, L.yBody(r.bandTop), x + fh / 2, L.yBody(r.bandBottom), Corridor);
        } else if (n > 1) {
            QVector<QPoint> upper, lower;
            for (int slot = 0; slot < n; ++slot) {
                upper << at(slot, rows[L.rowOfSlot(slot)].bandTop);
                lower << at(slot, rows[L.rowOfSlot(slot)].bandBottom);
            }
            QVector<QPoint> corridor = upper;
            for (auto it = lower.crbegin(); it != lower.crend(); ++it)
                corridor << *it;
            s.polygon(corridor, Corridor);
            s.polyline(upper, Green, unit);
            s.polyline(lower, Green, unit);
        }
        if (n > 0 && noise)
            changeBand(rows[L.rowOfSlot(0)].BodyEnergy,
                       noise
                           ->indexFor(NoiseIndex::BodyEnergy, rows[L.rowOfSlot(0)].takenAt,
                                      rows[L.rowOfSlot(n - 1)].takenAt)
                           .mdcPct,
                       L.body, [this](double v) { return L.yBody(v); });
        QVector<QPoint> energy;
        for (int slot = 0; slot < n; ++slot)
            energy << at(slot, rows[L.rowOfSlot(slot)].BodyEnergy);
        if (energy.size() > 1) s.polyline(energy, Blue, 2 * unit);
        for (int slot = 0; slot < energy.size(); ++slot)
            marker(energy[slot], noBodyChange(slot) ? noChangeMarkerColour() : Blue);
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
            const auto [highTop, lowTop] = L.limitLabelTops(k, male);
            rightAligned(box.left() - fh / 3, highTop, fmt("%4.2f", n.high), Navy);
            rightAligned(box.left() - fh / 3, lowTop, fmt("%4.2f", n.low), Navy);
        }
        text(box.left(), box.top() - fh, trendRatioLabel(k), Black);
        if (L.slotCount() > 0 && noise)
            changeBand(trendRatio(rows[L.rowOfSlot(0)], k),
                       noise
                           ->indexFor(NoiseIndex(k + 1), rows[L.rowOfSlot(0)].takenAt,
                                      rows[L.rowOfSlot(L.slotCount() - 1)].takenAt)
                           .mdcPct,
                       box, [this, k](double v) { return L.yRatio(k, v); });
        QVector<QPoint> line;
        for (int slot = 0; slot < L.slotCount(); ++slot)
            line << at(slot, trendRatio(rows[L.rowOfSlot(slot)], k), k);
        if (line.size() > 1) s.polyline(line, Navy, unit);
        for (int slot = 0; slot < line.size(); ++slot)
            marker(line[slot], gradeColour(trendGrade(rows[L.rowOfSlot(slot)], k)));
        outline(s, box, Grey, unit);
    }

    void selection(int selected)
    {
        const int x = L.xOfRow(selected);
        if (x < 0) return;
        s.line(x, L.body.top(), x, L.ratios.back().bottom(), Red, unit, Qt::DashLine);
        const int y = L.yBody(rows[selected].BodyEnergy), h = 2 * half;
        outline(s, QRect(QPoint(x - h, y - h), QPoint(x + h, y + h)), Red, 2 * unit);
    }
};

} // namespace

QVector<TrendLabel> paintTrendChart(ChartSurface& s, const QVector<TrendRow>& rows, bool male, QSize size,
                                    int selected, int unit, const NoiseFigures* noise)
{
    TrendPainter p(s, rows, male, size, unit, noise);
    p.panels();
    p.visitAxis();
    p.bodyEnergy();
    for (int k = 0; k < TrendRatioCount; ++k)
        p.ratio(k);
    p.selection(selected);
    return p.labels;
}

int trendRowAt(const TrendLayout& L, QPoint p, int tolerance)
{
    if (p.y() < L.body.top() || p.y() > L.ratios.back().bottom()) return -1;
    int best = -1, bestDistance = tolerance + 1;
    for (int slot = 0; slot < L.slotCount(); ++slot) {
        const int d = std::abs(L.xOfSlot(slot) - p.x());
        if (d < bestDistance) {
            best = L.rowOfSlot(slot);
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
