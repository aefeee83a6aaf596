#include "comparison/ui/tzumut.h"

#include "practice/audit.h"
#include "widgets/actions.h"

#include "analysis/reportfilename.h"
#include "analysis/ui/printsetup.h"
#include "comparison/ui/chartbox.h"
#include "comparison/ui/comparisonprinting.h"
#include "comparison/ui/recordblockview.h"
#include "comparison/ui/tzumuti1.h"
#include "shell/sharedstate.h"
#include "widgets/modal.h"

#include <QAction>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
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

TZumut::TZumut(SharedState& state, QWidget* parent)
    : QDialog(parent), m_state(state), m_cmp(state.PickedRecords)
{
    setObjectName(QStringLiteral("TZumut"));
    setWindowTitle(u("多重能量比對"));
    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto add = [&](const char* caption, const char* hint) {
        QAction* a = toolbar->addAction(u(caption));
        a->setToolTip(u(hint));
        m_actions << a;
        return a;
    };
    connect(add("載入資料", "載入比對資料"), &QAction::triggered, this, &TZumut::ToolButtonLoadClick);
    connect(add("列  印", "圖形與比對資料列印"), &QAction::triggered, this, &TZumut::ToolButtonPrintClick);
    connect(add("列印設定", "印表機選項設定"), &QAction::triggered, this,
            [this] { openPrintSetup(this, m_state.printer); });
    connect(add("離  開", "離開能量比對系統"), &QAction::triggered, this, &QDialog::reject);

    m_chart = new ChartBox(
        comparisonChartFont(),
        [this](ChartSurface& s, QSize size) {
            paintComparisonChart(s, m_cmp.chart(), size.width(), size.height());
        },
        this);
    m_chart->setObjectName(QStringLiteral("ChartBox"));
    m_chart->setAccessibleName(u("多重能量比對圖"));
    // The specified box is the opening size; an enlarged window enlarges the chart.
    m_chart->setMinimumSize(MultiBox);
    m_chart->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    auto* listGroup = new QGroupBox(u("受測者資料"), this);
    m_list = new QListWidget(listGroup);
    m_list->setObjectName(QStringLiteral("ListBox1"));
    (new QVBoxLayout(listGroup))->addWidget(m_list);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ListBox1Click(m_list->row(item)); });
    // The selection, not the current row: a list given the focus makes its
    // first item current without anyone choosing it.
    connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
        const QList<QListWidgetItem*> chosen = m_list->selectedItems();
        if (!chosen.isEmpty()) ListBox1Click(m_list->row(chosen.first()));
    });
    m_header = new RecordBlockView(QString(), "%7.1f", u("標準"), QStringLiteral("Entry"), this);
    m_header->followMasking(m_state.waitingRoom);
    connect(&m_state.waitingRoom, &WaitingRoomDisplay::changed, this, [this](bool masked) {
        const QStringList items = m_cmp.subjectListItems(masked);
        for (int i = 0; i < m_list->count() && i < items.size(); ++i)
            m_list->item(i)->setText(items[i]);
    });
    m_status = new QStatusBar(this);
    m_status->setSizeGripEnabled(false);

    m_notes = new QLabel(this);
    m_notes->setObjectName(QStringLiteral("QualityNotes"));
    m_notes->setWordWrap(true);
    m_notes->setStyleSheet(QStringLiteral("color: rgb(128,0,0);"));
    auto* side = new QVBoxLayout;
    side->addWidget(listGroup, 1);
    side->addWidget(m_header);
    side->addWidget(m_notes);
    auto* body = new QHBoxLayout;
    body->addLayout(side);
    body->addWidget(m_chart, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addLayout(body, 1);
    layout->addWidget(m_status);
    refreshFromState();
}

QAction* TZumut::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

QString TZumut::statusText() const
{
    return m_status->currentMessage();
}

void TZumut::refreshFromState()
{
    m_cmp.selectItem(-1);
    {
        QSignalBlocker block(m_list);
        m_list->clear();
        m_list->addItems(m_cmp.subjectListItems(m_state.waitingRoom.on()));
        m_list->clearSelection();
        // No current item either: the first Down chooses entry 1, not entry 2.
        m_list->setCurrentRow(-1);
    }
    m_header->showRecord(std::nullopt);
    m_status->showMessage(m_cmp.statusText());
    QVector<qint64> keys;
    for (const PickedRecord& r : m_state.PickedRecords)
        keys << r.MKEY;
    m_extras = m_state.MainDatabase ? readMeasurementExtras(*m_state.MainDatabase, keys)
                                    : QHash<qint64, MeasurementExtras>();
    m_notes->setText(m_cmp.notes(m_extras).join(QLatin1Char('\n')));
    m_chart->update();
}

// An entry shows its data and band; "[隱藏生理界線]" empties the header and
// takes the band away.
void TZumut::ListBox1Click(int item)
{
    m_cmp.selectItem(item);
    m_header->showRecord(m_cmp.header());
    m_chart->update();
}

// The picker covers this screen while it is open; closing it shows this one
// as it opens.
void TZumut::ToolButtonLoadClick()
{
    if (picker) {
        picker(this);
    } else {
        TZuMuti1 screen(m_state, this);
        execModal(screen);
    }
    activateWindow();
    refreshFromState();
    // The records now compared, by subject and measurement.
    QStringList shown;
    for (const PickedRecord& r : m_state.PickedRecords)
        shown << QStringLiteral("%1/%2").arg(r.CUSTNO).arg(r.MKEY);
    // One row per record compared, under its own subject.
    for (const PickedRecord& r : m_state.PickedRecords)
        auditOrReport(m_state,
                      {QStringLiteral("comparison.view"), r.CUSTNO, r.MKEY, shown.join(QLatin1Char(' '))});
}

void TZumut::ToolButtonPrintClick()
{
    MultiRecordPage page = m_cmp.page(m_state.config);
    page.notes = m_cmp.notes(m_extras);
    const RecordBlock first = page.entries.isEmpty() ? RecordBlock() : page.entries.constFirst();
    const QString name = proposedPdfName(first.number, first.name, reportDate(first.takenAt), u("多重比對"),
                                         m_state.waitingRoom.on());
    QStringList subjects;
    for (const RecordBlock& b : page.entries)
        subjects << b.number;
    printComparisonJob(
        this, m_state, multiRecordJobTitle(), [&](ReportPage& p) { return printMultiRecordPage(p, page); },
        10, name, subjects);
}

} // namespace lumo
