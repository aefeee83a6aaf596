#pragma once
// String descriptors through libusb: a GET_DESCRIPTOR control transfer on the
// device's default pipe. The device is opened without claiming an interface or
// detaching the kernel's HID driver, so the program's hidraw node keeps working.

#include "instrument/usbstrings.h"

struct libusb_context;

namespace lumo {

class LibusbControlReader : public UsbControlReader
{
public:
    LibusbControlReader() = default;
    ~LibusbControlReader() override;
    QByteArray stringDescriptor(int bus, int address, int index, quint16 language) override;

private:
    libusb_context* m_context = nullptr;
    bool m_initTried = false;
};

} // namespace lumo
