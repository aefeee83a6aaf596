#include "measurement/ui/tzudec.h"

#include "shell/datadir.h"
#include "base/formats.h"
#include "widgets/balancegraph.h"
#include "widgets/gradientbar.h"
#include "widgets/ledlamp.h"
#include "widgets/valuegrid.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStatusBar>
#include <QTableWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s) { return QString::fromUtf8(s); }
const QColor kRed(255, 0, 0), kGreen(0, 128, 0), kLightGreen(0, 255, 0), kYellow(255, 255, 0);

QLabel* valueLabel(QWidget* parent, const char* name)
{
    auto* l = new QLabel(parent);
    l->setObjectName(QLatin1String(name));
    l->setMinimumWidth(70);
    l->setStyleSheet(QStringLiteral("color: rgb(0,0,128);"));
    return l;
}

} // namespace

TZudec::TZudec(SharedState& state, Instrument& instrument, MeasurementLinks links, QWidget* parent)
    : QDialog(parent), m_state(state), m_instrument(instrument), m_links(std::move(links)), m_run(state, instrument, *this)
{
    setObjectName(QStringLiteral("TZudec"));
    setWindowTitle(u("經絡量測"));
    buildUi();
    // Creating the screen: headings, minimum response, potential and picture style from the settings.
    setMinResponse(int(rnd(m_state.config.MinResponse * 10)));
    (m_state.config.HighPotential ? m_high : m_standard)->setChecked(true);
    const int style = std::clamp(m_state.config.PointPictureStyle, 1, 3);
    m_style[style - 1]->setChecked(true);
}

