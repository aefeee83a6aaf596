#include "analysis/ui/tzuany.h"

#include "analysis/charts.h"
#include "analysis/ui/printsetup.h"
#include "analysis/report.h"
#include "analysis/reportinput.h"
#include "shell/datadir.h"
#include "base/formats.h"
#include "shell/ui/launcher.h"
#include "records/measurements.h"
#include "treatment/matching.h"
#include "widgets/gradientbar.h"
#include "widgets/valuegrid.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QCheckBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QDialog>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTextCursor>
#include <QTableWidget>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s) { return QString::fromUtf8(s); }

// Runs a print job behind the small abort box; the job asks the returned
// question before each section, entry and line, which also lets the box's
// button be clicked.
void runWithAbortBox(QWidget* parent, const std::function<void(const std::function<bool()>&)>& job)
{
    QDialog box(parent);
    box.setWindowTitle(u("列印"));
    auto* layout = new QVBoxLayout(&box);
    layout->addWidget(new QLabel(u("分析資料列印中...."), &box));
    auto* stop = new QPushButton(u("中斷列印"), &box);
    layout->addWidget(stop);
    bool abandon = false;
    QObject::connect(stop, &QPushButton::clicked, &box, [&] {
        abandon = true;
        box.hide();
    });
    box.show();
    QCoreApplication::processEvents();
    job([&] {
        QCoreApplication::processEvents();
        return abandon;
    });
    box.hide();
}

const QColor kGreen(0, 128, 0), kYellow(255, 255, 0), kRed(255, 0, 0);

QColor gaugeColour(int grade, bool autonomic)
{
    if (grade == 0) return kGreen;
    return (autonomic ? grade == 3 : std::abs(grade) == 3) ? kRed : kYellow;
}

const char* const kHelp[9] = {
    "【性別】會影響部份辨證,請留意其正確性。", "【平均體能】為基準中線的數據,每一受測者均不相同。",
    "表裡經絡能量對應，您可以藉此判斷陰臟陽腑間的氣血平衡度。", "請至【辨證項目】中點選需要詳細說明的單經絡辨證項目。",
    "請至【辨證項目】中點選需要詳細說明的醫方建議資料。", "請至【食療項目】中點選需要詳細說明的食療資料。",
    "請至【辨證項目】中點選需要詳細說明的專家療程資料。", "請將症狀與處置資料詳細紀錄.",
    "當您選擇【開始列印】,系統將會把您在[列印資料選項]中勾選的資料列印出來."};

} // namespace

// The chart drawing area: repaints the chart of AnalysisChart whenever needed.
class ChartArea : public QWidget
{
public:
    ChartArea(SharedState& state, const EnergyAnalysis& a, QWidget* parent) : QWidget(parent), m_state(state), m_a(a)
    {
        setFixedSize(757, 393);
    }
    std::function<void(const QString&)> onPaint;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Button));
        QFont f = font();
        f.setPixelSize(11);
        p.setFont(f);
        ChartSurface s(p);
        paintChart(m_state.AnalysisChart, m_a, s, width(), height());
        if (onPaint) onPaint(chartStatusText(m_state.AnalysisChart));
    }

private:
    SharedState& m_state;
    const EnergyAnalysis& m_a;
};

TZuany::TZuany(SharedState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("TZuany"));
    setWindowTitle(u("資料分析"));
    QString error;
    auto a = ComputeEnergyAnalysis(state.energy, state.compensation, state.CurrentSubject.SEX, &error);
    if (!a) {
        m_state.reportError(error);
        return;
    }
    m_valid = true;
    m_analysis = *a;
    m_data = buildAnalysisLists(m_analysis);
    m_knowledge = std::make_unique<KnowledgeTexts>(state.KnowledgeDatabase.get(), [this](const QString& e) { m_state.reportError(e); });
    const int age = conditionAge(state.CurrentSubject.DBIRTH, QDate::currentDate());
    if (state.MainDatabase) m_userNames = MatchPrograms(*state.MainDatabase, m_analysis, age, state.CurrentSubject.SEX);
    Status st;
    const QString masterPath = state.dataPath(QLatin1String(MasterProgramDatabaseFile));
    m_masterDb = Database::open(masterPath, FileKind::Master, Database::Access::ReadOnly, &st);
    if (m_masterDb)
        m_masterNames = MatchPrograms(*m_masterDb, m_analysis, age, state.CurrentSubject.SEX);
    else
        m_state.reportError(st.error);
    buildPages();
}

TZuany::~TZuany() = default;

QPlainTextEdit* TZuany::textBox(const char* name) const { return findChild<QPlainTextEdit*>(QLatin1String(name)); }

void TZuany::setBox(QPlainTextEdit* box, const QStringList& paragraphs) { box->setPlainText(paragraphs.join(QLatin1Char('\n'))); }

