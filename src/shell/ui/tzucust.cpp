#include "shell/ui/tzucust.h"
#include "practice/roles.h"
#include "practice/ui/operatorspage.h"

#include "practice/audit.h"
#include "practice/auditdetail.h"
#include "shell/sharedstate.h"
#include "shell/ui/programrows.h"
#include "shell/usersettings.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

TZuCust::TZuCust(SharedState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("TZuCust"));
    setWindowTitle(u("用戶基本資料設定"));

    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    m_save = toolbar->addAction(u("儲存資料  "));
    m_save->setToolTip(u("儲存用戶基本資料"));
    m_leave = toolbar->addAction(u("   離  開   "));
    m_leave->setToolTip(u("離開基本資料異動系統"));
    connect(m_save, &QAction::triggered, this, &TZuCust::save);
    connect(m_leave, &QAction::triggered, this, &QDialog::reject);

    m_pages = new QTabWidget(this);
    m_pages->setObjectName(QStringLiteral("PageControl1"));
    m_pages->addTab(buildUserPage(), u("用戶資料"));
    m_pages->setTabToolTip(0, u("用戶基本資料設定"));
    auto* programs = new QWidget;
    auto* programsLayout = new QVBoxLayout(programs);
    m_rows = new ProgramRows(6, 0, programs);
    m_rows->messages = m_state.messages;
    programsLayout->addWidget(m_rows);
    m_missing = new QLabel(programs);
    m_missing->setObjectName(QStringLiteral("MissingProgramsNote"));
    m_missing->setWordWrap(true);
    m_missing->setStyleSheet(QStringLiteral("color: rgb(128,0,0);"));
    programsLayout->addWidget(m_missing);
    programsLayout->addStretch();
    m_pages->addTab(programs, u("外掛功能"));
    m_pages->setTabToolTip(1, u("系統外掛執行程式設定"));
    // The accounts: for admins, and for whoever makes the first one. Others
    // see the tab disabled, with why, and nothing of the accounts behind it.
    if (allowed(m_state.Session, Permission::Operators)) {
        const int page = m_pages->addTab(new OperatorsPage(m_state), u("操作人員"));
        m_pages->setTabToolTip(page, u("操作人員帳號：新增、變更密碼、停用"));
    } else {
        const int page = m_pages->addTab(new QWidget, u("操作人員"));
        m_pages->setTabEnabled(page, false);
        m_pages->setTabToolTip(page, refusalReason(Permission::Operators));
    }

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addWidget(m_pages);

    // Opening: page 用戶資料, the texts and the rows as configured.
    const UserSettingsFields f = UserSettingsFields::of(m_state.config);
    for (size_t i = 0; i < 4; ++i)
        m_user[i]->setText(f.user[i]);
    for (int n = 1; n <= 6; ++n) {
        const size_t i = size_t(n - 1);
        m_rows->setRow(n, {f.enabled[i], f.hint[i], f.program[i], f.param[i]});
    }
    m_state.idleTime.load(m_state.DataDirectory); // as stored, should another program have changed it
    m_idleMinutes->setValue(m_state.idleTime.minutes());
    m_pages->setCurrentIndex(0);
    resize(960, 420);
    m_unsaved.settle();
    for (int n = 1; n <= 6; ++n) {
        connect(m_rows->programField(n), &QLineEdit::textChanged, this, &TZuCust::showMissingPrograms);
        connect(m_rows->box(n), &QCheckBox::toggled, this, &TZuCust::showMissingPrograms);
    }
    showMissingPrograms();
}

// The main window does not show a button whose program this computer lacks
// (the defaults name programs of another system); here the operator reads why.
void TZuCust::showMissingPrograms()
{
    QStringList lines;
    for (int n = 1; n <= 6; ++n) {
        const ProgramRows::Row r = m_rows->row(n);
        if (r.enabled && !programFound(r.program.trimmed(), m_rows->launcher))
            lines << u("程式 %1：這台電腦沒有「%2」，主畫面不顯示這個按鈕。請以「瀏覽」選擇這台電腦上的程式，"
                       "或清空程式欄，改由按鈕開啟參數中的檔案或網址。")
                         .arg(n)
                         .arg(r.program.trimmed());
    }
    m_missing->setText(lines.join(QLatin1Char('\n')));
    m_missing->setVisible(!lines.isEmpty());
}

QString TZuCust::snapshot() const
{
    QStringList parts;
    for (QLineEdit* e : m_user)
        parts << e->text();
    parts << QString::number(m_idleMinutes->value());
    return (parts << m_rows->snapshot()).join(QLatin1Char('\x1f'));
}

