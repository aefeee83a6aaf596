#include "practice/operators.h"

#include "records/database.h"

#include <QDateTime>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

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

QString noEnabledAdminMessage(bool onServer)
{
    const QString way =
        onServer ? u("請以資料表擁有者的登入新增管理者：lumo-cli --database \"... user=擁有者\" operator add "
                     "--name 名稱 --role admin。")
                 : u("請以仍有管理者的備份還原：lumo-cli restore "
                     "備份檔（此時不需登入，還原會帶回備份中的操作人員並記入稽核紀錄）。");
    return u("這個資料庫已啟用操作人員管理，卻沒有任何啟用中的管理者：操作人員已在程式之外被刪除或停用。"
             "在恢復之前，所有指令與畫面都停止使用。") +
           way;
}

QString unknownNameTrace(const QString& name)
{
    return u("%1…（%2 字）").arg(name.left(2)).arg(name.size());
}

QString passwordEmptyMessage()
{
    return u("密碼不可空白。");
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

bool OperatorStore::wasPracticeMode(Status* status)
{
    SqlRows rows;
    const Status st = m_db.run(
        QStringLiteral("SELECT 1 FROM LUMOAUDIT WHERE ACTION = 'operator.add' ORDER BY MKEY LIMIT 1"), {},
        &rows);
    if (status) *status = st;
    return st && !rows.isEmpty();
}

bool OperatorStore::lockedOut(Status* status)
{
    Status st;
    if (!m_db.hasTable(QStringLiteral("LUMOAUDIT")) || !wasPracticeMode(&st)) {
        if (status) *status = st;
        return false;
    }
    if (status) *status = Status::success();
    return !m_db.hasTable(QStringLiteral("LUMOOPER")) || enabledAdmins() <= 0;
}

qint64 OperatorStore::enabledAdmins()
{
    SqlRows rows;
    if (!m_db.run(QStringLiteral("SELECT COUNT(*) FROM LUMOOPER WHERE ROLE = ? AND DISABLED = 0"),
                  {roleKey(Role::Admin)}, &rows))
        return -1;
    return rows.value(0).value(0).toLongLong();
}

Status OperatorStore::inTransaction(const std::function<Status()>& change,
                                    const std::function<Status()>& alsoRun)
{
    Transaction t(m_db);
    if (!t.active()) return t.begun();
    Status st = change();
    if (st && alsoRun) st = alsoRun();
    return st ? t.commit() : st;
}

Status OperatorStore::add(const QString& name, Role role, const QString& password,
                          const std::function<Status()>& alsoRun)
{
    const QString n = name.trimmed();
    if (n.isEmpty()) return Status::failure(u("操作人員名稱不可空白。"));
    if (password.isEmpty()) return Status::failure(passwordEmptyMessage());
    const QString hash = hashPassword(password);
    if (hash.isEmpty()) return Status::failure(u("無法產生密碼雜湊。"));
    const QString created = QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs);
    // The check and the insert in one transaction: two workstations adding
    // the first account, or the same name, at once must not both succeed.
    return inTransaction(
        [&]() -> Status {
            if (m_db.onServer())
                return m_db.run(QStringLiteral("SELECT LUMO_OPER_ADD(?, ?, ?, ?, ?, ?)"),
                                {m_actor.name, m_actor.proof, n, roleKey(role), hash, created});
            Status st;
            const bool first = !practiceMode(&st);
            if (!st) return st;
            if (first && role != Role::Admin)
                return Status::failure(u("第一個操作人員必須是管理者（admin）。"));
            if (find(n, &st)) return Status::failure(u("操作人員名稱已存在：%1").arg(n));
            if (!st) return st;
            return m_db.run(
                QStringLiteral(
                    "INSERT INTO LUMOOPER (NAME, ROLE, PWHASH, DISABLED, FAILS, WAITUNTIL, CREATED) "
                    "VALUES (?, ?, ?, 0, 0, 0, ?)"),
                {n, roleKey(role), hash, created});
        },
        alsoRun);
}

