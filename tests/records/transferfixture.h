#pragma once
// A data directory with its template and main database, a practice to fill it
// with (texts with commas, quotes and line breaks, pictures with every byte
// value, dates with milliseconds and before 1900), and the rows of a file as
// text, to compare files row by row and field by field.

#include "base/json.h"
#include "base/messages.h"
#include "records/database.h"
#include "records/measurements.h"
#include "records/programs.h"
#include "records/subjects.h"
#include "records/transferflow.h"

#include <QDir>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTemporaryDir>
#include <QtTest>

namespace lumo::test {

inline QString u(const char* s)
{
    return QString::fromUtf8(s);
}

// Every row of a table in key order, each field as NAME=value (doubles in
// full, bytes in hexadecimal, null as NULL); MKEY only when asked for.
inline QStringList rowsOf(Database& db, const QString& table, bool withKey = false)
{
    QStringList rows;
    QSqlQuery q(db.sql());
    if (!q.exec(QStringLiteral("SELECT * FROM %1 ORDER BY MKEY").arg(table)))
        return {QStringLiteral("ERROR")};
    while (q.next()) {
        QStringList fields;
        const QSqlRecord r = q.record();
        for (int i = 0; i < r.count(); ++i) {
            if (!withKey && r.fieldName(i).compare(QLatin1String("MKEY"), Qt::CaseInsensitive) == 0) continue;
            // The row version is each database's own count of changes, not data.
            if (r.fieldName(i).compare(QLatin1String(RowVersionColumn), Qt::CaseInsensitive) == 0) continue;
            const QVariant v = q.value(i);
            QString text;
            if (v.isNull())
                text = QStringLiteral("NULL");
            else if (v.typeId() == QMetaType::Double)
                text = QString::fromLatin1(shortestNumber(v.toDouble()));
            else if (v.typeId() == QMetaType::QByteArray)
                text = QString::fromLatin1(v.toByteArray().toHex());
            else
                text = v.toString();
            fields << r.fieldName(i) + QLatin1Char('=') + text;
        }
        rows << fields.join(QLatin1Char('|'));
    }
    return rows;
}

inline QStringList everyRow(Database& db)
{
    QStringList all;
    for (const char* t : {"ZUCUST", "ZUDATA", "ZUPRO", "ZUPRDT"})
        for (const QString& r : rowsOf(db, QLatin1String(t), true))
            all << QLatin1String(t) + QLatin1Char(':') + r;
    return all;
}

inline qint64 countOf(Database& db, const char* table)
{
    QSqlQuery q(db.sql());
    return q.exec(QStringLiteral("SELECT COUNT(*) FROM %1").arg(QLatin1String(table))) && q.next()
               ? q.value(0).toLongLong()
               : -1;
}

inline QByteArray everyByte()
{
    QByteArray b;
    for (int i = 0; i < 256; ++i)
        b.append(char(i));
    return b + QByteArray("BM\0\0tail", 8);
}

// Programs P2, P1, P3 (so that ProNo order differs from key order), conditions,
// subjects C3, C1, C2 and measurements; the first program starts a program.
inline void fillPractice(Database& db, const QString& tag = QString())
{
    const QString prefix = tag.isEmpty() ? QString() : tag + QLatin1Char('-');
    for (const char* no : {"P2", "P1", "P3"}) {
        ProgramRow p;
        p.ProNo = prefix + QLatin1String(no);
        p.ProName = u("療程 ") + QLatin1String(no);
        p.ProData = u("說明，含 \"引號\"\r\n第二行");
        p.ProPict = everyByte() + QByteArray(no);
        p.ProScal = p.ProNo.endsWith(QLatin1Char('1'));
        p.ProFN = QStringLiteral("1010");
        p.ProScrp = {u("說明一"), QString(), QString(), u("說明四")};
        if (p.ProNo.endsWith(QLatin1String("P2")))
            p.ProPrg = {QStringLiteral("/usr/bin/xdg-open"), {}, {}, {}};
        if (p.ProNo.endsWith(QLatin1String("P2")))
            p.ProParm = {QStringLiteral("/tmp/handout.pdf"), {}, {}, {}};
        p.PrtFG = true;
        QVERIFY(ProgramStore(db).append(p).ok);
        for (int c = 1; c <= 2; ++c) {
            ConditionRow r;
            r.ProNo = p.ProNo;
            r.ProSubN = u("條件 %1").arg(c);
            r.ProNote = QStringLiteral("note %1").arg(c);
            r.ProAnd = QStringLiteral("110000000000000000000000");
            r.ProCond = QStringLiteral("120000000000000000000000");
            r.ProAGL = 20 * c;
            r.ProAGH = 40 * c;
            r.ProEng = 35.25 * c;
            r.ProFlg = c == 1;
            QVERIFY(ProgramStore(db).appendCondition(r).ok);
        }
    }
    int m = 0;
    for (const char* no : {"C3", "C1", "C2"}) {
        SubjectRow s;
        s.CUSTNO = prefix + QLatin1String(no);
        s.NAME = u("陳志明 ") + QLatin1String(no);
        s.SEX = QLatin1String(no) != QLatin1String("C2");
        s.DBIRTH = QLatin1String(no) == QLatin1String("C1") ? -1234.0 : 22000.5; // 1896, and a birth at noon
        s.ADDR = u("台北市中山路100號, 5樓");
        s.TEL = QStringLiteral("02-2345-6789");
        s.EMAIL = QStringLiteral("a@example.org");
        s.MEMO = u("備註 \"引號\", 逗號\r\n第二行");
        s.BTYPE = QStringLiteral("AB");
        s.HEIGHT = 170.5;
        s.WEIGHT = 64.25;
        s.CUSTCAT = QStringLiteral("cat");
        s.CUSTFG = QStringLiteral("fg");
        s.PrtFG = true;
        QVERIFY(SubjectStore(db).append(s).ok);
        for (int k = 0; k < 2; ++k) {
            MeasurementRow r;
            r.CUSTNO = s.CUSTNO;
            // 2024-03-05 14:30:12.789 and a day later: milliseconds the transfer drops
            r.ZUDATE = 45356.0 + (14 * 3600 + 30 * 60 + 12.789) / 86400.0 + k;
            r.ZUVOTA = k == 1;
            ++m;
            for (int p = 0; p < 24; ++p)
                r.ZU[size_t(p)] = 20.0 + p + 0.1 * m;
            r.MEMO1 = u("頭痛，睡眠不佳。\r\n建議調整作息。");
            r.MEMO2 = QStringLiteral("memo2");
            r.AutoKey = QStringLiteral("A%1").arg(m);
            r.PrtFG = k == 0;
            QVERIFY(MeasurementStore(db).append(r).ok);
        }
    }
}

// A data directory with the template and a main database, and the hooks of a flow that record what happened.
struct TransferPractice
{
    QTemporaryDir dir;
    QString dataDir;
    std::unique_ptr<Database> main;
    ScriptedMessages messages;
    QVector<int> tones;
    QVector<int> bar;
    QVector<bool> running;
    std::function<void(const char*)> reached;

    TransferPractice()
    {
        dataDir = dir.filePath(QStringLiteral("data")) + QLatin1Char('/');
        QDir().mkpath(dataDir);
        Status st;
        Database::create(dataDir + QStringLiteral("Zuspa.mdb"), FileKind::Main, &st).reset();
        Database::create(dataDir + QStringLiteral("lumo4.mdb"), FileKind::Main, &st).reset();
        main = Database::open(dataDir + QStringLiteral("lumo4.mdb"), FileKind::Main,
                              Database::Access::ReadWrite, &st);
    }
    TransferHooks hooks()
    {
        return TransferHooks{&messages, [this](int t) { tones << t; }, [this](int v) { bar << v; },
                             [this](bool r) { running << r; }, reached};
    }
    TransferFlow flow() { return TransferFlow(*main, dataDir, hooks()); }
    QString folder(const QString& name)
    {
        const QString path = dir.filePath(name);
        QDir().mkpath(path);
        return path;
    }
    QStringList shownTexts() const
    {
        QStringList t;
        for (const auto& s : messages.shown())
            t << s.text;
        return t;
    }
    void clear()
    {
        messages.clear();
        tones.clear();
        bar.clear();
        running.clear();
    }
};

} // namespace lumo::test
