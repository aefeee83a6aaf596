#pragma once
// Plain rows of the tables and their calculated (display-only) fields.

#include <QByteArray>
#include <QDate>
#include <QString>
#include <array>

namespace lumo {

struct SubjectRow
{
    qint64 MKEY = 0;
    QString CUSTNO;
    QString NAME;
    bool SEX = true; // true = male
    double DBIRTH = 0;
    QString ADDR, TEL, TEL2, TEL3, EMAIL, MEMO;
    QString BTYPE;
    double HEIGHT = 0, WEIGHT = 0;
    QString CUSTCAT, CUSTFG;
    bool PrtFG = false;
    qint64 ROWVER = 0; // the version read; a save names it
};

struct MeasurementRow
{
    qint64 MKEY = 0;
    QString CUSTNO;
    double ZUDATE = 0;
    bool ZUVOTA = false; // true = high potential
    std::array<double, 24> ZU{};
    QString MEMO1, MEMO2, AutoKey;
    bool PrtFG = false;
    qint64 ROWVER = 0; // the version read; a save names it
};

struct ProgramRow
{
    qint64 MKEY = 0;
    QString ProNo, ProName, ProData;
    QByteArray ProPict;
    bool ProScal = false;
    QString ProFN;
    std::array<QString, 4> ProScrp, ProPrg, ProParm;
    std::array<QString, 3> ProMed; // master programs only
    std::array<QString, 5> ProHel; // master programs only
    bool PrtFG = false;
    qint64 ROWVER = 0; // the version read (main database only); a save names it
};

struct ConditionRow
{
    qint64 MKEY = 0;
    QString ProNo, ProSubN, ProNote, ProAnd, ProCond;
    int ProAGL = 0, ProAGH = 0;
    double ProEng = 0;
    bool ProFlg = false;
    bool PrtFG = false;
    qint64 ROWVER = 0; // the version read (main database only); a save names it
};

struct KnowledgeRow
{
    int MKEY = 0;
    std::array<QString, 21> texts; // stored (enciphered) form, in knowledgeTextFields() order
    QByteArray DtGpM;
    QString text(const QString& field) const;
};

// Calculated fields.
QString Sex_S(const SubjectRow& r);                     // "男" / "女"
QString DBIRTH_C(const SubjectRow& r);                  // short date, empty under NoBirthDate
QString ZUAGE(const SubjectRow& r, const QDate& today); // "%3d", empty under NoBirthDate
QString ZUDATE_C(const MeasurementRow& r);
QString ZUDATE_T(const MeasurementRow& r);
QString ZUVOTA_C(const MeasurementRow& r); // "高電位" / "標準"
QString ProFlgC(const ConditionRow& r);    // "X" / ""

// "###.#": one decimal, empty for 0, "---" for a value no reading can have.
QString measurementValueText(double v);

} // namespace lumo
