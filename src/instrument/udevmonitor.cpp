#include "instrument/udevmonitor.h"

#include <QSocketNotifier>
#include <QTimer>
#include <libudev.h>

namespace lumo {

HotplugMonitor::HotplugMonitor(QObject* parent) : QObject(parent)
{
    m_udev = udev_new();
    if (m_udev) m_monitor = udev_monitor_new_from_netlink(m_udev, "udev");
    if (m_monitor && udev_monitor_filter_add_match_subsystem_devtype(m_monitor, "hidraw", nullptr) == 0 &&
        udev_monitor_enable_receiving(m_monitor) == 0) {
        m_notifier = new QSocketNotifier(udev_monitor_get_fd(m_monitor), QSocketNotifier::Read, this);
        connect(m_notifier, &QSocketNotifier::activated, this, &HotplugMonitor::readEvents);
        return;
    }
    if (m_monitor) udev_monitor_unref(m_monitor);
    m_monitor = nullptr;
    // No udev: look again every two seconds.
    m_poll = new QTimer(this);
    connect(m_poll, &QTimer::timeout, this, &HotplugMonitor::devicesChanged);
    m_poll->start(2000);
}

HotplugMonitor::~HotplugMonitor()
{
    if (m_monitor) udev_monitor_unref(m_monitor);
    if (m_udev) udev_unref(m_udev);
}

void HotplugMonitor::readEvents()
{
    bool any = false;
    while (udev_device* d = udev_monitor_receive_device(m_monitor)) {
        any = true;
        udev_device_unref(d);
    }
    if (any) emit devicesChanged();
}

} // namespace lumo
