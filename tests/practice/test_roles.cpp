// The role table over every role and every permission, the session's rules
// around it (outside practice mode, before the login) and the refusals' texts.

#include "practice/roles.h"

#include <QtTest>

using namespace lumo;

Q_DECLARE_METATYPE(lumo::Role)
Q_DECLARE_METATYPE(lumo::Permission)

namespace {

using P = Permission;
// The permissions each role lacks; everything else is allowed.
const QVector<P> kPractitionerLacks = {P::ReplacingImport, P::Restore, P::Operators, P::AuditLog};
const QVector<P> kAssistantMay = {P::Measure, P::Save, P::EditContacts, P::Calibrate};

bool expected(Role role, P p)
{
    switch (role) {
    case Role::Admin:
        return true;
    case Role::Practitioner:
        return !kPractitionerLacks.contains(p);
    case Role::Assistant:
        return kAssistantMay.contains(p);
    }
    return false;
}

} // namespace

class TestRoles : public QObject
{
    Q_OBJECT
private slots:
    void table_data()
    {
        QTest::addColumn<Role>("role");
        QTest::addColumn<Permission>("permission");
        const std::pair<Role, const char*> roles[] = {
            {Role::Admin, "admin"}, {Role::Practitioner, "practitioner"}, {Role::Assistant, "assistant"}};
        for (const auto& [role, name] : roles)
            for (int p = 0; p < PermissionCount; ++p)
                QTest::addRow("%s/%d", name, p) << role << Permission(p);
    }
    void table()
    {
        QFETCH(Role, role);
        QFETCH(Permission, permission);
        const bool want = expected(role, permission);
        QCOMPARE(roleAllows(role, permission), want);
        OperatorSession s{true, QStringLiteral("someone"), role, QStringLiteral("ws")};
        QCOMPARE(allowed(s, permission), want);
        // Before the login nothing; outside practice mode everything.
        s.name.clear();
        QVERIFY(!allowed(s, permission));
        s.practiceMode = false;
        QVERIFY(allowed(s, permission));
        // The tool tip names the refusal and the roles that may.
        const QString why = refusalReason(permission);
        QVERIFY(why.startsWith(QString::fromUtf8("權限不足")));
        QVERIFY(why.contains(QString::fromUtf8("管理者")));
        QCOMPARE(why.contains(QString::fromUtf8("助理")), expected(Role::Assistant, permission));
    }
};

QTEST_GUILESS_MAIN(TestRoles)
#include "test_roles.moc"
