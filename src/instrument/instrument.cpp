#include "instrument/instrument.h"

#include "instrument/protocol.h"

namespace lumo {

Instrument::Instrument(THidDeviceController& controller, Clock& clock, QObject* parent)
    : QObject(parent), m_controller(controller), m_clock(clock)
{
    connect(&m_controller, &THidDeviceController::deviceData, this, &Instrument::HidCtlDeviceData);
    connect(&m_controller, &THidDeviceController::deviceChange, this, &Instrument::HidCtlDeviceChange);
}

Instrument::~Instrument()
{
    release();
}

void Instrument::release()
{
    if (m_device) {
        m_controller.ReleaseDevice(m_device);
        emit attachedChanged(false);
    }
}

void Instrument::HidCtlDeviceChange()
{
    using namespace protocol;
    if (!m_device) {
        m_device = m_controller.AttachByIds(VendorId, ProductId);
        if (!m_device)
            m_device = m_controller.AttachByPredicate(
                [](THidDevice* d) { return d->vendorId() == VendorId && d->productId() == ProductId; });
        if (m_device) emit attachedChanged(true);
    } else if (!m_device->isPluggedIn()) {
        m_controller.ReleaseDevice(m_device); // destroys the unplugged device
        emit attachedChanged(false);
    }
}

bool Instrument::accessRefused() const
{
    if (m_device) return false;
    for (const HidInterfaceInfo& info : m_controller.refusedDevices())
        if (info.vendor == protocol::VendorId && info.product == protocol::ProductId) return true;
    return false;
}

void Instrument::HidCtlDeviceData(THidDevice* device, quint8, const QByteArray& data)
{
    if (device != m_device) return;
    m_reply = data;
    m_replyFlag = true;
}

bool Instrument::SendCommand(const QByteArray& command)
{
    if (!m_device) return m_replyFlag; // nothing sent; the last reply stays
    m_replyFlag = false;
    m_reply.clear();
    const QByteArray report = protocol::outputReport(command, m_device->outputReportLength());
    m_budget = 350;
    for (int attempt = 1; attempt <= 3; ++attempt) {
        if (m_device && m_device->writeReport(report)) break;
        if (m_device) m_device->clearInputQueue();
        m_budget -= 100;
        m_clock.wait(100);
        if (!m_device) break; // unplugged while waiting
    }
    const qint64 start = m_clock.nowMs();
    for (qint64 now = start; !m_replyFlag && now - start < m_budget; now = m_clock.nowMs())
        m_clock.waitEvents(int(m_budget - (now - start)));
    return m_replyFlag;
}

int Instrument::ReadProbe()
{
    SendCommand("D000000");
    return protocol::probeReading(m_reply);
}

void Instrument::StartMeasuring()
{
    SendCommand("N000000");
}
void Instrument::SetPotential(bool high)
{
    SendCommand(high ? "H000000" : "L000000");
}
void Instrument::EndMeasuring()
{
    SendCommand("X000000");
}

QByteArray Instrument::QueryModel()
{
    SendCommand("P000000");
    return protocol::modelCode(m_reply);
}

QString Instrument::ReadRegister(int n)
{
    SendCommand(protocol::readRegisterCommand(n));
    return protocol::registerValue(m_reply);
}

void Instrument::WriteRegister(int n, const QString& hh)
{
    SendCommand(protocol::writeRegisterCommand(n, hh));
}

void Instrument::PlayTone(int tone)
{
    for (const QByteArray& c : protocol::toneCommands(tone))
        SendCommand(c);
}

QString Instrument::ReadSerialText()
{
    QString s;
    for (int n = 0; n <= 5; ++n)
        s += ReadRegister(n);
    return s;
}

qint64 Instrument::ReadUsageCounter()
{
    const QString r6 = ReadRegister(6);
    const QString r7 = ReadRegister(7);
    const QString r8 = ReadRegister(8);
    return protocol::usageCounter(r6, r7, r8);
}

void Instrument::IncrementUsageCounter()
{
    const auto regs = protocol::incrementedCounterRegisters(ReadUsageCounter());
    WriteRegister(6, regs[0]);
    WriteRegister(7, regs[1]);
    WriteRegister(8, regs[2]);
}

QString Instrument::hardwareVersion()
{
    return m_device ? m_device->deviceString(3) : QString();
}

} // namespace lumo
