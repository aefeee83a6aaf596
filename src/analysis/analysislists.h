#pragma once
// The lists of the analysis screen and the printed report: the indices and the
// meridians out of balance, each with its knowledge texts, deciphered.

#include "analysis/energy.h"
#include "records/programs.h"

#include <QStringList>
#include <QVector>
#include <functional>

namespace lumo {

struct ListItem
{
    QString text;
    int key = 0; // knowledge key: 1-12 meridians, 13-17 indices
};

struct AnalysisLists
{
    QVector<ListItem> analysis;     // the five indices, then the abnormal meridians
    QVector<ListItem> diet;         // the abnormal meridians
    QVector<ListItem> prescription; // meridians judged high or low
};

AnalysisLists buildAnalysisLists(const EnergyAnalysis& a);

// Reads a knowledge field of a key, deciphered; errors reach onError and give "".
class KnowledgeTexts
{
public:
    KnowledgeTexts(Database* knowledge, std::function<void(const QString&)> onError = {});
    QString field(int key, const char* name);

private:
    Database* m_db;
    std::function<void(const QString&)> m_onError;
    std::optional<KnowledgeRow> m_row;
};

// The paragraphs each list shows for an item.
struct ItemTexts
{
    QStringList main;      // 詳細說明 (or 食物療法表列)
    QStringList judgement; // 良導絡辨症 (meridians of the analysis list)
};
ItemTexts analysisItemTexts(const EnergyAnalysis& a, const ListItem& item, KnowledgeTexts& k);
ItemTexts dietItemTexts(const EnergyAnalysis& a, const ListItem& item, KnowledgeTexts& k);
ItemTexts prescriptionItemTexts(const EnergyAnalysis& a, const ListItem& item, KnowledgeTexts& k);

// The position in `list` of the item with the meridian key, -1 when not listed.
int positionOfKey(const QVector<ListItem>& list, int key);

} // namespace lumo
