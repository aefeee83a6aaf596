#include "analysis/charts.h"

#include "analysis/chartgeometry.h"

#include <QFont>
#include <QGuiApplication>
#include <QPalette>

namespace lumo {
namespace {

using namespace chartcolour;
using charting::Frame;
using charting::Six;
using charting::u;

void paint(int chart, const EnergyAnalysis& a, ChartSurface& s, const Frame& f)
{
    switch (chart) {
    case 1:
        charting::paintBars(s, a, f);
        break;
    case 2:
        charting::paintCurve(s, a, f);
        break;
    case 3:
        charting::paintSix(s, a, f, Six::YinYang);
        break;
    case 4:
        charting::paintSix(s, a, f, Six::QiBlood);
        break;
    case 5:
        charting::paintSix(s, a, f, Six::Generating);
        break;
    case 6:
        charting::paintSix(s, a, f, Six::Controlling);
        break;
    case 8:
        charting::paintRyodoraku(s, a, f);
        break;
    case 9:
        charting::paintAutonomic(s, a, f);
        break;
    }
}

} // namespace

int slotPoint(int slot)
{
    static const int order[24] = {1,  7,  2,  8,  3,  9,  4,  10, 5,  11, 6,  12,
                                  13, 19, 14, 20, 15, 21, 16, 22, 17, 23, 18, 24};
    return order[std::clamp(slot, 1, 24) - 1];
}

QColor bandColour(int mark)
{
    const int m = std::abs(mark);
    return m == 0 ? Green : m == 1 ? Yellow : Red;
}

Qt::BrushStyle bandHatch(int mark)
{
    const int m = std::abs(mark);
    // cross hatch for normal, rising diagonals for fair, falling for poor
    return m == 0 ? Qt::DiagCrossPattern : m == 1 ? Qt::BDiagPattern : Qt::FDiagPattern;
}

bool isChartNumber(int chart)
{
    return (chart >= 1 && chart <= 6) || chart == 8 || chart == 9;
}

QString chartTitle(int chart)
{
    switch (chart) {
    case 1:
        return u("經絡虛實分析圖-長條");
    case 2:
        return u("經絡虛實分析圖-曲線");
    case 3:
        return u("經絡陰陽分析圖");
    case 4:
        return u("經絡氣血分析圖");
    case 5:
        return u("經絡五行相生分析圖");
    case 6:
        return u("經絡五行相剋分析圖");
    case 8:
        return u("良導絡分析圖");
    case 9:
        return u("自律神經平衡圖");
    }
    return QString();
}

QString chartStatusText(int chart)
{
    switch (chart) {
    case 3:
        return u("本圖為比較陰臟與陽腑間的氣血平衡狀態，兩點之間差距越小越好.");
    case 4:
        return u("本圖為比較身體左側與右側表裡經絡的氣血平衡狀態，兩點之間差距越小越好.");
    case 5:
        return u("本圖為比較身體十二經絡之五行相生能量狀態.");
    case 6:
        return u("本圖為比較身體十二經絡之五行相剋能量狀態.");
    case 9:
        return u("本圖為比較身體三陰三陽氣血平衡狀態.");
    }
    return u("【平均體能】為基準中線的數據,每一受測者均不相同.");
}

QString paintChart(int chart, const EnergyAnalysis& a, ChartSurface& s, int width, int height)
{
    if (!isChartNumber(chart)) return QString();
    // Ryodoraku keeps the bottom 50 pixels for its labels.
    const int plotHeight = chart == 8 ? height - 50 : height;
    paint(chart, a, s, Frame{50, width - 50, plotHeight, height / 2});
    return chartTitle(chart);
}

void paintPrintedChart(int chart, const EnergyAnalysis& a, ChartSurface& s, const PrintedChartSetting& paper)
{
    if (!isChartNumber(chart)) return;
    const int W = paper.mm(150), H = paper.mm(90);
    const Frame f{0, W, H, H / 2, &paper};
    const QColor black(Qt::black), olive = Olive, yellow = Yellow;
    const bool yellowAsOlive = chart >= 1 && chart <= 4;
    if (paper.monochrome)
        s.setColourFilter([black](const QColor&) { return black; });
    else if (yellowAsOlive) // fair yellow would vanish on white paper
        s.setColourFilter([olive, yellow](const QColor& c) { return c == yellow ? olive : c; });
    else
        s.setColourFilter(nullptr);
    s.setOpaqueHatch(true);
    s.setHatchScale(paper.dpi / 96.0,
                    std::max(1, paper.mm(1.0 / 8))); // the screen's spacing at 96 pixels per inch
    paint(chart, a, s, f);
}

QImage renderChart(int chart, const EnergyAnalysis& a, int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QGuiApplication::palette().color(QPalette::Button));
    QPainter p(&image);
    QFont font;
    font.setFamilies({QStringLiteral("Noto Sans CJK TC"), QStringLiteral("WenQuanYi Micro Hei")});
    font.setPixelSize(11);
    p.setFont(font);
    ChartSurface s(p);
    paintChart(chart, a, s, width, height);
    return image;
}

} // namespace lumo
