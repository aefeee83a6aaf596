#include "measurement/ui/tzumnu.h"

#include "practice/audit.h"
#include "practice/auditdetail.h"
#include "widgets/actions.h"

#include "base/formats.h"
#include "measurement/earlierparts.h"
#include "records/measurements.h"
#include "shell/sharedstate.h"
#include "widgets/datefield.h"
#include "widgets/valuegrid.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QStatusBar>
#include <QStyledItemDelegate>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// A cell takes only a number: digits, one decimal point and a leading minus
// sign (a negative value empties the cell when it is checked). Typing into a
// cell replaces what it held, and Enter in the open editor checks the value and
// moves on at once, as Enter on the grid does.
class ValueDelegate : public QStyledItemDelegate
{
public:
    ValueDelegate(QObject* parent, std::function<void()> onEnter)
        : QStyledItemDelegate(parent), m_onEnter(std::move(onEnter))
    {
    }

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override
    {
        auto* e = new QLineEdit(parent);
        e->setValidator(new QRegularExpressionValidator(
            QRegularExpression(QStringLiteral("-?[0-9]{0,6}(\\.[0-9]{0,6})?")), e));
        e->setAlignment(Qt::AlignRight);
        return e;
    }
    void setEditorData(QWidget* editor, const QModelIndex& index) const override
    {
        QStyledItemDelegate::setEditorData(editor, index);
        if (auto* e = qobject_cast<QLineEdit*>(editor)) e->selectAll();
    }

protected:
    bool eventFilter(QObject* object, QEvent* event) override
    {
        auto* editor = qobject_cast<QLineEdit*>(object);
        if (editor && event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                emit const_cast<ValueDelegate*>(this)->commitData(editor);
                emit const_cast<ValueDelegate*>(this)->closeEditor(editor, QAbstractItemDelegate::NoHint);
                if (m_onEnter) m_onEnter();
                return true;
            }
        }
        return QStyledItemDelegate::eventFilter(object, event);
    }

private:
    std::function<void()> m_onEnter;
};

} // namespace

QString validatedCellText(const QString& text)
{
    const QString t = text.trimmed();
    bool ok = false;
    double v = (t.isEmpty() ? QStringLiteral("0") : t).toDouble(&ok);
    if (!ok || v <= 0.09) return QString();
    if (v > 200.0) v = 200.0;
    return fmt("%5.1f", v);
}

double cellValueForSave(const QString& text)
{
    const QString t = validatedCellText(text); // a cell left unvalidated is validated first
    return t.isEmpty() ? 0 : std::clamp(t.trimmed().toDouble(), 0.0, 200.0);
}