void TZudec::buildUi()
{
    auto* toolbar = new QToolBar(this);
    toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    const char* buttons[][2] = {{"經絡測量", "經絡能量數據測量"}, {"停止測量", "停止經絡能量測量"}, {"能量分析", "經絡能量分析"},
                                {"儲存資料", "儲存表格中的能量數據"}, {"讀取資料", "讀取資料庫中的數據"}, {"清除數據", "清除表格中的能量數據"},
                                {"數據輸入", "人工輸入數據"}, {"能量比對", "能量比對系統"}, {"離  開", "離開經絡量測系統"}};
    for (auto& b : buttons) {
        QAction* a = toolbar->addAction(u(b[0]));
        a->setToolTip(u(b[1]));
        a->setStatusTip(u(b[1]));
        m_actions << a;
    }
    connect(m_actions[0], &QAction::triggered, this, &TZudec::ToolButtonMeasureClick);
    connect(m_actions[1], &QAction::triggered, this, &TZudec::ToolButtonStopClick);
    connect(m_actions[2], &QAction::triggered, this, [this] { openLinked(m_links.analysis, true); });
    connect(m_actions[3], &QAction::triggered, this, [this] { openLinked(m_links.save); });
    connect(m_actions[4], &QAction::triggered, this, [this] { openLinked(m_links.browse); });
    connect(m_actions[5], &QAction::triggered, this, &TZudec::ToolButtonClearClick);
    connect(m_actions[6], &QAction::triggered, this, [this] { openLinked(m_links.manualEntry); });
    connect(m_actions[7], &QAction::triggered, this, [this] { openLinked(m_links.compare); });
    connect(m_actions[8], &QAction::triggered, this, &QDialog::close);

    // Value grid.
    auto* gridGroup = new QGroupBox(u("經絡能量測定值 / Meridian Energy Values"), this);
    auto* gridLayout = new QVBoxLayout(gridGroup);
    m_grid = addValueGrid(gridLayout, gridGroup, measuringGridLabels(), Qt::AlignCenter);
    m_grid->setObjectName(QStringLiteral("StringGrid1"));
    m_grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_grid->setSelectionMode(QAbstractItemView::SingleSelection);
    connect(m_grid, &QTableWidget::cellClicked, this, &TZudec::gridClicked);

    auto* valuesRow = new QHBoxLayout;
    m_mode = new QLabel(this);
    m_mode->setObjectName(QStringLiteral("ModeLabel"));
    m_measured = valueLabel(this, "MeasuredValue");
    m_compensated = valueLabel(this, "CompensatedValue");
    m_date = valueLabel(this, "DateValue");
    m_time = valueLabel(this, "TimeValue");
    valuesRow->addWidget(m_mode);
    for (auto [caption, label] : {std::pair{"經絡測量值:", m_measured}, std::pair{"經絡補償值:", m_compensated},
                                  std::pair{"測量日期:", m_date}, std::pair{"測量時間:", m_time}}) {
        valuesRow->addWidget(new QLabel(u(caption), this));
        valuesRow->addWidget(label);
    }
    valuesRow->addStretch();
    gridLayout->addLayout(valuesRow);

    // Status and picture.
    auto* statusGroup = new QGroupBox(u("測量狀態"), this);
    auto* sg = new QGridLayout(statusGroup);
    m_position = valueLabel(statusGroup, "PositionText");
    m_channel = valueLabel(statusGroup, "ChannelText");
    m_source = valueLabel(statusGroup, "SourcePointText");
    sg->addWidget(new QLabel(u("測量位置:"), statusGroup), 0, 0);
    sg->addWidget(m_position, 0, 1);
    sg->addWidget(new QLabel(u("經絡名稱:"), statusGroup), 1, 0);
    sg->addWidget(m_channel, 1, 1);
    sg->addWidget(new QLabel(u("測定點名稱:"), statusGroup), 2, 0);
    sg->addWidget(m_source, 2, 1);

    auto* pictureGroup = new QGroupBox(u("代表測定點圖示"), this);
    auto* pg = new QVBoxLayout(pictureGroup);
    m_english = new QLabel(pictureGroup);
    m_english->setObjectName(QStringLiteral("EnglishLabel"));
    m_picture = new QLabel(pictureGroup);
    m_picture->setObjectName(QStringLiteral("PointPicture"));
    m_picture->setFixedSize(240, 180);
    m_picture->setAlignment(Qt::AlignCenter);
    m_picture->setScaledContents(false);
    m_pictureSource = new QLabel(pictureGroup);
    m_pictureSource->setObjectName(QStringLiteral("PictureSourcePoint"));
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
    pg->addWidget(m_picture, 0, Qt::AlignCenter);
    pg->addWidget(m_pictureSource, 0, Qt::AlignCenter);
    pg->addLayout(styles);

    // Bars and lamps.
    auto* bars = new QGridLayout;
    m_level = new GradientBar(this);
    m_level->setObjectName(QStringLiteral("LevelBar"));
    m_level->setRange(4095);
    m_level->setEndColor(kRed);
    m_live = new QLabel(QStringLiteral("[  0.0]"), this);
    m_live->setObjectName(QStringLiteral("LiveValue"));
    m_levelLamp = new LedLamp(this);
    m_completion = new GradientBar(this);
    m_completion->setObjectName(QStringLiteral("CompletionBar"));
    m_completion->setRange(2500);
    m_completion->setShowPercentage(true);
    m_statusLamp = new LedLamp(this);
    bars->addWidget(m_level, 0, 0);
    bars->addWidget(m_live, 0, 1);
    bars->addWidget(m_levelLamp, 0, 2);
    bars->addWidget(new QLabel(u("完成比率"), this), 1, 1);
    bars->addWidget(m_completion, 1, 0);
    bars->addWidget(m_statusLamp, 1, 2);

    // Balance graph (during a run) and subject (otherwise) share a place.
    m_graphGroup = new QGroupBox(u("測量平衡圖"), this);
    auto* gl = new QHBoxLayout(m_graphGroup);
    m_graph = new BalanceGraph(m_graphGroup);
    m_graph->setObjectName(QStringLiteral("BalanceGraph"));
    m_graphLamp = new LedLamp(m_graphGroup);
    gl->addWidget(m_graph, 1);
    gl->addWidget(m_graphLamp, 0, Qt::AlignTop);
    m_graphGroup->hide();

    m_subjectGroup = new QGroupBox(u("受測者資料"), this);
    auto* subj = new QGridLayout(m_subjectGroup);
    const char* subjectCaptions[5] = {"編號", "姓名", "生日", "年齡", "電話"};
    for (int i = 0; i < 5; ++i) {
        subj->addWidget(new QLabel(u(subjectCaptions[i]), m_subjectGroup), i / 3, (i % 3) * 2);
        m_subject[i] = valueLabel(m_subjectGroup, "SubjectField");
        m_subject[i]->setObjectName(QStringLiteral("Subject%1").arg(i + 1));
        subj->addWidget(m_subject[i], i / 3, (i % 3) * 2 + 1);
    }
    auto* sexBox = new QGroupBox(u("性別"), m_subjectGroup);
    auto* sexLayout = new QHBoxLayout(sexBox);
    m_male = new QRadioButton(u("男性"), sexBox);
    m_female = new QRadioButton(u("女性"), sexBox);
    sexLayout->addWidget(m_male);
    sexLayout->addWidget(m_female);
    subj->addWidget(sexBox, 2, 0, 1, 6);
    connect(m_male, &QRadioButton::clicked, this, [this] { m_state.CurrentSubject.SEX = true; });
    connect(m_female, &QRadioButton::clicked, this, [this] { m_state.CurrentSubject.SEX = false; });

    // Settings.
    auto* potential = new QGroupBox(u("測量電位設定"), this);
    auto* pl = new QVBoxLayout(potential);
    m_high = new QRadioButton(u("高電位測量"), potential);
    m_standard = new QRadioButton(u("標準電位測量"), potential);
    pl->addWidget(m_high);
    pl->addWidget(m_standard);
    connect(m_high, &QRadioButton::clicked, this, [this] {
        m_state.config.HighPotential = true;
        m_state.energy.VoltageMode = true;
        showModeLabel();
    });
    connect(m_standard, &QRadioButton::clicked, this, [this] {
        m_state.config.HighPotential = false;
        m_state.energy.VoltageMode = false;
        showModeLabel();
    });

    auto* minimum = new QGroupBox(u("最低測量反應值"), this);
    auto* ml = new QHBoxLayout(minimum);
    m_minField = new QLineEdit(minimum);
    m_minField->setObjectName(QStringLiteral("MinResponseField"));
    m_minField->setReadOnly(true);
    m_minField->setMaximumWidth(70);
    m_minUpDown = new QSpinBox(minimum);
    m_minUpDown->setObjectName(QStringLiteral("MinResponseUpDown"));
    m_minUpDown->setRange(1, 50);
    m_minTrack = new QSlider(Qt::Horizontal, minimum);
    m_minTrack->setObjectName(QStringLiteral("MinResponseTrack"));
    m_minTrack->setRange(1, 50);
    m_minTrack->setTickInterval(10);
    m_minTrack->setTickPosition(QSlider::TicksBelow);
    ml->addWidget(m_minField);
    ml->addWidget(m_minUpDown);
    ml->addWidget(m_minTrack, 1);
    ml->addWidget(new QLabel(QStringLiteral("(1.0)"), minimum));
    connect(m_minUpDown, &QSpinBox::valueChanged, this, &TZudec::setMinResponse);
    connect(m_minTrack, &QSlider::valueChanged, this, &TZudec::setMinResponse);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));

    auto* middle = new QHBoxLayout;
    auto* leftColumn = new QVBoxLayout;
    leftColumn->addWidget(statusGroup);
    leftColumn->addLayout(bars);
    leftColumn->addWidget(m_graphGroup, 1);
    leftColumn->addWidget(m_subjectGroup, 1);
    auto* settings = new QHBoxLayout;
    settings->addWidget(potential);
    settings->addWidget(minimum, 1);
    leftColumn->addLayout(settings);
    middle->addLayout(leftColumn, 2);
    middle->addWidget(pictureGroup, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addWidget(gridGroup);
    layout->addLayout(middle, 1);
    layout->addWidget(m_status);
    resize(1000, 700);
}

