#include "analysis/report.h"
#include "analysis/reportquality.h"

#include "analysis/charts.h"
#include "base/formats.h"
#include "records/programs.h"

#include "base/atomicfile.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QPdfWriter>
#include <iterator>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}
const QColor Blue(0, 0, 255), Red(255, 0, 0), Green(0, 128, 0), Olive(128, 128, 0), Maroon(128, 0, 0);

bool opt(const ReportInput& in, int position)
{
    return position <= in.options.size() && in.options.at(position - 1) == QLatin1Char('1');
}

QColor gradeColour(int grade, bool autonomic)
{
    const int g = std::abs(grade);
    if (autonomic) return grade <= 1 ? Green : grade == 2 ? Olive : Red;
    return g <= 1 ? Green : g == 2 ? Olive : Red;
}

void header(ReportPage& p, const ReportInput& in)
{
    if (p.isAbandoned()) return;
    p.PageNumberText();
    const int size = p.reportSize();
    const QString title =
        in.config->UserName2.trimmed().isEmpty() ? u("L.U.M.O.經絡能量分析儀分析報表") : in.config->UserName2;
    p.textCentred(p.LineCursor, title, Qt::black, size + 4);
    p.LineCursor += p.MmInDots(4) + p.LineHeight();
    p.textCentred(p.LineCursor, in.config->UserData1, Blue, size + 2);
    p.LineCursor += p.LineHeight();
    p.textCentred(p.LineCursor, in.config->UserData2, Blue, size + 2);
    const QString date =
        u("測量日期: ") + (in.energy.TakenAt == 0 ? QString() : shortDateOfDay(in.energy.TakenAt));
    const int dateX = p.PrintWidth() - p.MmInDots(10) - p.textWidth(date);
    p.text(dateX, p.LineCursor, date, Qt::black);
    p.LineCursor += p.LineHeight();
    p.text(dateX, p.LineCursor,
           u("測量時間: ") + (in.energy.TakenAt == 0 ? QString() : longTimeOfDay(in.energy.TakenAt)),
           Qt::black);
    p.text(p.MmInDots(10), p.LineCursor, QStringLiteral("Quenta LUMO Version: 5"), Red);
    p.LineCursor += p.LineHeight();
    p.rule(p.MmInDots(3), p.PrintWidth() - p.MmInDots(2), p.LineCursor, 0.2);
    p.LineCursor += p.LineHeight();
}

void subjectBlock(ReportPage& p, const ReportInput& in)
{
    if (p.isAbandoned()) return;
    const SubjectRow& s = in.subject;
    p.text(p.MmInDots(20), p.LineCursor, u("編號:  ") + s.CUSTNO, Qt::black);
    p.text(p.MmInDots(70), p.LineCursor, u("姓名:  ") + s.NAME, Qt::black);
    p.text(p.MmInDots(115), p.LineCursor, u("性別:"), Qt::black);
    p.text(p.MmInDots(115) + p.textWidth(u("性別: ")), p.LineCursor, s.SEX ? u("男 性") : u("女 性"),
           s.SEX ? Green : Red);
    p.text(p.MmInDots(160), p.LineCursor,
           u("生日:  ") + (s.DBIRTH > NoBirthDateLimit ? shortDateOfDay(s.DBIRTH) : QString()), Qt::black);
    p.LineCursor += p.MmInDots(3) + p.LineHeight();
    p.text(p.MmInDots(20), p.LineCursor, u("地址:  ") + s.ADDR, Qt::black);
    p.text(p.MmInDots(115), p.LineCursor, u("電話:  ") + s.TEL, Qt::black);
    p.text(p.MmInDots(160), p.LineCursor,
           u("年齡:  ") +
               (s.DBIRTH >= NoBirthDateLimit ? fmt("%3d", ageInYears(s.DBIRTH, in.today)) : QString()),
           Qt::black);
    p.LineCursor += p.LineHeight();
}