Status OperatorStore::passwd(const QString& name, const QString& password,
                             const std::function<Status()>& alsoRun)
{
    if (password.isEmpty()) return Status::failure(passwordEmptyMessage());
    const QString hash = hashPassword(password);
    if (hash.isEmpty()) return Status::failure(u("無法產生密碼雜湊。"));
    return inTransaction(
        [&]() -> Status {
            SqlRows rows;
            qint64 changed = 0;
            const Status st =
                m_db.onServer()
                    ? m_db.run(QStringLiteral("SELECT LUMO_OPER_PASSWD(?, ?, ?, ?)"),
                               {m_actor.name, m_actor.proof, name, hash}, &rows)
                    : m_db.run(
                          QStringLiteral("UPDATE LUMOOPER SET PWHASH = ?, FAILS = 0, WAITUNTIL = 0 WHERE %1")
                              .arg(byName(m_db)),
                          {hash, name}, nullptr, &changed);
            if (st && !changed && !rows.value(0).value(0).toBool()) return unknownOperator(name);
            return st;
        },
        alsoRun);
}

Status OperatorStore::disable(const QString& name, const std::function<Status()>& alsoRun)
{
    return inTransaction(
        [&]() -> Status {
            Status st;
            const std::optional<OperatorRow> row = find(name, &st);
            if (!st) return st;
            if (!row) return unknownOperator(name);
            if (m_db.onServer())
                return m_db.run(QStringLiteral("SELECT LUMO_OPER_DISABLE(?, ?, ?)"),
                                {m_actor.name, m_actor.proof, name});
            if (row->disabled) return Status::success();
            if (row->role == Role::Admin && enabledAdmins() <= 1)
                return Status::failure(u("不能停用最後一位管理者。"));
            return m_db.run(QStringLiteral("UPDATE LUMOOPER SET DISABLED = 1 WHERE MKEY = ?"), {row->mkey});
        },
        alsoRun);
}

// The salt and parameters of the account's hash, and whether it waits. The
// stored hash itself is not read here: on a server no room may read it.
Status OperatorStore::settingsOf(const QString& name, Try* t)
{
    SqlRows rows;
    const Status st =
        m_db.onServer()
            ? m_db.run(
                  QStringLiteral("SELECT o_key, o_settings, o_wait, o_waiting FROM LUMO_OPER_SETTINGS(?)"),
                  {name}, &rows)
            : m_db.run(QStringLiteral(
                           "SELECT MKEY, PWHASH, WAITUNTIL FROM LUMOOPER WHERE %1 ORDER BY MKEY LIMIT 1")
                           .arg(byName(m_db)),
                       {name}, &rows);
    if (!st || rows.isEmpty()) return st;
    const SqlRow& r = rows.first();
    t->key = r.value(0).toLongLong();
    t->settings = hashSettings(r.value(1).toString());
    // A server tells the time left, by its own clock.
    t->waitUntil = m_db.onServer() ? m_now() + r.value(2).toLongLong() : r.value(2).toLongLong();
    t->waiting = m_db.onServer() ? r.value(3).toBool() : m_now() < t->waitUntil;
    return st;
}

