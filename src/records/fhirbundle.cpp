#include "records/fhirbundle.h"

#include "analysis/energy.h"
#include "base/formats.h"
#include "base/json.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QUuid>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// The source points in Meridian order, as the WHO standard names them.
const char* const kAcupoints[MeridianCount] = {"LU9", "PC7", "HT7", "SI4",  "TE4",  "LI4",
                                               "SP3", "LR3", "KI3", "BL64", "GB40", "ST42"};

// Every id derives from this namespace and a key, so the same records exported
// twice carry the same ids and a receiver can tell them apart from new ones.
const QUuid kIdNamespace(QStringLiteral("{6a0c35de-5f39-4a4e-9a57-0b3c2f1d8e41}"));

QString idFor(const QString& what)
{
    return kIdNamespace.createUuidV5(kIdNamespace, what).toString(QUuid::WithoutBraces);
}

QJsonObject coding(const char* system, const QString& code, const QString& display = {})
{
    QJsonObject c{{QStringLiteral("system"), QLatin1String(system)}, {QStringLiteral("code"), code}};
    if (!display.isEmpty()) c.insert(QStringLiteral("display"), display);
    return c;
}

QJsonObject codeable(const QJsonArray& codings, const QString& text = {})
{
    QJsonObject c{{QStringLiteral("coding"), codings}};
    if (!text.isEmpty()) c.insert(QStringLiteral("text"), text);
    return c;
}

QJsonObject quantity(double value, const char* unit)
{
    return {{QStringLiteral("value"), value},
            {QStringLiteral("unit"), QLatin1String(unit)},
            {QStringLiteral("system"), QLatin1String(fhir::Ucum)},
            {QStringLiteral("code"), QLatin1String(unit)}};
}

QJsonObject reference(const QString& id)
{
    return {{QStringLiteral("reference"), QStringLiteral("urn:uuid:") + id}};
}

// FHIR forbids empty strings; a field of nothing but blanks tells nothing either.
bool hasText(const QString& s)
{
    return !s.trimmed().isEmpty();
}