void valueTable(ReportPage& p, const ReportInput& in)
{
    p.LineCursor += p.LineHeight();
    // The mode line and the table's eight lines stay together.
    p.keepTogether(p.MmInDots(2) + 8 * p.LineHeight());
    p.text(p.MmInDots(20), p.LineCursor, u("測量方式:"), Qt::black);
    const bool high = in.energy.VoltageMode;
    p.text(p.MmInDots(20) + p.textWidth(u("測量方式: ")), p.LineCursor,
           high ? u("高電位量測值 (擴大測量法)") : u("標準電位測值 (一般測量法)"), high ? Red : Green);
    p.text(p.MmInDots(178), p.LineCursor, u("單位:  uA"), Qt::black);
    p.LineCursor += p.MmInDots(2) + p.LineHeight();
    const int y = p.LineCursor, L = p.LineHeight();
    QPainter& g = p.painter();
    QPen frame(Qt::black);
    frame.setWidth(std::max(1, p.MmInDots(0.2)));
    g.setPen(frame);
    g.setBrush(Qt::NoBrush);
    g.drawRect(QRect(QPoint(p.MmInDots(13), y), QPoint(p.MmInDots(193), y + 2 * L)));
    QPen thin(Qt::black);
    thin.setWidth(std::max(1, p.MmInDots(1.0 / 8)));
    const int c = p.MmInDots(180) / 12;
    for (int i = 1; i <= 12; ++i) {
        const int x = p.MmInDots(13) + (i - 1) * c;
        g.setPen(thin);
        if (i == 7) {
            g.drawLine(x - 5, y, x - 5, y + 2 * L);
            g.drawLine(x + 5, y, x + 5, y + 2 * L);
        } else {
            g.drawLine(x, y, x, y + 2 * L);
        }
        const QString heading = fullWidthName(Meridian(i - 1));
        p.text(x + std::max(0, (c - p.textWidth(heading)) / 2), y + L / 2, heading, Blue);
        const Meridian m = Meridian(i - 1);
        auto centred = [&](int origin, int yy, const QString& s, const QColor& colour) {
            p.text(origin + (i - 1) * c + std::max(0, (c - p.textWidth(s)) / 2), yy, s, colour);
        };
        const int origin = p.MmInDots(13);
        const int bracketOrigin = i <= 6 ? p.MmInDots(12) : origin;
        for (const int point : {leftPointOf(m), rightPointOf(m)}) {
            const int row = point == leftPointOf(m) ? 3 : 6;
            const double reading = in.energy.Readings[size_t(point - 1)];
            // A value no analysis accepts is not printed as a number (1e308 would run across the page).
            const bool shown = isValidReading(reading);
            const double compensated =
                in.refusal.isEmpty() ? in.analysis.Values[size_t(point - 1)] : compensate(point, reading);
            centred(origin, y + row * L, shown ? fmt("%5.1f", reading).trimmed() : QStringLiteral("---"),
                    Qt::black);
            centred(bracketOrigin, y + (row + 1) * L,
                    QStringLiteral("[") +
                        (shown ? fmt("%5.1f", compensated).trimmed() : QStringLiteral("---")) +
                        QStringLiteral("]"),
                    Maroon);
        }
    }
    p.text(p.MmInDots(3), y + 3 * L + L / 2, u("左　側"), Green);
    p.text(p.MmInDots(3), y + 6 * L + L / 2, u("右　側"), Green);
    g.setPen(thin);
    g.drawLine(p.MmInDots(13), y + 5 * L + L / 2, p.MmInDots(193), y + 5 * L + L / 2);
    p.LineCursor = y + 8 * L;
}

