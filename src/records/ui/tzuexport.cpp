#include "records/ui/tzuexport.h"

#include "base/messages.h"
#include "practice/masking.h"
#include "records/measurements.h"
#include "records/operationhook.h"
#include "records/subjectexport.h"
#include "records/transferfolders.h"
#include "records/ui/directorychooser.h"
#include "shell/sharedstate.h"
#include "widgets/screensize.h"

#include <QCoreApplication>
#include <QDir>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const char* const LastFolderKey = "exports/subjectFolder";

} // namespace

TZuExport::TZuExport(SharedState& state, const SubjectRow& subject, QWidget* parent)
    : QDialog(parent), m_state(state), m_subject(subject)
{
    setObjectName(QStringLiteral("TZuExport"));
    setWindowTitle(u("匯出個人資料"));
    const qint64 count = MeasurementStore(*state.MainDatabase).countForSubject(subject.CUSTNO);
    auto* about =
        new QLabel(u("受測者 %1 %2 的基本資料、%3 筆測量資料 (FHIR R4 與 CSV) 及每筆測量的分析報表 (PDF)，"
                     "將寫入下列位置的一個資料夾。")
                       .arg(shownSubject(subject, state.waitingRoom.on()).CUSTNO,
                            shownSubject(subject, state.waitingRoom.on()).NAME.trimmed())
                       .arg(count),
                   this);
    about->setWordWrap(true);
    // The chooser of the other exports: browsed, a new folder made, and
    // starting where this workstation exported last (else where a copy is
    // usually carried away: a removable drive, else the home folder).
    m_directory = new DirectoryChooser(u("匯出到下列路徑："), this);
    m_directory->setObjectName(QStringLiteral("Directory"));
    m_directory->setTransferNoteShown(false);
    m_directory->pathBox()->setAccessibleName(u("匯出到資料夾"));
    m_directory->setDirectory(lastUsedFolder(QLatin1String(LastFolderKey), transferStartFolder()));
    m_name = new QLineEdit(subjectFolderName(subject.CUSTNO, QDate::currentDate()), this);
    m_name->setObjectName(QStringLiteral("FolderName"));
    m_name->setAccessibleName(u("資料夾名稱"));
    m_target = new QLabel(this);
    m_target->setObjectName(QStringLiteral("Target"));
    m_target->setWordWrap(true);
    m_progress = new QProgressBar(this);
    m_progress->setRange(0, int(qMax<qint64>(count, 1)));
    m_progress->setValue(0);
    m_export = new QPushButton(u("匯  出"), this);
    m_export->setObjectName(QStringLiteral("Export"));
    m_export->setDefault(true);
    m_leave = new QPushButton(u("離  開"), this);
    m_leave->setObjectName(QStringLiteral("Leave"));

    auto* form = new QFormLayout;
    form->addRow(u("資料夾名稱："), m_name);
    form->addRow(u("將寫入："), m_target);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_export);
    buttons->addWidget(m_leave);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(about);
    layout->addWidget(m_directory, 1);
    layout->addLayout(form);
    layout->addWidget(m_progress);
    layout->addLayout(buttons);
    openAt(this, QSize(640, 520));

    connect(m_directory->pathBox(), &QLineEdit::textChanged, this, &TZuExport::updateTarget);
    connect(m_directory, &DirectoryChooser::directoryChanged, this, &TZuExport::updateTarget);
    connect(m_directory, &DirectoryChooser::failed, this,
            [this](const QString& message) { m_state.ShowMessageDialog(NoteAttention, message); });
    connect(m_name, &QLineEdit::textChanged, this, &TZuExport::updateTarget);
    connect(m_export, &QPushButton::clicked, this, &TZuExport::exportClicked);
    connect(m_leave, &QPushButton::clicked, this, &QDialog::reject);
    updateTarget();
    m_directory->pathBox()->setFocus();
}

void TZuExport::updateTarget()
{
    const QString dir = m_directory->directory().trimmed();
    const QString name = m_name->text().trimmed();
    const bool plain = !name.isEmpty() && !name.contains(QLatin1Char('/')) && name != QLatin1String(".") &&
                       name != QLatin1String("..");
    m_target->setText(plain && !dir.isEmpty() ? QDir::toNativeSeparators(QDir(dir).filePath(name))
                                              : u("請輸入資料夾及名稱"));
    m_export->setEnabled(plain && !dir.isEmpty());
}

void TZuExport::exportClicked()
{
    if (!m_export->isEnabled()) return;
    const QString into = m_directory->directory().trimmed();
    const QString folder = QDir(into).filePath(m_name->text().trimmed());
    m_export->setEnabled(false);
    m_leave->setEnabled(false);
    SubjectExportOutcome outcome;
    const Status st =
        runRecordOperation(m_state, RecordOperation::ExportSubject, m_subject.CUSTNO, [&](AuditEntry& e) {
            const Status done =
                exportSubjectRecords(m_state, m_subject, folder, m_state.config.PrintOptions, &outcome,
                                     [this](int done, int total) {
                                         m_progress->setRange(0, total);
                                         m_progress->setValue(done);
                                         // The reports are drawn on this thread: the bar moves between them.
                                         QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
                                     });
            e.detail = exportAuditText(m_subject, done ? outcome.folder : folder, outcome.measurements);
            return done;
        });
    m_leave->setEnabled(true);
    updateTarget();
    m_progress->setValue(0);
    if (!st) {
        m_state.ShowMessageDialog(NoteAttention, u("個人資料沒有匯出：") + st.error);
        return;
    }
    m_written = outcome.folder;
    rememberFolder(QLatin1String(LastFolderKey), into);
    m_state.ShowMessageDialog(NoteImportant, u("個人資料已匯出 (%1 筆測量資料) 至：\r\n%2")
                                                 .arg(outcome.measurements)
                                                 .arg(QDir::toNativeSeparators(outcome.folder)));
    accept();
}

} // namespace lumo
