#pragma once
// Follows plugging and unplugging of HID devices: a udev monitor on the hidraw
// subsystem read on the user-interface thread; without udev, a periodic pass.

#include <QObject>

class QSocketNotifier;
class QTimer;
struct udev;
struct udev_monitor;

namespace lumo {

class HotplugMonitor : public QObject
{
    Q_OBJECT
public:
    explicit HotplugMonitor(QObject* parent = nullptr);
    ~HotplugMonitor() override;
    bool usingUdev() const { return m_monitor != nullptr; }

signals:
    void devicesChanged();

private:
    void readEvents();
    struct udev* m_udev = nullptr;
    struct udev_monitor* m_monitor = nullptr;
    QSocketNotifier* m_notifier = nullptr;
    QTimer* m_poll = nullptr;
};

} // namespace lumo
