// The data directory and what the program creates in it are the user's alone;
// a data directory other users can read is told at start-up.
#include "../app/clirunner.h"

#include "base/atomicfile.h"
#include "base/privatefiles.h"
#include "shell/sharedstate.h"

#include <QDirIterator>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>

using namespace lumo;
using namespace lumo::test;

namespace {

unsigned modeOf(const QString& path)
{
    struct stat st
    {
    };
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 ? unsigned(st.st_mode & 07777) : 0xffff;
}

// Sets the creation mask for one test and puts the old one back.
class MaskFor
{
public:
    explicit MaskFor(mode_t mask) : m_old(::umask(mask)) {}
    ~MaskFor() { ::umask(m_old); }

private:
    mode_t m_old;
};

} // namespace

class TestPrivacy : public QObject
{
    Q_OBJECT
private slots:
    void initCreatesEverythingPrivate()
    {
        QTemporaryDir tmp;
        // The test runs under the usual mask; the program sets its own.
        MaskFor usual(022);
        const QString data = tmp.filePath(QStringLiteral("fresh/data"));
        const CliRun r = runCli({QStringLiteral("--data-dir"), data, QStringLiteral("init")});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(modeOf(data), 0700u);
        int files = 0;
        QDirIterator it(data, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString p = it.next();
            const unsigned mode = modeOf(p);
            QVERIFY2((mode & 077) == 0, qPrintable(QStringLiteral("%1: %2").arg(p).arg(mode, 0, 8)));
            ++files;
        }
        QVERIFY(files >= 5); // the databases, the configuration, the pictures
        QVERIFY(QFile::exists(data + QStringLiteral("/lumo4.mdb")));
    }

    void newFilesFollowTheMaskAndReplacedOnesKeepTheirMode_data()
    {
        QTest::addColumn<int>("mask");
        QTest::addColumn<int>("existing"); // -1: no file before
        QTest::addColumn<int>("expected");
        QTest::newRow("new, private mask") << 077 << -1 << 0600;
        QTest::newRow("new, usual mask") << 022 << -1 << 0644;
        QTest::newRow("replaced keeps 0640") << 077 << 0640 << 0640;
    }
    void newFilesFollowTheMaskAndReplacedOnesKeepTheirMode()
    {
        QFETCH(int, mask);
        QFETCH(int, existing);
        QFETCH(int, expected);
        QTemporaryDir tmp;
        const QString path = tmp.filePath(QStringLiteral("ZuDefTw.ini"));
        if (existing >= 0) {
            QVERIFY(writeFileAtomically(path, "old"));
            QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(existing)), 0);
        }
        const MaskFor m{mode_t(mask)};
        QVERIFY(writeFileAtomically(path, "new"));
        QCOMPARE(modeOf(path), unsigned(expected));
        const QString copy = tmp.filePath(QStringLiteral("copy"));
        QVERIFY(copyFileAtomically(path, copy));
        QCOMPARE(modeOf(copy), unsigned(((expected & 0777) | 0600) & ~mask));
    }

    void readableDataDirectoryIsReported_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("reported");
        QTest::newRow("0700") << 0700 << false;
        QTest::newRow("0711: others pass through, cannot list") << 0711 << false;
        QTest::newRow("0750: the group reads") << 0750 << true;
        QTest::newRow("0704: everyone reads") << 0704 << true;
        QTest::newRow("0755") << 0755 << true;
    }
    void readableDataDirectoryIsReported()
    {
        QFETCH(int, mode);
        QFETCH(bool, reported);
        QTemporaryDir tmp;
        const QString data = tmp.filePath(QStringLiteral("data"));
        QVERIFY(QDir().mkpath(data));
        QCOMPARE(::chmod(QFile::encodeName(data).constData(), mode_t(mode)), 0);
        SharedState s;
        s.DataDirectory = data + QLatin1Char('/');
        ScriptedMessages messages;
        s.messages = &messages;
        const StartupOutcome o = runStartupFileSteps(s, QStringLiteral(LUMO_SHARE_DIR));
        QCOMPARE(!o.privacy.ok, reported);
        if (reported) QVERIFY(o.privacy.error.contains(data));
        // The chosen folder is told about, never changed behind the user's back.
        QCOMPARE(modeOf(data), unsigned(mode));
        QVERIFY(o.databases);
    }
};

QTEST_GUILESS_MAIN(TestPrivacy)
#include "test_privacy.moc"
