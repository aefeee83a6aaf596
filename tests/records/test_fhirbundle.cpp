// The subject bundle read back: every stored value of the subject and of each
// measurement found again in its resource, the points with their codes and
// sides, the references inside the bundle, the indices of the analysis.
#include "analysis/energy.h"
#include "base/formats.h"
#include "records/fhirbundle.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace lumo;

Q_DECLARE_METATYPE(lumo::SubjectRow)
Q_DECLARE_METATYPE(QVector<lumo::MeasurementRow>)

namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

struct Bundle
{
    QJsonObject patient;
    QVector<QJsonObject> panels;
    QHash<QString, QJsonObject> byUrl;
};

Bundle read(const QByteArray& json)
{
    Bundle b;
    const QJsonObject root = QJsonDocument::fromJson(json).object();
    for (const QJsonValue& e : root.value(QStringLiteral("entry")).toArray()) {
        const QJsonObject r = e[QStringLiteral("resource")].toObject();
        b.byUrl.insert(e[QStringLiteral("fullUrl")].toString(), r);
        if (r[QStringLiteral("resourceType")] == QLatin1String("Patient")) b.patient = r;
        if (r.contains(QStringLiteral("hasMember"))) b.panels << r;
    }
    return b;
}

QString firstCode(const QJsonObject& cc)
{
    return cc[QStringLiteral("coding")].toArray().at(0)[QStringLiteral("code")].toString();
}

QString telecom(const QJsonObject& patient, const char* system, const char* use)
{
    for (const QJsonValue& t : patient[QStringLiteral("telecom")].toArray())
        if (t[QStringLiteral("system")] == QLatin1String(system) &&
            (!use || t[QStringLiteral("use")] == QLatin1String(use)))
            return t[QStringLiteral("value")].toString();
    return {};
}

double dayOf(const QString& dateTime)
{
    return dayNumber(QDateTime::fromString(dateTime, Qt::ISODateWithMs).toLocalTime());
}

MeasurementRow measurement(qint64 key, double base, double date, bool high, const QString& memo)
{
    MeasurementRow m;
    m.MKEY = key;
    m.ZUDATE = date;
    m.ZUVOTA = high;
    m.MEMO1 = memo;
    for (int p = 0; p < 24; ++p)
        m.ZU[size_t(p)] = base == 0 ? 0 : base + p * 0.37;
    return m;
}

} // namespace

