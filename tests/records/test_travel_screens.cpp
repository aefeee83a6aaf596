// The three screens through their seams, with real keys where the operator
// uses keys: the subject list read, previewed with its problems and
// imported; the merge with its fields picked, its question answered and
// undone; the subject's folder written; and what each says when it cannot.
#include "records/subjectmerge.h"
#include "records/ui/directorychooser.h"
#include "records/ui/tzuexport.h"
#include "records/ui/tzuimport.h"
#include "records/ui/tzumerge.h"
#include "support/keys.h"
#include "travelfixture.h"
#include "widgets/modal.h"

#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTableWidget>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QString lastShown(const ScriptedMessages& m)
{
    return m.shown().empty() ? QString() : m.shown().back().text;
}

} // namespace

class TestTravelScreens : public QObject
{
    Q_OBJECT
private slots:
    // The folder last exported to is kept in the workstation's settings: the tests' own.
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void importScreen()
    {
        TravelPractice p;
        p.subject(QStringLiteral("A01"), u("舊"));
        const QString path = p.dir.filePath(QStringLiteral("list.csv"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(u("Name,ID,Gender\nWang,N01,M\nLin,A01,F\nChen,N02,X\n").toUtf8());
        f.close();
        TZuImport screen(p.state);
        auto* file = screen.findChild<QLineEdit*>(QStringLiteral("CsvFile"));
        auto* import = screen.findChild<QPushButton*>(QStringLiteral("Import"));
        QTest::keyClicks(file, path);
        QTest::keyClick(file, Qt::Key_Return);
        QCOMPARE(screen.column(ImportField::CUSTNO)->currentText(), u("第 2 欄 ID"));
        QCOMPARE(screen.preview()->rowCount(), 3);
        QCOMPARE(screen.problems()->count(), 2); // the sex X, and A01 that is there
        QVERIFY(!import->isEnabled());
        // The sex taken out of the mapping: N02's row has no problem left.
        screen.column(ImportField::SEX)->setCurrentIndex(0);
        emit screen.column(ImportField::SEX)->activated(0);
        QCOMPARE(screen.problems()->count(), 1);
        QVERIFY(import->isEnabled());
        QTest::mouseClick(import, Qt::LeftButton);
        QCOMPARE(screen.imported(), 2);
        QCOMPARE(lastShown(p.messages), importDoneText(2, 1));
        QCOMPARE(SubjectStore(p.db()).count(), 3);
    }

    void importScreenUnreadable()
    {
        TravelPractice p;
        TZuImport screen(p.state);
        auto* file = screen.findChild<QLineEdit*>(QStringLiteral("CsvFile"));
        QTest::keyClicks(file, p.dir.path()); // a folder
        QTest::keyClick(file, Qt::Key_Return);
        QVERIFY(lastShown(p.messages).startsWith(u("受測者清單無法讀取")));
        QVERIFY(!screen.findChild<QPushButton*>(QStringLiteral("Import"))->isEnabled());
    }

    void mergeScreen()
    {
        TravelPractice p;
        const SubjectRow kept = p.subject(QStringLiteral("A01"), u("王"));
        p.measurement(QStringLiteral("A01"), 30);
        SubjectRow other;
        other.CUSTNO = QStringLiteral("A01");
        other.NAME = u("王小明");
        other.TEL = QStringLiteral("02-1234");
        SubjectStore(p.db()).append(other);
        TZuMerge screen(p.state, kept.MKEY);
        QCOMPARE(screen.others()->count(), 1);
        // The kept subject has no telephone: the other one's is proposed.
        QVERIFY(screen.option(MergeField::TEL, true)->isChecked());
        QVERIFY(screen.option(MergeField::NAME, false)->isChecked());
        screen.option(MergeField::NAME, true)->setFocus();
        QTest::keyClick(screen.option(MergeField::NAME, true), Qt::Key_Space);
        QVERIFY(screen.option(MergeField::NAME, true)->isChecked());
        QVERIFY(!screen.option(MergeField::NAME, false)->isChecked());

        p.messages.push(false); // 否: nothing happens
        screen.mergeClicked();
        QCOMPARE(SubjectStore(p.db()).count(), 2);
        screen.mergeClicked(); // 是
        QCOMPARE(SubjectStore(p.db()).count(), 1);
        QCOMPARE(SubjectStore(p.db()).get(kept.MKEY)->NAME, u("王小明"));
        QVERIFY(lastShown(p.messages).startsWith(u("合併完成")));
        QCOMPARE(screen.others()->count(), 0);
        screen.undoClicked();
        QCOMPARE(SubjectStore(p.db()).count(), 2);
        QVERIFY(lastShown(p.messages).startsWith(u("已復原上次的合併")));
    }

    // Beside the number's other holders, the subjects likely the same person.
    void mergeScreenProposesLikelyDuplicates()
    {
        TravelPractice p;
        const SubjectRow kept = p.subject(QStringLiteral("A01"), u("王小明"), true, 27000);
        p.subject(QStringLiteral("A01"), u("王"));
        p.subject(QStringLiteral("B02"), u("王小明"), true, 27000);
        p.subject(QStringLiteral("D04"), u("王大明"), true, 27000);
        TZuMerge screen(p.state, kept.MKEY);
        QCOMPARE(screen.others()->count(), 2);
        QCOMPARE(screen.others()->itemText(0), u("A01 王"));
        QCOMPARE(screen.others()->itemText(1), u("B02 王小明  (可能重覆：同姓名及生日)"));
        screen.others()->setCurrentIndex(1);
        QCOMPARE(screen.option(MergeField::CUSTNO, true)->text(), QStringLiteral("B02"));
    }

    // Enter on the merge screen, wherever the keys stand, never merges nor
    // undoes: only a button pressed on purpose does.
    void enterNeverMerges_data()
    {
        QTest::addColumn<QString>("focus");
        QTest::newRow("a field's choice") << QStringLiteral("choice");
        QTest::newRow("the number box") << QStringLiteral("FindNumber");
        QTest::newRow("the list of others") << QStringLiteral("Others");
    }
    void enterNeverMerges()
    {
        QFETCH(QString, focus);
        TravelPractice p;
        const SubjectRow kept = p.subject(QStringLiteral("A01"), u("王"));
        p.subject(QStringLiteral("A01"), u("王小明"));
        TZuMerge screen(p.state, kept.MKEY);
        prepareScreen(screen);
        QVERIFY(showActive(screen));
        QWidget* w = focus == QLatin1String("choice") ? screen.option(MergeField::NAME, true)
                                                      : screen.findChild<QWidget*>(focus);
        w->setFocus();
        pressKey(Qt::Key_Return);
        QCOMPARE(SubjectStore(p.db()).count(), 2);
        QVERIFY(p.messages.shown().empty());
        QVERIFY(screen.isVisible());
    }

    // Opened after an import, on the numbers two subjects hold.
    void mergeScreenOnDuplicates()
    {
        TravelPractice p;
        p.subject(QStringLiteral("B01"), u("甲"));
        const SubjectRow first = p.subject(QStringLiteral("A01"), u("乙"));
        p.subject(QStringLiteral("a01"), u("乙"));
        TZuMerge screen(p.state, 0);
        QCOMPARE(screen.findChild<QLabel*>(QStringLiteral("Kept"))->text(), u("A01 乙"));
        QCOMPARE(screen.others()->count(), 1);
        screen.mergeClicked();
        QVERIFY(SubjectStore(p.db()).get(first.MKEY));
        QCOMPARE(SubjectStore(p.db()).count(), 2);
        QCOMPARE(screen.findChild<QComboBox*>(QStringLiteral("Duplicates"))->isEnabled(), false);
    }

    void exportScreen_data()
    {
        QTest::addColumn<bool>("folderThere");
        QTest::newRow("written") << false;
        QTest::newRow("the folder is there already") << true;
    }
    void exportScreen()
    {
        QFETCH(bool, folderThere);
        TravelPractice p;
        const SubjectRow s = p.subject(QStringLiteral("A01"), u("王"));
        p.measurement(QStringLiteral("A01"), 30);
        TZuExport screen(p.state, s);
        screen.show(); // the default button answers Return only when shown
        auto* name = screen.findChild<QLineEdit*>(QStringLiteral("FolderName"));
        screen.directory()->setDirectory(p.dir.path());
        name->setText(QStringLiteral("copy"));
        if (folderThere) QVERIFY(QDir(p.dir.path()).mkdir(QStringLiteral("copy")));
        QTest::keyClick(name, Qt::Key_Return); // the default button
        if (folderThere) {
            QVERIFY(lastShown(p.messages).contains(u("已經存在")));
            QVERIFY(screen.written().isEmpty());
            QVERIFY(QDir(p.dir.filePath(QStringLiteral("copy"))).isEmpty());
            return;
        }
        QCOMPARE(screen.written(), p.dir.filePath(QStringLiteral("copy")));
        QVERIFY(QFile::exists(p.dir.filePath(QStringLiteral("copy/subject.json"))));
        QVERIFY(lastShown(p.messages).startsWith(u("個人資料已匯出 (1 筆測量資料)")));
        // The next export starts where this one went.
        QCOMPARE(TZuExport(p.state, s).directory()->directory(), p.dir.path());
        name->setText(QStringLiteral("a/b")); // no plain name: nothing to press
        QVERIFY(!screen.findChild<QPushButton*>(QStringLiteral("Export"))->isEnabled());
    }
};

QTEST_MAIN(TestTravelScreens)
#include "test_travel_screens.moc"
