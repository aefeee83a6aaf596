#include "practice/unlockcheck.h"

#include "records/engine.h"
#include "shell/sharedstate.h"

#include <argon2.h>

namespace lumo {

UnlockCheck unlockCheck(SharedState& state)
{
    return [&state](const QString& name, const QString& password) {
        if (!state.MainDatabase || name.trimmed().isEmpty()) return false;
        Engine& e = state.MainDatabase->engine();
        SqlRows rows;
        const Status st = e.run(QStringLiteral("SELECT ROLE, PWHASH, DISABLED FROM LUMOOPER WHERE %1 = %2")
                                    .arg(e.caseless(QStringLiteral("NAME")), e.caselessValue()),
                                {name.trimmed()}, &rows, nullptr);
        if (!st || rows.size() != 1) return false;
        const SqlRow& r = rows.front();
        const bool sameOperator = name.trimmed().compare(state.Session.name, Qt::CaseInsensitive) == 0;
        const bool admin = r[0].toString().compare(QStringLiteral("admin"), Qt::CaseInsensitive) == 0;
        if (r[2].toLongLong() != 0 || !(sameOperator || admin)) return false;
        const QByteArray hash = r[1].toString().toUtf8();
        const QByteArray pw = password.toUtf8();
        return argon2id_verify(hash.constData(), pw.constData(), size_t(pw.size())) == ARGON2_OK;
    };
}

} // namespace lumo
