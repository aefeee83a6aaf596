#pragma once
// The real instrument through hidapi (hidraw backend). String descriptors,
// which hidraw cannot read, come from sysfs and libusb (usbstrings.h).

#include "instrument/transport.h"

namespace lumo {

class UsbControlReader;

class HidapiBackend : public HidBackend
{
public:
    explicit HidapiBackend(const QString& sysfsRoot = QStringLiteral("/sys"));
    ~HidapiBackend() override;
    bool available() const override { return m_ok; }
    QVector<HidInterfaceInfo> enumerate() override;
    std::unique_ptr<HidTransport> open(const HidInterfaceInfo& info) override;
    OpenFailure lastOpenFailure() const override { return m_lastFailure; }

private:
    bool m_ok = false;
    QString m_sysfsRoot;
    std::unique_ptr<UsbControlReader> m_usb;
    OpenFailure m_lastFailure = OpenFailure::None;
};

// Why a device node could not be opened for reading and writing.
OpenFailure openFailureOfNode(const QString& path);

// Input and output report lengths (with the report-id byte) from a HID report
// descriptor: the largest report of each kind. {0, 0} when none is declared.
struct ReportLengths
{
    int input = 0;
    int output = 0;
};
ReportLengths reportLengthsFromDescriptor(const QByteArray& descriptor);

} // namespace lumo
