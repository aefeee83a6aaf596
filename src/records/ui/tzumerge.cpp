#include "records/ui/tzumerge.h"

#include "base/formats.h"
#include "base/messages.h"
#include "practice/masking.h"
#include "records/measurements.h"
#include "records/mergecandidates.h"
#include "records/operationhook.h"
#include "records/subjects.h"
#include "shell/sharedstate.h"
#include "widgets/screensize.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// A value as one line on its button; the whole in the tip.
QString shown(const QString& value)
{
    if (value.trimmed().isEmpty()) return u("(空白)");
    const QString first = value.section(QStringLiteral("\r\n"), 0, 0).section(QLatin1Char('\n'), 0, 0);
    return first.size() > 40 || first.size() < value.size() ? first.left(40) + u("…") : first;
}

} // namespace

// Under 候診區顯示 the two subjects are shown as every list shows them; the
// choice is the same, and F12 shows the values when the room is empty.
QString TZuMerge::who(const SubjectRow& s) const
{
    const ShownSubject v = shownSubject(s, m_state.waitingRoom.on());
    return v.CUSTNO + QLatin1Char(' ') + v.NAME.trimmed();
}

QString TZuMerge::fieldShown(const SubjectRow& s, MergeField f) const
{
    if (!m_state.waitingRoom.on()) return mergeFieldText(s, f);
    const ShownSubject v = shownSubject(s, true);
    switch (f) {
    case MergeField::CUSTNO:
        return v.CUSTNO;
    case MergeField::NAME:
        return v.NAME;
    case MergeField::DBIRTH:
        return v.DBIRTH;
    case MergeField::ADDR:
        return v.ADDR;
    case MergeField::TEL:
        return v.TEL;
    case MergeField::TEL2:
        return v.TEL2;
    case MergeField::TEL3:
        return v.TEL3;
    case MergeField::EMAIL:
        return v.EMAIL;
    case MergeField::SEX:
    case MergeField::MEMO:
        break;
    }
    return mergeFieldText(s, f);
}

TZuMerge::TZuMerge(SharedState& state, qint64 keptKey, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("TZuMerge"));
    setWindowTitle(u("合併受測者"));
    m_duplicates = new QComboBox(this);
    m_duplicates->setObjectName(QStringLiteral("Duplicates"));
    m_duplicates->setAccessibleName(u("重覆的編號"));
    m_keptLabel = new QLabel(this);
    m_keptLabel->setObjectName(QStringLiteral("Kept"));
    m_others = new QComboBox(this);
    m_others->setObjectName(QStringLiteral("Others"));
    m_others->setAccessibleName(u("併入的受測者"));
    m_others->setPlaceholderText(u("(沒有相同編號或可能重覆的受測者；請在右邊輸入另一個編號)"));
    m_find = new QLineEdit(this);
    m_find->setObjectName(QStringLiteral("FindNumber"));
    m_find->setAccessibleName(u("併入的受測者編號"));
    m_find->setPlaceholderText(u("輸入編號後按 Enter"));
    m_last = new QLabel(this);
    m_last->setObjectName(QStringLiteral("LastMerge"));
    m_last->setWordWrap(true);
    m_merge = new QPushButton(u("合併受測者"), this);
    m_merge->setObjectName(QStringLiteral("Merge"));
    m_undo = new QPushButton(u("復原上次合併"), this);
    m_undo->setObjectName(QStringLiteral("Undo"));
    auto* leave = new QPushButton(u("離  開"), this);
    leave->setObjectName(QStringLiteral("Leave"));

    auto* pick = new QGridLayout;
    pick->addWidget(new QLabel(u("重覆的編號："), this), 0, 0);
    pick->addWidget(m_duplicates, 0, 1, 1, 3);
    pick->addWidget(new QLabel(u("保留的受測者："), this), 1, 0);
    pick->addWidget(m_keptLabel, 1, 1, 1, 3);
    pick->addWidget(new QLabel(u("併入的受測者："), this), 2, 0);
    pick->addWidget(m_others, 2, 1);
    pick->addWidget(new QLabel(u("編號："), this), 2, 2);
    pick->addWidget(m_find, 2, 3);
    pick->setColumnStretch(1, 2);
    pick->setColumnStretch(3, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_last, 1);
    buttons->addWidget(m_merge);
    buttons->addWidget(m_undo);
    buttons->addWidget(leave);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pick);
    layout->addWidget(buildFields(), 1);
    layout->addLayout(buttons);
    openAt(this, QSize(900, 560));
    // Tab goes as the eye does: the numbers, the fields one by one, then the buttons.
    QWidget* previous = m_find;
    for (int i = 0; i < MergeFieldCount; ++i)
        for (QWidget* r :
             {static_cast<QWidget*>(m_mine[size_t(i)]), static_cast<QWidget*>(m_theirs[size_t(i)])}) {
            setTabOrder(previous, r);
            previous = r;
        }
    for (QWidget* b :
         {static_cast<QWidget*>(m_merge), static_cast<QWidget*>(m_undo), static_cast<QWidget*>(leave)}) {
        setTabOrder(previous, b);
        previous = b;
    }

    connect(m_duplicates, &QComboBox::activated, this, &TZuMerge::chooseDuplicate);
    connect(m_others, &QComboBox::currentIndexChanged, this, &TZuMerge::otherChanged);
    connect(m_find, &QLineEdit::returnPressed, this, &TZuMerge::findOthers);
    connect(m_merge, &QPushButton::clicked, this, &TZuMerge::mergeClicked);
    connect(m_undo, &QPushButton::clicked, this, &TZuMerge::undoClicked);
    connect(leave, &QPushButton::clicked, this, &QDialog::reject);

    fillDuplicates();
    if (keptKey > 0)
        setKept(keptKey);
    else if (m_duplicates->count() > 1)
        chooseDuplicate(1);
    else
        setKept(0);
    showLastMerge();
}

