#include "analysis/ui/tzuany.h"

#include "analysis/charts.h"
#include "analysis/ui/bodypage.h"
#include "analysis/ui/chartpage.h"
#include "analysis/ui/knowledgepages.h"
#include "analysis/ui/printpage.h"
#include "analysis/ui/programpage.h"
#include "practice/audit.h"
#include "practice/auditdetail.h"
#include "records/measurements.h"
#include "shell/datadir.h"
#include "treatment/matching.h"
#include "widgets/screensize.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const char* const kHelp[9] = {"【性別】會影響部份辨證,請留意其正確性。",
                              "【平均體能】為基準中線的數據,每一受測者均不相同。",
                              "表裡經絡能量對應，您可以藉此判斷陰臟陽腑間的氣血平衡度。",
                              "請至【辨證項目】中點選需要詳細說明的單經絡辨證項目。",
                              "請至【辨證項目】中點選需要詳細說明的醫方建議資料。",
                              "請至【食療項目】中點選需要詳細說明的食療資料。",
                              "請至【辨證項目】中點選需要詳細說明的專家療程資料。",
                              "請將症狀與處置資料詳細紀錄.",
                              "當您選擇【開始列印】,系統將會把您在[列印資料選項]中勾選的資料列印出來."};

QStringList listOf(const auto& texts)
{
    return QStringList(texts.begin(), texts.end());
}

} // namespace

TZuany::TZuany(SharedState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("TZuany"));
    setWindowTitle(u("資料分析"));
    QString error;
    auto a = ComputeEnergyAnalysis(state.energy, state.compensation, state.CurrentSubject.SEX, &error);
    if (!a) {
        // A measurement the analysis refuses is a handled case: the operator is told why.
        m_state.ShowMessageDialog(NoteAttention, error);
        return;
    }
    m_valid = true;
    auditOrReport(
        m_state,
        {QStringLiteral("analysis.view"), state.CurrentSubject.CUSTNO, state.CurrentMeasurementKey, {}});
    m_analysis = *a;
    m_data = buildAnalysisLists(m_analysis);
    m_knowledge = std::make_unique<KnowledgeTexts>(state.KnowledgeDatabase.get(),
                                                   [this](const QString& e) { m_state.reportError(e); });
    const int age = conditionAge(state.CurrentSubject.DBIRTH, QDate::currentDate());
    if (state.MainDatabase)
        m_userNames = MatchPrograms(*state.MainDatabase, m_analysis, age, state.CurrentSubject.SEX);
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

// A screen without an analysis (valid() false) has no pages: the accessors give nullptr.
QListWidget* TZuany::analysisList() const
{
    return m_valid ? m_knowledgePages[0]->list() : nullptr;
}
QListWidget* TZuany::prescriptionList() const
{
    return m_valid ? m_knowledgePages[1]->list() : nullptr;
}
QListWidget* TZuany::dietList() const
{
    return m_valid ? m_knowledgePages[2]->list() : nullptr;
}
QListWidget* TZuany::userList() const
{
    return m_valid ? m_programPage->list() : nullptr;
}

QPlainTextEdit* TZuany::textBox(const char* name) const
{
    return findChild<QPlainTextEdit*>(QLatin1String(name));
}

void TZuany::buildPages()
{
    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->setToolTip(u("身體能量及相關分析資料"));
    m_status = new QStatusBar(this);
    m_help = new QLabel(this);
    m_status->addWidget(m_help, 1);
    m_status->addPermanentWidget(
        new QLabel(u("本功能所有資料僅供研究參考，身體不適仍應洽詢專業醫師。"), this));

    auto toRecord = [this](const QStringList& texts) { appendToRecord(texts); };
    m_chartPage = new ChartPage(m_state, m_analysis);
    m_chartPage->setOnStatus([this](const QString& text) {
        if (m_pages->currentIndex() == 1) m_help->setText(text);
    });
    m_knowledgePages[0] = buildAnalysisPage(toRecord);
    m_knowledgePages[1] = buildPrescriptionPage(toRecord);
    m_knowledgePages[2] = buildDietPage(toRecord);
    m_programPage = new ProgramPage(m_state, m_userNames, toRecord);
    m_printPage = new PrintPage(m_state, [this] { return m_record->toPlainText(); });

    const struct
    {
        QWidget* page;
        const char* title;
        const char* tip; // nullptr: none
    } tabs[9] = {{buildBodyPage(m_analysis, m_state), "體能狀況", nullptr},
                 {m_chartPage, "分析圖表", "圖形分析功能"},
                 {buildPairPage(m_analysis), "表裡對應", "表裡經絡能量對應分析"},
                 {m_knowledgePages[0], "經絡分析", "經絡能量分析參考資料"},
                 {m_knowledgePages[1], "醫方資料", "醫方及針灸建議及參考"},
                 {m_knowledgePages[2], "養生建議", "養生食療參考項目"},
                 {m_programPage, "專家療程", "專家療程分析"},
                 {buildRecordPage(), "處置記錄", "處置與相關建議記錄"},
                 {m_printPage, "資料列印", "資料列印選項"}};
    for (int i = 0; i < 9; ++i) {
        m_pages->addTab(tabs[i].page, u(tabs[i].title));
        if (tabs[i].tip) m_pages->setTabToolTip(i, u(tabs[i].tip));
    }

    buildMasterPanel();
    m_knowledgePages[0]->holdMaster(m_masterPanel);
    auto* leave = new QPushButton(u("離  開"), this);
    connect(leave, &QPushButton::clicked, this, &TZuany::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_pages, 1);
    layout->addWidget(leave, 0, Qt::AlignRight);
    layout->addWidget(m_status);
    openAt(this, QSize(1000, 720));

    fillLists();
    m_recordChanged = false;
    connect(m_pages, &QTabWidget::currentChanged, this, &TZuany::pageChanged);
    m_pages->setCurrentIndex(std::clamp(m_state.AnalysisPage, 0, 8));
    pageChanged(m_pages->currentIndex());
}

