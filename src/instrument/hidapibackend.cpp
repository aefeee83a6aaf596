#include "instrument/hidapibackend.h"

#include "instrument/libusbreader.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <cerrno>
#include <fcntl.h>
#include <hidapi/hidapi.h>
#include <unistd.h>

namespace lumo {
namespace {

class HidapiTransport : public HidTransport
{
public:
    HidapiTransport(hid_device* h, const QString& path, const QString& sysfsRoot, UsbControlReader& usb)
        : m_dev(h), m_path(path), m_node(QFileInfo(path).fileName()), m_sysfsRoot(sysfsRoot), m_usb(usb)
    {
    }
    ~HidapiTransport() override { hid_close(m_dev); }

    bool write(const QByteArray& report) override
    {
        return hid_write(m_dev, reinterpret_cast<const unsigned char*>(report.constData()),
                         size_t(report.size())) == report.size();
    }
    int read(QByteArray& report, int timeoutMs) override
    {
        // Reports without numbered ids arrive without the id byte: put the 0 back in front.
        unsigned char buf[256];
        int slice = std::min(timeoutMs, 50);
        for (int waited = 0; !m_cancel; waited += slice) {
            const int n = hid_read_timeout(m_dev, buf, sizeof buf, slice);
            if (n < 0) return -1;
            if (n > 0) {
                report = QByteArray(1, '\0') + QByteArray(reinterpret_cast<const char*>(buf), n);
                return int(report.size());
            }
            if (waited + slice >= timeoutMs) break;
        }
        m_cancel = false;
        return 0;
    }
    void cancel() override { m_cancel = true; }
    int inputReportLength() override { return lengths().input; }
    int outputReportLength() override { return lengths().output; }
    // hidapi's hidraw library cannot read a string by index: sysfs and libusb can.
    QString indexedString(int index) override
    {
        return hidrawIndexedString(m_sysfsRoot, m_node, index, m_usb);
    }
    void flushInput() override
    {
        unsigned char buf[256];
        while (hid_read_timeout(m_dev, buf, sizeof buf, 0) > 0) {
        }
    }

private:
    ReportLengths lengths()
    {
        if (!m_lengths) {
            // hidraw publishes the report descriptor in sysfs beside the node.
            QFile f(QStringLiteral("%1/class/hidraw/%2/device/report_descriptor").arg(m_sysfsRoot, m_node));
            ReportLengths r;
            if (f.open(QIODevice::ReadOnly)) r = reportLengthsFromDescriptor(f.readAll());
            if (r.input == 0) r.input = 65;
            if (r.output == 0) r.output = 65;
            m_lengths = r;
        }
        return *m_lengths;
    }
    hid_device* m_dev;
    QString m_path;
    QString m_node;
    QString m_sysfsRoot;
    UsbControlReader& m_usb;
    std::atomic<bool> m_cancel{false};
    std::optional<ReportLengths> m_lengths;
};

} // namespace

ReportLengths reportLengthsFromDescriptor(const QByteArray& d)
{
    // Global items: Report Size (0x74), Report ID (0x84), Report Count (0x94);
    // main items: Input (0x80), Output (0x90). Bits are summed per report id.
    QMap<int, int> inputBits, outputBits;
    quint32 size = 0, count = 0;
    int id = 0;
    bool numbered = false;
    for (int i = 0; i < d.size();) {
        const quint8 prefix = quint8(d.at(i));
        if (prefix == 0xFE) { // long item
            if (i + 1 >= d.size()) break;
            i += 3 + quint8(d.at(i + 1));
            continue;
        }
        int len = prefix & 0x03;
        if (len == 3) len = 4;
        quint32 value = 0;
        for (int b = 0; b < len && i + 1 + b < d.size(); ++b)
            value |= quint32(quint8(d.at(i + 1 + b))) << (8 * b);
        switch (prefix & 0xFC) {
        case 0x74:
            size = value;
            break;
        case 0x94:
            count = value;
            break;
        case 0x84:
            id = int(value);
            numbered = true;
            break;
        case 0x80:
            inputBits[id] += int(size * count);
            break;
        case 0x90:
            outputBits[id] += int(size * count);
            break;
        }
        i += 1 + len;
    }
    Q_UNUSED(numbered);
    auto largest = [](const QMap<int, int>& m) {
        int bits = 0;
        for (int b : m)
            bits = std::max(bits, b);
        return bits == 0 ? 0 : (bits + 7) / 8 + 1;
    };
    return {largest(inputBits), largest(outputBits)};
}

HidapiBackend::HidapiBackend(const QString& sysfsRoot)
    : m_sysfsRoot(sysfsRoot), m_usb(std::make_unique<LibusbControlReader>())
{
    m_ok = hid_init() == 0;
}

HidapiBackend::~HidapiBackend()
{
    if (m_ok) hid_exit();
}

QVector<HidInterfaceInfo> HidapiBackend::enumerate()
{
    QVector<HidInterfaceInfo> list;
    if (!m_ok) return list;
    hid_device_info* all = hid_enumerate(0, 0);
    for (hid_device_info* d = all; d; d = d->next) {
        const QString path = QString::fromLocal8Bit(d->path);
        list.append({path, path, d->vendor_id, d->product_id, d->release_number});
    }
    hid_free_enumeration(all);
    return list;
}

std::unique_ptr<HidTransport> HidapiBackend::open(const HidInterfaceInfo& info)
{
    m_lastFailure = OpenFailure::Other;
    if (!m_ok) return nullptr;
    hid_device* h = hid_open_path(info.path.toLocal8Bit().constData());
    if (!h) {
        m_lastFailure = openFailureOfNode(info.path); // cannot be opened: not listed
        return nullptr;
    }
    m_lastFailure = OpenFailure::None;
    return std::make_unique<HidapiTransport>(h, info.path, m_sysfsRoot, *m_usb);
}

OpenFailure openFailureOfNode(const QString& path)
{
    // hidapi keeps only a text of the error: the node is tried again for its errno.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_CLOEXEC | O_NONBLOCK);
    if (fd >= 0) {
        ::close(fd);
        return OpenFailure::Other;
    }
    return (errno == EACCES || errno == EPERM) ? OpenFailure::Permission : OpenFailure::Other;
}

} // namespace lumo