void TZuany::buildPages()
{
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->setToolTip(u("身體能量及相關分析資料"));
    m_status = new QStatusBar(this);
    m_help = new QLabel(this);
    m_status->addWidget(m_help, 1);
    m_status->addPermanentWidget(new QLabel(u("本功能所有資料僅供研究參考，身體不適仍應洽詢專業醫師。"), this));

    // Page 0: body state.
    auto* body = new QWidget;
    body->setObjectName(QStringLiteral("BodyPage"));
    m_pages->addTab(body, u("體能狀況"));
    fillBodyPage();

    // Page 1: charts.
    auto* charts = new QWidget;
    auto* cl = new QVBoxLayout(charts);
    auto* buttons = new QHBoxLayout;
    const int order[8] = {1, 2, 8, 5, 6, 9, 3, 4};
    const char* hints[10] = {"", "經絡虛實長條圖", "經絡虛實曲線圖", "陰陽分析圖", "氣血分析圖", "五行相生分析圖", "五行相剋分析圖", "", "良導絡分析圖", "自律神經分析圖"};
    for (int chart : order) {
        auto* b = new QToolButton(charts);
        b->setObjectName(QStringLiteral("ChartButton%1").arg(chart));
        b->setText(chartTitle(chart));
        b->setToolTip(u(hints[chart]));
        b->setCheckable(true);
        b->setChecked(chart == m_state.AnalysisChart);
        connect(b, &QToolButton::clicked, this, [this, chart] { chooseChart(chart); });
        buttons->addWidget(b);
        m_chartButtons << b;
    }
    buttons->addStretch();
    cl->addLayout(buttons);
    cl->addWidget(new QLabel(u("經絡虛實分析圖"), charts));
    m_chart = new ChartArea(m_state, m_analysis, charts);
    m_chart->onPaint = [this](const QString& text) {
        if (m_pages->currentIndex() == 1) m_help->setText(text);
    };
    cl->addWidget(m_chart);
    cl->addStretch();
    m_pages->addTab(charts, u("分析圖表"));
    m_pages->setTabToolTip(1, u("圖形分析功能"));

    // Page 2: pairs.
    auto* pairs = new QWidget;
    pairs->setObjectName(QStringLiteral("PairPage"));
    m_pages->addTab(pairs, u("表裡對應"));
    m_pages->setTabToolTip(2, u("表裡經絡能量對應分析"));
    fillPairPage();

    auto textBoxOf = [&](const char* name, QWidget* parent, bool readOnly = true) {
        auto* t = new QPlainTextEdit(parent);
        t->setObjectName(QLatin1String(name));
        t->setReadOnly(readOnly);
        return t;
    };
    auto listOf = [&](const char* name, QWidget* parent) {
        auto* l = new QListWidget(parent);
        l->setObjectName(QLatin1String(name));
        return l;
    };

    auto copyButtons = [this](int page, QWidget* parent) {
        auto* row = new QHBoxLayout;
        auto* all = new QPushButton(u("全選"), parent);
        all->setObjectName(QStringLiteral("SelectAll%1").arg(page));
        // The focus stays in the text box so that page 3 knows which box is meant.
        all->setFocusPolicy(Qt::NoFocus);
        m_paste[page - 3] = new QPushButton(u("貼上"), parent);
        m_paste[page - 3]->setObjectName(QStringLiteral("Paste%1").arg(page));
        m_paste[page - 3]->setEnabled(false);
        connect(all, &QPushButton::clicked, this, [this, page] { selectAll(page); });
        connect(m_paste[page - 3], &QPushButton::clicked, this, [this, page] { paste(page); });
        row->addStretch();
        row->addWidget(all);
        row->addWidget(m_paste[page - 3]);
        return row;
    };

    // Page 3: single-meridian analysis.
    auto* p3 = new QWidget;
    m_lists[0] = listOf("AnalysisList", p3);
    m_detail = textBoxOf("Detail", p3);
    m_ryodoraku = textBoxOf("Ryodoraku", p3);
    auto* p3l = new QGridLayout(p3);
    p3l->addWidget(new QLabel(u("單經絡分析"), p3), 0, 0);
    p3l->addWidget(m_lists[0], 1, 0);
    p3l->addWidget(new QLabel(u("詳細說明"), p3), 0, 1);
    p3l->addWidget(m_detail, 1, 1);
    p3l->addWidget(new QLabel(u("良導絡辨症"), p3), 2, 1);
    p3l->addWidget(m_ryodoraku, 3, 1);
    p3l->addLayout(copyButtons(3, p3), 4, 1);
    m_pages->addTab(p3, u("經絡分析"));
    m_pages->setTabToolTip(3, u("經絡能量分析參考資料"));

    // Page 4: prescriptions.
    auto* p4 = new QWidget;
    m_lists[1] = listOf("PrescriptionList", p4);
    m_prescription = textBoxOf("PrescriptionText", p4);
    auto* p4l = new QGridLayout(p4);
    p4l->addWidget(new QLabel(u("單經絡分析"), p4), 0, 0);
    p4l->addWidget(m_lists[1], 1, 0);
    p4l->addWidget(new QLabel(u("詳細說明"), p4), 0, 1);
    p4l->addWidget(m_prescription, 1, 1);
    auto* medRow = new QHBoxLayout;
    for (const char* name : {"針  灸", "漢  方", "按  摩"}) {
        auto* b = new QPushButton(u(name), p4);
        b->setCheckable(true);
        m_medButtons << b;
        medRow->addWidget(b);
    }
    m_medButtons[2]->hide();
    p4l->addLayout(medRow, 2, 1);
    p4l->addLayout(copyButtons(4, p4), 3, 1);
    m_pages->addTab(p4, u("醫方資料"));
    m_pages->setTabToolTip(4, u("醫方及針灸建議及參考"));

    // Page 5: diet.
    auto* p5 = new QWidget;
    m_lists[2] = listOf("DietList", p5);
    m_diet = textBoxOf("DietText", p5);
    auto* p5l = new QGridLayout(p5);
    p5l->addWidget(new QLabel(u("單經絡分析"), p5), 0, 0);
    p5l->addWidget(m_lists[2], 1, 0);
    p5l->addWidget(new QLabel(u("食物療法表列"), p5), 0, 1);
    p5l->addWidget(m_diet, 1, 1);
    auto* helRow = new QHBoxLayout;
    for (const char* name : {"營養素", "禁  忌", "藥  膳", "花草茶", "按  摩"}) {
        auto* b = new QPushButton(u(name), p5);
        b->setCheckable(true);
        m_helButtons << b;
        helRow->addWidget(b);
    }
    p5l->addLayout(helRow, 2, 1);
    p5l->addLayout(copyButtons(5, p5), 3, 1);
    m_pages->addTab(p5, u("養生建議"));
    m_pages->setTabToolTip(5, u("養生食療參考項目"));
    for (int i = 0; i < 3; ++i)
        connect(m_medButtons[i], &QPushButton::clicked, this, [this, i] {
            if (!m_shownMaster) return;
            for (int j = 0; j < 3; ++j) m_medButtons[j]->setChecked(j == i);
            m_prescription->setPlainText(m_shownMaster->ProMed[size_t(i)]);
        });
    for (int i = 0; i < 5; ++i)
        connect(m_helButtons[i], &QPushButton::clicked, this, [this, i] {
            if (!m_shownMaster) return;
            for (int j = 0; j < 5; ++j) m_helButtons[j]->setChecked(j == i);
            m_diet->setPlainText(m_shownMaster->ProHel[size_t(i)]);
        });

    // Page 6: the operator's programs.
    auto* p6 = new QWidget;
    m_user = listOf("UserProgramList", p6);
    m_programText = textBoxOf("ProgramText", p6);
    m_programPicture = new QLabel(p6);
    m_programPicture->setObjectName(QStringLiteral("ProgramPicture"));
    m_programPicture->setFixedSize(240, 180);
    m_scaleCaption = new QLabel(p6);
    auto* p6l = new QGridLayout(p6);
    p6l->addWidget(new QLabel(u("療程項目"), p6), 0, 0);
    p6l->addWidget(m_user, 1, 0, 3, 1);
    p6l->addWidget(new QLabel(u("療程說明"), p6), 0, 1);
    p6l->addWidget(m_programText, 1, 1);
    p6l->addWidget(m_programPicture, 1, 2);
    p6l->addWidget(m_scaleCaption, 2, 2);
    auto* progRow = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        m_programButtons[i] = new QPushButton(QStringLiteral("%1").arg(i + 1), p6);
        m_programButtons[i]->setEnabled(false);
        progRow->addWidget(m_programButtons[i]);
        connect(m_programButtons[i], &QPushButton::clicked, this, [this, i] {
            if (m_user->currentRow() < 0 || !m_state.MainDatabase) return;
            if (auto p = ProgramStore(*m_state.MainDatabase).findByName(m_user->currentItem()->text()))
                LaunchProgram(p->ProPrg[size_t(i)].trimmed(), p->ProParm[size_t(i)].trimmed());
        });
    }
    p6l->addLayout(progRow, 3, 1);
    p6l->addLayout(copyButtons(6, p6), 4, 1);
    m_pages->addTab(p6, u("專家療程"));
    m_pages->setTabToolTip(6, u("專家療程分析"));

    // Page 7: the treatment record.
    auto* p7 = new QWidget;
    m_record = textBoxOf("TreatmentRecord", p7, false);
    m_record->setPlainText(m_state.energy.Memo.join(QLatin1Char('\n')));
    connect(m_record, &QPlainTextEdit::textChanged, this, [this] { m_recordChanged = true; });
    auto* p7l = new QVBoxLayout(p7);
    p7l->addWidget(m_record);
    m_pages->addTab(p7, u("處置記錄"));
    m_pages->setTabToolTip(7, u("處置與相關建議記錄"));

    // Page 8: print options.
    auto* p8 = new QWidget;
    auto* p8l = new QGridLayout(p8);
    auto* form = new QGroupBox(u("資料列印型式"), p8);
    auto* detailed = new QRadioButton(u("詳細資料列印"), form);
    m_compact = new QRadioButton(u("精簡資料列印"), form);
    auto* fl = new QVBoxLayout(form);
    fl->addWidget(detailed);
    fl->addWidget(m_compact);
    auto* mode = new QGroupBox(u("列印模式"), p8);
    auto* colour = new QRadioButton(u("彩色"), mode);
    m_mono = new QRadioButton(u("單色"), mode);
    auto* ml = new QVBoxLayout(mode);
    ml->addWidget(colour);
    ml->addWidget(m_mono);
    auto* size = new QGroupBox(u("列印字形大小"), p8);
    auto* small = new QRadioButton(u("小型"), size);
    m_normal = new QRadioButton(u("正常"), size);
    auto* sl = new QVBoxLayout(size);
    sl->addWidget(small);
    sl->addWidget(m_normal);
    auto* sections = new QGroupBox(u("列印資料選項"), p8);
    auto* secl = new QGridLayout(sections);
    auto* chartsGroup = new QGroupBox(u("能量分析圖形"), sections);
    auto* chl = new QVBoxLayout(chartsGroup);
    const char* names[21] = {"", "", "經絡測量數據資料", "經絡虛實分析圖-長條", "身體能量狀態分析", "單經絡能量辨證", "養生食療建議", "專家療程建議",
                             "經絡虛實分析圖-曲線", "經絡陰陽分析圖", "經絡氣血分析圖", "處置記錄", "經絡五行相生分析圖", "經絡五行相剋分析圖",
                             "醫方建議-經絡配穴", "良導絡辨證", "單方/複方建議", "", "", "良導絡分析圖", "自律神經平衡圖"};
    int row = 0;
    for (int pos = 1; pos <= 20; ++pos) {
        if (pos == 1) {
            m_options << detailed;
            continue;
        }
        if (pos == 17) {
            m_options << colour;
            continue;
        }
        if (pos == 18) {
            m_options << small;
            continue;
        }
        auto* box = new QCheckBox(u(names[pos]), sections);
        box->setObjectName(QStringLiteral("Option%1").arg(pos));
        m_options << box;
        const bool chart = pos == 3 || pos == 8 || pos == 9 || pos == 10 || pos == 12 || pos == 13 || pos == 19 || pos == 20;
        if (chart)
            chl->addWidget(box);
        else
            secl->addWidget(box, row++, 0);
    }
    secl->addWidget(chartsGroup, 0, 1, row, 1);
    m_ryodorakuOption = static_cast<QCheckBox*>(m_options[14]);
    m_formulaOption = static_cast<QCheckBox*>(m_options[15]);
    for (int pos = 1; pos <= 20; ++pos) {
        const bool on = m_state.config.printOption(pos);
        if (pos == 1) (on ? detailed : m_compact)->setChecked(true);
        else if (pos == 17) (on ? colour : m_mono)->setChecked(true);
        else if (pos == 18) (on ? small : m_normal)->setChecked(true);
        else m_options[pos - 1]->setChecked(on);
    }
    auto parents = [this] {
        m_ryodorakuOption->setEnabled(m_options[4]->isChecked());
        m_formulaOption->setEnabled(m_options[13]->isChecked());
    };
    connect(m_options[4], &QAbstractButton::clicked, this, parents);
    connect(m_options[13], &QAbstractButton::clicked, this, parents);
    parents();
    auto* printButton = new QPushButton(u("列  印"), p8);
    printButton->setObjectName(QStringLiteral("PrintButton"));
    auto* setupButton = new QPushButton(u("列印設定"), p8);
    connect(printButton, &QPushButton::clicked, this, &TZuany::print);
    connect(setupButton, &QPushButton::clicked, this, [this] { openPrintSetup(this, m_state.printer); });
    p8l->addWidget(form, 0, 0);
    p8l->addWidget(mode, 1, 0);
    p8l->addWidget(size, 2, 0);
    p8l->addWidget(sections, 0, 1, 3, 1);
    auto* pr = new QHBoxLayout;
    pr->addWidget(printButton);
    pr->addWidget(setupButton);
    p8l->addLayout(pr, 3, 1);
    m_pages->addTab(p8, u("資料列印"));
    m_pages->setTabToolTip(8, u("資料列印選項"));

    // The master programs, below the lists of pages 3-5.
    m_masterPanel = new QWidget(this);
    auto* mpl = new QVBoxLayout(m_masterPanel);
    mpl->addWidget(new QLabel(u("多經絡分析"), m_masterPanel));
    m_master = listOf("MasterProgramList", m_masterPanel);
    m_master->setMaximumHeight(110);
    mpl->addWidget(m_master);

    auto* leave = new QPushButton(u("離  開"), this);
    connect(leave, &QPushButton::clicked, this, &TZuany::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addWidget(m_masterPanel);
    layout->addWidget(leave, 0, Qt::AlignRight);
    layout->addWidget(m_status);
    resize(1000, 720);

    for (int page = 3; page <= 6; ++page)
        for (QPlainTextEdit* b : pageBoxes(page))
            connect(b, &QPlainTextEdit::selectionChanged, this, [this, page] { updatePaste(page); });

    // Lists.
    for (int i = 0; i < 3; ++i) {
        const QVector<ListItem>& list = i == 0 ? m_data.analysis : i == 1 ? m_data.prescription : m_data.diet;
        for (const ListItem& item : list) m_lists[i]->addItem(item.text);
    }
    m_user->addItems(m_userNames);
    m_master->addItems(m_masterNames);
    connect(m_lists[0], &QListWidget::itemClicked, this, [this](QListWidgetItem* it) { analysisClicked(m_lists[0]->row(it)); });
    connect(m_lists[1], &QListWidget::itemClicked, this, [this](QListWidgetItem* it) { prescriptionClicked(m_lists[1]->row(it)); });
    connect(m_lists[2], &QListWidget::itemClicked, this, [this](QListWidgetItem* it) { dietClicked(m_lists[2]->row(it)); });
    connect(m_master, &QListWidget::itemClicked, this, [this](QListWidgetItem* it) { showMaster(m_master->row(it)); });
    connect(m_user, &QListWidget::itemClicked, this, [this](QListWidgetItem* it) { showUserProgram(m_user->row(it)); });
    for (QPushButton* b : m_medButtons + m_helButtons) b->setEnabled(false);
    if (!m_userNames.isEmpty()) {
        m_user->setCurrentRow(0);
        showUserProgram(0);
    } else {
        m_programPicture->hide();
    }
    if (!m_data.analysis.isEmpty()) {
        m_lists[0]->setCurrentRow(0);
        showAnalysis(0);
    }
    if (!m_data.diet.isEmpty()) {
        m_lists[2]->setCurrentRow(0);
        showDiet(0);
    }
    if (!m_data.prescription.isEmpty()) {
        m_lists[1]->setCurrentRow(0);
        showPrescription(0);
    }
    m_recordChanged = false;
    connect(m_pages, &QTabWidget::currentChanged, this, &TZuany::pageChanged);
    m_pages->setCurrentIndex(std::clamp(m_state.AnalysisPage, 0, 8));
    pageChanged(m_pages->currentIndex());
}

