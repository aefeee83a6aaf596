#include "records/ui/tzusave.h"

#include "practice/audit.h"
#include "records/searchfields.h"
#include "widgets/modal.h"
#include "widgets/screensize.h"

#include "base/formats.h"
#include "practice/masking.h"
#include "records/measurementextras.h"
#include "records/measurements.h"
#include "records/ui/conditionsgroup.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzuredit.h"
#include "shell/recentsubjects.h"
#include "shell/sharedstate.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTableView>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

QString countLine(qint64 subjects, qint64 measurements)
{
    return QString::asprintf("%6.0d", int(subjects)) + QStringLiteral("  -  [ ") +
           QString::number(measurements) + QStringLiteral(" ]");
}

TZusave::TZusave(SharedState& state, QWidget* parent) : QDialog(parent), m_state(state)
{
    setObjectName(QStringLiteral("TZusave"));
    setWindowTitle(u("經絡能量資料儲存"));
    m_picker = new SubjectPicker(state, *state.MainDatabase,
                                 {QStringLiteral("Index"), u("編  號"), u("姓  名"), u("性別"), u("生  日"),
                                  u("年齡"), u("電  話"), u("地  址"), QStringLiteral("E-MAIL"),
                                  u("行動電話"), u("傳 真")},
                                 saveSearchField, this);
    auto* add = new QPushButton(u("新增受測者"), this);
    add->setObjectName(QStringLiteral("AddSubjectButton"));
    m_saveButton = new QPushButton(u("儲存數據"), this);
    m_saveButton->setObjectName(QStringLiteral("SaveButton"));
    auto* leave = new QPushButton(u("離  開"), this);
    leave->setObjectName(QStringLiteral("LeaveButton"));

    auto* panel = new QGroupBox(u("儲存至下列受測者中"), this);
    auto* pl = new QGridLayout(panel);
    const char* captions[9] = {"編號", "姓名", "生日", "電話", "年齡", "地址", "性別", "E-Mail", "行動"};
    for (int i = 0; i < 9; ++i) {
        pl->addWidget(new QLabel(u(captions[i]), panel), i / 3, (i % 3) * 2);
        m_panel[i] = new QLabel(panel);
        m_panel[i]->setObjectName(QStringLiteral("Target%1").arg(i + 1));
        m_panel[i]->setStyleSheet(QStringLiteral("color: rgb(0,0,128);"));
        pl->addWidget(m_panel[i], i / 3, (i % 3) * 2 + 1);
    }
    // How the measurement was taken: its own answers when it has them (a loaded
    // one), else the last answers given, which rarely change within a day.
    m_conditions = new ConditionsGroup(this);
    m_conditions->setConditions(m_state.energy.Conditions.isEmpty()
                                    ? readLastConditions(m_state.DataDirectory)
                                    : m_state.energy.Conditions);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(add);
    buttons->addWidget(m_saveButton);
    buttons->addStretch();
    buttons->addWidget(leave);
    auto* status = new QStatusBar(this);
    status->showMessage(u("請至查詢視窗點選受測者資料，或新增一筆受測者基本資料以供儲存。"));
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(panel);
    layout->addWidget(m_conditions);
    layout->addWidget(m_picker, 1);
    layout->addWidget(status);
    // Wide enough for every subject column, 傳 真 included, on a 1366-pixel screen.
    openAt(this, QSize(1240, 640));

    connect(add, &QPushButton::clicked, this, &TZusave::addSubject);
    connect(m_saveButton, &QPushButton::clicked, this, &TZusave::saveToTarget);
    connect(leave, &QPushButton::clicked, this, [this] {
        m_target.reset();
        reject();
    });
    connect(m_picker, &SubjectPicker::rowEntered, this, &TZusave::rowEntered);
    connect(m_picker, &SubjectPicker::rowDoubleClicked, this, &TZusave::rowDoubleClicked);
    // Subjects and measurements another workstation stored count at once.
    connect(m_picker, &SubjectPicker::changedElsewhere, this, &TZusave::refreshCount);
    connect(&m_state.waitingRoom, &WaitingRoomDisplay::changed, this, &TZusave::showTarget);
    // Enter stores the measurement under the subject chosen (the row entered):
    // what this screen is for. Without one the button is disabled and Enter does nothing.
    m_saveButton->setDefault(true);

    // Opening: the remembered sort, the count, and the measurement's subject as the target.
    m_picker->applyRememberedSort();
    refreshCount();
    const auto found = m_state.CurrentSubject.CUSTNO.isEmpty()
                           ? std::nullopt
                           : SubjectStore(*m_state.MainDatabase).findByCustNo(m_state.CurrentSubject.CUSTNO);
    const int pos = found ? m_picker->list().positionOf(found->MKEY) : -1;
    if (pos >= 0) {
        QSignalBlocker block(m_picker);
        m_picker->selectPosition(pos);
        m_target = m_state.CurrentSubject;
        m_picker->view()->setFocus();
    } else {
        m_target.reset();
        m_picker->searchBox()->setFocus();
    }
    showTarget();
}

