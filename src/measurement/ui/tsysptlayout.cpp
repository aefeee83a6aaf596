// The calibration screen's layout: built once; the run only changes what it shows.
#include "measurement/ui/tsyspt.h"

#include "widgets/analoguemeter.h"
#include "widgets/gradientbar.h"
#include "widgets/ledlamp.h"
#include "widgets/screensize.h"

#include <QAction>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
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
QLabel* valueLabel(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setMinimumWidth(80);
    l->setStyleSheet(QStringLiteral("color: rgb(0,0,128); font-weight: bold;"));
    return l;
}
AnalogueMeter* gauge(QWidget* parent, const char* name, const char* caption, double lo, double hi)
{
    auto* g = new AnalogueMeter(parent);
    g->setObjectName(QLatin1String(name));
    g->setCaption(u(caption));
    g->setRange(lo, hi);
    g->setFixedSize(134, 92);
    return g;
}
LedLamp* lamp(QWidget* parent, const char* name)
{
    auto* l = new LedLamp(parent);
    l->setObjectName(QLatin1String(name));
    l->setFixedSize(18, 18);
    return l;
}
// Three captioned values above a pair of gauges: the layout of both value groups.
QGroupBox* valueGroup(QWidget* parent, const char* title, QLabel* values[3], QWidget* left, QWidget* right)
{
    auto* box = new QGroupBox(u(title), parent);
    auto* g = new QGridLayout(box);
    const char* captions[3] = {"校準日期:", "標準電位值:", "高電位值:"};
    for (int i = 0; i < 3; ++i) {
        g->addWidget(new QLabel(u(captions[i]), box), i, 0);
        g->addWidget(values[i], i, 1);
    }
    auto* gauges = new QHBoxLayout;
    gauges->addWidget(left);
    gauges->addWidget(right);
    g->addLayout(gauges, 3, 0, 1, 2);
    g->setColumnStretch(1, 1);
    return box;
}
} // namespace

void TSyspt::buildUi()
{
    buildToolbar();
    auto* groups = new QHBoxLayout;
    groups->addWidget(buildPrevious());
    groups->addWidget(buildCurrent());
    groups->addWidget(buildIndicator(), 1);
    auto* statusBar = new QStatusBar(this);
    statusBar->setObjectName(QStringLiteral("StatusBar1"));
    statusBar->setSizeGripEnabled(false);
    // A label rather than the bar's message: the longest status takes two lines.
    m_status = new QLabel(statusBar);
    m_status->setObjectName(QStringLiteral("StatusText"));
    m_status->setWordWrap(true);
    m_status->setMinimumHeight(m_status->fontMetrics().lineSpacing() * 2 + 4);
    statusBar->addWidget(m_status, 1);

    auto* layout = qobject_cast<QVBoxLayout*>(this->layout());
    layout->addLayout(groups);
    layout->addWidget(buildResult());
    layout->addWidget(buildLog());
    layout->addStretch(1);
    layout->addWidget(statusBar);
    // Opens beside the virtual probe panel on a 1366 x 768 screen, frame
    // included; it can be enlarged like every screen.
    openAt(this, QSize(940, 560));
}

void TSyspt::buildToolbar()
{
    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const char* buttons[][2] = {
        {"開始校準", "開始儀器校準功能"}, {"停止校準", "停止儀器校準功能"}, {"離  開", "離開儀器校準功能"}};
    for (auto& b : buttons) {
        QAction* a = toolbar->addAction(u(b[0]));
        a->setToolTip(u(b[1]));
        a->setStatusTip(u(b[1]));
        m_actions << a;
    }
    connect(m_actions[0], &QAction::triggered, this, &TSyspt::ToolButtonStartClick);
    connect(m_actions[1], &QAction::triggered, this, &TSyspt::ToolButtonStopClick);
    connect(m_actions[2], &QAction::triggered, this, &QDialog::close);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
}

QWidget* TSyspt::buildPrevious()
{
    m_previousDate = valueLabel(this, "PreviousDate");
    m_previousStandard = valueLabel(this, "PreviousStandard");
    m_previousHigh = valueLabel(this, "PreviousHigh");
    m_previousStandardGauge = gauge(this, "PreviousStandardGauge", "標準電位", 0, 5000);
    m_previousHighGauge = gauge(this, "PreviousHighGauge", "高電位", 0, 5000);
    QLabel* values[3] = {m_previousDate, m_previousStandard, m_previousHigh};
    return valueGroup(this, "前次校準資料", values, m_previousStandardGauge, m_previousHighGauge);
}