void bodyState(ReportPage& p, const ReportInput& in)
{
    const EnergyAnalysis& a = in.analysis;
    p.NextLine();
    auto caption = [](const char* first, double x, const char* second, double y) {
        return u(first) + fmt("%6.1f", x) + u(second) + fmt("%6.1f", y) + QStringLiteral(" =");
    };
    struct Row
    {
        QString label;
        int labelMm;
        QString caption, range, value, text;
        QColor colour;
    };
    const Row rows[] = {
        {u("身體能量:"), 37, QString(), bodyRangeText(a.male), fmt("%5.2f", a.BodyEnergy),
         bodyText(a.BodyGrade, TextStyle::Print), gradeColour(a.BodyGrade, false)},
        {u("精神狀態比值:"), 30, caption("上", a.UpperTotal, " / 下", a.LowerTotal),
         upperLowerRangeText(a.male), fmt("%5.3f", a.UpperLowerRatio),
         upperLowerText(a.UpperLowerGrade, TextStyle::Print), gradeColour(a.UpperLowerGrade, false)},
        {u("左右肌骨系統:"), 30, caption("左", a.LeftTotal, " / 右", a.RightTotal), leftRightRangeText(),
         fmt("%5.3f", a.LeftRightRatio), leftRightText(a.LeftRightGrade, TextStyle::Print),
         gradeColour(a.LeftRightGrade, false)},
        {u("新陳代謝功能:"), 30, caption("陰", a.YinTotal, " / 陽", a.YangTotal), yinYangRangeText(),
         fmt("%5.3f", a.YinYangRatio), yinYangText(a.YinYangGrade, TextStyle::Print),
         gradeColour(a.YinYangGrade, false)},
        {u("自律神經平衡度:"), 26, caption("高", a.GroupMax, " / 低", a.GroupMin), autonomicRangeText(),
         fmt("%5.3f", a.AutonomicRatio), autonomicText(a.AutonomicGrade),
         gradeColour(a.AutonomicGrade, true)},
    };
    p.keepLinesTogether(int(std::size(rows)));
    for (const Row& r : rows) {
        if (p.isAbandoned()) return;
        p.text(p.MmInDots(r.labelMm), p.LineCursor, r.label, Qt::black);
        if (!r.caption.isEmpty()) p.text(p.MmInDots(60), p.LineCursor, r.caption, Blue);
        p.text(p.MmInDots(105), p.LineCursor, r.range, Blue);
        p.text(p.MmInDots(95), p.LineCursor, r.value, r.colour);
        p.text(p.MmInDots(125), p.LineCursor, r.text, Qt::black);
        p.NextLine();
    }
    p.NextLine();
    // The heading and its two rows on one page.
    p.keepLinesTogether(3);
    if (p.isAbandoned()) return;
    p.text(p.MmInDots(15), p.LineCursor, u("表裡經絡平均能量對應:"), Qt::black);
    p.NextLine();
    const char* pairs[6] = {"【 金 】肺  經 - 大腸經", "【相火】心包經 - 三焦經", "【君火】心  經 - 小腸經",
                            "【 土 】脾  經 - 胃  經", "【 木 】肝  經 - 膽  經", "【 水 】腎  經 - 膀胱經"};
    for (int row = 0; row < 2; ++row) {
        for (int i = 0; i < 3; ++i) {
            const int pair = row * 3 + i;
            const int status = a.PairStatus[size_t(pair)];
            p.text(p.MmInDots(20 + 60 * i), p.LineCursor, u(pairs[pair]), Qt::black);
            p.text(p.MmInDots(60 + 60 * i), p.LineCursor, pairStatusText(status, TextStyle::Print),
                   status == 0   ? Green
                   : status == 1 ? Olive
                                 : Red);
        }
        p.NextLine();
    }
}

// Prints a box's lines: the first in red when asked, the rest in black.
void printLines(ReportPage& p, const QStringList& lines, bool firstRed)
{
    for (int i = 0; i < lines.size(); ++i)
        p.PrintTextLine(lines[i], firstRed && i == 0 ? Red : QColor(Qt::black));
}

void knowledgeSection(ReportPage& p, const ReportInput& in, int kind)
{
    const bool detailed = opt(in, 1);
    const QFont font = p.font();
    const QVector<ListItem>& list = kind == 0   ? in.lists.analysis
                                    : kind == 1 ? in.lists.prescription
                                                : in.lists.diet;
    const char* titles[3] = {"經絡能量辨證  **本資料僅供學術研究參考**",
                             "醫方建議  **本資料僅供學術研究參考**", "養生食療建議"};
    p.sectionStart();
    p.PrintTextLine(u(titles[kind]), Blue);
    p.NextLine();
    KnowledgeTexts& k = *in.knowledge;
    for (int n = 0; n < list.size(); ++n) {
        if (p.isAbandoned()) return;
        const ListItem& item = list[n];
        p.PrintTextLine(QStringLiteral("[ %1 ]").arg(n + 1) + item.text, Blue);
        p.NextLine();
        QStringList main, judgement;
        if (kind == 0 && item.key >= 13) {
            if (detailed) main << k.field(item.key, "DtMA1");
            if (item.key == 13 && bodyEnergyWarning(in.analysis))
                main << QString() << bodyEnergyWarningText();
            const Judgement j = IndexJudgement(in.analysis, item.key);
            judgement << k.field(item.key, j == Judgement::Normal ? "DtMA2"
                                           : j == Judgement::High ? "DtMH1"
                                                                  : "DtML1");
        } else if (kind == 0) {
            if (detailed)
                main << k.field(item.key, "DtMA2") << QString() << k.field(item.key, "DtMA1") << QString();
            const Judgement j = MeridianJudgement(in.analysis, Meridian(item.key - 1));
            if (j == Judgement::High) {
                judgement << k.field(item.key, "DtMH1");
                if (opt(in, 15)) judgement << QString() << k.field(item.key, "DtMH5");
            } else if (j == Judgement::Low) {
                judgement << k.field(item.key, "DtML1");
                if (opt(in, 15)) judgement << QString() << k.field(item.key, "DtML5");
            }
        } else if (kind == 1) {
            const Judgement j = MeridianJudgement(in.analysis, Meridian(item.key - 1));
            const bool high = j == Judgement::High;
            main << k.field(item.key, high ? "DtMH3" : "DtML3");
            if (opt(in, 16)) main << QString() << k.field(item.key, high ? "DtMH2" : "DtML2");
        } else {
            main << k.field(item.key, "DtMA3");
            const Judgement j = MeridianJudgement(in.analysis, Meridian(item.key - 1));
            if (detailed && j == Judgement::High) judgement << k.field(item.key, "DtMH4");
            if (detailed && j == Judgement::Low) judgement << k.field(item.key, "DtML4");
        }
        if (p.isAbandoned()) return;
        const QStringList mainLines = wrapText(main.join(QLatin1Char('\n')), font);
        const QStringList judgementLines =
            judgement.isEmpty() ? QStringList() : wrapText(judgement.join(QLatin1Char('\n')), font);
        if (!main.isEmpty()) {
            printLines(p, mainLines, kind == 1);
            p.NextLine();
        }
        if (!judgementLines.isEmpty()) {
            // Compact print shows an index entry's verdict line only.
            const bool onlyFirst = kind == 0 && item.key >= 13 && !detailed;
            printLines(p, onlyFirst ? judgementLines.mid(0, 1) : judgementLines, true);
            p.NextLine();
        }
    }
}

