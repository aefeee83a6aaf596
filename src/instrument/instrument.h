#pragma once
// The instrument as the program speaks to it: one exchange at a time through
// SendCommand, and the operations built on it.

#include "base/clock.h"
#include "instrument/hiddevice.h"

#include <QObject>

namespace lumo {

class Instrument : public QObject
{
    Q_OBJECT
public:
    Instrument(THidDeviceController& controller, Clock& clock, QObject* parent = nullptr);
    ~Instrument() override;

    Clock& clock() { return m_clock; }
    THidDeviceController& controller() { return m_controller; }

    // The device-change handler: attaches the instrument when none is held and
    // forgets one that was unplugged.
    void HidCtlDeviceChange();
    void release();
    bool attached() const { return m_device != nullptr; }
    // No instrument is held, but one is present that this user may not open.
    bool accessRefused() const;
    THidDevice* device() const { return m_device; }

    bool SendCommand(const QByteArray& command);
    const QByteArray& InstrumentReply() const { return m_reply; }
    bool replyFlag() const { return m_replyFlag; }
    int replyBudgetMs() const { return m_budget; } // of the last exchange

    int ReadProbe();
    void StartMeasuring();
    void SetPotential(bool high);
    void EndMeasuring();
    QByteArray QueryModel();
    QString ReadRegister(int n);
    void WriteRegister(int n, const QString& hh);
    void PlayTone(int tone);
    QString ReadSerialText();
    qint64 ReadUsageCounter();
    void IncrementUsageCounter();
    QString hardwareVersion(); // string descriptor 3

signals:
    void attachedChanged(bool attached);

private:
    void HidCtlDeviceData(THidDevice* device, quint8 reportId, const QByteArray& data);

    THidDeviceController& m_controller;
    Clock& m_clock;
    THidDevice* m_device = nullptr;
    QByteArray m_reply;
    bool m_replyFlag = false;
    int m_budget = 350;
};

} // namespace lumo
