#include "treatment/ui/tzuprom.h"

#include "practice/audit.h"
#include "shell/sharedstate.h"
#include "shell/ui/programrows.h"
#include "treatment/ui/programpicture.h"

#include <QAction>
#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QPushButton* plainButton(const QString& caption, const char* name, QWidget* parent)
{
    auto* b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setAutoDefault(false); // Enter in a field must not press it
    return b;
}

} // namespace

TZuProM::TZuProM(Mode mode, SharedState& state, const ProgramRow* current, QWidget* parent)
    : QDialog(parent), m_mode(mode), m_state(state)
{
    setObjectName(QStringLiteral("TZuProM"));
    setWindowTitle(u("專家療程異動"));
    if (current) m_current = *current;
    buildLayout();
    connect(m_number, &QLineEdit::textChanged, this,
            [this](const QString& t) { m_save->setEnabled(groupNumberGiven(t)); });
    connect(m_ownSize, &QCheckBox::toggled, m_picture, &ProgramPicture::setOwnSize);
    connect(m_change, &QPushButton::clicked, this, &TZuProM::choosePicture);
    connect(m_clear, &QPushButton::clicked, this, [this] { m_picture->setPicture({}); });

    if (mode == Mode::Edit && current) {
        fill(*current);
        m_number->setEnabled(false);
        m_name->setFocus();
    } else {
        // Add mode: everything empty, nothing ticked, the number to be typed.
        m_number->setEnabled(true);
        m_number->setFocus();
    }
    m_picture->setOwnSize(m_ownSize->isChecked());
    m_save->setEnabled(groupNumberGiven(m_number->text()));
    m_unsaved.settle();
}

QString TZuProM::snapshot() const
{
    const GroupFields f = fields();
    return QStringList{f.ProNo,
                       f.ProName,
                       f.ProData,
                       QString::number(qHash(f.ProPict)),
                       QString::number(f.ProPict.size()),
                       QString::number(f.ProScal),
                       m_rows->snapshot()}
        .join(QLatin1Char('\x1f'));
}

void TZuProM::reject()
{
    if (m_unsaved.changed()) {
        m_state.playTone(1);
        if (!m_state.ShowMessageDialog(AskAttention, discardChangesQuestion())) return;
    }
    QDialog::reject();
}

void TZuProM::buildLayout()
{
    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("ToolBar1"));
    m_save = toolbar->addAction(u("儲存資料  "));
    m_save->setToolTip(u("儲存療程資料"));
    m_leave = toolbar->addAction(u("   離  開   "));
    m_leave->setToolTip(u("離開療程異動系統"));
    connect(m_save, &QAction::triggered, this, &TZuProM::save);
    connect(m_leave, &QAction::triggered, this, &QDialog::reject);

    m_number = new QLineEdit(this);
    m_number->setObjectName(QStringLiteral("ProNo"));
    m_name = new QLineEdit(this);
    m_name->setObjectName(QStringLiteral("ProName"));
    m_description = new QPlainTextEdit(this);
    m_description->setObjectName(QStringLiteral("ProData"));
    m_description->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_picture = new ProgramPicture(QSize(240, 180), this);
    m_picture->setObjectName(QStringLiteral("ProPict"));
    m_change = plainButton(u("異  動"), "PictureChange", this);
    m_clear = plainButton(QStringLiteral("X"), "PictureClear", this);
    m_clear->setAccessibleName(u("清除照片"));
    m_ownSize = new QCheckBox(u("原圖大小( 1 : 1 )"), this);
    m_ownSize->setObjectName(QStringLiteral("ProScal"));
    // The columns' sizes; longer number and name texts are refused on saving, with a message.
    m_rows = new ProgramRows(4, 150, this);
    m_rows->messages = m_state.messages;
    m_rows->chooser = m_chooser;

    auto* numberLabel = new QLabel(u("療程編號"), this);
    numberLabel->setBuddy(m_number);
    auto* nameLabel = new QLabel(u("療程名稱"), this);
    nameLabel->setBuddy(m_name);
    auto* grid = new QGridLayout;
    grid->addWidget(numberLabel, 0, 0);
    grid->addWidget(m_number, 0, 1);
    grid->addWidget(new QLabel(u("（不得重複）"), this), 0, 2);
    grid->addWidget(nameLabel, 1, 0);
    grid->addWidget(m_name, 1, 1, 1, 2);
    grid->addWidget(new QLabel(u("療程說明"), this), 2, 0, Qt::AlignTop);
    grid->addWidget(m_description, 2, 1, 2, 2);
    auto* photo = new QGridLayout;
    photo->addWidget(new QLabel(u("照片"), this), 0, 0, 1, 2);
    photo->addWidget(m_picture, 1, 0, 1, 2);
    photo->addWidget(m_change, 2, 0);
    photo->addWidget(m_clear, 2, 1);
    photo->addWidget(m_ownSize, 3, 0, 1, 2);
    grid->addLayout(photo, 0, 3, 4, 1);
    grid->setColumnStretch(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(toolbar);
    layout->addLayout(grid);
    layout->addWidget(m_rows);
    resize(900, 520);
}

