#include "analysis/ui/bodypage.h"
#include "analysis/ui/qualitylines.h"

#include "base/formats.h"
#include "practice/masking.h"
#include "shell/sharedstate.h"
#include "widgets/gradientbar.h"
#include "widgets/valuegrid.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

const QColor kGreen(0, 128, 0), kYellow(255, 255, 0), kRed(255, 0, 0);

QColor gaugeColour(int grade, bool autonomic)
{
    if (grade == 0) return kGreen;
    return (autonomic ? grade == 3 : std::abs(grade) == 3) ? kRed : kYellow;
}

GradientBar* gauge(QWidget* parent, int range, int value, const QColor& colour, int minimumWidth = 0)
{
    auto* g = new GradientBar(parent);
    g->setRange(range);
    g->setValue(value);
    g->setEndColor(colour);
    if (minimumWidth > 0) g->setMinimumWidth(minimumWidth);
    return g;
}

// The subject, the sex and the voltage mode above the indices.
QString headerText(const SubjectRow& s, bool masked)
{
    const bool birth = s.DBIRTH >= NoBirthDateLimit;
    const ShownSubject shown = shownSubject(s, masked);
    return QStringLiteral("%1  %2  %3  %4 %5")
        .arg(shown.CUSTNO, shown.NAME, shown.TEL, shown.DBIRTH,
             birth ? fmt("%3d", ageInYears(s.DBIRTH, QDate::currentDate())) : QString());
}

// 候診區顯示 switched while the page is open masks or unmasks the header at once.
void addHeaderRow(QGridLayout* g, QWidget* group, const SharedState& state, bool highVoltage)
{
    const SubjectRow& s = state.CurrentSubject;
    auto* header = new QLabel(headerText(s, state.waitingRoom.on()), group);
    header->setObjectName(QStringLiteral("SubjectHeader"));
    QObject::connect(&state.waitingRoom, &WaitingRoomDisplay::changed, header,
                     [header, s](bool masked) { header->setText(headerText(s, masked)); });
    g->addWidget(header, 0, 0, 1, 4);
    auto* sex = new QLabel(s.SEX ? u("男  性") : u("女  性"), group);
    sex->setStyleSheet(s.SEX ? QStringLiteral("color: rgb(0,128,0);")
                             : QStringLiteral("color: rgb(255,0,0);"));
    g->addWidget(sex, 0, 4);
    auto* mode = new QLabel(highVoltage ? u("高電位 (擴大)") : u("標準電位 (正常)"), group);
    mode->setStyleSheet(highVoltage ? QStringLiteral("color: rgb(255,0,0);")
                                    : QStringLiteral("color: rgb(0,128,0);"));
    g->addWidget(mode, 0, 5);
}

QString ratioCaption(const char* first, double x, const char* second, double y)
{
    return u(first) + fmt("%6.1f", x) + u(second) + fmt("%6.1f", y) + QStringLiteral(" =");
}

// The five indices in rows 1-5: value, normal range, gauge and grade text.
void addIndexRows(QGridLayout* g, QWidget* group, const EnergyAnalysis& a)
{
    struct Row
    {
        const char* label;
        QString caption, value, range, text;
        int gaugeMax, gaugePos;
        QColor colour;
    };
    const Row rows[5] = {
        {"身體能量:", QString(), fmt("%5.2f", a.BodyEnergy), bodyRangeText(a.male), bodyText(a.BodyGrade),
         180, int(rnd(a.BodyEnergy)), gaugeColour(a.BodyGrade, false)},
        {"精神狀態比值:", ratioCaption("上", a.UpperTotal, " / 下", a.LowerTotal),
         fmt("%5.3f", a.UpperLowerRatio), upperLowerRangeText(a.male), upperLowerText(a.UpperLowerGrade), 20,
         int(rnd(10 * a.UpperLowerRatio)), gaugeColour(a.UpperLowerGrade, false)},
        {"左右肌骨系統:", ratioCaption("左", a.LeftTotal, " / 右", a.RightTotal),
         fmt("%5.3f", a.LeftRightRatio), leftRightRangeText(), leftRightText(a.LeftRightGrade), 20,
         int(rnd(10 * a.LeftRightRatio)), gaugeColour(a.LeftRightGrade, false)},
        {"新陳代謝功能:", ratioCaption("陰", a.YinTotal, " / 陽", a.YangTotal), fmt("%5.3f", a.YinYangRatio),
         yinYangRangeText(), yinYangText(a.YinYangGrade), 20, int(rnd(10 * a.YinYangRatio)),
         gaugeColour(a.YinYangGrade, false)},
        {"自律神經平衡度:", ratioCaption("高", a.GroupMax, " / 低", a.GroupMin),
         fmt("%5.3f", a.AutonomicRatio), autonomicRangeText(), autonomicText(a.AutonomicGrade), 40,
         int(rnd(10 * a.AutonomicRatio)), gaugeColour(a.AutonomicGrade, true)},
    };
    for (int i = 0; i < 5; ++i) {
        const Row& r = rows[i];
        g->addWidget(new QLabel(u(r.label), group), i + 1, 0);
        g->addWidget(new QLabel(r.caption, group), i + 1, 1);
        auto* value = new QLabel(r.value, group);
        value->setObjectName(QStringLiteral("IndexValue%1").arg(i + 1));
        value->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        g->addWidget(value, i + 1, 2);
        g->addWidget(new QLabel(r.range, group), i + 1, 3);
        g->addWidget(gauge(group, r.gaugeMax, r.gaugePos, r.colour, 160), i + 1, 4);
        auto* text = new QLabel(r.text, group);
        text->setObjectName(QStringLiteral("GradeText%1").arg(i + 1));
        g->addWidget(text, i + 1, 5);
    }
}

