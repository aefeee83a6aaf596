#include "app/tzustatu.h"

#include "instrument/protocol.h"
#include "practice/atrestnotice.h"
#include "records/conversion.h"
#include "shell/datadir.h"
#include "widgets/gradientbar.h"
#include "widgets/ledlamp.h"

#include <QCloseEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
} // namespace

TZuStatu::TZuStatu(SharedState& state, Instrument* instrument, Clock& clock, QWidget* parent)
    : QDialog(parent), m_state(state), m_instrument(instrument), m_clock(clock)
{
    setObjectName(QStringLiteral("TZuStatu"));
    setWindowTitle(u("系統狀態設定"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(u("L.U.M.O. 經絡能量分析系統"), this);
    QFont f = label->font();
    f.setPointSize(16);
    f.setBold(true);
    label->setFont(f);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumHeight(80);
    label->setStyleSheet(QStringLiteral("background: rgb(0,0,128); color: white;"));
    layout->addWidget(label);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("USB Status:"), this), 0, 0);
    auto* strip = new QHBoxLayout;
    for (int i = 0; i < 7; ++i) {
        m_lamps[i] = new LedLamp(this);
        m_lamps[i]->setObjectName(QStringLiteral("Lamp%1").arg(i + 1));
        strip->addWidget(m_lamps[i]);
    }
    strip->addStretch();
    grid->addLayout(strip, 0, 1);
    m_model = new QLabel(this);
    m_model->setObjectName(QStringLiteral("ModelText"));
    m_serial = new QLabel(this);
    m_serial->setObjectName(QStringLiteral("SerialText"));
    m_hardware = new QLabel(this);
    m_hardware->setObjectName(QStringLiteral("HardwareText"));
    grid->addWidget(new QLabel(QStringLiteral("Device Mdl:"), this), 1, 0);
    grid->addWidget(m_model, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Serial Num:"), this), 2, 0);
    grid->addWidget(m_serial, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("Hardware Ver:"), this), 3, 0);
    grid->addWidget(m_hardware, 3, 1);
    layout->addLayout(grid);

    auto* barRow = new QHBoxLayout;
    m_bar = new GradientBar(this);
    m_bar->setObjectName(QStringLiteral("ProgressBar1"));
    m_bar->setRange(StartupCheck::SequenceMs);
    m_bar->setShowPercentage(true);
    m_barLamp = new LedLamp(this);
    m_barLamp->setColor(QColor(0, 255, 0));
    m_barLamp->setOn(true);
    m_barLamp->setBlinkInterval(300);
    barRow->addWidget(m_bar, 1);
    barRow->addWidget(m_barLamp);
    layout->addLayout(barRow);

    m_leave = new QPushButton(u("離  開"), this);
    m_leave->setObjectName(QStringLiteral("LeaveButton"));
    m_leave->setToolTip(u("離開L.U.M.O.系統執行功能"));
    m_leave->setVisible(false);
    connect(m_leave, &QPushButton::clicked, this, &QDialog::reject);
    layout->addWidget(m_leave, 0, Qt::AlignRight);

    m_statusBar = new QLabel(QStringLiteral("Environment Setup. Please Wait...."), this);
    m_statusBar->setObjectName(QStringLiteral("StatusBar"));
    m_statusBar->setFrameShape(QFrame::StyledPanel);
    layout->addWidget(m_statusBar);
    setMinimumWidth(420);
}

void TZuStatu::showEvent(QShowEvent* e)
{
    QDialog::showEvent(e);
    if (!m_started) {
        m_started = true;
        QTimer::singleShot(0, this, &TZuStatu::runCheck);
    }
}

void TZuStatu::runCheck()
{
    m_state.InstrumentReady = false;
    StartupCheck check(m_instrument, m_clock);
    m_status = check.identify();
    const QColor lampColour = m_status.ready ? QColor(0, 255, 0) : QColor(255, 0, 0);
    for (LedLamp* l : m_lamps)
        l->setColor(lampColour);

    check.runSequence(m_status, [this](int bar, int lamps, bool showTexts) {
        m_bar->setValue(bar);
        for (int i = 0; i < 7; ++i)
            m_lamps[i]->setOn(i < lamps);
        if (showTexts) {
            m_model->setText(protocol::modelName(m_status.model));
            m_serial->setText(m_status.serial.isEmpty() ? QStringLiteral("None!") : m_status.serial);
            m_hardware->setText(m_status.hardware);
        }
    });
    // The texts show even when the sequence passed the 300-400 ms window unseen.
    m_model->setText(protocol::modelName(m_status.model));
    m_serial->setText(m_status.serial.isEmpty() ? QStringLiteral("None!") : m_status.serial);
    m_hardware->setText(m_status.hardware);
    m_bar->setValue(StartupCheck::SequenceMs);
    m_statusBar->setText(QStringLiteral("Done."));

    m_state.SerialText = m_status.ready ? m_status.serial : QStringLiteral("None!");
    if (!m_status.ready) {
        m_statusBar->setText(m_status.message);
        m_leave->setVisible(true);
        return;
    }
    m_state.InstrumentReady = true;
    m_instrument->EndMeasuring();
    // Told before the first measuring run: nothing measured now could be stored.
    // A waiting older database stays where it is until it can be converted.
    if (!m_state.ReadOnlyReason.isEmpty())
        tell(u("資料目錄無法寫入，目前只能查閱資料。"), m_state.ReadOnlyReason);
    else if (m_state.MainDatabase && dataFileExists(m_state.DataDirectory, QLatin1String(OldDatabaseFile)))
        convertWaitingDatabase();
    if (const QString notice = encryptionNoticeDue(m_state, QDate::currentDate()); !notice.isEmpty())
        tell(u("資料目錄未加密。"), notice);
    if (m_state.MainDatabase && m_state.MainDatabase->auditGuardRecreated())
        tell(u("稽核紀錄的保護已重建。"), auditGuardRecreatedMessage());
    if (const QString notice = auditOwnerNoticeDue(m_state, QDate::currentDate()); !notice.isEmpty())
        tell(u("稽核紀錄只受觸發程序保護。"), notice);
    accept();
}

// The window closes as soon as the check is done: what the operator must know
// shows in its status bar, in short, and in full in a notice that waits for 確  定.
void TZuStatu::tell(const QString& status, const QString& text)
{
    m_statusBar->setText(status);
    m_state.ShowMessageDialog(NoteImportant, text);
}

void TZuStatu::convertWaitingDatabase()
{
    m_statusBar->setText(u("LUMO 資料庫轉換中，請稍候.."));
    m_bar->setValue(0);
    int progress = 0;
    bool already = false;
    Status st = lumo::convertWaitingDatabase(
        *m_state.MainDatabase, m_state.DataDirectory,
        [&](int n) {
            progress = std::min(progress + n, StartupCheck::SequenceMs);
            m_bar->setValue(progress);
            m_clock.waitEvents(0);
        },
        {}, &already);
    m_bar->setValue(StartupCheck::SequenceMs);
    if (!st)
        m_state.reportError(st.error);
    else if (already)
        tell(u("lumo.mdb 先前已經轉換，這次沒有再匯入。"), alreadyConvertedMessage());
}

void TZuStatu::closeEvent(QCloseEvent* e)
{
    m_bar->setEnabled(false);
    m_barLamp->setBlinkInterval(0);
    QDialog::closeEvent(e);
}

} // namespace lumo
