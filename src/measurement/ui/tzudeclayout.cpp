// The measurement screen's layout: built once, in the places every state uses,
// so that nothing moves or grows between a run and the idle screen.
#include "measurement/ui/tzudec.h"

#include "base/formats.h"
#include "measurement/ui/tzudecstyle.h"
#include "shell/shortcuts.h"
#include "widgets/balancegraph.h"
#include "widgets/gradientbar.h"
#include "widgets/instrumentstatus.h"
#include "widgets/ledlamp.h"
#include "widgets/picturelabel.h"
#include "widgets/screensize.h"
#include "widgets/valuegrid.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSlider>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {

namespace tzudec {
QLabel* valueLabel(QWidget* parent, const char* name, int width)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setMinimumWidth(width);
    l->setStyleSheet(QStringLiteral("color: rgb(0,0,128);"));
    return l;
}
} // namespace tzudec

using namespace tzudec;

void TZudec::buildUi()
{
    QToolBar* toolbar = buildToolbar();
    QWidget* gridGroup = buildGridGroup();

    m_graphGroup = new QGroupBox(u("測量平衡圖"), this);
    auto* gl = new QHBoxLayout(m_graphGroup);
    m_graph = new BalanceGraph(m_graphGroup);
    m_graph->setObjectName(QStringLiteral("BalanceGraph"));
    m_graphLamp = new LedLamp(m_graphGroup);
    gl->addWidget(m_graph, 1);
    gl->addWidget(m_graphLamp, 0, Qt::AlignTop);
    // The graph (during a run) and the subject (otherwise) take turns in one place of one size.
    m_graphOrSubject = new QStackedWidget(this);
    m_graphOrSubject->addWidget(buildSubjectGroup());
    m_graphOrSubject->addWidget(m_graphGroup);
    m_graphOrSubject->setCurrentWidget(m_subjectGroup);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setSizeGripEnabled(false);
    m_idleStatus = new QLabel(m_status);
    m_idleStatus->setObjectName(QStringLiteral("IdleStatus"));
    m_status->addWidget(m_idleStatus, 1);
    m_status->addPermanentWidget(new InstrumentStatus(&m_instrument, m_status));

    auto* leftColumn = new QVBoxLayout;
    leftColumn->addWidget(buildStatusGroup());
    leftColumn->addLayout(buildBars());
    leftColumn->addWidget(m_graphOrSubject, 1);
    auto* settings = new QHBoxLayout;
    settings->addWidget(buildPotentialGroup());
    settings->addWidget(buildMinimumGroup(), 1);
    m_repeatMode = new QCheckBox(u("重複量測模式"), this);
    m_repeatMode->setObjectName(QStringLiteral("RepeatModeBox"));
    m_repeatMode->setToolTip(u("同一位受測者於 30 分鐘內量測兩次，累積本診所的量測誤差資料"));
    connect(m_repeatMode, &QCheckBox::toggled, this, &TZudec::repeatModeToggled);
    settings->addWidget(m_repeatMode);
    leftColumn->addLayout(settings);
    auto* middle = new QHBoxLayout;
    middle->addLayout(leftColumn, 2);
    middle->addWidget(buildPictureGroup(), 1);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addWidget(gridGroup);
    layout->addLayout(middle, 1);
    layout->addWidget(m_status);
    // Opens at 1000 x 680, which fits a 1366 x 768 screen with the window's
    // frame and title; enlarged, the grid widens and the point picture and
    // the balance graph grow.
    openAt(this, QSize(1000, 680));
}

QToolBar* TZudec::buildToolbar()
{
    auto* toolbar = new QToolBar(this);
    m_toolBar = toolbar;
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const char* buttons[][2] = {{"經絡測量", "經絡能量數據測量"},   {"停止測量", "停止經絡能量測量"},
                                {"能量分析", "經絡能量分析"},       {"儲存資料", "儲存表格中的能量數據"},
                                {"讀取資料", "讀取資料庫中的數據"}, {"清除數據", "清除表格中的能量數據"},
                                {"數據輸入", "人工輸入數據"},       {"能量比對", "能量比對系統"},
                                {"離  開", "離開經絡量測系統"}};
    for (auto& b : buttons) {
        QAction* a = toolbar->addAction(u(b[0]));
        a->setToolTip(u(b[1]));
        a->setStatusTip(u(b[1]));
        m_actions << a;
    }
    connect(m_actions[0], &QAction::triggered, this, &TZudec::ToolButtonMeasureClick);
    connect(m_actions[1], &QAction::triggered, this, &TZudec::ToolButtonStopClick);
    connect(m_actions[2], &QAction::triggered, this, [this] { openLinked(m_links.analysis, true); });
    connect(m_actions[3], &QAction::triggered, this, &TZudec::ToolButtonSaveClick);
    connect(m_actions[4], &QAction::triggered, this, [this] { openLinked(m_links.browse); });
    connect(m_actions[5], &QAction::triggered, this, &TZudec::ToolButtonClearClick);
    connect(m_actions[6], &QAction::triggered, this, [this] { openLinked(m_links.manualEntry); });
    connect(m_actions[7], &QAction::triggered, this, [this] { openLinked(m_links.compare); });
    connect(m_actions[8], &QAction::triggered, this, &QDialog::close);
    // Measuring a point again is one key away, during the run and after it.
    m_remeasure = new QAction(u("重新測量"), this);
    m_remeasure->setObjectName(QStringLiteral("RemeasureAction"));
    m_remeasure->setShortcut(shortcutFor(CommonAction::Remeasure).key);
    m_remeasure->setToolTip(u("重新測量品質不佳的測定點 (R)"));
    m_remeasure->setStatusTip(m_remeasure->toolTip());
    toolbar->insertAction(m_actions[8], m_remeasure);
    connect(m_remeasure, &QAction::triggered, this, &TZudec::ToolButtonRemeasureClick);
    return toolbar;
}

