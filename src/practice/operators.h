#pragma once
// The operator accounts (LUMOOPER) on either engine. Passwords are kept only
// as Argon2id hashes in the library's encoded form, which carries its salt and
// parameters, so stronger parameters later still verify the older hashes.

#include "base/status.h"
#include "practice/passwordhash.h"
#include "practice/session.h"
#include "records/schema.h"

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
    bool account = false; // the name is an account's (a failure then names it in the log)
    QString proof;        // when accepted: the stored hash, the proof the server asks of account changes
    Status status;
};

class OperatorStore
{
public:
    // After this many wrong passwords in a row the next try waits WaitMs.
    static constexpr int MaxFails = LoginMaxFails;
    static constexpr qint64 WaitMs = LoginWaitMs;

    // On a server the waits run on the server's own clock, which no room can
    // move; `now` is a file's clock (tests give a virtual one).
    explicit OperatorStore(Database& db, WallClock now = wallClockMs) : m_db(db), m_now(std::move(now)) {}

    // Who changes the accounts: a server refuses a change without the
    // proof of an enabled admin (or of the operator whose own password it is).
    void setActor(const OperatorSession& session) { m_actor = session; }

    // Practice mode is on while the table holds any operator.
    bool practiceMode(Status* status = nullptr);
    // Whether the log says practice mode was ever on (an operator.add):
    // then a database without an enabled admin is locked, not a fresh one.
    bool wasPracticeMode(Status* status = nullptr);
    // The number of enabled admins, or -1 when it cannot be read.
    qint64 enabledAdmins();
    // Practice mode once on stays on: a database whose log holds an
    // operator.add but which has no enabled admin (the accounts removed or
    // disabled behind the program's back) is locked, not turned off.
    bool lockedOut(Status* status);
    // A new account; the first must be an admin (it turns practice mode on).
    // Names are unique without regard to case and never empty. `alsoRun`
    // (the change's log entry) runs inside the change's transaction.
    Status add(const QString& name, Role role, const QString& password,
               const std::function<Status()>& alsoRun = {});
    QVector<OperatorRow> list(Status* status);
    std::optional<OperatorRow> find(const QString& name, Status* status = nullptr);
    // A new password; it also ends a wait and clears the count of failures.
    Status passwd(const QString& name, const QString& password, const std::function<Status()>& alsoRun = {});
    // Refused for the last enabled admin: nobody could manage the accounts then.
    Status disable(const QString& name, const std::function<Status()>& alsoRun = {});
    // Checks the password: the try is counted and the wait read in one
    // transaction before the hash is compared, so that tries at once share
    // one count; a try during a wait is refused without comparing; the fifth
    // wrong one in a row starts a wait of WaitMs. A hash made at a lower cost
    // than the program's is made again once the password is known right.
    LoginVerdict verify(const QString& name, const QString& password);

private:
    struct Try
    {
        qint64 key = 0; // 0: no such account
        QString settings;
        qint64 waitUntil = 0;
        bool waiting = false;
    };
    Status settingsOf(const QString& name, Try* t);
    void compare(const Try& t, const QString& proof, LoginVerdict* v);
    void compareOnServer(const QString& name, const QString& proof, LoginVerdict* v);
    void rehash(const QString& name, const QString& password, LoginVerdict* v);
    Status inTransaction(const std::function<Status()>& change, const std::function<Status()>& alsoRun);

    Database& m_db;
    WallClock m_now;
    OperatorSession m_actor;
};

// A login through the store that also fills the session and writes the log:
// "login" on success, "login.failed" on every failure, naming the account
// tried; a name that is no account's is logged only as its first two
// characters and its length (it is often a password typed one field early).
LoginVerdict logIn(SharedState& state, const QString& name, const QString& password,
                   const QString& workstation, const WallClock& now = wallClockMs);

// The screens' and the command line's messages.
QString wrongPasswordMessage();      // 帳號或密碼錯誤。
QString waitMessage(qint64 seconds); // 密碼錯誤次數過多，請於 N 秒後再試。
QString passwordEmptyMessage();
// Why a locked-out database refuses everything, and the way back: a restore
// on a file, the schema owner's operator add on a server.
QString noEnabledAdminMessage(bool onServer);
// "ab…（7 字）": what the log keeps of a name that is no account's.
QString unknownNameTrace(const QString& name);

} // namespace lumo
