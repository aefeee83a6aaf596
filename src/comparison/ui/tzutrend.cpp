#include "comparison/ui/tzutrend.h"

#include "practice/audit.h"
#include "widgets/actions.h"

#include "analysis/reportfilename.h"
#include "analysis/ui/printsetup.h"
#include "base/formats.h"
#include "comparison/comparisonrecords.h"
#include "comparison/trendchart.h"
#include "comparison/trendprint.h"
#include "comparison/ui/chartbox.h"
#include "comparison/ui/comparisonprinting.h"
#include "practice/masking.h"
#include "records/measurements.h"
#include "shell/sharedstate.h"

#include "widgets/columnfit.h"
#include "widgets/screensize.h"

#include <QAction>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSplitter>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QTableWidgetItem* cell(const QString& text, const QColor& colour = QColor())
{
    auto* item = new QTableWidgetItem(text);
    if (colour.isValid()) item->setForeground(colour);
    return item;
}

// Normal and mild grades in green, marked ones in olive, the extremes in red.
QColor gradeColour(int grade)
{
    const int g = std::abs(grade);
    return g <= 1 ? QColor(0, 128, 0) : g == 2 ? QColor(128, 128, 0) : QColor(255, 0, 0);
}

} // namespace

QStringList trendTableHeaders()
{
    return {u("測量日期"),     u("測量時間"),     u("測量電位"),       u("身體能量"), u("精神狀態比值"),
            u("左右肌骨系統"), u("新陳代謝功能"), u("自律神經平衡度"), u("偏高經絡"), u("偏低經絡")};
}

TZuTrend::TZuTrend(SharedState& state, const SubjectRow& subject, QWidget* parent)
    : QDialog(parent), m_state(state), m_subject(subject)
{
    setObjectName(QStringLiteral("TZuTrend"));
    setWindowTitle(u("歷次能量趨勢"));
    m_measurements = MeasurementStore(*state.MainDatabase).listForSubject(subject.CUSTNO);
    auditOrReport(m_state, {QStringLiteral("trend.view"), subject.CUSTNO, 0,
                            QStringLiteral("%1 measurements").arg(m_measurements.size())});
    m_rows = buildTrend(m_measurements, state.compensation, subject.SEX);
    readNotes();

    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [&](const char* caption, const char* hint) {
        QAction* a = toolbar->addAction(u(caption));
        a->setToolTip(u(hint));
        m_actions << a;
        return a;
    };
    connect(add("載入比對", "將選取的測量資料加入多重比對"), &QAction::triggered, this,
            &TZuTrend::ToolButtonPickClick);
    connect(add("列  印", "歷次趨勢列印"), &QAction::triggered, this, &TZuTrend::ToolButtonPrintClick);
    connect(add("列印設定", "印表機與格式設定"), &QAction::triggered, this,
            [this] { openPrintSetup(this, m_state.printer); });
    connect(add("離  開", "離開歷次能量趨勢"), &QAction::triggered, this, &QDialog::reject);
    m_actions[0]->setEnabled(false);

    auto* heading = new QLabel(this);
    heading->setObjectName(QStringLiteral("TrendHeading"));
    const auto showHeading = [this, heading](bool masked) {
        const ShownSubject shown = shownSubject(m_subject, masked);
        heading->setText(u("編號:  ") + shown.CUSTNO + u("      姓名:  ") + shown.NAME +
                         u("      測量筆數:  ") + QString::number(m_rows.size()) + u("      無法分析:  ") +
                         QString::number(m_rows.size() - analysedCount(m_rows)));
    };
    showHeading(state.waitingRoom.on());
    connect(&state.waitingRoom, &WaitingRoomDisplay::changed, heading, showHeading);
    m_chart = new ChartBox(
        trendChartFont(),
        [this](ChartSurface& s, QSize size) {
            paintTrendChart(s, m_rows, m_subject.SEX, size, m_selected, 1, &m_noise);
        },
        this);
    m_chart->setObjectName(QStringLiteral("TrendChart"));
    m_chart->setAccessibleName(u("歷次能量趨勢圖"));
    // Tall enough that every label of the four strips has its line.
    m_chart->setMinimumSize(640, TrendLayout::minimumHeight(QFontMetrics(m_chart->font())));
    m_chart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_chart->clicked = [this](QPoint p) { clickChart(p); };
    m_table = new QTableWidget(0, 10, this);
    m_table->setObjectName(QStringLiteral("TrendTable"));
    m_table->setHorizontalHeaderLabels(trendTableHeaders());
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->verticalHeader()->hide();
    // A ratio's verdict and the meridians' names wrap inside their cells, so
    // every column fits the window and no column hides beyond its edge.
    m_table->setWordWrap(true);
    m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    connect(m_table->horizontalHeader(), &QHeaderView::sectionResized, this, &TZuTrend::fitRowHeight);
    connect(m_table, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (row >= 0 && row != m_selected) select(row);
    });
    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(false);
    m_status->showMessage(u("請點選表格或圖形中的測量資料."));

    // The chart takes the height the table's rows do not need; once the
    // operator moves the handle, the share is theirs.
    m_split = new QSplitter(Qt::Vertical, this);
    auto* split = m_split;
    split->setObjectName(QStringLiteral("TrendSplitter"));
    split->setChildrenCollapsible(false);
    split->addWidget(m_chart);
    split->addWidget(m_table);
    split->setStretchFactor(0, 1);
    split->setStretchFactor(1, 0);
    connect(split, &QSplitter::splitterMoved, this, [this] { m_splitMoved = true; });
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addWidget(heading);
    layout->addWidget(notesLabel());
    layout->addWidget(split, 1);
    layout->addWidget(m_status);
    fillTable();
    openAt(this, QSize(1240, 720));
    // Nothing is chosen on opening: the table, given the focus, would make its first row current.
    m_chart->setFocusPolicy(Qt::StrongFocus);
    m_chart->setFocus();
}

