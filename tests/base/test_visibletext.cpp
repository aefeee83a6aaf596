// Text from files others hand us, shown so that nothing in it hides.
#include "base/visibletext.h"

#include <QtTest>

using namespace lumo;

class TestVisibleText : public QObject
{
    Q_OBJECT
private slots:
    void marks_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        const QString u202e = QString(QChar(0x202E));
        QTest::newRow("plain") << "/usr/bin/xdg-open /tmp/a.pdf"
                               << "/usr/bin/xdg-open /tmp/a.pdf";
        QTest::newRow("Chinese") << QString::fromUtf8("療程 一") << QString::fromUtf8("療程 一");
        QTest::newRow("two blanks") << "a  b" << QString::fromUtf8("a⟨空白×2⟩b");
        QTest::newRow("thousands of blanks")
            << "P" + QString(5000, QLatin1Char(' ')) + "x" << QString::fromUtf8("P⟨空白×5000⟩x");
        QTest::newRow("forty line breaks")
            << "P" + QString(40, QLatin1Char('\n')) + "x" << QString::fromUtf8("P⟨換行×40⟩x");
        QTest::newRow("CR LF") << "a\r\nb" << QString::fromUtf8("a⟨歸位⟩⟨換行⟩b");
        QTest::newRow("a tab") << "a\tb" << QString::fromUtf8("a⟨定位⟩b");
        QTest::newRow("escape") << "a\x1b[2Jb" << QString::fromUtf8("a⟨U+001B⟩[2Jb");
        QTest::newRow("right-to-left override")
            << "fdp." + u202e + "exe" << QString::fromUtf8("fdp.⟨U+202E⟩exe");
        QTest::newRow("zero width") << QString::fromUtf8("a\u200Bb") << QString::fromUtf8("a⟨U+200B⟩b");
        QTest::newRow("ideographic blanks")
            << QString::fromUtf8("a\u3000\u3000b") << QString::fromUtf8("a⟨U+3000×2⟩b");
        QTest::newRow("a mark written out")
            << QString::fromUtf8("⟨空白×9⟩") << QString::fromUtf8("⟨U+27E8⟩空白×9⟨U+27E9⟩");
        QTest::newRow("an emoji stays")
            << QString::fromUtf8("a\U0001F600b") << QString::fromUtf8("a\U0001F600b");
        QTest::newRow("a lone surrogate") << QString(QChar(0xD800)) << QString::fromUtf8("⟨U+D800⟩");
    }
    void marks()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QCOMPARE(visibleText(text), shown);
    }

    void cutWhereAsked()
    {
        QCOMPARE(visibleText(QString(300, QLatin1Char('x')), 10),
                 QString(10, QLatin1Char('x')) + QString::fromUtf8("…（共 300 字）"));
        QCOMPARE(visibleText(QStringLiteral("short"), 10), QStringLiteral("short"));
    }
};

QTEST_GUILESS_MAIN(TestVisibleText)
#include "test_visibletext.moc"
