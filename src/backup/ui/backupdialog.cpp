#include "backup/ui/backupdialog.h"

#include "backup/backup.h"
#include "backup/backuppassphrase.h"
#include "practice/audit.h"
#include "practice/roles.h"
#include "shell/datadir.h"
#include "shell/sharedstate.h"
#include "widgets/modal.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const char* const kLastFolderKey = "backup/lastFolder";

bool onServer(const SharedState& state)
{
    return state.MainDatabase && state.MainDatabase->onServer();
}

// The folder used last on this workstation, while it is there; otherwise the
// program's own backup folder in the data directory.
QString startFolder(const SharedState& state)
{
    const QString kept = QSettings().value(QLatin1String(kLastFolderKey)).toString();
    if (!kept.isEmpty() && QFileInfo(kept).isDir()) return kept;
    return dataFilePath(state.DataDirectory, QLatin1String(BackupFolder));
}

QLineEdit* passwordField(const QString& accessibleName, QWidget* parent)
{
    auto* field = new QLineEdit(parent);
    field->setEchoMode(QLineEdit::Password);
    field->setAccessibleName(accessibleName);
    return field;
}

} // namespace

BackupDialog::BackupDialog(SharedState& state, QWidget* parent)
    : QDialog(parent), m_state(state),
      m_offer(encryptionOffer(backupPassphraseSet(state.DataDirectory), state.Session))
{
    setObjectName(QStringLiteral("BackupDialog"));
    setWindowTitle(u("資料備份"));
    buildFields();
    followEncryption();
    m_folder->setFocus();
}

void BackupDialog::buildFields()
{
    auto* grid = new QGridLayout(this);
    auto* folderLabel = new QLabel(u("備份到資料夾："), this);
    m_folder = new QLineEdit(startFolder(m_state), this);
    m_folder->setAccessibleName(u("備份到資料夾"));
    m_folder->setMinimumWidth(360);
    folderLabel->setBuddy(m_folder);
    m_browse = new QPushButton(u("瀏覽..."), this);
    m_browse->setAutoDefault(false);
    grid->addWidget(folderLabel, 0, 0);
    grid->addWidget(m_folder, 0, 1);
    grid->addWidget(m_browse, 0, 2);

    m_encrypt = new QCheckBox(u("加密備份 (檔案離開本機時使用)"), this);
    const QString refusal = encryptionRefusal(m_offer);
    m_encrypt->setEnabled(refusal.isEmpty());
    m_encrypt->setToolTip(refusal.isEmpty() ? u("以管理者設定的備份密語加密備份檔") : refusal);
    grid->addWidget(m_encrypt, 1, 0, 1, 3);

    const bool setNew = m_offer == EncryptionOffer::SetNew;
    m_passLabel = new QLabel(setNew ? u("新的備份密語：") : u("備份密語："), this);
    m_pass = passwordField(setNew ? u("新的備份密語") : u("備份密語"), this);
    m_repeatLabel = new QLabel(u("再輸入一次："), this);
    m_repeat = passwordField(u("再輸入一次備份密語"), this);
    m_passLabel->setBuddy(m_pass);
    m_repeatLabel->setBuddy(m_repeat);
    grid->addWidget(m_passLabel, 2, 0);
    grid->addWidget(m_pass, 2, 1, 1, 2);
    grid->addWidget(m_repeatLabel, 3, 0);
    grid->addWidget(m_repeat, 3, 1, 1, 2);
    // Only an admin setting the first passphrase types it twice.
    m_repeatLabel->setVisible(setNew);
    m_repeat->setVisible(setNew);
    if (setNew) {
        auto* hint = new QLabel(u("尚未設定備份密語：這次輸入的密語（至少 %1 個字元）將成為本診所的備份密語，"
                                  "只保存其驗證值，忘記了就無法還原加密的備份，請另行妥善保管。")
                                    .arg(MinBackupPassphraseLength),
                                this);
        hint->setWordWrap(true);
        grid->addWidget(hint, 4, 0, 1, 3);
    }

    m_note = new QLabel(this);
    m_note->setObjectName(QStringLiteral("BackupNote"));
    m_note->setWordWrap(true);
    m_note->setStyleSheet(QStringLiteral("color: rgb(160,0,0);"));
    // Room for a two-line refusal from the start: the buttons never move when one is told.
    m_note->setMinimumHeight(2 * m_note->fontMetrics().lineSpacing());
    grid->addWidget(m_note, 5, 0, 1, 3);

    auto* buttons = new QDialogButtonBox(this);
    m_start = buttons->addButton(u("開始備份"), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(u("取消"), QDialogButtonBox::RejectRole);
    m_start->setDefault(true);
    cancel->setAutoDefault(false);
    grid->addWidget(buttons, 6, 0, 1, 3);

    setTabOrder(m_folder, m_browse);
    setTabOrder(m_browse, m_encrypt);
    setTabOrder(m_encrypt, m_pass);
    setTabOrder(m_pass, m_repeat);
    setTabOrder(m_repeat, m_start);
    setTabOrder(m_start, cancel);

    connect(m_browse, &QPushButton::clicked, this, &BackupDialog::browse);
    connect(m_encrypt, &QCheckBox::toggled, this, &BackupDialog::followEncryption);
    connect(m_start, &QPushButton::clicked, this, &BackupDialog::start);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

// The passphrase fields take input only for an encrypted copy, and stay in
// their places either way, so nothing moves when the box is ticked.
void BackupDialog::followEncryption()
{
    const bool on = m_encrypt->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(m_passLabel), static_cast<QWidget*>(m_pass),
                       static_cast<QWidget*>(m_repeatLabel), static_cast<QWidget*>(m_repeat)})
        w->setEnabled(on);
    if (!on) {
        m_pass->clear();
        m_repeat->clear();
    }
}