// The band of no real change, and how the visits were taken.
void TZuTrend::readNotes()
{
    m_noise = practiceNoise(*m_state.MainDatabase, m_state.compensation);
    QVector<qint64> keys;
    for (const MeasurementRow& m : m_measurements)
        keys << m.MKEY;
    m_notes = trendNotes(m_rows, m_measurements, readMeasurementExtras(*m_state.MainDatabase, keys));
    m_notes << m_noise.sourceTextOver(m_rows);
}

// Poor points, differing conditions and the band's source, under the heading.
QLabel* TZuTrend::notesLabel()
{
    auto* notes = new QLabel(m_notes.join(QLatin1Char('\n')), this);
    notes->setObjectName(QStringLiteral("QualityNotes"));
    notes->setWordWrap(true);
    notes->setStyleSheet(QStringLiteral("color: rgb(128,0,0);"));
    return notes;
}

QAction* TZuTrend::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

QString TZuTrend::statusText() const
{
    return m_status->currentMessage();
}

void TZuTrend::fillTable()
{
    m_table->setRowCount(int(m_rows.size()));
    for (int i = 0; i < m_rows.size(); ++i) {
        const TrendRow& r = m_rows[i];
        m_table->setItem(i, 0, cell(shortDateOfDay(r.takenAt)));
        m_table->setItem(i, 1, cell(longTimeOfDay(r.takenAt)));
        m_table->setItem(
            i, 2, r.high ? cell(u("高電位"), QColor(255, 0, 0)) : cell(u("標準電位"), QColor(0, 128, 0)));
        if (!r.analysed) {
            m_table->setItem(i, 3, cell(u("無法分析"), QColor(255, 0, 0)));
            continue;
        }
        m_table->setItem(i, 3, cell(fmt("%5.2f", r.BodyEnergy)));
        for (int k = 0; k < TrendRatioCount; ++k) {
            const QString text = fmt("%5.3f", trendRatio(r, k)) + QStringLiteral("  ") + trendGradeText(r, k);
            m_table->setItem(i, 4 + k, cell(text, gradeColour(trendGrade(r, k))));
        }
        m_table->setItem(i, 8, cell(meridianNames(r.meridiansHigh)));
        m_table->setItem(i, 9, cell(meridianNames(r.meridiansLow)));
    }
    // The widest text of each column, measured once: the rows' height follows
    // the columns' widths without measuring every row again (500 visits).
    const QFontMetrics texts(m_table->font());
    m_widest.fill(0, m_table->columnCount());
    for (int i = 0; i < m_table->rowCount(); ++i)
        for (int c = 0; c < m_table->columnCount(); ++c)
            if (const QTableWidgetItem* item = m_table->item(i, c))
                m_widest[c] = std::max(m_widest[c], texts.horizontalAdvance(item->text()));
    // Date, time, potential, body energy, four ratios with their verdicts and
    // the names of the meridians high and low: about 1,200 pixels in all.
    const QFontMetrics fm(m_table->font());
    const int em = fm.horizontalAdvance(u("經"));
    fitColumns(m_table, {fm.horizontalAdvance(shortDate(QDate(2000, 12, 31))) + em,
                         fm.horizontalAdvance(longTime(QTime(23, 59, 59))) + em, 5 * em, 5 * em, 12 * em,
                         12 * em, 12 * em, 12 * em, 8 * em, 8 * em});
    fitRowHeight();
}