// Page 7: the treatment record, which 貼上 of pages 3-6 adds to.
QWidget* TZuany::buildRecordPage()
{
    auto* page = new QWidget;
    m_record = new QPlainTextEdit(page);
    m_record->setObjectName(QStringLiteral("TreatmentRecord"));
    m_record->setPlainText(m_state.energy.Memo.join(QLatin1Char('\n')));
    connect(m_record, &QPlainTextEdit::textChanged, this, [this] { m_recordChanged = true; });
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(m_record);
    return page;
}

// The master programs, below the lists of pages 3-5.
QWidget* TZuany::buildMasterPanel()
{
    m_masterPanel = new QWidget(this);
    auto* layout = new QVBoxLayout(m_masterPanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(new QLabel(u("多經絡分析"), m_masterPanel));
    m_master = new QListWidget(m_masterPanel);
    m_master->setObjectName(QStringLiteral("MasterProgramList"));
    layout->addWidget(m_master, 1);
    return m_masterPanel;
}

// The three lists and the master programs, each list showing its first item.
void TZuany::fillLists()
{
    const QVector<ListItem>* items[3] = {&m_data.analysis, &m_data.prescription, &m_data.diet};
    for (int i = 0; i < 3; ++i) {
        QListWidget* list = m_knowledgePages[i]->list();
        for (const ListItem& item : *items[i])
            list->addItem(item.text);
        connect(list, &QListWidget::itemClicked, this,
                [this, i, list](QListWidgetItem* it) { itemClicked(i, list->row(it)); });
    }
    m_master->addItems(m_masterNames);
    connect(m_master, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* it) { showMaster(m_master->row(it)); });
    for (KnowledgePage* p : m_knowledgePages)
        p->enableChoices(false);
    // Analysis first, then diet, then prescription, as the lists have always been shown.
    for (int i : {0, 2, 1}) {
        if (items[i]->isEmpty()) continue;
        m_knowledgePages[i]->list()->setCurrentRow(0);
        showItem(i, 0);
    }
}

void TZuany::showItem(int list, int row)
{
    const QVector<ListItem>* items[3] = {&m_data.analysis, &m_data.prescription, &m_data.diet};
    if (row < 0 || row >= items[list]->size()) return;
    const ListItem& item = (*items[list])[row];
    const ItemTexts t = list == 0   ? analysisItemTexts(m_analysis, item, *m_knowledge)
                        : list == 1 ? prescriptionItemTexts(m_analysis, item, *m_knowledge)
                                    : dietItemTexts(m_analysis, item, *m_knowledge);
    const QList<QPlainTextEdit*> boxes = m_knowledgePages[list]->boxes();
    boxes[0]->setPlainText(t.main.join(QLatin1Char('\n')));
    if (list == 0) boxes[1]->setPlainText(t.judgement.join(QLatin1Char('\n')));
}

void TZuany::analysisClicked(int row)
{
    itemClicked(0, row);
}
void TZuany::prescriptionClicked(int row)
{
    itemClicked(1, row);
}
void TZuany::dietClicked(int row)
{
    itemClicked(2, row);
}

// The three lists (0 analysis, 1 prescription, 2 diet) follow each other by
// meridian: a list where the meridian is not listed loses its selection and
// its text. An index item moves neither of the others.
void TZuany::itemClicked(int list, int row)
{
    if (!m_valid) return;
    const QVector<ListItem>* items[3] = {&m_data.analysis, &m_data.prescription, &m_data.diet};
    m_knowledgePages[list]->list()->setCurrentRow(row);
    showItem(list, row);
    m_masterShown = false;
    m_master->clearSelection();
    for (KnowledgePage* p : m_knowledgePages) {
        p->forgetChoices();
        p->enableChoices(false);
    }
    const int key = items[list]->value(row).key;
    if (key <= 0 || key >= 13) return;
    for (int other = 0; other < 3; ++other) {
        if (other == list) continue;
        QListWidget* otherList = m_knowledgePages[other]->list();
        const int pos = positionOfKey(*items[other], key);
        otherList->setCurrentRow(pos);
        if (pos >= 0) {
            showItem(other, pos);
            continue;
        }
        otherList->clearSelection();
        for (QPlainTextEdit* box : m_knowledgePages[other]->boxes())
            box->clear();
    }
}