void TZuany::fillBodyPage()
{
    QWidget* page = m_pages->widget(0);
    const EnergyAnalysis& a = m_analysis;
    const SubjectRow& s = m_state.CurrentSubject;
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(u("體能及精神狀況"), page);
    auto* g = new QGridLayout(group);
    const bool birth = s.DBIRTH >= NoBirthDateLimit;
    auto* header = new QLabel(QStringLiteral("%1  %2  %3  %4 %5").arg(s.CUSTNO, s.NAME, s.TEL,
                                                                       birth ? shortDateOfDay(s.DBIRTH) : QString(),
                                                                       birth ? fmt("%3d", ageInYears(s.DBIRTH, QDate::currentDate())) : QString()),
                              group);
    g->addWidget(header, 0, 0, 1, 4);
    auto* sex = new QLabel(s.SEX ? u("男  性") : u("女  性"), group);
    sex->setStyleSheet(s.SEX ? QStringLiteral("color: rgb(0,128,0);") : QStringLiteral("color: rgb(255,0,0);"));
    g->addWidget(sex, 0, 4);
    auto* mode = new QLabel(m_state.energy.VoltageMode ? u("高電位 (擴大)") : u("標準電位 (正常)"), group);
    mode->setStyleSheet(m_state.energy.VoltageMode ? QStringLiteral("color: rgb(255,0,0);") : QStringLiteral("color: rgb(0,128,0);"));
    g->addWidget(mode, 0, 5);
    auto caption = [](const char* first, double x, const char* second, double y) {
        return u(first) + fmt("%6.1f", x) + u(second) + fmt("%6.1f", y) + QStringLiteral(" =");
    };
    struct Row
    {
        const char* label;
        QString caption, value, range, text;
        int gaugeMax, gaugePos;
        QColor colour;
    };
    const Row rows[5] = {
        {"身體能量:", QString(), fmt("%5.2f", a.BodyEnergy), bodyRangeText(a.male), bodyText(a.BodyGrade), 180, int(rnd(a.BodyEnergy)),
         gaugeColour(a.BodyGrade, false)},
        {"精神狀態比值:", caption("上", a.UpperTotal, " / 下", a.LowerTotal), fmt("%5.3f", a.UpperLowerRatio), upperLowerRangeText(a.male),
         upperLowerText(a.UpperLowerGrade), 20, int(rnd(10 * a.UpperLowerRatio)), gaugeColour(a.UpperLowerGrade, false)},
        {"左右肌骨系統:", caption("左", a.LeftTotal, " / 右", a.RightTotal), fmt("%5.3f", a.LeftRightRatio), leftRightRangeText(),
         leftRightText(a.LeftRightGrade), 20, int(rnd(10 * a.LeftRightRatio)), gaugeColour(a.LeftRightGrade, false)},
        {"新陳代謝功能:", caption("陰", a.YinTotal, " / 陽", a.YangTotal), fmt("%5.3f", a.YinYangRatio), yinYangRangeText(),
         yinYangText(a.YinYangGrade), 20, int(rnd(10 * a.YinYangRatio)), gaugeColour(a.YinYangGrade, false)},
        {"自律神經平衡度:", caption("高", a.GroupMax, " / 低", a.GroupMin), fmt("%5.3f", a.AutonomicRatio), autonomicRangeText(),
         autonomicText(a.AutonomicGrade), 40, int(rnd(10 * a.AutonomicRatio)), gaugeColour(a.AutonomicGrade, true)},
    };
    for (int i = 0; i < 5; ++i) {
        const Row& r = rows[i];
        g->addWidget(new QLabel(u(r.label), group), i + 1, 0);
        g->addWidget(new QLabel(r.caption, group), i + 1, 1);
        auto* value = new QLabel(r.value, group);
        value->setObjectName(QStringLiteral("IndexValue%1").arg(i + 1));
        g->addWidget(value, i + 1, 2);
        g->addWidget(new QLabel(r.range, group), i + 1, 3);
        auto* gauge = new GradientBar(group);
        gauge->setRange(r.gaugeMax);
        gauge->setValue(r.gaugePos);
        gauge->setEndColor(r.colour);
        gauge->setMinimumWidth(160);
        g->addWidget(gauge, i + 1, 4);
        auto* text = new QLabel(r.text, group);
        text->setObjectName(QStringLiteral("GradeText%1").arg(i + 1));
        g->addWidget(text, i + 1, 5);
    }
    const std::pair<const char*, Element> elements[5] = {{"金", Element::Metal}, {"木", Element::Wood}, {"水", Element::Water},
                                                         {"火", Element::Fire}, {"土", Element::Earth}};
    for (int i = 0; i < 5; ++i) {
        const double mean = a.ElementMean[size_t(elements[i].second)];
        const int mark = std::abs(a.ElementMark[size_t(elements[i].second)]);
        g->addWidget(new QLabel(u(elements[i].first), group), 6 + i, 0);
        g->addWidget(new QLabel(fmt("%3.1f", mean) + QStringLiteral(" [") + fmt("%3.1f", mean - a.BodyEnergy) + QStringLiteral("]"), group), 6 + i, 1);
        auto* gauge = new GradientBar(group);
        gauge->setRange(150);
        gauge->setValue(int(rnd(mean)));
        gauge->setEndColor(mark == 0 ? kGreen : mark == 1 ? kYellow : kRed);
        g->addWidget(gauge, 6 + i, 4);
    }
    layout->addWidget(group);
    auto* values = new QGroupBox(u("經絡能量測定值 (Meridians Energy Value)"), page);
    auto* vl = new QVBoxLayout(values);
    ValueGridLabels labels;
    for (int m = 0; m < 12; ++m) labels.columns << fullWidthName(Meridian(m));
    labels.rows = {u("左　側"), u("右　側")};
    labels.hands = u("手  部");
    labels.feet = u("足  部");
    auto* grid = addValueGrid(vl, values, labels, Qt::AlignLeft | Qt::AlignVCenter);
    grid->setObjectName(QStringLiteral("ValueGrid"));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int p = 1; p <= 24; ++p) {
        const GridCell c = gridCellOfPoint(p);
        const double v = m_state.energy.Readings[size_t(p - 1)];
        grid->item(c.row - 1, c.column - 1)->setText(v == 0 ? QString() : fmt("%4.1f", v));
    }
    const double when = m_state.energy.TakenAt;
    vl->addWidget(new QLabel(u("測量日期: ") + (when == 0 ? QString() : shortDateOfDay(when)) + u("    測量時間: ") +
                                 (when == 0 ? QString() : longTimeOfDay(when)),
                             values));
    vl->addStretch();
    layout->addWidget(values);
}

