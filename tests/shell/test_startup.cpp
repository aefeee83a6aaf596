#include "shell/datadir.h"
#include "shell/sharedstate.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

using namespace lumo;

namespace {

QString delivered() { return QStringLiteral(LUMO_SHARE_DIR); }

void touch(const QString& path, const QByteArray& content)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(content);
}

QByteArray hashOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

// A database file with one subject, so the file can be told apart from the template.
void mainDatabaseWithSubject(const QString& path, const QString& number)
{
    Status st;
    auto db = Database::create(path, FileKind::Main, &st);
    QVERIFY2(db, qPrintable(st.error));
    QSqlQuery q(db->sql());
    QVERIFY(q.exec(QStringLiteral("INSERT INTO ZUCUST (CUSTNO) VALUES ('%1')").arg(number)));
}

QString subjectOf(const QString& path)
{
    Status st;
    auto db = Database::open(path, FileKind::Main, Database::Access::ReadOnly, &st);
    if (!db) return QStringLiteral("<unopenable>");
    QSqlQuery q(db->sql());
    if (q.exec(QStringLiteral("SELECT CUSTNO FROM ZUCUST")) && q.next()) return q.value(0).toString();
    return QString();
}

} // namespace

class TestStartup : public QObject
{
    Q_OBJECT
private slots:
    void freshDirectoryGetsEverything()
    {
        QTemporaryDir dir;
        SharedState s;
        s.DataDirectory = dir.path() + QLatin1Char('/');
        StartupOutcome o = runStartupFileSteps(s, delivered());
        QVERIFY(!o.templateMissing);
        QVERIFY2(o.databases.ok, qPrintable(o.databases.error));
        QVERIFY(o.configuration.ok);
        for (const char* f : {"Zuspa.mdb", "lumo4.mdb", "lumoTW.mdb", "lumoMTW.mdb", "ZuDefTw.ini"})
            QVERIFY2(QFile::exists(dir.filePath(QLatin1String(f))), f);
        QVERIFY(QFileInfo(dir.filePath(QStringLiteral("Data"))).isDir());
        QVERIFY(s.MainDatabase && s.KnowledgeDatabase);
        QVERIFY(s.KnowledgeDatabase->readOnly());
        QSqlQuery q(s.KnowledgeDatabase->sql());
        QVERIFY(q.exec(QStringLiteral("SELECT COUNT(*), MIN(MKEY), MAX(MKEY) FROM ZUMTDB")) && q.next());
        QCOMPARE(q.value(0).toInt(), 17);
        QCOMPARE(q.value(1).toInt(), 1);
        QCOMPARE(q.value(2).toInt(), 17);
        QCOMPARE(s.config.CalibStandard, 4000);
    }

    void deliveredFilesNeverOverwrite()
    {
        QTemporaryDir dir;
        touch(dir.filePath(QStringLiteral("LUMOTW.MDB")), "mine");
        const QStringList copied = copyDeliveredFiles(delivered(), dir.path() + QLatin1Char('/')).copied;
        QVERIFY(!copied.contains(QStringLiteral("lumoTW.mdb")));
        QVERIFY(copied.contains(QStringLiteral("Zuspa.mdb")));
        QFile f(dir.filePath(QStringLiteral("LUMOTW.MDB")));
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), QByteArray("mine"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumoTW.mdb"))));
    }