QWidget* TZudec::buildGridGroup()
{
    auto* gridGroup = new QGroupBox(u("經絡能量測定值 / Meridian Energy Values"), this);
    auto* gridLayout = new QVBoxLayout(gridGroup);
    m_grid = addValueGrid(gridLayout, gridGroup, measuringGridLabels(), Qt::AlignCenter);
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    // Outside a run the grid takes no clicks, but the values stay as readable as during it.
    keepReadableWhenDisabled(m_grid);
    connect(m_grid, &QTableWidget::cellClicked, this, &TZudec::gridClicked);

    auto* valuesRow = new QHBoxLayout;
    m_mode = valueLabel(this, "ModeLabel", 90);
    m_measured = valueLabel(this, "MeasuredValue");
    m_compensated = valueLabel(this, "CompensatedValue");
    m_date = valueLabel(this, "DateValue", 100);
    m_time = valueLabel(this, "TimeValue");
    valuesRow->addWidget(m_mode);
    for (auto [caption, label] :
         {std::pair{"經絡測量值:", m_measured}, std::pair{"經絡補償值:", m_compensated},
          std::pair{"測量日期:", m_date}, std::pair{"測量時間:", m_time}}) {
        valuesRow->addWidget(new QLabel(u(caption), this));
        valuesRow->addWidget(label);
    }
    valuesRow->addStretch();
    gridLayout->addLayout(valuesRow);
    return gridGroup;
}

QWidget* TZudec::buildStatusGroup()
{
    auto* statusGroup = new QGroupBox(u("測量狀態"), this);
    auto* sg = new QGridLayout(statusGroup);
    m_position = valueLabel(statusGroup, "PositionText", 200);
    m_channel = valueLabel(statusGroup, "ChannelText", 200);
    m_source = valueLabel(statusGroup, "SourcePointText", 200);
    const std::pair<const char*, QLabel*> rows[3] = {
        {"測量位置:", m_position}, {"經絡名稱:", m_channel}, {"測定點名稱:", m_source}};
    for (int i = 0; i < 3; ++i) {
        sg->addWidget(new QLabel(u(rows[i].first), statusGroup), i, 0);
        sg->addWidget(rows[i].second, i, 1);
    }
    sg->setColumnStretch(1, 1);
    return statusGroup;
}

QWidget* TZudec::buildPictureGroup()
{
    auto* pictureGroup = new QGroupBox(u("代表測定點圖示"), this);
    auto* pg = new QVBoxLayout(pictureGroup);
    m_english = valueLabel(pictureGroup, "EnglishLabel", 240);
    m_english->setAlignment(Qt::AlignCenter);
    m_picture = new PictureLabel(QSize(240, 180), pictureGroup);
    m_picture->setObjectName(QStringLiteral("PointPicture"));
    m_pictureSource = valueLabel(pictureGroup, "PictureSourcePoint", 240);
    m_pictureSource->setAlignment(Qt::AlignCenter);
    auto* styles = new QHBoxLayout;
    const char* styleNames[3] = {"照片", "圖像", "合成"};
    auto* styleGroup = new QButtonGroup(this);
    for (int i = 0; i < 3; ++i) {
        m_style[i] = new QRadioButton(u(styleNames[i]), pictureGroup);
        styleGroup->addButton(m_style[i], i + 1);
        styles->addWidget(m_style[i]);
        connect(m_style[i], &QRadioButton::clicked, this, [this, i] {
            m_state.config.PointPictureStyle = i + 1;
            if (m_run.running() && m_shownPoint > 0) {
                loadPicture(m_shownPoint);
                m_grid->setFocus();
            }
        });
    }
    pg->addWidget(m_english, 0, Qt::AlignCenter);
    pg->addWidget(m_picture, 1);
    pg->addWidget(m_pictureSource, 0, Qt::AlignCenter);
    pg->addLayout(styles);
    return pictureGroup;
}

