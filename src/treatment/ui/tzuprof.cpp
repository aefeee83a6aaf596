#include "treatment/ui/tzuprof.h"
#include "widgets/actions.h"
#include "widgets/unsavedchanges.h"

#include "shell/sharedstate.h"
#include "treatment/ui/conditionpanelsview.h"
#include "treatment/ui/programpicture.h"
#include "treatment/ui/programtablemodel.h"
#include "treatment/ui/tzuprom.h"
#include "widgets/contrast.h"
#include "widgets/modal.h"

#include <QAction>
#include <QCheckBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
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

QPushButton* plainButton(const QString& caption, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false); // Enter in a field must not press it
    return b;
}

void gridLook(QAbstractItemView* v)
{
    v->setEditTriggers(QAbstractItemView::NoEditTriggers);
    v->setSelectionBehavior(QAbstractItemView::SelectRows);
    v->setSelectionMode(QAbstractItemView::SingleSelection);
}

} // namespace

TZuProf::TZuProf(SharedState& state, QWidget* parent)
    : QDialog(parent), m_state(state), m_tables(*state.MainDatabase)
{
    setObjectName(QStringLiteral("TZuProf"));
    setWindowTitle(u("自訂專家療程"));
    groupEditor = [this](bool add, QString& remembered) {
        TZuProM editor(add ? TZuProM::Mode::Add : TZuProM::Mode::Edit, m_state,
                       m_program ? &*m_program : nullptr, this);
        editor.setFileChooser(chooser);
        execModal(editor);
        if (add && editor.saved()) remembered = editor.savedNumber();
    };
    buildToolbar();
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("StatusLine"));
    m_status->setFrameShape(QFrame::StyledPanel);
    auto* columns = new QHBoxLayout;
    // An enlarged screen widens the grids as well as the panels.
    columns->addWidget(buildLeftColumn(), 1);
    columns->addWidget(buildRightColumn(), 2);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(findChild<QToolBar*>(QStringLiteral("ToolBar1")));
    layout->addLayout(columns);
    layout->addWidget(m_status);

    // Opening: the programs by number, query mode in the program grid, the
    // first program and its first condition.
    reloadPrograms();
    m_moving = true;
    moveToProgram(programCount() > 0 ? 0 : -1);
    m_moving = false;
    enterGrid(ProgramGrid::Programs);
    m_programGrid->setFocus();
    resize(1260, 710);
}

TZuProf::~TZuProf() = default;

void TZuProf::buildToolbar()
{
    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    const char* buttons[][2] = {{"新增療程", "新增專家療程"},
                                {"修改療程", "修改專家療程"},
                                {"刪除療程", "刪除一筆專家療程"},
                                {"新增條件", "新增一筆療程判斷條件判斷條件"},
                                {"修改條件", "修改療程判斷條件內容"},
                                {"刪除條件", "刪除一筆療程判斷條件"},
                                {"確認異動", "確認異動資料"},
                                {"放  棄", "放棄資料的異動"},
                                {"離  開", "離開本系統"}};
    for (auto& b : buttons) {
        QAction* a = toolbar->addAction(u(b[0]));
        a->setToolTip(u(b[1]));
        m_actions << a;
    }
    connect(m_actions[0], &QAction::triggered, this, &TZuProf::addProgram);
    connect(m_actions[1], &QAction::triggered, this, &TZuProf::modifyProgram);
    connect(m_actions[2], &QAction::triggered, this, &TZuProf::deleteProgram);
    connect(m_actions[3], &QAction::triggered, this, &TZuProf::addCondition);
    connect(m_actions[4], &QAction::triggered, this, &TZuProf::modifyCondition);
    connect(m_actions[5], &QAction::triggered, this, &TZuProf::deleteCondition);
    connect(m_actions[6], &QAction::triggered, this, &TZuProf::confirm);
    connect(m_actions[7], &QAction::triggered, this, &TZuProf::cancelEdit);
    connect(m_actions[8], &QAction::triggered, this, &QDialog::reject);
}

