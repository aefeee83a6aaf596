#include "base/codec.h"

#include <QtTest>

using namespace lumo;

class TestCodec : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QStringLiteral("LUMO 4000");
        QTest::newRow("chinese") << QString::fromUtf8("LUMO經絡能量分析儀");
        QTest::newRow("full-width blank") << QString::fromUtf8("肺　經");
        QTest::newRow("punctuation") << QString::fromUtf8("【您的體能過度低落，請特別留意身體機能及經絡的異常狀態】");
        QTest::newRow("empty") << QString();
    }
    void roundTrip()
    {
        QFETCH(QString, text);
        const QByteArray bytes = toCp950(text);
        QVERIFY(isValidCp950(bytes));
        QCOMPARE(fromCp950(bytes), text);
    }

    void knownBytes()
    {
        QCOMPARE(toCp950(QString::fromUtf8("中文")), QByteArray("\xa4\xa4\xa4\xe5"));
        QCOMPARE(fromCp950(QByteArray("\xa4\xa4\xa4\xe5")), QString::fromUtf8("中文"));
    }

    void invalidBytesBecomeReplacement_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        // 0xFA40 lies in the user-defined area, which the converter rejects.
        QTest::newRow("user-defined area") << QByteArray("A\xfa\x40" "B") << QString::fromUtf8("A\uFFFD@B");
        QTest::newRow("truncated lead byte") << QByteArray("A\xa4") << QString::fromUtf8("A\uFFFD");
        QTest::newRow("lone 0xFF") << QByteArray("\xffZ") << QString::fromUtf8("\uFFFDZ");
    }
    void invalidBytesBecomeReplacement()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QVERIFY(!isValidCp950(bytes));
        QCOMPARE(fromCp950(bytes), expected);
    }

    void unmappableCharactersBecomeQuestionMarks()
    {
        QCOMPARE(toCp950(QString::fromUtf8("a😀b")), QByteArray("a??b"));
    }
};

QTEST_GUILESS_MAIN(TestCodec)
#include "test_codec.moc"