void TZuany::fillPairPage()
{
    QWidget* page = m_pages->widget(2);
    auto* group = new QGroupBox(u("能量氣血對應表"), page);
    auto* g = new QGridLayout(group);
    const char* labels[6] = {"【 金 】", "【相火】", "【君火】", "【 土 】", "【 木 】", "【 水 】"};
    g->addWidget(new QLabel(u("上  焦"), group), 0, 0);
    g->addWidget(new QLabel(u("下  焦"), group), 4, 0);
    for (int i = 0; i < 6; ++i) {
        const auto pair = pairMeridians(i + 1);
        const int row = i < 3 ? i + 1 : i + 2;
        g->addWidget(new QLabel(u(labels[i]) + fullWidthName(pair[0]) + QStringLiteral(" - ") + fullWidthName(pair[1]), group), row, 0);
        g->addWidget(new QLabel(QStringLiteral("#") + fmt("%5.1f", m_analysis.PairDifference[size_t(i)]), group), row, 1);
        g->addWidget(new QLabel(fmt("%5.1f", m_analysis.MeridianMean[size_t(pair[0])]) + QStringLiteral("  ") +
                                    fmt("%5.1f", m_analysis.MeridianMean[size_t(pair[1])]),
                                group),
                     row, 2);
        const int status = m_analysis.PairStatus[size_t(i)];
        auto* text = new QLabel(pairStatusText(status), group);
        text->setObjectName(QStringLiteral("PairStatus%1").arg(i + 1));
        g->addWidget(text, row, 3);
        auto* gauge = new GradientBar(group);
        gauge->setRange(100);
        gauge->setValue(int(rnd(std::min(m_analysis.PairDifference[size_t(i)], 100.0))));
        gauge->setEndColor(status == 0 ? kGreen : status == 1 ? kYellow : kRed);
        gauge->setMinimumWidth(200);
        g->addWidget(gauge, row, 4);
    }
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
}

