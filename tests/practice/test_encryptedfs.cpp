// The data directory's disk: encrypted or not, told from made-up /sys trees
// as the kernel lays them out, and the once-a-day notice of practice mode.
#include "practice/atrestnotice.h"
#include "practice/encryptedfs.h"
#include "records/database.h"
#include "shell/sharedstate.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <sys/sysmacros.h>

using namespace lumo;

Q_DECLARE_METATYPE(lumo::DiskEncryption)

namespace {

// Entries of a tree: "d path" a folder, "f path=content" a file, "l path>target" a link.
void buildTree(const QString& root, const QStringList& entries)
{
    for (const QString& e : entries) {
        const QString spec = e.mid(2);
        if (e.startsWith(QLatin1Char('d'))) {
            QVERIFY(QDir(root).mkpath(spec));
        } else if (e.startsWith(QLatin1Char('f'))) {
            const QString path = root + QLatin1Char('/') + spec.section(QLatin1Char('='), 0, 0);
            QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(spec.section(QLatin1Char('='), 1).toUtf8() + '\n');
        } else {
            const QString link = root + QLatin1Char('/') + spec.section(QLatin1Char('>'), 0, 0);
            QVERIFY(QDir().mkpath(QFileInfo(link).absolutePath()));
            QVERIFY(QFile::link(spec.section(QLatin1Char('>'), 1), link));
        }
    }
}

const QString Disk = QStringLiteral("devices/pci0000:00/block/sda");
const QString Dm = QStringLiteral("devices/virtual/block");

} // namespace

class TestEncryptedFs : public QObject
{
    Q_OBJECT
private slots:
    void blockDevices_data()
    {
        QTest::addColumn<QStringList>("tree");
        QTest::addColumn<QString>("device");
        QTest::addColumn<DiskEncryption>("expected");
        const QStringList disk = {"d " + Disk + "/sda1", "f " + Disk + "/sda1/partition=1",
                                  "d " + Disk + "/sda2", "f " + Disk + "/sda2/partition=2",
                                  "l dev/block/8:1>../../" + Disk + "/sda1"};
        const QStringList luks = {"f " + Dm + "/dm-0/dm/uuid=CRYPT-LUKS2-0a1b2c-sda2_crypt",
                                  "l " + Dm + "/dm-0/slaves/sda2>../../../../pci0000:00/block/sda/sda2",
                                  "l dev/block/253:0>../../" + Dm + "/dm-0"};
        QTest::newRow("plain partition") << disk << "8:1" << DiskEncryption::Plain;
        QTest::newRow("LUKS directly") << disk + luks << "253:0" << DiskEncryption::Encrypted;
        QTest::newRow("partition on LUKS")
            << disk + luks +
                   QStringList{"f " + Dm + "/dm-0/dm-0p1/partition=1",
                               "l dev/block/259:0>../../" + Dm + "/dm-0/dm-0p1"}
            << "259:0" << DiskEncryption::Encrypted;
        QTest::newRow("LVM on LUKS") << disk + luks +
                                            QStringList{"f " + Dm + "/dm-1/dm/uuid=LVM-abcdef",
                                                        "l " + Dm + "/dm-1/slaves/dm-0>../../dm-0",
                                                        "l dev/block/253:1>../../" + Dm + "/dm-1"}
                                     << "253:1" << DiskEncryption::Encrypted;
        QTest::newRow("LVM on a plain partition")
            << disk + QStringList{"f " + Dm + "/dm-1/dm/uuid=LVM-abcdef",
                                  "l " + Dm + "/dm-1/slaves/sda2>../../../../pci0000:00/block/sda/sda2",
                                  "l dev/block/253:1>../../" + Dm + "/dm-1"}
            << "253:1" << DiskEncryption::Plain;
        // The partition under a LUKS mapping holds ciphertext; its own file system is not encrypted.
        QTest::newRow("partition that LUKS is built on")
            << disk + luks +
                   QStringList{"l " + Disk + "/sda2/holders/dm-0>../../../../../virtual/block/dm-0",
                               "l dev/block/8:2>../../" + Disk + "/sda2"}
            << "8:2" << DiskEncryption::Plain;
        QTest::newRow("a mapping named like crypt but not one")
            << QStringList{"f " + Dm + "/dm-4/dm/uuid=LVM-CRYPT-x", "l dev/block/253:4>../../" + Dm + "/dm-4"}
            << "253:4" << DiskEncryption::Plain;
        QTest::newRow("slaves in a loop") << QStringList{"l " + Dm + "/dm-2/slaves/dm-3>../../dm-3",
                                                         "l " + Dm + "/dm-3/slaves/dm-2>../../dm-2",
                                                         "l dev/block/253:2>../../" + Dm + "/dm-2"}
                                          << "253:2" << DiskEncryption::Plain;
        QTest::newRow("unknown device (network folder, tmpfs)") << disk << "0:45" << DiskEncryption::Unknown;
    }
    void blockDevices()
    {
        QFETCH(QStringList, tree);
        QFETCH(QString, device);
        QFETCH(DiskEncryption, expected);
        QTemporaryDir sys;
        buildTree(sys.path(), tree);
        const unsigned major = device.section(QLatin1Char(':'), 0, 0).toUInt();
        const unsigned minor = device.section(QLatin1Char(':'), 1).toUInt();
        QCOMPARE(blockDeviceEncryption(sys.path(), major, minor), expected);
    }