void BackupDialog::browse()
{
    QFileDialog dialog(this, u("選擇備份的資料夾"), m_folder->text());
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
        m_folder->setText(QDir::toNativeSeparators(dialog.selectedFiles().first()));
    m_folder->setFocus();
}

QLineEdit* BackupDialog::fieldOf(BackupField field) const
{
    switch (field) {
    case BackupField::Folder:
        return m_folder;
    case BackupField::Passphrase:
        return m_pass;
    case BackupField::Repeat:
        return m_repeat;
    case BackupField::None:
        break;
    }
    return nullptr;
}

void BackupDialog::start()
{
    BackupRequest request;
    request.dataDir = m_state.DataDirectory;
    request.folder = m_folder->text();
    if (onServer(m_state)) {
        request.conninfo = m_state.server.conninfo;
        request.serverPassword = m_state.server.password;
    }
    request.offer = m_offer;
    request.encrypt = m_encrypt->isChecked();
    request.passphrase = m_pass->text().toUtf8();
    request.repeat = m_repeat->text().toUtf8();
    request.day = QDate::currentDate();
    m_note->clear();
    // The key derivation alone takes seconds: the cursor says the program works.
    // A click queued meanwhile finds the button disabled, not a second copy to make.
    QApplication::setOverrideCursor(Qt::WaitCursor);
    m_start->setEnabled(false);
    const BackupOutcome outcome = runBackup(request);
    QApplication::restoreOverrideCursor();
    QCoreApplication::processEvents();
    m_start->setEnabled(true);
    request.passphrase.fill('\0');
    request.repeat.fill('\0');
    if (outcome.passphraseSet)
        auditOrReport(m_state,
                      {QStringLiteral("settings.change"), {}, 0, QLatin1String(BackupPassphraseSetDetail)});
    if (QLineEdit* field = fieldOf(outcome.field)) {
        m_note->setText(outcome.message);
        field->setFocus();
        field->selectAll();
        return;
    }
    if (!outcome.status) {
        // The fields stay as typed: another folder may do.
        m_state.ShowMessageDialog(NoteAttention, outcome.message);
        return;
    }
    QSettings().setValue(QLatin1String(kLastFolderKey), QFileInfo(outcome.path).absolutePath());
    auditOrReport(m_state, {QStringLiteral("backup"),
                            {},
                            0,
                            backupAuditDetail(outcome.path, request.encrypt && request.conninfo.isEmpty())});
    m_state.ShowMessageDialog(NoteImportant, outcome.message);
    accept();
}

QAction* addBackupEntry(QMenu* menu, SharedState& state, QWidget* window)
{
    QAction* entry = menu->addAction(u("資料備份"));
    entry->setObjectName(QStringLiteral("BackupEntry"));
    entry->setStatusTip(u("立即備份資料庫到指定的資料夾，可加密"));
    entry->setToolTip(entry->statusTip());
    QObject::connect(entry, &QAction::triggered, window, [&state, window] {
        // Asked again here: the menu is one way in, and the role rules them all.
        if (!allowed(state.Session, Permission::Backup)) {
            state.ShowMessageDialog(NoteAttention, refusalReason(Permission::Backup));
            return;
        }
        BackupDialog dialog(state, window);
        execModal(dialog);
    });
    return entry;
}

} // namespace lumo
