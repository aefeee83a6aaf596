#include "app/tzuform.h"
#include "practice/audit.h"
#include "practice/ui/auditpage.h"
#include "practice/ui/guard.h"
#include "practice/ui/loginscreen.h"
#include "widgets/modal.h"

#include "backup/backup.h"
#include "backup/backupchoice.h"
#include "backup/ui/backupdialog.h"
#include "base/formats.h"
#include "practice/ui/screenlock.h"
#include "practice/ui/waitingroomui.h"
#include "shell/datadir.h"
#include "shell/shortcuts.h"
#include "shell/ui/launcher.h"
#include "shell/ui/recentsubjects.h"
#include "shell/usersettings.h"
#include "widgets/instrumentstatus.h"
#include "widgets/keyboard.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const char* const kProductTitle = "L.U.M.O. 經絡能量分析系統";
const char* const kVersionLabel = "Quenta LUMO Version: 5";

struct ButtonSpec
{
    const char* caption;
    const char* hint;
    QStyle::StandardPixmap icon;
};

} // namespace

TZuForm::TZuForm(SharedState& state, ModuleTable modules, ShellInstrumentHooks hooks,
                 const QString& deliveredDir, QWidget* parent)
    : QMainWindow(parent), m_state(state), m_modules(std::move(modules)), m_hooks(std::move(hooks))
{
    setObjectName(QStringLiteral("TZuForm"));
    setWindowTitle(u(kProductTitle));
    buildToolBar();
    buildMenus();
    buildFooter();
    create(deliveredDir);
    offerRecentSubjects(*this, m_state, [this] { openModule(Module::Measurement); });
    prepareKeyboard(*this);
}