// The five elements in rows 6-10: mean, distance from the body energy, gauge.
void addElementRows(QGridLayout* g, QWidget* group, const EnergyAnalysis& a)
{
    const std::pair<const char*, Element> elements[5] = {{"金", Element::Metal},
                                                         {"木", Element::Wood},
                                                         {"水", Element::Water},
                                                         {"火", Element::Fire},
                                                         {"土", Element::Earth}};
    for (int i = 0; i < 5; ++i) {
        const double mean = a.ElementMean[size_t(elements[i].second)];
        const int mark = std::abs(a.ElementMark[size_t(elements[i].second)]);
        g->addWidget(new QLabel(u(elements[i].first), group), 6 + i, 0);
        g->addWidget(new QLabel(fmt("%3.1f", mean) + QStringLiteral(" [") +
                                    fmt("%3.1f", mean - a.BodyEnergy) + QStringLiteral("]"),
                                group),
                     6 + i, 1);
        g->addWidget(gauge(group, 150, int(rnd(mean)),
                           mark == 0   ? kGreen
                           : mark == 1 ? kYellow
                                       : kRed),
                     6 + i, 4);
    }
}

// The 24 readings in the shared value grid, with the date and time taken.
QGroupBox* valuesGroup(const EnergySet& energy, QWidget* page)
{
    auto* values = new QGroupBox(u("經絡能量測定值 (Meridians Energy Value)"), page);
    auto* vl = new QVBoxLayout(values);
    ValueGridLabels labels;
    for (int m = 0; m < 12; ++m)
        labels.columns << fullWidthName(Meridian(m));
    labels.rows = {u("左　側"), u("右　側")};
    labels.hands = u("手  部");
    labels.feet = u("足  部");
    auto* grid = addValueGrid(vl, values, labels, Qt::AlignRight | Qt::AlignVCenter);
    grid->setObjectName(QStringLiteral("ValueGrid"));
    grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
    for (int p = 1; p <= 24; ++p) {
        const GridCell c = gridCellOfPoint(p);
        const double v = energy.Readings[size_t(p - 1)];
        grid->item(c.row - 1, c.column - 1)->setText(v == 0 ? QString() : fmt("%4.1f", v));
    }
    markGradedCells(grid, energy);
    const double when = energy.TakenAt;
    vl->addWidget(new QLabel(u("測量日期: ") + (when == 0 ? QString() : shortDateOfDay(when)) +
                                 u("    測量時間: ") + (when == 0 ? QString() : longTimeOfDay(when)),
                             values));
    addQualityLines(vl, values, energy);
    vl->addStretch();
    return values;
}

} // namespace

QWidget* buildBodyPage(const EnergyAnalysis& a, const SharedState& state)
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("BodyPage"));
    auto* layout = new QVBoxLayout(page);
    auto* group = new QGroupBox(u("體能及精神狀況"), page);
    auto* g = new QGridLayout(group);
    addHeaderRow(g, group, state, state.energy.VoltageMode);
    addIndexRows(g, group, a);
    addElementRows(g, group, a);
    layout->addWidget(group);
    layout->addWidget(valuesGroup(state.energy, page));
    return page;
}

QWidget* buildPairPage(const EnergyAnalysis& a)
{
    auto* page = new QWidget;
    page->setObjectName(QStringLiteral("PairPage"));
    auto* group = new QGroupBox(u("能量氣血對應表"), page);
    auto* g = new QGridLayout(group);
    const char* labels[6] = {"【 金 】", "【相火】", "【君火】", "【 土 】", "【 木 】", "【 水 】"};
    g->addWidget(new QLabel(u("上  焦"), group), 0, 0);
    g->addWidget(new QLabel(u("下  焦"), group), 4, 0);
    for (int i = 0; i < 6; ++i) {
        const auto pair = pairMeridians(i + 1);
        const int row = i < 3 ? i + 1 : i + 2;
        g->addWidget(
            new QLabel(u(labels[i]) + fullWidthName(pair[0]) + QStringLiteral(" - ") + fullWidthName(pair[1]),
                       group),
            row, 0);
        g->addWidget(new QLabel(QStringLiteral("#") + fmt("%5.1f", a.PairDifference[size_t(i)]), group), row,
                     1);
        g->addWidget(new QLabel(fmt("%5.1f", a.MeridianMean[size_t(pair[0])]) + QStringLiteral("  ") +
                                    fmt("%5.1f", a.MeridianMean[size_t(pair[1])]),
                                group),
                     row, 2);
        const int status = a.PairStatus[size_t(i)];
        auto* text = new QLabel(pairStatusText(status), group);
        text->setObjectName(QStringLiteral("PairStatus%1").arg(i + 1));
        g->addWidget(text, row, 3);
        const int difference = int(rnd(std::min(a.PairDifference[size_t(i)], 100.0)));
        g->addWidget(gauge(group, 100, difference,
                           status == 0   ? kGreen
                           : status == 1 ? kYellow
                                         : kRed,
                           200),
                     row, 4);
    }
    auto* layout = new QVBoxLayout(page);
    layout->addWidget(group);
    layout->addStretch();
    return page;
}

} // namespace lumo
