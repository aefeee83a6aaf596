// The hardware text of a hidraw node's USB device, looked up on fake sysfs
// trees built in a temporary directory, and the control-transfer path through a
// reader with canned descriptors.

#include "instrument/usbstrings.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

// UTF-16LE string descriptor bytes, as a device sends them.
QByteArray cannedString(const QString& text)
{
    QByteArray d(2, '\0');
    for (QChar c : text) {
        d += char(c.unicode() & 0xFF);
        d += char(c.unicode() >> 8);
    }
    d[0] = char(d.size());
    d[1] = 3;
    return d;
}

// A device descriptor with the three string indexes.
QByteArray deviceDescriptor(int manufacturer, int product, int serial)
{
    QByteArray d(18, '\0');
    d[0] = 18;
    d[1] = 1;
    d[8] = char(0x25); // idVendor C925, little-endian
    d[9] = char(0xC9);
    d[10] = char(0x2F);
    d[11] = char(0xA1);
    d[14] = char(manufacturer);
    d[15] = char(product);
    d[16] = char(serial);
    d[17] = 1;
    // The configuration descriptors follow in the real file.
    return d + QByteArray::fromHex("09022200010100a032");
}

struct CannedReader : UsbControlReader
{
    QByteArray languages = QByteArray::fromHex("060304040904"); // 0x0404, 0x0409
    QByteArray text = cannedString(QString::fromUtf8("HW 5.0 測試"));
    struct Call
    {
        int bus, address, index;
        quint16 language;
    };
    QList<Call> calls;
    QByteArray stringDescriptor(int bus, int address, int index, quint16 language) override
    {
        calls.append({bus, address, index, language});
        return index == 0 ? languages : text;
    }
};

class FakeSysfs
{
public:
    QString root() const { return m_dir.path(); }

    // A USB device with its sysfs attributes; attributes maps name to content
    // (a missing name: no such attribute).
    QString usbDevice(const QString& relative, const QMap<QString, QByteArray>& attributes)
    {
        const QString dir = root() + QStringLiteral("/devices/") + relative;
        QDir().mkpath(dir);
        for (auto it = attributes.begin(); it != attributes.end(); ++it)
            write(dir + QLatin1Char('/') + it.key(), it.value());
        return dir;
    }
    // A hidraw node below parent (a directory under devices/), reached from class/hidraw.
    void hidraw(const QString& node, const QString& hidDeviceDir)
    {
        const QString nodeDir = hidDeviceDir + QStringLiteral("/hidraw/") + node;
        QDir().mkpath(nodeDir);
        write(nodeDir + QStringLiteral("/dev"), "245:0\n");
        QDir().mkpath(root() + QStringLiteral("/class/hidraw"));
        // sysfs links the class entry relatively, as ../../devices/...
        QFile::link(QDir(root() + QStringLiteral("/class/hidraw")).relativeFilePath(nodeDir),
                    root() + QStringLiteral("/class/hidraw/") + node);
    }
    // The instrument: USB device 1-2 on bus 3 at address 7, interface 1.0, HID device, hidraw0.
    QString instrument(const QMap<QString, QByteArray>& attributes)
    {
        QMap<QString, QByteArray> all{{"busnum", "3\n"}, {"devnum", "7\n"}, {"idVendor", "c925\n"}};
        for (auto it = attributes.begin(); it != attributes.end(); ++it)
            all[it.key()] = it.value();
        const QString usb = usbDevice(QStringLiteral("pci0000:00/0000:00:14.0/usb3/3-2"), all);
        const QString interface = usb + QStringLiteral("/3-2:1.0");
        QDir().mkpath(interface);
        write(interface + QStringLiteral("/bInterfaceNumber"), "00\n");
        hidraw(QStringLiteral("hidraw0"), interface + QStringLiteral("/0003:C925:A12F.0001"));
        return usb;
    }
    static void write(const QString& path, const QByteArray& content)
    {
        QFile f(path);
        if (f.open(QIODevice::WriteOnly)) f.write(content);
    }

private:
    QTemporaryDir m_dir;
};

enum class Tree
{
    Instrument,
    SerialIsDirectory,
    DescriptorsIsDirectory,
    Bluetooth,
    Virtual,
    None
};

} // namespace

Q_DECLARE_METATYPE(Tree)

