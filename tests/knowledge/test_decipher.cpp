#include "base/codec.h"
#include "knowledge/decipher.h"

#include <QtTest>

using namespace lumo;

class TestDecipher : public QObject
{
    Q_OBJECT
private slots:
    // Output length for stored lengths 0..31: one byte per whole pair after the first,
    // one byte from three characters, errors for one or two.
    void lengths_data()
    {
        QTest::addColumn<int>("length");
        for (int n = 0; n <= 31; ++n) QTest::addRow("%d", n) << n;
    }
    void lengths()
    {
        QFETCH(int, length);
        const QString stored = QString(QStringLiteral("A7")).repeated(16).left(length);
        QString error;
        auto out = decipherKnowledgeBytes(stored, &error);
        if (length == 1 || length == 2) {
            QVERIFY(!out);
            QVERIFY(!error.isEmpty());
            return;
        }
        QVERIFY(out);
        // an odd last character is ignored from five on; three characters give one byte
        const int expected = length == 0 ? 0 : length == 3 ? 1 : (length - 2) / 2;
        QCOMPARE(out->size(), expected);
    }

    // The key wraps: byte 14 uses the key's first character again.
    void keyWraps()
    {
        // With stored pairs of 00 after a first pair of 00: a = key char XOR 0 minus... prev = 0, so a = key char - 0.
        const QString stored = QStringLiteral("00") + QStringLiteral("00").repeated(14);
        auto out = decipherKnowledgeBytes(stored);
        QVERIFY(out);
        QCOMPARE(out->size(), 14);
        QCOMPARE(out->at(0), 'R');
        QCOMPARE(out->at(12), 'k');
        QCOMPARE(out->at(13), 'R');
    }

    void extremes()
    {
        // prev 0x12; c = 0x40 -> 0x40 ^ 0x52 = 0x12 = prev -> 255
        QCOMPARE(quint8(decipherKnowledgeBytes(QStringLiteral("1240"))->at(0)), quint8(255));
        // c = 0x41 -> 0x13 = prev + 1 -> 1
        QCOMPARE(quint8(decipherKnowledgeBytes(QStringLiteral("1241"))->at(0)), quint8(1));
        // lower case digits read the same
        QCOMPARE(*decipherKnowledgeBytes(QStringLiteral("a7b3c4")), *decipherKnowledgeBytes(QStringLiteral("A7B3C4")));
        // three characters: the single third digit is the pair
        QCOMPARE(decipherKnowledgeBytes(QStringLiteral("005"))->size(), 1);
        QCOMPARE(quint8(decipherKnowledgeBytes(QStringLiteral("005"))->at(0)), quint8(0x05 ^ 0x52));
    }

    void invalidInput_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::newRow("one character") << "A";
        QTest::newRow("two characters") << "A7";
        QTest::newRow("bad first pair") << "G7A0";
        QTest::newRow("bad later pair") << "A7A0ZZ";
        QTest::newRow("full-width digit") << QString::fromUtf8("A7１２");
    }
    void invalidInput()
    {
        QFETCH(QString, stored);
        QString error;
        QVERIFY(!decipherKnowledgeBytes(stored, &error));
        QVERIFY(!error.isEmpty());
    }

    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("first");
        QTest::newRow("meridian") << QString::fromUtf8("手太陰肺經，起於中焦。") << 0x00;
        QTest::newRow("first FF") << QString::fromUtf8("太淵 LU9") << 0xFF;
        QTest::newRow("first 80") << QString::fromUtf8("【您的體能過度低落，請特別留意身體機能及經絡的異常狀態】") << 0x80;
        QTest::newRow("line breaks") << QString::fromUtf8("第一行\r\n第二行") << 0x3C;
    }
    void roundTrip()
    {
        QFETCH(QString, text);
        QFETCH(int, first);
        auto stored = EncipherKnowledgeText(text, first);
        QVERIFY(stored);
        QCOMPARE(stored->left(2).toInt(nullptr, 16), first);
        auto bytes = decipherKnowledgeBytes(*stored);
        QVERIFY(bytes);
        QCOMPARE(*bytes, toCp950(text));
        QCOMPARE(*DecipherKnowledgeText(*stored), text);
    }

    void messagesKeepPercentSigns()
    {
        QString error;
        QVERIFY(!DecipherKnowledgeText(QStringLiteral("zz%1"), &error));
        QVERIFY2(error.contains(QStringLiteral("'zz%1'")), qPrintable(error));
        QVERIFY2(error.endsWith(QStringLiteral("at 1)")), qPrintable(error));
    }

    void encipherRefusesCharactersOutsideCodePage950_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("position"); // 0: accepted
        QTest::newRow("accented letter") << QString::fromUtf8("火é") << 2;
        QTest::newRow("emoji after Chinese") << QString::fromUtf8("經絡😀") << 3;
        QTest::newRow("simplified form") << QString::fromUtf8("经") << 1;
        QTest::newRow("traditional with symbols") << QString::fromUtf8("經絡【】，100%") << 0;
    }
    void encipherRefusesCharactersOutsideCodePage950()
    {
        QFETCH(QString, text);
        QFETCH(int, position);
        QString error;
        const auto stored = EncipherKnowledgeText(text, 0x3C, &error);
        if (position == 0) {
            QVERIFY2(stored, qPrintable(error));
            QCOMPARE(*DecipherKnowledgeText(*stored), text);
            return;
        }
        QVERIFY(!stored);
        QVERIFY2(error.startsWith(QStringLiteral("character %1 ").arg(position)), qPrintable(error));
        qsizetype bad = -1;
        QVERIFY(!toCp950Strict(text, &bad));
        QCOMPARE(int(bad), position - 1);
    }

    void everyByteUnderEveryFirstPair()
    {
        QByteArray all;
        for (int b = 1; b <= 255; ++b) all.append(char(b));
        for (int first = 0; first <= 255; ++first) {
            auto stored = encipherKnowledgeBytes(all, first);
            QVERIFY(stored);
            QCOMPARE(*decipherKnowledgeBytes(*stored), all);
        }
        QCOMPARE(DecipherKnowledgeText(QString())->size(), 0);
    }
};

QTEST_GUILESS_MAIN(TestDecipher)
#include "test_decipher.moc"
