// lumo-cli's encrypted backups: the admin's passphrase, the copy that leaves
// the machine, and its restore, refused with the data directory untouched.
#include "backup/retention.h"
#include "records/database.h"
#include "records/subjects.h"
#include "support/engines.h"

#include <QCryptographicHash>
#include <QDirIterator>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

struct Run
{
    int exitCode = -1;
    QString out, err;
};

const QByteArray Passphrase = "correct horse battery";

// lumo-cli with the passphrase in LUMO_BACKUP_PASSPHRASE (env) or on standard input.
Run cli(const QStringList& args, const QByteArray& env, const QByteArray& input = {})
{
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.remove(QStringLiteral("LUMO_BACKUP_PASSPHRASE"));
    if (!env.isEmpty()) e.insert(QStringLiteral("LUMO_BACKUP_PASSPHRASE"), QString::fromUtf8(env));
    p.setProcessEnvironment(e);
    p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"), args);
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(120000);
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
}

QByteArray sha256(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly)
               ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex()
               : QByteArray();
}

// Every file under a folder with its content's hash: what "nothing changed" means.
QStringList snapshot(const QString& dir)
{
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        if (path.endsWith(QLatin1String("-shm")) || path.endsWith(QLatin1String("-wal"))) continue;
        out << QDir(dir).relativeFilePath(path) + QLatin1Char(' ') + QString::fromLatin1(sha256(path));
    }
    out.sort();
    return out;
}

struct Practice
{
    QTemporaryDir dir;
    QString data = dir.filePath(QStringLiteral("data"));
    QString stick = dir.filePath(QStringLiteral("stick"));
    QString copy = stick + QLatin1Char('/') + backupFileName(QDate::currentDate()) + QStringLiteral(".enc");

    Run run(const QStringList& args, const QByteArray& env = {}, const QByteArray& input = {}) const
    {
        return cli(QStringList{QStringLiteral("--data-dir"), data} + args, env, input);
    }
    qint64 subjects() const
    {
        Status st;
        auto db = Database::open(data + QStringLiteral("/lumo4.mdb"), FileKind::Main,
                                 Database::Access::ReadWrite, &st);
        QSqlQuery q(db->sql());
        return q.exec(QStringLiteral("SELECT COUNT(*) FROM ZUCUST")) && q.next() ? q.value(0).toLongLong()
                                                                                 : -1;
    }
    void addSubject(const QString& no) const
    {
        Status st;
        auto db = Database::open(data + QStringLiteral("/lumo4.mdb"), FileKind::Main,
                                 Database::Access::ReadWrite, &st);
        QVERIFY(db);
        SubjectRow s;
        s.CUSTNO = no;
        QVERIFY(SubjectStore(*db).append(s).ok);
    }
    // A practice with a passphrase set and one subject in an encrypted copy on the stick.
    void prepare() const
    {
        QCOMPARE(run({QStringLiteral("init")}).exitCode, 0);
        const Run set =
            run({QStringLiteral("backup-passphrase"), QStringLiteral("set")}, {}, Passphrase + '\n');
        QVERIFY2(set.exitCode == 0, qPrintable(set.err));
        addSubject(QStringLiteral("A1"));
        const Run b =
            run({QStringLiteral("backup"), QStringLiteral("--to"), stick, QStringLiteral("--encrypt")},
                Passphrase);
        QVERIFY2(b.exitCode == 0, qPrintable(b.err));
        QCOMPARE(b.out.trimmed(), copy);
    }
};

} // namespace

