// The backup screen's rules: who is offered the encrypted copy, what the
// fields must hold before anything is written, and the copies it makes.
#include "backup/backupchoice.h"
#include "backup/backuppassphrase.h"
#include "backup/encryptedbackup.h"
#include "backup/manifest.h"
#include "practice/auditlog.h"
#include "records/database.h"
#include "support/engines.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

using namespace lumo;

Q_DECLARE_METATYPE(lumo::Role)
Q_DECLARE_METATYPE(lumo::EncryptionOffer)
Q_DECLARE_METATYPE(lumo::BackupField)

namespace {

const QByteArray kPassphrase = "correct horse battery";

// A data directory with a main database, and with the admin's passphrase when asked.
bool makeDataDir(const QTemporaryDir& dir, bool withPassphrase)
{
    Status st;
    if (!Database::create(dir.filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st)) return false;
    return !withPassphrase || setBackupPassphrase(dir.path(), kPassphrase).ok;
}

BackupRequest request(const QString& dataDir, const QString& folder, EncryptionOffer offer, bool encrypt,
                      const QByteArray& passphrase = kPassphrase, const QByteArray& repeat = kPassphrase)
{
    BackupRequest r;
    r.dataDir = dataDir;
    r.folder = folder;
    r.offer = offer;
    r.encrypt = encrypt;
    r.passphrase = passphrase;
    r.repeat = repeat;
    r.day = QDate(2026, 12, 10);
    return r;
}

EncryptionOffer offerOf(bool set)
{
    return set ? EncryptionOffer::Offered : EncryptionOffer::SetNew;
}

} // namespace

class TestBackupChoice : public QObject
{
    Q_OBJECT
    QTemporaryDir m_set;   // the admin's passphrase is set here
    QTemporaryDir m_unset; // and not here

private slots:
    void initTestCase()
    {
        QVERIFY(makeDataDir(m_set, true));
        QVERIFY(makeDataDir(m_unset, false));
    }

    void offerFollowsRoleAndPassphrase_data()
    {
        QTest::addColumn<bool>("set");
        QTest::addColumn<bool>("practice");
        QTest::addColumn<Role>("role");
        QTest::addColumn<EncryptionOffer>("offer");
        QTest::newRow("alone at home, none set") << false << false << Role::Admin << EncryptionOffer::SetNew;
        QTest::newRow("admin, none set") << false << true << Role::Admin << EncryptionOffer::SetNew;
        QTest::newRow("practitioner, none set")
            << false << true << Role::Practitioner << EncryptionOffer::NeedsAdmin;
        QTest::newRow("assistant, none set")
            << false << true << Role::Assistant << EncryptionOffer::NeedsAdmin;
        QTest::newRow("practitioner, set") << true << true << Role::Practitioner << EncryptionOffer::Offered;
        QTest::newRow("assistant, set") << true << true << Role::Assistant << EncryptionOffer::Offered;
    }
    void offerFollowsRoleAndPassphrase()
    {
        QFETCH(bool, set);
        QFETCH(bool, practice);
        QFETCH(Role, role);
        QFETCH(EncryptionOffer, offer);
        const OperatorSession session{practice, QStringLiteral("amy"), role, QStringLiteral("desk")};
        QCOMPARE(encryptionOffer(set, session), offer);
        // A choice that cannot be made says why, and one that can says nothing.
        const bool usable = offer == EncryptionOffer::Offered || offer == EncryptionOffer::SetNew;
        QCOMPARE(encryptionRefusal(offer).isEmpty(), usable);
    }

    void refusedFieldsWriteNothing_data()
    {
        QTest::addColumn<bool>("set");
        QTest::addColumn<QString>("folder"); // below the scratch folder; "*" for the database file
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QByteArray>("passphrase");
        QTest::addColumn<QByteArray>("repeat");
        QTest::addColumn<BackupField>("field");
        QTest::addColumn<QString>("says");
        QTest::newRow("no folder") << true << "" << false << QByteArray() << QByteArray()
                                   << BackupField::Folder << "資料夾";
        QTest::newRow("a file for a folder")
            << true << "*" << false << QByteArray() << QByteArray() << BackupField::Folder << "不是資料夾";
        QTest::newRow("no passphrase") << true << "out" << true << QByteArray() << QByteArray()
                                       << BackupField::Passphrase << "請輸入備份密語";
        QTest::newRow("wrong passphrase") << true << "out" << true << QByteArray("correct horse")
                                          << QByteArray() << BackupField::Passphrase << "不符";
        QTest::newRow("new one too short") << false << "out" << true << QByteArray("short")
                                           << QByteArray("short") << BackupField::Passphrase << "至少";
        QTest::newRow("new one typed twice differently")
            << false << "out" << true << kPassphrase << QByteArray("correct horse batterY")
            << BackupField::Repeat << "兩次";
    }
    void refusedFieldsWriteNothing()
    {
        QFETCH(bool, set);
        QFETCH(QString, folder);
        QFETCH(bool, encrypt);
        QFETCH(QByteArray, passphrase);
        QFETCH(QByteArray, repeat);
        QFETCH(BackupField, field);
        QFETCH(QString, says);
        const QTemporaryDir& data = set ? m_set : m_unset;
        QTemporaryDir scratch;
        const QString target = folder == QLatin1String("*") ? data.filePath(QStringLiteral("lumo4.mdb"))
                               : folder.isEmpty()           ? QStringLiteral("  ")
                                                            : scratch.filePath(folder);
        const BackupRequest r = request(data.path(), target, offerOf(set), encrypt, passphrase, repeat);
        const BackupOutcome o = runBackup(r);
        QVERIFY(!o.status);
        QCOMPARE(o.field, field);
        QVERIFY2(o.message.contains(says), qPrintable(o.message));
        QVERIFY(o.path.isEmpty());
        QVERIFY(QDir(scratch.path()).isEmpty());
        QCOMPARE(backupPassphraseSet(data.path()), set);
        QVERIFY(!o.passphraseSet);
        QVERIFY(!QFile::exists(data.filePath(QStringLiteral("lumo4_encrypting.mdb"))));
    }