// One height for every row: as many lines as the widest text of the
// narrowest column needs, at most three.
void TZuTrend::fitRowHeight()
{
    const QFontMetrics fm(m_table->font());
    int lines = 1;
    for (int c = 0; c < m_widest.size(); ++c) {
        const int room = std::max(1, m_table->columnWidth(c) - 8);
        lines = std::max(lines, (m_widest[c] + room - 1) / room);
    }
    m_table->verticalHeader()->setDefaultSectionSize(std::min(lines, 3) * fm.lineSpacing() + 6);
    shareHeight();
}

void TZuTrend::shareHeight()
{
    if (m_splitMoved || !m_split) return;
    const int rowHeight = m_table->verticalHeader()->defaultSectionSize();
    const int frame =
        2 * m_table->frameWidth() + m_table->horizontalHeader()->sizeHint().height() +
        (m_table->horizontalScrollBar()->isVisible() ? m_table->horizontalScrollBar()->height() : 0);
    const int total = m_split->height() - m_split->handleWidth();
    const TrendSplit share = trendSplit(total, frame + int(m_rows.size()) * rowHeight, frame + 2 * rowHeight,
                                        m_chart->minimumHeight());
    m_split->setSizes({share.chart, share.table});
}

void TZuTrend::resizeEvent(QResizeEvent* event)
{
    QDialog::resizeEvent(event);
    shareHeight();
}

void TZuTrend::select(int row)
{
    if (row < 0 || row >= m_rows.size()) return;
    m_selected = row;
    m_actions[0]->setEnabled(true);
    if (m_table->currentRow() != row) {
        QSignalBlocker block(m_table);
        m_table->setCurrentCell(row, 0);
        m_table->scrollToItem(m_table->item(row, 0));
    }
    m_chart->update();
}

void TZuTrend::clickChart(QPoint at)
{
    const TrendLayout layout(m_rows, m_subject.SEX, m_chart->size(), QFontMetrics(m_chart->font()));
    const int row = trendRowAt(layout, at, 8);
    if (row >= 0) select(row);
}

// The same limit and duplicate rules as the record picker.
void TZuTrend::ToolButtonPickClick()
{
    if (m_selected < 0) return;
    const qint64 key = m_rows[m_selected].MKEY;
    for (const MeasurementRow& m : m_measurements) {
        if (m.MKEY != key) continue;
        if (pickInto(m_state, pickedRecordOf(m_subject, m, m_state.compensation)) == PickOutcome::Added)
            m_status->showMessage(u("已載入多重比對資料 (") + QString::number(m_state.PickedRecords.size()) +
                                  u(" / 6)"));
        return;
    }
}

void TZuTrend::ToolButtonPrintClick()
{
    TrendPage page{&m_state.config, m_subject, m_rows};
    page.noise = &m_noise;
    page.notes = m_notes;
    const QString name = proposedPdfName(m_subject.CUSTNO, m_subject.NAME, QDate::currentDate(), u("趨勢"),
                                         m_state.waitingRoom.on());
    printComparisonJob(this, m_state, trendJobTitle(), [&](ReportPage& p) { return printTrendPage(p, page); },
                       TrendReportSize, name, {m_subject.CUSTNO});
}

} // namespace lumo
