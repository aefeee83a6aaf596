// The subject editor, the save screen and the record browser driven with real
// key and mouse events: focus order, what a search may change, button enabling.
#include "base/formats.h"
#include "measurement/practicefixture.h"
#include "records/measurements.h"
#include "records/subjects.h"
#include "records/ui/subjectpicker.h"
#include "records/ui/tzuread.h"
#include "records/ui/tzuredit.h"
#include "records/ui/tzusave.h"
#include "support/keys.h"
#include "widgets/datefield.h"
#include "widgets/keyboard.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTableView>
#include <QTableWidget>
#include <QtTest>

using namespace lumo;
using namespace lumo::test;

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

void addSubjects(SharedState& s, const QStringList& numbers)
{
    for (const QString& n : numbers) {
        SubjectRow r;
        r.CUSTNO = n;
        r.NAME = QStringLiteral("Name ") + n;
        r.ADDR = QStringLiteral("Street ") + n;
        QVERIFY(SubjectStore(*s.MainDatabase).append(r));
    }
}

int rowOf(SubjectPicker* picker, const QString& number)
{
    for (int i = 0; i < picker->list().size(); ++i)
        if (picker->list().rowAt(i).CUSTNO == number) return i;
    return -1;
}

} // namespace

class TestRecordScreens : public QObject
{
    Q_OBJECT
private slots:
    // Tab and Enter follow the form: number, name, birth date, address, e-mail,
    // telephones, sex. A date is read as it was typed.
    void editorFocusOrderAndTypedDate()
    {
        Practice f;
        TZuREdit editor(TZuREdit::Mode::Add, f.state, *f.state.MainDatabase);
        QVERIFY(showActive(editor));
        QCOMPARE(QApplication::focusWidget(), editor.field("CUSTNO"));
        typeKeys(QStringLiteral("A01"));
        pressKey(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), editor.field("NAME"));
        typeKeys(QStringLiteral("Li"));
        pressKey(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), editor.field("DBIRTH"));
        QVERIFY(editor.findChild<QCheckBox*>(QStringLiteral("BirthCheck"))->isChecked());
        pressKey(Qt::Key_A, Qt::ControlModifier);
        typeKeys(QStringLiteral("1975/03/15"));
        pressKey(Qt::Key_Return);
        for (const char* next : {"ADDR", "EMAIL", "TEL", "TEL2", "TEL3"}) {
            QCOMPARE(QApplication::focusWidget(), editor.field(next));
            typeKeys(QStringLiteral("x"));
            pressKey(Qt::Key_Return);
        }
        QVERIFY(qobject_cast<QRadioButton*>(QApplication::focusWidget()));
        QCOMPARE(editor.field("DBIRTH")->text(), QStringLiteral("1975/03/15"));
        QCOMPARE(editor.field("ADDR")->text(), QStringLiteral("x"));
        editor.save();
        auto stored = SubjectStore(*f.state.MainDatabase).findByCustNo(QStringLiteral("A01"));
        QVERIFY(stored);
        QCOMPARE(dateFromDayNumber(stored->DBIRTH), QDate(1975, 3, 15));
        QCOMPARE(stored->TEL3, QStringLiteral("x"));
        QVERIFY(stored->MEMO.isEmpty());
    }

    // Enter after the name, the date typed from the field's start (no key to
    // clear it first), Enter: a date goes on to 地址; a text that is no date
    // is refused with a message and stays in the field, which keeps the focus;
    // a proposal passed over with Enter is no birth date.
    void editorDateForms_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QDate>("date"); // invalid: refused (or, typed empty, passed over)
        QTest::newRow("as shown") << "1975/03/15" << QDate(1975, 3, 15);
        QTest::newRow("short month and day") << "1975/3/5" << QDate(1975, 3, 5);
        QTest::newRow("dashes") << "1975-03-15" << QDate(1975, 3, 15);
        QTest::newRow("digits only") << "19800101" << QDate(1980, 1, 1);
        QTest::newRow("no such month") << "2019/75/09" << QDate();
        QTest::newRow("no such day") << "1975/02/30" << QDate();
        QTest::newRow("incomplete") << "1975/03" << QDate();
        QTest::newRow("passed over") << "" << QDate();
    }
    void editorDateForms()
    {
        QFETCH(QString, typed);
        QFETCH(QDate, date);
        Practice f;
        TZuREdit editor(TZuREdit::Mode::Add, f.state, *f.state.MainDatabase);
        QVERIFY(showActive(editor));
        editor.field("NAME")->setFocus();
        pressKey(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), editor.field("DBIRTH"));
        typeKeys(typed);
        pressKey(Qt::Key_Return);
        auto* birthBox = editor.findChild<QCheckBox*>(QStringLiteral("BirthCheck"));
        const bool refused = !date.isValid() && !typed.isEmpty();
        if (refused) {
            QTRY_VERIFY(!f.messages.shown().empty());
            QCOMPARE(f.messages.shown().back().text, refusedDateMessage(typed));
            QCOMPARE(editor.field("DBIRTH")->text(), typed);
            QTRY_COMPARE(QApplication::focusWidget(), editor.field("DBIRTH"));
            QVERIFY(birthBox->isChecked());
            return;
        }
        QVERIFY(f.messages.shown().empty());
        QCOMPARE(QApplication::focusWidget(), editor.field("ADDR"));
        QCOMPARE(editor.field("DBIRTH")->text(), shortDate(date.isValid() ? date : QDate::currentDate()));
        QCOMPARE(birthBox->isChecked(), date.isValid());
    }

    void editorStatusTextIsWhole()
    {
        Practice f;
        TZuREdit editor(TZuREdit::Mode::Add, f.state, *f.state.MainDatabase);
        QVERIFY(showActive(editor));
        auto* status = editor.findChild<QLabel*>(QStringLiteral("StatusText"));
        QVERIFY(status);
        QVERIFY(status->text().endsWith(u("確認後請將資料儲存。")));
        const int needed = status->heightForWidth(status->width());
        QVERIFY2(needed <= status->height(),
                 qPrintable(QStringLiteral("%1 > %2").arg(needed).arg(status->height())));
    }

    // Searching moves through the list but does not choose where the measurement goes.
    void saveTargetOnlyByEnteringARow()
    {
        Practice f;
        addSubjects(f.state, {QStringLiteral("A01"), QStringLiteral("B02"), QStringLiteral("C03")});
        for (double& r : f.state.energy.Readings)
            r = 30;
        TZusave save(f.state);
        QVERIFY(showActive(save));
        auto* saveButton = save.findChild<QPushButton*>(QStringLiteral("SaveButton"));
        QCOMPARE(QApplication::focusWidget(), save.picker()->searchBox());
        typeKeys(QStringLiteral("B"));
        QCOMPARE(save.picker()->currentRow().CUSTNO, QStringLiteral("B02"));
        QVERIFY(!save.target());
        QVERIFY(!saveButton->isEnabled());
        clickCell(save.picker()->view(), rowOf(save.picker(), QStringLiteral("B02")), 2);
        QVERIFY(save.target());
        QCOMPARE(save.target()->CUSTNO, QStringLiteral("B02"));
        QVERIFY(saveButton->isEnabled());
        save.picker()->searchBox()->setFocus();
        typeKeys(QStringLiteral("\bC"));
        QCOMPARE(save.picker()->currentRow().CUSTNO, QStringLiteral("C03"));
        QCOMPARE(save.target()->CUSTNO, QStringLiteral("B02"));
    }

    void subjectColumnsShowTheirHeadings()
    {
        Practice f;
        TZusave save(f.state);
        QVERIFY(showActive(save));
        QTableView* view = save.picker()->view();
        const QFontMetrics fm(view->horizontalHeader()->font());
        for (int c = 0; c < view->model()->columnCount(); ++c) {
            const QString title = view->model()->headerData(c, Qt::Horizontal).toString();
            QVERIFY2(view->columnWidth(c) >= fm.horizontalAdvance(title) + 12, qPrintable(title));
        }
    }

    // Entering the current subject enables its buttons; entering an empty
    // measurement list leaves nothing to delete or load.
    void browserEnabling()
    {
        Practice f;
        addSubjects(f.state, {QStringLiteral("A01"), QStringLiteral("B02")});
        MeasurementRow m;
        m.CUSTNO = QStringLiteral("A01");
        m.ZU.fill(20);
        QVERIFY(MeasurementStore(*f.state.MainDatabase).append(m));
        f.state.CurrentSubject.CUSTNO = QStringLiteral("B02");
        TZuread browser(f.state, TZuread::LoadMode::MeasurementScreen);
        prepareKeyboard(browser);
        QVERIFY(showActive(browser));
        QTableView* subjects = browser.picker()->view();
        QCOMPARE(subjects->horizontalScrollBar()->value(), 0); // the Index column in view
        const int b = rowOf(browser.picker(), QStringLiteral("B02"));
        QCOMPARE(browser.picker()->currentPosition(), b);
        // What is current has its buttons, wherever the focus is: B02 has no measurement.
        auto enabled = [&](std::initializer_list<const char*> captions, bool on) {
            for (const char* a : captions)
                QVERIFY2(browser.action(u(a))->isEnabled() == on, a);
        };
        for (QWidget* focus :
             {static_cast<QWidget*>(subjects), static_cast<QWidget*>(browser.measurements())}) {
            focus->setFocus();
            enabled({"客戶修改", "客戶刪除"}, true);
            enabled({"載入資料", "修改資料", "刪除資料"}, false);
        }
        clickCell(subjects, rowOf(browser.picker(), QStringLiteral("A01")), 2);
        QCOMPARE(browser.measurements()->rowCount(), 1);
        enabled({"載入資料", "修改資料", "刪除資料", "客戶修改", "客戶刪除"}, true);
        // Their keys: Del in the search box deletes a character; in a list, it asks.
        for (QWidget* focus :
             {static_cast<QWidget*>(browser.picker()->searchBox()), static_cast<QWidget*>(subjects)}) {
            focus->setFocus();
            f.messages.push(false);
            QTest::keyClick(focus, Qt::Key_Delete);
            QCOMPARE(f.messages.shown().size(), size_t(focus == subjects ? 1 : 0));
        }
        QCOMPARE(f.messages.shown().back().text, QString::fromUtf8("確定要刪除這筆經絡能量數據嗎?"));
    }

    // The browser by keys alone: a subject found by the search is entered
    // (its buttons work), Down goes into the list, Tab leaves the list (it
    // never walks its cells), Enter goes on to the measurements and loads one.
    void browserByKeyboard()
    {
        Practice f;
        addSubjects(f.state, {QStringLiteral("A01"), QStringLiteral("B02")});
        for (int i = 0; i < 2; ++i) {
            MeasurementRow m;
            m.CUSTNO = QStringLiteral("A01");
            m.ZUDATE = 45000 + i;
            m.ZU.fill(20 + i);
            QVERIFY(MeasurementStore(*f.state.MainDatabase).append(m));
        }
        TZuread browser(f.state, TZuread::LoadMode::MeasurementScreen);
        prepareKeyboard(browser);
        QVERIFY(showActive(browser));
        QTableView* subjects = browser.picker()->view();
        browser.picker()->searchBox()->setFocus();
        typeKeys(QStringLiteral("B0"));
        QCOMPARE(browser.picker()->currentRow().CUSTNO, QStringLiteral("B02"));
        QVERIFY(browser.action(u("客戶修改"))->isEnabled());
        pressKey(Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), subjects);
        pressKey(Qt::Key_Tab);
        QVERIFY(!subjects->isAncestorOf(QApplication::focusWidget()) &&
                QApplication::focusWidget() != subjects);

        browser.picker()->searchBox()->setFocus();
        pressKey(Qt::Key_A, Qt::ControlModifier);
        typeKeys(QStringLiteral("A"));
        pressKey(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), subjects);
        QCOMPARE(browser.picker()->currentRow().CUSTNO, QStringLiteral("A01"));
        pressKey(Qt::Key_Return);
        QCOMPARE(QApplication::focusWidget(), browser.measurements());
        QCOMPARE(browser.measurements()->currentRow(), 0);
        QVERIFY(browser.action(u("載入資料"))->isEnabled());
        pressKey(Qt::Key_Down);
        pressKey(Qt::Key_Return);
        QVERIFY(browser.loaded());
        QCOMPARE(browser.loadedRow().ZU[0], 21.0);
        QVERIFY(!browser.isVisible());
    }

    // Ctrl+F goes to the filter box; typing narrows the list to the subjects
    // whose number, name or telephone holds the text; Down enters the list on
    // the first of them with its actions; an emptied box shows all again.
    void filterByKeyboard_data()
    {
        QTest::addColumn<bool>("browser");
        QTest::newRow("record browser") << true;
        QTest::newRow("save screen") << false;
    }
    void filterByKeyboard()
    {
        QFETCH(bool, browser);
        Practice f;
        addSubjects(f.state, {QStringLiteral("A01"), QStringLiteral("B02"), QStringLiteral("C03")});
        std::unique_ptr<QDialog> screen;
        if (browser)
            screen = std::make_unique<TZuread>(f.state, TZuread::LoadMode::MeasurementScreen);
        else
            screen = std::make_unique<TZusave>(f.state);
        SubjectPicker* picker = browser ? static_cast<TZuread*>(screen.get())->picker()
                                        : static_cast<TZusave*>(screen.get())->picker();
        prepareKeyboard(*screen);
        QVERIFY(showActive(*screen));
        pressKey(Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), picker->filterBox());
        typeKeys(QStringLiteral("me b"));
        QCOMPARE(picker->list().size(), 1);
        pressKey(Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), picker->view());
        QCOMPARE(picker->currentRow().CUSTNO, QStringLiteral("B02"));
        if (browser) QVERIFY(static_cast<TZuread*>(screen.get())->action(u("客戶修改"))->isEnabled());
        picker->filterBox()->clear();
        QCOMPARE(picker->list().size(), 3);
    }

    // Tab in the memo moves on (the screens are walked by Tab); Ctrl+Tab types a tab.
    void tabLeavesTheMemo()
    {
        Practice f;
        TZuREdit editor(TZuREdit::Mode::Add, f.state, *f.state.MainDatabase);
        prepareKeyboard(editor);
        QVERIFY(showActive(editor));
        auto* memo = editor.findChild<QPlainTextEdit*>(QStringLiteral("MEMO"));
        memo->setFocus();
        typeKeys(QStringLiteral("a"));
        pressKey(Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(memo->toPlainText(), QStringLiteral("a\t"));
        pressKey(Qt::Key_Tab);
        QVERIFY(QApplication::focusWidget() != memo);
        QCOMPARE(memo->toPlainText(), QStringLiteral("a\t"));
    }

    // The memo box under the subjects shows the highlighted subject's memo as
    // soon as the browser opens, not only after a click.
    void browserOpensWithTheSubjectsMemo()
    {
        Practice f;
        SubjectRow r;
        r.CUSTNO = QStringLiteral("A01");
        r.NAME = QStringLiteral("Name A01");
        r.MEMO = u("初診");
        QVERIFY(SubjectStore(*f.state.MainDatabase).append(r));
        addSubjects(f.state, {QStringLiteral("B02")});
        TZuread browser(f.state, TZuread::LoadMode::MeasurementScreen);
        QVERIFY(showActive(browser));
        auto* memo = browser.findChild<QPlainTextEdit*>(QStringLiteral("SubjectMemo"));
        QVERIFY(memo);
        QCOMPARE(browser.picker()->currentRow().CUSTNO, QStringLiteral("A01"));
        QCOMPARE(memo->toPlainText(), u("初診"));
        clickCell(browser.picker()->view(), rowOf(browser.picker(), QStringLiteral("B02")), 2);
        QCOMPARE(memo->toPlainText(), QString());
    }
};

QTEST_MAIN(TestRecordScreens)
#include "test_record_screens.moc"
