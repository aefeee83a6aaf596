#include "practice/passwordhash.h"

#include "base/atomicfile.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <argon2.h>
#include <sys/random.h>

namespace lumo {
namespace {

constexpr size_t SaltBytes = 16;
constexpr size_t HashBytes = 32;
constexpr unsigned MaxMemoryKiB = 65536;

PasswordCost g_cost;

struct Settings
{
    PasswordCost cost;
    unsigned lanes = 0;
    QByteArray salt;
};

// "$argon2id$v=19$m=M,t=T,p=P$SALT$..." read field by field; false for anything else.
bool readSettings(const QString& encoded, Settings* s)
{
    const QStringList parts = encoded.split(QLatin1Char('$'));
    if (parts.size() < 5 || parts.at(1) != QLatin1String("argon2id") || parts.at(2) != QLatin1String("v=19"))
        return false;
    for (const QString& kv : parts.at(3).split(QLatin1Char(','))) {
        bool ok = false;
        const unsigned v = kv.mid(2).toUInt(&ok);
        if (!ok) return false;
        if (kv.startsWith(QLatin1String("m=")))
            s->cost.memoryKiB = v;
        else if (kv.startsWith(QLatin1String("t=")))
            s->cost.passes = v;
        else if (kv.startsWith(QLatin1String("p=")))
            s->lanes = v;
    }
    s->salt = QByteArray::fromBase64(parts.at(4).toLatin1());
    return s->cost.memoryKiB >= 8 && s->cost.passes >= 1 && s->lanes >= 1 && s->salt.size() >= 8;
}

QString encode(const PasswordCost& cost, unsigned lanes, const QByteArray& salt, const QString& password)
{
    const QByteArray pwd = password.toUtf8();
    const size_t length =
        argon2_encodedlen(cost.passes, cost.memoryKiB, lanes, uint32_t(salt.size()), HashBytes, Argon2_id);
    QByteArray encoded(int(length), '\0');
    if (argon2id_hash_encoded(cost.passes, cost.memoryKiB, lanes, pwd.constData(), size_t(pwd.size()),
                              salt.constData(), size_t(salt.size()), HashBytes, encoded.data(),
                              length) != ARGON2_OK)
        return {};
    return QString::fromLatin1(encoded.constData());
}

qint64 msToHash(const PasswordCost& cost)
{
    QElapsedTimer t;
    t.start();
    encode(cost, 1, QByteArray(SaltBytes, 'x'), QStringLiteral("calibration"));
    return std::max<qint64>(1, t.elapsed());
}

} // namespace

PasswordCost floorPasswordCost()
{
    return {};
}

PasswordCost passwordCost()
{
    return g_cost;
}

void setPasswordCost(PasswordCost cost)
{
    const PasswordCost floor = floorPasswordCost();
    g_cost = {std::max(cost.memoryKiB, floor.memoryKiB), std::max(cost.passes, floor.passes)};
}

PasswordCost calibratePasswordCost(int targetMs)
{
    PasswordCost cost = floorPasswordCost();
    const qint64 atFloor = msToHash(cost);
    if (atFloor >= targetMs) return cost;
    // The time grows with memory times passes; memory first, as it is what
    // a guessing machine pays most for.
    const double factor = double(targetMs) / double(atFloor);
    cost.memoryKiB = std::min<unsigned>(MaxMemoryKiB, unsigned(cost.memoryKiB * factor));
    const double left = factor * floorPasswordCost().memoryKiB / cost.memoryKiB;
    cost.passes = std::max<unsigned>(cost.passes, unsigned(cost.passes * left));
    return cost;
}

void loadPasswordCost(const QString& dataDirectory)
{
    if (qEnvironmentVariable("LUMO_PASSWORD_COST") == QLatin1String("floor")) {
        setPasswordCost(floorPasswordCost());
        return;
    }
    const QString path = dataDirectory + QStringLiteral("/LumoPasswordCost.txt");
    QFile f(path);
    if (f.open(QIODevice::ReadOnly)) {
        const QList<QByteArray> v = f.readAll().simplified().split(' ');
        if (v.size() == 2) {
            setPasswordCost({v.at(0).toUInt(), v.at(1).toUInt()});
            return;
        }
    }
    const PasswordCost cost = calibratePasswordCost();
    setPasswordCost(cost);
    // Kept so that the next start does not measure again; a directory that
    // takes no writes measures each time.
    writeFileAtomically(path, QStringLiteral("%1 %2\n").arg(cost.memoryKiB).arg(cost.passes).toLatin1());
}

QString hashPassword(const QString& password)
{
    QByteArray salt(int(SaltBytes), '\0');
    // The kernel's generator; a short read (only before it is seeded) is refused rather than weakened.
    if (::getrandom(salt.data(), SaltBytes, 0) != ssize_t(SaltBytes)) return {};
    return encode(g_cost, 1, salt, password);
}

bool passwordMatches(const QString& encoded, const QString& password)
{
    if (!encoded.startsWith(QLatin1String("$argon2id$"))) return false;
    const QByteArray e = encoded.toLatin1();
    const QByteArray pwd = password.toUtf8();
    return argon2id_verify(e.constData(), pwd.constData(), size_t(pwd.size())) == ARGON2_OK;
}

QString hashSettings(const QString& encoded)
{
    const int last = encoded.lastIndexOf(QLatin1Char('$'));
    return last > 0 ? encoded.left(last + 1) : QString();
}

QString hashUnder(const QString& settings, const QString& password)
{
    Settings s;
    if (!readSettings(settings, &s)) return {};
    return encode(s.cost, s.lanes, s.salt, password);
}

bool weakerThanProgram(const QString& settings)
{
    Settings s;
    if (!readSettings(settings, &s)) return false;
    const PasswordCost now = g_cost;
    return now.memoryKiB >= s.cost.memoryKiB && now.passes >= s.cost.passes && !(now == s.cost);
}

} // namespace lumo