TZumnu::TZumnu(Mode mode, SharedState& state, MeasurementRow* row, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_state(state), m_row(row)
{
    setObjectName(QStringLiteral("TZumnu"));
    setWindowTitle(u("經絡能量數據輸入"));
    const bool add = mode == Mode::Add;
    QToolBar* toolbar = buildToolbar();
    QWidget* group = buildGrid();
    QLayout* dates = buildDateRow();
    auto* memoGroup = new QGroupBox(u("症狀描述與處置"), this);
    auto* ml = new QVBoxLayout(memoGroup);
    m_memo = new QPlainTextEdit(memoGroup);
    m_memo->setObjectName(QStringLiteral("MemoBox"));
    ml->addWidget(m_memo);
    auto* status = new QStatusBar(this);
    status->setSizeGripEnabled(false);
    status->showMessage(
        add ? u("新增一筆經絡能量資料。請輸入 0.1 - 200.0 的數值，不在這個範圍內將視為無效的輸入值。")
            : u("修改原有資料。請輸入 0.1 - 200.0 的數值，不在這個範圍內將視為無效的輸入值。"));
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addWidget(group);
    layout->addLayout(dates);
    layout->addWidget(memoGroup, 1);
    layout->addWidget(status);
    resize(980, 460);
    setWindowTitle(add ? u("經絡能量數據新增輸入") : u("經絡能量數據修改"));
    openMeasurement();
}

QToolBar* TZumnu::buildToolbar()
{
    auto* toolbar = new QToolBar(this);
    const char* buttons[][2] = {
        {"儲存數據", "儲存能量數據"}, {"清  除", "清除表中數據資料"}, {"離  開", "離開本系統"}};
    for (auto& b : buttons) {
        QAction* a = toolbar->addAction(u(b[0]));
        a->setToolTip(u(b[1]));
        m_actions << a;
    }
    connect(m_actions[0], &QAction::triggered, this, &TZumnu::save);
    connect(m_actions[1], &QAction::triggered, this, &TZumnu::clear);
    connect(m_actions[2], &QAction::triggered, this, &QDialog::reject);
    return toolbar;
}

QWidget* TZumnu::buildGrid()
{
    auto* group = new QGroupBox(m_mode == Mode::Add ? u("經絡能量新增輸入值") : u("經絡能量修改值"), this);
    auto* gl = new QVBoxLayout(group);
    m_grid = addValueGrid(gl, group, measuringGridLabels(), Qt::AlignRight | Qt::AlignVCenter);
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setItemDelegate(new ValueDelegate(m_grid, [this] { enterInCurrentCell(); }));
    m_grid->installEventFilter(this);
    connect(m_grid, &QTableWidget::currentCellChanged, this,
            [this](int, int, int previousRow, int previousColumn) {
                if (previousRow >= 0) validateCell(previousRow, previousColumn);
            });
    connect(m_grid, &QTableWidget::itemChanged, this, [this] { updateClearEnabled(); });
    return group;
}

QLayout* TZumnu::buildDateRow()
{
    auto* potential = new QGroupBox(u("測量電位設定"), this);
    auto* pl = new QHBoxLayout(potential);
    m_high = new QRadioButton(u("高電位測量"), potential);
    m_standard = new QRadioButton(u("標準電位測量"), potential);
    pl->addWidget(m_high);
    pl->addWidget(m_standard);
    m_dateBox = new QCheckBox(this);
    m_dateBox->setObjectName(QStringLiteral("DateBox"));
    m_date = new DateField(this);
    m_date->setObjectName(QStringLiteral("DateEdit"));
    m_time = new TimeField(this);
    m_time->setObjectName(QStringLiteral("TimeEdit"));
    m_date->setMaximumWidth(120);
    m_time->setMaximumWidth(100);
    connect(m_dateBox, &QCheckBox::toggled, this, &TZumnu::setDateEnabled);
    // A date or time that is none is said, after the key or focus change that
    // found it, and the field keeps it selected for retyping.
    auto refuse = [this](QLineEdit* field, const QString& message) {
        m_state.ShowMessageDialog(NoteAttention, message);
        field->setFocus();
        field->selectAll();
    };
    connect(
        m_date, &DateField::refused, this,
        [this, refuse](const QString& t) { refuse(m_date, refusedDateMessage(t)); }, Qt::QueuedConnection);
    connect(
        m_time, &TimeField::refused, this,
        [this, refuse](const QString& t) { refuse(m_time, refusedTimeMessage(t)); }, Qt::QueuedConnection);
    auto* dates = new QHBoxLayout;
    dates->addWidget(potential);
    dates->addWidget(m_dateBox);
    dates->addWidget(new QLabel(u("測量日期"), this));
    dates->addWidget(m_date);
    dates->addWidget(new QLabel(u("測量時間"), this));
    dates->addWidget(m_time);
    dates->addStretch();
    return dates;
}

// Opening: the measurement is copied in; nothing goes back until 儲存數據.
void TZumnu::openMeasurement()
{
    const bool add = m_mode == Mode::Add;
    std::array<double, 24> values{};
    double when = 0;
    bool high = false;
    QString memo;
    if (add) {
        values = m_state.energy.Readings;
        when = m_state.energy.TakenAt;
        high = m_state.energy.VoltageMode;
        memo = m_state.energy.Memo.join(QLatin1Char('\n'));
    } else if (m_row) {
        values = m_row->ZU;
        when = m_row->ZUDATE;
        high = m_row->ZUVOTA;
        memo = QString(m_row->MEMO1).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    }
    fill(values);
    m_memo->setPlainText(memo);
    m_grid->setCurrentCell(0, 0);
    m_grid->setFocus();
    (high ? m_high : m_standard)->setChecked(true);
    if (when >= NoBirthDateLimit) {
        const QDateTime dt = dateTimeFromDayNumber(when);
        m_date->setDate(dt.date());
        m_time->setTime(dt.time());
        m_dateBox->setChecked(true);
        setDateEnabled(true);
    } else {
        m_date->setDate(QDate::currentDate());
        m_time->setTime(QTime::currentTime());
        m_dateBox->setChecked(add);
        setDateEnabled(add);
    }
    updateClearEnabled();
    m_unsaved.settle();
}

QString TZumnu::shownText(int row, int column) const
{
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    if (editor && m_grid->isAncestorOf(editor) && m_grid->currentRow() == row &&
        m_grid->currentColumn() == column)
        return editor->text();
    return m_grid->item(row, column)->text();
}

// The values as they would be stored (a cell shown as " 12.5" or "12.5" is
// one value), the potential, the date and time as typed, and the memo.
QString TZumnu::snapshot() const
{
    QStringList parts;
    for (int p = 1; p <= 24; ++p) {
        const GridCell c = gridCellOfPoint(p);
        parts << QString::number(cellValueForSave(shownText(c.row - 1, c.column - 1)), 'f', 1);
    }
    parts << QString::number(m_high->isChecked()) << QString::number(m_dateBox->isChecked()) << m_date->text()
          << m_time->text() << m_memo->toPlainText();
    return parts.join(QLatin1Char('\x1f'));
}

void TZumnu::reject()
{
    if (m_unsaved.changed()) {
        m_state.playTone(1);
        if (!m_state.ShowMessageDialog(AskAttention, discardChangesQuestion())) return;
    }
    QDialog::reject();
}

QAction* TZumnu::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

void TZumnu::setDateEnabled(bool on)
{
    m_date->setEnabled(on);
    m_time->setEnabled(on);
}

void TZumnu::fill(const std::array<double, 24>& values)
{
    QSignalBlocker block(m_grid);
    for (int p = 1; p <= 24; ++p) {
        const GridCell c = gridCellOfPoint(p);
        const double v = values[size_t(p - 1)];
        m_grid->item(c.row - 1, c.column - 1)->setText(v == 0 ? QString() : fmt("%3.1f", v));
    }
}

QString TZumnu::cellText(int point) const
{
    const GridCell c = gridCellOfPoint(point);
    return m_grid->item(c.row - 1, c.column - 1)->text();
}

void TZumnu::updateClearEnabled()
{
    bool any = false;
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 12; ++c)
            any |= !m_grid->item(r, c)->text().trimmed().isEmpty();
    m_actions[1]->setEnabled(any);
}