// In place of every verdict of a measurement the analysis refuses.
void unanalysable(ReportPage& p, const ReportInput& in)
{
    p.sectionStart();
    p.PrintTextLine(unanalysableText(), Red);
    printLines(p, wrapText(in.refusal, p.font()), false);
    p.NextLine();
}

void treatmentRecord(ReportPage& p, const ReportInput& in)
{
    p.sectionStart();
    p.PrintTextLine(u("症狀描述與處置"), Blue);
    p.NextLine();
    if (p.isAbandoned()) return;
    QFont f = p.font(8);
    printLines(p, wrapText(in.treatmentRecord, f), false);
    p.NextLine();
}

void expertPrograms(ReportPage& p, const ReportInput& in)
{
    p.sectionStart();
    p.PrintTextLine(u("專家療程建議"), Blue);
    p.NextLine();
    // As the screen says it: an empty section would read as a report cut short.
    if (in.userPrograms.isEmpty()) {
        p.PrintTextLine(u("沒有符合條件的專家療程。"));
        p.NextLine();
        return;
    }
    std::optional<ProgramLookup> lookup;
    if (opt(in, 1) && in.programDatabase) lookup.emplace(*in.programDatabase);
    for (int n = 0; n < in.userPrograms.size(); ++n) {
        if (p.isAbandoned()) return;
        const QString name = in.userPrograms[n].trimmed();
        p.PrintTextLine(QStringLiteral("[ %1 ]").arg(n + 1) + name, Red);
        p.NextLine();
        if (lookup) {
            if (auto program = lookup->find(name)) {
                printLines(p, wrapText(program->ProData, p.font()), false);
                p.NextLine();
            }
        }
    }
}

bool isCompletePdf(const QByteArray& pdf)
{
    const QByteArray tail = pdf.right(32).trimmed();
    return pdf.startsWith("%PDF-") && tail.endsWith("%%EOF");
}

// The sections in their fixed order, each when ticked and not abandoned.
void analysedSections(ReportPage& p, const ReportInput& in)
{
    const std::pair<int, int> charts[] = {{3, 1},  {8, 2},  {9, 3},  {10, 4},
                                          {12, 5}, {13, 6}, {19, 8}, {20, 9}};
    if (opt(in, 2) && !p.isAbandoned()) valueTable(p, in);
    if (opt(in, 2) && !p.isAbandoned()) printMeasurementQuality(p, in.energy);
    for (auto [option, chart] : charts)
        if (opt(in, option) && !p.isAbandoned()) printChart(p, chart, in.analysis);
    if (opt(in, 4) && !p.isAbandoned()) bodyState(p, in);
    if (opt(in, 5) && !p.isAbandoned()) knowledgeSection(p, in, 0);
    if (opt(in, 11) && !p.isAbandoned()) treatmentRecord(p, in);
    if (opt(in, 14) && !p.isAbandoned()) knowledgeSection(p, in, 1);
    if (opt(in, 6) && !p.isAbandoned()) knowledgeSection(p, in, 2);
    if (opt(in, 7) && !p.isAbandoned()) expertPrograms(p, in);
}

