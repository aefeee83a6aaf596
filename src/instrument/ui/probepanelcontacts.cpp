// The virtual probe's contacts besides a measuring point: the cotton tip on the
// metal handle, which a calibration measures, and a stretch of skin with one
// acupoint, along which a slider moves the probe for locating.
#include "instrument/simulator.h"
#include "instrument/ui/probepanel.h"

#include "base/clock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

namespace lumo {
namespace {
QString u(const char* s)
{
    return QString::fromUtf8(s);
}
// The noise a wet cotton tip on the handle shows when asked for, in counts.
constexpr double HandleNoiseCounts = 6;
// The counts a short circuit can be set to: the panel never takes the keyboard
// focus (it stands for a hand, not for a screen), so a count is picked, not typed.
// 2990 and 3003 sit just below and at the 3000 a calibration needs.
constexpr int ShortCounts[] = {4095, 4045, 4000, 3900, 3800, 3600, 3400,
                               3200, 3003, 3000, 2990, 2800, 2500, 2000};
QComboBox* countChoice(QWidget* parent, const char* name, int current)
{
    auto* c = new QComboBox(parent);
    c->setObjectName(QLatin1String(name));
    c->setFocusPolicy(Qt::NoFocus);
    for (int v : ShortCounts)
        c->addItem(QString::number(v), v);
    c->setCurrentIndex(std::max(0, c->findData(current)));
    return c;
}
} // namespace

QWidget* ProbePanel::buildCalibrationGroup()
{
    auto* box = new QGroupBox(u("數位校準"), this);
    auto* l = new QVBoxLayout(box);
    m_handle = new QPushButton(u("棉花端接觸握把"), box);
    m_handle->setObjectName(QStringLiteral("HandleButton"));
    m_handle->setCheckable(true);
    m_handle->setFocusPolicy(Qt::NoFocus);
    auto* counts = new QFormLayout;
    HandleContact& h = m_sim.probe().handle();
    m_shortStandard = countChoice(box, "ShortStandardCounts", h.standardCounts);
    m_shortHigh = countChoice(box, "ShortHighCounts", h.highCounts);
    counts->addRow(u("標準電位"), m_shortStandard);
    counts->addRow(u("高電位"), m_shortHigh);
    m_handleNoise = new QCheckBox(u("加入雜訊"), box);
    m_handleNoise->setObjectName(QStringLiteral("HandleNoiseBox"));
    m_handleNoise->setFocusPolicy(Qt::NoFocus);
    l->addWidget(m_handle);
    l->addLayout(counts);
    l->addWidget(m_handleNoise);

    connect(m_handle, &QPushButton::toggled, this, [this](bool on) {
        m_sim.probe().handle().on = on;
        refresh();
    });
    connect(m_shortStandard, &QComboBox::currentIndexChanged, this,
            [this] { m_sim.probe().handle().standardCounts = m_shortStandard->currentData().toInt(); });
    connect(m_shortHigh, &QComboBox::currentIndexChanged, this,
            [this] { m_sim.probe().handle().highCounts = m_shortHigh->currentData().toInt(); });
    connect(m_handleNoise, &QCheckBox::toggled, this,
            [this](bool on) { m_sim.probe().handle().noiseCounts = on ? HandleNoiseCounts : 0; });
    return box;
}

QWidget* ProbePanel::buildLocatingGroup()
{
    auto* box = new QGroupBox(u("穴道定位"), this);
    auto* l = new QVBoxLayout(box);
    m_skin = new QPushButton(u("沿皮膚移動"), box);
    m_skin->setObjectName(QStringLiteral("SkinButton"));
    m_skin->setCheckable(true);
    m_skin->setFocusPolicy(Qt::NoFocus);
    m_position = new QSlider(Qt::Horizontal, box);
    m_position->setObjectName(QStringLiteral("SkinPosition"));
    m_position->setFocusPolicy(Qt::NoFocus);
    m_position->setRange(0, int(SkinProfile::LengthMm));
    m_position->setValue(int(m_sim.probe().skin().positionMm));
    m_positionText = new QLabel(box);
    m_positionText->setObjectName(QStringLiteral("SkinPositionText"));
    l->addWidget(m_skin);
    l->addWidget(m_position);
    l->addWidget(m_positionText);

    // Moving along the skin starts with the probe on it; leaving the skin lifts it.
    connect(m_skin, &QPushButton::toggled, this, [this](bool on) {
        m_sim.probe().setOnSkin(on);
        if (on)
            m_sim.probe().touch(m_value->value() / 10.0, m_clock.nowMs());
        else
            m_sim.probe().lift();
        refresh();
    });
    connect(m_position, &QSlider::valueChanged, this, [this](int mm) {
        m_sim.probe().skin().positionMm = mm;
        refresh();
    });
    return box;
}

void ProbePanel::refreshContacts()
{
    m_positionText->setText(u("位置 %1 / %2").arg(m_position->value()).arg(int(SkinProfile::LengthMm)));
    m_position->setEnabled(m_skin->isChecked());
}

} // namespace lumo
