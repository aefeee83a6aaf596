#include "analysis/ui/printpage.h"

#include "analysis/report.h"
#include "analysis/reportfilename.h"
#include "analysis/reportinput.h"
#include "analysis/ui/abortbox.h"
#include "analysis/ui/printpreview.h"
#include "analysis/ui/printsetup.h"
#include "practice/audit.h"
#include "shell/sharedstate.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QPrinter>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// A group of two choices; `first` and `second` receive its buttons.
QGroupBox* twoChoices(const char* title, const char* firstText, const char* secondText, QWidget* parent,
                      QRadioButton*& first, QRadioButton*& second)
{
    auto* group = new QGroupBox(u(title), parent);
    first = new QRadioButton(u(firstText), group);
    second = new QRadioButton(u(secondText), group);
    auto* layout = new QVBoxLayout(group);
    layout->addWidget(first);
    layout->addWidget(second);
    return group;
}

// The option positions that name a chart, shown in their own group.
bool isChartOption(int pos)
{
    return pos == 3 || pos == 8 || pos == 9 || pos == 10 || pos == 12 || pos == 13 || pos == 19 || pos == 20;
}

} // namespace

struct PrintPage::Pairs
{
    QGroupBox *form, *mode, *size, *sections;
    QRadioButton *detailed, *compact, *colour, *mono, *small, *normal;
};

