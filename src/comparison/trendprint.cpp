#include "comparison/trendprint.h"

#include "base/formats.h"
#include "comparison/comparisonprint.h"
#include "comparison/trendchart.h"
#include "measurement/catalogue.h"

#include <algorithm>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}
const QColor Blue(0, 0, 255), Red(255, 0, 0), Green(0, 128, 0), Olive(128, 128, 0);
constexpr int TableSize = TrendReportSize;

// Column starts in millimetres: date, time, potential, body energy, the four
// ratios, meridians high, meridians low. The ratios' columns are as wide as
// their headings, so that the names of the meridians have room for two or
// three of them a line.
const double Columns[10] = {10, 30, 47, 62, 77, 97, 117, 137, 159, 180};
constexpr double ColumnGapMm = 1.5;

QColor gradeColour(int grade)
{
    const int g = std::abs(grade);
    return g <= 1 ? Green : g == 2 ? Olive : Red;
}

void tableHeading(ReportPage& p)
{
    const char* titles[10] = {"測量日期",     "測量時間",     "測量電位",       "身體能量", "精神狀態比值",
                              "左右肌骨系統", "新陳代謝功能", "自律神經平衡度", "偏高經絡", "偏低經絡"};
    for (int c = 0; c < 10; ++c)
        p.text(p.MmInDots(Columns[c]), p.LineCursor, u(titles[c]), Blue, TableSize);
    p.NextLine();
}

// The verdicts, printed under a row's figures from a little right of the
// date to the columns of the meridians' names.
constexpr double VerdictMm = 12;
QStringList verdictLines(const ReportPage& p, const TrendRow& r)
{
    if (!r.analysed) return {};
    QStringList verdicts;
    for (int k = 0; k < TrendRatioCount; ++k)
        verdicts << trendGradeText(r, k, TextStyle::Print);
    const double widthMm = Columns[8] - ColumnGapMm - VerdictMm;
    return wrapText(verdicts.join(u("；")), p.font(TableSize), int(widthMm / 25.4 * 96));
}

// The names in a column of meridians: from its start to the next column's,
// the last one to the page's right margin.
QStringList nameColumn(const ReportPage& p, const QVector<Meridian>& meridians, int column)
{
    const int right =
        column + 1 < 10 ? p.MmInDots(Columns[column + 1] - ColumnGapMm) : p.PrintWidth() - p.MmInDots(3);
    return meridianNameLines(meridians, right - p.MmInDots(Columns[column]),
                             [&p](const QString& s) { return p.textWidth(s, TableSize); });
}

struct RowLines
{
    QStringList verdicts, high, low;
    int count() const { return std::max({1 + int(verdicts.size()), int(high.size()), int(low.size())}); }
};

RowLines rowLines(const ReportPage& p, const TrendRow& r)
{
    if (!r.analysed) return {};
    return {verdictLines(p, r), nameColumn(p, r.meridiansHigh, 8), nameColumn(p, r.meridiansLow, 9)};
}

// `headed`: the page that has the heading. A page the table runs onto gets
// it again before its first row, so no page ends in a heading alone.
void tableRow(ReportPage& p, const TrendRow& r, int& headed)
{
    const RowLines lines = rowLines(p, r);
    // A measurement stays on one page with its verdicts and names.
    p.keepLinesTogether(lines.count());
    if (p.isAbandoned()) return;
    if (headed != p.pageNumber()) {
        tableHeading(p);
        headed = p.pageNumber();
    }
    auto at = [&](int c, const QString& t, const QColor& colour) {
        p.text(p.MmInDots(Columns[c]), p.LineCursor, t, colour, TableSize);
    };
    at(0, shortDateOfDay(r.takenAt), Qt::black);
    at(1, longTimeOfDay(r.takenAt), Qt::black);
    at(2, r.high ? u("高電位") : u("標準電位"), r.high ? Red : Green);
    if (!r.analysed) {
        at(3, u("無法分析"), Red);
        p.NextLine();
        return;
    }
    at(3, fmt("%5.2f", r.BodyEnergy), Qt::black);
    for (int k = 0; k < TrendRatioCount; ++k)
        at(4 + k, fmt("%5.3f", trendRatio(r, k)), gradeColour(trendGrade(r, k)));
    for (int line = 0; line < lines.count(); ++line) {
        if (p.isAbandoned()) return;
        if (line > 0 && line <= lines.verdicts.size())
            p.text(p.MmInDots(VerdictMm), p.LineCursor, lines.verdicts[line - 1], Qt::black, TableSize);
        if (line < lines.high.size()) at(8, lines.high[line], Qt::black);
        if (line < lines.low.size()) at(9, lines.low[line], Qt::black);
        p.NextLine();
    }
}

} // namespace

QStringList meridianNameLines(const QVector<Meridian>& meridians, int width,
                              const std::function<int(const QString&)>& widthOf)
{
    QStringList lines;
    QString line;
    for (Meridian m : meridians) {
        const QString name = shortName(m).remove(QLatin1Char(' '));
        const QString longer = line.isEmpty() ? name : line + u("、") + name;
        if (line.isEmpty() || widthOf(longer) <= width) {
            line = longer;
            continue;
        }
        lines << line;
        line = name;
    }
    if (!line.isEmpty()) lines << line;
    return lines;
}

QString trendJobTitle()
{
    return u("L.U.M.O 歷次能量趨勢資料.");
}
QString trendPageTitle()
{
    return u("L.U.M.O. 歷次能量趨勢報表");
}

bool printTrendPage(ReportPage& p, const TrendPage& in)
{
    if (p.isAbandoned()) return false;
    p.PageNumberText(); // the table can run over several pages
    comparisonPageHeader(p, trendPageTitle(), *in.config, in.printedAt);
    p.LineCursor += p.LineHeight();
    p.text(p.MmInDots(10), p.LineCursor, u("編號:  ") + in.subject.CUSTNO, Qt::black, 10);
    p.text(p.MmInDots(60), p.LineCursor, u("姓名:  ") + in.subject.NAME, Qt::black, 10);
    p.text(p.MmInDots(115), p.LineCursor, u("測量筆數:  ") + QString::number(in.rows.size()), Qt::black, 10);
    p.LineCursor += 2 * p.LineHeight();
    for (const QString& note : in.notes)
        for (const QString& line : wrapText(note, p.font())) {
            p.text(p.MmInDots(10), p.LineCursor, line, QColor(128, 0, 0));
            p.LineCursor += p.LineHeight();
        }
    if (!in.notes.isEmpty()) p.LineCursor += p.LineHeight();

    QPainter& g = p.painter();
    g.save();
    g.setFont(p.font(TableSize));
    // 95 mm, or more where the report font needs it for every label's line.
    const QSize box(p.PrintWidth() - p.MmInDots(20),
                    std::max(p.MmInDots(95), TrendLayout::minimumHeight(g.fontMetrics())));
    ChartSurface s(g, QPoint(p.MmInDots(10), p.LineCursor));
    paintTrendChart(s, in.rows, in.subject.SEX, box, -1, std::max(1, p.MmInDots(0.25)), in.noise);
    g.restore();
    p.LineCursor += box.height() + p.LineHeight();

    if (p.isAbandoned()) return false;
    // The heading goes with the first measurement.
    if (!in.rows.isEmpty()) p.keepLinesTogether(1 + rowLines(p, in.rows.first()).count());
    tableHeading(p);
    int headed = p.pageNumber();
    for (const TrendRow& r : in.rows) {
        if (p.isAbandoned()) return false;
        tableRow(p, r, headed);
    }
    return !p.isAbandoned();
}

} // namespace lumo
