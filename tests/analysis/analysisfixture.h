#pragma once
// A data directory with the delivered files, a labelled knowledge file and a
// measurement of 40 uA everywhere, for the analysis screen and report tests.

#include "analysis/reportinput.h"
#include "knowledge/knowledgefixture.h"
#include "support/practicedir.h"

#include <QListWidget>
#include <QProcess>

namespace lumo::test {

struct Fixture : StartedPractice
{
    Fixture()
    {
        state.KnowledgeDatabase = test::labelledKnowledgeFile(dir.filePath(QStringLiteral("labelled.mdb")));
        setAll(40);
    }
    // Compensated values are what the marks use: set readings that compensate to v.
    void setCompensated(int point, double v) { state.energy.setReading(point, v / compensate(point, 1.0)); }
    void setAll(double v)
    {
        for (int p = 1; p <= 24; ++p) setCompensated(p, v);
    }
    QStringList items(QListWidget* l)
    {
        QStringList s;
        for (int i = 0; i < l->count(); ++i) s << l->item(i)->text();
        return s;
    }
};

inline QString pdfText(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), path, QStringLiteral("-")});
    p.waitForFinished(30000);
    // Noto fonts may extract some characters as Kangxi or supplementary radicals; fold them.
    QString text = QString::fromUtf8(p.readAllStandardOutput()).normalized(QString::NormalizationForm_KC);
    const QString radicals = QString::fromUtf8("⻑⻝⻘⻄⻔⻩⻣⻤⻰⻬⻌⻏");
    const QString plain = QString::fromUtf8("長食青西門黃骨鬼龍齊辶阝");
    for (int i = 0; i < radicals.size(); ++i) text.replace(radicals.at(i), plain.at(i));
    return text;
}

} // namespace lumo::test
