// 資料備份's screen: the encrypted choice as the role and the passphrase allow
// it, the passphrase fields usable only when it is ticked, and a refused
// passphrase told in the screen with the field keeping the focus.
#include "backup/backuppassphrase.h"
#include "backup/ui/backupdialog.h"
#include "records/database.h"
#include "shell/sharedstate.h"

#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

using namespace lumo;

Q_DECLARE_METATYPE(lumo::Role)

namespace {

QLineEdit* field(QDialog& d, const char* accessibleName)
{
    for (QLineEdit* e : d.findChildren<QLineEdit*>())
        if (e->accessibleName() == QString::fromUtf8(accessibleName)) return e;
    return nullptr;
}

} // namespace

class TestBackupDialog : public QObject
{
    Q_OBJECT
    QTemporaryDir m_set;
    QTemporaryDir m_unset;

private slots:
    void initTestCase()
    {
        Status st;
        for (const QTemporaryDir* d : {&m_set, &m_unset})
            QVERIFY(Database::create(d->filePath(QStringLiteral("lumo4.mdb")), FileKind::Main, &st));
        QVERIFY(setBackupPassphrase(m_set.path(), "correct horse battery"));
    }

    void choiceFollowsRoleAndPassphrase_data()
    {
        QTest::addColumn<bool>("set");
        QTest::addColumn<Role>("role");
        QTest::addColumn<bool>("enabled"); // 加密備份 can be ticked
        QTest::addColumn<bool>("twice");   // a new passphrase is typed twice
        QTest::newRow("admin, none set") << false << Role::Admin << true << true;
        QTest::newRow("assistant, none set") << false << Role::Assistant << false << false;
        QTest::newRow("assistant, set") << true << Role::Assistant << true << false;
    }
    void choiceFollowsRoleAndPassphrase()
    {
        QFETCH(bool, set);
        QFETCH(Role, role);
        QFETCH(bool, enabled);
        QFETCH(bool, twice);
        SharedState state;
        state.DataDirectory = (set ? m_set : m_unset).path();
        state.Session = {true, QStringLiteral("amy"), role, QStringLiteral("desk")};
        BackupDialog dialog(state);
        auto* box = dialog.findChild<QCheckBox*>();
        QLineEdit* pass = field(dialog, twice ? "新的備份密語" : "備份密語");
        QVERIFY(box && pass);
        QCOMPARE(box->isEnabled(), enabled);
        QCOMPARE(box->toolTip().contains(QString::fromUtf8("管理者先設定")), !enabled);
        QCOMPARE(field(dialog, "再輸入一次備份密語")->isVisibleTo(&dialog), twice);
        QVERIFY(!pass->isEnabled());
        if (!enabled) return;
        box->click();
        QVERIFY(pass->isEnabled());
        box->click();
        QVERIFY(!pass->isEnabled());
    }

    void wrongPassphraseKeepsTheField()
    {
        SharedState state;
        state.DataDirectory = m_set.path();
        QTemporaryDir out;
        BackupDialog dialog(state);
        field(dialog, "備份到資料夾")->setText(out.path());
        dialog.findChild<QCheckBox*>()->click();
        QLineEdit* pass = field(dialog, "備份密語");
        pass->setText(QStringLiteral("not the one set"));
        for (QPushButton* b : dialog.findChildren<QPushButton*>())
            if (b->isDefault()) b->click();
        QCOMPARE(dialog.result(), int(QDialog::Rejected)); // still open, not accepted
        QCOMPARE(dialog.focusWidget(), pass);
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("BackupNote"))
                    ->text()
                    .contains(QString::fromUtf8("不符")));
        QVERIFY(QDir(out.path()).isEmpty());
    }
};

QTEST_MAIN(TestBackupDialog)
#include "test_backupdialog.moc"