    void upgradeSwap()
    {
        QTemporaryDir dir;
        copyDeliveredFiles(delivered(), dir.path());
        mainDatabaseWithSubject(dir.filePath(QStringLiteral("lumo4.mdb")), QStringLiteral("OLD"));
        mainDatabaseWithSubject(dir.filePath(QStringLiteral("lumo430.mdb")), QStringLiteral("NEW"));
        prepareDataDirectory(dir.path());
        QCOMPARE(subjectOf(dir.filePath(QStringLiteral("lumo.mdb"))), QStringLiteral("OLD"));
        QCOMPARE(subjectOf(dir.filePath(QStringLiteral("lumo4.mdb"))), QStringLiteral("NEW"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumo430.mdb"))));
    }

    void swapBlockedByOldDatabase()
    {
        QTemporaryDir dir;
        copyDeliveredFiles(delivered(), dir.path());
        mainDatabaseWithSubject(dir.filePath(QStringLiteral("lumo4.mdb")), QStringLiteral("CURRENT"));
        mainDatabaseWithSubject(dir.filePath(QStringLiteral("lumo430.mdb")), QStringLiteral("NEW"));
        mainDatabaseWithSubject(dir.filePath(QStringLiteral("lumo.mdb")), QStringLiteral("WAITING"));
        prepareDataDirectory(dir.path());
        QCOMPARE(subjectOf(dir.filePath(QStringLiteral("lumo4.mdb"))), QStringLiteral("CURRENT"));
        QCOMPARE(subjectOf(dir.filePath(QStringLiteral("lumo.mdb"))), QStringLiteral("WAITING"));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumo430.mdb"))));
    }

    void missingMainDatabaseIsCopiedFromTemplate()
    {
        QTemporaryDir dir;
        copyDeliveredFiles(delivered(), dir.path());
        mainDatabaseWithSubject(dir.filePath(QStringLiteral("lumo430.mdb")), QStringLiteral("NEW"));
        prepareDataDirectory(dir.path());
        QCOMPARE(hashOf(dir.filePath(QStringLiteral("lumo4.mdb"))), hashOf(dir.filePath(QStringLiteral("Zuspa.mdb"))));
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumo430.mdb"))));
    }

    void missingTemplateIsReported()
    {
        QTemporaryDir dir;
        SharedState s;
        s.DataDirectory = dir.path() + QLatin1Char('/');
        StartupOutcome o = runStartupFileSteps(s, dir.filePath(QStringLiteral("nowhere")));
        QVERIFY(o.templateMissing);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumo4.mdb"))));
        QVERIFY(!o.databases.ok);
    }

    void corruptMainDatabaseIsLeftUntouched()
    {
        QTemporaryDir dir;
        copyDeliveredFiles(delivered(), dir.path());
        QByteArray garbage(8192, 'x');
        garbage.prepend("not a database at all");
        touch(dir.filePath(QStringLiteral("lumo4.mdb")), garbage);
        const QByteArray before = hashOf(dir.filePath(QStringLiteral("lumo4.mdb")));
        SharedState s;
        s.DataDirectory = dir.path() + QLatin1Char('/');
        StartupOutcome o = runStartupFileSteps(s, delivered());
        QVERIFY(!o.databases.ok);
        QVERIFY(o.databases.error.startsWith(QString::fromUtf8("LUMO 資料庫啟動錯誤！")));
        QVERIFY(o.databases.error.size() > QString::fromUtf8("LUMO 資料庫啟動錯誤！").size() + 2);
        QCOMPARE(hashOf(dir.filePath(QStringLiteral("lumo4.mdb"))), before);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("lumo4.mdb-wal"))));
    }

    void cliInitAndConfigDump()
    {
        QTemporaryDir dir;
        QProcess p;
        p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"), {"--data-dir", dir.path(), "init"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(QFile::exists(dir.filePath(QStringLiteral("ZuDefTw.ini"))));

        p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"), {"--data-dir", dir.path(), "config", "dump"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        const QByteArray out = p.readAllStandardOutput();
        QJsonParseError e;
        QJsonDocument doc = QJsonDocument::fromJson(out, &e);
        QVERIFY2(doc.isObject(), qPrintable(e.errorString()));
        QJsonObject o = doc.object();
        QCOMPARE(o.size(), 36);
        QCOMPARE(o.value("CalibStandard").toInt(), 4000);
        QCOMPARE(o.value("MinResponse").toDouble(), 1.0);
        QCOMPARE(o.value("LocateSound").toBool(), true);
        QCOMPARE(o.value("UserName2").toString(), QString::fromUtf8("LUMO 經絡能量分析儀分析報表"));
        // Keys in file order.
        QVERIFY(out.indexOf("\"CalibStandard\"") < out.indexOf("\"CalibHigh\""));
        QVERIFY(out.indexOf("\"ToolParam5\"") < out.indexOf("\"ToolParam6\""));

        // A damaged main database: exit 2 with the message on stderr, the file untouched.
        touch(dir.filePath(QStringLiteral("lumo4.mdb")), QByteArray(4096, 'z'));
        p.start(QStringLiteral(LUMO_BIN_DIR "/lumo-cli"), {"--data-dir", dir.path(), "init"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(QString::fromUtf8(p.readAllStandardError()).contains(QString::fromUtf8("資料庫啟動錯誤")));
        QCOMPARE(hashOf(dir.filePath(QStringLiteral("lumo4.mdb"))),
                 QCryptographicHash::hash(QByteArray(4096, 'z'), QCryptographicHash::Sha256));
    }

    void startupTellsOfANetworkFolder()
    {
        QTemporaryDir dir;
        for (const QByteArray& forced : {QByteArray("1"), QByteArray("0")}) {
            SharedState s;
            s.DataDirectory = dir.path() + QLatin1Char('/');
            qputenv("LUMO_NETWORK_FOLDER", forced);
            const StartupOutcome o = runStartupFileSteps(s, delivered());
            qunsetenv("LUMO_NETWORK_FOLDER");
            QCOMPARE(o.networkFolder, forced == "1");
        }
    }
};

QTEST_GUILESS_MAIN(TestStartup)
#include "test_startup.moc"
