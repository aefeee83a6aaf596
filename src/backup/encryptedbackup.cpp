#include "backup/encryptedbackup.h"
#include "records/database.h"

#include <QFile>
#include <QFileInfo>
#include <array>
#include <cerrno>
#include <cstdio>
#include <sodium.h>
#include <unistd.h>

namespace lumo {
namespace {

constexpr char Magic[8] = {'L', 'U', 'M', 'O', '-', 'E', 'N', 'C'};
constexpr quint8 Version = 1;
constexpr quint32 ChunkBytes = 64 * 1024;
constexpr int SaltBytes = crypto_pwhash_SALTBYTES;
constexpr int StreamHeaderBytes = crypto_secretstream_xchacha20poly1305_HEADERBYTES;
// magic, version, salt, ops (8), mem (8), chunk size (4), stream header
constexpr int PrefixBytes = 8 + 1 + SaltBytes + 8 + 8 + 4;
constexpr int HeaderBytes = PrefixBytes + StreamHeaderBytes;
constexpr int KeyBytes = crypto_secretstream_xchacha20poly1305_KEYBYTES;
constexpr qint64 CipherChunkBytes = ChunkBytes + crypto_secretstream_xchacha20poly1305_ABYTES;

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

bool sodiumReady()
{
    static const bool ready = sodium_init() >= 0;
    return ready;
}

void putLe(QByteArray& out, quint64 v, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.append(char((v >> (8 * i)) & 0xff));
}

quint64 getLe(const QByteArray& in, int at, int bytes)
{
    quint64 v = 0;
    for (int i = bytes - 1; i >= 0; --i)
        v = (v << 8) | quint8(in.at(at + i));
    return v;
}

struct Key
{
    std::array<unsigned char, KeyBytes> bytes{};
    ~Key() { sodium_memzero(bytes.data(), bytes.size()); }
};

bool deriveKey(Key& key, const QByteArray& passphrase, const QByteArray& salt, KdfLimits l)
{
    return crypto_pwhash(key.bytes.data(), key.bytes.size(), passphrase.constData(),
                         quint64(passphrase.size()), reinterpret_cast<const unsigned char*>(salt.constData()),
                         l.ops, size_t(l.mem), crypto_pwhash_ALG_ARGON2ID13) == 0;
}

// Every write checked in full: a short write on a full disk is an error, not a smaller file.
bool writeAll(QFile& f, const unsigned char* data, qint64 size)
{
    return f.write(reinterpret_cast<const char*>(data), size) == size;
}

// errno as the failed call left it (a default argument is taken at each
// call): a full disk is named as such, where Qt's own text may only say
// "Unknown error".
Status ioFailure(const QFileDevice& f, int error = errno)
{
    if (error == ENOSPC || error == EDQUOT || error == EFBIG)
        return Status::failure(QStringLiteral("%1: %2").arg(f.fileName(), diskFullMessage()));
    return Status::failure(QStringLiteral("%1: %2").arg(f.fileName(), f.errorString()));
}

Status encryptStream(QIODevice& in, QFile& out, const QByteArray& passphrase, KdfLimits limits)
{
    QByteArray salt(SaltBytes, Qt::Uninitialized);
    randombytes_buf(salt.data(), size_t(salt.size()));
    QByteArray header(Magic, sizeof Magic);
    header.append(char(Version));
    header.append(salt);
    putLe(header, limits.ops, 8);
    putLe(header, limits.mem, 8);
    putLe(header, ChunkBytes, 4);
    Key key;
    if (!deriveKey(key, passphrase, salt, limits))
        return Status::failure(u("無法產生加密金鑰（記憶體不足）。"));
    crypto_secretstream_xchacha20poly1305_state st;
    std::array<unsigned char, StreamHeaderBytes> streamHeader{};
    crypto_secretstream_xchacha20poly1305_init_push(&st, streamHeader.data(), key.bytes.data());
    const QByteArray prefix = header;
    header.append(reinterpret_cast<const char*>(streamHeader.data()), StreamHeaderBytes);
    if (!writeAll(out, reinterpret_cast<const unsigned char*>(header.constData()), header.size()))
        return ioFailure(out);
    QByteArray plain(ChunkBytes, Qt::Uninitialized);
    QByteArray cipher(CipherChunkBytes, Qt::Uninitialized);
    bool first = true;
    for (;;) {
        const qint64 n = in.read(plain.data(), ChunkBytes);
        if (n < 0) return Status::failure(in.errorString());
        const bool last = in.atEnd() || n < qint64(ChunkBytes);
        unsigned long long written = 0;
        crypto_secretstream_xchacha20poly1305_push(
            &st, reinterpret_cast<unsigned char*>(cipher.data()), &written,
            reinterpret_cast<const unsigned char*>(plain.constData()), quint64(n),
            first ? reinterpret_cast<const unsigned char*>(prefix.constData()) : nullptr,
            first ? quint64(prefix.size()) : 0, last ? crypto_secretstream_xchacha20poly1305_TAG_FINAL : 0);
        first = false;
        if (!writeAll(out, reinterpret_cast<const unsigned char*>(cipher.constData()), qint64(written)))
            return ioFailure(out);
        if (last) return Status::success();
    }
}

// The header's fields, refused when they are not what this program writes or
// would make the key derivation take more time or memory than a backup may.
Status readHeader(QFile& in, QByteArray* prefix, QByteArray* streamHeader, KdfLimits* limits)
{
    const QString name = in.fileName();
    const QByteArray h = in.read(HeaderBytes);
    if (h.size() < int(sizeof Magic) || !h.startsWith(QByteArray(Magic, sizeof Magic)))
        return Status::failure(u("%1 不是 LUMO 的加密備份檔。").arg(name));
    if (h.size() < HeaderBytes)
        return Status::failure(u("%1 不完整（檔案被截斷）：無法解密，資料未變更。").arg(name));
    if (quint8(h.at(8)) != Version)
        return Status::failure(u("%1 是本程式不認得的加密備份版本：無法解密，資料未變更。").arg(name));
    limits->ops = getLe(h, 9 + SaltBytes, 8);
    limits->mem = getLe(h, 17 + SaltBytes, 8);
    const quint64 chunk = getLe(h, 25 + SaltBytes, 4);
    if (limits->ops < crypto_pwhash_OPSLIMIT_MIN || limits->ops > crypto_pwhash_OPSLIMIT_SENSITIVE ||
        limits->mem < crypto_pwhash_MEMLIMIT_MIN || limits->mem > crypto_pwhash_MEMLIMIT_MODERATE ||
        chunk != ChunkBytes)
        return Status::failure(u("%1 的加密標頭已被改動或損毀：無法解密，資料未變更。").arg(name));
    *prefix = h.left(PrefixBytes);
    *streamHeader = h.mid(PrefixBytes);
    return Status::success();
}

Status decryptStream(QFile& in, QFile& out, const QByteArray& passphrase)
{
    const QString name = in.fileName();
    QByteArray prefix, streamHeader;
    KdfLimits limits;
    if (Status s = readHeader(in, &prefix, &streamHeader, &limits); !s) return s;
    Key key;
    if (!deriveKey(key, passphrase, prefix.mid(9, SaltBytes), limits))
        return Status::failure(u("無法產生解密金鑰（記憶體不足）。"));
    crypto_secretstream_xchacha20poly1305_state st;
    if (crypto_secretstream_xchacha20poly1305_init_pull(
            &st, reinterpret_cast<const unsigned char*>(streamHeader.constData()), key.bytes.data()) != 0)
        return Status::failure(u("%1 的加密標頭已被改動或損毀：無法解密，資料未變更。").arg(name));
    QByteArray cipher(CipherChunkBytes, Qt::Uninitialized);
    QByteArray plain(ChunkBytes, Qt::Uninitialized);
    for (bool first = true;; first = false) {
        const qint64 n = in.read(cipher.data(), CipherChunkBytes);
        if (n < 0) return ioFailure(in);
        if (n == 0) return Status::failure(u("%1 不完整（檔案被截斷）：無法解密，資料未變更。").arg(name));
        unsigned long long got = 0;
        unsigned char tag = 0;
        if (crypto_secretstream_xchacha20poly1305_pull(
                &st, reinterpret_cast<unsigned char*>(plain.data()), &got, &tag,
                reinterpret_cast<const unsigned char*>(cipher.constData()), quint64(n),
                first ? reinterpret_cast<const unsigned char*>(prefix.constData()) : nullptr,
                first ? quint64(prefix.size()) : 0) != 0)
            // Before the first chunk opens, a wrong passphrase and a changed byte look alike.
            return Status::failure(
                first ? u("備份密語錯誤，或 %1 在備份後被改動：無法解密，資料未變更。").arg(name)
                      : u("%1 在備份後被改動或已損毀：無法解密，資料未變更。").arg(name));
        if (!writeAll(out, reinterpret_cast<const unsigned char*>(plain.constData()), qint64(got)))
            return ioFailure(out);
        if (tag == crypto_secretstream_xchacha20poly1305_TAG_FINAL) {
            if (!in.atEnd())
                return Status::failure(
                    u("%1 在結尾之後還有資料，已被改動：無法解密，資料未變更。").arg(name));
            return Status::success();
        }
    }
}

Status finish(QFile& out)
{
    if (!out.flush() || ::fsync(out.handle()) != 0) return ioFailure(out);
    out.close();
    return Status::success();
}

} // namespace

KdfLimits backupKdfLimits()
{
    return {crypto_pwhash_OPSLIMIT_MODERATE, crypto_pwhash_MEMLIMIT_MODERATE};
}

QString encryptedBackupName(const QString& plainName)
{
    return plainName + QStringLiteral(".enc");
}

bool isEncryptedBackup(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) && f.read(sizeof Magic) == QByteArray(Magic, sizeof Magic);
}

