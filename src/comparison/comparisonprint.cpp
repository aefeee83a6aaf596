#include "comparison/comparisonprint.h"

#include "base/atomicfile.h"
#include "base/formats.h"
#include "shell/configuration.h"

#include <QBuffer>
#include <QPdfWriter>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}
const QColor Blue(0, 0, 255), Red(255, 0, 0), Green(0, 128, 0);

} // namespace

void comparisonPageHeader(ReportPage& p, const QString& title, const Configuration& config,
                          const QDateTime& at)
{
    p.LineCursor = p.MmInDots(10);
    p.textCentred(p.LineCursor, title, Qt::black, 14);
    p.LineCursor += p.MmInDots(4) + p.LineHeight();
    p.textCentred(p.LineCursor, config.UserData1, Blue, 12);
    p.LineCursor += p.LineHeight();
    p.textCentred(p.LineCursor, config.UserData2, Blue, 12);
    p.LineCursor += p.MmInDots(3) + p.LineHeight();
    p.text(p.MmInDots(10), p.LineCursor,
           u("列印時間: ") + shortDate(at.date()) + QStringLiteral(", ") + longTime(at.time()), Qt::black,
           10);
    p.LineCursor += p.LineHeight();
    p.rule(p.MmInDots(3), p.PrintWidth() - p.MmInDots(2), p.LineCursor, 0.2);
    p.LineCursor += p.LineHeight();
}

namespace {

// The two lines of one measurement, from the cursor down; the cursor stays on the second.
void recordLines(ReportPage& p, const RecordBlock& r)
{
    const int y = p.LineCursor;
    p.text(p.MmInDots(10), y, u("編號:  ") + r.number, Qt::black, 10);
    p.text(p.MmInDots(60), y, u("姓名:  ") + r.name, Qt::black, 10);
    p.text(p.MmInDots(115), y, u("體能:  ") + fmt("%5.2f", r.bodyEnergy), Qt::black, 10);
    const QString potential = u("測量電位:  ");
    p.text(p.MmInDots(160), y, potential, Qt::black, 10);
    p.text(p.MmInDots(160) + p.textWidth(potential, 10), y, r.high ? u("高電位") : u("標準電位"),
           r.high ? Red : Green, 10);
    p.LineCursor += p.LineHeight();
    p.text(p.MmInDots(10), p.LineCursor, u("測量日期:  ") + shortDateOfDay(r.takenAt), Qt::black, 10);
    p.text(p.MmInDots(60), p.LineCursor, u("測量時間:  ") + longTimeOfDay(r.takenAt), Qt::black, 10);
}

// The caption at the cursor and the chart three lines below it.
void chartWithCaption(ReportPage& p, const QString& caption, const ComparisonChart& chart)
{
    p.textCentred(p.LineCursor, caption, Blue, 10);
    const int top = p.LineCursor + 3 * p.LineHeight();
    QPainter& g = p.painter();
    g.save();
    g.setFont(p.font(10));
    ChartSurface s(g);
    paintPrintedComparisonChart(s, chart, p, top);
    g.restore();
    p.LineCursor = top + p.MmInDots(100);
}

// Under the records: poor points, condition warnings and the band's source,
// in maroon so that they read as remarks on the data above.
void noteLines(ReportPage& p, const QStringList& notes)
{
    if (notes.isEmpty()) return;
    p.LineCursor += p.LineHeight();
    for (const QString& note : notes)
        for (const QString& line : wrapText(note, p.font()))
            if (!p.isAbandoned()) {
                p.text(p.MmInDots(10), p.LineCursor, line, QColor(128, 0, 0));
                p.LineCursor += p.LineHeight();
            }
}

} // namespace

QString twoRecordJobTitle()
{
    return u("L.U.M.O 能量比對資料.");
}
QString multiRecordJobTitle()
{
    return u("L.U.M.O 多重能量比對資料.");
}

bool printTwoRecordPage(ReportPage& p, const TwoRecordPage& in)
{
    if (p.isAbandoned()) return false;
    comparisonPageHeader(p, u("L.U.M.O. 能量比對分析報表"), *in.config, in.printedAt);
    p.text(p.MmInDots(10), p.LineCursor, u("1. 原始資料"), Blue, 10);
    p.LineCursor += p.MmInDots(3) + p.LineHeight();
    recordLines(p, in.base);
    if (in.comparison) {
        p.LineCursor += p.MmInDots(6) + p.LineHeight();
        p.text(p.MmInDots(10), p.LineCursor, u("2. 比對資料"), Blue, 10);
        p.LineCursor += p.MmInDots(3) + p.LineHeight();
        recordLines(p, *in.comparison);
    }
    noteLines(p, in.notes);
    if (p.isAbandoned()) return false;
    p.LineCursor += p.MmInDots(10) + p.LineHeight();
    chartWithCaption(p, u("能量比對圖"), in.chart);
    return !p.isAbandoned();
}

bool printMultiRecordPage(ReportPage& p, const MultiRecordPage& in)
{
    if (p.isAbandoned()) return false;
    comparisonPageHeader(p, u("L.U.M.O. 多重能量比對分析報表"), *in.config, in.printedAt);
    for (int n = 1; n <= in.entries.size(); ++n) {
        p.text(p.MmInDots(5), p.LineCursor, QString::number(n) + QStringLiteral(": "), Blue, 10);
        recordLines(p, in.entries[n - 1]);
        p.LineCursor += p.LineHeight();
    }
    noteLines(p, in.notes);
    if (p.isAbandoned()) return false;
    p.LineCursor += p.MmInDots(10);
    chartWithCaption(p, u("多重能量比對圖"), in.chart);
    return !p.isAbandoned();
}

bool printOnDevice(QPagedPaintDevice& device, const std::function<bool(ReportPage&)>& draw,
                   const std::function<void()>& discard, int reportSize)
{
    QPainter painter(&device);
    ReportPage page(painter, device, true, reportSize);
    const bool finished = draw(page);
    if (!finished && discard) discard();
    painter.end();
    return finished;
}

Status printToPdfFile(const QString& path, const QString& title, const std::function<bool(ReportPage&)>& draw,
                      bool* abandoned, int reportSize)
{
    if (abandoned) *abandoned = false;
    // Drawn in memory first: the file on disk is replaced only by a whole document.
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    bool finished = false;
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        writer.setTitle(title);
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        finished = printOnDevice(writer, draw, {}, reportSize);
    }
    if (!finished) {
        if (abandoned) *abandoned = true;
        return Status::success();
    }
    if (buffer.data().isEmpty())
        return Status::failure(QString::fromUtf8("%1：報表頁面無法產生，檔案未寫入。").arg(path));
    return writeFileAtomically(path, buffer.data());
}

} // namespace lumo
