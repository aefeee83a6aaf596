#pragma once
// Who may take the lock away: the operator who was working, or an admin,
// with that account's password (an enabled account of LUMOOPER, whose
// PWHASH holds an Argon2id encoded hash). The tries count like the login's:
// the lock screen is one more door to the same accounts, so five wrong
// passwords in a row make the next try there wait as well.

#include "practice/operators.h"

#include <QString>
#include <functional>

namespace lumo {

struct SharedState;

struct UnlockVerdict
{
    bool unlocked = false;
    QString message;      // why not, for the lock screen
    qint64 waitUntil = 0; // ms since the epoch: no try is checked before (0: none to wait)
};

using UnlockCheck = std::function<UnlockVerdict(const QString& name, const QString& password)>;

// The check against the main database, for the session of `state`.
UnlockCheck unlockCheck(SharedState& state, WallClock now = wallClockMs);

// 操作人員或密碼不正確。
QString unlockRefusedMessage();

} // namespace lumo
