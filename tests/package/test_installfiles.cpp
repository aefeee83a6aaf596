// The files an installation adds for the desktop: the udev rule that opens the
// instrument to the user at the seat, and the menu entry. A typo in either
// ships silently (the rule simply never matches), so their content is checked.

#include "instrument/protocol.h"
#include "shell/identificationreport.h"

#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

using namespace lumo;

namespace {

QString sourceFile(const char* relative)
{
    return QStringLiteral(LUMO_SOURCE_DIR "/") + QLatin1String(relative);
}
QString ruleFile()
{
    return sourceFile("data/udev/") + QLatin1String(UdevRuleFile);
}

// One rule: its keys with operator and value, in order ("SUBSYSTEM==" -> "hidraw").
using Rule = QList<std::pair<QString, QString>>;

QList<Rule> udevRules(const QString& path)
{
    QFile f(path);
    QList<Rule> rules;
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text)) return rules;
    // KEY or KEY{attribute}, an operator, a double-quoted value.
    static const QRegularExpression item(
        QStringLiteral("^\\s*([A-Z_]+(?:\\{[^}]+\\})?)\\s*(==|!=|\\+=|-=|:=|=)\\s*\"([^\"]*)\"\\s*(,|$)"));
    for (const QByteArray& raw : f.readAll().split('\n')) {
        QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#'))) continue;
        Rule rule;
        while (!line.isEmpty()) {
            const auto m = item.match(line);
            if (!m.hasMatch()) return {}; // not udev syntax: no rule at all
            rule.append({m.captured(1) + m.captured(2), m.captured(3)});
            line = line.mid(m.capturedLength()).trimmed();
        }
        rules.append(rule);
    }
    return rules;
}

QString value(const Rule& rule, const QString& key)
{
    for (const auto& [k, v] : rule)
        if (k == key) return v;
    return QString();
}

// How sysfs writes an id, which is what udev compares.
QString sysfsId(quint16 id)
{
    return QStringLiteral("%1").arg(id, 4, 16, QLatin1Char('0'));
}

} // namespace

class TestInstallFiles : public QObject
{
    Q_OBJECT
private slots:
    void udevRuleOpensTheInstrument_data()
    {
        QTest::addColumn<QString>("subsystem");
        QTest::addColumn<QString>(
            "attributeKey"); // ATTRS{} looks at the parents, ATTR{} at the device itself
        QTest::newRow("the hidraw node") << "hidraw"
                                         << "ATTRS";
        QTest::newRow("the USB device") << "usb"
                                        << "ATTR";
    }
    void udevRuleOpensTheInstrument()
    {
        QFETCH(QString, subsystem);
        QFETCH(QString, attributeKey);
        const QList<Rule> rules = udevRules(ruleFile());
        QCOMPARE(rules.size(), 2);
        const Rule* rule = nullptr;
        for (const Rule& r : rules)
            if (value(r, QStringLiteral("SUBSYSTEM==")) == subsystem) rule = &r;
        QVERIFY2(rule, qPrintable(subsystem));
        QCOMPARE(value(*rule, attributeKey + QStringLiteral("{idVendor}==")), sysfsId(protocol::VendorId));
        QCOMPARE(value(*rule, attributeKey + QStringLiteral("{idProduct}==")), sysfsId(protocol::ProductId));
        QCOMPARE(value(*rule, QStringLiteral("TAG+=")), QStringLiteral("uaccess"));
        if (subsystem == QLatin1String("usb")) // not its interfaces
            QCOMPARE(value(*rule, QStringLiteral("ENV{DEVTYPE}==")), QStringLiteral("usb_device"));
    }

    // The file the support hint names is the one installed, and it is read
    // before 73-seat-late.rules, which applies the seat's access: a rule read
    // after it would have no effect.
    void udevRuleIsReadBeforeTheSeatRules()
    {
        QVERIFY2(QFile::exists(ruleFile()), qPrintable(ruleFile()));
        QVERIFY(QString::fromLatin1(UdevRuleFile) < QStringLiteral("73-seat-late.rules"));
        QVERIFY(accessRefusedHint().contains(QLatin1String(UdevRuleFile)));
    }

    void desktopEntry()
    {
        QSettings entry(sourceFile("data/desktop/lumo.desktop"), QSettings::IniFormat);
        entry.beginGroup(QStringLiteral("Desktop Entry"));
        QCOMPARE(entry.value("Type").toString(), QStringLiteral("Application"));
        QCOMPARE(entry.value("Name[zh_TW]").toString(), QString::fromUtf8("LUMO 經絡能量分析儀"));
        QVERIFY(!entry.value("Name").toString().isEmpty());
        QCOMPARE(entry.value("Exec").toString(), QStringLiteral("lumo"));
        QCOMPARE(entry.value("Icon").toString(), QStringLiteral("lumo"));
        QVERIFY(QFile::exists(sourceFile("data/desktop/lumo.svg")));
        entry.endGroup();
        entry.beginGroup(QStringLiteral("Desktop Action simulate"));
        QCOMPARE(entry.value("Exec").toString(), QStringLiteral("lumo --simulate"));
    }
};

QTEST_GUILESS_MAIN(TestInstallFiles)
#include "test_installfiles.moc"