// A master program fills pages 3-5 in place of the lists' items.
void TZuany::showMaster(int row)
{
    if (!m_masterDb || row < 0) return;
    const std::optional<ProgramRow> p = ProgramStore(*m_masterDb).findByName(m_masterNames.value(row));
    m_masterShown = p.has_value();
    for (KnowledgePage* page : m_knowledgePages)
        page->forgetChoices();
    if (!p) return;
    QList<QPlainTextEdit*> analysisBoxes = m_knowledgePages[0]->boxes();
    analysisBoxes[0]->setPlainText(p->ProData);
    m_knowledgePages[1]->showChoices(listOf(p->ProMed));
    m_knowledgePages[2]->showChoices(listOf(p->ProHel));
    analysisBoxes[1]->clear();
    for (KnowledgePage* page : m_knowledgePages) {
        page->list()->setCurrentRow(-1);
        page->list()->clearSelection();
    }
}

void TZuany::pageChanged(int index)
{
    m_help->setText(u(kHelp[std::clamp(index, 0, 8)]));
    if (index == 1) m_help->setText(chartStatusText(m_state.AnalysisChart));
    if (index >= 3 && index <= 5) m_knowledgePages[index - 3]->holdMaster(m_masterPanel);
    for (KnowledgePage* p : m_knowledgePages)
        p->enableChoices(m_masterShown);
}

void TZuany::chooseChart(int chart)
{
    if (m_valid && m_chartPage->chooseChart(chart)) m_help->setText(chartStatusText(chart));
}

CopyButtons* TZuany::copyButtons(int page) const
{
    if (!m_valid) return nullptr;
    if (page >= 3 && page <= 5) return m_knowledgePages[page - 3]->copyButtons();
    if (page == 6) return m_programPage->copyButtons();
    return nullptr;
}

QPushButton* TZuany::pasteButton(int page) const
{
    CopyButtons* c = copyButtons(page);
    return c ? c->pasteButton() : nullptr;
}

void TZuany::selectAll(int page)
{
    if (CopyButtons* c = copyButtons(page)) c->selectAll();
}

void TZuany::paste(int page)
{
    if (CopyButtons* c = copyButtons(page)) c->paste();
}

void TZuany::selectAllAndPaste(int page)
{
    selectAll(page);
    paste(page);
}

// Each selection goes after an empty line.
void TZuany::appendToRecord(const QStringList& texts)
{
    for (const QString& text : texts) {
        m_record->appendPlainText(QString());
        m_record->appendPlainText(text);
    }
    m_recordChanged = true;
}

QString TZuany::printOptionsText() const
{
    return m_valid ? m_printPage->printOptionsText() : QString();
}

void TZuany::printToPdf(const QString& path)
{
    if (m_valid) m_printPage->printToPdf(path);
}

void TZuany::reject()
{
    if (m_valid) {
        m_state.AnalysisPage = m_pages->currentIndex();
        m_state.config.PrintOptions = printOptionsText();
        m_state.saveConfiguration();
        if (m_recordChanged) {
            const QString text = m_record->toPlainText();
            const QString before = m_state.energy.Memo.join(QStringLiteral("\r\n"));
            m_state.energy.Memo = text.isEmpty() ? QStringList() : text.split(QLatin1Char('\n'));
            if (m_state.CurrentMeasurementKey > 0 && m_state.MainDatabase) {
                const qint64 version = m_state.CurrentMeasurementVersion;
                ChangeDetail change;
                change.add("處置記錄", before, m_state.energy.Memo.join(QStringLiteral("\r\n")));
                const Status st =
                    auditedChange(m_state,
                                  {QStringLiteral("memo.change"), m_state.CurrentSubject.CUSTNO,
                                   m_state.CurrentMeasurementKey,
                                   m_state.CurrentSubject.NAME + QStringLiteral(": ") + change.text()},
                                  [&](AuditEntry&) {
                                      return MeasurementStore(*m_state.MainDatabase)
                                          .updateMemo(m_state.CurrentMeasurementKey,
                                                      m_state.energy.Memo.join(QStringLiteral("\r\n")),
                                                      &m_state.CurrentMeasurementVersion);
                                  });
                // A version raised by a write that was then undone is no version of the row.
                if (!st) m_state.CurrentMeasurementVersion = version;
                m_state.reportFailure(st);
                // Another workstation changed the measurement: the screen stays
                // with the record typed here, which the operator can copy before
                // closing it again (the next close does not store it).
                if (isRowConflict(st)) {
                    m_recordChanged = false;
                    return;
                }
            }
        }
    }
    QDialog::reject();
}

} // namespace lumo