void TZusave::refreshCount()
{
    m_picker->setCountText(
        countLine(m_picker->list().size(), MeasurementStore(*m_state.MainDatabase).countAll()));
}

void TZusave::showTarget()
{
    m_saveButton->setEnabled(m_target.has_value());
    if (!m_target) {
        for (QLabel* l : m_panel)
            l->clear();
        m_panel[6]->setText(m_state.CurrentSubject.SEX ? u("男性") : u("女性"));
        return;
    }
    const SubjectRow& t = *m_target;
    const bool birth = !isNoBirthDate(t.DBIRTH);
    const ShownSubject shown = shownSubject(t, m_state.waitingRoom.on());
    const QString values[9] = {shown.CUSTNO,
                               shown.NAME,
                               shown.DBIRTH,
                               shown.TEL,
                               birth ? fmt("%3d", ageInYears(t.DBIRTH, QDate::currentDate())) : QString(),
                               shown.ADDR,
                               t.SEX ? u("男性") : u("女性"),
                               shown.EMAIL,
                               shown.TEL2};
    for (int i = 0; i < 9; ++i)
        m_panel[i]->setText(values[i]);
}

void TZusave::rowEntered()
{
    if (!m_picker->hasCurrentRow()) return;
    m_target = m_picker->currentRow();
    showTarget();
}

void TZusave::saveToTarget()
{
    if (!m_target) return;
    MeasurementRow row;
    row.CUSTNO = m_target->CUSTNO;
    row.ZUDATE = m_state.energy.TakenAt;
    row.ZUVOTA = m_state.energy.VoltageMode;
    row.MEMO1 = m_state.energy.Memo.join(QStringLiteral("\r\n"));
    row.ZU = m_state.energy.Readings; // stored before compensation
    // With how it was taken (grades, samples, conditions), in one transaction.
    EnergySet measured = m_state.energy;
    measured.Conditions = sanitizedConditions(m_conditions->conditions());
    // A repeat of the repeat mode keeps its session's key only when it repeats
    // that measurement: the same subject, the same potential, minutes later.
    if (const qint64 first = m_state.energy.Conditions.repeatOf; first > 0)
        measured.Conditions.repeatOf =
            repeatSessionKey(*m_state.MainDatabase, first, row.CUSTNO, row.ZUVOTA, row.ZUDATE);
    const Status st =
        auditedChange(m_state, {QStringLiteral("measurement.add"), row.CUSTNO, 0, {}}, [&](AuditEntry& e) {
            const Status s = appendMeasurementWithExtras(*m_state.MainDatabase, row, measured);
            e.mkey = row.MKEY;
            e.detail = m_target->NAME + QStringLiteral(" ") + dateTimeOfDay(row.ZUDATE);
            return s;
        });
    if (!st) {
        m_state.reportError(st.error); // the measurement screen's state stays as it was
        return;
    }
    m_state.energy.Conditions = measured.Conditions;
    // Remembered for the next measurement; a file that cannot be written costs only that.
    writeLastConditions(m_state.DataDirectory, measured.Conditions);
    m_state.CurrentSubject = *m_target;
    m_state.CurrentMeasurementKey = row.MKEY;
    m_state.CurrentMeasurementVersion = row.ROWVER;
    noteRecentSubject(m_state.DataDirectory, m_target->CUSTNO); // a list to offer, nothing lost without it
    accept();
}

void TZusave::rowDoubleClicked()
{
    if (!m_picker->hasCurrentRow()) return;
    if (!m_state.askDefaultYes(AskQuestion, u("您要將檢測資料存於這個受測者資料中嗎？"))) return;
    m_target = m_picker->currentRow();
    showTarget();
    saveToTarget();
}

void TZusave::addSubject()
{
    const qint64 before = m_target ? m_target->MKEY : -1;
    TZuREdit editor(TZuREdit::Mode::Add, m_state, *m_state.MainDatabase, {}, this);
    if (editorHook)
        editorHook(editor);
    else
        execModal(editor);
    if (!editor.added()) {
        if (m_target && before >= 0) {
            m_picker->selectKey(before);
            m_picker->view()->setFocus();
        } else {
            m_picker->searchBox()->setFocus();
        }
        showTarget();
        return;
    }
    m_picker->reload();
    refreshCount();
    {
        QSignalBlocker block(m_picker);
        m_picker->selectKey(editor.addedKey());
    }
    m_target = m_picker->currentRow();
    showTarget();
    m_state.playTone(1);
    if (m_state.askDefaultYes(AskQuestion, u("您要將檢測資料存於這個受測者資料中嗎？"))) saveToTarget();
}

} // namespace lumo