QAction* TZudec::action(const QString& caption) const
{
    for (QAction* a : m_actions)
        if (a->text() == caption) return a;
    return nullptr;
}

void TZudec::setMinResponse(int tenths)
{
    QSignalBlocker a(m_minUpDown), b(m_minTrack);
    m_minUpDown->setValue(tenths);
    m_minTrack->setValue(tenths);
    m_state.config.MinResponse = tenths / 10.0;
    m_minField->setText(fmt("%7.1f", m_state.config.MinResponse));
}

void TZudec::fillGrid()
{
    for (int p = 1; p <= 24; ++p) {
        const GridCell c = gridCellOfPoint(p);
        const double v = m_state.energy.Readings[size_t(p - 1)];
        m_grid->item(c.row - 1, c.column - 1)->setText(v == 0 ? QString() : fmt("%3.0f", v));
    }
}

void TZudec::showModeLabel()
{
    const bool high = m_state.energy.VoltageMode;
    m_mode->setText(high ? QStringLiteral("[ Hi ]") : QStringLiteral("[Standard]"));
    m_mode->setStyleSheet(high ? QStringLiteral("color: rgb(255,0,0);") : QStringLiteral("color: rgb(0,128,0);"));
}

void TZudec::showSubject()
{
    const SubjectRow& s = m_state.CurrentSubject;
    m_subject[0]->setText(s.CUSTNO);
    m_subject[1]->setText(s.NAME);
    const bool birth = s.DBIRTH >= NoBirthDateLimit;
    m_subject[2]->setText(birth ? shortDateOfDay(s.DBIRTH) : QString());
    m_subject[3]->setText(birth ? fmt("%3d", ageInYears(s.DBIRTH, QDate::currentDate())) : QString());
    m_subject[4]->setText(s.TEL);
    (s.SEX ? m_male : m_female)->setChecked(true);
}