QWidget* TSyspt::buildCurrent()
{
    m_todayDate = valueLabel(this, "TodayDate");
    m_newStandard = valueLabel(this, "NewStandard");
    m_newHigh = valueLabel(this, "NewHigh");
    m_standardChangeGauge = gauge(this, "StandardChangeGauge", "標準電位", -10, 10);
    m_highChangeGauge = gauge(this, "HighChangeGauge", "高電位", -10, 10);
    QLabel* values[3] = {m_todayDate, m_newStandard, m_newHigh};
    return valueGroup(this, "本次環境校準值", values, m_standardChangeGauge, m_highChangeGauge);
}

QWidget* TSyspt::buildIndicator()
{
    auto* box = new QGroupBox(u("數位校準指標"), this);
    auto* g = new QGridLayout(box);
    m_standardIndicator = valueLabel(box, "StandardIndicator");
    m_highIndicator = valueLabel(box, "HighIndicator");
    m_standardLamp = lamp(box, "StandardLamp");
    m_highLamp = lamp(box, "HighLamp");
    m_standardBar = new GradientBar(box);
    m_standardBar->setObjectName(QStringLiteral("StandardBar"));
    m_highBar = new GradientBar(box);
    m_highBar->setObjectName(QStringLiteral("HighBar"));
    const std::tuple<const char*, QLabel*, LedLamp*, GradientBar*> rows[2] = {
        {"標準電位值:", m_standardIndicator, m_standardLamp, m_standardBar},
        {"高電位值:", m_highIndicator, m_highLamp, m_highBar}};
    for (int i = 0; i < 2; ++i) {
        auto [caption, value, l, bar] = rows[i];
        bar->setRange(2600);
        bar->setEndColor(i == 0 ? QColor(0, 128, 0) : QColor(255, 0, 0));
        g->addWidget(new QLabel(u(caption), box), i * 2, 0);
        g->addWidget(value, i * 2, 1);
        g->addWidget(l, i * 2, 2);
        g->addWidget(bar, i * 2 + 1, 0, 1, 3);
    }
    m_balanceGauge = gauge(box, "BalanceGauge", "校準平衡度", -10, 10);
    g->addWidget(m_balanceGauge, 4, 0, 1, 3, Qt::AlignHCenter);
    g->setColumnStretch(1, 1);
    return box;
}

QWidget* TSyspt::buildResult()
{
    auto* row = new QWidget(this);
    auto* l = new QHBoxLayout(row);
    l->setContentsMargins(4, 0, 4, 0);
    m_resultLamp = lamp(row, "ResultLamp");
    m_result = new QLabel(row);
    m_result->setObjectName(QStringLiteral("ResultText"));
    QFont f = m_result->font();
    f.setPointSizeF(f.pointSizeF() * 1.3);
    m_result->setFont(f);
    m_result->setMinimumHeight(m_result->fontMetrics().height() + 4);
    l->addWidget(m_resultLamp);
    l->addWidget(m_result, 1);
    return row;
}

QWidget* TSyspt::buildLog()
{
    auto* box = new QGroupBox(u("最近五次校準紀錄"), this);
    auto* l = new QVBoxLayout(box);
    m_log = new QTableWidget(5, 6, box);
    m_log->setObjectName(QStringLiteral("CalibrationLogGrid"));
    m_log->setHorizontalHeaderLabels({u("校準日期時間"), u("標準電位值"), u("高電位值"), u("前次標準電位值"),
                                      u("前次高電位值"), u("結果")});
    m_log->verticalHeader()->setVisible(false);
    m_log->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_log->setSelectionMode(QAbstractItemView::NoSelection);
    m_log->setFocusPolicy(Qt::NoFocus);
    m_log->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    m_log->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    // Five rows without a scroll bar.
    const int rowHeight = m_log->fontMetrics().height() + 8;
    m_log->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_log->verticalHeader()->setDefaultSectionSize(rowHeight);
    m_log->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_log->setFixedHeight(m_log->horizontalHeader()->sizeHint().height() + 5 * rowHeight +
                          2 * m_log->frameWidth());
    l->addWidget(m_log);
    return box;
}

} // namespace lumo
