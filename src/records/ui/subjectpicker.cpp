#include "records/ui/subjectpicker.h"

#include "records/databasewatch.h"
#include "shell/sharedstate.h"
#include "shell/shortcuts.h"
#include "widgets/columnfit.h"

#include <QAction>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

QStringList sortFieldNames()
{
    return {u("編號"), u("姓名"),   u("性別"),     u("生日"), u("電話"),
            u("地址"), u("e-Mail"), u("行動電話"), u("傳真")};
}

SubjectPicker::SubjectPicker(SharedState& state, Database& db, const QStringList& headers,
                             std::function<SubjectField(int)> searchField, QWidget* parent)
    : QWidget(parent), m_state(state), m_list(db), m_searchField(std::move(searchField))
{
    m_model = new SubjectTableModel(m_list, headers, this);
    m_model->setMasked(state.waitingRoom.on());
    connect(&state.waitingRoom, &WaitingRoomDisplay::changed, m_model, &SubjectTableModel::setMasked);
    m_field = new QComboBox(this);
    m_field->setObjectName(QStringLiteral("SortFieldCombo"));
    m_field->addItems(sortFieldNames());
    m_direction = new QComboBox(this);
    m_direction->setObjectName(QStringLiteral("SortDirectionCombo"));
    m_direction->addItems({u("遞增"), u("遞減")});
    m_search = new QLineEdit(this);
    m_search->setObjectName(QStringLiteral("SearchBox"));
    const QKeySequence filterKey = shortcutFor(CommonAction::Filter).key;
    m_filter = new QLineEdit(this);
    m_filter->setObjectName(QStringLiteral("FilterBox"));
    m_filter->setAccessibleName(u("篩選"));
    m_filter->setPlaceholderText(u("編號、姓名或電話的任一部分"));
    m_filter->setClearButtonEnabled(true);
    m_filter->setToolTip(hintWithKey(u("只列出編號、姓名或任一電話含有這段文字的受測者"), filterKey));
    m_view = new QTableView(this);
    m_view->setObjectName(QStringLiteral("SubjectGrid"));
    m_view->setModel(m_model);
    m_view->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_view->setSelectionMode(QAbstractItemView::SingleSelection);
    m_view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_view->verticalHeader()->hide();
    m_view->verticalHeader()->setDefaultSectionSize(22);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("CountLine"));

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(u("資料查詢方式"), this));
    controls->addWidget(m_field);
    controls->addWidget(new QLabel(u("排列方式"), this));
    controls->addWidget(m_direction);
    controls->addWidget(new QLabel(u("資料搜尋"), this));
    controls->addWidget(m_search, 1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(controls);
    auto* filterRow = new QHBoxLayout;
    auto* filterLabel = new QLabel(u("篩選(&F)"), this);
    filterLabel->setBuddy(m_filter);
    filterRow->addWidget(filterLabel);
    filterRow->addWidget(m_filter, 1);
    layout->addLayout(filterRow);
    layout->addWidget(m_view, 1);
    auto* countRow = new QHBoxLayout;
    countRow->addWidget(new QLabel(u("資料總筆數"), this));
    countRow->addWidget(m_count, 1);
    layout->addLayout(countRow);

    auto sortChosen = [this] { chooseSort(m_field->currentIndex() + 1, m_direction->currentIndex() == 1); };
    connect(m_field, &QComboBox::activated, this, sortChosen);
    connect(m_direction, &QComboBox::activated, this, sortChosen);
    connect(m_search, &QLineEdit::textChanged, this, &SubjectPicker::search);
    connect(m_filter, &QLineEdit::textChanged, this, &SubjectPicker::filter);
    auto* toFilter = new QAction(this);
    toFilter->setShortcut(filterKey);
    // Wherever the focus is in the window: after a screen opened from a tool
    // button closed, the focus is on that button, not in the list.
    toFilter->setShortcutContext(Qt::WindowShortcut);
    connect(toFilter, &QAction::triggered, this, [this] {
        m_filter->setFocus(Qt::ShortcutFocusReason);
        m_filter->selectAll();
    });
    addAction(toFilter);
    setTabOrder(m_search, m_filter);
    setTabOrder(m_filter, m_view);
    connect(m_view->selectionModel(), &QItemSelectionModel::currentRowChanged, this, [this] {
        emit currentChanged();
        if (!m_moving) emit rowEntered();
    });
    // A click enters its row even when the row is already the current one.
    connect(m_view, &QTableView::clicked, this, [this] { emit rowEntered(); });
    connect(m_view, &QTableView::doubleClicked, this, [this] { emit rowDoubleClicked(); });
    m_view->installEventFilter(this);
    m_search->installEventFilter(this);
    m_filter->installEventFilter(this);
    fitColumns();
    connect(&db.watch(), &DatabaseWatch::changed, this, &SubjectPicker::tableChanged);
}

void SubjectPicker::tableChanged(const QString& table)
{
    if (table.isEmpty() || table == QLatin1String("ZUCUST")) reload();
    emit changedElsewhere(table);
}

// A re-read of the list moves the current row without the operator entering one.
void SubjectPicker::refreshModel()
{
    m_moving = true;
    m_model->refresh();
    m_moving = false;
}