QWidget* TZuProf::buildLeftColumn()
{
    auto* column = new QWidget(this);
    column->setMinimumWidth(420);
    m_programModel = new ProgramTableModel(this);
    m_programGrid = new QTableView(column);
    m_programGrid->setObjectName(QStringLiteral("ProgramGrid"));
    m_programGrid->setAccessibleName(u("療程"));
    m_programGrid->setModel(m_programModel);
    gridLook(m_programGrid);
    m_programGrid->verticalHeader()->hide();
    m_programGrid->verticalHeader()->setDefaultSectionSize(22);
    m_programGrid->horizontalHeader()->setStretchLastSection(true);
    m_programGrid->setColumnWidth(0, 60);
    m_programGrid->setColumnWidth(1, 130);
    m_programGrid->installEventFilter(this);
    connect(m_programGrid->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& i) {
                if (!m_moving) moveToProgram(i.row());
            });
    connect(m_programGrid, &QTableView::pressed, this, [this] { enterGrid(ProgramGrid::Programs); });

    m_count = new QLabel(column);
    m_count->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    m_count->setObjectName(QStringLiteral("CountLine"));

    m_conditionGrid = new QTableWidget(0, 4, column);
    m_conditionGrid->setObjectName(QStringLiteral("ConditionGrid"));
    // Named, so that the two grids can be told apart also while one is empty.
    m_conditionGrid->setAccessibleName(u("療程條件"));
    m_conditionGrid->setHorizontalHeaderLabels(
        {QStringLiteral("Index"), u("必須"), u("條件名稱"), u("說明")});
    gridLook(m_conditionGrid);
    m_conditionGrid->verticalHeader()->hide();
    m_conditionGrid->verticalHeader()->setDefaultSectionSize(22);
    m_conditionGrid->horizontalHeader()->setStretchLastSection(true);
    m_conditionGrid->setColumnWidth(0, 50);
    m_conditionGrid->setColumnWidth(1, 40);
    m_conditionGrid->setColumnWidth(2, 150);
    m_conditionGrid->installEventFilter(this);
    connect(m_conditionGrid, &QTableWidget::currentCellChanged, this, [this](int row) {
        if (!m_moving) moveToCondition(row);
    });
    connect(m_conditionGrid, &QTableWidget::cellPressed, this,
            [this] { enterGrid(ProgramGrid::Conditions); });

    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_programGrid, 3);
    layout->addWidget(m_count);
    layout->addWidget(m_conditionGrid, 2);
    return column;
}

// The current program's description, illustration and program buttons.
QGridLayout* TZuProf::buildProgramData(QWidget* column)
{
    m_description = new QPlainTextEdit(column);
    m_description->setObjectName(QStringLiteral("ProData"));
    m_description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);

    m_picture = new ProgramPicture(QSize(180, 135), column);
    m_picture->setObjectName(QStringLiteral("ProPict"));
    m_pictureChange = plainButton(u("異動"), "PictureChange", column);
    m_pictureChange->setToolTip(QStringLiteral("Modify Picture Database"));
    m_pictureClear = plainButton(QStringLiteral("X"), "PictureClear", column);
    m_pictureClear->setToolTip(QStringLiteral("Clear The Picture"));
    m_pictureClear->setAccessibleName(u("清除照片"));
    m_scale = new QCheckBox(u("原圖大小( 1 : 1 )"), column);
    m_scale->setObjectName(QStringLiteral("ProScal"));
    m_scale->setToolTip(QStringLiteral("Scaled  1 : 1"));
    connect(m_pictureChange, &QPushButton::clicked, this, &TZuProf::choosePicture);
    connect(m_pictureClear, &QPushButton::clicked, this, [this] { m_picture->setPicture({}); });
    connect(m_scale, &QCheckBox::toggled, m_picture, &ProgramPicture::setOwnSize);

    auto* pictureButtons = new QVBoxLayout;
    pictureButtons->addWidget(m_pictureChange);
    pictureButtons->addWidget(m_pictureClear);
    pictureButtons->addWidget(m_scale);
    pictureButtons->addStretch();
    auto* functions = new QHBoxLayout;
    functions->addWidget(new QLabel(u("自訂功能鍵："), column));
    for (int i = 0; i < 4; ++i) {
        m_programButtons[size_t(i)] = plainButton(QString::number(i + 1), "ProgramButton", column);
        m_programButtons[size_t(i)]->setObjectName(QStringLiteral("ProgramButton%1").arg(i + 1));
        m_programButtons[size_t(i)]->setAccessibleName(u("自訂功能鍵 %1").arg(i + 1));
        functions->addWidget(m_programButtons[size_t(i)]);
        connect(m_programButtons[size_t(i)], &QPushButton::clicked, this, [this, i] {
            if (m_program)
                launchAndReport(m_state.messages, m_program->ProPrg[size_t(i)].trimmed(),
                                m_program->ProParm[size_t(i)].trimmed(), launcher);
        });
    }
    functions->addStretch();

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(u("療程說明"), column), 0, 0);
    grid->addWidget(m_description, 1, 0);
    grid->addWidget(m_picture, 0, 1, 2, 1);
    grid->addLayout(pictureButtons, 0, 2, 2, 1);
    grid->addLayout(functions, 2, 0, 1, 3);
    grid->setColumnStretch(0, 1);
    return grid;
}