void TZudec::setIdleButtons()
{
    const bool data = m_state.energy.hasData();
    const bool complete = data && m_state.energy.allMeasured();
    m_actions[0]->setEnabled(true);  // 經絡測量
    m_actions[1]->setEnabled(false); // 停止測量
    m_actions[2]->setEnabled(complete);
    m_actions[3]->setEnabled(data);
    m_actions[4]->setEnabled(true);
    m_actions[5]->setEnabled(data);
    m_actions[6]->setEnabled(true);
    m_actions[7]->setEnabled(complete);
    m_actions[8]->setEnabled(true);
    m_high->setEnabled(true);
    m_standard->setEnabled(true);
}

void TZudec::refreshFromState()
{
    m_grid->setEnabled(false);
    EnergySet& e = m_state.energy;
    if (e.hasData()) {
        m_date->setText(e.TakenAt == 0 ? QString() : shortDateOfDay(e.TakenAt));
        m_time->setText(e.TakenAt == 0 ? QString() : longTimeOfDay(e.TakenAt));
    } else {
        e.TakenAt = 0;
        m_date->clear();
        m_time->clear();
        e.VoltageMode = m_state.config.HighPotential;
    }
    fillGrid();
    showModeLabel();
    // After a load or typed values the potential buttons follow the measurement.
    (e.VoltageMode ? m_high : m_standard)->setChecked(true);
    m_state.config.HighPotential = e.VoltageMode;
    setIdleButtons();
    showSubject();
    m_status->clearMessage();
}

void TZudec::showEvent(QShowEvent* ev)
{
    QDialog::showEvent(ev);
    refreshFromState();
}

void TZudec::openLinked(const std::function<void(QWidget*)>& open, bool afterAnalysis)
{
    if (!open) {
        m_state.ShowMessageDialog(NoteAttention, u("本功能尚未安裝。"));
        return;
    }
    hide();
    open(this);
    if (afterAnalysis) advanceUsageCounterIfDue(m_state, m_instrument);
    show();
    refreshFromState();
}

void TZudec::ToolButtonMeasureClick()
{
    if (m_run.running()) return;
    m_run.start();
}

void TZudec::ToolButtonStopClick()
{
    m_grid->setEnabled(false);
    m_run.requestStop();
}

void TZudec::ToolButtonClearClick()
{
    if (!m_state.ShowMessageDialog(AskQuestion, u("確定要清除視窗中的經絡能量數據嗎?") + QStringLiteral("\r\n") +
                                                    u(" (本功能只會清除視窗表格中的資料，不會影響已經儲存的病歷資料)")))
        return;
    SharedState& s = m_state;
    s.CurrentMeasurementKey = 0;
    s.PointsSinceAnalysis = 0;
    s.energy.Memo.clear();
    s.AnalysisPage = 0;
    s.energy.clearReadings();
    s.resetCurrentSubject();
    s.energy.TakenAt = 0;
    s.energy.VoltageMode = s.config.HighPotential;
    refreshFromState();
}

void TZudec::gridClicked(int row, int column)
{
    m_run.pick(pointOfGridCell(column + 1, row + 1));
}

void TZudec::runStarted()
{
    m_grid->setEnabled(true);
    m_grid->setFocus();
    for (int i : {2, 7, 6, 3, 5, 8, 0, 4}) m_actions[i]->setEnabled(false);
    m_actions[1]->setEnabled(true);
    m_high->setEnabled(false);
    m_standard->setEnabled(false);
    m_subjectGroup->hide();
    m_graphGroup->show();
    fillGrid();
}

