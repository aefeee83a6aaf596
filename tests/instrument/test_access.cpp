// An instrument that is plugged in but may not be opened (no udev rule) is
// shown as no instrument at start-up, and told apart for support.

#include "instrument/instrument.h"
#include "instrument/protocol.h"
#include "shell/identificationreport.h"
#include "shell/startupcheck.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace lumo;

namespace {

// Lists the given devices and opens none of them, for the given reason.
class RefusingBackend : public HidBackend
{
public:
    QVector<HidInterfaceInfo> devices;
    OpenFailure reason = OpenFailure::Permission;
    int opens = 0;
    bool available() const override { return true; }
    QVector<HidInterfaceInfo> enumerate() override { return devices; }
    std::unique_ptr<HidTransport> open(const HidInterfaceInfo&) override
    {
        ++opens;
        return nullptr;
    }
    OpenFailure lastOpenFailure() const override { return reason; }
};

HidInterfaceInfo device(const char* path, quint16 vendor, quint16 product)
{
    return {QLatin1String(path), QLatin1String(path), vendor, product, 0x0100};
}

} // namespace

Q_DECLARE_METATYPE(OpenFailure)

class TestAccess : public QObject
{
    Q_OBJECT
private slots:
    void refusedInstrument_data()
    {
        QTest::addColumn<QVector<HidInterfaceInfo>>("devices");
        QTest::addColumn<OpenFailure>("reason");
        QTest::addColumn<bool>("refused");
        const auto instrument = device("/dev/hidraw3", protocol::VendorId, protocol::ProductId);
        QTest::newRow("instrument without permission")
            << QVector{instrument} << OpenFailure::Permission << true;
        QTest::newRow("instrument failing otherwise") << QVector{instrument} << OpenFailure::Other << false;
        QTest::newRow("nothing plugged in")
            << QVector<HidInterfaceInfo>{} << OpenFailure::Permission << false;
        QTest::newRow("another product of the vendor without permission")
            << QVector{device("/dev/hidraw1", protocol::VendorId, 0x1234)} << OpenFailure::Permission
            << false;
        QTest::newRow("a keyboard without permission, and the instrument failing otherwise")
            << QVector{device("/dev/hidraw0", 0x046D, 0xC31C), instrument} << OpenFailure::Other << false;
    }
    void refusedInstrument()
    {
        QFETCH(QVector<HidInterfaceInfo>, devices);
        QFETCH(OpenFailure, reason);
        QFETCH(bool, refused);
        RefusingBackend backend;
        backend.devices = devices;
        backend.reason = reason;
        THidDeviceController controller(backend);
        VirtualClock clock;
        Instrument instrument(controller, clock);
        controller.enumerate(true);
        QCOMPARE(backend.opens, devices.size());
        QVERIFY(controller.devices().isEmpty()); // what cannot be opened is not listed
        QVERIFY(!instrument.attached());
        QCOMPARE(instrument.accessRefused(), refused);

        // The start-up check shows no instrument either way.
        const StartupStatus s = StartupCheck(&instrument, clock).identify();
        QVERIFY(!s.ready);
        QCOMPARE(s.serial, QStringLiteral("None!"));
        QCOMPARE(s.hardware, QStringLiteral("None!"));
        QCOMPARE(s.message, QString::fromUtf8("L.U.M.O.並未啟動！請檢查電源是否開啟，USB連線是否正常。"));
        QCOMPARE(s.accessRefused, refused);

        // Support sees the difference in lumo-cli instrument.
        const IdentificationReport r = identificationReport(s, false, 0);
        const QJsonObject json = QJsonDocument::fromJson(r.json).object();
        QCOMPARE(json.value("attached").toBool(true), false);
        QCOMPARE(json.value("hardware").toString(), QStringLiteral("None!"));
        QCOMPARE(json.value("error").toString(), refused ? QStringLiteral("permission") : QString());
        QCOMPARE(r.messages.first(), s.message);
        QCOMPARE(r.messages.size(), refused ? 2 : 1);
        if (refused)
            QVERIFY2(r.messages.last().contains(QLatin1String("70-lumo.rules")),
                     qPrintable(r.messages.last()));
    }

    // Installing the rule and plugging the instrument in again must work
    // without restarting: a refusal is not remembered past the next pass.
    void refusalIsForgottenWhenTheDeviceGoes()
    {
        RefusingBackend backend;
        backend.devices = {device("/dev/hidraw3", protocol::VendorId, protocol::ProductId)};
        THidDeviceController controller(backend);
        VirtualClock clock;
        Instrument instrument(controller, clock);
        controller.enumerate(true);
        QVERIFY(instrument.accessRefused());
        backend.devices.clear();
        controller.enumerate();
        QVERIFY(!instrument.accessRefused());
    }
};

QTEST_GUILESS_MAIN(TestAccess)
#include "test_access.moc"