class TestCliEncryptedBackup : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip()
    {
        Practice p;
        p.prepare();
        // Only the verifier is kept, never the passphrase.
        QVERIFY(!sha256(p.data + QStringLiteral("/lumo_backup_passphrase")).isEmpty());
        QFile verifier(p.data + QStringLiteral("/lumo_backup_passphrase"));
        QVERIFY(verifier.open(QIODevice::ReadOnly));
        QVERIFY(!verifier.readAll().contains(Passphrase));
        // The manifest describes the encrypted file as written.
        QFile m(p.copy + QStringLiteral(".json"));
        QVERIFY(m.open(QIODevice::ReadOnly));
        const QJsonObject manifest = QJsonDocument::fromJson(m.readAll()).object();
        QCOMPARE(manifest.value(QStringLiteral("encrypted")).toBool(), true);
        QCOMPARE(manifest.value(QStringLiteral("sha256")).toString().toLatin1(), sha256(p.copy));
        // The counts of the records stay inside the encrypted copy.
        QVERIFY(!manifest.contains(QStringLiteral("rows")));
        // No clear copy stays anywhere.
        QCOMPARE(QDir(p.stick).entryList(QDir::Files).size(), 2);
        QVERIFY(!QFile::exists(p.data + QStringLiteral("/lumo4_encrypting.mdb")));

        p.addSubject(QStringLiteral("A2"));
        const Run r = p.run({QStringLiteral("restore"), p.copy}, {}, Passphrase + '\n');
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(p.subjects(), 1);
        QVERIFY(!QFile::exists(p.data + QStringLiteral("/lumo4_decrypting.mdb")));

        // What a killed backup of an earlier version left is removed at the next start.
        const QStringList leftovers = {p.data + QStringLiteral("/lumo4_encrypting.mdb"),
                                       p.data + QStringLiteral("/Backup/lumo4-20260101.mdb.enc.partial")};
        QVERIFY(QDir().mkpath(p.data + QStringLiteral("/Backup")));
        for (const QString& f : leftovers) {
            QFile clear(f);
            QVERIFY(clear.open(QIODevice::WriteOnly) && clear.write("SQLite format 3") > 0);
        }
        QCOMPARE(p.run({QStringLiteral("init")}).exitCode, 0);
        for (const QString& f : leftovers)
            QVERIFY2(!QFile::exists(f), qPrintable(f));
    }

    void backupRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("passphrase");
        QTest::addColumn<QString>("message");
        const QStringList encrypt = {"backup", "--to", "STICK", "--encrypt"};
        QTest::newRow("--encrypt without --to")
            << QStringList{"backup", "--encrypt"} << Passphrase << "usage:";
        QTest::newRow("--encrypt twice") << encrypt + QStringList{"--encrypt"} << Passphrase << "usage:";
        QTest::newRow("a typo in the passphrase") << encrypt << QByteArray("correct horse batery")
                                                  << QString::fromUtf8("備份密語與管理者設定的不符");
        QTest::newRow("no passphrase") << encrypt << QByteArray() << QString::fromUtf8("需要備份密語");
    }
    void backupRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, passphrase);
        QFETCH(QString, message);
        Practice p;
        QCOMPARE(p.run({QStringLiteral("init")}).exitCode, 0);
        QCOMPARE(p.run({QStringLiteral("backup-passphrase"), QStringLiteral("set")}, Passphrase).exitCode, 0);
        args.replaceInStrings(QStringLiteral("STICK"), p.stick);
        const Run r = p.run(args, passphrase);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(QDir(p.stick).entryList(QDir::Files).isEmpty());
    }

    // A server's dump leaves the machine as the file copies do: encrypted
    // under the same passphrase, and refused with nothing written under a typo.
    void serverDump_data()
    {
        QTest::addColumn<QByteArray>("passphrase");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("the passphrase set") << Passphrase << 0;
        QTest::newRow("a typo in the passphrase") << QByteArray("correct horse batery") << 2;
    }
    void serverDump()
    {
        QFETCH(QByteArray, passphrase);
        QFETCH(int, exitCode);
        Practice p;
        const QString conninfo = test::newServerDatabase();
        QVERIFY2(!conninfo.isEmpty(), "no test server: run the test through ctest (fixture pgcluster)");
        QVERIFY(QDir().mkpath(p.data));
        QCOMPARE(p.run({QStringLiteral("backup-passphrase"), QStringLiteral("set")}, Passphrase).exitCode, 0);
        const Run r = p.run({QStringLiteral("--database"), conninfo, QStringLiteral("backup"),
                             QStringLiteral("--to"), p.stick, QStringLiteral("--encrypt")},
                            passphrase);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        const QString dump = p.stick + QStringLiteral("/lumo4-%1.dump.enc")
                                           .arg(QDate::currentDate().toString(QStringLiteral("yyyyMMdd")));
        const QString name = QFileInfo(dump).fileName();
        const QStringList written =
            exitCode ? QStringList() : QStringList{name, name + QStringLiteral(".json")};
        QCOMPARE(QDir(p.stick).entryList(QDir::Files), written);
        if (exitCode != 0) return;
        QCOMPARE(r.out.trimmed(), dump);
        // Only pg_restore reads a dump: decrypt-backup gives it back in clear,
        // and a wrong passphrase leaves nothing behind.
        const QString clear = p.stick + QStringLiteral("/clear.dump");
        const QStringList decrypt{QStringLiteral("decrypt-backup"), dump, QStringLiteral("--to"), clear};
        QCOMPARE(p.run(decrypt, QByteArray("correct horse batery")).exitCode, 2);
        QVERIFY(!QFile::exists(clear));
        QCOMPARE(p.run(decrypt, Passphrase).exitCode, 0);
        QFile f(clear);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.read(5), QByteArray("PGDMP"));
    }

    void backupWithoutPassphraseSet()
    {
        Practice p;
        QCOMPARE(p.run({QStringLiteral("init")}).exitCode, 0);
        const Run r =
            p.run({QStringLiteral("backup"), QStringLiteral("--to"), p.stick, QStringLiteral("--encrypt")},
                  Passphrase);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(QString::fromUtf8("尚未設定備份密語")), qPrintable(r.err));
    }

    void setRefused_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("message");
        QTest::newRow("too short") << QStringList{"backup-passphrase", "set"} << QByteArray("short\n")
                                   << QString::fromUtf8("至少要 8 個字元");
        QTest::newRow("nothing on stdin")
            << QStringList{"backup-passphrase", "set"} << QByteArray() << QString::fromUtf8("需要備份密語");
        QTest::newRow("the passphrase as an argument")
            << QStringList{"backup-passphrase", "set", "secret12"} << QByteArray("secret12\n") << "usage:";
    }
    void setRefused()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, input);
        QFETCH(QString, message);
        Practice p;
        QCOMPARE(p.run({QStringLiteral("init")}).exitCode, 0);
        const Run r = p.run(args, {}, input);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QVERIFY(!QFile::exists(p.data + QStringLiteral("/lumo_backup_passphrase")));
    }

    void restoreRefused_data()
    {
        QTest::addColumn<QByteArray>("passphrase");
        QTest::addColumn<qint64>("flipAt"); // -1: none; from the end when below -1
        QTest::addColumn<qint64>("cutTo");  // 0: not cut
        QTest::addColumn<bool>("manifest");
        QTest::addColumn<QString>("message");
        QTest::newRow("wrong passphrase") << QByteArray("correct horse batterY") << qint64(-1) << qint64(0)
                                          << true << QString::fromUtf8("備份密語錯誤");
        QTest::newRow("no passphrase")
            << QByteArray() << qint64(-1) << qint64(0) << true << QString::fromUtf8("需要備份密語");
        QTest::newRow("a changed byte, found by the manifest")
            << Passphrase << qint64(200) << qint64(0) << true << QString::fromUtf8("SHA-256");
        QTest::newRow("a changed header byte, no manifest")
            << Passphrase << qint64(20) << qint64(0) << false << QString::fromUtf8("備份密語錯誤");
        QTest::newRow("a changed last byte, no manifest")
            << Passphrase << qint64(-2) << qint64(0) << false << QString::fromUtf8("被改動或已損毀");
        QTest::newRow("cut after its first chunk, no manifest")
            << Passphrase << qint64(-1) << qint64(69 + 65536 + 17) << false << QString::fromUtf8("不完整");
    }
    void restoreRefused()
    {
        QFETCH(QByteArray, passphrase);
        QFETCH(qint64, flipAt);
        QFETCH(qint64, cutTo);
        QFETCH(bool, manifest);
        QFETCH(QString, message);
        Practice p;
        p.prepare();
        QFile f(p.copy);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QByteArray bytes = f.readAll();
        f.close();
        if (flipAt >= 0 || flipAt < -1) {
            const qint64 i = flipAt >= 0 ? flipAt : bytes.size() + flipAt;
            bytes[i] = char(bytes[i] ^ 0x40);
        }
        if (cutTo > 0) bytes.truncate(cutTo);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
        f.close();
        if (!manifest) QVERIFY(QFile::remove(p.copy + QStringLiteral(".json")));
        p.addSubject(QStringLiteral("A2"));
        const QStringList before = snapshot(p.data);
        const Run r = p.run({QStringLiteral("restore"), p.copy}, passphrase);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.contains(message), qPrintable(r.err));
        QCOMPARE(snapshot(p.data), before);
        QCOMPARE(p.subjects(), 2);
    }
};

QTEST_GUILESS_MAIN(TestCliEncryptedBackup)
#include "test_cli_encryptedbackup.moc"
