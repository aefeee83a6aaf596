// What encrypting a backup costs: the key derivation at libsodium's limits
// (the program writes with the moderate ones) and the secret stream over a
// copy of a large practice, beside a plain copy of the same file as baseline.
#include "backup/encryptedbackup.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>
#include <sodium.h>

using namespace lumo;

namespace {

void figure(const char* name, double value, const char* unit)
{
    std::printf("FIGURE %s %.3f %s\n", name, value, unit);
}

double deriveSeconds(KdfLimits l)
{
    unsigned char key[32];
    const unsigned char salt[crypto_pwhash_SALTBYTES] = {};
    QElapsedTimer t;
    t.start();
    if (crypto_pwhash(key, sizeof key, "passphrase", 10, salt, l.ops, size_t(l.mem),
                      crypto_pwhash_ALG_ARGON2ID13) != 0)
        return -1;
    return t.nsecsElapsed() / 1e9;
}

} // namespace

int main()
{
    if (sodium_init() < 0) return 1;
    figure("argon2id_interactive_s",
           deriveSeconds({crypto_pwhash_OPSLIMIT_INTERACTIVE, crypto_pwhash_MEMLIMIT_INTERACTIVE}), "s");
    figure("argon2id_moderate_s", deriveSeconds(backupKdfLimits()), "s");

    QTemporaryDir dir;
    const qint64 size = 200LL * 1024 * 1024; // a practice of many years
    {
        QFile f(dir.filePath("plain"));
        if (!f.open(QIODevice::WriteOnly)) return 1;
        QByteArray block(1024 * 1024, Qt::Uninitialized);
        randombytes_buf(block.data(), size_t(block.size()));
        for (qint64 i = 0; i < size / block.size(); ++i)
            f.write(block);
    }
    QElapsedTimer t;
    t.start();
    if (!QFile::copy(dir.filePath("plain"), dir.filePath("copy"))) return 1;
    figure("baseline_plain_copy_200MiB_s", t.nsecsElapsed() / 1e9, "s");
    // The stream alone: the smallest limits keep the key derivation out of the figure.
    const KdfLimits fast{crypto_pwhash_OPSLIMIT_MIN, crypto_pwhash_MEMLIMIT_MIN};
    t.restart();
    if (!encryptBackupFile(dir.filePath("plain"), dir.filePath("copy.enc"), "passphrase", fast)) return 1;
    figure("encrypt_200MiB_s", t.nsecsElapsed() / 1e9, "s");
    t.restart();
    if (!decryptBackupFile(dir.filePath("copy.enc"), dir.filePath("back"), "passphrase")) return 1;
    figure("decrypt_200MiB_s", t.nsecsElapsed() / 1e9, "s");
    return 0;
}