// A date and time with its offset from UTC, as FHIR wants a time of day.
QString dateTimeText(double day)
{
    const QDateTime dt = dateTimeFromDayNumber(day);
    const bool ms = dt.time().msec() != 0;
    QString text =
        dt.toString(ms ? QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz") : QStringLiteral("yyyy-MM-ddTHH:mm:ss"));
    const int offset = dt.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return text + QLatin1Char(offset < 0 ? '-' : '+') +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

// One entry of the bundle as text. Each resource is written on its own and
// the bundle put together around them: nesting thousands of resources into
// one JSON document first copies them over and over.
QByteArray entry(const QString& id, QJsonObject resource)
{
    resource.insert(QStringLiteral("id"), id);
    return "{\"fullUrl\":" + jsonString(QStringLiteral("urn:uuid:") + id) +
           ",\"resource\":" + QJsonDocument(resource).toJson(QJsonDocument::Compact) + '}';
}

QJsonObject patient(const SubjectRow& s)
{
    QJsonObject p{{QStringLiteral("resourceType"), QStringLiteral("Patient")}};
    p.insert(QStringLiteral("identifier"),
             QJsonArray{QJsonObject{{QStringLiteral("system"), QLatin1String(fhir::SubjectNumberSystem)},
                                    {QStringLiteral("value"), s.CUSTNO}}});
    if (hasText(s.NAME))
        p.insert(QStringLiteral("name"), QJsonArray{QJsonObject{{QStringLiteral("text"), s.NAME}}});
    p.insert(QStringLiteral("gender"), s.SEX ? QStringLiteral("male") : QStringLiteral("female"));
    if (!isNoBirthDate(s.DBIRTH))
        p.insert(QStringLiteral("birthDate"), dateFromDayNumber(s.DBIRTH).toString(Qt::ISODate));
    QJsonArray telecom;
    auto contact = [&telecom](const char* system, const QString& value, const char* use) {
        if (!hasText(value)) return;
        QJsonObject c{{QStringLiteral("system"), QLatin1String(system)}, {QStringLiteral("value"), value}};
        if (use) c.insert(QStringLiteral("use"), QLatin1String(use));
        telecom.append(c);
    };
    contact("phone", s.TEL, "home");
    contact("phone", s.TEL2, "mobile");
    contact("fax", s.TEL3, nullptr);
    contact("email", s.EMAIL, nullptr);
    if (!telecom.isEmpty()) p.insert(QStringLiteral("telecom"), telecom);
    if (hasText(s.ADDR))
        p.insert(QStringLiteral("address"), QJsonArray{QJsonObject{{QStringLiteral("text"), s.ADDR}}});
    return p;
}

QJsonArray examCategory()
{
    return QJsonArray{codeable(QJsonArray{
        coding("http://terminology.hl7.org/CodeSystem/observation-category", QStringLiteral("exam"))})};
}

QString pointDisplay(int point)
{
    const Meridian m = meridianOfPoint(point);
    return (sideOfPoint(point) == Side::Left ? u("左-") : u("右-")) + shortName(m).remove(QLatin1Char(' ')) +
           QLatin1Char(' ') + sourcePoint(m);
}

// The parts of a point's Observation that every measurement shares: built
// once per bundle, each measurement adds its own to a copy.
QJsonObject pointTemplate(int point)
{
    const Meridian meridian = meridianOfPoint(point);
    const QString who = fhir::acupointCode(meridian);
    const bool left = sideOfPoint(point) == Side::Left;
    QJsonObject o{{QStringLiteral("resourceType"), QStringLiteral("Observation")},
                  {QStringLiteral("status"), QStringLiteral("final")},
                  {QStringLiteral("category"), examCategory()}};
    o.insert(QStringLiteral("code"),
             codeable(QJsonArray{coding(fhir::CodeSystem, fhir::pointCode(point), pointDisplay(point)),
                                 coding(fhir::AcupointSystem, who, sourcePoint(meridian))},
                      pointDisplay(point)));
    QJsonObject laterality{
        {QStringLiteral("url"), QLatin1String(fhir::LateralityExtension)},
        {QStringLiteral("valueCodeableConcept"),
         codeable(QJsonArray{coding(fhir::Snomed, QLatin1String(left ? fhir::SnomedLeft : fhir::SnomedRight),
                                    left ? QStringLiteral("Left") : QStringLiteral("Right"))})}};
    QJsonObject site = codeable(QJsonArray{coding(fhir::AcupointSystem, who, sourcePoint(meridian))},
                                (left ? u("左 ") : u("右 ")) + sourcePoint(meridian));
    site.insert(QStringLiteral("extension"), QJsonArray{laterality});
    o.insert(QStringLiteral("bodySite"), site);
    return o;
}

// `when` is the measurement's effective date-time, empty when it has no date.
QJsonObject pointObservation(QJsonObject o, int point, const MeasurementRow& m, const QJsonObject& subject,
                             const QString& when)
{
    o.insert(QStringLiteral("subject"), subject);
    if (!when.isEmpty()) o.insert(QStringLiteral("effectiveDateTime"), when);
    const double v = m.ZU[size_t(point - 1)];
    // 0 is what the program stores for a point that was not measured.
    if (v == 0)
        o.insert(QStringLiteral("dataAbsentReason"),
                 codeable(QJsonArray{coding("http://terminology.hl7.org/CodeSystem/data-absent-reason",
                                            QStringLiteral("not-performed"))}));
    else
        o.insert(QStringLiteral("valueQuantity"), quantity(v, "uA"));
    return o;
}

QJsonObject component(const char* code, const char* display, const QJsonObject& value, const char* key)
{
    return {{QStringLiteral("code"),
             codeable(QJsonArray{coding(fhir::CodeSystem, QLatin1String(code), u(display))})},
            {QLatin1String(key), value}};
}

QJsonObject integerComponent(const char* code, const char* display, int value)
{
    return {{QStringLiteral("code"),
             codeable(QJsonArray{coding(fhir::CodeSystem, QLatin1String(code), u(display))})},
            {QStringLiteral("valueInteger"), value}};
}

// The indices and grades of the analysis; none when the analysis refuses the measurement.
QJsonArray indexComponents(const MeasurementRow& m, bool male, const CompensationTable& table)
{
    EnergySet e;
    e.Readings = m.ZU;
    e.recompensate(table);
    const auto a = ComputeEnergyAnalysis(e, table, male);
    if (!a) return {};
    const char* ratio = "1";
    return QJsonArray{
        component("body-energy", "身體能量", quantity(a->BodyEnergy, "uA"), "valueQuantity"),
        component("upper-lower-ratio", "精神狀態比值", quantity(a->UpperLowerRatio, ratio), "valueQuantity"),
        component("left-right-ratio", "左右肌骨系統", quantity(a->LeftRightRatio, ratio), "valueQuantity"),
        component("yin-yang-ratio", "新陳代謝功能", quantity(a->YinYangRatio, ratio), "valueQuantity"),
        component("autonomic-ratio", "自律神經平衡度", quantity(a->AutonomicRatio, ratio), "valueQuantity"),
        integerComponent("body-grade", "身體能量等級", a->BodyGrade),
        integerComponent("upper-lower-grade", "精神狀態等級", a->UpperLowerGrade),
        integerComponent("left-right-grade", "左右肌骨系統等級", a->LeftRightGrade),
        integerComponent("yin-yang-grade", "新陳代謝功能等級", a->YinYangGrade),
        integerComponent("autonomic-grade", "自律神經平衡度等級", a->AutonomicGrade)};
}

QJsonObject panelObservation(const MeasurementRow& m, const SubjectRow& s, const QString& patientId,
                             const QJsonArray& members, const CompensationTable& table)
{
    QJsonObject o{{QStringLiteral("resourceType"), QStringLiteral("Observation")},
                  {QStringLiteral("status"), QStringLiteral("final")},
                  {QStringLiteral("category"), examCategory()}};
    o.insert(QStringLiteral("identifier"),
             QJsonArray{QJsonObject{{QStringLiteral("system"), QLatin1String(fhir::MeasurementKeySystem)},
                                    {QStringLiteral("value"), QString::number(m.MKEY)}}});
    o.insert(QStringLiteral("code"),
             codeable(QJsonArray{
                 coding(fhir::CodeSystem, QLatin1String(fhir::PanelCode), u("經絡能量測量 (24 原穴)"))}));
    o.insert(QStringLiteral("subject"), reference(patientId));
    if (m.ZUDATE != 0) o.insert(QStringLiteral("effectiveDateTime"), dateTimeText(m.ZUDATE));
    o.insert(QStringLiteral("method"),
             codeable(QJsonArray{
                 m.ZUVOTA ? coding(fhir::CodeSystem, QStringLiteral("high-potential"), u("高電位"))
                          : coding(fhir::CodeSystem, QStringLiteral("standard-potential"), u("標準電位"))}));
    if (hasText(m.MEMO1))
        o.insert(QStringLiteral("note"), QJsonArray{QJsonObject{{QStringLiteral("text"), m.MEMO1}}});
    o.insert(QStringLiteral("hasMember"), members);
    const QJsonArray components = indexComponents(m, s.SEX, table);
    if (!components.isEmpty()) o.insert(QStringLiteral("component"), components);
    return o;
}

} // namespace

namespace fhir {
QString acupointCode(Meridian m)
{
    return QLatin1String(kAcupoints[int(m)]);
}

QString pointCode(int point)
{
    QString letters = acupointCode(meridianOfPoint(point));
    while (!letters.isEmpty() && letters.back().isDigit())
        letters.chop(1);
    return letters + (sideOfPoint(point) == Side::Left ? QStringLiteral("-L") : QStringLiteral("-R"));
}
} // namespace fhir

QByteArray subjectBundleJson(const SubjectRow& subject, const QVector<MeasurementRow>& measurements,
                             const CompensationTable& compensation, const QDateTime& exportedAt)
{
    const QString patientId = idFor(QStringLiteral("subject:%1").arg(subject.MKEY));
    const QJsonObject subjectReference = reference(patientId);
    QJsonObject templates[PointCount];
    for (int p = 1; p <= PointCount; ++p)
        templates[p - 1] = pointTemplate(p);
    QByteArrayList entries{entry(patientId, patient(subject))};
    for (const MeasurementRow& m : measurements) {
        QJsonArray members;
        QByteArrayList points;
        const QString when = m.ZUDATE != 0 ? dateTimeText(m.ZUDATE) : QString();
        for (int p = 1; p <= PointCount; ++p) {
            const QString id = idFor(QStringLiteral("measurement:%1:point:%2").arg(m.MKEY).arg(p));
            members.append(reference(id));
            points << entry(id, pointObservation(templates[p - 1], p, m, subjectReference, when));
        }
        entries << entry(idFor(QStringLiteral("measurement:%1").arg(m.MKEY)),
                         panelObservation(m, subject, patientId, members, compensation));
        entries << points;
    }
    // Each export is a bundle of its own; one entry a line.
    return "{\"resourceType\":\"Bundle\",\"id\":" +
           jsonString(QUuid::createUuid().toString(QUuid::WithoutBraces)) +
           ",\"type\":\"collection\",\"timestamp\":" + jsonString(dateTimeText(dayNumber(exportedAt))) +
           ",\"entry\":[\n" + entries.join(",\n") + "\n]}\n";
}

} // namespace lumo
