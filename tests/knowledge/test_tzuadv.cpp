#include "shell/sharedstate.h"
#include "app/tzuform.h"
#include "knowledge/decipher.h"
#include "knowledge/knowledgefixture.h"
#include "knowledge/ui/tzuadv.h"
#include "records/schema.h"

#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using namespace lumo;

namespace {

std::unique_ptr<Database> knowledgeFile(const QString& path) { return test::labelledKnowledgeFile(path); }

} // namespace

class TestTZuadv : public QObject
{
    Q_OBJECT
private slots:
    void listAndEntries()
    {
        QTemporaryDir dir;
        SharedState state;
        ScriptedMessages messages;
        state.messages = &messages;
        state.KnowledgeDatabase = knowledgeFile(dir.filePath(QStringLiteral("lumoTW.mdb")));
        QVERIFY(state.KnowledgeDatabase);
        TZuadv v(state);
        auto* list = v.findChild<QListWidget*>(QStringLiteral("ListBox1"));
        QCOMPARE(list->count(), 12);
        QCOMPARE(list->item(2)->text(), QString::fromUtf8(" 3. 手少陰 心　經"));
        QCOMPARE(list->item(9)->text(), QString::fromUtf8("10.足太陽 膀胱經"));
        // opening shows Lung
        QCOMPARE(v.findChild<QLabel*>(QStringLiteral("Value1"))->text(), QStringLiteral("1:DtEA1"));
        list->setCurrentRow(2);
        QCOMPARE(v.findChild<QLabel*>(QStringLiteral("Value6"))->text(), QStringLiteral("3:DtPot1"));
        QCOMPARE(v.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText(), QStringLiteral("3:DtMA1"));
        QCOMPARE(v.findChild<QPlainTextEdit*>(QStringLiteral("Memo6"))->toPlainText(), QStringLiteral("3:DtMH3\n\n3:DtMH2"));
        QCOMPARE(v.findChild<QPlainTextEdit*>(QStringLiteral("Memo8"))->toPlainText(), QStringLiteral("3:DtMA3\n\n3:DtMH4"));
        QCOMPARE(v.findChild<QPlainTextEdit*>(QStringLiteral("Memo9"))->toPlainText(), QStringLiteral("3:DtML4"));
        QVERIFY(messages.errors().isEmpty());
    }

    void brokenTextReachesTheErrorReport()
    {
        QTemporaryDir dir;
        SharedState state;
        ScriptedMessages messages;
        state.messages = &messages;
        {
            auto db = knowledgeFile(dir.filePath(QStringLiteral("lumoTW.mdb")));
        }
        {
            QSqlDatabase raw = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("raw"));
            raw.setDatabaseName(dir.filePath(QStringLiteral("lumoTW.mdb")));
            QVERIFY(raw.open());
            QSqlQuery q(raw);
            QVERIFY(q.exec(QStringLiteral("UPDATE ZUMTDB SET DtMA1 = 'ZZ' WHERE MKEY = 1")));
            raw.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("raw"));
        Status st;
        state.KnowledgeDatabase = Database::open(dir.filePath(QStringLiteral("lumoTW.mdb")), FileKind::Knowledge,
                                                 Database::Access::ReadOnly, &st);
        TZuadv v(state);
        QCOMPARE(messages.errors().size(), 1);
        QCOMPARE(v.findChild<QLabel*>(QStringLiteral("Value1"))->text(), QStringLiteral("1:DtEA1"));
    }

    // The delivered texts and course pictures, as a practitioner sees them.
    void deliveredEntries()
    {
        SharedState state;
        ScriptedMessages messages;
        state.messages = &messages;
        Status st;
        state.KnowledgeDatabase = Database::open(QStringLiteral(LUMO_SHARE_DIR "/lumoTW.mdb"), FileKind::Knowledge,
                                                 Database::Access::ReadOnly, &st);
        QVERIFY2(state.KnowledgeDatabase, qPrintable(st.error));
        TZuadv v(state);
        for (int row : {0, 7}) {
            v.findChild<QListWidget*>(QStringLiteral("ListBox1"))->setCurrentRow(row);
            QVERIFY(!v.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"))->toPlainText().isEmpty());
            QVERIFY(!v.findChild<QLabel*>(QStringLiteral("Image1"))->pixmap().isNull());
            const QString dir = qEnvironmentVariable("LUMO_SCREENSHOTS");
            if (!dir.isEmpty()) {
                v.resize(1000, 700);
                v.grab().save(QStringLiteral("%1/explanation%2.png").arg(dir).arg(row + 1));
            }
        }
        QVERIFY(messages.errors().isEmpty());
    }
};

QTEST_MAIN(TestTZuadv)
#include "test_tzuadv.moc"