// Some of the style's stock icons come only in small sizes; they are scaled up
// so that every tool button shows an icon of the bar's size.
QIcon TZuForm::toolIcon(QStyle::StandardPixmap which) const
{
    const QIcon icon = style()->standardIcon(which);
    const QSize size = m_toolBar->iconSize();
    QPixmap pixmap = icon.pixmap(size);
    if (pixmap.width() < size.width() && !pixmap.isNull())
        pixmap = pixmap.scaled(size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return QIcon(pixmap);
}

void TZuForm::buildToolBar()
{
    m_toolBar = addToolBar(QStringLiteral("ToolBar1"));
    m_toolBar->setObjectName(QStringLiteral("ToolBar1"));
    m_toolBar->setMovable(false);
    m_toolBar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    m_toolBar->setIconSize(QSize(32, 32));

    const ButtonSpec modules[] = {
        {"經絡測量", "經絡能量測量", QStyle::SP_MediaPlay},
        {"多重比對", "多重經絡能量比對", QStyle::SP_FileDialogDetailedView},
        {"穴道定位", "全身穴道精密定位", QStyle::SP_ArrowDown},
        {"經絡解說", "各經絡相關資料圖例解說", QStyle::SP_FileDialogInfoView},
        {"專家療程", "自訂專家療程系統", QStyle::SP_DirHomeIcon},
        {"數位校準", "儀器自動數位校準系統", QStyle::SP_BrowserReload},
        {"檔案處理", "資料匯入及匯出", QStyle::SP_DriveHDIcon},
    };
    const Module moduleOf[] = {Module::Measurement, Module::MultiComparison,   Module::Locating,
                               Module::Explanation, Module::TreatmentPrograms, Module::Calibration,
                               Module::FileTransfer};
    int n = 1;
    auto add = [&](const char* caption, const char* hint, QStyle::StandardPixmap icon) {
        QAction* a = m_toolBar->addAction(toolIcon(icon), u(caption));
        a->setObjectName(QStringLiteral("ToolButton%1").arg(n++));
        a->setToolTip(u(hint));
        a->setStatusTip(u(hint));
        m_moduleButtons.append(a);
        return a;
    };
    for (int i = 0; i < 7; ++i) {
        QAction* a = add(modules[i].caption, modules[i].hint, modules[i].icon);
        const Module m = moduleOf[i];
        a->setProperty("lumoModule", int(m));
        connect(a, &QAction::triggered, this, [this, m] { openModule(m); });
    }
    const char* customCaptions[] = {"功能1", "功能 2", "功能 3", "功能 4", "功能 5", "功能 6"};
    for (int i = 0; i < 6; ++i) {
        if (i % 3 == 0) m_toolBar->addSeparator();
        m_custom[i] = add(customCaptions[i], "", QStyle::SP_CommandLink);
        m_custom[i]->setVisible(false);
        connect(m_custom[i], &QAction::triggered, this, [this, i] { runCustomButton(i + 1); });
    }
    m_toolBar->addSeparator();
    QAction* exit = add("離開系統", "退出L.U.M.O.系統執行", QStyle::SP_DialogCloseButton);
    connect(exit, &QAction::triggered, this, [this] {
        SetModuleButtonsEnabled(false);
        close();
    });
}

void TZuForm::buildMenus()
{
    QMenuBar* bar = menuBar();
    auto item = [&](QMenu* menu, const char* caption, const char* hint, auto slot) {
        QAction* a = menu ? menu->addAction(u(caption)) : bar->addAction(u(caption));
        a->setStatusTip(u(hint));
        a->setToolTip(u(hint));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    // The screens' entries follow the role's rules once an operator has logged in (firstActivation).
    auto tagModule = [](QAction* a, Module m) {
        a->setProperty("lumoModule", int(m));
        return a;
    };
    QAction* measure =
        tagModule(item(nullptr, "經絡測量", "經絡能量測量", [this] { openModule(Module::Measurement); }),
                  Module::Measurement);
    QAction* multi = tagModule(
        item(nullptr, "多重比對", "多重經絡能量比對", [this] { openModule(Module::MultiComparison); }),
        Module::MultiComparison);
    QAction* locate =
        tagModule(item(nullptr, "穴道定位", "全身穴道精密定位", [this] { openModule(Module::Locating); }),
                  Module::Locating);
    QAction* explain = tagModule(
        item(nullptr, "經絡解說", "各經絡相關資料圖例解說", [this] { openModule(Module::Explanation); }),
        Module::Explanation);

    QMenu* support = bar->addMenu(u("系統支援"));
    support->setObjectName(QStringLiteral("MenuSupport"));
    support->menuAction()->setStatusTip(u("系統支援與服務"));
    support->setToolTipsVisible(true);
    tagModule(
        item(support, "專家療程設定", "自訂專家療程系統", [this] { openModule(Module::TreatmentPrograms); }),
        Module::TreatmentPrograms);
    QAction* settings = item(support, "用戶資料設定", "用戶連結與資料設定", [this] {
        openModule(Module::UserSettings);
        // Saved or not, the status bar and the custom buttons follow the settings at once.
        m_statusText->setText(m_state.config.UserName1);
        applyCustomButtons();
    });
    tagModule(settings, Module::UserSettings);
    tagModule(item(support, "數位校準系統", "自動數位校準系統", [this] { openModule(Module::Calibration); }),
              Module::Calibration);
    tagModule(item(support, "量測誤差", "本診所重複量測的誤差與最小可偵測變化",
                   [this] { openModule(Module::NoiseFigures); }),
              Module::NoiseFigures);
    support->addSeparator();
    tagModule(
        item(support, "檔案匯入/匯出", "客戶及檢測資料處理", [this] { openModule(Module::FileTransfer); }),
        Module::FileTransfer);
    m_backupEntry = addBackupEntry(support, m_state, this);
    m_auditEntry = addAuditLogEntry(support, m_state, this);
    m_support = support;
    m_waitingRoomBefore = item(support, "快速鍵一覽", "各畫面共用的快速鍵",
                               [this] { m_state.ShowMessageDialog(NoteQuestion, shortcutListText()); });
    support->addSeparator();
    item(support, "離開系統", "退出L.U.M.O.系統執行", [this] { close(); });
    QAction* about = item(nullptr, "關於版本", "", [this] { showAbout(); });

    m_hiddenMenus = {locate, multi, measure, explain, support->menuAction(), about};
}

void TZuForm::buildFooter()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    auto* title = new QLabel(u(kProductTitle), central);
    title->setAlignment(Qt::AlignCenter);
    QFont f = title->font();
    f.setPointSize(28);
    f.setBold(true);
    title->setFont(f);
    title->setStyleSheet(QStringLiteral("color: rgb(0,0,128);"));
    layout->addStretch();
    layout->addWidget(title);
    layout->addStretch();

    auto* footer = new QHBoxLayout;
    auto* link =
        new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(MakerWebAddress)), central);
    link->setObjectName(QStringLiteral("LinkLabel"));
    link->setTextInteractionFlags(Qt::LinksAccessibleByMouse);
    connect(link, &QLabel::linkActivated, this,
            [this](const QString& address) { launchAndReport(m_state.messages, address, QString()); });
    auto* version = new QLabel(u(kVersionLabel), central);
    version->setObjectName(QStringLiteral("VersionLabel"));
    footer->addWidget(link);
    footer->addStretch();
    footer->addWidget(version);
    layout->addLayout(footer);
    setCentralWidget(central);

    m_statusText = new QLabel(this);
    m_statusText->setObjectName(QStringLiteral("StatusBarText"));
    statusBar()->addWidget(m_statusText, 1);
    statusBar()->addPermanentWidget(new InstrumentStatus(m_state.instrument, this));
}

