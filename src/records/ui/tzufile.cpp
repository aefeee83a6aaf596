#include "records/ui/tzufile.h"

#include "practice/audit.h"
#include "practice/ui/guard.h"
#include "records/subjectmerge.h"
#include "records/transferflow.h"
#include "records/transferfolders.h"
#include "records/ui/directorychooser.h"
#include "records/ui/tzuimport.h"
#include "records/ui/tzumerge.h"
#include "shell/sharedstate.h"
#include "shell/shortcuts.h"
#include "widgets/gradientbar.h"
#include "widgets/modal.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QRadioButton>
#include <QStatusBar>
#include <QTabWidget>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const char* const LastExportKey = "exports/transferFolder";

QAction* toolAction(QToolBar* bar, const char* name, const char* text, const char* hint)
{
    QAction* a = bar->addAction(u(text));
    a->setObjectName(QLatin1String(name));
    a->setToolTip(u(hint));
    a->setStatusTip(u(hint));
    // Reached with Tab and pressed with the space bar, as the page's controls are:
    // an operation can be run without a mouse.
    if (QWidget* button = bar->widgetForAction(a)) button->setFocusPolicy(Qt::TabFocus);
    return a;
}

} // namespace

TZuFile::TZuFile(SharedState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("TZuFile"));
    setWindowTitle(u("檔案匯入/匯出作業"));

    auto* bar = new QToolBar(this);
    bar->setObjectName(QStringLiteral("ToolBar1"));
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    m_export = toolAction(bar, "ToolButton1", "資料匯出", "開始將選取的資料匯出至外部檔案");
    m_import = toolAction(bar, "ToolButton2", "匯入資料", "開始將外部檔案資料匯入至系統中");
    bar->addSeparator();
    m_subjects = toolAction(bar, "ImportSubjects", "匯入受測者清單", "從試算表的 CSV 檔案匯入受測者");
    // This screen's own key, beside the Tab chain the tool bar is in.
    m_subjects->setShortcut(shortcutFor(CommonAction::ImportSubjects).key);
    m_subjects->setToolTip(hintWithKey(m_subjects->toolTip(), m_subjects->shortcut()));
    bar->addSeparator();
    m_leave = toolAction(bar, "ToolButton3", "離  開", "離開檔案匯入/匯出作業");

    auto* workRow = new QHBoxLayout;
    workRow->addWidget(new QLabel(u("系統工作目錄："), this));
    auto* work = new QLabel(QDir::toNativeSeparators(m_state.DataDirectory), this);
    work->setObjectName(QStringLiteral("WorkDirectory"));
    work->setTextInteractionFlags(Qt::TextSelectableByMouse);
    workRow->addWidget(work, 1);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(buildExportPage(), u("匯出"));
    m_pages->addTab(buildImportPage(), u("匯入"));
    // Importing is the practitioner's too; replacing what is there is not.
    guardControl(m_replace, m_state.Session, Permission::ReplacingImport);

    auto* barRow = new QHBoxLayout;
    barRow->addWidget(new QLabel(u("完成比例"), this));
    m_bar = new GradientBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setRange(TransferProgress::Maximum);
    m_bar->setShowPercentage(true);
    barRow->addWidget(m_bar, 1);

    m_status = new QStatusBar(this);
    m_status->setObjectName(QStringLiteral("StatusBar1"));
    m_status->setSizeGripEnabled(false);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(bar);
    layout->addLayout(workRow);
    layout->addWidget(m_pages, 1);
    layout->addLayout(barRow);
    layout->addWidget(m_status);
    resize(940, 640);

    connect(m_export, &QAction::triggered, this, &TZuFile::ToolButton1Click);
    connect(m_import, &QAction::triggered, this, &TZuFile::ToolButton2Click);
    connect(m_subjects, &QAction::triggered, this, &TZuFile::importSubjects);
    connect(m_leave, &QAction::triggered, this, &TZuFile::close);
    connect(m_pages, &QTabWidget::currentChanged, this, [this] {
        m_status->showMessage(transferStatusText(m_pages->currentIndex() == 0));
        updateButtons();
    });

    // Opening: both directory choosers where a transfer file is usually
    // carried (a removable drive, else the home folder; the export's where
    // this workstation exported last), both lists hidden, the export page.
    m_exportDir->setDirectory(lastUsedFolder(QLatin1String(LastExportKey), transferStartFolder()));
    m_importDir->setDirectory(transferStartFolder());
    for (DirectoryChooser* chooser : {m_exportDir, m_importDir})
        connect(chooser, &DirectoryChooser::failed, this,
                [this](const QString& message) { m_state.ShowMessageDialog(NoteAttention, message); });
    showLists();
    m_pages->setCurrentIndex(0);
    m_status->showMessage(transferStatusText(true));
    updateButtons();
    // The keys start on the pages (Ctrl+Tab turns them, Tab goes into one),
    // not on 離  開, where a space or Enter would close the screen.
    m_pages->setFocus();
}

