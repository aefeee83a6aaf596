#include "instrument/libusbreader.h"

#include <libusb.h>

namespace lumo {

LibusbControlReader::~LibusbControlReader()
{
    if (m_context) libusb_exit(m_context);
}

QByteArray LibusbControlReader::stringDescriptor(int bus, int address, int index, quint16 language)
{
    // Started on first use: most runs read every string from sysfs.
    if (!m_initTried) {
        m_initTried = true;
        if (libusb_init(&m_context) != 0) m_context = nullptr;
    }
    if (!m_context) return {};
    libusb_device** list = nullptr;
    const ssize_t count = libusb_get_device_list(m_context, &list);
    QByteArray result;
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device* device = list[i];
        if (libusb_get_bus_number(device) != bus || libusb_get_device_address(device) != address) continue;
        libusb_device_handle* handle = nullptr;
        // Opening the device node needs the udev rule's access, like the hidraw node.
        if (libusb_open(device, &handle) == 0) {
            unsigned char buffer[255] = {};
            const int n =
                libusb_get_string_descriptor(handle, quint8(index), language, buffer, sizeof buffer);
            if (n > 0) result = QByteArray(reinterpret_cast<const char*>(buffer), n);
            libusb_close(handle);
        }
        break;
    }
    if (list) libusb_free_device_list(list, 1);
    return result;
}

} // namespace lumo