void TZuForm::create(const QString& deliveredDir)
{
    if (m_hooks.attach) m_hooks.attach();
    SetModuleButtonsEnabled(false);
    for (QAction* a : m_hiddenMenus)
        a->setVisible(false);
    m_state.energy.Memo.clear();

    StartupOutcome o = runStartupFileSteps(m_state, deliveredDir);
    if (o.templateMissing) {
        m_state.ShowMessageDialog(NoteImportant, templateMissingMessage());
        requestClose();
    }
    if (!o.databases) {
        m_state.ShowMessageDialog(NoteImportant, o.databases.error);
        requestClose();
    }
    // The swap waits for a start when no other workstation holds the files; the program goes on meanwhile.
    if (!o.swap) m_state.ShowMessageDialog(NoteAttention, o.swap.error);
    if (o.networkFolder && o.databases) m_state.ShowMessageDialog(NoteAttention, networkFolderMessage());
    if (!o.privacy) m_state.ShowMessageDialog(NoteAttention, o.privacy.error);
    if (!o.copies) m_state.reportError(o.copies.error);
    if (!o.configuration) m_state.reportError(o.configuration.error);
    if (!o.qualityThresholds) m_state.reportError(o.qualityThresholds.error);
    m_statusText->setText(m_state.config.UserName1);
    attachWaitingRoom(*this, *m_support, m_waitingRoomBefore, m_state);
    static RealClock lockClock;
    new ScreenLock(m_state, lockClock, unlockCheck(m_state), this);
    // The start-up status tells why; the mark stays in sight for the whole run.
    if (!m_state.ReadOnlyReason.isEmpty()) {
        auto* mark = new QLabel(u("唯讀：資料無法儲存"), this);
        mark->setObjectName(QStringLiteral("ReadOnlyMark"));
        mark->setToolTip(m_state.ReadOnlyReason);
        mark->setStyleSheet(
            QStringLiteral("color: rgb(255,255,255); background: rgb(128,0,0); padding: 0 6px;"));
        statusBar()->addPermanentWidget(mark);
    }
}

void TZuForm::requestClose()
{
    m_closeRequested = true;
    QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
}