PrintPage::PrintPage(SharedState& state, std::function<QString()> recordText, QWidget* parent)
    : QWidget(parent), m_state(state), m_recordText(std::move(recordText))
{
    auto* grid = new QGridLayout(this);
    Pairs pairs;
    pairs.form =
        twoChoices("資料列印型式", "詳細資料列印", "精簡資料列印", this, pairs.detailed, pairs.compact);
    pairs.mode = twoChoices("列印模式", "彩色", "單色", this, pairs.colour, pairs.mono);
    pairs.size = twoChoices("列印字形大小", "小型", "正常", this, pairs.small, pairs.normal);
    buildOptions(pairs);
    loadOptions(pairs);
    auto* printButton = new QPushButton(u("列  印"), this);
    printButton->setObjectName(QStringLiteral("PrintButton"));
    auto* setupButton = new QPushButton(u("列印設定"), this);
    connect(printButton, &QPushButton::clicked, this, &PrintPage::print);
    connect(setupButton, &QPushButton::clicked, this, [this] { openPrintSetup(window(), m_state.printer); });
    grid->addWidget(pairs.form, 0, 0);
    grid->addWidget(pairs.mode, 1, 0);
    grid->addWidget(pairs.size, 2, 0);
    grid->addWidget(pairs.sections, 0, 1, 3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(printButton);
    buttons->addWidget(setupButton);
    grid->addLayout(buttons, 3, 1);
}

// The 20 option positions: 1, 17 and 18 are the first buttons of the pairs,
// the others check boxes, the chart ones in a group of their own.
void PrintPage::buildOptions(Pairs& pairs)
{
    pairs.sections = new QGroupBox(u("列印資料選項"), this);
    auto* sectionsLayout = new QGridLayout(pairs.sections);
    auto* chartsGroup = new QGroupBox(u("能量分析圖形"), pairs.sections);
    auto* chartsLayout = new QVBoxLayout(chartsGroup);
    const char* names[21] = {"",
                             "",
                             "經絡測量數據資料",
                             "經絡虛實分析圖-長條",
                             "身體能量狀態分析",
                             "單經絡能量辨證",
                             "養生食療建議",
                             "專家療程建議",
                             "經絡虛實分析圖-曲線",
                             "經絡陰陽分析圖",
                             "經絡氣血分析圖",
                             "處置記錄",
                             "經絡五行相生分析圖",
                             "經絡五行相剋分析圖",
                             "醫方建議-經絡配穴",
                             "良導絡辨證",
                             "單方/複方建議",
                             "",
                             "",
                             "良導絡分析圖",
                             "自律神經平衡圖"};
    int row = 0;
    for (int pos = 1; pos <= 20; ++pos) {
        if (pos == 1 || pos == 17 || pos == 18) {
            m_options << (pos == 1 ? pairs.detailed : pos == 17 ? pairs.colour : pairs.small);
            continue;
        }
        auto* box = new QCheckBox(u(names[pos]), pairs.sections);
        box->setObjectName(QStringLiteral("Option%1").arg(pos));
        m_options << box;
        if (isChartOption(pos))
            chartsLayout->addWidget(box);
        else
            sectionsLayout->addWidget(box, row++, 0);
    }
    sectionsLayout->addWidget(chartsGroup, 0, 1, row, 1);
}

// The configuration's options, and 良導絡辨證 and 單方/複方建議 enabled only
// under the sections they belong to (單經絡能量辨證, 醫方建議-經絡配穴).
void PrintPage::loadOptions(const Pairs& pairs)
{
    for (int pos = 1; pos <= 20; ++pos) {
        const bool on = m_state.config.printOption(pos);
        if (pos == 1)
            (on ? pairs.detailed : pairs.compact)->setChecked(true);
        else if (pos == 17)
            (on ? pairs.colour : pairs.mono)->setChecked(true);
        else if (pos == 18)
            (on ? pairs.small : pairs.normal)->setChecked(true);
        else
            m_options[pos - 1]->setChecked(on);
    }
    auto parents = [this] {
        m_options[14]->setEnabled(m_options[4]->isChecked());
        m_options[15]->setEnabled(m_options[13]->isChecked());
    };
    connect(m_options[4], &QAbstractButton::clicked, this, parents);
    connect(m_options[13], &QAbstractButton::clicked, this, parents);
    parents();
}

QString PrintPage::printOptionsText() const
{
    QString s;
    for (QAbstractButton* b : m_options)
        s += b->isChecked() ? QLatin1Char('1') : QLatin1Char('0');
    return s;
}

void PrintPage::printToPdf(const QString& path)
{
    QString error;
    auto ctx = reportContext(m_state, printOptionsText(), m_recordText(), &error);
    if (!ctx) {
        m_state.reportError(error);
        return;
    }
    bool written = false;
    runWithAbortBox(window(), [&](const std::function<bool()>& abandoned) {
        written = printReportToPdf(ctx->input, path, &error, abandoned);
        if (!written && !error.isEmpty()) m_state.reportError(error);
    });
    // A file written is said, with its name, so the operator knows where to find it.
    if (!written) return;
    auditOrReport(
        m_state, {QStringLiteral("pdf"), m_state.CurrentSubject.CUSTNO, m_state.CurrentMeasurementKey, path});
    m_state.ShowMessageDialog(NoteImportant, pdfWrittenNotice(path));
}

// 列  印: the pages in the preview first; from there onto the printer chosen
// with 列印設定, or the PDF file chosen there. Without any printer the
// operator is offered a PDF file, named for the subject, instead of nothing.
void PrintPage::print()
{
    const PrinterChoice& choice = m_state.printer;
    QString error;
    auto ctx = reportContext(m_state, printOptionsText(), m_recordText(), &error);
    if (!ctx) {
        m_state.reportError(error);
        return;
    }
    const QString title = u("L.U.M.O 分析資料.");
    if (!previewBeforePrinting(window(), title, choice,
                               [&ctx](QPrinter& p) { PrintAnalysisReport(ctx->input, p); }))
        return;
    const SubjectRow& s = m_state.CurrentSubject;
    const PrintTarget target =
        choosePrintTarget(window(), choice,
                          proposedPdfName(s.CUSTNO, s.NAME, reportDate(m_state.energy.TakenAt), QString(),
                                          m_state.waitingRoom.on()));
    if (target.cancelled) return;
    if (!target.pdfFile.isEmpty()) {
        printToPdf(target.pdfFile);
        return;
    }
    QPrinter printer(QPrinter::HighResolution);
    applyPrinterChoice(choice, printer);
    printer.setDocName(title);
    runWithAbortBox(window(), [&](const std::function<bool()>& abandoned) {
        PrintAnalysisReport(ctx->input, printer, abandoned, [&printer] { printer.abort(); });
    });
    auditOrReport(m_state, {QStringLiteral("print"), m_state.CurrentSubject.CUSTNO,
                            m_state.CurrentMeasurementKey, printer.printerName()});
}

} // namespace lumo