void TZuany::showAnalysis(int row)
{
    if (row < 0 || row >= m_data.analysis.size()) return;
    const ItemTexts t = analysisItemTexts(m_analysis, m_data.analysis[row], *m_knowledge);
    setBox(m_detail, t.main);
    setBox(m_ryodoraku, t.judgement);
}

void TZuany::showPrescription(int row)
{
    if (row < 0 || row >= m_data.prescription.size()) return;
    setBox(m_prescription, prescriptionItemTexts(m_analysis, m_data.prescription[row], *m_knowledge).main);
}

void TZuany::showDiet(int row)
{
    if (row < 0 || row >= m_data.diet.size()) return;
    setBox(m_diet, dietItemTexts(m_analysis, m_data.diet[row], *m_knowledge).main);
}

void TZuany::analysisClicked(int row) { itemClicked(0, row); }
void TZuany::prescriptionClicked(int row) { itemClicked(1, row); }
void TZuany::dietClicked(int row) { itemClicked(2, row); }

void TZuany::showItem(int list, int row)
{
    if (list == 0) showAnalysis(row);
    if (list == 1) showPrescription(row);
    if (list == 2) showDiet(row);
}

// The three lists (0 analysis, 1 prescription, 2 diet) follow each other by
// meridian: a list where the meridian is not listed loses its selection and
// its text. An index item moves neither of the others.
void TZuany::itemClicked(int list, int row)
{
    const QVector<ListItem>* items[3] = {&m_data.analysis, &m_data.prescription, &m_data.diet};
    m_lists[list]->setCurrentRow(row);
    showItem(list, row);
    m_shownMaster.reset();
    m_master->clearSelection();
    for (QPushButton* b : m_medButtons + m_helButtons) b->setEnabled(false);
    const int key = items[list]->value(row).key;
    if (key <= 0 || key >= 13) return;
    for (int other = 0; other < 3; ++other) {
        if (other == list) continue;
        const int pos = positionOfKey(*items[other], key);
        m_lists[other]->setCurrentRow(pos);
        if (pos >= 0) {
            showItem(other, pos);
            continue;
        }
        m_lists[other]->clearSelection();
        for (QPlainTextEdit* box : pageBoxes(3 + other)) box->clear();
    }
}

