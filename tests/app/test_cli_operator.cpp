// lumo-cli in practice mode: the accounts made from the command line, the
// login every command asks for (from LUMO_PASSWORD or a pipe), and the role's
// refusal, each before the command touches anything.

#include "records/database.h"
#include "records/schema.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <vector>

namespace {

struct Run
{
    int exitCode = -1;
    QString out, err;
};

// lumo-cli with `input` on its standard input (a pipe) and LUMO_PASSWORD set when given.
Run cli(const QString& dataDir, QStringList args, const QString& input, const QString& envPassword = {})
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("LUMO_PASSWORD"));
    if (!envPassword.isEmpty()) env.insert(QStringLiteral("LUMO_PASSWORD"), envPassword);
    p.setProcessEnvironment(env);
    args.prepend(dataDir);
    args.prepend(QStringLiteral("--data-dir"));
    p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"), args);
    p.write(input.toUtf8());
    p.closeWriteChannel();
    Run r;
    if (!p.waitForFinished(60000)) p.kill();
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The details of the log's rows of one action.
QStringList logged(const QString& dataDir, const char* action)
{
    lumo::Status st;
    auto db = lumo::Database::open(dataDir + QStringLiteral("/lumo4.mdb"), lumo::FileKind::Main,
                                   lumo::Database::Access::ReadOnly, &st);
    lumo::SqlRows rows;
    if (db)
        db->run(QStringLiteral("SELECT DETAIL FROM LUMOAUDIT WHERE ACTION = ? ORDER BY MKEY"),
                {QLatin1String(action)}, &rows);
    QStringList out;
    for (const lumo::SqlRow& r : rows)
        out << r.value(0).toString();
    return out;
}

// A data directory with one admin, boss / bosspw.
QString practice(const QTemporaryDir& dir, const char* name)
{
    const QString data = dir.filePath(QLatin1String(name));
    cli(data, QString::fromLatin1("operator add --name boss --role admin").split(QLatin1Char(' ')),
        QStringLiteral("bosspw\n"));
    return data;
}

QStringList words(const char* s)
{
    return QString::fromUtf8(s).split(QLatin1Char(' '), Qt::SkipEmptyParts);
}

} // namespace

class TestCliOperator : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_data;