void TZumnu::validateCell(int row, int column)
{
    QTableWidgetItem* item = m_grid->item(row, column);
    if (!item) return;
    const QString v = validatedCellText(item->text());
    if (v != item->text()) item->setText(v);
    updateClearEnabled();
}

void TZumnu::validateAll()
{
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 12; ++c)
            validateCell(r, c);
}

void TZumnu::enterInCurrentCell()
{
    if (QTableWidgetItem* item = m_grid->currentItem()) typeAndEnter(item->text());
}

void TZumnu::typeAndEnter(const QString& text)
{
    const int r = m_grid->currentRow(), c = m_grid->currentColumn();
    m_grid->item(r, c)->setText(text);
    validateCell(r, c);
    if (m_grid->item(r, c)->text().isEmpty()) return; // an empty result keeps the cursor
    QSignalBlocker block(m_grid);
    if (c < 11)
        m_grid->setCurrentCell(r, c + 1);
    else if (r == 0)
        m_grid->setCurrentCell(1, 0);
}

bool TZumnu::eventFilter(QObject* o, QEvent* e)
{
    if (o == m_grid && e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            enterInCurrentCell();
            return true;
        }
    }
    if (o == m_grid && e->type() == QEvent::FocusOut) validateAll();
    return QDialog::eventFilter(o, e);
}

void TZumnu::save()
{
    // A cell being edited has not been committed (a toolbar button keeps the focus where it is).
    if (auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        editor && m_grid->isAncestorOf(editor) && m_grid->currentItem())
        m_grid->currentItem()->setText(editor->text());
    std::array<double, 24> values{};
    for (int p = 1; p <= 24; ++p)
        values[size_t(p - 1)] = cellValueForSave(cellText(p));
    const bool high = m_high->isChecked();
    // A date or time that is no date is not stored as another one.
    if (m_dateBox->isChecked() && (!m_date->commit() || !m_time->commit())) return;
    const QTime whole = QTime::fromMSecsSinceStartOfDay(m_time->time().msecsSinceStartOfDay() / 1000 * 1000);
    const double when = m_dateBox->isChecked() ? dayNumber(QDateTime(m_date->date(), whole)) : 0;
    const QString memo = m_memo->toPlainText();
    if (m_mode == Mode::Add) {
        EnergySet& e = m_state.energy;
        // A value typed over one kept from an earlier run is of this entry now.
        for (int p = 1; p <= 24; ++p)
            if (values[size_t(p - 1)] != e.Readings[size_t(p - 1)]) pointRenewed(e.Quality, p);
        e.Readings = values;
        e.recompensate(m_state.compensation);
        e.VoltageMode = high;
        e.TakenAt = when;
        e.Memo = memo.isEmpty() ? QStringList() : memo.split(QLatin1Char('\n'));
    } else if (m_row) {
        const MeasurementRow before = *m_row;
        m_row->ZU = values;
        m_row->ZUVOTA = high;
        m_row->ZUDATE = when;
        m_row->MEMO1 = QString(memo).replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
        // Refused when another workstation changed the measurement since it
        // was shown: the screen stays open with what was typed.
        const Status st = auditedChange(
            m_state,
            {QStringLiteral("measurement.change"), m_row->CUSTNO, m_row->MKEY,
             measurementChanges(before, *m_row)},
            [&](AuditEntry&) { return MeasurementStore(*m_state.MainDatabase).update(*m_row); });
        if (!st) {
            *m_row = before; // nothing was stored: the row read stays what it was
            m_state.reportFailure(st);
            return;
        }
    }
    accept();
}

void TZumnu::clear()
{
    if (!m_state.ShowMessageDialog(AskQuestion, u("確定要清除視窗表格中的經絡能量數據嗎?"))) return;
    fill({});
    m_grid->setCurrentCell(0, 0);
    m_actions[1]->setEnabled(false);
    m_grid->setFocus();
    m_standard->setChecked(true);
    m_dateBox->setChecked(true);
    setDateEnabled(true);
    m_date->setDate(QDate::currentDate());
    m_time->setTime(QTime::currentTime());
}

} // namespace lumo