QWidget* TZuMerge::buildFields()
{
    auto* box = new QGroupBox(u("合併後保留的資料 (每一欄選一邊)"), this);
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(u("保留的受測者"), box), 0, 1);
    grid->addWidget(new QLabel(u("併入的受測者"), box), 0, 2);
    for (int i = 0; i < MergeFieldCount; ++i) {
        const QString label = u(mergeFieldLabel(MergeField(i)));
        grid->addWidget(new QLabel(label + u("："), box), i + 1, 0);
        m_groups[size_t(i)] = new QButtonGroup(box);
        for (bool other : {false, true}) {
            // Exclusive within the field's own group (the group, not the parent, decides);
            // the arrows go from one side to the other.
            auto* r = new QRadioButton(box);
            r->setAccessibleName(label + (other ? u("：併入的") : u("：保留的")));
            m_groups[size_t(i)]->addButton(r, other ? 1 : 0);
            grid->addWidget(r, i + 1, other ? 2 : 1);
            (other ? m_theirs : m_mine)[size_t(i)] = r;
        }
    }
    m_keptCount = new QLabel(box);
    m_otherCount = new QLabel(box);
    grid->addWidget(new QLabel(u("測量資料："), box), MergeFieldCount + 1, 0);
    grid->addWidget(m_keptCount, MergeFieldCount + 1, 1);
    grid->addWidget(m_otherCount, MergeFieldCount + 1, 2);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    return box;
}

QRadioButton* TZuMerge::option(MergeField f, bool other) const
{
    return (other ? m_theirs : m_mine)[size_t(f)];
}

MergeChoice TZuMerge::choice() const
{
    MergeChoice c{};
    for (int i = 0; i < MergeFieldCount; ++i)
        c[size_t(i)] = m_theirs[size_t(i)]->isChecked();
    return c;
}

void TZuMerge::fillDuplicates()
{
    QSignalBlocker block(m_duplicates);
    m_duplicates->clear();
    const auto numbers = duplicateNumbers(*m_state.MainDatabase);
    m_duplicates->addItem(numbers.isEmpty() ? u("(沒有重覆的編號)")
                                            : u("(共 %1 個，請選擇)").arg(numbers.size()));
    for (const auto& [number, count] : numbers)
        m_duplicates->addItem(u("%1 (%2 位)").arg(number).arg(count), number);
    m_duplicates->setEnabled(!numbers.isEmpty());
}

void TZuMerge::chooseDuplicate(int index)
{
    if (index <= 0) return;
    const auto holders = subjectsWithNumber(*m_state.MainDatabase, m_duplicates->itemData(index).toString());
    if (holders.isEmpty()) return;
    m_duplicates->setCurrentIndex(index);
    setKept(holders.first().MKEY);
}

void TZuMerge::setKept(qint64 key)
{
    m_kept = key > 0 ? SubjectStore(*m_state.MainDatabase).get(key) : std::nullopt;
    const qint64 count = m_kept ? MeasurementStore(*m_state.MainDatabase).countForSubject(m_kept->CUSTNO) : 0;
    m_keptLabel->setText(m_kept ? who(*m_kept) : u("(請先選擇重覆的編號)"));
    m_keptCount->setText(u("%1 筆").arg(count));
    m_find->setText(m_kept ? m_kept->CUSTNO : QString());
    findOthers();
}

void TZuMerge::findOthers()
{
    QSignalBlocker block(m_others);
    m_others->clear();
    if (m_kept) {
        for (const SubjectRow& s : subjectsWithNumber(*m_state.MainDatabase, m_find->text().trimmed()))
            if (s.MKEY != m_kept->MKEY) m_others->addItem(who(s), s.MKEY);
        // After the number's holders, the subjects who are likely the same
        // person under another number, each with what they share.
        for (const MergeCandidate& c : mergeCandidates(*m_state.MainDatabase, *m_kept))
            if (m_others->findData(c.subject.MKEY) < 0)
                m_others->addItem(who(c.subject) + u("  (可能重覆：") + likenessText(c.likeness) + u(")"),
                                  c.subject.MKEY);
    }
    m_others->setCurrentIndex(m_others->count() > 0 ? 0 : -1);
    otherChanged();
}

