#include "records/ui/tzuredit.h"

#include "base/formats.h"
#include "practice/audit.h"
#include "practice/auditdetail.h"
#include "records/subjects.h"
#include "shell/sharedstate.h"
#include "widgets/datefield.h"

#include <QCheckBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

QString duplicateSubjectMessage(const QString& existingName)
{
    return u("您所輸入的受測者編號已經與姓名為 [ ") + existingName.trimmed() +
           u(" ] 重覆!!請重新指定另一個編號。");
}

TZuREdit::TZuREdit(Mode mode, SharedState& state, Database& db, const SubjectRow& row, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_state(state), m_db(db), m_row(row)
{
    setObjectName(QStringLiteral("TZuREdit"));
    const bool add = mode == Mode::Add;
    setWindowTitle(add ? u("受測者資料新增") : u("受測者資料修改"));
    buildFields();
    buildLayout();
    connect(m_hasBirth, &QCheckBox::toggled, m_birth, &QWidget::setEnabled);
    connect(m_no, &QLineEdit::textChanged, this, &TZuREdit::updateSaveEnabled);
    connect(m_birth, &QLineEdit::textEdited, this, [this] { m_birthTyped = true; });
    // Said after the key or the focus change that found it, not inside it.
    connect(m_birth, &DateField::refused, this, &TZuREdit::refuseDate, Qt::QueuedConnection);
    if (add) {
        (m_state.CurrentSubject.SEX ? m_male : m_female)->setChecked(true);
        proposeBirthDate();
    } else {
        fillFrom(row);
    }
    updateSaveEnabled();
    m_save->setDefault(true);
    m_unsaved.settle();
}

QString TZuREdit::snapshot() const
{
    const QStringList parts = {m_no->text(),
                               m_name->text(),
                               QString::number(m_hasBirth->isChecked()),
                               m_birth->text(),
                               m_addr->text(),
                               m_email->text(),
                               m_tel->text(),
                               m_tel2->text(),
                               m_tel3->text(),
                               QString::number(m_male->isChecked()),
                               m_memo->toPlainText()};
    return parts.join(QLatin1Char('\x1f'));
}

void TZuREdit::reject()
{
    if (m_unsaved.changed()) {
        m_state.playTone(1);
        if (!m_state.ShowMessageDialog(AskAttention, discardChangesQuestion())) return;
    }
    QDialog::reject();
}

// An impossible date is said, and the field keeps it, selected for retyping.
void TZuREdit::refuseDate(const QString& typed)
{
    m_state.ShowMessageDialog(NoteAttention, refusedDateMessage(typed));
    m_hasBirth->setChecked(true);
    m_birth->setEnabled(true);
    m_birth->setFocus();
    m_birth->selectAll();
}

void TZuREdit::buildFields()
{
    auto line = [&](const char* name, int limit) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QLatin1String(name));
        e->setMaxLength(limit);
        e->installEventFilter(this);
        return e;
    };
    m_no = line("CUSTNO", 15);
    m_name = line("NAME", 20);
    m_hasBirth = new QCheckBox(this);
    m_hasBirth->setObjectName(QStringLiteral("BirthCheck"));
    m_hasBirth->installEventFilter(this);
    m_birth = new DateField(this);
    m_birth->setObjectName(QStringLiteral("DBIRTH"));
    m_birth->installEventFilter(this);
    m_addr = line("ADDR", 50);
    m_email = line("EMAIL", 50);
    m_tel = line("TEL", 30);
    m_tel2 = line("TEL2", 30);
    m_tel3 = line("TEL3", 30);
    m_male = new QRadioButton(u("男  性"), this);
    m_female = new QRadioButton(u("女  性"), this);
    m_male->installEventFilter(this);
    m_female->installEventFilter(this);
    m_memo = new QPlainTextEdit(this);
    m_memo->setObjectName(QStringLiteral("MEMO"));
    m_save = new QPushButton(u("儲存資料"), this);
    m_save->setObjectName(QStringLiteral("SaveButton"));
    m_save->setToolTip(u("儲存受測者資料"));
    m_leave = new QPushButton(u("離  開"), this);
    m_leave->setObjectName(QStringLiteral("LeaveButton"));
    connect(m_save, &QPushButton::clicked, this, &TZuREdit::save);
    connect(m_leave, &QPushButton::clicked, this, &QDialog::reject);
    // Tab and Enter go through the fields in the order of the form, whatever the order of creation.
    QWidget* order[] = {m_no,   m_name, m_hasBirth, m_birth,  m_addr, m_email, m_tel,
                        m_tel2, m_tel3, m_male,     m_female, m_memo, m_save,  m_leave};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TZuREdit::buildLayout()
{
    const bool add = m_mode == Mode::Add;
    auto* form = new QFormLayout;
    auto* noRow = new QHBoxLayout;
    noRow->addWidget(m_no);
    noRow->addWidget(new QLabel(add ? u("(請務必輸入)") : u("(編號資料不得修改)"), this));
    form->addRow(u("編號:"), noRow);
    form->addRow(u("姓名:"), m_name);
    auto* birthRow = new QHBoxLayout;
    birthRow->addWidget(m_hasBirth);
    birthRow->addWidget(m_birth, 1);
    form->addRow(u("生日:"), birthRow);
    form->addRow(u("地址:"), m_addr);
    form->addRow(u("E-Mail:"), m_email);
    form->addRow(u("電話:"), m_tel);
    form->addRow(u("行動:"), m_tel2);
    form->addRow(u("傳真:"), m_tel3);
    auto* sexRow = new QHBoxLayout;
    sexRow->addWidget(m_male);
    sexRow->addWidget(m_female);
    sexRow->addStretch();
    form->addRow(u("性別"), sexRow);
    form->addRow(u("備註欄"), m_memo);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_save);
    buttons->addWidget(m_leave);
    // The status text wraps instead of being cut off at the window's edge.
    auto* status =
        new QLabel(add ? u("新增受測者資料，編號及性別部分務必輸入，其他部分則不限定。確認後請將資料儲存。")
                       : u("修改受測者基本資料，確認後請將資料儲存。"),
                   this);
    status->setObjectName(QStringLiteral("StatusText"));
    status->setWordWrap(true);
    status->setFrameShape(QFrame::StyledPanel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    layout->addWidget(status);
    resize(560, 520);
}

