#pragma once
// A practice with the operator's own treatment programs, for the screen tests.

#include "measurement/practicefixture.h"
#include "shell/ui/launcher.h"
#include "treatment/treatmenttables.h"

#include <QAbstractButton>
#include <QSqlQuery>
#include <QtTest>

namespace lumo::test {

struct TreatmentPractice : Practice
{
    TreatmentTables tables() { return TreatmentTables(*state.MainDatabase); }

    ProgramRow addProgram(const QString& no, const QString& name, const QStringList& conditionNames = {},
                          const QString& flags = QString())
    {
        ProgramRow p;
        p.ProNo = no;
        p.ProName = name;
        p.ProFN = flags;
        p.ProData = QStringLiteral("about ") + name;
        if (!tables().appendProgram(p)) qFatal("no program");
        for (const QString& c : conditionNames) {
            ConditionRow r;
            r.ProNo = no;
            r.ProSubN = c;
            r.ProCond = QStringLiteral("100000000000000000000000");
            if (!tables().confirmCondition(r, p)) qFatal("no condition");
        }
        return p;
    }

    // Both tables as text, to show that nothing changed.
    QString dump()
    {
        QString out;
        QSqlQuery q(state.MainDatabase->sql());
        q.exec(QStringLiteral("SELECT * FROM ZUPRO ORDER BY MKEY"));
        while (q.next())
            for (int i = 0; i < 20; ++i)
                out += q.value(i).toString() + QLatin1Char('|');
        out += QLatin1Char('#');
        q.exec(QStringLiteral("SELECT * FROM ZUPRDT ORDER BY MKEY"));
        while (q.next())
            for (int i = 0; i < 11; ++i)
                out += q.value(i).toString() + QLatin1Char('|');
        return out;
    }

    void exec(const QString& sql)
    {
        QSqlQuery q(state.MainDatabase->sql());
        if (!q.exec(sql)) qFatal("%s", qPrintable(q.lastQuery()));
    }

    int tones(int tone) const
    {
        return commandCount(tone == 1 ? QByteArray("S1E1A00") : QByteArray("S1E0F00"));
    }
};

// A launcher that records instead of starting anything.
struct RecordingLauncher
{
    QStringList calls;
    LauncherPlatform platform()
    {
        LauncherPlatform p;
        p.fileExists = [](const QString&) { return false; };
        p.isDocument = [](const QString&) { return false; };
        p.start = [this](const QString& program, const QStringList& args) {
            calls << program + QLatin1Char('|') + args.join(QLatin1Char('|'));
            return true;
        };
        p.openDocument = [this](const QString& target) {
            calls << QStringLiteral("open ") + target;
            return true;
        };
        return p;
    }
};

// A click on a check box's indicator, where a person clicks it.
inline void clickBox(QAbstractButton* box)
{
    QVERIFY2(box->isVisible() && box->isEnabled(),
             qPrintable(box->objectName() + QStringLiteral(" not usable")));
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(8, box->height() / 2));
}

} // namespace lumo::test