private slots:
    void initTestCase()
    {
        m_data = m_dir.filePath(QStringLiteral("data"));
        // Before any account: a practitioner cannot be the first, an admin can (one line from the pipe).
        Run r = cli(m_data, words("operator add --name doc --role practitioner"), QStringLiteral("docpw\n"));
        QCOMPARE(r.exitCode, 2);
        r = cli(m_data, words("operator add --name Boss --role admin"), QStringLiteral("bosspw\n"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        // From now on an admin's login comes first: its password, then the new one.
        r = cli(m_data, words("operator add --name boss --role admin"), QStringLiteral("x\n"));
        QCOMPARE(r.exitCode, 2);
        for (const char* line : {"--operator boss operator add --name doc --role practitioner",
                                 "--operator boss operator add --name ann --role assistant"}) {
            r = cli(m_data, words(line), QStringLiteral("bosspw\nsecret\n"));
            QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        }
    }

    void gate_data()
    {
        QTest::addColumn<QString>("args");
        QTest::addColumn<QString>("input");    // the pipe
        QTest::addColumn<QString>("password"); // LUMO_PASSWORD
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message"); // on stderr, or (exit 0) on stdout
        const QString none;
        const QString login = QString::fromUtf8("需要登入"), rights = QString::fromUtf8("權限不足");
        QTest::newRow("no login: list") << "operator list" << none << none << 2 << login;
        QTest::newRow("no login: trend") << "trend --custno A1 --out OUT.csv" << none << none << 2 << login;
        QTest::newRow("no login: backup") << "backup --to OUT" << none << none << 2 << login;
        QTest::newRow("empty pipe") << "--operator boss operator list" << none << none << 2 << login;
        QTest::newRow("password from the pipe") << "--operator boss operator list"
                                                << "bosspw\n"
                                                << none << 0 << "ann\tassistant";
        QTest::newRow("password from the environment, other case")
            << "--operator BOSS operator list" << none << "bosspw" << 0 << "doc\tpractitioner";
        QTest::newRow("wrong password")
            << "--operator boss operator list" << none << "nope" << 2 << QString::fromUtf8("帳號或密碼錯誤");
        QTest::newRow("unknown operator")
            << "--operator eve operator list" << none << "bosspw" << 2 << QString::fromUtf8("帳號或密碼錯誤");
        QTest::newRow("assistant: operators")
            << "--operator ann operator list" << none << "secret" << 2 << rights;
        QTest::newRow("assistant: trend")
            << "--operator ann trend --custno A1 --out OUT.csv" << none << "secret" << 2 << rights;
        QTest::newRow("assistant: research export")
            << "--operator ann export-csv --to OUT" << none << "secret" << 2 << rights;
        QTest::newRow("assistant: backup")
            << "--operator ann backup --to OUT" << none << "secret" << 2 << rights;
        QTest::newRow("assistant: demo (stores and prints)")
            << "--operator ann demo --out OUT" << none << "secret" << 2 << rights;
        QTest::newRow("practitioner: restore")
            << "--operator doc restore OUT/x.mdb" << none << "secret" << 2 << rights;
        QTest::newRow("practitioner: replacing import")
            << "--operator doc import --from OUT --replace" << none << "secret" << 2 << rights;
        QTest::newRow("practitioner: another's password") << "--operator doc operator passwd --name ann"
                                                          << "secret\nx\n"
                                                          << none << 2 << rights;
        QTest::newRow("practitioner: disable")
            << "--operator doc operator disable --name boss" << none << "secret" << 2 << rights;
        QTest::newRow("admin: the last admin stays") << "--operator boss operator disable --name boss" << none
                                                     << "bosspw" << 2 << QString::fromUtf8("最後一位管理者");
    }
    void gate()
    {
        QFETCH(QString, args);
        QFETCH(QString, input);
        QFETCH(QString, password);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        const QString out = m_dir.filePath(QStringLiteral("out"));
        QDir(out).removeRecursively();
        args.replace(QStringLiteral("OUT"), out);
        const Run r = cli(m_data, args.split(QLatin1Char(' ')), input, password);
        QVERIFY2(r.exitCode == exitCode, qPrintable(r.err));
        QVERIFY2((exitCode == 0 ? r.out : r.err).contains(message), qPrintable(r.out + r.err));
        // A refused command left nothing behind.
        if (exitCode != 0) QVERIFY(!QFileInfo::exists(out));
    }

    // A command without a login leaves the file as it found it: not even the
    // guard of the log that a tamperer dropped is put back before a name is given.
    void noLoginWritesNothing()
    {
        const QString file = m_data + QStringLiteral("/lumo4.mdb");
        const auto triggers = [&file] {
            lumo::Status st;
            auto db = lumo::Database::open(file, lumo::FileKind::Main, lumo::Database::Access::ReadOnly, &st);
            lumo::SqlRows rows;
            if (db)
                db->run(QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'trigger' AND "
                                       "tbl_name = 'LUMOAUDIT'"),
                        {}, &rows);
            return rows.isEmpty() ? -1 : rows.first().value(0).toInt();
        };
        const int guarded = triggers();
        QVERIFY(guarded > 0);
        {
            lumo::Status st;
            auto db =
                lumo::Database::open(file, lumo::FileKind::Main, lumo::Database::Access::ReadWrite, &st);
            QVERIFY(db && db->run(QStringLiteral("DROP TRIGGER LUMOAUDIT_NO_UPDATE")));
        }
        for (const char* line : {"operator list", "backup --to x"}) {
            const Run r = cli(m_data, words(line), {});
            QCOMPARE(r.exitCode, 2);
            QCOMPARE(triggers(), guarded - 1);
        }
        // The program puts the guard back as soon as it works on the file with a
        // login, says so, and logs it.
        const Run listed = cli(m_data, words("--operator boss operator list"), {}, QStringLiteral("bosspw"));
        QCOMPARE(listed.exitCode, 0);
        QVERIFY2(listed.err.contains(QString::fromUtf8("稽核紀錄的保護觸發程序不見了")),
                 qPrintable(listed.err));
        QCOMPARE(triggers(), guarded);
        QVERIFY(logged(m_data, "audit.guard").size() == 1);
    }

    // A name that is no account's is often a password typed a field early:
    // the log keeps only its first two characters and its length.
    void unknownNamesAreNotLogged()
    {
        cli(m_data, words("--operator hunter2secret operator list"), {}, QStringLiteral("x"));
        cli(m_data, words("--operator ann operator list"), {}, QStringLiteral("wrong"));
        const QStringList details = logged(m_data, "login.failed");
        QVERIFY(details.contains(QString::fromUtf8("hu…（13 字）")));
        QVERIFY(details.contains(QStringLiteral("ann")));
        QVERIFY(!details.join(QLatin1Char(' ')).contains(QStringLiteral("hunter2")));
    }

    // Thirty wrong passwords at once: the count is shared, so five are
    // compared and the others wait.
    void parallelTriesShareOneCount()
    {
        const QString data = practice(m_dir, "parallel");
        std::vector<std::unique_ptr<QProcess>> runs;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("LUMO_PASSWORD"), QStringLiteral("nope"));
        for (int i = 0; i < 30; ++i) {
            runs.push_back(std::make_unique<QProcess>());
            runs.back()->setProcessEnvironment(env);
            runs.back()->start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"),
                               {QStringLiteral("--data-dir"), data, QStringLiteral("--operator"),
                                QStringLiteral("boss"), QStringLiteral("operator"), QStringLiteral("list")});
        }
        int wrong = 0, waiting = 0;
        for (auto& p : runs) {
            QVERIFY(p->waitForFinished(120000));
            const QString err = QString::fromUtf8(p->readAllStandardError());
            wrong += err.contains(QString::fromUtf8("帳號或密碼錯誤"));
            waiting += err.contains(QString::fromUtf8("錯誤次數過多"));
        }
        QCOMPARE(wrong, lumo::LoginMaxFails);
        QCOMPARE(waiting, 30 - lumo::LoginMaxFails);
    }

    // Accounts removed or disabled behind the program's back: every command
    // is refused with the way back, and the way back (a restore) works.
    void lockedOutUntilRestored_data()
    {
        QTest::addColumn<QString>("tamper");
        QTest::newRow("accounts removed") << "DELETE FROM LUMOOPER";
        QTest::newRow("admins disabled") << "UPDATE LUMOOPER SET DISABLED = 1";
    }
    void lockedOutUntilRestored()
    {
        QFETCH(QString, tamper);
        QTemporaryDir dir;
        const QString data = practice(dir, "locked");
        const Run backup =
            cli(data,
                {QStringLiteral("--operator"), QStringLiteral("boss"), QStringLiteral("backup"),
                 QStringLiteral("--to"), dir.filePath(QStringLiteral("copies"))},
                {}, QStringLiteral("bosspw"));
        QVERIFY2(backup.exitCode == 0, qPrintable(backup.err));
        {
            lumo::Status st;
            auto db = lumo::Database::open(data + QStringLiteral("/lumo4.mdb"), lumo::FileKind::Main,
                                           lumo::Database::Access::ReadWrite, &st);
            QVERIFY(db && db->run(tamper));
        }
        for (const char* line : {"operator list", "--operator boss operator list", "--simulate measure"}) {
            const Run r = cli(data, words(line), {}, QStringLiteral("bosspw"));
            QCOMPARE(r.exitCode, 2);
            QVERIFY2(r.err.contains(QString::fromUtf8("沒有任何啟用中的管理者")), qPrintable(r.err));
        }
        const Run restored = cli(data, {QStringLiteral("restore"), backup.out.trimmed()}, {});
        QVERIFY2(restored.exitCode == 0, qPrintable(restored.err));
        QCOMPARE(cli(data, words("--operator boss operator list"), {}, QStringLiteral("bosspw")).exitCode, 0);
    }

    // Everyone may change their own password, from a pipe once.
    void ownPassword()
    {
        Run r = cli(m_data, words("--operator ann operator passwd --name ann"),
                    QStringLiteral("secret\nnewpw\n"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        r = cli(m_data, words("--operator ann init"), {}, QStringLiteral("secret"));
        QCOMPARE(r.exitCode, 2);
        r = cli(m_data, words("--operator ann init"), {}, QStringLiteral("newpw"));
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    }
};

QTEST_GUILESS_MAIN(TestCliOperator)
#include "test_cli_operator.moc"