void TZuCust::reject()
{
    if (m_unsaved.changed()) {
        m_state.playTone(1);
        if (!m_state.ShowMessageDialog(AskAttention, discardChangesQuestion())) return;
    }
    QDialog::reject();
}

QWidget* TZuCust::buildUserPage()
{
    auto* page = new QWidget;
    auto* grid = new QGridLayout(page);
    const char* labels[] = {"用戶名稱1:", "用戶名稱2:", "用戶資料1:", "用戶資料2:"};
    const char* notes[] = {"(本資料將顯示在螢幕主畫面底部)", "(本資料將列印在報表抬頭的第一行)",
                           "(本資料將在列印報表時顯示在第二行) ", "(本資料將在列印報表時顯示在第三行)"};
    const char* names[] = {"UserName1", "UserName2", "UserData1", "UserData2"};
    for (int i = 0; i < 4; ++i) {
        auto* label = new QLabel(u(labels[i]), page);
        m_user[size_t(i)] = new QLineEdit(page);
        m_user[size_t(i)]->setObjectName(QLatin1String(names[i]));
        label->setBuddy(m_user[size_t(i)]);
        grid->addWidget(label, 2 * i, 0);
        grid->addWidget(m_user[size_t(i)], 2 * i, 1);
        auto* note = new QLabel(u(notes[i]), page);
        note->setStyleSheet(QStringLiteral("color: rgb(0,0,128);"));
        grid->addWidget(note, 2 * i + 1, 1);
    }
    addIdleTimeRow(grid, 8);
    grid->setRowStretch(10, 1);
    grid->setColumnStretch(1, 1);
    return page;
}

void TZuCust::save()
{
    UserSettingsFields f;
    for (size_t i = 0; i < 4; ++i)
        f.user[i] = m_user[i]->text();
    for (int n = 1; n <= 6; ++n) {
        const ProgramRows::Row r = m_rows->row(n);
        const size_t i = size_t(n - 1);
        f.enabled[i] = r.enabled;
        f.hint[i] = r.hint;
        f.program[i] = r.program;
        f.param[i] = r.param;
    }
    const Configuration changed = withUserSettings(m_state.config, f);
    m_idleMinutes->interpretText(); // what the box shows, should it still hold the focus
    const int oldIdle = m_state.idleTime.minutes(), idle = m_idleMinutes->value();
    Status s = m_state.idleTime.setMinutes(idle);
    if (!s) {
        m_state.reportError(s.error);
        return;
    }
    // Written first, applied after: a file that cannot be written leaves the
    // running program as it was, and the screen open to try again or leave.
    s = SaveConfiguration(m_state.dataPath(QLatin1String(ConfigurationFileName)), changed);
    if (!s) {
        m_state.idleTime.setMinutes(oldIdle); // all of the screen's settings or none
        m_state.reportError(s.error);
        return;
    }
    // One entry for the save, with every field it changed and its old value.
    QStringList detail{userSettingsChanges(m_state.config, changed)};
    ChangeDetail idleChange;
    idleChange.add("螢幕鎖定 (分鐘)", oldIdle, idle);
    detail << idleChange.text();
    detail.removeAll(QString());
    m_state.config = changed;
    if (!detail.isEmpty())
        audit(m_state, {QStringLiteral("settings.change"), {}, 0, detail.join(QStringLiteral("; "))});
    accept();
}

// The screen lock's idle time (practice mode): a spin box with its label and note.
void TZuCust::addIdleTimeRow(QGridLayout* grid, int row)
{
    QWidget* page = grid->parentWidget();
    m_idleMinutes = new QSpinBox(page);
    m_idleMinutes->setObjectName(QStringLiteral("IdleLockMinutes"));
    m_idleMinutes->setRange(IdleLockMinMinutes, IdleLockMaxMinutes);
    // A typed 0 or an emptied box is saved as the lowest time, not silently as the old one.
    m_idleMinutes->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    m_idleMinutes->setSuffix(u(" 分鐘"));
    auto* label = new QLabel(u("螢幕鎖定:"), page);
    label->setBuddy(m_idleMinutes);
    grid->addWidget(label, row, 0);
    grid->addWidget(m_idleMinutes, row, 1, Qt::AlignLeft);
    auto* note = new QLabel(u("(有操作人員時，閒置這段時間後鎖定螢幕，1 至 120 分鐘)"), page);
    note->setStyleSheet(QStringLiteral("color: rgb(0,0,128);"));
    grid->addWidget(note, row + 1, 1);
}

} // namespace lumo
