#pragma once
// The string descriptors of a hidraw node's USB device. The hidraw driver
// offers no call for them, so they are read without taking the device from the
// kernel's HID driver: the text from sysfs where the device descriptor names
// the index as its manufacturer, product or serial number string, otherwise
// with a GET_DESCRIPTOR control transfer on the default pipe, which needs no
// claimed interface.

#include <QByteArray>
#include <QString>
#include <optional>

namespace lumo {

// The USB device above a hidraw node, as sysfs shows it.
struct UsbDeviceEntry
{
    QString path; // its sysfs directory
    int bus = 0;
    int address = 0;
    // From the raw device descriptor (sysfs "descriptors"); 0 when the index
    // is not there or the descriptor could not be read.
    int manufacturerIndex = 0;
    int productIndex = 0;
    int serialIndex = 0;
};

// sysfsRoot is "/sys" on a running system; node a name such as "hidraw3". No
// value when the node is not a HID device on USB (Bluetooth, a virtual device).
std::optional<UsbDeviceEntry> usbDeviceOfHidraw(const QString& sysfsRoot, const QString& node);

// A control transfer on a USB device's default pipe.
class UsbControlReader
{
public:
    virtual ~UsbControlReader() = default;
    // The raw string descriptor (bLength, bDescriptorType 3, UTF-16LE text), or
    // empty when the device cannot be reached.
    virtual QByteArray stringDescriptor(int bus, int address, int index, quint16 language) = 0;
};

// The text of a raw string descriptor; empty when it is not one.
QString decodeStringDescriptor(const QByteArray& raw);
// The first language of string descriptor 0; 0 when it lists none.
quint16 firstStringLanguage(const QByteArray& raw);

// String descriptor index of the hidraw node's USB device; empty when there is
// none or it cannot be read.
QString hidrawIndexedString(const QString& sysfsRoot, const QString& node, int index,
                            UsbControlReader& reader);

} // namespace lumo