void TZudec::runEnded()
{
    m_subjectGroup->show();
    m_graphGroup->hide();
    m_picture->clear();
    m_statusLamp->setOn(false);
    m_grid->setCurrentCell(0, 0);
    m_grid->setEnabled(false);
    m_live->setText(QStringLiteral("[  0.0]"));
    for (QLabel* l : {m_position, m_channel, m_source, m_english, m_pictureSource, m_measured, m_compensated}) l->clear();
    m_shownPoint = 0;
    setIdleButtons();
}

void TZudec::loadPicture(int point)
{
    const QString folder = dataFilePath(m_state.DataDirectory, QLatin1String(PictureFolder));
    QPixmap pm(dataFilePath(folder, pictureFileName(point, m_state.config.PointPictureStyle)));
    m_picture->setPixmap(pm.isNull() ? QPixmap() : pm.scaled(m_picture->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
}

void TZudec::showPoint(int point)
{
    m_shownPoint = point;
    const Meridian m = meridianOfPoint(point);
    loadPicture(point);
    m_position->setText(positionText(point));
    m_channel->setText(channelName(m));
    m_source->setText(sourcePoint(m));
    m_pictureSource->setText(sourcePoint(m));
    m_english->setText(englishLabel(m));
    const GridCell c = gridCellOfPoint(point);
    m_grid->setCurrentCell(c.row - 1, c.column - 1);
}

void TZudec::setStatus(const QString& text) { m_status->showMessage(text); }
void TZudec::setPickAllowed(bool allowed) { m_grid->setEnabled(allowed || m_run.running()); }

void TZudec::showValues(double measured, double compensated)
{
    m_measured->setText(fmt("%5.2f", measured));
    m_compensated->setText(fmt("%5.2f", compensated));
}

void TZudec::showLive(double ua) { m_live->setText(QStringLiteral("[") + fmt("%5.1f", ua) + QStringLiteral("]")); }
void TZudec::setLevelBar(int value) { m_level->setValue(value); }
void TZudec::setCompletionBar(int value) { m_completion->setValue(value); }

void TZudec::setLamps(Phase phase)
{
    switch (phase) {
    case Phase::Waiting:
        m_statusLamp->setColor(kLightGreen);
        m_statusLamp->setOn(true);
        m_statusLamp->setBlinkInterval(200);
        m_levelLamp->setColor(kGreen);
        m_levelLamp->setOn(false);
        m_levelLamp->setBlinkInterval(200);
        m_graphLamp->setColor(kLightGreen);
        m_graphLamp->setOn(true);
        m_graphLamp->setBlinkInterval(200);
        break;
    case Phase::Reading:
        m_levelLamp->setOn(true);
        m_statusLamp->setBlinkInterval(0);
        m_statusLamp->setColor(kRed);
        m_graphLamp->setColor(kRed);
        break;
    case Phase::Stored:
        m_levelLamp->setBlinkInterval(0);
        for (LedLamp* l : {m_statusLamp, m_levelLamp, m_graphLamp}) l->setColor(kYellow);
        break;
    case Phase::Idle:
        m_statusLamp->setOn(false);
        m_levelLamp->setOn(false);
        m_graphLamp->setBlinkInterval(0);
        break;
    }
}

QSize TZudec::graphSize() const { return m_graph->size(); }
void TZudec::clearGraph() { m_graph->clearTrace(); }
void TZudec::traceLine(QPoint from, QPoint to, bool) { m_graph->traceLine(from, to); }

void TZudec::pointStored(int point)
{
    const GridCell c = gridCellOfPoint(point);
    m_grid->item(c.row - 1, c.column - 1)->setText(fmt("%3.0f", m_state.energy.Readings[size_t(point - 1)]));
    m_date->setText(shortDateOfDay(m_state.energy.TakenAt));
    m_time->setText(longTimeOfDay(m_state.energy.TakenAt));
    showModeLabel();
}

void TZudec::reject()
{
    if (m_run.running()) return; // a run ends through 停止測量
    // Closing keeps the measuring settings.
    m_state.config.HighPotential = m_high->isChecked();
    m_state.saveConfiguration();
    QDialog::reject();
}

void TZudec::closeEvent(QCloseEvent* e)
{
    if (m_run.running()) {
        e->ignore();
        return;
    }
    QDialog::closeEvent(e); // goes through reject()
}

} // namespace lumo