void TZuany::showMaster(int row)
{
    if (!m_masterDb || row < 0) return;
    m_shownMaster = ProgramStore(*m_masterDb).findByName(m_masterNames.value(row));
    if (!m_shownMaster) return;
    m_detail->setPlainText(m_shownMaster->ProData);
    m_prescription->setPlainText(m_shownMaster->ProMed[0]);
    m_diet->setPlainText(m_shownMaster->ProHel[0]);
    m_ryodoraku->clear();
    for (QPushButton* b : m_medButtons + m_helButtons) {
        b->setEnabled(true);
        b->setChecked(false);
    }
    m_medButtons[0]->setChecked(true);
    m_helButtons[0]->setChecked(true);
    for (QListWidget* l : m_lists) {
        l->setCurrentRow(-1);
        l->clearSelection();
    }
}

void TZuany::showUserProgram(int row)
{
    if (!m_state.MainDatabase || row < 0) return;
    auto p = ProgramStore(*m_state.MainDatabase).findByName(m_userNames.value(row));
    if (!p) return;
    m_programText->setPlainText(p->ProData);
    QPixmap pm;
    pm.loadFromData(p->ProPict);
    m_programPicture->setScaledContents(!p->ProScal);
    m_programPicture->setPixmap(pm);
    m_programPicture->setVisible(true);
    m_scaleCaption->setText(p->ProScal ? QStringLiteral("Scale") : QStringLiteral("Fit"));
    for (int i = 0; i < 4; ++i) {
        m_programButtons[i]->setEnabled(i < p->ProFN.size() && p->ProFN.at(i) == QLatin1Char('1'));
        m_programButtons[i]->setToolTip(p->ProScrp[size_t(i)]);
    }
}