    void fscryptPolicy_data()
    {
        QTest::addColumn<bool>("policy");
        QTest::addColumn<DiskEncryption>("expected");
        QTest::newRow("folder with a policy") << true << DiskEncryption::Encrypted;
        QTest::newRow("without, on no known device") << false << DiskEncryption::Unknown;
    }
    void fscryptPolicy()
    {
        QFETCH(bool, policy);
        QFETCH(DiskEncryption, expected);
        QTemporaryDir sys, folder;
        QString asked;
        const EncryptionProbe probe{sys.path(), [&](const QString& f) {
                                        asked = f;
                                        return policy;
                                    }};
        QCOMPARE(folderEncryption(folder.path(), probe), expected);
        QCOMPARE(asked, folder.path());
    }

    void noticeOncePerDay_data()
    {
        QTest::addColumn<bool>("operators");
        QTest::addColumn<bool>("encrypted");
        QTest::addColumn<QString>("toldOn");
        QTest::addColumn<bool>("told");
        QTest::newRow("practice mode, plain disk") << true << false << QString() << true;
        QTest::newRow("told yesterday") << true << false << "2026-12-09" << true;
        QTest::newRow("told today already") << true << false << "2026-12-10" << false;
        QTest::newRow("a damaged day file") << true << false << "\x01garbage" << true;
        QTest::newRow("encrypted disk") << true << true << QString() << false;
        QTest::newRow("no operators: not practice mode") << false << false << QString() << false;
    }
    void noticeOncePerDay()
    {
        QFETCH(bool, operators);
        QFETCH(bool, encrypted);
        QFETCH(QString, toldOn);
        QFETCH(bool, told);
        const QDate today(2026, 12, 10);
        QTemporaryDir data;
        SharedState state;
        state.DataDirectory = data.path();
        Status st;
        state.MainDatabase =
            Database::create(data.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st);
        QVERIFY2(state.MainDatabase, qPrintable(st.error));
        if (operators) {
            QSqlQuery q(state.MainDatabase->sql());
            QVERIFY(q.exec(
                QStringLiteral("INSERT INTO LUMOOPER (NAME, ROLE, PWHASH) VALUES ('admin', 'admin', 'x')")));
        }
        const QString dayFile = data.filePath(QLatin1String(EncryptionNoticeFile));
        if (!toldOn.isEmpty()) {
            QFile f(dayFile);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(toldOn.toLatin1());
        }
        // A plain disk as the kernel shows it: this folder's own device numbers in a made-up /sys.
        QTemporaryDir sys;
        struct stat sb
        {
        };
        QCOMPARE(::stat(QFile::encodeName(data.path()).constData(), &sb), 0);
        buildTree(sys.path(),
                  {QStringLiteral("d disk/sdz1"), QStringLiteral("l dev/block/%1:%2>../../disk/sdz1")
                                                      .arg(major(sb.st_dev))
                                                      .arg(minor(sb.st_dev))});
        const EncryptionProbe probe{sys.path(), [&](const QString&) { return encrypted; }};
        const QString notice = encryptionNoticeDue(state, today, probe);
        QCOMPARE(!notice.isEmpty(), told);
        if (told) QVERIFY(notice.contains(data.path()));
        // Told once: the second start of the day says nothing.
        QVERIFY(encryptionNoticeDue(state, today, probe).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEncryptedFs)
#include "test_encryptedfs.moc"
