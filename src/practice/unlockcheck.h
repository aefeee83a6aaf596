#pragma once
// Who may take the lock away: the operator who was working, or an admin,
// with that account's password (an enabled account of LUMOOPER, whose
// PWHASH holds an Argon2id encoded hash).

#include <QString>
#include <functional>

namespace lumo {

struct SharedState;

using UnlockCheck = std::function<bool(const QString& name, const QString& password)>;

// The check against the main database, for the session of `state`.
UnlockCheck unlockCheck(SharedState& state);

} // namespace lumo
