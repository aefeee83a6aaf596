#include "records/ui/tzuread.h"
#include "practice/audit.h"
#include "practice/auditdetail.h"
#include "practice/ui/guard.h"
#include "records/measurementextras.h"
#include "records/searchfields.h"
#include "widgets/actions.h"

#include "base/formats.h"
#include "records/measurements.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzuredit.h"
#include "records/ui/tzusave.h"
#include "shell/recentsubjects.h"
#include "shell/sharedstate.h"
#include "shell/shortcuts.h"
#include "widgets/columnfit.h"
#include "widgets/keyboard.h"
#include "widgets/modal.h"
#include "widgets/screensize.h"

#include <QAction>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSplitter>
#include <QTableView>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>
#include <utility>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

void showMeasurementRows(QTableWidget* grid, const QVector<MeasurementRow>& rows)
{
    QSignalBlocker block(grid);
    grid->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        const MeasurementRow& m = rows[r];
        QStringList cells = {QString::number(r + 1), ZUDATE_C(m), ZUDATE_T(m), ZUVOTA_C(m)};
        for (double v : m.ZU)
            cells << measurementValueText(v);
        for (int c = 0; c < cells.size(); ++c) {
            auto* item = new QTableWidgetItem(cells[c]);
            // Values under each other by their decimal point.
            if (c >= 4) item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            grid->setItem(r, c, item);
        }
    }
}

void fitMeasurementColumns(QTableWidget* grid)
{
    // Nine points, as the grids of the measuring screen's era were: at the
    // screen's ten the 24 values and their headings need 1,450 pixels.
    QFont font = grid->font();
    font.setPixelSize(12);
    grid->setFont(font);
    grid->horizontalHeader()->setFont(font);
    grid->verticalHeader()->setDefaultSectionSize(QFontMetrics(font).height() + 6);
    QStringList samples = {QStringLiteral("000"), shortDate(QDate(2000, 12, 31)), longTime(QTime(23, 59, 59)),
                           u("標準")};
    for (int i = 0; i < 24; ++i)
        samples << QStringLiteral("000.0");
    QStringList headings;
    for (int c = 0; c < grid->columnCount(); ++c)
        headings << grid->horizontalHeaderItem(c)->text();
    // Tight: the header's own margins only.
    fitColumns(grid, naturalWidths(headings, samples, font, font, 8));
}

QStringList measurementGridHeaders()
{
    QStringList h = {QStringLiteral("Index"), u("測量日期"), u("測量時間"), u("測量方式")};
    const QStringList names = {u("肺經"), u("心包經"), u("心  經"), u("小腸經"), u("三焦經"), u("大腸經")};
    const QStringList feet = {u("脾經"), u("肝  經"), u("腎  經"), u("膀胱經"), u("膽  經"), u("胃  經")};
    for (const QString& side : {u("左-"), u("右-")}) {
        h << side + names[0];
        for (int i = 1; i < 6; ++i)
            h << names[i];
    }
    for (const QString& side : {u("左-"), u("右-")}) {
        h << side + feet[0];
        for (int i = 1; i < 6; ++i)
            h << feet[i];
    }
    return h;
}

TZuread::TZuread(SharedState& state, LoadMode mode, QWidget* parent)
    : QDialog(parent), m_state(state), m_mode(mode)
{
    setObjectName(QStringLiteral("TZuread"));
    setWindowTitle(u("經絡能量資料讀取"));
    QToolBar* toolbar = buildToolbar();
    m_picker =
        new SubjectPicker(state, *state.MainDatabase,
                          {QStringLiteral("Index"), u("編號"), u("姓名"), u("性別"), u("生日"), u("年齡"),
                           u("電話"), u("地址"), QStringLiteral("E-MAIL"), u("行動電話"), u("傳真")},
                          browserSearchField, this);
    m_subjectMemo = new QPlainTextEdit(this);
    m_subjectMemo->setObjectName(QStringLiteral("SubjectMemo"));
    m_subjectMemo->setReadOnly(true);
    m_subjectMemo->setMaximumHeight(60);
    buildMeasurementList();
    m_measurementMemo = new QPlainTextEdit(this);
    m_measurementMemo->setObjectName(QStringLiteral("MeasurementMemo"));
    m_measurementMemo->setReadOnly(true);
    m_measurementMemo->setMaximumHeight(60);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addWidget(m_picker, 3);
    layout->addWidget(m_subjectMemo);
    layout->addWidget(m_measurements, 2);
    layout->addWidget(m_measurementMemo);
    // Wide enough for the 24 values side by side on a 1366-pixel screen.
    openAt(this, QSize(1350, 700));

    // The measurements follow the current subject wherever it moved, and the
    // buttons follow what is current: the subject's while there is one, the
    // measurement's while the subject has one, wherever the focus is.
    connect(m_picker, &SubjectPicker::currentChanged, this, &TZuread::subjectChanged);
    connect(m_picker, &SubjectPicker::rowEntered, this, &TZuread::enterSubjectList);
    connect(m_picker, &SubjectPicker::rowDoubleClicked, this, &TZuread::editSubjectInPlace);
    // Another workstation's measurements of the current subject show at once;
    // a change of the subjects has moved the list already, which refills them.
    connect(m_picker, &SubjectPicker::changedElsewhere, this, [this](const QString& table) {
        if (table != QLatin1String("ZUDATA")) return;
        fillMeasurements();
        refreshCount();
    });
    // The keyboard's way through: a subject found by the search is entered as
    // a click would enter it; Enter on a subject goes on to its measurements,
    // Enter on a measurement loads it.
    connect(m_picker, &SubjectPicker::searchFound, this, &TZuread::enterSubjectList);
    toolBarAfter(m_measurementMemo, toolbar);
    connect(m_picker, &SubjectPicker::returnPressed, this, [this] {
        if (!m_rows.isEmpty()) m_measurements->setFocus(Qt::TabFocusReason);
    });

    // Opening.
    m_picker->applyRememberedSort();
    m_picker->selectPosition(openingPosition());
    subjectChanged();
    m_picker->view()->setFocus();
}

