// The locating screen's layout: built once; the run only changes what it shows.
#include "measurement/ui/tzuloc.h"

#include "widgets/analoguemeter.h"
#include "widgets/gradientbar.h"
#include "widgets/ledlamp.h"
#include "widgets/screensize.h"
#include "widgets/segmentmeter.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QSpinBox>
#include <QStatusBar>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
LedLamp* lamp(QWidget* parent, const char* name)
{
    auto* l = new LedLamp(parent);
    l->setObjectName(QLatin1String(name));
    l->setFixedSize(18, 18);
    return l;
}
QLabel* valueLabel(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setMinimumWidth(60);
    l->setStyleSheet(QStringLiteral("color: rgb(0,0,128); font-weight: bold;"));
    return l;
}
} // namespace

void TZuLoc::buildUi()
{
    buildToolbar();
    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setSizeGripEnabled(false);

    auto* settings = new QHBoxLayout;
    settings->addWidget(buildOptions());
    settings->addWidget(buildModes());
    auto* right = new QVBoxLayout;
    right->addWidget(buildSensitivity());
    right->addWidget(buildPotential());
    settings->addLayout(right);

    auto* display = new QHBoxLayout;
    auto* left = new QVBoxLayout;
    left->addWidget(buildReadings());
    left->addWidget(buildState());
    display->addLayout(left, 1);
    display->addWidget(buildBalance());

    auto* layout = qobject_cast<QVBoxLayout*>(this->layout());
    layout->addLayout(settings);
    layout->addLayout(display, 1);
    layout->addWidget(m_status);
    // Opens beside the virtual probe panel on a 1366 x 768 screen, frame
    // included; it can be enlarged like every screen.
    openAt(this, QSize(860, 470));
}

