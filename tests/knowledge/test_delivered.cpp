#include "analysis/energy.h"
#include "base/codec.h"
#include "shell/datadir.h"
#include "knowledge/decipher.h"
#include "knowledge/sources.h"
#include "records/programs.h"
#include "records/schema.h"
#include "treatment/matching.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QtTest>

using namespace lumo;

namespace {

QString share() { return QStringLiteral(LUMO_SHARE_DIR); }
QString sources() { return QStringLiteral(LUMO_DATA_SOURCES); }

QString readUtf8(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

struct Typical
{
    const char* name;
    std::array<double, 24> values;
    bool male;
    int age;
};

std::array<double, 24> all(double v)
{
    std::array<double, 24> a;
    a.fill(v);
    return a;
}

std::array<double, 24> with(std::array<double, 24> a, std::initializer_list<int> points, double v)
{
    for (int p : points) a[size_t(p - 1)] = v;
    return a;
}

// Typical measurements (compensated values) a practice sees.
QVector<Typical> typicalMeasurements()
{
    std::array<double, 24> leftHigh{}, upper{}, lower{}, yin{}, yang{}, autonomic{};
    for (int p = 1; p <= 24; ++p) {
        const bool leftSide = sideOfPoint(p) == Side::Left;
        const bool yinOrgan = ((p - 1) / 3) % 2 == 0;
        leftHigh[size_t(p - 1)] = leftSide ? 60 : 30;
        upper[size_t(p - 1)] = p <= 12 ? 60 : 30;
        lower[size_t(p - 1)] = p <= 12 ? 25 : 50;
        yin[size_t(p - 1)] = yinOrgan ? 60 : 30;
        yang[size_t(p - 1)] = yinOrgan ? 30 : 60;
        autonomic[size_t(p - 1)] = (p <= 3 || (p >= 7 && p <= 9)) ? 70 : 35;
    }
    return {
        {"balanced", all(40), true, 45},
        {"low energy", all(15), true, 45},
        {"high energy", all(70), true, 45},
        {"one-sided excess", leftHigh, true, 45},
        {"autonomic imbalance", autonomic, true, 45},
        {"lung excess", with(all(40), {1, 7}, 80), true, 45},
        {"liver deficiency", with(all(40), {14, 20}, 10), true, 45},
        {"upper excess", upper, true, 45},
        {"lower excess", lower, true, 45},
        {"yin excess", yin, true, 45},
        {"yang excess", yang, true, 45},
        {"water deficiency", with(all(40), {15, 21, 16, 22}, 10), true, 45},
        {"balanced woman", all(40), false, 30},
        {"tired elderly woman", all(15), false, 70},
        {"spleen and stomach deficiency", with(all(40), {13, 19, 18, 24}, 12), true, 45},
    };
}

} // namespace

class TestDelivered : public QObject
{
    Q_OBJECT
private slots:
    void knowledgeRowsDecipherToTheirSources()
    {
        Status st;
        auto db = Database::open(share() + QStringLiteral("/lumoTW.mdb"), FileKind::Knowledge, Database::Access::ReadOnly, &st);
        QVERIFY2(db, qPrintable(st.error));
        KnowledgeStore store(*db);
        QCOMPARE(store.keys(), (QVector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
        for (int key = 1; key <= 17; ++key) {
            auto row = store.get(key);
            QVERIFY(row);
            auto source = parseKnowledgeSource(key, readUtf8(QStringLiteral("%1/knowledge/%2.txt").arg(sources()).arg(key, 2, 10, QLatin1Char('0'))), nullptr);
            QVERIFY(source);
            for (const QString& field : knowledgeTextFields()) {
                auto bytes = decipherKnowledgeBytes(row->text(field));
                QVERIFY2(bytes, qPrintable(QStringLiteral("%1 %2").arg(key).arg(field)));
                QVERIFY(isValidCp950(*bytes));
                QCOMPARE(fromCp950(*bytes), source->fields.value(field));
            }
            if (key <= 12) {
                // every meridian entry fills every field, and has its course picture
                for (const QString& field : knowledgeTextFields())
                    QVERIFY2(!source->fields.value(field).isEmpty(), qPrintable(QStringLiteral("%1 %2").arg(key).arg(field)));
                QImage course;
                QVERIFY(course.loadFromData(row->DtGpM));
                QCOMPARE(course.size(), QSize(360, 540));
            } else {
                for (const char* field : {"DtMA1", "DtMA2", "DtMH1", "DtML1"})
                    QVERIFY(!source->fields.value(QLatin1String(field)).isEmpty());
            }
        }
    }

    void knowledgeFactsAgreeWithTheCatalogue()
    {
        const QString pairs[12] = {"大腸", "三焦", "小腸", "心經", "心包", "肺經", "胃經", "膽經", "膀胱", "腎經", "肝經", "脾經"};
        for (int m = 0; m < 12; ++m) {
            auto s = parseKnowledgeSource(m + 1, readUtf8(QStringLiteral("%1/knowledge/%2.txt").arg(sources()).arg(m + 1, 2, 10, QLatin1Char('0'))), nullptr);
            QVERIFY(s);
            QCOMPARE(s->fields.value(QStringLiteral("DtPot1")), sourcePoint(Meridian(m)));
            QVERIFY2(s->fields.value(QStringLiteral("DtEA4")).contains(elementLabel(Meridian(m)).trimmed()), qPrintable(s->fields.value("DtEA4")));
            // the paired meridian is the catalogue's exterior-interior partner
            const QString partner = shortName(pairedMeridian(Meridian(m))).remove(QLatin1Char(' '));
            QVERIFY2(s->fields.value(QStringLiteral("DtEA2")).contains(partner), qPrintable(partner));
            QVERIFY(s->fields.value(QStringLiteral("DtEA1")).contains(meridianInfo(m).organ == Organ::Yin ? QString::fromUtf8("陰") : QString::fromUtf8("陽")));
            QVERIFY(s->fields.value(QStringLiteral("DtEA2")).contains(pairs[m].left(1)));
        }
    }

    void pointPictures()
    {
        const QDir data(share() + QStringLiteral("/Data"));
        int count = 0;
        for (int p = 1; p <= 24; ++p)
            for (int style = 1; style <= 3; ++style) {
                QImage img(data.filePath(pictureFileName(p, style)));
                QVERIFY2(!img.isNull(), qPrintable(pictureFileName(p, style)));
                QCOMPARE(img.size(), QSize(240, 180));
                ++count;
            }
        QCOMPARE(count, 72);
    }

    void masterProgramsParseAndMatch()
    {
        const QDir dir(sources() + QStringLiteral("/programs"));
        QVector<ProgramWithConditions> programs;
        for (const QString& name : dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name)) {
            QString error;
            auto p = parseProgramSource(readUtf8(dir.filePath(name)), &error);
            QVERIFY2(p, qPrintable(name + QStringLiteral(": ") + error));
            for (const ConditionRow& c : p->conditions) {
                QCOMPARE(c.ProCond.size(), 24);
                QCOMPARE(c.ProAnd.size(), 24);
                QVERIFY(c.ProAnd.endsWith(QStringLiteral("00")));
            }
            for (const QString& t : p->program.ProMed) QVERIFY(!t.isEmpty());
            for (const QString& t : p->program.ProHel) QVERIFY(!t.isEmpty());
            QVERIFY(!p->program.ProData.isEmpty());
            programs << *p;
        }
        QVERIFY(programs.size() >= 24);

        const auto typical = typicalMeasurements();
        for (const auto& program : programs) {
            int matched = 0;
            for (const Typical& t : typical) {
                auto a = analyseCompensated(t.values, t.male);
                QVERIFY(a);
                matched += ProgramMatches(program, *a, t.age, t.male);
            }
            QVERIFY2(matched >= 1, qPrintable(program.program.ProName + QStringLiteral(" matches no typical measurement")));
            QVERIFY2(matched < typical.size(), qPrintable(program.program.ProName + QStringLiteral(" matches every measurement")));
        }

        // The built file holds the same programs.
        Status st;
        auto db = Database::open(share() + QStringLiteral("/lumoMTW.mdb"), FileKind::Master, Database::Access::ReadOnly, &st);
        QVERIFY(db);
        QCOMPARE(ProgramStore(*db).loadAll().size(), programs.size());
    }
};

QTEST_MAIN(TestDelivered)
#include "test_delivered.moc"