class TestFhirBundle : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<SubjectRow>("subject");
        QTest::addColumn<QVector<MeasurementRow>>("rows");
        SubjectRow full;
        full.MKEY = 7;
        full.CUSTNO = QStringLiteral("A01");
        full.NAME = u("陳 \"小明\", 先生");
        full.DBIRTH = dayNumber(QDate(1975, 6, 15));
        full.ADDR = u("台北市中山路100號\r\n5樓");
        full.TEL = QStringLiteral("02-2345-6789");
        full.TEL2 = QStringLiteral("0912-345-678");
        full.TEL3 = QStringLiteral("02-2345-0000");
        full.EMAIL = QStringLiteral("a@example.org");
        MeasurementRow gaps = measurement(12, 41.5, 45357.25, true, QString());
        gaps.ZU[3] = 0;
        gaps.ZU[23] = 0;
        // 2024-03-05 14:30:12.789: the milliseconds travel too.
        QTest::newRow("full subject, two measurements")
            << full
            << QVector<MeasurementRow>{
                   measurement(11, 30, 45356.0 + 52212.789 / 86400.0, false, u("頭痛\r\n睡眠")), gaps};
        SubjectRow bare;
        bare.MKEY = 8;
        bare.CUSTNO = QStringLiteral("b-02");
        bare.SEX = false;
        bare.DBIRTH = 4000; // counts as no birth date
        bare.TEL = QStringLiteral("   ");
        QTest::newRow("female without birth date or contacts, nothing measured")
            << bare << QVector<MeasurementRow>{measurement(13, 0, 0, false, QString())};
        QTest::newRow("no measurements") << bare << QVector<MeasurementRow>{};
    }
    void roundTrip()
    {
        QFETCH(SubjectRow, subject);
        QFETCH(QVector<MeasurementRow>, rows);
        const Bundle b =
            read(subjectBundleJson(subject, rows, defaultCompensationTable(), QDateTime::currentDateTime()));
        const QJsonObject& p = b.patient;
        QCOMPARE(p[QStringLiteral("identifier")].toArray().at(0)[QStringLiteral("value")].toString(),
                 subject.CUSTNO);
        QCOMPARE(p[QStringLiteral("name")].toArray().at(0)[QStringLiteral("text")].toString(), subject.NAME);
        QCOMPARE(p[QStringLiteral("gender")].toString(),
                 subject.SEX ? QStringLiteral("male") : QStringLiteral("female"));
        QCOMPARE(p[QStringLiteral("birthDate")].toString(),
                 isNoBirthDate(subject.DBIRTH) ? QString()
                                               : dateFromDayNumber(subject.DBIRTH).toString(Qt::ISODate));
        QCOMPARE(p[QStringLiteral("address")].toArray().at(0)[QStringLiteral("text")].toString(),
                 subject.ADDR);
        QCOMPARE(telecom(p, "phone", "home"), subject.TEL.trimmed().isEmpty() ? QString() : subject.TEL);
        QCOMPARE(telecom(p, "phone", "mobile"), subject.TEL2);
        QCOMPARE(telecom(p, "fax", nullptr), subject.TEL3);
        QCOMPARE(telecom(p, "email", nullptr), subject.EMAIL);

        QCOMPARE(b.panels.size(), rows.size());
        const QString patientUrl = QStringLiteral("urn:uuid:") + p[QStringLiteral("id")].toString();
        for (int i = 0; i < rows.size(); ++i) {
            const MeasurementRow& m = rows[i];
            const QJsonObject& panel = b.panels[i];
            QCOMPARE(panel[QStringLiteral("subject")][QStringLiteral("reference")].toString(), patientUrl);
            QCOMPARE(panel[QStringLiteral("identifier")].toArray().at(0)[QStringLiteral("value")].toString(),
                     QString::number(m.MKEY));
            if (m.ZUDATE == 0)
                QVERIFY(!panel.contains(QStringLiteral("effectiveDateTime")));
            else
                QVERIFY(std::abs(dayOf(panel[QStringLiteral("effectiveDateTime")].toString()) - m.ZUDATE) <
                        2e-8);
            QCOMPARE(firstCode(panel[QStringLiteral("method")].toObject()),
                     m.ZUVOTA ? QStringLiteral("high-potential") : QStringLiteral("standard-potential"));
            QCOMPARE(panel[QStringLiteral("note")].toArray().at(0)[QStringLiteral("text")].toString(),
                     m.MEMO1);
            const QJsonArray members = panel[QStringLiteral("hasMember")].toArray();
            QCOMPARE(members.size(), 24);
            for (int point = 1; point <= 24; ++point) {
                const QJsonObject o =
                    b.byUrl.value(members[point - 1][QStringLiteral("reference")].toString());
                QCOMPARE(o[QStringLiteral("subject")][QStringLiteral("reference")].toString(), patientUrl);
                const QJsonArray codes = o[QStringLiteral("code")][QStringLiteral("coding")].toArray();
                QCOMPARE(codes.at(0)[QStringLiteral("code")].toString(), fhir::pointCode(point));
                QCOMPARE(codes.at(1)[QStringLiteral("code")].toString(),
                         fhir::acupointCode(meridianOfPoint(point)));
                const QJsonObject side =
                    o[QStringLiteral("bodySite")][QStringLiteral("extension")].toArray().at(0).toObject();
                QCOMPARE(side[QStringLiteral("url")].toString(), QLatin1String(fhir::LateralityExtension));
                QCOMPARE(firstCode(side[QStringLiteral("valueCodeableConcept")].toObject()),
                         QLatin1String(point <= 6 || (point >= 13 && point <= 18) ? fhir::SnomedLeft
                                                                                  : fhir::SnomedRight));
                const double stored = m.ZU[size_t(point - 1)];
                if (stored == 0) {
                    QVERIFY(!o.contains(QStringLiteral("valueQuantity")));
                    QCOMPARE(firstCode(o[QStringLiteral("dataAbsentReason")].toObject()),
                             QStringLiteral("not-performed"));
                } else {
                    QCOMPARE(o[QStringLiteral("valueQuantity")][QStringLiteral("value")].toDouble(), stored);
                    QCOMPARE(o[QStringLiteral("valueQuantity")][QStringLiteral("code")].toString(),
                             QStringLiteral("uA"));
                }
            }
            EnergySet e;
            e.Readings = m.ZU;
            e.recompensate();
            const auto analysis = ComputeEnergyAnalysis(e, defaultCompensationTable(), subject.SEX);
            const QJsonArray components = panel[QStringLiteral("component")].toArray();
            QCOMPARE(components.size(), analysis ? 10 : 0);
            if (analysis) {
                QCOMPARE(firstCode(components[0][QStringLiteral("code")].toObject()),
                         QStringLiteral("body-energy"));
                QCOMPARE(components[0][QStringLiteral("valueQuantity")][QStringLiteral("value")].toDouble(),
                         analysis->BodyEnergy);
                QCOMPARE(components[9][QStringLiteral("valueInteger")].toInt(), analysis->AutonomicGrade);
            }
        }
    }

    void pointCodes_data()
    {
        QTest::addColumn<int>("point");
        QTest::addColumn<QString>("code");
        QTest::addColumn<QString>("acupoint");
        QTest::newRow("left lung") << 1 << "LU-L"
                                   << "LU9";
        QTest::newRow("left sanjiao") << 5 << "TE-L"
                                      << "TE4";
        QTest::newRow("right small intestine") << 10 << "SI-R"
                                               << "SI4";
        QTest::newRow("left spleen") << 13 << "SP-L"
                                     << "SP3";
        QTest::newRow("right liver") << 20 << "LR-R"
                                     << "LR3";
        QTest::newRow("right bladder") << 22 << "BL-R"
                                       << "BL64";
        QTest::newRow("right stomach") << 24 << "ST-R"
                                       << "ST42";
    }
    void pointCodes()
    {
        QFETCH(int, point);
        QFETCH(QString, code);
        QFETCH(QString, acupoint);
        QCOMPARE(fhir::pointCode(point), code);
        QCOMPARE(fhir::acupointCode(meridianOfPoint(point)), acupoint);
    }

    // Ids follow the keys: the same records give the same ids, others other ones.
    void stableIds()
    {
        SubjectRow s;
        s.MKEY = 3;
        s.CUSTNO = QStringLiteral("X");
        const QVector<MeasurementRow> rows{measurement(5, 30, 45000, false, {})};
        const Bundle a =
            read(subjectBundleJson(s, rows, defaultCompensationTable(), QDateTime::currentDateTime()));
        const Bundle again =
            read(subjectBundleJson(s, rows, defaultCompensationTable(), QDateTime::currentDateTime()));
        QCOMPARE(QSet<QString>(a.byUrl.keyBegin(), a.byUrl.keyEnd()),
                 QSet<QString>(again.byUrl.keyBegin(), again.byUrl.keyEnd()));
        QCOMPARE(a.byUrl.size(), 26);
        s.MKEY = 4;
        const Bundle other =
            read(subjectBundleJson(s, rows, defaultCompensationTable(), QDateTime::currentDateTime()));
        QVERIFY(
            !other.byUrl.contains(QStringLiteral("urn:uuid:") + a.patient[QStringLiteral("id")].toString()));
    }
};

QTEST_GUILESS_MAIN(TestFhirBundle)
#include "test_fhirbundle.moc"
