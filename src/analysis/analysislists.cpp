#include "analysis/analysislists.h"

#include "knowledge/decipher.h"

namespace lumo {
namespace {

QString u(const char* s) { return QString::fromUtf8(s); }
const char* const kOrgan[12] = {"肺", "心包", "心", "小腸", "三焦", "大腸", "脾", "肝", "腎", "膀胱", "膽", "胃"};

int mark(const EnergyAnalysis& a, int point) { return a.PointMark[size_t(point - 1)]; }

} // namespace

AnalysisLists buildAnalysisLists(const EnergyAnalysis& a)
{
    AnalysisLists l;
    const char* const indices[5] = {"   身體能量狀況", "   精神壓力狀態", "   肌肉骨骼系統", "   機體新陳代謝", "   自律神經功能"};
    for (int i = 0; i < 5; ++i) l.analysis.append({u(indices[i]), 13 + i});
    for (int m = 0; m < 12; ++m) {
        const Meridian mer = Meridian(m);
        const QString organ = u(kOrgan[m]);
        if (mark(a, leftPointOf(mer)) != 0 && mark(a, rightPointOf(mer)) != 0) {
            l.analysis.append({u("【") + organ + u("經異常辨證】"), m + 1});
            l.diet.append({u("【") + organ + u("經異常食療】"), m + 1});
        }
        const Judgement j = MeridianJudgement(a, mer);
        if (j == Judgement::High || j == Judgement::Low) l.prescription.append({u("【") + organ + u("經異常】"), m + 1});
    }
    return l;
}

KnowledgeTexts::KnowledgeTexts(Database* knowledge, std::function<void(const QString&)> onError)
    : m_db(knowledge), m_onError(std::move(onError))
{
}

QString KnowledgeTexts::field(int key, const char* name)
{
    if (!m_db) return QString();
    // A key the table does not hold leaves the row that was current.
    if (!m_row || m_row->MKEY != key) {
        if (auto row = KnowledgeStore(*m_db).get(key)) m_row = row;
    }
    if (!m_row) return QString();
    QString error;
    auto text = DecipherKnowledgeText(m_row->text(QLatin1String(name)), &error);
    if (!text) {
        if (m_onError) m_onError(error);
        return QString();
    }
    return *text;
}

ItemTexts analysisItemTexts(const EnergyAnalysis& a, const ListItem& item, KnowledgeTexts& k)
{
    ItemTexts t;
    if (item.key >= 13) {
        t.main << k.field(item.key, "DtMA1");
        switch (IndexJudgement(a, item.key)) {
        case Judgement::High: t.main << QString() << k.field(item.key, "DtMH1"); break;
        case Judgement::Low:
            t.main << QString() << k.field(item.key, "DtML1");
            if (item.key == 13 && a.BodyGrade == -3) t.main << QString() << bodyEnergyWarningText();
            break;
        default: t.main << QString() << k.field(item.key, "DtMA2"); break;
        }
        return t;
    }
    t.main << item.text << QString() << k.field(item.key, "DtMA2") << QString() << k.field(item.key, "DtMA1") << QString();
    switch (MeridianJudgement(a, Meridian(item.key - 1))) {
    case Judgement::High:
        t.main << k.field(item.key, "DtMH1");
        t.judgement << k.field(item.key, "DtMH5");
        break;
    case Judgement::Low:
        t.main << k.field(item.key, "DtML1");
        t.judgement << k.field(item.key, "DtML5");
        break;
    default: break; // the two sides out of balance in opposite directions
    }
    return t;
}

ItemTexts dietItemTexts(const EnergyAnalysis& a, const ListItem& item, KnowledgeTexts& k)
{
    ItemTexts t;
    t.main << k.field(item.key, "DtMA3") << QString();
    const Judgement j = MeridianJudgement(a, Meridian(item.key - 1));
    if (j == Judgement::High) t.main << k.field(item.key, "DtMH4");
    if (j == Judgement::Low) t.main << k.field(item.key, "DtML4");
    return t;
}

ItemTexts prescriptionItemTexts(const EnergyAnalysis& a, const ListItem& item, KnowledgeTexts& k)
{
    ItemTexts t;
    const Judgement j = MeridianJudgement(a, Meridian(item.key - 1));
    if (j == Judgement::High) t.main << k.field(item.key, "DtMH3") << QString() << k.field(item.key, "DtMH2");
    if (j == Judgement::Low) t.main << k.field(item.key, "DtML3") << QString() << k.field(item.key, "DtML2");
    return t;
}

int positionOfKey(const QVector<ListItem>& list, int key)
{
    for (int i = 0; i < list.size(); ++i)
        if (list[i].key == key) return i;
    return -1;
}

} // namespace lumo