void TZuMerge::otherChanged()
{
    const qint64 key = m_others->currentIndex() >= 0 ? m_others->currentData().toLongLong() : 0;
    m_other = key > 0 ? SubjectStore(*m_state.MainDatabase).get(key) : std::nullopt;
    const qint64 count =
        m_other ? MeasurementStore(*m_state.MainDatabase).countForSubject(m_other->CUSTNO) : 0;
    // Measurements are linked by the number: two subjects of one number hold the same ones.
    const bool shared = m_kept && m_other && m_kept->CUSTNO == m_other->CUSTNO;
    m_otherCount->setText(!m_other ? QString()
                          : shared ? u("與保留的受測者共用這 %1 筆").arg(count)
                                   : u("%1 筆").arg(count));
    for (int i = 0; i < MergeFieldCount; ++i) {
        const MergeField f = MergeField(i);
        const QString mine = m_kept ? fieldShown(*m_kept, f) : QString();
        const QString theirs = m_other ? fieldShown(*m_other, f) : QString();
        m_mine[size_t(i)]->setText(shown(mine));
        m_mine[size_t(i)]->setToolTip(mine);
        m_theirs[size_t(i)]->setText(m_other ? shown(theirs) : QString());
        m_theirs[size_t(i)]->setToolTip(theirs);
        m_theirs[size_t(i)]->setEnabled(m_other.has_value());
        // The kept subject's value, unless only the other one has something.
        (mine.trimmed().isEmpty() && !theirs.trimmed().isEmpty() ? m_theirs : m_mine)[size_t(i)]->setChecked(
            true);
    }
    m_merge->setEnabled(m_kept && m_other);
}

void TZuMerge::showLastMerge()
{
    const auto last = lastMerge(*m_state.MainDatabase);
    m_undo->setEnabled(last.has_value());
    m_last->setText(last ? u("上次合併：%1 將 %2 併入 %3")
                               .arg(dateTimeOfDay(last->when), who(last->removed), who(last->keptBefore))
                         : QString());
}

QString TZuMerge::mergeQuestion() const
{
    const qint64 moving = MeasurementStore(*m_state.MainDatabase).countForSubject(m_other->CUSTNO);
    const QString what = m_other->CUSTNO == m_kept->CUSTNO
                             ? u("編號 %1 的 %2 筆測量資料都歸保留的受測者").arg(m_kept->CUSTNO).arg(moving)
                             : u("[ %1 ] 的 %2 筆測量資料將移到保留的受測者").arg(who(*m_other)).arg(moving);
    return u("確定要將 [ %1 ] 併入 [ %2 ] 嗎？\r\n%3，[ %1 ] 將被刪除 (在下次合併之前可以復原)。")
        .arg(who(*m_other), who(*m_kept), what);
}

void TZuMerge::mergeClicked()
{
    if (!m_kept || !m_other) return;
    if (!m_state.ShowMessageDialog(AskAttention, mergeQuestion())) return;
    int moved = 0;
    const qint64 kept = m_kept->MKEY;
    const Status st =
        runRecordOperation(m_state, RecordOperation::MergeSubjects, m_kept->CUSTNO, [&](AuditEntry& e) {
            return mergeSubjects(*m_state.MainDatabase, *m_kept, *m_other, choice(),
                                 dayNumber(QDateTime::currentDateTime()), &moved, &e.detail);
        });
    if (!st) {
        m_state.ShowMessageDialog(NoteAttention, u("沒有合併：") + st.error);
        // Another workstation may have changed or removed either: shown again as they are now.
        fillDuplicates();
        setKept(kept);
        return;
    }
    fillDuplicates();
    setKept(kept);
    showLastMerge();
    m_state.ShowMessageDialog(
        NoteImportant, u("合併完成：保留 %1，共有 %2 筆測量資料。").arg(m_keptLabel->text()).arg(moved));
}

void TZuMerge::undoClicked()
{
    const auto last = lastMerge(*m_state.MainDatabase);
    if (!last) return;
    if (!m_state.ShowMessageDialog(
            AskAttention,
            u("確定要復原上次的合併嗎？[ %1 ] 將放回，測量資料回到合併前的受測者。").arg(who(last->removed))))
        return;
    const Status st =
        runRecordOperation(m_state, RecordOperation::UndoMerge, last->removed.CUSTNO,
                           [&](AuditEntry& e) { return undoLastMerge(*m_state.MainDatabase, &e.detail); });
    if (!st) {
        m_state.ShowMessageDialog(NoteAttention, u("沒有復原：") + st.error);
        return;
    }
    fillDuplicates();
    setKept(last->keptBefore.MKEY);
    showLastMerge();
    m_state.ShowMessageDialog(NoteImportant, u("已復原上次的合併：%1 已放回。").arg(who(last->removed)));
}

} // namespace lumo