class TestUsbStrings : public QObject
{
    Q_OBJECT
private slots:
    void hardwareText_data()
    {
        QTest::addColumn<Tree>("tree");
        QTest::addColumn<QByteArray>("descriptors");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("controlTransfer");
        const QString canned = QString::fromUtf8("HW 5.0 測試");
        QTest::newRow("index 3 is the serial number")
            << Tree::Instrument << deviceDescriptor(1, 2, 3) << "SERIAL-TEXT" << false;
        QTest::newRow("index 3 is the product")
            << Tree::Instrument << deviceDescriptor(1, 3, 0) << "PRODUCT-TEXT" << false;
        QTest::newRow("index 3 is the manufacturer")
            << Tree::Instrument << deviceDescriptor(3, 1, 2) << "MAKER-TEXT" << false;
        QTest::newRow("index 3 is none of the three")
            << Tree::Instrument << deviceDescriptor(1, 2, 4) << canned << true;
        QTest::newRow("no string indexes at all")
            << Tree::Instrument << deviceDescriptor(0, 0, 0) << canned << true;
        QTest::newRow("descriptors too short to hold the indexes")
            << Tree::Instrument << deviceDescriptor(1, 2, 3).left(12) << canned << true;
        QTest::newRow("descriptors not a device descriptor")
            << Tree::Instrument << QByteArray(18, '\x09') << canned << true;
        QTest::newRow("serial attribute unreadable")
            << Tree::SerialIsDirectory << deviceDescriptor(1, 2, 3) << canned << true;
        QTest::newRow("descriptors unreadable")
            << Tree::DescriptorsIsDirectory << deviceDescriptor(1, 2, 3) << canned << true;
        QTest::newRow("Bluetooth device below a USB adapter")
            << Tree::Bluetooth << deviceDescriptor(1, 2, 3) << QString() << false;
        QTest::newRow("virtual device that says USB")
            << Tree::Virtual << deviceDescriptor(1, 2, 3) << QString() << false;
        QTest::newRow("no such node") << Tree::None << deviceDescriptor(1, 2, 3) << QString() << false;
    }
    void hardwareText()
    {
        QFETCH(Tree, tree);
        QFETCH(QByteArray, descriptors);
        QFETCH(QString, expected);
        QFETCH(bool, controlTransfer);
        FakeSysfs sys;
        const QMap<QString, QByteArray> strings{{"descriptors", descriptors},
                                                {"manufacturer", "MAKER-TEXT\n"},
                                                {"product", "PRODUCT-TEXT\n"},
                                                {"serial", "SERIAL-TEXT\n"}};
        if (tree == Tree::Instrument || tree == Tree::SerialIsDirectory ||
            tree == Tree::DescriptorsIsDirectory) {
            QMap<QString, QByteArray> attributes = strings;
            const char* unreadable = tree == Tree::SerialIsDirectory        ? "serial"
                                     : tree == Tree::DescriptorsIsDirectory ? "descriptors"
                                                                            : nullptr;
            if (unreadable) attributes.remove(QLatin1String(unreadable));
            const QString usb = sys.instrument(attributes);
            // A read that fails: a directory where the attribute should be.
            if (unreadable) QVERIFY(QDir().mkpath(usb + QLatin1Char('/') + QLatin1String(unreadable)));
        } else if (tree == Tree::Bluetooth) {
            // The adapter is a USB device with strings of its own; the keyboard's are not there.
            QMap<QString, QByteArray> adapter = strings;
            adapter.insert("busnum", "1\n");
            adapter.insert("devnum", "4\n");
            const QString usb = sys.usbDevice(QStringLiteral("pci0000:00/0000:00:14.0/usb1/1-4"), adapter);
            QDir().mkpath(usb + QStringLiteral("/1-4:1.0"));
            FakeSysfs::write(usb + QStringLiteral("/1-4:1.0/bInterfaceNumber"), "00\n");
            sys.hidraw(QStringLiteral("hidraw0"),
                       usb + QStringLiteral("/1-4:1.0/bluetooth/hci0/hci0:256/0005:C925:A12F.0002"));
        } else if (tree == Tree::Virtual) {
            sys.hidraw(QStringLiteral("hidraw0"),
                       sys.root() + QStringLiteral("/devices/virtual/misc/uhid/0003:C925:A12F.0003"));
        }
        CannedReader reader;
        QCOMPARE(hidrawIndexedString(sys.root(), QStringLiteral("hidraw0"), 3, reader), expected);
        QCOMPARE(!reader.calls.isEmpty(), controlTransfer);
        if (controlTransfer) {
            // The language list first, then string 3 in its first language, on the device sysfs names.
            QCOMPARE(reader.calls.size(), 2);
            QCOMPARE(reader.calls[0].index, 0);
            QCOMPARE(reader.calls[1].bus, 3);
            QCOMPARE(reader.calls[1].address, 7);
            QCOMPARE(reader.calls[1].index, 3);
            QCOMPARE(reader.calls[1].language, quint16(0x0404));
        }
    }