Status encryptBackupFile(const QString& plain, const QString& target, const QByteArray& passphrase,
                         KdfLimits limits)
{
    QFile in(plain);
    if (!in.open(QIODevice::ReadOnly)) return ioFailure(in);
    return encryptBackup(in, target, passphrase, limits);
}

Status encryptBackup(QIODevice& in, const QString& target, const QByteArray& passphrase, KdfLimits limits)
{
    if (!sodiumReady()) return Status::failure(QStringLiteral("libsodium cannot be initialised"));
    const QString partial = target + QStringLiteral(".partial");
    QFile out(partial);
    // Unbuffered: a write that fails says so at once, with its errno.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Unbuffered)) return ioFailure(out);
    out.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    Status s = encryptStream(in, out, passphrase, limits);
    if (s) s = finish(out);
    if (s && std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(target).constData()) != 0)
        s = Status::failure(QStringLiteral("%1: cannot be renamed to %2").arg(partial, target));
    if (!s) QFile::remove(partial);
    return s;
}

Status decryptBackupFile(const QString& encrypted, const QString& target, const QByteArray& passphrase)
{
    if (!sodiumReady()) return Status::failure(QStringLiteral("libsodium cannot be initialised"));
    QFile in(encrypted);
    if (!in.open(QIODevice::ReadOnly)) return ioFailure(in);
    QFile out(target);
    if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly)) return ioFailure(out);
    out.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    Status s = decryptStream(in, out, passphrase);
    if (s) s = finish(out);
    if (!s) {
        out.close();
        QFile::remove(target);
    }
    return s;
}

} // namespace lumo
