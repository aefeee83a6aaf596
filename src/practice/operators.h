#pragma once
// The operator accounts (LUMOOPER) on either engine. Passwords are kept only
// as Argon2id hashes in the library's encoded form, which carries its salt and
// parameters, so stronger parameters later still verify the older hashes.

#include "base/status.h"
#include "practice/session.h"

#include <QString>
#include <QVector>
#include <functional>
#include <optional>

namespace lumo {

class Database;
struct SharedState;

// Milliseconds since the epoch (UTC): waits are shared by every workstation
// and outlive the process, so the program's monotonic clock will not do.
// Tests give a virtual one.
using WallClock = std::function<qint64()>;
qint64 wallClockMs();

struct OperatorRow
{
    qint64 mkey = 0;
    QString name;
    Role role = Role::Admin;
    bool disabled = false;
    int fails = 0;        // wrong passwords in a row
    qint64 waitUntil = 0; // ms since the epoch: no try is taken before it
    QString created;      // ISO 8601 UTC
};

// "admin", "practitioner", "assistant": the words the command line and LUMOOPER use.
QString roleKey(Role role);
std::optional<Role> roleFromKey(const QString& key);
// The role's name on the screens (管理者, 醫師/治療師, 助理).
QString roleLabel(Role role);

// The outcome of a login attempt.
struct LoginVerdict
{
    enum Outcome
    {
        Accepted,
        WrongPassword, // also for a name that does not exist or is disabled: nothing tells which
        Waiting,       // too many wrong passwords: no try before waitUntil
        Failed         // the database could not be read or written (status says why)
    };
    Outcome outcome = Failed;
    Role role = Role::Admin;
    QString name;         // as stored (its case), when accepted
    qint64 waitUntil = 0; // when Waiting, or when this failure started a wait
    Status status;
};

class OperatorStore
{
public:
    // After this many wrong passwords in a row the next try waits WaitMs.
    static constexpr int MaxFails = 5;
    static constexpr qint64 WaitMs = 30000;
    // Argon2id: 19 MiB of memory, 2 passes, 1 lane, 16-byte salt, 32-byte hash.
    static constexpr unsigned MemoryKiB = 19456;
    static constexpr unsigned Passes = 2;

    explicit OperatorStore(Database& db, WallClock now = wallClockMs) : m_db(db), m_now(std::move(now)) {}

    // Practice mode is on while the table holds any operator.
    bool practiceMode(Status* status = nullptr);
    // A new account; the first must be an admin (it turns practice mode on).
    // Names are unique without regard to case and never empty.
    Status add(const QString& name, Role role, const QString& password);
    QVector<OperatorRow> list(Status* status);
    std::optional<OperatorRow> find(const QString& name, Status* status = nullptr);
    // A new password; it also ends a wait and clears the count of failures.
    Status passwd(const QString& name, const QString& password);
    // Refused for the last enabled admin: nobody could manage the accounts then.
    Status disable(const QString& name);
    // Checks the password: a try during a wait is refused without checking;
    // the fifth wrong one in a row starts a wait of WaitMs.
    LoginVerdict verify(const QString& name, const QString& password);

private:
    Database& m_db;
    WallClock m_now;
};

// The Argon2id hash in encoded form; empty when hashing failed.
QString hashPassword(const QString& password);
bool passwordMatches(const QString& encoded, const QString& password);

// A login through the store that also fills the session and writes the log:
// "login" on success, "login.failed" (with the name tried) on every failure.
LoginVerdict logIn(SharedState& state, const QString& name, const QString& password,
                   const QString& workstation, const WallClock& now = wallClockMs);

// The screens' and the command line's messages.
QString wrongPasswordMessage();      // 帳號或密碼錯誤。
QString waitMessage(qint64 seconds); // 密碼錯誤次數過多，請於 N 秒後再試。
QString passwordEmptyMessage();

} // namespace lumo
