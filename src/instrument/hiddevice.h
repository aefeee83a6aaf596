#pragma once
// HID device access: the device list with plugging and unplugging, attaching
// devices, one read thread per attached device, and the marshalling of every
// input report to the user-interface thread.

#include "instrument/transport.h"

#include <QMutex>
#include <QObject>
#include <QPointer>
#include <QQueue>
#include <QThread>
#include <QWaitCondition>
#include <atomic>
#include <functional>

namespace lumo {

class THidDeviceController;

struct THidPnPInfo
{
    QString instanceId;
    QString devicePath;
};

class THidDevice;

// Reads input reports and hands each to the user-interface thread, waiting
// until its handler has run.
class THidDeviceReadThread : public QThread
{
    Q_OBJECT
public:
    THidDeviceReadThread(THidDevice* device, HidTransport* transport, int inputLength);
    void requestStop();
    bool handlerPending() const { return m_inHandoff.load(); }

protected:
    void run() override;

private:
    THidDevice* m_device;
    HidTransport* m_transport;
    int m_inputLength;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_inHandoff{false};
};

class THidDevice : public QObject
{
    Q_OBJECT
public:
    THidDevice(THidDeviceController* controller, THidPnPInfo info, const HidInterfaceInfo& identity,
               std::unique_ptr<HidTransport> transport, int sleepMs);
    ~THidDevice() override;

    const THidPnPInfo& pnpInfo() const { return m_info; }
    quint16 vendorId() const { return m_identity.vendor; }
    quint16 productId() const { return m_identity.product; }
    quint16 versionNumber() const { return m_identity.version; }
    bool isPluggedIn() const { return m_pluggedIn; }
    bool isAttached() const { return m_attached; }
    bool isEnumerating() const { return m_enumerating; }

    int threadSleepMs() const { return m_sleepMs; }
    // 10..10000 ms; other values are ignored.
    void setThreadSleepMs(int ms);

    int inputReportLength();
    int outputReportLength();
    bool writeReport(const QByteArray& report);
    void clearInputQueue();
    QString deviceString(int index);
    bool readerBusy() const;
    bool isReading() const { return m_thread != nullptr; }
    // Runs the handler for every report a read thread has handed over; the
    // read thread waits until this has happened. Returns whether any was run.
    bool deliverPending();
    // Sleeps until a read thread hands a report over (or ms pass), then runs its handler.
    bool waitForHandover(int ms);

private:
    friend class THidDeviceController;
    friend class THidDeviceReadThread;
    void startReading();
    void stopReading();
    void unplug();
    void deliver(const QByteArray& report);
    // Read thread side: hands a report over and waits until its handler ran
    // (or a stop); `busy` is the thread's flag, set for as long as that takes.
    void handOver(const QByteArray& report, const std::atomic<bool>& stop, std::atomic<bool>& busy);

    THidDeviceController* m_controller;
    THidPnPInfo m_info;
    HidInterfaceInfo m_identity;
    std::unique_ptr<HidTransport> m_transport;
    int m_sleepMs;
    bool m_pluggedIn = true;
    bool m_attached = false;
    bool m_enumerating = false;
    int m_inputLength = -1, m_outputLength = -1;
    THidDeviceReadThread* m_thread = nullptr;
    // The mailbox between the read thread and the user-interface thread.
    QMutex m_mailboxMutex;
    QWaitCondition m_handled;
    QWaitCondition m_arrived;
    QQueue<QByteArray> m_mailbox;
    quint64 m_posted = 0, m_done = 0;
};

class THidDeviceController : public QObject
{
    Q_OBJECT
public:
    explicit THidDeviceController(HidBackend& backend, QObject* parent = nullptr);
    ~THidDeviceController() override;

    // One enumeration pass; emits deviceChange when the list changed (or when forced).
    void enumerate(bool forceNotify = false);
    const QVector<THidDevice*>& devices() const { return m_devices; }
    // Present at the last pass but not listed because the user may not open them.
    const QVector<HidInterfaceInfo>& refusedDevices() const { return m_refused; }
    int attachedCount() const;
    int freeCount() const;

    THidDevice* AttachByIds(int vendor, int product); // product -1 matches any
    THidDevice* AttachByPredicate(const std::function<bool(THidDevice*)>& predicate);
    // Stops the read thread and gives the device back (or destroys it when unplugged).
    void ReleaseDevice(THidDevice*& device);
    bool anyDeliveryPending() const;
    bool anyReading() const;
    bool deliverPending();
    bool waitForHandover(int ms);
    // Input reports handed to their handler so far (user-interface thread).
    quint64 deliveredCount() const { return m_delivered; }

    void setDefaultSleepMs(int ms) { m_defaultSleep = ms; }

signals:
    void deviceChange();
    // An input report of an attached device: report id and the bytes after it.
    void deviceData(THidDevice* device, quint8 reportId, const QByteArray& data);
    void deviceUnplug(THidDevice* device);

private:
    friend class THidDevice;
    void attach(THidDevice* d);
    HidBackend& m_backend;
    QVector<THidDevice*> m_devices;
    QVector<HidInterfaceInfo> m_refused;
    quint64 m_delivered = 0;
    int m_defaultSleep = 100;
    bool m_enumerating = false;
};

} // namespace lumo