void TZuFile::updateButtons()
{
    TransferScreenState s;
    s.exportPage = m_pages->currentIndex() == 0;
    s.anyExportBox =
        m_exportPrograms->isChecked() || m_exportRecords->isChecked() || m_exportCsv->isChecked();
    s.anyImportBox = m_importPrograms->isChecked() || m_importRecords->isChecked();
    s.transferFileShown = m_files->count() > 0;
    s.running = m_running;
    const TransferButtonState b = transferButtons(s);
    m_export->setEnabled(b.exportEnabled);
    m_import->setEnabled(b.importEnabled);
    m_leave->setEnabled(b.leaveEnabled);
    m_subjects->setEnabled(!m_running);
    m_anonymous->setEnabled(m_exportCsv->isChecked());
}

void TZuFile::updateImportFiles()
{
    m_files->clear();
    const QString file = m_importDir->transferFile();
    if (!file.isEmpty()) m_files->addItem(QFileInfo(file).fileName());
    updateButtons();
}

void TZuFile::setRunning(bool running)
{
    m_running = running;
    m_pages->setEnabled(!running);
    updateButtons();
}

void TZuFile::showProgress(int value)
{
    m_bar->setValue(value);
    if (progressHook) progressHook(value);
    // The operation runs on this thread: the bar is drawn between its rows.
    QCoreApplication::processEvents();
}

void TZuFile::ToolButton1Click()
{
    if (m_running) return;
    // Said before anything is asked or written: a missing folder is not a missing source.
    if (!QFileInfo(m_exportDir->directory().trimmed()).isDir()) {
        m_state.playTone(2);
        m_state.ShowMessageDialog(NoteAttention, missingDestinationMessage(m_exportDir->directory()));
        return;
    }
    TransferFlow flow(*m_state.MainDatabase, m_state.DataDirectory,
                      TransferHooks{m_state.messages,
                                    [this](int t) { m_state.playTone(t); },
                                    [this](int v) { showProgress(v); },
                                    [this](bool r) { setRunning(r); },
                                    {}});
    ExportRequest request{m_exportDir->directory(),
                          TransferGroups{m_exportPrograms->isChecked(), m_exportRecords->isChecked()},
                          m_exportCsv->isChecked(), m_anonymous->isChecked()};
    if (flow.runExport(request) == TransferOutcome::Done) {
        rememberFolder(QLatin1String(LastExportKey), request.directory);
        if (request.groups.any())
            auditOrReport(m_state, {QStringLiteral("export"), {}, 0, request.directory});
        if (request.csv)
            auditOrReport(m_state, {QStringLiteral("research.export"),
                                    {},
                                    0,
                                    request.directory +
                                        (request.anonymous ? QStringLiteral(" (anonymous)") : QString())});
    }
    // The directories may now hold a transfer file.
    m_exportDir->setDirectory(m_exportDir->directory());
    m_importDir->setDirectory(m_importDir->directory());
}

void TZuFile::ToolButton2Click()
{
    if (m_running) return;
    if (m_replace->isChecked() && !allowed(m_state.Session, Permission::ReplacingImport)) {
        m_state.ShowMessageDialog(NoteAttention, refusalReason(Permission::ReplacingImport));
        return;
    }
    ImportRequest request{m_importDir->directory(),
                          TransferGroups{m_importPrograms->isChecked(), m_importRecords->isChecked()},
                          m_replace->isChecked()};
    const AuditEntry entry{
        QStringLiteral("import"), {}, 0, transferImportAuditText(request.directory, request.replace)};
    // The log's entry is written in the import's own transaction, with its rows.
    TransferFlow flow(*m_state.MainDatabase, m_state.DataDirectory,
                      TransferHooks{m_state.messages,
                                    [this](int t) { m_state.playTone(t); },
                                    [this](int v) { showProgress(v); },
                                    [this](bool r) { setRunning(r); },
                                    {},
                                    [&] { return audit(m_state, entry); }});
    const qint64 keyBefore = highestSubjectKey(*m_state.MainDatabase);
    if (flow.runImport(request) == TransferOutcome::Done) {
        // The export page lists the main database, which the import changed.
        m_listsLoaded = false;
        showLists();
        // Appending adds a subject whose number is there already a second time.
        if (!request.replace && request.groups.records)
            offerMerge(importedDuplicates(*m_state.MainDatabase, keyBefore));
    }
}

void TZuFile::offerMerge(qint64 duplicates)
{
    if (duplicates <= 0) return;
    if (!m_state.ShowMessageDialog(AskQuestion,
                                   QString::fromUtf8("匯入的受測者中有 %1 位的編號原本就已存在，"
                                                     "現在兩位受測者共用同一個編號。要現在合併這些受測者嗎？")
                                       .arg(duplicates)))
        return;
    TZuMerge screen(m_state, 0, this);
    execModal(screen);
    m_listsLoaded = false;
    showLists();
}

void TZuFile::importSubjects()
{
    if (m_running) return;
    TZuImport screen(m_state, this);
    execModal(screen);
    if (screen.imported() > 0) {
        m_listsLoaded = false;
        showLists();
    }
}

void TZuFile::closeEvent(QCloseEvent* e)
{
    if (m_running) {
        e->ignore();
        return;
    }
    m_exportDir->setDirectory(m_state.DataDirectory);
    m_importDir->setDirectory(m_state.DataDirectory);
    QDialog::closeEvent(e);
}

void TZuFile::reject()
{
    if (!m_running) QDialog::reject();
}

} // namespace lumo