QToolBar* TZuread::buildToolbar()
{
    auto* toolbar = new QToolBar(this);
    const char* buttons[][2] = {{"載入資料", "載入能量數據資料"}, {"客戶修改", "修改受測者資料"},
                                {"客戶刪除", "刪除受測者資料"},   {"修改資料", "修改能量資料"},
                                {"刪除資料", "刪除能量數據資料"}, {"離  開", "離開經絡能量讀取"}};
    for (auto& b : buttons) {
        QAction* a = toolbar->addAction(u(b[0]));
        a->setToolTip(u(b[1]));
        m_actions << a;
    }
    connect(m_actions[0], &QAction::triggered, this, &TZuread::load);
    connect(m_actions[1], &QAction::triggered, this, &TZuread::changeSubject);
    connect(m_actions[2], &QAction::triggered, this, &TZuread::deleteSubject);
    connect(m_actions[3], &QAction::triggered, this, &TZuread::changeMeasurement);
    connect(m_actions[4], &QAction::triggered, this, &TZuread::deleteMeasurement);
    connect(m_actions[5], &QAction::triggered, this, &QDialog::reject);
    // A subject's trend needs two measurements; it stands before 離  開.
    m_trend = new QAction(u("歷次趨勢"), toolbar);
    m_trend->setToolTip(u("受測者的歷次能量趨勢"));
    m_trend->setEnabled(false);
    toolbar->insertAction(m_actions[5], m_trend);
    m_actions << m_trend;
    connect(m_trend, &QAction::triggered, this, &TZuread::showTrend);
    // A subject's own copy of its records, and two subjects made one; both on the subject the list stands on.
    m_exportSubject = new QAction(u("匯出個人資料"), toolbar);
    m_exportSubject->setToolTip(u("將受測者的所有資料匯出為一個資料夾 (FHIR、CSV、分析報表)"));
    m_mergeSubjects = new QAction(u("合併受測者"), toolbar);
    m_mergeSubjects->setToolTip(u("將重覆的受測者合併為一位"));
    // Keys of this screen's own, beside the Tab chain the tool bar is in.
    m_exportSubject->setShortcut(shortcutFor(CommonAction::ExportSubject).key);
    m_mergeSubjects->setShortcut(shortcutFor(CommonAction::MergeSubjects).key);
    for (QAction* a : {m_exportSubject, m_mergeSubjects}) {
        a->setToolTip(hintWithKey(a->toolTip(), a->shortcut()));
        toolbar->insertAction(m_actions[5], a);
        m_actions << a;
    }
    connect(m_exportSubject, &QAction::triggered, this, &TZuread::exportSubject);
    connect(m_mergeSubjects, &QAction::triggered, this, &TZuread::mergeSubjects);
    return toolbar;
}

