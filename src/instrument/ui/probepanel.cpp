#include "instrument/ui/probepanel.h"

#include "instrument/simulator.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QTimer>
#include <QVBoxLayout>

namespace lumo {

ProbePanel::ProbePanel(SimulatedInstrument& sim, Clock& clock, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus), m_sim(sim),
      m_clock(clock)
{
    // The panel stands for a hand on the instrument, not for a screen of the
    // program: it never takes the focus from the screen the operator works in,
    // and (parentless) it is not blocked by the screens, which are modal only to
    // the windows that opened them.
    setObjectName(QStringLiteral("ProbePanel"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(QString::fromUtf8("虛擬探測棒"));
    setFixedWidth(176);
    m_touch = new QPushButton(this);
    m_touch->setFocusPolicy(Qt::NoFocus);
    m_touch->setObjectName(QStringLiteral("TouchButton"));
    m_auto = new QPushButton(this);
    m_auto->setFocusPolicy(Qt::NoFocus);
    m_auto->setObjectName(QStringLiteral("AutoButton"));
    m_realistic = new QCheckBox(QString::fromUtf8("真實手感"), this);
    m_realistic->setObjectName(QStringLiteral("RealisticBox"));
    m_realistic->setFocusPolicy(Qt::NoFocus);
    m_realistic->setToolTip(QString::fromUtf8("自動測量時，手會漂移、抖動，偶爾改變壓力或提早抬起"));
    m_plug = new QPushButton(this);
    m_plug->setFocusPolicy(Qt::NoFocus);
    m_plug->setObjectName(QStringLiteral("PlugButton"));
    m_value = new QSlider(Qt::Horizontal, this);
    m_value->setFocusPolicy(Qt::NoFocus);
    m_value->setRange(0, 1500); // tenths of uA
    m_value->setValue(450);
    m_valueText = new QLabel(this);

    connectHand();

    auto* row = new QHBoxLayout;
    row->addWidget(m_value, 1);
    row->addWidget(m_valueText);
    // Narrow, so that it fits beside a screen centred on a 1366 pixel wide display.
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(m_touch);
    buttons->addWidget(m_auto);
    buttons->addWidget(m_realistic);
    buttons->addWidget(m_plug);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(buttons);
    // Calibration and locating need more of the hand; folded away until asked
    // for, the panel covers as little as it can of the screens beside it.
    m_more = new QPushButton(QString::fromUtf8("校準與定位"), this);
    m_more->setObjectName(QStringLiteral("MoreButton"));
    m_more->setCheckable(true);
    m_more->setFocusPolicy(Qt::NoFocus);
    auto* contacts = new QWidget(this);
    auto* cl = new QVBoxLayout(contacts);
    cl->setContentsMargins(0, 0, 0, 0);
    cl->addWidget(buildCalibrationGroup());
    cl->addWidget(buildLocatingGroup());
    contacts->hide();
    connect(m_more, &QPushButton::toggled, this, [this, contacts](bool on) {
        contacts->setVisible(on);
        adjustSize();
        keepOnScreen();
    });
    layout->addWidget(m_more);
    layout->addWidget(contacts);
    refresh();
    // The probe also changes by itself (the automatic hand finishes its round,
    // lifts between points): the captions follow it.
    auto* follow = new QTimer(this);
    connect(follow, &QTimer::timeout, this, &ProbePanel::refresh);
    follow->start(250);
}

// What the operator's hand does with the probe: touch or lift, the automatic
// hand, the plug, and the skin current it would read.
void ProbePanel::connectHand()
{
    connect(m_touch, &QPushButton::clicked, this, [this] {
        if (m_sim.probe().touching(m_clock.nowMs()) && !m_sim.probe().automatic())
            m_sim.probe().lift();
        else
            m_sim.probe().touch(m_value->value() / 10.0, m_clock.nowMs());
        refresh();
    });
    connect(m_auto, &QPushButton::clicked, this, [this] {
        const qint64 now = m_clock.nowMs();
        if (m_sim.probe().automatic())
            m_sim.probe().stopAutomatic();
        else if (!m_script.isEmpty())
            m_sim.probe().startScripted(now, m_script);
        else if (m_realistic->isChecked())
            m_sim.probe().startScripted(now, realisticHand(unsigned(now)));
        else
            m_sim.probe().startAutomatic(now, unsigned(now));
        refresh();
    });
    connect(m_plug, &QPushButton::clicked, this, [this] {
        m_sim.plugged() ? m_sim.unplug() : m_sim.plug();
        refresh();
    });
    connect(m_value, &QSlider::valueChanged, this, [this](int v) {
        m_sim.probe().setValue(v / 10.0);
        refresh();
    });
}

void ProbePanel::refresh()
{
    const bool manualTouch = m_sim.probe().touching(m_clock.nowMs()) && !m_sim.probe().automatic();
    m_touch->setText(QString::fromUtf8(manualTouch ? "抬起" : "接觸"));
    m_auto->setText(QString::fromUtf8(m_sim.probe().automatic() ? "停止自動測量" : "自動測量"));
    m_plug->setText(QString::fromUtf8(m_sim.plugged() ? "拔除" : "插上"));
    m_valueText->setText(QStringLiteral("%1 uA").arg(m_value->value() / 10.0, 5, 'f', 1));
    refreshContacts();
}

// Unfolded, the panel grows downwards; it moves up as far as needed so that
// the contacts it just showed are not below the screen's edge.
void ProbePanel::keepOnScreen()
{
    const QScreen* screen = this->screen();
    if (!screen) return;
    const QRect area = screen->availableGeometry();
    const QRect frame = frameGeometry();
    if (frame.bottom() <= area.bottom()) return;
    move(x(), qMax(area.top(), y() - (frame.bottom() - area.bottom())));
}

} // namespace lumo
