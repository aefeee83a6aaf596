// lumo-cli operator: the accounts of practice mode. The first account (an
// admin) needs no login, as there is nobody to log in yet; the gate asks an
// admin's login for every later change.
#include "app/cli.h"

#include "practice/audit.h"
#include "practice/operators.h"
#include "shell/sharedstate.h"

#include <unistd.h>

namespace lumo {
namespace {

const char* kOperatorUsage =
    "usage: lumo-cli [--data-dir DIR] [--operator NAME] operator add --name NAME --role "
    "admin|practitioner|assistant\n"
    "       lumo-cli [--data-dir DIR] [--operator NAME] operator list | passwd --name NAME | disable --name "
    "NAME";

QString optionValue(const QStringList& args, const char* option)
{
    const int at = int(args.indexOf(QLatin1String(option)));
    return at >= 0 ? args.value(at + 1) : QString();
}

// The new password: typed twice on a terminal (the two must match), one line from a pipe.
bool readNewPassword(CliContext& c, QString* password)
{
    if (!readSecret(c, QString::fromUtf8("新密碼："), password) || password->isEmpty()) {
        *c.err << passwordEmptyMessage() << Qt::endl;
        return false;
    }
    if (::isatty(STDIN_FILENO) != 1) return true;
    QString again;
    if (!readSecret(c, QString::fromUtf8("再輸入一次新密碼："), &again) || again != *password) {
        *c.err << QString::fromUtf8("兩次輸入的密碼不同，未變更。") << Qt::endl;
        return false;
    }
    return true;
}

int failed(CliContext& c, const Status& st)
{
    *c.err << st.error << Qt::endl;
    return 2;
}

int list(CliContext& c, OperatorStore& store)
{
    Status st;
    const QVector<OperatorRow> rows = store.list(&st);
    if (!st) return failed(c, st);
    for (const OperatorRow& r : rows)
        *c.out << r.name << '\t' << roleKey(r.role) << '\t'
               << (r.disabled ? QString::fromUtf8("停用") : QString::fromUtf8("啟用")) << '\t' << r.created
               << Qt::endl;
    return 0;
}

} // namespace

int cmdOperator(CliContext& c)
{
    const QString sub = c.args.value(1);
    const QString name = optionValue(c.args, "--name");
    const bool named =
        sub == QLatin1String("add") || sub == QLatin1String("passwd") || sub == QLatin1String("disable");
    const QString roleWord = optionValue(c.args, "--role");
    const std::optional<Role> role = roleFromKey(roleWord);
    const int expected = sub == QLatin1String("list") ? 2 : sub == QLatin1String("add") ? 6 : 4;
    if ((!named && sub != QLatin1String("list")) || c.args.size() != expected || (named && name.isEmpty()) ||
        (sub == QLatin1String("add") && !role)) {
        *c.err << kOperatorUsage << Qt::endl;
        return 2;
    }
    SharedState state;
    ScriptedMessages quiet;
    if (!prepareState(c, state, quiet) || !state.MainDatabase) return 2;
    state.messages = nullptr;
    if (state.MainDatabase->readOnly()) return failed(c, Status::failure(state.ReadOnlyReason));
    OperatorStore store(*state.MainDatabase);
    store.setActor(state.Session);
    if (sub == QLatin1String("list")) return list(c, store);
    const char* action = sub == QLatin1String("add")      ? "operator.add"
                         : sub == QLatin1String("passwd") ? "operator.passwd"
                                                          : "operator.disable";
    const QString detail =
        sub == QLatin1String("add") ? QStringLiteral("%1 (%2)").arg(name.trimmed(), roleWord) : name;
    // The entry is written in the change's own transaction: an account change
    // the log cannot take is not made. The first account turns practice mode
    // on: it is the log's first entry.
    const auto log = [&]() -> Status {
        if (!state.Session.practiceMode) {
            state.Session.practiceMode = true;
            state.Session.name = name.trimmed();
        }
        return audit(state, {QLatin1String(action), {}, 0, detail});
    };
    Status st;
    if (sub == QLatin1String("disable")) {
        st = store.disable(name, log);
    } else {
        QString password;
        if (!readNewPassword(c, &password)) return 2;
        st = sub == QLatin1String("add") ? store.add(name, *role, password, log)
                                         : store.passwd(name, password, log);
    }
    if (!st) return failed(c, st);
    return 0;
}

} // namespace lumo