void TZuany::pageChanged(int index)
{
    m_help->setText(u(kHelp[std::clamp(index, 0, 8)]));
    if (index == 1) m_help->setText(chartStatusText(m_state.AnalysisChart));
    m_masterPanel->setVisible(index >= 3 && index <= 5);
    for (QPushButton* b : m_medButtons + m_helButtons) b->setEnabled(m_shownMaster.has_value());
}

void TZuany::chooseChart(int chart)
{
    if (chart != m_state.AnalysisChart) {
        m_state.AnalysisChart = chart;
        m_chart->update();
        m_help->setText(chartStatusText(chart));
    }
    for (QToolButton* b : m_chartButtons) b->setChecked(b->objectName() == QStringLiteral("ChartButton%1").arg(chart));
}

QList<QPlainTextEdit*> TZuany::pageBoxes(int page) const
{
    switch (page) {
    case 3: return {m_detail, m_ryodoraku};
    case 4: return {m_prescription};
    case 5: return {m_diet};
    case 6: return {m_programText};
    }
    return {};
}

void TZuany::updatePaste(int page)
{
    bool any = false;
    for (QPlainTextEdit* b : pageBoxes(page)) any |= b->textCursor().hasSelection();
    m_paste[page - 3]->setEnabled(any);
}

void TZuany::selectAll(int page)
{
    QList<QPlainTextEdit*> boxes = pageBoxes(page);
    if (page == 3) {
        if (m_detail->hasFocus()) boxes = {m_detail};
        else if (m_ryodoraku->hasFocus()) boxes = {m_ryodoraku};
    }
    for (QPlainTextEdit* b : boxes) b->selectAll();
    updatePaste(page);
}

