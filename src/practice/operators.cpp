#include "practice/operators.h"

#include "records/database.h"

#include <QDateTime>
#include <argon2.h>
#include <sys/random.h>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

constexpr size_t SaltBytes = 16;
constexpr size_t HashBytes = 32;

const char* kColumns = "MKEY, NAME, ROLE, DISABLED, FAILS, WAITUNTIL, CREATED";

OperatorRow readRow(const SqlRow& q)
{
    OperatorRow r;
    r.mkey = q.value(0).toLongLong();
    r.name = q.value(1).toString();
    // An unknown word (a later version's role) gets the least rights.
    r.role = roleFromKey(q.value(2).toString()).value_or(Role::Assistant);
    r.disabled = q.value(3).toLongLong() != 0;
    r.fails = int(q.value(4).toLongLong());
    r.waitUntil = q.value(5).toLongLong();
    r.created = q.value(6).toString();
    return r;
}

QString byName(Database& db)
{
    const Engine& e = db.engine();
    return QStringLiteral("%1 = %2").arg(e.caseless(QStringLiteral("NAME")), e.caselessValue());
}

Status unknownOperator(const QString& name)
{
    return Status::failure(u("沒有這個操作人員：%1").arg(name));
}

// The number of enabled admins, or -1 when it cannot be read.
qint64 enabledAdmins(Database& db)
{
    SqlRows rows;
    if (!db.run(QStringLiteral("SELECT COUNT(*) FROM LUMOOPER WHERE ROLE = ? AND DISABLED = 0"),
                {roleKey(Role::Admin)}, &rows))
        return -1;
    return rows.value(0).value(0).toLongLong();
}

} // namespace

qint64 wallClockMs()
{
    return QDateTime::currentMSecsSinceEpoch();
}

QString roleKey(Role role)
{
    switch (role) {
    case Role::Admin:
        return QStringLiteral("admin");
    case Role::Practitioner:
        return QStringLiteral("practitioner");
    case Role::Assistant:
        return QStringLiteral("assistant");
    }
    return {};
}

std::optional<Role> roleFromKey(const QString& key)
{
    for (Role r : {Role::Admin, Role::Practitioner, Role::Assistant})
        if (key == roleKey(r)) return r;
    return std::nullopt;
}

QString roleLabel(Role role)
{
    switch (role) {
    case Role::Admin:
        return u("管理者");
    case Role::Practitioner:
        return u("醫師/治療師");
    case Role::Assistant:
        return u("助理");
    }
    return {};
}

QString wrongPasswordMessage()
{
    return u("帳號或密碼錯誤。");
}

QString waitMessage(qint64 seconds)
{
    return u("密碼錯誤次數過多，請於 %1 秒後再試。").arg(seconds);
}

QString passwordEmptyMessage()
{
    return u("密碼不可空白。");
}

QString hashPassword(const QString& password)
{
    unsigned char salt[SaltBytes];
    // The kernel's generator; a short read (only before it is seeded) is refused rather than weakened.
    if (::getrandom(salt, sizeof salt, 0) != ssize_t(sizeof salt)) return {};
    const QByteArray pwd = password.toUtf8();
    const size_t length = argon2_encodedlen(OperatorStore::Passes, OperatorStore::MemoryKiB, 1, SaltBytes,
                                            HashBytes, Argon2_id);
    QByteArray encoded(int(length), '\0');
    if (argon2id_hash_encoded(OperatorStore::Passes, OperatorStore::MemoryKiB, 1, pwd.constData(),
                              size_t(pwd.size()), salt, SaltBytes, HashBytes, encoded.data(),
                              length) != ARGON2_OK)
        return {};
    return QString::fromLatin1(encoded.constData());
}

bool passwordMatches(const QString& encoded, const QString& password)
{
    if (!encoded.startsWith(QLatin1String("$argon2id$"))) return false;
    const QByteArray e = encoded.toLatin1();
    const QByteArray pwd = password.toUtf8();
    return argon2id_verify(e.constData(), pwd.constData(), size_t(pwd.size())) == ARGON2_OK;
}

bool OperatorStore::practiceMode(Status* status)
{
    SqlRows rows;
    const Status st = m_db.run(QStringLiteral("SELECT COUNT(*) FROM LUMOOPER"), {}, &rows);
    if (status) *status = st;
    return st && rows.value(0).value(0).toLongLong() > 0;
}

std::optional<OperatorRow> OperatorStore::find(const QString& name, Status* status)
{
    SqlRows rows;
    const Status st = m_db.run(QStringLiteral("SELECT %1 FROM LUMOOPER WHERE %2 ORDER BY MKEY LIMIT 1")
                                   .arg(QLatin1String(kColumns), byName(m_db)),
                               {name}, &rows);
    if (status) *status = st;
    if (!st || rows.isEmpty()) return std::nullopt;
    return readRow(rows.first());
}

