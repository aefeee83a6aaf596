#include "comparison/ui/tzumuti1.h"
#include "records/searchfields.h"
#include "widgets/actions.h"
#include "widgets/columnfit.h"
#include "widgets/keyboard.h"
#include "widgets/screensize.h"

#include "base/formats.h"
#include "comparison/comparisonrecords.h"
#include "practice/masking.h"
#include "records/measurements.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzuread.h"
#include "records/ui/tzusave.h"
#include "shell/sharedstate.h"

#include <QAction>
#include <QEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QTableView>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QTableWidget* grid(int rows, int columns, const QStringList& headers, const QString& name, QWidget* parent)
{
    auto* t = new QTableWidget(rows, columns, parent);
    t->setObjectName(name);
    t->setHorizontalHeaderLabels(headers);
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSelectionMode(QAbstractItemView::SingleSelection);
    t->verticalHeader()->hide();
    t->verticalHeader()->setDefaultSectionSize(22);
    return t;
}

} // namespace

TZuMuti1::TZuMuti1(SharedState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("TZuMuti1"));
    setWindowTitle(u("比對分析資料異動"));
    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const char* buttons[3][2] = {
        {"載入資料", "載入比對資料"}, {"移  除", "清除已載入的比對資料"}, {"離  開", ""}};
    for (auto& b : buttons) {
        QAction* a = toolbar->addAction(u(b[0]));
        if (*b[1]) a->setToolTip(u(b[1]));
        m_actions << a;
    }
    connect(m_actions[0], &QAction::triggered, this, &TZuMuti1::ToolButtonLoadClick);
    connect(m_actions[1], &QAction::triggered, this, &TZuMuti1::ToolButtonRemoveClick);
    connect(m_actions[2], &QAction::triggered, this, &QDialog::accept);

    m_picker = new SubjectPicker(state, *state.MainDatabase,
                                 {QStringLiteral("Index"), u("編  號"), u("姓  名"), u("性別"), u("生 日"),
                                  u("年齡"), u("電  話"), u("地  址"), QStringLiteral("E-MAIL"),
                                  u("行動電話"), u("傳真")},
                                 saveSearchField, this);
    buildGrids();
    auto* pickedGroup = new QGroupBox(u("比對資料異動欄"), this);
    (new QVBoxLayout(pickedGroup))->addWidget(m_picked);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addWidget(m_picker, 3);
    layout->addWidget(m_measurements, 2);
    layout->addWidget(pickedGroup);
    // Wide enough for the 24 values side by side on a 1366-pixel screen.
    openAt(this, QSize(1350, 720));

    toolBarAfter(m_picked, toolbar); // Tab: the lists first, then the buttons acting on them
    connect(m_picker, &SubjectPicker::currentChanged, this, &TZuMuti1::fillMeasurements);
    // Another workstation's measurements of the current subject show at once.
    connect(m_picker, &SubjectPicker::changedElsewhere, this, [this](const QString& table) {
        if (table == QLatin1String("ZUDATA")) fillMeasurements();
    });
    connect(m_picker, &SubjectPicker::rowEntered, this, [this] {
        m_rules.enterSubjects();
        applyRules();
    });
    connect(m_picker, &SubjectPicker::focusEntered, this, [this] {
        m_rules.enterSubjects();
        applyRules();
    });
    // Enter on a subject goes on to its measurements; Enter on a measurement adds it.
    connect(m_picker, &SubjectPicker::returnPressed, this, [this] {
        if (!m_rows.isEmpty()) m_measurements->setFocus(Qt::TabFocusReason);
    });
    connect(m_picker, &SubjectPicker::sortChanged, this, [this] {
        m_rules.sortChanged();
        applyRules();
    });

    // Opening.
    m_rules.opened();
    m_picker->applyRememberedSort();
    m_picker->selectPosition(m_picker->list().findPrefix(SubjectField::CUSTNO, state.CurrentSubject.CUSTNO));
    fillMeasurements();
    fillPicked();
    connect(&m_state.waitingRoom, &WaitingRoomDisplay::changed, this, &TZuMuti1::fillPicked);
    applyRules();
    m_picker->view()->setFocus();
}