void TZuForm::showEvent(QShowEvent* e)
{
    QMainWindow::showEvent(e);
    if (!dataFileExists(m_state.DataDirectory, QLatin1String(TemplateDatabaseFile)) && !m_closeRequested)
        requestClose();
    applyCustomButtons();
    // Without a window manager no activation ever arrives; the check must still run.
    QTimer::singleShot(700, this, [this] {
        if (!m_activated && !m_closeRequested && isVisible()) {
            m_activated = true;
            firstActivation();
        }
    });
}

bool TZuForm::event(QEvent* e)
{
    const bool handled = QMainWindow::event(e);
    if (e->type() == QEvent::WindowActivate && !m_activated && !m_closeRequested) {
        m_activated = true;
        // Run after the activation has been delivered, outside the event handler.
        QTimer::singleShot(0, this, [this] { firstActivation(); });
    }
    return handled;
}

void TZuForm::firstActivation()
{
    m_state.InstrumentReady = m_hooks.startupCheck ? m_hooks.startupCheck(this) : true;
    // In practice mode nothing is usable before an operator logs in; leaving the login ends the program.
    bool lockedOut = false;
    if (m_state.InstrumentReady && !logInIfNeeded(m_state, this, &lockedOut)) {
        // Refused outright: nothing to confirm, back up or log on the way out.
        m_closeRequested = lockedOut;
        close();
        return;
    }
    if (m_state.InstrumentReady) {
        for (QAction* a : menuBar()->findChildren<QAction*>())
            if (const QVariant m = a->property("lumoModule"); m.isValid())
                guardControl(a, m_state.Session, modulePermission(Module(m.toInt())));
        guardControl(m_backupEntry, m_state.Session, Permission::Backup);
        showAuditLogEntry(m_auditEntry, m_state.Session);
        SetModuleButtonsEnabled(true);
        for (QAction* a : m_hiddenMenus)
            a->setVisible(true);
    } else {
        close();
    }
}

void TZuForm::applyCustomButtons()
{
    const QString& flags = m_state.config.ToolFlags;
    // A button whose program this computer does not have (the defaults name
    // programs of another system) is not shown; the settings screen says why.
    for (int n = 1; n <= 6; ++n) {
        m_custom[n - 1]->setVisible(customButtonVisible(flags, n) &&
                                    programFound(m_state.config.ToolProgram[size_t(n - 1)], m_launcher));
        m_custom[n - 1]->setToolTip(m_state.config.ToolHint[size_t(n - 1)]);
        m_custom[n - 1]->setStatusTip(m_state.config.ToolHint[size_t(n - 1)]);
    }
}

void TZuForm::SetModuleButtonsEnabled(bool flag)
{
    for (QAction* a : m_moduleButtons) {
        a->setEnabled(flag);
        const QVariant m = a->property("lumoModule");
        if (flag && m.isValid()) guardControl(a, m_state.Session, modulePermission(Module(m.toInt())));
    }
}

QAction* TZuForm::toolAction(const QString& caption) const
{
    for (QAction* a : m_toolBar->actions())
        if (a->text() == caption) return a;
    return nullptr;
}

void TZuForm::openModule(Module m)
{
    // The menus open the screens too: the role is asked here, whatever the way in.
    if (!allowed(m_state.Session, modulePermission(m))) {
        m_state.ShowMessageDialog(NoteAttention, refusalReason(modulePermission(m)));
        return;
    }
    SetModuleButtonsEnabled(false);
    auto it = m_modules.find(m);
    if (it == m_modules.end()) {
        m_state.ShowMessageDialog(NoteAttention, u("本功能尚未安裝。"));
    } else {
        std::unique_ptr<QDialog> screen(it->second(m_state, this));
        if (screen) execModal(*screen);
    }
    SetModuleButtonsEnabled(true);
}

void TZuForm::runCustomButton(int n)
{
    SetModuleButtonsEnabled(false);
    launchAndReport(m_state.messages, m_state.config.ToolProgram[size_t(n - 1)],
                    m_state.config.ToolParam[size_t(n - 1)]);
    SetModuleButtonsEnabled(true);
}

