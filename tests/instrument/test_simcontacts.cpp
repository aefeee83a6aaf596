// The simulated probe's contacts for calibration and locating: the tip on the
// handle reads the count set for the potential in use, the skin profile has
// one peak, and the virtual probe panel drives both.
#include "instrument/simfixture.h"
#include "instrument/ui/probepanel.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLayout>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

class TestSimContacts : public QObject
{
    Q_OBJECT
private slots:
    void handleFollowsThePotential_data()
    {
        QTest::addColumn<bool>("high");
        QTest::addColumn<int>("counts");
        QTest::newRow("standard") << false << 3987;
        QTest::newRow("high") << true << 3512;
    }
    void handleFollowsThePotential()
    {
        QFETCH(bool, high);
        QFETCH(int, counts);
        SimStack s;
        HandleContact& h = s.sim.probe().handle();
        h.on = true;
        h.standardCounts = 3987;
        h.highCounts = 3512;
        s.instrument.SetPotential(high);
        for (int i = 0; i < 20; ++i)
            QCOMPARE(s.instrument.ReadProbe(), counts); // steady: no noise unless asked for
        s.instrument.SetPotential(!high);
        QCOMPARE(s.instrument.ReadProbe(), high ? 3987 : 3512);
    }

    void handleNoiseWhenAskedFor()
    {
        SimStack s;
        HandleContact& h = s.sim.probe().handle();
        h.on = true;
        h.noiseCounts = 6;
        s.instrument.SetPotential(false);
        QSet<int> seen;
        double sum = 0;
        for (int i = 0; i < 200; ++i) {
            const int r = s.instrument.ReadProbe();
            seen.insert(r);
            sum += r;
        }
        QVERIFY(seen.size() > 5);
        QVERIFY(std::fabs(sum / 200 - 4000) < 3);
    }

    // The handle outranks the skin and the measuring point; without it a lifted probe reads 0.
    void handleOutranksTouching()
    {
        SimStack s;
        SimulatedProbe& p = s.sim.probe();
        p.setNoise(0);
        p.touch(30, s.clock.nowMs());
        QCOMPARE(s.instrument.ReadProbe(), 600);
        p.handle().on = true;
        QCOMPARE(s.instrument.ReadProbe(), 4000);
        p.lift();
        QCOMPARE(s.instrument.ReadProbe(), 4000);
        p.handle().on = false;
        QCOMPARE(s.instrument.ReadProbe(), 0);
    }

    void skinHasOnePeak()
    {
        SimStack s;
        SimulatedProbe& p = s.sim.probe();
        p.setNoise(0);
        p.setOnSkin(true);
        p.touch(0, s.clock.nowMs());
        QList<int> readings;
        for (int mm = 0; mm <= int(SkinProfile::LengthMm); mm += 2) {
            p.skin().positionMm = mm;
            readings << s.instrument.ReadProbe();
        }
        const auto top = std::max_element(readings.begin(), readings.end());
        QCOMPARE(int(top - readings.begin()) * 2, int(p.skin().centreMm));
        QCOMPARE(*top, int(p.skin().highest() * SimulatedProbe::CountsPerMicroampere));
        QVERIFY(std::is_sorted(readings.begin(), top));
        QVERIFY(std::is_sorted(top, readings.end(), std::greater<>()));
        QVERIFY(readings.first() < *top / 2 && readings.last() < *top / 2);
        p.lift();
        QCOMPARE(s.instrument.ReadProbe(), 0); // off the skin
    }

    void panelDrivesBoth()
    {
        SimStack s;
        ProbePanel panel(s.sim, s.clock);
        panel.adjustSize();
        QVERIFY(panel.width() <= 176);
        QVERIFY(panel.layout()->minimumSize().width() <= 176); // nothing cut off
        SimulatedProbe& p = s.sim.probe();
        auto* handle = panel.findChild<QPushButton*>(QStringLiteral("HandleButton"));
        auto* high = panel.findChild<QComboBox*>(QStringLiteral("ShortHighCounts"));
        auto* noise = panel.findChild<QCheckBox*>(QStringLiteral("HandleNoiseBox"));
        auto* skin = panel.findChild<QPushButton*>(QStringLiteral("SkinButton"));
        auto* position = panel.findChild<QSlider*>(QStringLiteral("SkinPosition"));
        QCOMPARE(handle->text(), QString::fromUtf8("棉花端接觸握把"));
        handle->click();
        QVERIFY(p.handle().on);
        QCOMPARE(high->currentText(), QStringLiteral("4000")); // the simulator's default
        high->setCurrentIndex(high->findText(QStringLiteral("2990")));
        s.instrument.SetPotential(true);
        QCOMPARE(s.instrument.ReadProbe(), 2990);
        s.instrument.SetPotential(false);
        QCOMPARE(s.instrument.ReadProbe(), 4000);
        noise->click();
        QVERIFY(p.handle().noiseCounts > 0);
        handle->click();
        QVERIFY(!p.handle().on);

        QVERIFY(!position->isEnabled());
        skin->click();
        QVERIFY(p.onSkin());
        QVERIFY(p.touching(s.clock.nowMs()));
        QVERIFY(position->isEnabled());
        position->setValue(int(p.skin().centreMm));
        QCOMPARE(p.skin().positionMm, p.skin().centreMm);
        skin->click();
        QVERIFY(!p.onSkin());
        QVERIFY(!p.touching(s.clock.nowMs()));
    }
};

QTEST_MAIN(TestSimContacts)
#include "test_simcontacts.moc"
