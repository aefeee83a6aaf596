#pragma once
// A subject's records in the standard form of health records: one FHIR R4
// Bundle of type collection with the Patient and, per measurement, a panel
// Observation that groups the 24 point Observations (Observation.component
// has no bodySite, so each point with its side is an Observation of its own)
// and carries the analysis indices as its components.
//
// No standard terminology names skin conductance at acupoints: the points are
// coded in this program's own code system, with the WHO standard acupoint
// code of the source point as a second coding, the side as the laterality
// extension of the body site (SNOMED CT), and the values in UCUM uA.

#include "measurement/catalogue.h"
#include "records/rows.h"

#include <QByteArray>
#include <QDateTime>
#include <QVector>

namespace lumo {

namespace fhir {
// This program's code system: the panel, the 24 points by meridian and side,
// the indices and grades, the two measuring potentials.
inline constexpr const char* CodeSystem = "urn:lumo:fhir:CodeSystem:meridian-energy";
// The WHO standard acupoint codes (LU9, PC7, ...); no canonical URL is published for them.
inline constexpr const char* AcupointSystem = "urn:lumo:fhir:CodeSystem:who-acupoint";
// The practice's subject number (編號) and a measurement's row key.
inline constexpr const char* SubjectNumberSystem = "urn:lumo:fhir:subject-number";
inline constexpr const char* MeasurementKeySystem = "urn:lumo:fhir:measurement-key";
inline constexpr const char* LateralityExtension =
    "http://hl7.org/fhir/StructureDefinition/observation-structureLaterality";
inline constexpr const char* Snomed = "http://snomed.info/sct";
inline constexpr const char* Ucum = "http://unitsofmeasure.org";
inline constexpr const char* SnomedLeft = "7771000";
inline constexpr const char* SnomedRight = "24028007";
inline constexpr const char* PanelCode = "source-point-panel";

// The point's code in this program's system: the meridian's letters and the
// side, "LU-L" .. "ST-R".
QString pointCode(int point);
// The WHO code of the meridian's source point: "LU9" .. "ST42".
QString acupointCode(Meridian m);
} // namespace fhir

// The bundle as UTF-8 JSON. Values are written as stored: a reading of 0 (not
// measured) as a data-absent reason, texts only when they hold more than
// blanks, the birth date only when there is one. Resource ids are UUIDs
// derived from the subject's and the measurements' keys, so exporting the same
// records again gives the same ids. `compensation` weighs the readings for the
// indices, as the analysis screen does.
QByteArray subjectBundleJson(const SubjectRow& subject, const QVector<MeasurementRow>& measurements,
                             const CompensationTable& compensation, const QDateTime& exportedAt);

} // namespace lumo
