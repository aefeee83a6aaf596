#include "widgets/instrumentstatus.h"

#include "instrument/instrument.h"
#include "widgets/ledlamp.h"

#include <QHBoxLayout>
#include <QLabel>

namespace lumo {

QString instrumentConnectedText()
{
    return QString::fromUtf8("儀器已連接");
}
QString instrumentMissingText()
{
    return QString::fromUtf8("儀器未連接");
}
QString instrumentRefusedText()
{
    return QString::fromUtf8("儀器未連接（沒有存取權限）");
}

InstrumentStatus::InstrumentStatus(Instrument* instrument, QWidget* parent)
    : QWidget(parent), m_instrument(instrument)
{
    setObjectName(QStringLiteral("InstrumentStatus"));
    m_lamp = new LedLamp(this);
    m_label = new QLabel(this);
    m_label->setObjectName(QStringLiteral("InstrumentStatusText"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(4, 0, 4, 0);
    layout->addWidget(m_lamp);
    layout->addWidget(m_label);
    if (m_instrument)
        connect(m_instrument, &Instrument::attachedChanged, this, &InstrumentStatus::showAttached);
    showAttached(m_instrument && m_instrument->attached());
}

QString InstrumentStatus::text() const
{
    return m_label->text();
}

void InstrumentStatus::showAttached(bool attached)
{
    m_lamp->setColor(attached ? QColor(0, 128, 0) : QColor(255, 0, 0));
    m_lamp->setOn(true);
    // The lamp's colour alone says nothing to a person who cannot tell red from green.
    m_label->setText(attached                                        ? instrumentConnectedText()
                     : m_instrument && m_instrument->accessRefused() ? instrumentRefusedText()
                                                                     : instrumentMissingText());
}

} // namespace lumo
