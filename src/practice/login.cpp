// The login of either program: the store's verdict, the session and the log.
#include "practice/audit.h"
#include "practice/operators.h"
#include "shell/sharedstate.h"

#include <QtDebug>

namespace lumo {

LoginVerdict logIn(SharedState& state, const QString& name, const QString& password,
                   const QString& workstation, const WallClock& now)
{
    if (!state.MainDatabase) {
        LoginVerdict v;
        v.status = Status::failure(QStringLiteral("no main database"));
        return v;
    }
    OperatorStore store(*state.MainDatabase, now);
    LoginVerdict v = store.verify(name, password);
    state.Session.practiceMode = true;
    state.Session.workstation = workstation;
    if (v.outcome == LoginVerdict::Accepted) {
        state.Session.name = v.name;
        state.Session.role = v.role;
        state.Session.proof = v.proof;
    } else {
        state.Session.name.clear();
        state.Session.proof.clear();
    }
    const AuditEntry entry =
        v.outcome == LoginVerdict::Accepted
            ? AuditEntry{QStringLiteral("login"), {}, 0, {}}
            : AuditEntry{QStringLiteral("login.failed"), {}, 0, v.account ? name : unknownNameTrace(name)};
    // A login stands without its entry (refusing it would lock every
    // operator out while the log cannot be written); the failure is said.
    if (const Status logged = audit(state, entry); !logged) qWarning("audit: %s", qPrintable(logged.error));
    return v;
}

} // namespace lumo