QWidget* TZuProf::buildRightColumn()
{
    auto* column = new QWidget(this);
    auto* data = new QGroupBox(u("療程資料"), column);
    data->setObjectName(QStringLiteral("ProgramPanel"));
    m_programNumber = new QLabel(data);
    m_programNumber->setObjectName(QStringLiteral("ProgramNumber"));
    m_programName = new QLabel(data);
    m_programName->setObjectName(QStringLiteral("ProgramName"));
    // Texts that change with every program must not move the layout: a new
    // width would repaint the whole screen at each step through the grid.
    for (QLabel* l : {m_programNumber, m_programName})
        l->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // The stored sizes of ProSubN and ProNote.
    m_conditionName = new QLineEdit(data);
    m_conditionName->setObjectName(QStringLiteral("ProSubN"));
    m_conditionName->setMaxLength(24);
    m_conditionNote = new QLineEdit(data);
    m_conditionNote->setObjectName(QStringLiteral("ProNote"));
    m_conditionNote->setMaxLength(50);
    m_required = new QCheckBox(u("必須條件"), data);
    m_required->setObjectName(QStringLiteral("ProFlg"));
    auto* grid = new QGridLayout(data);
    auto label = [&](const char* text, QWidget* buddy) {
        auto* l = new QLabel(u(text), data);
        l->setBuddy(buddy);
        return l;
    };
    grid->addWidget(label("療程編號:", m_programNumber), 0, 0);
    grid->addWidget(m_programNumber, 0, 1);
    grid->addWidget(label("療程名稱:", m_programName), 0, 2);
    grid->addWidget(m_programName, 0, 3, 1, 2);
    grid->addWidget(label("條件名稱:", m_conditionName), 1, 0);
    grid->addWidget(m_conditionName, 1, 1);
    grid->addWidget(label("條件說明:", m_conditionNote), 1, 2);
    grid->addWidget(m_conditionNote, 1, 3);
    grid->addWidget(m_required, 1, 4);
    grid->setColumnStretch(1, 2);
    grid->setColumnStretch(3, 3);

    m_panels = new ConditionPanelsView(column);
    m_panels->setObjectName(QStringLiteral("ConditionPanels"));
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(data);
    layout->addWidget(m_panels);
    layout->addLayout(buildProgramData(column));
    // In query mode the panels show the current condition while they cannot
    // be changed: the ticked boxes must read as ticked.
    readableWhenDisabled(column);
    return column;
}

QAction* TZuProf::action(const QString& caption) const
{
    return actionByCaption(m_actions, caption);
}

int TZuProf::programCount() const
{
    return int(m_programModel->programs().size());
}

// Entering a grid makes it the active one, even an empty one.
bool TZuProf::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::FocusIn) {
        if (watched == m_programGrid) enterGrid(ProgramGrid::Programs);
        if (watched == m_conditionGrid) enterGrid(ProgramGrid::Conditions);
    }
    return QDialog::eventFilter(watched, event);
}

// Escape would close the screen; with an edit pending only the close box
// (which discards it) or 放  棄 may end it.
void TZuProf::reject()
{
    if (editing()) {
        m_state.playTone(1);
        if (!m_state.ShowMessageDialog(AskAttention, discardChangesQuestion())) return;
        cancelEdit();
    }
    QDialog::reject();
}

void TZuProf::openGroupEditor(bool add)
{
    QString remembered = m_program ? m_program->ProNo : QString();
    const int row = m_row;
    if (groupEditor) groupEditor(add, remembered);
    reloadPrograms();
    int target = std::min(row, programCount() - 1);
    const QVector<ProgramSummary>& programs = m_programModel->programs();
    for (int i = 0; i < programs.size(); ++i)
        if (programs[i].ProNo.compare(remembered, Qt::CaseInsensitive) == 0) {
            target = i;
            break;
        }
    if (target < 0 && programCount() > 0) target = 0;
    moveToProgram(target);
    returnToGrid(ProgramGrid::Programs);
}

void TZuProf::addProgram()
{
    openGroupEditor(true);
}

void TZuProf::modifyProgram()
{
    if (m_program) openGroupEditor(false);
}

} // namespace lumo