void TZuForm::showAbout()
{
    SetModuleButtonsEnabled(false);
    QDialog box(this);
    box.setObjectName(QStringLiteral("AboutBox"));
    box.setWindowTitle(u("關於版本資料"));
    auto* grid = new QGridLayout(&box);
    auto* title = new QLabel(u(kProductTitle), &box);
    QFont f = title->font();
    f.setPointSize(16);
    f.setBold(true);
    title->setFont(f);
    grid->addWidget(title, 0, 0, 1, 2);
    grid->addWidget(new QLabel(u(kVersionLabel), &box), 1, 0, 1, 2);
    const QString hardware = m_hooks.hardwareVersion ? m_hooks.hardwareVersion() : QString();
    const qint64 counter = m_hooks.usageCounter ? m_hooks.usageCounter() : 0;
    const QString rows[][2] = {
        {QStringLiteral("Device SerialNo:"), m_state.SerialText},
        {QStringLiteral("Hardware Version:"), hardware},
        {QStringLiteral("Measurement Counter:"),
         QStringLiteral("[ ") + thousands(counter, 8) + QStringLiteral(" ]")},
    };
    for (int i = 0; i < 3; ++i) {
        grid->addWidget(new QLabel(rows[i][0], &box), 2 + i, 0);
        auto* value = new QLabel(rows[i][1], &box);
        value->setObjectName(QStringLiteral("AboutValue%1").arg(i + 1));
        grid->addWidget(value, 2 + i, 1);
    }
    auto* link =
        new QLabel(QStringLiteral("<a href=\"%1\">%1</a>").arg(QLatin1String(MakerWebAddress)), &box);
    connect(link, &QLabel::linkActivated, &box,
            [this](const QString& address) { launchAndReport(m_state.messages, address, QString()); });
    grid->addWidget(link, 5, 0, 1, 2);
    auto* ok = new QPushButton(u("確  定"), &box);
    connect(ok, &QPushButton::clicked, &box, &QDialog::accept);
    grid->addWidget(ok, 6, 0, 1, 2, Qt::AlignCenter);
    execModal(box);
    SetModuleButtonsEnabled(true);
}

void TZuForm::closeEvent(QCloseEvent* e)
{
    const bool ask = m_state.InstrumentReady && !m_closeRequested;
    if (ask) {
        if (m_hooks.playTone) m_hooks.playTone(2);
        if (!m_state.ShowMessageDialog(AskAttention, u("您確定要結束本系統嗎?"))) {
            SetModuleButtonsEnabled(true);
            e->ignore();
            return;
        }
    }
    // The session ends with the program: the log closes what the login opened.
    if (!m_closeRequested && m_state.Session.practiceMode && m_state.Session.loggedIn())
        if (const Status s = audit(m_state, {QStringLiteral("logout"), {}, 0, {}}); !s)
            qWarning("audit: %s", qPrintable(s.error));
    if (ask) {
        if (m_hooks.sendIdle) m_hooks.sendIdle();
        backUpOnClosing();
        m_state.MainDatabase.reset();
        m_state.KnowledgeDatabase.reset();
    }
    if (!m_closeRequested) backUpOnClosing();
    SetModuleButtonsEnabled(true);
    e->accept();
}

void TZuForm::backUpOnClosing()
{
    // A copy a day; a copy that fails is told once and never keeps the program
    // open. A server backs up its own data; a data directory that takes
    // nothing has nothing new to copy either.
    if (m_backedUp || !m_state.MainDatabase || m_state.MainDatabase->onServer() ||
        !m_state.ReadOnlyReason.isEmpty())
        return;
    m_backedUp = true;
    const BackupResult r = runDailyBackup(m_state.DataDirectory, m_today());
    if (!r.status)
        m_state.reportError(backupFailureMessage(r.status.error));
    else if (!r.skipped)
        auditOrReport(m_state, {QStringLiteral("backup"), {}, 0, backupAuditDetail(r.path, false)});
}

} // namespace lumo