bool SubjectPicker::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_view && event->type() == QEvent::FocusIn) {
        emit focusEntered();
        // Tabbing into the list enters its current row, as a click on it does;
        // the screen's own focus on opening enters nothing (a dialog being
        // shown hands its first focus over with the Tab reason, before its
        // window is active).
        const Qt::FocusReason why = static_cast<QFocusEvent*>(event)->reason();
        if ((why == Qt::TabFocusReason || why == Qt::BacktabFocusReason) && hasCurrentRow() &&
            m_view->window()->isActiveWindow())
            emit rowEntered();
    }
    // The order's keys are read as the operator comes to the filter, not on
    // the first keystroke (a large practice takes a moment).
    if (watched == m_filter && event->type() == QEvent::FocusIn) m_list.prepareFilter();
    if (event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
        // The search box's Enter never reaches the screen's default button:
        // it would act on the row entered before the search.
        if ((watched == m_search || watched == m_filter) && (enter || key == Qt::Key_Down)) {
            enterListFromSearch();
            return true;
        }
        if (watched == m_view && enter) emit returnPressed();
        if (watched == m_view && key == Qt::Key_Space && hasCurrentRow()) emit rowEntered();
    }
    return QWidget::eventFilter(watched, event);
}

void SubjectPicker::enterListFromSearch()
{
    if (m_list.size() == 0) return;
    if (!hasCurrentRow()) selectPosition(0);
    m_view->setFocus(Qt::OtherFocusReason);
    emit rowEntered();
}

// Every column wide enough for its heading and for the values it usually
// holds, and wider when the window gives room.
void SubjectPicker::fitColumns()
{
    // Index, number, name, sex, birth date, age, telephone, address, e-mail, mobile, fax.
    const char* typical[11] = {"000000",         "A0000000000",          "王大同王大同",
                               "男性",           "2000/00/00",           "000",
                               "(00) 0000-0000", "台北市中正區重慶南路", "someone@example.com",
                               "0900 000 000",   "(00) 0000-0000"};
    QStringList headings, samples;
    for (int c = 0; c < m_model->columnCount() && c < 11; ++c) {
        headings << m_model->headerData(c, Qt::Horizontal).toString();
        samples << QString::fromUtf8(typical[c]);
    }
    lumo::fitColumns(m_view,
                     naturalWidths(headings, samples, m_view->horizontalHeader()->font(), m_view->font()));
}

void SubjectPicker::applyRememberedSort()
{
    const int f = m_state.SubjectSortField;
    const SubjectField field = subjectFieldOfSort(f);
    m_field->setCurrentIndex(int(field) - 1);
    m_direction->setCurrentIndex(f < 0 ? 1 : 0);
    m_list.sort(field, f < 0);
    refreshModel();
    m_search->clear();
}

void SubjectPicker::chooseSort(int field, bool descending)
{
    const qint64 remembered = hasCurrentRow() ? m_list.keyAt(currentPosition()) : -1;
    m_state.SubjectSortField = descending ? -field : field;
    m_field->setCurrentIndex(field - 1);
    m_direction->setCurrentIndex(descending ? 1 : 0);
    m_list.sort(SubjectField(field), descending);
    refreshModel();
    if (remembered >= 0) selectKey(remembered);
    m_search->setEnabled(true);
    m_view->setFocus();
    emit sortChanged();
}

void SubjectPicker::search(const QString& text)
{
    const int f = std::abs(m_state.SubjectSortField);
    const int pos = m_list.findPrefix(m_searchField(f), text.trimmed());
    if (pos < 0) return; // nothing found: the current row stays
    selectPosition(pos);
    emit searchFound();
}

void SubjectPicker::filter(const QString& text)
{
    const Status st = m_list.setFilter(text);
    refreshModel();
    if (!st) m_state.reportError(st.error);
    selectPosition(0);
    emit currentChanged();
}

int SubjectPicker::currentPosition() const
{
    return m_view->currentIndex().isValid() ? m_view->currentIndex().row() : -1;
}
bool SubjectPicker::hasCurrentRow() const
{
    return currentPosition() >= 0 && currentPosition() < m_list.size();
}
SubjectRow SubjectPicker::currentRow()
{
    return hasCurrentRow() ? m_list.rowAt(currentPosition()) : SubjectRow();
}

void SubjectPicker::selectPosition(int position)
{
    if (position < 0 || position >= m_list.size()) return;
    const QModelIndex i = m_model->index(position, 1);
    // Scrolling to the row must not scroll sideways: the Index column stays in view.
    const int sideways = m_view->horizontalScrollBar()->value();
    m_moving = true;
    m_view->setCurrentIndex(i);
    m_moving = false;
    m_view->scrollTo(i);
    m_view->horizontalScrollBar()->setValue(sideways);
}

bool SubjectPicker::selectKey(qint64 mkey)
{
    const int pos = m_list.positionOf(mkey);
    if (pos < 0) return false;
    selectPosition(pos);
    return true;
}

void SubjectPicker::reload()
{
    const int position = currentPosition();
    const qint64 key = hasCurrentRow() ? m_list.keyAt(position) : -1;
    m_list.reload();
    refreshModel();
    if (key >= 0 && !selectKey(key)) selectPosition(std::min(position, m_list.size() - 1));
}

Status SubjectPicker::removeCurrent()
{
    if (!hasCurrentRow()) return Status::success();
    const int position = currentPosition();
    const Status st = m_list.removeWithMeasurements(m_list.keyAt(position));
    refreshModel();
    selectPosition(std::min(position, m_list.size() - 1));
    return st;
}

void SubjectPicker::setCountText(const QString& text)
{
    m_count->setText(text);
}

} // namespace lumo
