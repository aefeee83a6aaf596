// Practice mode on the server: what the rooms' logins may do to the accounts
// and the log, as functions of the schema's owner. The rooms hold no write
// right on LUMOOPER and none on LUMOAUDIT (serverroles.cpp); each function
// runs with the owner's rights under a fixed search_path, so a room cannot
// slip in objects of its own, and does one thing with its own checks. A
// password is never checked in the server: the program computes the typed
// password's Argon2id hash under the stored salt and parameters
// (LUMO_OPER_SETTINGS), and the server compares it with the stored hash,
// which no room can read. That hash is also the proof an account change
// needs of the admin making it (or of the operator changing their own
// password). The schema's owner needs no proof: it owns the table anyway, and
// it is the way back for a practice whose admins are gone.
#include "records/schema.h"

namespace lumo {
namespace {

// The server's own clock, in ms since the epoch: the waits cannot be moved by a room.
const char* const kNow = "(extract(epoch from clock_timestamp()) * 1000)::bigint";

QString fn(const QString& schema, const char* signature, const char* returns, const QString& body)
{
    return QStringLiteral("CREATE OR REPLACE FUNCTION %1 RETURNS %2 LANGUAGE plpgsql SECURITY DEFINER "
                          "SET search_path = pg_catalog, %3, pg_temp AS $f$ %4 $f$")
        .arg(QLatin1String(signature), QLatin1String(returns), schema, body);
}

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Adding, a new password, disabling: each asks the owner's login or the
// proof of an enabled admin (a new password also the operator's own).
QStringList accountFunctions(const QString& schema)
{
    const QString owner = QStringLiteral("pg_has_role(session_user, (SELECT relowner FROM pg_class WHERE oid "
                                         "= 'LUMOOPER'::regclass), 'USAGE')");
    // The acting account's role when the proof is its stored hash and it is enabled; NULL otherwise.
    // (Never NULL: a NULL in a refusal's condition would let the change through.)
    const QString actor =
        QStringLiteral("COALESCE((SELECT ROLE FROM LUMOOPER WHERE lower(NAME) = lower(p_actor) "
                       "AND PWHASH = p_proof AND DISABLED = 0 ORDER BY MKEY LIMIT 1), '')");
    QStringList out;
    out << fn(
        schema,
        "LUMO_OPER_ADD(p_actor text, p_proof text, p_name text, p_role text, p_hash text, "
        "p_created text)",
        "void",
        QStringLiteral("BEGIN LOCK TABLE LUMOOPER IN SHARE ROW EXCLUSIVE MODE; "
                       "IF EXISTS (SELECT 1 FROM LUMOOPER) OR EXISTS (SELECT 1 FROM LUMOAUDIT WHERE ACTION = "
                       "'operator.add') THEN IF NOT (%1 OR %2 = 'admin') THEN RAISE EXCEPTION '%3'; END IF; "
                       "ELSIF p_role <> 'admin' THEN RAISE EXCEPTION '%4'; END IF; "
                       "IF EXISTS (SELECT 1 FROM LUMOOPER WHERE lower(NAME) = lower(p_name)) THEN "
                       "RAISE EXCEPTION '%5', p_name; END IF; "
                       "INSERT INTO LUMOOPER (NAME, ROLE, PWHASH, DISABLED, FAILS, WAITUNTIL, CREATED) "
                       "VALUES (p_name, p_role, p_hash, 0, 0, 0, p_created); END")
            .arg(owner, actor, u("只有管理者能變更操作人員。"), u("第一個操作人員必須是管理者（admin）。"),
                 u("操作人員名稱已存在：%")));
    out << fn(
        schema, "LUMO_OPER_PASSWD(p_actor text, p_proof text, p_name text, p_hash text)", "boolean",
        QStringLiteral("BEGIN IF NOT (%1 OR %2 = 'admin' OR (lower(p_actor) = lower(p_name) AND %2 <> "
                       "'')) THEN RAISE EXCEPTION '%3'; END IF; "
                       "UPDATE LUMOOPER SET PWHASH = p_hash, FAILS = 0, WAITUNTIL = 0 WHERE lower(NAME) = "
                       "lower(p_name); RETURN FOUND; END")
            .arg(owner, actor, u("只有管理者或本人能變更密碼。")));
    out << fn(schema, "LUMO_OPER_DISABLE(p_actor text, p_proof text, p_name text)", "boolean",
              QStringLiteral(
                  "DECLARE r record; BEGIN IF NOT (%1 OR %2 = 'admin') THEN RAISE EXCEPTION '%3'; END IF; "
                  "LOCK TABLE LUMOOPER IN SHARE ROW EXCLUSIVE MODE; "
                  "SELECT MKEY, ROLE, DISABLED INTO r FROM LUMOOPER WHERE lower(NAME) = lower(p_name) "
                  "ORDER BY MKEY LIMIT 1; IF NOT FOUND THEN RETURN false; END IF; "
                  "IF r.ROLE = 'admin' AND r.DISABLED = 0 AND (SELECT count(*) FROM LUMOOPER WHERE ROLE = "
                  "'admin' AND DISABLED = 0) <= 1 THEN RAISE EXCEPTION '%4'; END IF; "
                  "UPDATE LUMOOPER SET DISABLED = 1 WHERE MKEY = r.MKEY; RETURN true; END")
                  .arg(owner, actor, u("只有管理者能變更操作人員。"), u("不能停用最後一位管理者。")));
    return out;
}

} // namespace

const QStringList& practiceFunctionsPg()
{
    static const QStringList names = {
        QStringLiteral("LUMO_AUDIT_APPEND(text, text, text, text, text, bigint, text, text)"),
        QStringLiteral("LUMO_OPER_SETTINGS(text)"),
        QStringLiteral("LUMO_OPER_LOGIN(text, text)"),
        QStringLiteral("LUMO_OPER_REHASH(text, text, text)"),
        QStringLiteral("LUMO_OPER_ADD(text, text, text, text, text, text)"),
        QStringLiteral("LUMO_OPER_PASSWD(text, text, text, text)"),
        QStringLiteral("LUMO_OPER_DISABLE(text, text, text)"),
    };
    return names;
}

QStringList practiceFunctionStatementsPg(const QString& schema)
{
    QStringList out;
    // The append: the lock that keeps the chain from forking, the row, and
    // its hash in the server's own log, out of every room's reach. DBUSER and
    // DBTIME are filled by their defaults: the login and the server's clock.
    out << fn(schema,
              "LUMO_AUDIT_APPEND(p_time text, p_operator text, p_ws text, p_action text, p_custno text, "
              "p_datakey bigint, p_detail text, p_hash text)",
              "bigint",
              QStringLiteral(
                  "DECLARE k bigint; BEGIN LOCK TABLE LUMOAUDIT IN SHARE ROW EXCLUSIVE MODE; "
                  "INSERT INTO LUMOAUDIT (ATIME, OPERATOR, WORKSTATION, ACTION, CUSTNO, DATAKEY, DETAIL, "
                  "HASH) VALUES (p_time, p_operator, p_ws, p_action, p_custno, p_datakey, p_detail, "
                  "p_hash) RETURNING MKEY INTO k; "
                  "RAISE LOG 'lumo audit row % hash % login % schema %', k, p_hash, session_user, "
                  "current_schema(); RETURN k; END"));
    out << fn(
        schema, "LUMO_OPER_SETTINGS(p_name text)",
        "TABLE(o_key bigint, o_settings text, o_wait bigint, o_waiting boolean)",
        QStringLiteral(
            "BEGIN RETURN QUERY SELECT MKEY, substring(PWHASH from '^(.*\\$)[^$]*$'), "
            "GREATEST(WAITUNTIL - %1, 0), %1 < WAITUNTIL FROM LUMOOPER WHERE lower(NAME) = lower(p_name) "
            "ORDER BY MKEY LIMIT 1; END")
            .arg(QLatin1String(kNow)));
    // One try: the row locked, the wait read, the try counted and the proof
    // compared in one step, so that tries at once share one count. Waits go
    // back as the time left: the workstation's clock need not be the server's.
    out << fn(
        schema, "LUMO_OPER_LOGIN(p_name text, p_proof text)",
        "TABLE(o_outcome integer, o_name text, o_role text, o_wait bigint)",
        QStringLiteral(
            "DECLARE r record; now bigint := %1; n integer; w bigint := 0; BEGIN "
            "SELECT MKEY, NAME, ROLE, PWHASH, DISABLED, FAILS, WAITUNTIL INTO r FROM LUMOOPER "
            "WHERE lower(NAME) = lower(p_name) ORDER BY MKEY LIMIT 1 FOR UPDATE; "
            "IF NOT FOUND THEN RETURN QUERY SELECT 1, ''::text, ''::text, 0::bigint; RETURN; END IF; "
            "IF now < r.WAITUNTIL THEN RETURN QUERY SELECT 2, r.NAME, r.ROLE, r.WAITUNTIL - now; RETURN; END "
            "IF; "
            "IF r.PWHASH = p_proof AND r.DISABLED = 0 THEN "
            "UPDATE LUMOOPER SET FAILS = 0, WAITUNTIL = 0 WHERE MKEY = r.MKEY AND (FAILS <> 0 OR WAITUNTIL "
            "<> 0); "
            "RETURN QUERY SELECT 0, r.NAME, r.ROLE, 0::bigint; RETURN; END IF; "
            "n := r.FAILS + 1; IF n >= %2 THEN w := now + %3; n := 0; END IF; "
            "UPDATE LUMOOPER SET FAILS = n, WAITUNTIL = w WHERE MKEY = r.MKEY; "
            "RETURN QUERY SELECT 1, ''::text, ''::text, CASE WHEN w > 0 THEN w - now ELSE 0 END; END")
            .arg(QLatin1String(kNow))
            .arg(LoginMaxFails)
            .arg(LoginWaitMs));
    out << fn(schema, "LUMO_OPER_REHASH(p_name text, p_proof text, p_new text)", "boolean",
              QStringLiteral("BEGIN UPDATE LUMOOPER SET PWHASH = p_new WHERE lower(NAME) = lower(p_name) AND "
                             "PWHASH = p_proof AND p_new LIKE '$argon2id$%%'; RETURN FOUND; END"));
    out << accountFunctions(schema);
    for (const QString& f : practiceFunctionsPg())
        out << QStringLiteral("REVOKE EXECUTE ON FUNCTION %1 FROM PUBLIC").arg(f);
    // Columns a room can neither set nor change: who appended the row, and when by the server's clock.
    out << QStringLiteral(
               "ALTER TABLE LUMOAUDIT ADD COLUMN IF NOT EXISTS DBUSER TEXT NOT NULL DEFAULT session_user")
        << QStringLiteral(
               "ALTER TABLE LUMOAUDIT ADD COLUMN IF NOT EXISTS DBTIME TIMESTAMPTZ NOT NULL DEFAULT "
               "clock_timestamp()");
    out << QStringLiteral("REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON LUMOOPER, LUMOAUDIT FROM PUBLIC");
    // Logins granted before the rooms lost their write rights lose them now.
    out << QStringLiteral(
        "DO $d$ DECLARE r record; BEGIN FOR r IN SELECT DISTINCT grantee FROM "
        "information_schema.role_table_grants WHERE table_schema = current_schema() AND table_name IN "
        "('lumooper', 'lumoaudit') AND privilege_type IN ('INSERT', 'UPDATE', 'DELETE', 'TRUNCATE') AND "
        "grantee <> 'PUBLIC' AND NOT pg_has_role(grantee, (SELECT relowner FROM pg_class WHERE oid = "
        "'LUMOOPER'::regclass), 'USAGE') "
        "LOOP EXECUTE format('REVOKE INSERT, UPDATE, DELETE, TRUNCATE ON LUMOOPER, LUMOAUDIT FROM %I', "
        "r.grantee); END LOOP; END $d$");
    return out;
}

} // namespace lumo