    void copiesNameTheirFile_data()
    {
        QTest::addColumn<bool>("set");
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("name");
        QTest::newRow("plain") << true << false << "lumo4-20261210.mdb";
        QTest::newRow("encrypted, passphrase set") << true << true << "lumo4-20261210.mdb.enc";
        QTest::newRow("encrypted, the admin's first passphrase") << false << true << "lumo4-20261210.mdb.enc";
    }
    void copiesNameTheirFile()
    {
        QFETCH(bool, set);
        QFETCH(bool, encrypt);
        QFETCH(QString, name);
        QTemporaryDir data, out;
        QVERIFY(makeDataDir(data, set));
        const BackupRequest r =
            request(data.path(), out.filePath(QStringLiteral("stick")), offerOf(set), encrypt);
        const BackupOutcome o = runBackup(r);
        QVERIFY2(o.status, qPrintable(o.message));
        QCOMPARE(o.path, out.filePath(QStringLiteral("stick/") + name));
        QVERIFY(o.message.contains(o.path));
        QCOMPARE(isEncryptedBackup(o.path), encrypt);
        // A first passphrase is set before the copy, so the copy can be opened later.
        if (encrypt) QVERIFY(checkBackupPassphrase(data.path(), kPassphrase));
        QCOMPARE(o.passphraseSet, encrypt && !set); // the log's settings change
    }

    // On a server the copy is the server's pg_dump file, encrypted under the
    // same passphrase when asked, with a manifest that names the log's end.
    void serverCopyIsItsDump_data()
    {
        QTest::addColumn<bool>("encrypt");
        QTest::addColumn<QString>("name");
        QTest::newRow("dump") << false << "lumo4-20261210.dump";
        QTest::newRow("encrypted dump") << true << "lumo4-20261210.dump.enc";
    }
    void serverCopyIsItsDump()
    {
        QFETCH(bool, encrypt);
        QFETCH(QString, name);
        QTemporaryDir out;
        BackupRequest r =
            request(m_set.path(), out.filePath(QStringLiteral("stick")), EncryptionOffer::Offered, encrypt);
        r.conninfo = test::newServerDatabase();
        QVERIFY2(!r.conninfo.isEmpty(), "no test server: run the test through ctest (fixture pgcluster)");
        AuditRow row;
        row.action = QStringLiteral("login");
        {
            Status st;
            auto db = Database::connect({r.conninfo, {}}, &st);
            QVERIFY2(db, qPrintable(st.error));
            QVERIFY(appendAuditRow(*db, &row));
        }
        const BackupOutcome o = runBackup(r);
        QVERIFY2(o.status, qPrintable(o.message));
        QCOMPARE(o.path, out.filePath(QStringLiteral("stick/") + name));
        QCOMPARE(isEncryptedBackup(o.path), encrypt);
        QVERIFY(!QFile::exists(m_set.filePath(QStringLiteral("lumo4_encrypting.dump"))));
        QCOMPARE(QDir(out.filePath(QStringLiteral("stick"))).entryList(QDir::Files).size(), 2);
        ManifestCheck check = ManifestCheck::Missing;
        QVERIFY(checkManifest(o.path, &check));
        QCOMPARE(check, ManifestCheck::Matched);
        QFile manifest(manifestPath(o.path));
        QVERIFY(manifest.open(QIODevice::ReadOnly));
        QCOMPARE(QJsonDocument::fromJson(manifest.readAll()).object().value(QStringLiteral("auditLastHash")),
                 QJsonValue(row.hash));
        // What pg_restore reads, after the passphrase where one was used.
        QString dump = o.path;
        if (encrypt) {
            dump = out.filePath(QStringLiteral("clear.dump"));
            QVERIFY(decryptBackupFile(o.path, dump, kPassphrase));
        }
        QFile f(dump);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.read(5), QByteArray("PGDMP"));
    }
};

QTEST_GUILESS_MAIN(TestBackupChoice)
#include "test_backupchoice.moc"
