#include "instrument/usbstrings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace lumo {
namespace {

constexpr quint16 UsEnglish = 0x0409; // what devices without a language list answer to

std::optional<QByteArray> readAttribute(const QString& dir, const char* name)
{
    QFile f(dir + QLatin1Char('/') + QLatin1String(name));
    if (!f.open(QIODevice::ReadOnly)) return std::nullopt;
    QByteArray content = f.readAll();
    if (f.error() != QFile::NoError) return std::nullopt;
    return content;
}

bool hasFile(const QString& dir, const char* name)
{
    return QFileInfo(dir + QLatin1Char('/') + QLatin1String(name)).isFile();
}

// sysfs ends each text attribute with one newline; the text itself may end in blanks.
QString attributeText(const QByteArray& content)
{
    return QString::fromUtf8(content.endsWith('\n') ? content.chopped(1) : content);
}

} // namespace

std::optional<UsbDeviceEntry> usbDeviceOfHidraw(const QString& sysfsRoot, const QString& node)
{
    // class/hidraw/<node> leads to .../<usb device>/<interface>/<hid device>/hidraw/<node>.
    const QString nodeDir =
        QFileInfo(sysfsRoot + QStringLiteral("/class/hidraw/") + node).canonicalFilePath();
    if (nodeDir.isEmpty()) return std::nullopt;
    const QDir hid = QFileInfo(QFileInfo(nodeDir).path()).dir();
    // The HID device's name starts with its bus type: 0003 is USB. A Bluetooth
    // keyboard (0005) sits below its adapter, which may itself be a USB
    // device: its strings are not the keyboard's.
    if (!hid.dirName().startsWith(QLatin1String("0003:"))) return std::nullopt;
    // A virtual HID device may call itself USB; a real one hangs from a USB interface.
    const QString interface = QFileInfo(hid.absolutePath()).path();
    if (!hasFile(interface, "bInterfaceNumber")) return std::nullopt;
    UsbDeviceEntry e;
    e.path = QFileInfo(interface).path();
    bool busOk = false, addressOk = false;
    e.bus = attributeText(readAttribute(e.path, "busnum").value_or(QByteArray())).toInt(&busOk);
    e.address = attributeText(readAttribute(e.path, "devnum").value_or(QByteArray())).toInt(&addressOk);
    if (!busOk || !addressOk) return std::nullopt;
    // The device descriptor comes first: 18 bytes, type 1; the string indexes at 14, 15, 16.
    const QByteArray d = readAttribute(e.path, "descriptors").value_or(QByteArray());
    if (d.size() >= 18 && quint8(d.at(0)) >= 18 && quint8(d.at(1)) == 1) {
        e.manufacturerIndex = quint8(d.at(14));
        e.productIndex = quint8(d.at(15));
        e.serialIndex = quint8(d.at(16));
    }
    return e;
}

QString decodeStringDescriptor(const QByteArray& raw)
{
    if (raw.size() < 2 || quint8(raw.at(1)) != 3) return QString();
    // bLength bounds the text; a device that sent less than it announced gives what arrived.
    const int length = std::min<int>(quint8(raw.at(0)), int(raw.size()));
    QString text;
    for (int i = 2; i + 1 < length; i += 2)
        text += QChar(char16_t(quint8(raw.at(i)) | (quint8(raw.at(i + 1)) << 8)));
    return text;
}

quint16 firstStringLanguage(const QByteArray& raw)
{
    if (raw.size() < 4 || quint8(raw.at(0)) < 4 || quint8(raw.at(1)) != 3) return 0;
    return quint16(quint8(raw.at(2)) | (quint8(raw.at(3)) << 8));
}

QString hidrawIndexedString(const QString& sysfsRoot, const QString& node, int index,
                            UsbControlReader& reader)
{
    if (index <= 0 || index > 255) return QString();
    const std::optional<UsbDeviceEntry> e = usbDeviceOfHidraw(sysfsRoot, node);
    if (!e) return QString();
    // The kernel read these three strings when the device arrived.
    const std::pair<int, const char*> attributes[] = {
        {e->serialIndex, "serial"}, {e->productIndex, "product"}, {e->manufacturerIndex, "manufacturer"}};
    for (const auto& [attributeIndex, name] : attributes) {
        if (attributeIndex != index) continue;
        if (const auto content = readAttribute(e->path, name)) return attributeText(*content);
    }
    // Any other string (or one whose attribute cannot be read) comes from the device.
    quint16 language = firstStringLanguage(reader.stringDescriptor(e->bus, e->address, 0, 0));
    if (language == 0) language = UsEnglish;
    return decodeStringDescriptor(reader.stringDescriptor(e->bus, e->address, index, language));
}

} // namespace lumo