QLayout* TZudec::buildBars()
{
    auto* bars = new QGridLayout;
    m_level = new GradientBar(this);
    m_level->setObjectName(QStringLiteral("LevelBar"));
    m_level->setRange(4095);
    m_level->setEndColor(Red);
    m_live = valueLabel(this, "LiveValue", 70);
    m_live->setText(QStringLiteral("[  0.0]"));
    m_levelLamp = new LedLamp(this);
    m_completion = new GradientBar(this);
    m_completion->setObjectName(QStringLiteral("CompletionBar"));
    m_completion->setRange(2500);
    m_completion->setShowPercentage(true);
    m_statusLamp = new LedLamp(this);
    bars->addWidget(m_level, 0, 0);
    bars->addWidget(m_live, 0, 1);
    bars->addWidget(m_levelLamp, 0, 2);
    bars->addWidget(m_completion, 1, 0);
    bars->addWidget(new QLabel(u("完成比率"), this), 1, 1);
    bars->addWidget(m_statusLamp, 1, 2);
    bars->setColumnStretch(0, 1);
    return bars;
}

QWidget* TZudec::buildSubjectGroup()
{
    m_subjectGroup = new QGroupBox(u("受測者資料"), this);
    auto* subj = new QGridLayout(m_subjectGroup);
    const char* subjectCaptions[5] = {"編號", "姓名", "生日", "年齡", "電話"};
    for (int i = 0; i < 5; ++i) {
        subj->addWidget(new QLabel(u(subjectCaptions[i]), m_subjectGroup), i / 3, (i % 3) * 2);
        m_subject[i] = valueLabel(m_subjectGroup, "SubjectField", 100);
        m_subject[i]->setObjectName(QStringLiteral("Subject%1").arg(i + 1));
        subj->addWidget(m_subject[i], i / 3, (i % 3) * 2 + 1);
    }
    // 性別 on a line of its own like the other captions: a framed box would
    // take the height the screen needs to open at 680 pixels.
    m_male = new QRadioButton(u("男性"), m_subjectGroup);
    m_female = new QRadioButton(u("女性"), m_subjectGroup);
    auto* sexButtons = new QButtonGroup(m_subjectGroup);
    sexButtons->addButton(m_male);
    sexButtons->addButton(m_female);
    auto* sexLayout = new QHBoxLayout;
    sexLayout->addWidget(m_male);
    sexLayout->addWidget(m_female);
    sexLayout->addStretch();
    subj->addWidget(new QLabel(u("性別"), m_subjectGroup), 2, 0);
    subj->addLayout(sexLayout, 2, 1, 1, 5);
    subj->setRowStretch(3, 1);
    connect(m_male, &QRadioButton::clicked, this, [this] { m_state.CurrentSubject.SEX = true; });
    connect(m_female, &QRadioButton::clicked, this, [this] { m_state.CurrentSubject.SEX = false; });
    return m_subjectGroup;
}

QWidget* TZudec::buildPotentialGroup()
{
    auto* potential = new QGroupBox(u("測量電位設定"), this);
    auto* pl = new QVBoxLayout(potential);
    m_high = new QRadioButton(u("高電位測量"), potential);
    m_standard = new QRadioButton(u("標準電位測量"), potential);
    pl->addWidget(m_high);
    pl->addWidget(m_standard);
    // The buttons choose the potential of the next run; the measurement in the
    // grid keeps the potential it was measured with.
    connect(m_high, &QRadioButton::clicked, this, [this] {
        m_state.config.HighPotential = true;
        showModeLabel(true);
    });
    connect(m_standard, &QRadioButton::clicked, this, [this] {
        m_state.config.HighPotential = false;
        showModeLabel(false);
    });
    return potential;
}

QWidget* TZudec::buildMinimumGroup()
{
    auto* minimum = new QGroupBox(u("最低測量反應值"), this);
    auto* ml = new QHBoxLayout(minimum);
    // The field and its arrows are one control showing the setting in uA
    // ("1.0"); the track bar beside it moves in the same tenths.
    m_minUpDown = new QDoubleSpinBox(minimum);
    m_minUpDown->setObjectName(QStringLiteral("MinResponseUpDown"));
    m_minUpDown->setDecimals(1);
    m_minUpDown->setRange(0.1, 5.0);
    m_minUpDown->setSingleStep(0.1);
    m_minUpDown->setSuffix(QStringLiteral(" uA"));
    m_minTrack = new QSlider(Qt::Horizontal, minimum);
    m_minTrack->setObjectName(QStringLiteral("MinResponseTrack"));
    m_minTrack->setRange(1, 50);
    m_minTrack->setTickInterval(10);
    m_minTrack->setTickPosition(QSlider::TicksBelow);
    ml->addWidget(m_minUpDown);
    ml->addWidget(m_minTrack, 1);
    // The setting shows once, in the field; the usual value is a hint, not a
    // second number beside it that reads as the setting once that changed.
    for (QWidget* w : std::initializer_list<QWidget*>{m_minUpDown, m_minTrack}) {
        w->setAccessibleName(u("最低測量反應值"));
        w->setToolTip(u("最低測量反應值：探測棒讀值高於此值才開始測量（一般使用 1.0 uA）"));
    }
    connect(m_minUpDown, &QDoubleSpinBox::valueChanged, this,
            [this](double ua) { setMinResponse(int(rnd(ua * 10))); });
    connect(m_minTrack, &QSlider::valueChanged, this, &TZudec::setMinResponse);
    return minimum;
}

} // namespace lumo