void TZuread::buildMeasurementList()
{
    m_measurements = new QTableWidget(0, 28, this);
    m_measurements->setObjectName(QStringLiteral("MeasurementGrid"));
    m_measurements->setHorizontalHeaderLabels(measurementGridHeaders());
    for (int c = 4; c < 28; ++c) {
        const int point = c - 3;
        if (point <= 6 || (point >= 13 && point <= 18))
            m_measurements->horizontalHeaderItem(c)->setBackground(QColor(0, 255, 0)); // the left side
    }
    m_measurements->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_measurements->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_measurements->setSelectionMode(QAbstractItemView::SingleSelection);
    m_measurements->verticalHeader()->hide();
    m_measurements->installEventFilter(this);
    fitMeasurementColumns(m_measurements);
    connect(m_measurements, &QTableWidget::cellClicked, this,
            [this](int row, int) { enterMeasurementList(row); });
    connect(m_measurements, &QTableWidget::cellDoubleClicked, this, [this](int row, int) {
        enterMeasurementList(row);
        load();
    });
    connect(m_measurements, &QTableWidget::currentCellChanged, this, [this](int row, int, int, int) {
        if (row >= 0) enterMeasurementList(row);
    });
}

bool TZuread::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_measurements && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if ((key == Qt::Key_Return || key == Qt::Key_Enter) && m_actions[0]->isEnabled()) {
            load();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

// The first subject whose number begins with the current subject's; from the
// measurement screen, then the first whose sort field begins with its value.
int TZuread::openingPosition()
{
    const SubjectRow& cur = m_state.CurrentSubject;
    int pos = m_picker->list().findPrefix(SubjectField::CUSTNO, cur.CUSTNO);
    if (m_mode == LoadMode::MeasurementScreen) {
        const int f = std::abs(m_state.SubjectSortField);
        const QString value = f == 1   ? cur.CUSTNO
                              : f == 2 ? cur.NAME
                              : f == 5 ? cur.TEL
                              : f == 6 ? cur.ADDR
                              : f == 7 ? cur.EMAIL
                              : f == 8 ? cur.TEL2
                                       : cur.TEL3;
        const int again = m_picker->list().findPrefix(browserSearchField(f), value);
        if (again >= 0) pos = again;
    }
    return pos;
}

// A double click changes the subject in the editor without leaving the list.
void TZuread::editSubjectInPlace()
{
    if (!m_picker->hasCurrentRow()) return;
    openSubjectEditor();
    m_picker->reload();
    m_picker->view()->setFocus();
}

// The editor covers the browser instead of hiding it: hiding a dialog ends its modal loop.
void TZuread::openSubjectEditor()
{
    SubjectRow row = m_picker->currentRow();
    if (subjectEditor) {
        subjectEditor(row);
        return;
    }
    TZuREdit editor(TZuREdit::Mode::Change, m_state, *m_state.MainDatabase, row, this);
    execModal(editor);
}

QAction* TZuread::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

void TZuread::subjectChanged()
{
    const SubjectRow s = m_picker->currentRow();
    m_subjectMemo->setPlainText(s.MEMO);
    fillMeasurements();
    refreshCount();
}

void TZuread::fillMeasurements()
{
    const SubjectRow s = m_picker->currentRow();
    const int was = m_measurements->currentRow();
    const qint64 current = was >= 0 && was < m_rows.size() ? m_rows[was].MKEY : 0;
    const qint64 subject =
        m_picker->hasCurrentRow() ? m_picker->list().keyAt(m_picker->currentPosition()) : 0;
    const bool sameSubject = subject == std::exchange(m_listedSubject, subject);
    m_rows = m_picker->hasCurrentRow() ? MeasurementStore(*m_state.MainDatabase).listForSubject(s.CUSTNO)
                                       : QVector<MeasurementRow>();
    showMeasurementRows(m_measurements, m_rows);
    // Read again (another workstation's change, a deletion) the current
    // measurement stays current, or the one now in its place; a subject's list
    // starts on its first measurement, so that its buttons act on one the
    // operator sees marked.
    int row = m_rows.isEmpty() ? -1 : sameSubject ? std::clamp(was, 0, int(m_rows.size()) - 1) : 0;
    for (int r = 0; current > 0 && r < m_rows.size(); ++r)
        if (m_rows[r].MKEY == current) row = r;
    showCurrentMeasurement(row);
}

void TZuread::showCurrentMeasurement(int row)
{
    QSignalBlocker block(m_measurements);
    if (row >= 0 && row < m_rows.size()) {
        m_measurements->setCurrentCell(row, std::max(0, m_measurements->currentColumn()));
        m_measurements->selectRow(row);
        m_measurementMemo->setPlainText(m_rows[row].MEMO1);
    } else {
        m_measurementMemo->clear();
    }
    updateActions();
}

int TZuread::currentMeasurement() const
{
    const int row = m_measurements->currentRow();
    return m_picker->hasCurrentRow() && row >= 0 && row < m_rows.size() ? row : -1;
}

void TZuread::updateActions()
{
    const bool subject = m_picker->hasCurrentRow();
    const bool measurement = currentMeasurement() >= 0;
    for (int i : {0, 3, 4})
        m_actions[i]->setEnabled(measurement);
    for (int i : {1, 2})
        m_actions[i]->setEnabled(subject);
    m_trend->setEnabled(subject && m_rows.size() >= 2);
    m_exportSubject->setEnabled(subject);
    m_mergeSubjects->setEnabled(subject);
    applyRights();
}

void TZuread::refreshCount()
{
    m_picker->setCountText(countLine(m_picker->list().size(), m_rows.size()));
}

void TZuread::enterSubjectList()
{
    updateActions();
}

void TZuread::enterMeasurementList(int row)
{
    showCurrentMeasurement(row);
}

void TZuread::deleteSubject()
{
    if (!allowed(m_state.Session, Permission::Delete)) return;
    m_state.playTone(1);
    if (!m_picker->hasCurrentRow()) return;
    m_picker->view()->setFocus();
    if (!m_state.ShowMessageDialog(AskAttention, u("確定要刪除本受測者的所有資料嗎? (包括所有檢測資料)")))
        return;
    // The subject and its measurements go in one change: an error deletes nothing.
    const SubjectRow subject = m_picker->currentRow();
    const QString detail = subjectDeletion(subject, m_rows);
    const Status st = auditedChange(m_state, {QStringLiteral("subject.delete"), subject.CUSTNO, 0, detail},
                                    [&](AuditEntry&) { return m_picker->removeCurrent(); });
    if (!st) {
        m_state.reportError(st.error);
        m_picker->reload(); // what the list took away may still be there
    }
    subjectChanged();
}

void TZuread::deleteMeasurement()
{
    if (!allowed(m_state.Session, Permission::Delete)) return;
    m_state.playTone(1);
    const int row = currentMeasurement();
    if (row < 0) return;
    m_measurements->setFocus();
    if (!m_state.ShowMessageDialog(AskAttention, u("確定要刪除這筆經絡能量數據嗎?"))) return;
    const qint64 key = m_rows[row].MKEY;
    const QString custNo = m_rows[row].CUSTNO;
    if (key == m_state.CurrentMeasurementKey) m_state.CurrentMeasurementKey = 0;
    const QString detail = m_picker->hasCurrentRow() ? m_picker->currentRow().NAME + QStringLiteral(" ") +
                                                           dateTimeOfDay(m_rows[row].ZUDATE)
                                                     : dateTimeOfDay(m_rows[row].ZUDATE);
    const Status st =
        auditedChange(m_state, {QStringLiteral("measurement.delete"), custNo, key, detail},
                      [&](AuditEntry&) { return MeasurementStore(*m_state.MainDatabase).remove(key); });
    if (!st) m_state.reportError(st.error);
    fillMeasurements();
    refreshCount();
}

void TZuread::changeSubject()
{
    if (!m_picker->hasCurrentRow()) return;
    const qint64 key = m_picker->list().keyAt(m_picker->currentPosition());
    openSubjectEditor();
    m_picker->reload();
    m_picker->selectKey(key);
    m_picker->view()->setFocus();
}

void TZuread::changeMeasurement()
{
    const int row = currentMeasurement();
    if (row < 0) return;
    const qint64 key = m_picker->list().keyAt(m_picker->currentPosition());
    MeasurementRow m = m_rows[row];
    if (measurementEditor) measurementEditor(m);
    m_picker->selectKey(key);
    fillMeasurements();
    m_measurements->setFocus();
}

void TZuread::load()
{
    const int row = currentMeasurement();
    if (row >= 0) {
        const MeasurementRow& m = m_rows[row];
        const SubjectRow s = m_picker->currentRow();
        m_loaded = true;
        m_loadedRow = m;
        m_loadedSubject = s;
        auditOrReport(m_state, {QStringLiteral("subject.view"), s.CUSTNO, m.MKEY, {}});
        if (m_mode == LoadMode::MeasurementScreen) {
            m_state.CurrentSubject = s;
            noteRecentSubject(m_state.DataDirectory, s.CUSTNO);
            EnergySet& e = m_state.energy;
            e.TakenAt = m.ZUDATE;
            e.VoltageMode = m.ZUVOTA;
            e.Memo = m.MEMO1.isEmpty() ? QStringList() : m.MEMO1.split(QStringLiteral("\r\n"));
            e.Readings = m.ZU;
            e.recompensate(m_state.compensation);
            loadMeasurementExtras(*m_state.MainDatabase, m.MKEY, e); // how it was taken
            m_state.CurrentMeasurementKey = m.MKEY;
            m_state.CurrentMeasurementVersion = m.ROWVER;
            m_state.AnalysisChart = 1;
            m_state.AnalysisPage = 0;
            m_state.PointsSinceAnalysis = 0;
        } else {
            m_state.ComparisonRecord = comparisonRecordOf(s, m, m_state.compensation);
        }
    }
    accept();
}

} // namespace lumo