void TZuMuti1::buildGrids()
{
    m_measurements = grid(0, 28, measurementGridHeaders(), QStringLiteral("MeasurementGrid"), this);
    m_measurements->installEventFilter(this);
    fitMeasurementColumns(m_measurements);
    connect(m_measurements, &QTableWidget::cellClicked, this,
            [this](int row, int) { enterMeasurementList(row); });
    connect(m_measurements, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        enterMeasurementList(row);
        ToolButtonLoadClick();
    });
    connect(m_measurements, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (row >= 0) enterMeasurementList(row);
    });
    m_picked = grid(MaxPickedRecords, 4, {QStringLiteral("No."), u("編 號"), u("姓 名"), u("   測量時間")},
                    QStringLiteral("PickedGrid"), this);
    m_picked->setMaximumHeight(6 * 22 + m_picked->horizontalHeader()->sizeHint().height() + 4);
    fitColumns(m_picked,
               naturalWidths({QStringLiteral("No."), u("編 號"), u("姓 名"), u("   測量時間")},
                             {QStringLiteral("0"), QStringLiteral("A0000000000"), u("王大同王大同"),
                              dateTimeOfDay(dayNumber(QDateTime(QDate(2000, 12, 31), QTime(23, 59, 59))))},
                             m_picked->horizontalHeader()->font(), m_picked->font()));
    m_picked->installEventFilter(this);
    connect(m_picked, &QTableWidget::cellClicked, this, [this](int row, int) { clickPicked(row); });
    // Moving to a picked row with the arrows chooses it as a click does.
    connect(m_picked, &QTableWidget::currentCellChanged, this, [this](int row, int, int previous, int) {
        if (row >= 0 && row != previous) clickPicked(row);
    });
}

bool TZuMuti1::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_measurements && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            ToolButtonLoadClick();
            return true;
        }
    }
    if (event->type() == QEvent::FocusIn) {
        if (watched == m_measurements) {
            // Reached by the keyboard, the first measurement is the current one.
            if (m_measurements->currentRow() < 0 && !m_rows.isEmpty()) enterMeasurementList(0);
            m_rules.enterMeasurements(int(m_rows.size()));
            applyRules();
        } else if (watched == m_picked) {
            m_rules.enterPickedList();
            applyRules();
        }
    }
    return QDialog::eventFilter(watched, event);
}

QAction* TZuMuti1::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

void TZuMuti1::applyRules()
{
    m_actions[0]->setEnabled(m_rules.loadEnabled());
    m_actions[1]->setEnabled(m_rules.removeEnabled());
    QSignalBlocker block(m_picked);
    m_picked->setCurrentCell(m_rules.selectedRow(), 0);
}

void TZuMuti1::fillMeasurements()
{
    const SubjectRow s = m_picker->currentRow();
    const int was = m_measurements->currentRow();
    const qint64 current = was >= 0 && was < m_rows.size() ? m_rows[was].MKEY : 0;
    m_rows = m_picker->hasCurrentRow() ? MeasurementStore(*m_state.MainDatabase).listForSubject(s.CUSTNO)
                                       : QVector<MeasurementRow>();
    showMeasurementRows(m_measurements, m_rows);
    m_picker->setCountText(countLine(m_picker->list().size(), m_rows.size()));
    // Read again after another workstation's change: the current measurement stays current.
    for (int r = 0; current > 0 && r < m_rows.size(); ++r)
        if (m_rows[r].MKEY == current) {
            QSignalBlocker block(m_measurements);
            m_measurements->setCurrentCell(r, std::max(0, m_measurements->currentColumn()));
        }
}

void TZuMuti1::fillPicked()
{
    const auto& set = m_state.PickedRecords;
    for (int r = 0; r < MaxPickedRecords; ++r) {
        const bool held = r < set.size();
        const bool masked = m_state.waitingRoom.on();
        const QStringList cells =
            held ? QStringList{QString::number(r + 1), masked ? maskedNumber(set[r].CUSTNO) : set[r].CUSTNO,
                               masked ? maskedName(set[r].NAME) : set[r].NAME, dateTimeOfDay(set[r].ZUDATE)}
                 : QStringList{QString(), QString(), QString(), QString()};
        for (int c = 0; c < 4; ++c)
            m_picked->setItem(r, c, new QTableWidgetItem(cells[c]));
    }
}

void TZuMuti1::enterMeasurementList(int row)
{
    m_rules.enterMeasurements(int(m_rows.size()));
    applyRules();
    if (row >= 0 && row < m_rows.size()) {
        QSignalBlocker block(m_measurements);
        m_measurements->setCurrentCell(row, std::max(0, m_measurements->currentColumn()));
    }
}

void TZuMuti1::clickPicked(int row)
{
    m_rules.clickPicked(row, int(m_state.PickedRecords.size()));
    applyRules();
}

void TZuMuti1::ToolButtonLoadClick()
{
    const int row = m_measurements->currentRow();
    if (row < 0 || row >= m_rows.size()) return;
    const SubjectRow s = m_picker->currentRow();
    if (pickInto(m_state, pickedRecordOf(s, m_rows[row], m_state.compensation)) != PickOutcome::Added) return;
    m_rules.added(int(m_state.PickedRecords.size()));
    fillPicked();
    applyRules();
}

void TZuMuti1::ToolButtonRemoveClick()
{
    if (m_state.PickedRecords.isEmpty()) return;
    const int row = m_rules.selectedRow();
    if (!removePicked(m_state.PickedRecords, row)) return;
    m_rules.removed(row, int(m_state.PickedRecords.size()));
    fillPicked();
    applyRules();
}

} // namespace lumo