// A measurement the analysis refuses: its values, the refusal in place of
// every verdict, and the treatment record, which needs no analysis.
void refusedSections(ReportPage& p, const ReportInput& in)
{
    if (opt(in, 2) && !p.isAbandoned()) valueTable(p, in);
    if (opt(in, 2) && !p.isAbandoned()) printMeasurementQuality(p, in.energy);
    if (!p.isAbandoned()) unanalysable(p, in);
    if (opt(in, 11) && !p.isAbandoned()) treatmentRecord(p, in);
}

} // namespace

void printChart(ReportPage& p, int chart, const EnergyAnalysis& a)
{
    if (p.pageHeight() - p.MmInDots(5) < p.LineCursor + p.MmInDots(86) + 5 * p.LineHeight()) p.newPage();
    if (p.isAbandoned()) return;
    const int top = p.LineCursor + 3 * p.LineHeight();
    p.NextLine();
    p.textCentred(p.LineCursor, chartTitle(chart), QColor(0, 0, 255), p.reportSize());
    p.NextLine();
    PrintedChartSetting paper;
    paper.dpi = p.dpi();
    paper.lineHeight = p.LineHeight();
    paper.boxLeftMm = 30;
    paper.monochrome = !p.colour();
    QPainter& g = p.painter();
    g.save();
    g.setFont(p.font());
    ChartSurface s(g, QPoint(p.MmInDots(paper.boxLeftMm), top));
    paintPrintedChart(chart, a, s, paper);
    g.restore();
    p.LineCursor += p.MmInDots(90) + 2 * p.LineHeight();
}

ReportOutcome PrintAnalysisReport(const ReportInput& in, QPagedPaintDevice& device,
                                  const std::function<bool()>& abandoned,
                                  const std::function<void()>& discard)
{
    return PrintAnalysisReport(
        in, device, [&device] { device.newPage(); }, abandoned, discard);
}

ReportOutcome PrintAnalysisReport(const ReportInput& in, QPaintDevice& device,
                                  const std::function<void()>& turnPage,
                                  const std::function<bool()>& abandoned,
                                  const std::function<void()>& discard)
{
    ReportOutcome out;
    QPainter painter(&device);
    ReportPage p(painter, device, turnPage, opt(in, 17), opt(in, 18) ? 8 : 10);
    p.abandoned = abandoned;
    header(p, in);
    subjectBlock(p, in);
    if (in.refusal.isEmpty())
        analysedSections(p, in);
    else
        refusedSections(p, in);
    out.abandoned = p.isAbandoned();
    out.pages = p.pagesBegun();
    if (out.abandoned && discard) discard();
    painter.end();
    return out;
}

bool renderReportPdf(const ReportInput& in, QByteArray* pdf, QString* error,
                     const std::function<bool()>& abandoned)
{
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    ReportOutcome o;
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(300);
        writer.setTitle(QString::fromUtf8("L.U.M.O 分析資料."));
        writer.setPageMargins(QMarginsF(0, 0, 0, 0));
        o = PrintAnalysisReport(in, writer, abandoned);
    }
    if (o.abandoned) return false;
    // The writer reports no errors of its own; a whole PDF ends with its end-of-file marker.
    if (!isCompletePdf(buffer.data())) {
        if (error) *error = QStringLiteral("the PDF writer produced no complete file");
        return false;
    }
    *pdf = buffer.data();
    return true;
}

bool printReportToPdf(const ReportInput& in, const QString& path, QString* error,
                      const std::function<bool()>& abandoned)
{
    auto fail = [&](const QString& reason) {
        if (error) *error = reason + QString::fromUtf8("；報表沒有寫入，原有的檔案維持原狀。");
        return false;
    };
    // Refused before the work: a device or a FIFO under the name would be replaced by the rename.
    if (!isRegularOrAbsent(path)) return fail(QStringLiteral("%1: not a regular file").arg(path));
    QByteArray pdf;
    QString reason;
    if (!renderReportPdf(in, &pdf, &reason, abandoned))
        return reason.isEmpty() ? false : fail(QStringLiteral("%1: %2").arg(path, reason));
    const Status s = writeFileAtomically(path, pdf);
    if (!s) return fail(s.error);
    return true;
}

namespace {
QString writtenNotice(const char* report, const QString& path)
{
    return QString::fromUtf8(report) + QStringLiteral("\r\n") +
           QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath());
}
} // namespace

QString pdfWrittenNotice(const QString& path)
{
    return writtenNotice("分析報表已存成 PDF 檔案：", path);
}
QString reportPdfWrittenNotice(const QString& path)
{
    return writtenNotice("報表已存成 PDF 檔案：", path);
}

} // namespace lumo