void TZuany::paste(int page)
{
    for (QPlainTextEdit* b : pageBoxes(page)) {
        QTextCursor c = b->textCursor();
        if (!c.hasSelection()) continue;
        QString text = c.selectedText();
        text.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        m_record->appendPlainText(QString());
        m_record->appendPlainText(text);
        c.clearSelection();
        b->setTextCursor(c);
    }
    m_recordChanged = true;
    m_paste[page - 3]->setEnabled(false);
}

void TZuany::selectAllAndPaste(int page)
{
    selectAll(page);
    paste(page);
}

QString TZuany::printOptionsText() const
{
    QString s;
    for (QAbstractButton* b : m_options) s += b->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

void TZuany::printToPdf(const QString& path)
{
    QString error;
    auto ctx = reportContext(m_state, printOptionsText(), m_record->toPlainText(), &error);
    if (!ctx) {
        m_state.reportError(error);
        return;
    }
    runWithAbortBox(this, [&](const std::function<bool()>& abandoned) {
        if (!printReportToPdf(ctx->input, path, &error, abandoned) && !error.isEmpty()) m_state.reportError(error);
    });
}

// 列  印: onto the printer chosen with 列印設定, or the PDF file chosen there.
// Without any printer the operator is offered a PDF file instead of nothing.
void TZuany::print()
{
    const PrinterChoice& choice = m_state.printer;
    QString file = choice.outputFile;
    if (file.isEmpty() && choice.printerName.isEmpty() && QPrinterInfo::availablePrinters().isEmpty()) {
        file = QFileDialog::getSaveFileName(this, u("列印"), QString(), QStringLiteral("PDF (*.pdf)"));
        if (file.isEmpty()) return;
    }
    if (!file.isEmpty()) {
        printToPdf(file);
        return;
    }
    QString error;
    auto ctx = reportContext(m_state, printOptionsText(), m_record->toPlainText(), &error);
    if (!ctx) {
        m_state.reportError(error);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    applyPrinterChoice(choice, printer);
    printer.setDocName(u("L.U.M.O 分析資料."));
    runWithAbortBox(this, [&](const std::function<bool()>& abandoned) {
        PrintAnalysisReport(ctx->input, printer, abandoned, [&printer] { printer.abort(); });
    });
}

void TZuany::reject()
{
    if (m_valid) {
        m_state.AnalysisPage = m_pages->currentIndex();
        m_state.config.PrintOptions = printOptionsText();
        m_state.saveConfiguration();
        if (m_recordChanged) {
            const QString text = m_record->toPlainText();
            m_state.energy.Memo = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
            if (m_state.CurrentMeasurementKey > 0 && m_state.MainDatabase) {
                const Status st = MeasurementStore(*m_state.MainDatabase)
                                      .updateMemo(m_state.CurrentMeasurementKey, m_state.energy.Memo.join(QStringLiteral("\r\n")));
                if (!st) m_state.reportError(st.error);
            }
        }
    }
    QDialog::reject();
}

} // namespace lumo