    void attributeTextKeepsItsBlanks()
    {
        FakeSysfs sys;
        sys.instrument({{"descriptors", deviceDescriptor(1, 2, 3)}, {"serial", QByteArray("LUMO 2.1  \n")}});
        CannedReader reader;
        QCOMPARE(hidrawIndexedString(sys.root(), QStringLiteral("hidraw0"), 3, reader),
                 QStringLiteral("LUMO 2.1  "));
    }

    void deviceWithoutALanguageListIsAskedInEnglish()
    {
        FakeSysfs sys;
        sys.instrument({{"descriptors", deviceDescriptor(1, 2, 4)}});
        CannedReader reader;
        reader.languages.clear(); // descriptor 0 could not be read
        QCOMPARE(hidrawIndexedString(sys.root(), QStringLiteral("hidraw0"), 3, reader),
                 QString::fromUtf8("HW 5.0 測試"));
        QCOMPARE(reader.calls.last().language, quint16(0x0409));
    }

    void deviceThatCannotBeReachedGivesNoText()
    {
        FakeSysfs sys;
        sys.instrument({{"descriptors", deviceDescriptor(1, 2, 4)}});
        CannedReader reader;
        reader.text.clear();
        QCOMPARE(hidrawIndexedString(sys.root(), QStringLiteral("hidraw0"), 3, reader), QString());
    }

    void usbDeviceEntry()
    {
        FakeSysfs sys;
        const QString usb = sys.instrument({{"descriptors", deviceDescriptor(5, 6, 7)}});
        const auto e = usbDeviceOfHidraw(sys.root(), QStringLiteral("hidraw0"));
        QVERIFY(e);
        QCOMPARE(QFileInfo(e->path).canonicalFilePath(), QFileInfo(usb).canonicalFilePath());
        QCOMPARE(e->bus, 3);
        QCOMPARE(e->address, 7);
        QCOMPARE(e->manufacturerIndex, 5);
        QCOMPARE(e->productIndex, 6);
        QCOMPARE(e->serialIndex, 7);
    }

    void decode_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<QString>("text");
        QTest::newRow("ASCII") << cannedString("LUMO USB HW 2.1") << "LUMO USB HW 2.1";
        QTest::newRow("Chinese") << cannedString(QString::fromUtf8("經絡儀 3"))
                                 << QString::fromUtf8("經絡儀 3");
        QTest::newRow("bytes after bLength are not the text")
            << cannedString("AB") + QByteArray("C\0D\0", 4) << "AB";
        QTest::newRow("fewer bytes than bLength announced") << cannedString("ABCD").left(6) << "AB";
        QTest::newRow("odd bLength drops the half unit") << [] {
            QByteArray d = cannedString("AB");
            d[0] = 5;
            return d;
        }() << "A";
        QTest::newRow("not a string descriptor") << [] {
            QByteArray d = cannedString("AB");
            d[1] = 2;
            return d;
        }() << QString();
        QTest::newRow("header only") << QByteArray("\x02\x03", 2) << QString();
        QTest::newRow("one byte") << QByteArray("\x02", 1) << QString();
        QTest::newRow("nothing") << QByteArray() << QString();
    }
    void decode()
    {
        QFETCH(QByteArray, raw);
        QFETCH(QString, text);
        QCOMPARE(decodeStringDescriptor(raw), text);
    }

    void languages_data()
    {
        QTest::addColumn<QByteArray>("raw");
        QTest::addColumn<int>("first");
        QTest::newRow("Traditional Chinese, then English") << QByteArray::fromHex("060304040904") << 0x0404;
        QTest::newRow("English") << QByteArray::fromHex("04030904") << 0x0409;
        QTest::newRow("no language") << QByteArray::fromHex("0203") << 0;
        QTest::newRow("not a string descriptor") << QByteArray::fromHex("04020904") << 0;
        QTest::newRow("cut short") << QByteArray::fromHex("040309") << 0;
    }
    void languages()
    {
        QFETCH(QByteArray, raw);
        QFETCH(int, first);
        QCOMPARE(int(firstStringLanguage(raw)), first);
    }
};

QTEST_GUILESS_MAIN(TestUsbStrings)
#include "test_usbstrings.moc"
