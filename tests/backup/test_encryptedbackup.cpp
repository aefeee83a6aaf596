// Encrypted copies: what goes in comes out, and a wrong passphrase, a changed
// byte anywhere or a file cut short is refused with nothing left behind.
#include "backup/encryptedbackup.h"
#include "records/database.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <sodium.h>
#include <sys/resource.h>

using namespace lumo;

namespace {

// The smallest limits the reader takes, so the table runs in moments; the
// program writes with backupKdfLimits().
const KdfLimits Fast{crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
constexpr qint64 Header = 69;
constexpr qint64 Chunk = 64 * 1024 + crypto_secretstream_xchacha20poly1305_ABYTES;

QByteArray randomBytes(qint64 n)
{
    QByteArray b(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        b[i] = char(QRandomGenerator::global()->bounded(256));
    return b;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeAll(const QString& path, const QByteArray& b)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(f.write(b), qint64(b.size()));
}

} // namespace

class TestEncryptedBackup : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<qint64>("size");
        QTest::newRow("empty") << qint64(0);
        QTest::newRow("one byte") << qint64(1);
        QTest::newRow("exactly one chunk") << qint64(64 * 1024);
        QTest::newRow("two and a half chunks") << qint64(160 * 1024);
    }
    void roundTrip()
    {
        QFETCH(qint64, size);
        QTemporaryDir dir;
        const QByteArray plain = randomBytes(size);
        writeAll(dir.filePath("plain"), plain);
        QVERIFY(
            encryptBackupFile(dir.filePath("plain"), dir.filePath("copy.enc"), "secret passphrase", Fast));
        QVERIFY(isEncryptedBackup(dir.filePath("copy.enc")));
        QVERIFY(!QFile::exists(dir.filePath("copy.enc.partial")));
        QCOMPARE(QFile::permissions(dir.filePath("copy.enc")) & 0x0077, QFile::Permissions());
        // Nothing of the clear text shows in the copy.
        if (size >= 64) QVERIFY(!readAll(dir.filePath("copy.enc")).contains(plain.left(64)));
        const Status s =
            decryptBackupFile(dir.filePath("copy.enc"), dir.filePath("out"), "secret passphrase");
        QVERIFY2(s, qPrintable(s.error));
        QCOMPARE(readAll(dir.filePath("out")), plain);
    }

    // A disk that takes no more is named as such (here a file-size limit, as
    // the tests' full disk), and nothing is left where the copy was written.
    void fullDiskNamed()
    {
        QTemporaryDir dir;
        QByteArray plain = randomBytes(160 * 1024);
        QBuffer in(&plain);
        QVERIFY(in.open(QIODevice::ReadOnly));
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit before{};
        getrlimit(RLIMIT_FSIZE, &before);
        const rlimit small{100 * 1024, before.rlim_max};
        setrlimit(RLIMIT_FSIZE, &small);
        const Status s = encryptBackup(in, dir.filePath("copy.enc"), "secret passphrase", Fast);
        setrlimit(RLIMIT_FSIZE, &before);
        QVERIFY(!s);
        QVERIFY2(s.error.contains(diskFullMessage()), qPrintable(s.error));
        QVERIFY(!QFileInfo::exists(dir.filePath("copy.enc")));
        QVERIFY(!QFileInfo::exists(dir.filePath("copy.enc.partial")));
    }

    void refused_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<qint64>("at");
        QTest::addColumn<QString>("passphrase");
        QTest::addColumn<QString>("message");
        const QString good = QStringLiteral("secret passphrase");
        const QString wrongOrChanged = QString::fromUtf8("備份密語錯誤");
        const QString changed = QString::fromUtf8("在備份後被改動或已損毀");
        const QString cut = QString::fromUtf8("不完整");
        QTest::newRow("wrong passphrase") << "" << qint64(0) << "secret passphrasf" << wrongOrChanged;
        QTest::newRow("a byte of the salt") << "flip" << qint64(12) << good << wrongOrChanged;
        QTest::newRow("a byte of the memory limit") << "flip" << qint64(9 + 16 + 8) << good << wrongOrChanged;
        QTest::newRow("a byte of the stream header")
            << "flip" << qint64(Header - 3) << good << wrongOrChanged;
        QTest::newRow("the version") << "flip" << qint64(8) << good
                                     << QString::fromUtf8("不認得的加密備份版本");
        QTest::newRow("a byte of the first chunk") << "flip" << Header + 10 << good << wrongOrChanged;
        QTest::newRow("a byte of a middle chunk") << "flip" << Header + Chunk + 100 << good << changed;
        QTest::newRow("a byte of the last chunk") << "flip" << qint64(-5) << good << changed;
        QTest::newRow("cut at a chunk's end") << "cut" << Header + 2 * Chunk << good << cut;
        QTest::newRow("cut inside a chunk") << "cut" << Header + Chunk + 7 << good << changed;
        QTest::newRow("cut inside the header") << "cut" << qint64(30) << good << cut;
        QTest::newRow("bytes after the end") << "append" << qint64(0) << good << changed;
        QTest::newRow("not an encrypted backup")
            << "plain" << qint64(0) << good << QString::fromUtf8("不是 LUMO 的加密備份檔");
    }
    void refused()
    {
        QFETCH(QString, damage);
        QFETCH(qint64, at);
        QFETCH(QString, passphrase);
        QFETCH(QString, message);
        QTemporaryDir dir;
        writeAll(dir.filePath("plain"), randomBytes(160 * 1024)); // three chunks
        QVERIFY(
            encryptBackupFile(dir.filePath("plain"), dir.filePath("copy.enc"), "secret passphrase", Fast));
        QByteArray file = readAll(dir.filePath("copy.enc"));
        if (damage == QLatin1String("flip")) {
            const qint64 i = at < 0 ? file.size() + at : at;
            file[i] = char(file[i] ^ 0x01);
        } else if (damage == QLatin1String("cut")) {
            file.truncate(at);
        } else if (damage == QLatin1String("append")) {
            file.append("more");
        } else if (damage == QLatin1String("plain")) {
            file = readAll(dir.filePath("plain"));
        }
        writeAll(dir.filePath("copy.enc"), file);
        const Status s =
            decryptBackupFile(dir.filePath("copy.enc"), dir.filePath("out"), passphrase.toUtf8());
        QVERIFY(!s);
        QVERIFY2(s.error.contains(message), qPrintable(s.error));
        QVERIFY(!QFile::exists(dir.filePath("out")));
    }

    // A header may not make the reader spend more memory than a backup is written with.
    void boundedLimits()
    {
        QTemporaryDir dir;
        writeAll(dir.filePath("plain"), "x");
        QVERIFY(encryptBackupFile(dir.filePath("plain"), dir.filePath("copy.enc"), "pass", Fast));
        QByteArray file = readAll(dir.filePath("copy.enc"));
        const quint64 huge = quint64(crypto_pwhash_MEMLIMIT_MODERATE) * 64;
        for (int i = 0; i < 8; ++i)
            file[9 + 16 + 8 + i] = char((huge >> (8 * i)) & 0xff);
        writeAll(dir.filePath("copy.enc"), file);
        const Status s = decryptBackupFile(dir.filePath("copy.enc"), dir.filePath("out"), "pass");
        QVERIFY(s.error.contains(QString::fromUtf8("加密標頭已被改動")));
    }
};

QTEST_GUILESS_MAIN(TestEncryptedBackup)
#include "test_encryptedbackup.moc"
