#include "instrument/hiddevice.h"

#include <QCoreApplication>
#include <QSet>

namespace lumo {

THidDeviceReadThread::THidDeviceReadThread(THidDevice* device, HidTransport* transport, int inputLength)
    : m_device(device), m_transport(transport), m_inputLength(inputLength)
{
}

void THidDeviceReadThread::requestStop()
{
    m_stop = true;
    m_transport->cancel();
}

void THidDeviceReadThread::run()
{
    QByteArray report;
    while (!m_stop) {
        report.fill(0, m_inputLength);
        // A completed read returns at once; the sleep slice only bounds how
        // long a stop request can go unnoticed.
        const int n = m_transport->read(report, m_device->threadSleepMs());
        if (m_stop) break;
        if (n < 0) {
            // The platform refused the read (a device going away): try again
            // after one slice rather than spinning.
            QThread::msleep(quint64(m_device->threadSleepMs()));
            continue;
        }
        if (n == 0) continue;
        report.truncate(n);
        m_device->handOver(report, m_stop, m_inHandoff);
    }
}

THidDevice::THidDevice(THidDeviceController* controller, THidPnPInfo info, const HidInterfaceInfo& identity,
                       std::unique_ptr<HidTransport> transport, int sleepMs)
    : QObject(controller), m_controller(controller), m_info(std::move(info)), m_identity(identity),
      m_transport(std::move(transport)), m_sleepMs(sleepMs)
{
}

THidDevice::~THidDevice()
{
    stopReading();
    m_transport.reset();
}

void THidDevice::setThreadSleepMs(int ms)
{
    if (ms >= 10 && ms <= 10000) m_sleepMs = ms;
}

int THidDevice::inputReportLength()
{
    if (m_inputLength < 0 && m_transport) m_inputLength = m_transport->inputReportLength();
    return std::max(m_inputLength, 0);
}

int THidDevice::outputReportLength()
{
    if (m_outputLength < 0 && m_transport) m_outputLength = m_transport->outputReportLength();
    return std::max(m_outputLength, 0);
}

bool THidDevice::writeReport(const QByteArray& report)
{
    return m_pluggedIn && m_transport && m_transport->write(report);
}

void THidDevice::clearInputQueue()
{
    if (m_transport) m_transport->flushInput();
}

QString THidDevice::deviceString(int index)
{
    if (index == 0 || !m_transport || !m_pluggedIn) return QString();
    return m_transport->indexedString(index).left(254);
}

bool THidDevice::readerBusy() const
{
    return m_thread && (m_thread->handlerPending() || (m_transport && m_transport->inputInTransit()));
}

void THidDevice::startReading()
{
    if (m_thread || !m_transport || !m_pluggedIn) return;
    m_thread = new THidDeviceReadThread(this, m_transport.get(), std::max(inputReportLength(), 1));
    m_thread->start();
}

void THidDevice::stopReading()
{
    if (!m_thread) return;
    m_thread->requestStop();
    // The thread may be waiting for its handler call on this thread: run such
    // calls while it ends, so the two never wait on each other.
    while (!m_thread->wait(5)) {
        m_transport->cancel();
        m_handled.wakeAll();
        deliverPending();
    }
    delete m_thread;
    m_thread = nullptr;
    QMutexLocker lock(&m_mailboxMutex);
    m_mailbox.clear();
}

void THidDevice::handOver(const QByteArray& report, const std::atomic<bool>& stop, std::atomic<bool>& busy)
{
    quint64 mine;
    {
        // Busy before the transport lets go of the report: a waiting loop
        // sees one of the two all the way from the read to the handler's end.
        QMutexLocker lock(&m_mailboxMutex);
        busy = true;
    }
    m_transport->inputTakenOn();
    {
        QMutexLocker lock(&m_mailboxMutex);
        m_mailbox.enqueue(report);
        mine = ++m_posted;
        m_arrived.wakeAll();
    }
    // Wakes the user-interface thread's event loop; a waiting loop may also
    // deliver directly (deliverPending), whichever comes first.
    QMetaObject::invokeMethod(this, &THidDevice::deliverPending, Qt::QueuedConnection);
    QMutexLocker lock(&m_mailboxMutex);
    while (m_done < mine && !stop)
        m_handled.wait(&m_mailboxMutex, QDeadlineTimer(10));
    busy = false;
    m_arrived.wakeAll();
}

bool THidDevice::waitForHandover(int ms)
{
    {
        // Until a report arrives, or the read thread, seen busy, is done with
        // what it had (its handler already ran), or the time is up.
        QMutexLocker lock(&m_mailboxMutex);
        const QDeadlineTimer deadline(ms);
        bool sawBusy = false;
        while (m_mailbox.isEmpty() && !deadline.hasExpired()) {
            const bool busy = readerBusy();
            if (sawBusy && !busy) break;
            sawBusy = sawBusy || busy;
            m_arrived.wait(&m_mailboxMutex, deadline);
        }
    }
    return deliverPending();
}

bool THidDevice::deliverPending()
{
    bool any = false;
    for (;;) {
        QByteArray report;
        {
            QMutexLocker lock(&m_mailboxMutex);
            if (m_mailbox.isEmpty()) return any;
            report = m_mailbox.dequeue();
        }
        deliver(report);
        ++m_controller->m_delivered;
        any = true;
        QMutexLocker lock(&m_mailboxMutex);
        ++m_done;
        m_handled.wakeAll();
    }
}

void THidDevice::unplug()
{
    m_pluggedIn = false;
    stopReading();
}

void THidDevice::deliver(const QByteArray& report)
{
    if (!m_attached || report.isEmpty()) return;
    emit m_controller->deviceData(this, quint8(report.at(0)), report.mid(1));
}

THidDeviceController::THidDeviceController(HidBackend& backend, QObject* parent)
    : QObject(parent), m_backend(backend)
{
}

THidDeviceController::~THidDeviceController()
{
    for (THidDevice* d : m_devices)
        delete d;
    m_devices.clear();
}

void THidDeviceController::enumerate(bool forceNotify)
{
    if (m_enumerating) return; // a pass never runs while another is running
    m_enumerating = true;
    bool changed = false;
    const QVector<HidInterfaceInfo> present =
        m_backend.available() ? m_backend.enumerate() : QVector<HidInterfaceInfo>();
    QSet<QString> presentIds;
    for (const auto& i : present)
        presentIds.insert(i.instanceId);

    // Gone: unplug; free devices leave the list, attached ones wait for their holder.
    for (int i = int(m_devices.size()) - 1; i >= 0; --i) {
        THidDevice* d = m_devices[i];
        if (d->isPluggedIn() && presentIds.contains(d->pnpInfo().instanceId)) continue;
        if (d->isPluggedIn()) {
            d->unplug();
            emit deviceUnplug(d);
            changed = true;
        }
        if (!d->isAttached()) {
            m_devices.remove(i);
            delete d;
        }
    }
    // New: open and list.
    QVector<HidInterfaceInfo> refused;
    for (const auto& info : present) {
        bool known = false;
        for (THidDevice* d : m_devices)
            if (d->isPluggedIn() && d->pnpInfo().instanceId == info.instanceId) known = true;
        if (known) continue;
        std::unique_ptr<HidTransport> t = m_backend.open(info);
        if (!t) {
            // Cannot be opened: not listed. Refused ones are remembered so that
            // a missing udev rule is not taken for a missing instrument.
            if (m_backend.lastOpenFailure() == OpenFailure::Permission) refused.append(info);
            continue;
        }
        m_devices.append(
            new THidDevice(this, {info.instanceId, info.path}, info, std::move(t), m_defaultSleep));
        changed = true;
    }
    m_refused = refused;
    m_enumerating = false;
    if (changed || forceNotify) emit deviceChange();
}

int THidDeviceController::attachedCount() const
{
    int n = 0;
    for (THidDevice* d : m_devices)
        n += d->isAttached();
    return n;
}

int THidDeviceController::freeCount() const
{
    return int(m_devices.size()) - attachedCount();
}

void THidDeviceController::attach(THidDevice* d)
{
    d->m_attached = true;
    d->startReading();
}

THidDevice* THidDeviceController::AttachByIds(int vendor, int product)
{
    for (THidDevice* d : m_devices) {
        if (d->isAttached() || !d->isPluggedIn()) continue;
        if (d->vendorId() == vendor && (product == -1 || d->productId() == product)) {
            attach(d);
            return d;
        }
    }
    return nullptr;
}

THidDevice* THidDeviceController::AttachByPredicate(const std::function<bool(THidDevice*)>& predicate)
{
    for (THidDevice* d : m_devices) {
        if (d->isAttached() || !d->isPluggedIn()) continue;
        d->m_enumerating = true;
        const bool yes = predicate(d);
        d->m_enumerating = false;
        if (yes) {
            attach(d);
            return d;
        }
    }
    return nullptr;
}

void THidDeviceController::ReleaseDevice(THidDevice*& device)
{
    if (!device) return;
    THidDevice* d = device;
    device = nullptr;
    d->stopReading();
    d->m_attached = false;
    if (!d->isPluggedIn()) {
        m_devices.removeAll(d);
        delete d;
    }
}

bool THidDeviceController::waitForHandover(int ms)
{
    for (THidDevice* d : m_devices)
        if (d->isAttached()) return d->waitForHandover(ms);
    return false;
}

bool THidDeviceController::deliverPending()
{
    bool any = false;
    for (THidDevice* d : m_devices)
        any |= d->deliverPending();
    return any;
}

bool THidDeviceController::anyReading() const
{
    for (THidDevice* d : m_devices)
        if (d->isReading()) return true;
    return false;
}

bool THidDeviceController::anyDeliveryPending() const
{
    for (THidDevice* d : m_devices)
        if (d->readerBusy()) return true;
    return false;
}

} // namespace lumo