void TZuProM::fill(const ProgramRow& row)
{
    const GroupFields f = GroupFields::of(row);
    m_number->setText(f.ProNo);
    m_name->setText(f.ProName);
    m_description->setPlainText(f.ProData);
    m_ownSize->setChecked(f.ProScal);
    m_picture->setPicture(f.ProPict);
    for (int n = 1; n <= 4; ++n) {
        const size_t i = size_t(n - 1);
        m_rows->setRow(n, {f.buttons[i], f.ProScrp[i], f.ProPrg[i], f.ProParm[i]});
    }
}

GroupFields TZuProM::fields() const
{
    GroupFields f;
    f.ProNo = m_number->text();
    f.ProName = m_name->text();
    f.ProData = m_description->toPlainText();
    f.ProPict = m_picture->picture();
    f.ProScal = m_ownSize->isChecked();
    for (int n = 1; n <= 4; ++n) {
        const ProgramRows::Row r = m_rows->row(n);
        const size_t i = size_t(n - 1);
        f.buttons[i] = r.enabled;
        f.ProScrp[i] = r.hint;
        f.ProPrg[i] = r.program;
        f.ProParm[i] = r.param;
    }
    return f;
}

namespace {

// The log's detail of a program saved: the fields that changed, old → new.
QString groupChanges(const GroupFields& before, const GroupFields& after)
{
    QStringList parts{after.ProNo};
    auto add = [&](const char* field, const QString& was, const QString& is) {
        if (was != is)
            parts << QStringLiteral("%1: %2 → %3").arg(QString::fromUtf8(field), was.left(200), is.left(200));
    };
    add("療程名稱", before.ProName, after.ProName);
    add("療程說明", before.ProData, after.ProData);
    if (before.ProPict != after.ProPict) parts << QString::fromUtf8("照片");
    for (int i = 0; i < 4; ++i) {
        const QByteArray n = " " + QByteArray::number(i + 1);
        add(("自訂功能鍵說明" + n).constData(), before.ProScrp[size_t(i)], after.ProScrp[size_t(i)]);
        add(("自訂功能鍵程式" + n).constData(), before.ProPrg[size_t(i)], after.ProPrg[size_t(i)]);
        add(("自訂功能鍵參數" + n).constData(), before.ProParm[size_t(i)], after.ProParm[size_t(i)]);
    }
    return parts.join(QStringLiteral("; "));
}

} // namespace

void TZuProM::save()
{
    if (!m_save->isEnabled() || !m_state.MainDatabase) return;
    TreatmentTables tables(*m_state.MainDatabase);
    GroupSaveResult r;
    const Status st = auditedChange(
        m_state,
        {m_mode == Mode::Add ? QStringLiteral("program.add") : QStringLiteral("program.change"),
         {},
         0,
         groupChanges(m_mode == Mode::Add ? GroupFields() : GroupFields::of(m_current), fields())},
        [&](AuditEntry&) {
            r = m_mode == Mode::Add ? addGroup(tables, fields()) : changeGroup(tables, m_current, fields());
            return r.outcome == GroupSaveResult::Saved ? Status::success() : Status::failure(r.message);
        });
    // Saved, but undone with the log's entry that could not be written.
    if (r.outcome == GroupSaveResult::Saved && !st)
        r = GroupSaveResult{GroupSaveResult::Failed, st.error, {}};
    switch (r.outcome) {
    case GroupSaveResult::Saved:
        m_saved = true;
        m_savedNumber = r.number;
        accept();
        return;
    case GroupSaveResult::Duplicate:
    case GroupSaveResult::Refused:
        m_state.playTone(1);
        m_state.ShowMessageDialog(NoteAttention, r.message);
        (r.message == groupNameTooLongMessage() ? m_name : m_number)->setFocus();
        return;
    case GroupSaveResult::Failed:
        m_state.reportError(r.message);
        return;
    }
}

void TZuProM::choosePicture()
{
    const QString path = m_chooser ? m_chooser(this, {FileRequest::Picture}) : QString();
    if (path.isEmpty()) return;
    if (auto bytes = readPictureFile(path)) {
        m_picture->setPicture(*bytes);
        return;
    }
    m_state.playTone(1);
    m_state.ShowMessageDialog(NoteAttention, unreadablePictureMessage(path));
}

void TZuProM::setFileChooser(FileChooser chooser)
{
    m_chooser = chooser;
    m_rows->chooser = std::move(chooser);
}

} // namespace lumo