void TZuLoc::buildToolbar()
{
    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const char* buttons[][2] = {{"開始定位", "開始穴道定位功能"},
                                {"停止定位", "停止穴道定位功能"},
                                {"清除數據", "清除最高數據"},
                                {"離  開", "離開定位系統"}};
    for (auto& b : buttons) {
        QAction* a = toolbar->addAction(u(b[0]));
        a->setToolTip(u(b[1]));
        a->setStatusTip(u(b[1]));
        m_actions << a;
    }
    connect(m_actions[0], &QAction::triggered, this, &TZuLoc::ToolButtonStartClick);
    connect(m_actions[1], &QAction::triggered, this, &TZuLoc::ToolButtonStopClick);
    connect(m_actions[2], &QAction::triggered, this, &TZuLoc::ToolButtonClearClick);
    connect(m_actions[3], &QAction::triggered, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
}

QWidget* TZuLoc::buildOptions()
{
    auto* box = new QGroupBox(u("功能選項"), this);
    auto* l = new QVBoxLayout(box);
    m_sound = new QCheckBox(u("音效指示開關"), box);
    m_sound->setObjectName(QStringLiteral("SoundBox"));
    m_keepHighest = new QCheckBox(u("保存最高數據"), box);
    m_keepHighest->setObjectName(QStringLiteral("KeepHighestBox"));
    m_highPotential = new QCheckBox(u("使用高電位定位"), box);
    m_highPotential->setObjectName(QStringLiteral("HighPotentialBox"));
    for (QCheckBox* c : {m_sound, m_keepHighest, m_highPotential})
        l->addWidget(c);
    connect(m_sound, &QCheckBox::toggled, this, [this](bool on) { m_run.setSound(on); });
    connect(m_keepHighest, &QCheckBox::toggled, this, [this](bool on) { m_run.setKeepHighest(on); });
    connect(m_highPotential, &QCheckBox::toggled, this, [this](bool on) { m_run.setHighPotential(on); });
    return box;
}

QWidget* TZuLoc::buildModes()
{
    auto* box = new QGroupBox(u("資料收集模式"), this);
    auto* l = new QGridLayout(box);
    m_searchMode = new QRadioButton(u("搜尋最高數據"), box);
    m_searchMode->setObjectName(QStringLiteral("SearchModeButton"));
    m_locatingMode = new QRadioButton(u("開始穴道定位"), box);
    m_locatingMode->setObjectName(QStringLiteral("LocatingModeButton"));
    m_searchLamp = lamp(box, "SearchModeLamp");
    m_locatingLamp = lamp(box, "LocatingModeLamp");
    for (LedLamp* m : {m_searchLamp, m_locatingLamp})
        m->setColor(QColor(0, 255, 0));
    auto* group = new QButtonGroup(box);
    group->addButton(m_searchMode);
    group->addButton(m_locatingMode);
    l->addWidget(m_searchMode, 0, 0);
    l->addWidget(m_searchLamp, 0, 1);
    l->addWidget(m_locatingMode, 1, 0);
    l->addWidget(m_locatingLamp, 1, 1);
    connect(m_searchMode, &QRadioButton::clicked, this, [this] { m_run.setMode(LocatingMode::Search); });
    connect(m_locatingMode, &QRadioButton::clicked, this, [this] { m_run.setMode(LocatingMode::Locating); });
    return box;
}

QWidget* TZuLoc::buildSensitivity()
{
    auto* box = new QGroupBox(u("定位靈敏度"), this);
    auto* l = new QHBoxLayout(box);
    m_sensitivity = new QSpinBox(box);
    m_sensitivity->setObjectName(QStringLiteral("SensitivityUpDown"));
    m_sensitivity->setRange(LocatingRun::MinSensitivity, LocatingRun::MaxSensitivity);
    m_sensitivity->setMinimumWidth(70);
    l->addWidget(m_sensitivity);
    l->addWidget(new QLabel(QStringLiteral("( 2 - 150 )"), box));
    l->addStretch();
    connect(m_sensitivity, &QSpinBox::valueChanged, this, [this](int v) { m_run.setSensitivity(v); });
    return box;
}

QWidget* TZuLoc::buildPotential()
{
    auto* box = new QWidget(this);
    auto* l = new QHBoxLayout(box);
    m_potentialLamp = lamp(box, "PotentialLamp");
    m_potentialText = new QLabel(box);
    m_potentialText->setObjectName(QStringLiteral("PotentialText"));
    m_potentialText->setMinimumWidth(110);
    l->addWidget(m_potentialLamp);
    l->addWidget(m_potentialText);
    l->addStretch();
    return box;
}

QWidget* TZuLoc::buildReadings()
{
    auto* box = new QGroupBox(this);
    auto* g = new QGridLayout(box);
    m_reading = valueLabel(box, "ReadingValue");
    m_readingLamp = lamp(box, "ReadingLamp");
    m_readingLamp->setColor(QColor(0, 255, 0));
    m_readingBar = new GradientBar(box);
    m_readingBar->setObjectName(QStringLiteral("ReadingBar"));
    m_highest = valueLabel(box, "HighestValue");
    m_highestLamp = lamp(box, "HighestLamp");
    m_highestBar = new GradientBar(box);
    m_highestBar->setObjectName(QStringLiteral("HighestBar"));
    m_highestBar->setEndColor(QColor(255, 0, 0));
    for (GradientBar* b : {m_readingBar, m_highestBar})
        b->setRange(2000);
    g->addWidget(new QLabel(u("定位數據:"), box), 0, 0);
    g->addWidget(m_reading, 0, 1);
    g->addWidget(m_readingLamp, 0, 2);
    g->addWidget(m_readingBar, 0, 3);
    g->addWidget(new QLabel(u("最高數據:"), box), 1, 0);
    g->addWidget(m_highest, 1, 1);
    g->addWidget(m_highestLamp, 1, 2);
    g->addWidget(m_highestBar, 1, 3);
    g->setColumnStretch(3, 1);
    return box;
}

QWidget* TZuLoc::buildState()
{
    auto* box = new QGroupBox(u("定位狀態:"), this);
    auto* l = new QVBoxLayout(box);
    auto* row = new QHBoxLayout;
    m_stateLamp = lamp(box, "StateLamp");
    m_stateText = new QLabel(box);
    m_stateText->setObjectName(QStringLiteral("StateText"));
    QFont f = m_stateText->font();
    f.setPointSizeF(f.pointSizeF() * 1.4);
    f.setBold(true);
    m_stateText->setFont(f);
    row->addWidget(m_stateLamp);
    row->addWidget(m_stateText, 1);
    m_segments = new SegmentMeter(box);
    m_segments->setObjectName(QStringLiteral("SegmentMeter1"));
    m_segments->setMinimumHeight(26);
    l->addLayout(row);
    l->addWidget(m_segments);
    return box;
}

QWidget* TZuLoc::buildBalance()
{
    auto* box = new QGroupBox(u("定位平衡度"), this);
    auto* l = new QVBoxLayout(box);
    m_balance = new AnalogueMeter(box);
    m_balance->setObjectName(QStringLiteral("BalanceMeter"));
    m_balance->setRange(-20, 20);
    m_balance->setFixedSize(230, 150);
    l->addWidget(m_balance);
    l->addStretch();
    return box;
}

} // namespace lumo
