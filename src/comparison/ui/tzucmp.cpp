#include "comparison/ui/tzucmp.h"

#include "practice/audit.h"
#include "widgets/actions.h"

#include "analysis/reportfilename.h"
#include "analysis/ui/printsetup.h"
#include "comparison/ui/chartbox.h"
#include "comparison/ui/comparisonprinting.h"
#include "comparison/ui/recordblockview.h"
#include "records/measurementextras.h"
#include "records/ui/tzuread.h"
#include "shell/sharedstate.h"
#include "widgets/modal.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QLabel>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

TZuCmp::TZuCmp(SharedState& state, QWidget* parent)
    : QDialog(parent), m_state(state), m_cmp(state.CurrentSubject, state.energy)
{
    setObjectName(QStringLiteral("TZuCmp"));
    setWindowTitle(u("能量比對"));
    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [&](const char* caption, const char* hint) {
        QAction* a = toolbar->addAction(u(caption));
        a->setToolTip(u(hint));
        a->setStatusTip(u(hint));
        m_actions << a;
        return a;
    };
    connect(add("載入資料", "載入比對的能量資料"), &QAction::triggered, this, &TZuCmp::ToolButtonLoadClick);
    connect(add("列  印", "比對資料列印"), &QAction::triggered, this, &TZuCmp::ToolButtonPrintClick);
    connect(add("列印設定", "印表機與格式設定"), &QAction::triggered, this,
            [this] { openPrintSetup(this, m_state.printer); });
    toolbar->addSeparator();
    auto* group = new QActionGroup(this);
    const char* bands[3][2] = {{"原始資料", "繪出原始資料的生理曲線"},
                               {"比對資料", "繪出比對資料的生理曲線"},
                               {"隱  藏", "隱藏生理曲線"}};
    for (int i = 0; i < 3; ++i) {
        m_band[i] = add(bands[i][0], bands[i][1]);
        m_band[i]->setCheckable(true);
        group->addAction(m_band[i]);
        connect(m_band[i], &QAction::triggered, this, [this, i] { chooseBand(BandChoice(i)); });
    }
    toolbar->addSeparator();
    connect(add("離  開", "離開能量比對"), &QAction::triggered, this, &QDialog::reject);

    m_baseBlock = new RecordBlockView(u("1.原始資料"), "%5.2f", u("標準電位"), QStringLiteral("Base"), this);
    m_comparisonBlock =
        new RecordBlockView(u("2.比對資料"), "%5.2f", u("標準電位"), QStringLiteral("Comparison"), this);
    m_baseBlock->followMasking(m_state.waitingRoom);
    m_comparisonBlock->followMasking(m_state.waitingRoom);
    m_chart = new ChartBox(
        comparisonChartFont(),
        [this](ChartSurface& s, QSize size) {
            paintComparisonChart(s, m_cmp.chart(), size.width(), size.height());
        },
        this);
    m_chart->setObjectName(QStringLiteral("ChartBox"));
    m_chart->setAccessibleName(u("經絡能量比對圖"));
    // The specified box is the opening size; an enlarged window enlarges the chart.
    m_chart->setMinimumSize(TwoRecordBox);
    m_chart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(false);

    // Under the chart, in maroon: how the two were taken and what is no real change.
    m_notes = new QLabel(this);
    m_notes->setObjectName(QStringLiteral("QualityNotes"));
    m_notes->setWordWrap(true);
    m_notes->setStyleSheet(QStringLiteral("color: rgb(128,0,0);"));
    if (m_state.MainDatabase) m_cmp.setNoise(practiceNoise(*m_state.MainDatabase, m_state.compensation));
    auto* blocks = new QVBoxLayout;
    blocks->addWidget(m_baseBlock);
    blocks->addWidget(m_comparisonBlock);
    blocks->addStretch(1);
    auto* body = new QHBoxLayout;
    body->addLayout(blocks);
    body->addWidget(m_chart, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addLayout(body, 1);
    layout->addWidget(m_notes); // the width of the screen: the notes are sentences
    layout->addWidget(m_status);

    // Opening: one curve, the base block, an empty comparison block.
    m_baseBlock->showRecord(m_cmp.baseBlock());
    m_comparisonBlock->showRecord(std::nullopt);
    m_status->showMessage(u("請按 [載入資料] 鍵更改欲比對資料。"));
    showBandChoice();
    showNotes();
}

void TZuCmp::showNotes()
{
    m_notes->setText(m_cmp.notes().join(QLatin1Char('\n')));
}

QAction* TZuCmp::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

QString TZuCmp::statusText() const
{
    return m_status->currentMessage();
}

void TZuCmp::showBandChoice()
{
    for (int i = 0; i < 3; ++i) {
        m_band[i]->setEnabled(m_cmp.choiceEnabled(BandChoice(i)));
        m_band[i]->setChecked(m_cmp.band() == BandChoice(i));
    }
}

void TZuCmp::chooseBand(BandChoice choice)
{
    m_cmp.choose(choice);
    showBandChoice();
    m_chart->update();
}

// The browser covers this screen while it is open (hiding a dialog would end
// its modal loop) and fills ComparisonRecord when it loads.
void TZuCmp::ToolButtonLoadClick()
{
    bool loaded = false;
    if (browser) {
        loaded = browser(this);
    } else {
        TZuread screen(m_state, TZuread::LoadMode::Comparison, this);
        execModal(screen);
        loaded = screen.loaded();
    }
    activateWindow();
    if (!loaded) return;
    const MeasurementExtras extras =
        m_state.MainDatabase ? readMeasurementExtras(*m_state.MainDatabase, m_state.ComparisonRecord.MKEY)
                             : MeasurementExtras();
    m_cmp.load(m_state.ComparisonRecord, extras);
    auditOrReport(m_state, {QStringLiteral("comparison.view"),
                            m_state.ComparisonRecord.CUSTNO,
                            m_state.ComparisonRecord.MKEY,
                            {}});
    m_comparisonBlock->showRecord(m_cmp.comparisonBlock());
    showNotes();
    showBandChoice();
    m_chart->update();
}

void TZuCmp::ToolButtonPrintClick()
{
    const TwoRecordPage page = m_cmp.page(m_state.config);
    const QString name = proposedPdfName(page.base.number, page.base.name, reportDate(page.base.takenAt),
                                         u("比對"), m_state.waitingRoom.on());
    QStringList subjects{page.base.number};
    if (page.comparison) subjects << page.comparison->number;
    printComparisonJob(
        this, m_state, twoRecordJobTitle(), [&](ReportPage& p) { return printTwoRecordPage(p, page); }, 10,
        name, subjects);
}

} // namespace lumo
