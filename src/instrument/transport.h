#pragma once
// The only seam between the program and a HID implementation. hidapi, the
// simulated instrument and test fakes implement it; nothing above includes hidapi.

#include <QByteArray>
#include <QString>
#include <QVector>
#include <memory>

namespace lumo {

struct HidInterfaceInfo
{
    QString instanceId; // tells devices apart between enumerations
    QString path;       // the name under which the interface is opened
    quint16 vendor = 0;
    quint16 product = 0;
    quint16 version = 0;
};

// One open HID interface. write() and the string/length queries run on the
// user-interface thread, read() on the device's read thread.
class HidTransport
{
public:
    virtual ~HidTransport() = default;
    // A report starting with its report-id byte. False on failure.
    virtual bool write(const QByteArray& report) = 0;
    // Waits up to timeoutMs for one input report (with its id byte). Returns
    // its length, 0 when the time passed or cancel() was called, -1 on an error.
    virtual int read(QByteArray& report, int timeoutMs) = 0;
    // Wakes a read() that is waiting.
    virtual void cancel() = 0;
    // Report lengths including the report-id byte.
    virtual int inputReportLength() = 0;
    virtual int outputReportLength() = 0;
    virtual QString indexedString(int index) = 0;
    virtual void flushInput() = 0;

    // A transport that runs on virtual time says while a report it returned
    // from read() has not yet been taken on by the read thread, so that virtual
    // time does not move on while it is in the thread's hands. The read thread
    // calls inputTakenOn() once it has the report in its own bookkeeping.
    virtual bool inputInTransit() const { return false; }
    virtual void inputTakenOn() {}
};

// Why open() gave no transport: a device the user may not open (no udev rule
// for it) is told apart from one that went away or failed otherwise.
enum class OpenFailure
{
    None,
    Permission,
    Other
};

class HidBackend
{
public:
    virtual ~HidBackend() = default;
    virtual bool available() const = 0;
    virtual QVector<HidInterfaceInfo> enumerate() = 0;
    virtual std::unique_ptr<HidTransport> open(const HidInterfaceInfo& info) = 0;
    // Why the last open() returned nothing.
    virtual OpenFailure lastOpenFailure() const { return OpenFailure::Other; }
};

} // namespace lumo