QVector<OperatorRow> OperatorStore::list(Status* status)
{
    SqlRows rows;
    *status = m_db.run(QStringLiteral("SELECT %1 FROM LUMOOPER ORDER BY MKEY").arg(QLatin1String(kColumns)),
                       {}, &rows);
    QVector<OperatorRow> out;
    for (const SqlRow& r : rows)
        out << readRow(r);
    return out;
}

Status OperatorStore::add(const QString& name, Role role, const QString& password)
{
    const QString n = name.trimmed();
    if (n.isEmpty()) return Status::failure(u("操作人員名稱不可空白。"));
    if (password.isEmpty()) return Status::failure(passwordEmptyMessage());
    const QString hash = hashPassword(password);
    if (hash.isEmpty()) return Status::failure(u("無法產生密碼雜湊。"));
    // The check and the insert in one transaction: two workstations adding
    // the first account, or the same name, at once must not both succeed.
    Transaction t(m_db);
    if (!t.active()) return t.begun();
    Status st;
    const bool first = !practiceMode(&st);
    if (!st) return st;
    if (first && role != Role::Admin) return Status::failure(u("第一個操作人員必須是管理者（admin）。"));
    if (find(n, &st)) return Status::failure(u("操作人員名稱已存在：%1").arg(n));
    if (!st) return st;
    st = m_db.run(
        QStringLiteral("INSERT INTO LUMOOPER (NAME, ROLE, PWHASH, DISABLED, FAILS, WAITUNTIL, CREATED) "
                       "VALUES (?, ?, ?, 0, 0, 0, ?)"),
        {n, roleKey(role), hash, QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs)});
    return st ? t.commit() : st;
}

Status OperatorStore::passwd(const QString& name, const QString& password)
{
    if (password.isEmpty()) return Status::failure(passwordEmptyMessage());
    const QString hash = hashPassword(password);
    if (hash.isEmpty()) return Status::failure(u("無法產生密碼雜湊。"));
    qint64 changed = 0;
    const Status st = m_db.run(
        QStringLiteral("UPDATE LUMOOPER SET PWHASH = ?, FAILS = 0, WAITUNTIL = 0 WHERE %1").arg(byName(m_db)),
        {hash, name}, nullptr, &changed);
    if (st && changed == 0) return unknownOperator(name);
    return st;
}

Status OperatorStore::disable(const QString& name)
{
    Transaction t(m_db);
    if (!t.active()) return t.begun();
    Status st;
    const std::optional<OperatorRow> row = find(name, &st);
    if (!st) return st;
    if (!row) return unknownOperator(name);
    if (row->disabled) return t.commit();
    if (row->role == Role::Admin && enabledAdmins(m_db) <= 1)
        return Status::failure(u("不能停用最後一位管理者。"));
    st = m_db.run(QStringLiteral("UPDATE LUMOOPER SET DISABLED = 1 WHERE MKEY = ?"), {row->mkey});
    return st ? t.commit() : st;
}

LoginVerdict OperatorStore::verify(const QString& name, const QString& password)
{
    LoginVerdict v;
    SqlRows rows;
    v.status = m_db.run(QStringLiteral("SELECT %1, PWHASH FROM LUMOOPER WHERE %2 ORDER BY MKEY LIMIT 1")
                            .arg(QLatin1String(kColumns), byName(m_db)),
                        {name}, &rows);
    if (!v.status) return v;
    const qint64 now = m_now();
    if (rows.isEmpty()) {
        // No account to count failures on; the hash is still computed so
        // that the time taken does not tell which names exist.
        passwordMatches(hashPassword(QString()), password);
        v.outcome = LoginVerdict::WrongPassword;
        return v;
    }
    const OperatorRow row = readRow(rows.first());
    if (now < row.waitUntil) {
        v.outcome = LoginVerdict::Waiting;
        v.waitUntil = row.waitUntil;
        return v;
    }
    const bool match = passwordMatches(rows.first().value(7).toString(), password);
    if (match && !row.disabled) {
        // Written only when there is a count to clear, so that a data
        // directory that takes no writes still lets its operators in.
        if (row.fails != 0 || row.waitUntil != 0)
            v.status = m_db.run(QStringLiteral("UPDATE LUMOOPER SET FAILS = 0, WAITUNTIL = 0 WHERE MKEY = ?"),
                                {row.mkey});
        v.outcome = v.status ? LoginVerdict::Accepted : LoginVerdict::Failed;
        v.role = row.role;
        v.name = row.name;
        return v;
    }
    // Counted in the database itself, so that tries from several
    // workstations at once all count.
    const int fails = row.fails + 1;
    v.waitUntil = fails >= MaxFails ? now + WaitMs : 0;
    v.status =
        m_db.run(QStringLiteral("UPDATE LUMOOPER SET WAITUNTIL = CASE WHEN FAILS + 1 >= ? THEN ? ELSE 0 END, "
                                "FAILS = CASE WHEN FAILS + 1 >= ? THEN 0 ELSE FAILS + 1 END WHERE MKEY = ?"),
                 {MaxFails, now + WaitMs, MaxFails, row.mkey});
    v.outcome = v.status ? LoginVerdict::WrongPassword : LoginVerdict::Failed;
    return v;
}

} // namespace lumo
