#include "practice/unlockcheck.h"

#include "records/database.h"
#include "shell/sharedstate.h"

namespace lumo {

QString unlockRefusedMessage()
{
    return QString::fromUtf8("操作人員或密碼不正確。");
}

UnlockCheck unlockCheck(SharedState& state, WallClock now)
{
    return [&state, now](const QString& name, const QString& password) -> UnlockVerdict {
        const QString who = name.trimmed();
        if (!state.MainDatabase || who.isEmpty()) return {false, unlockRefusedMessage()};
        // Through the store, so that the failures count and a wait started
        // at the login (or on another workstation) holds here too.
        OperatorStore store(*state.MainDatabase, now);
        const LoginVerdict v = store.verify(who, password);
        const auto waiting = [&] {
            return UnlockVerdict{false, waitMessage((v.waitUntil - now() + 999) / 1000), v.waitUntil};
        };
        switch (v.outcome) {
        case LoginVerdict::Accepted: {
            const bool sameOperator = v.name.compare(state.Session.name, Qt::CaseInsensitive) == 0;
            if (sameOperator || v.role == Role::Admin) return {true, {}};
            return {false, unlockRefusedMessage()};
        }
        case LoginVerdict::Waiting:
            return waiting();
        case LoginVerdict::WrongPassword:
            return v.waitUntil > 0 ? waiting() : UnlockVerdict{false, unlockRefusedMessage()};
        case LoginVerdict::Failed:
            break;
        }
        return {false, v.status.error};
    };
}

} // namespace lumo