// A file: the row read, the try counted and the hash compared in one write
// transaction. A file that takes no writes cannot count and still lets its
// operators in.
void OperatorStore::compare(const Try& t, const QString& proof, LoginVerdict* v)
{
    const bool counted = !m_db.readOnly();
    Transaction tx(m_db);
    if (counted && !tx.active()) {
        v->status = tx.begun();
        return;
    }
    SqlRows rows;
    v->status = m_db.run(
        QStringLiteral("SELECT %1, PWHASH FROM LUMOOPER WHERE MKEY = ?").arg(QLatin1String(kColumns)),
        {t.key}, &rows);
    if (!v->status || rows.isEmpty()) return;
    const OperatorRow row = readRow(rows.first());
    const qint64 now = m_now();
    if (now < row.waitUntil) {
        v->outcome = LoginVerdict::Waiting;
        v->waitUntil = row.waitUntil;
        return;
    }
    if (rows.first().value(7).toString() == proof && !row.disabled) {
        if (counted && (row.fails != 0 || row.waitUntil != 0))
            v->status = m_db.run(
                QStringLiteral("UPDATE LUMOOPER SET FAILS = 0, WAITUNTIL = 0 WHERE MKEY = ?"), {row.mkey});
        v->outcome = LoginVerdict::Accepted;
        v->role = row.role;
        v->name = row.name;
    } else if (counted) {
        const int fails = row.fails + 1;
        v->waitUntil = fails >= MaxFails ? now + WaitMs : 0;
        v->status = m_db.run(QStringLiteral("UPDATE LUMOOPER SET FAILS = ?, WAITUNTIL = ? WHERE MKEY = ?"),
                             {fails >= MaxFails ? 0 : fails, v->waitUntil, row.mkey});
        v->outcome = LoginVerdict::WrongPassword;
    } else {
        v->outcome = LoginVerdict::WrongPassword;
    }
    if (v->status && counted) v->status = tx.commit();
    if (!v->status) v->outcome = LoginVerdict::Failed;
}

void OperatorStore::compareOnServer(const QString& name, const QString& proof, LoginVerdict* v)
{
    SqlRows rows;
    v->status =
        m_db.run(QStringLiteral("SELECT o_outcome, o_name, o_role, o_wait FROM LUMO_OPER_LOGIN(?, ?)"),
                 {name, proof}, &rows);
    if (!v->status || rows.isEmpty()) return;
    const SqlRow& r = rows.first();
    const int outcome = r.value(0).toInt();
    v->outcome = outcome == 0   ? LoginVerdict::Accepted
                 : outcome == 2 ? LoginVerdict::Waiting
                                : LoginVerdict::WrongPassword;
    v->name = r.value(1).toString();
    v->role = roleFromKey(r.value(2).toString()).value_or(Role::Assistant);
    const qint64 left = r.value(3).toLongLong();
    v->waitUntil = left > 0 ? m_now() + left : 0;
}

// The stored hash made again at the program's cost, replacing exactly the
// one the password matched; a failure leaves the older hash, which still works.
void OperatorStore::rehash(const QString& name, const QString& password, LoginVerdict* v)
{
    const QString fresh = hashPassword(password);
    if (fresh.isEmpty()) return;
    SqlRows rows;
    qint64 changed = 0;
    const Status st =
        m_db.onServer()
            ? m_db.run(QStringLiteral("SELECT LUMO_OPER_REHASH(?, ?, ?)"), {name, v->proof, fresh}, &rows)
            : m_db.run(
                  QStringLiteral("UPDATE LUMOOPER SET PWHASH = ? WHERE %1 AND PWHASH = ?").arg(byName(m_db)),
                  {fresh, name, v->proof}, nullptr, &changed);
    if (st && (changed == 1 || rows.value(0).value(0).toBool())) v->proof = fresh;
}

LoginVerdict OperatorStore::verify(const QString& name, const QString& password)
{
    LoginVerdict v;
    Try t;
    v.status = settingsOf(name, &t);
    if (!v.status) return v;
    v.account = t.key != 0;
    if (t.key == 0 || t.settings.isEmpty()) {
        // No account to count failures on; a hash is still computed so that
        // the time taken does not tell which names exist.
        hashPassword(password);
        v.outcome = LoginVerdict::WrongPassword;
        return v;
    }
    if (t.waiting) {
        v.outcome = LoginVerdict::Waiting;
        v.waitUntil = t.waitUntil;
        return v;
    }
    const QString proof = hashUnder(t.settings, password);
    if (m_db.onServer())
        compareOnServer(name, proof, &v);
    else
        compare(t, proof, &v);
    if (v.outcome != LoginVerdict::Accepted) return v;
    v.proof = proof;
    if (weakerThanProgram(t.settings) && !m_db.readOnly()) rehash(v.name, password, &v);
    return v;
}

} // namespace lumo