void TZuREdit::proposeBirthDate()
{
    m_proposed = QDate::currentDate();
    m_birth->setDate(m_proposed);
    m_hasBirth->setChecked(false);
    m_birth->setEnabled(false);
}

void TZuREdit::fillFrom(const SubjectRow& row)
{
    m_no->setText(row.CUSTNO);
    m_no->setEnabled(false);
    m_no->setFocusPolicy(Qt::NoFocus);
    m_name->setText(row.NAME);
    m_addr->setText(row.ADDR);
    m_email->setText(row.EMAIL);
    m_tel->setText(row.TEL);
    m_tel2->setText(row.TEL2);
    m_tel3->setText(row.TEL3);
    (row.SEX ? m_male : m_female)->setChecked(true);
    m_memo->setPlainText(QString(row.MEMO).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (!isNoBirthDate(row.DBIRTH)) {
        m_birth->setDate(dateFromDayNumber(row.DBIRTH));
        m_hasBirth->setChecked(true);
        m_birth->setEnabled(true);
    } else {
        proposeBirthDate();
    }
    m_name->setFocus();
}

QLineEdit* TZuREdit::field(const char* name) const
{
    return findChild<QLineEdit*>(QLatin1String(name));
}

void TZuREdit::updateSaveEnabled()
{
    m_save->setEnabled(m_mode == Mode::Change || !m_no->text().trimmed().isEmpty());
}

double TZuREdit::birthDay() const
{
    return m_hasBirth->isChecked() ? dayNumber(m_birth->date()) : 0;
}

bool TZuREdit::eventFilter(QObject* o, QEvent* e)
{
    if (e->type() == QEvent::KeyPress) {
        auto* k = static_cast<QKeyEvent*>(e);
        if (k->key() == Qt::Key_Return || k->key() == Qt::Key_Enter) {
            if (o == m_name) {
                // Enter after the name goes to the birth date, ready to be typed.
                m_hasBirth->setChecked(true);
                m_birth->setFocus();
                return true;
            }
            if (o == m_birth) {
                enterInBirthDate();
                return true;
            }
            focusNextChild();
            return true;
        }
    }
    return QDialog::eventFilter(o, e);
}

// Enter in the date goes on to 地址 (the next field), whatever happens to the
// date: the focus moves before the field may be disabled, which would
// otherwise pass the focus on by itself and Enter would skip a field.
void TZuREdit::enterInBirthDate()
{
    if (!m_birth->commit()) return; // refused: the message says so, the field keeps the focus
    m_addr->setFocus();
    if (m_proposed.isValid() && m_birth->date() == m_proposed && !m_birthTyped) {
        // A proposed date merely passed over is not a birth date.
        m_hasBirth->setChecked(false);
        m_birth->setEnabled(false);
    }
}

void TZuREdit::save()
{
    // A date typed but not yet left counts as typed; one that is no date is not stored.
    if (m_hasBirth->isChecked() && !m_birth->commit()) return;
    SubjectStore store(m_db);
    const QString memo = m_memo->toPlainText().replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    if (m_mode == Mode::Add) {
        const QString number = m_no->text().trimmed();
        if (number.isEmpty()) return;
        if (auto existing = store.findByCustNo(number)) {
            m_state.playTone(1);
            m_state.ShowMessageDialog(NoteAttention, duplicateSubjectMessage(existing->NAME));
            m_no->setFocus();
            return;
        }
        SubjectRow r;
        r.CUSTNO = number;
        r.NAME = m_name->text().trimmed();
        r.SEX = m_male->isChecked();
        r.DBIRTH = birthDay();
        r.ADDR = m_addr->text().trimmed();
        r.TEL = m_tel->text().trimmed();
        r.TEL2 = m_tel2->text().trimmed();
        r.TEL3 = m_tel3->text().trimmed();
        r.EMAIL = m_email->text().trimmed();
        r.MEMO = memo;
        std::optional<SubjectRow> holder;
        const Status st = auditedChange(m_state, {QStringLiteral("subject.add"), r.CUSTNO, 0, r.NAME},
                                        [&](AuditEntry&) { return store.appendNew(r, &holder); });
        if (holder) { // another workstation added the number meanwhile
            m_state.playTone(1);
            m_state.ShowMessageDialog(NoteAttention, duplicateSubjectMessage(holder->NAME));
            m_no->setFocus();
            return;
        }
        if (!st) {
            m_state.reportError(st.error);
            return;
        }
        m_added = true;
        m_addedKey = r.MKEY;
        accept();
        return;
    }
    SubjectRow r = m_row;
    r.NAME = m_name->text(); // name, address and telephone as typed
    r.ADDR = m_addr->text();
    r.TEL = m_tel->text();
    r.TEL2 = m_tel2->text().trimmed();
    r.TEL3 = m_tel3->text().trimmed();
    r.EMAIL = m_email->text().trimmed();
    r.SEX = m_male->isChecked();
    r.DBIRTH = birthDay();
    r.MEMO = memo;
    // Refused when another workstation changed the subject since it was
    // shown: the editor stays open with what was typed.
    const Status st = auditedChange(m_state,
                                    {QStringLiteral("subject.change"), r.CUSTNO, 0,
                                     r.NAME + QStringLiteral(": ") + subjectChanges(m_row, r)},
                                    [&](AuditEntry&) { return store.update(r); });
    if (!st) {
        m_state.reportFailure(st);
        return;
    }
    m_row = r;
    accept();
}

} // namespace lumo
