#include "analysis/ui/chartpage.h"

#include "analysis/charts.h"
#include "shell/sharedstate.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QToolButton>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

// The chart drawing area: repaints the chart of AnalysisChart whenever needed.
class ChartArea : public QWidget
{
public:
    ChartArea(SharedState& state, const EnergyAnalysis& a, QWidget* parent)
        : QWidget(parent), m_state(state), m_a(a)
    {
        // The specified area is where the screen opens; enlarged, the chart
        // grows with the page (the painters draw on any size).
        setMinimumSize(757, 393);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    // Told the title of the chart drawn and its status text after each painting.
    std::function<void(const QString& title, const QString& status)> onPaint;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), palette().color(QPalette::Button));
        QFont f = font();
        f.setPixelSize(11);
        p.setFont(f);
        ChartSurface s(p);
        const QString title = paintChart(m_state.AnalysisChart, m_a, s, width(), height());
        if (onPaint) onPaint(title, chartStatusText(m_state.AnalysisChart));
    }

private:
    SharedState& m_state;
    const EnergyAnalysis& m_a;
};

ChartPage::ChartPage(SharedState& state, const EnergyAnalysis& a, QWidget* parent)
    : QWidget(parent), m_state(state)
{
    auto* cl = new QVBoxLayout(this);
    auto* buttons = new QHBoxLayout;
    const int order[8] = {1, 2, 8, 5, 6, 9, 3, 4};
    const char* hints[10] = {"",
                             "經絡虛實長條圖",
                             "經絡虛實曲線圖",
                             "陰陽分析圖",
                             "氣血分析圖",
                             "五行相生分析圖",
                             "五行相剋分析圖",
                             "",
                             "良導絡分析圖",
                             "自律神經分析圖"};
    for (int chart : order) {
        auto* b = new QToolButton(this);
        b->setObjectName(QStringLiteral("ChartButton%1").arg(chart));
        b->setText(chartTitle(chart));
        b->setToolTip(u(hints[chart]));
        b->setCheckable(true);
        b->setChecked(chart == m_state.AnalysisChart);
        connect(b, &QToolButton::clicked, this, [this, chart] {
            if (chooseChart(chart) && m_onStatus) m_onStatus(chartStatusText(chart));
        });
        buttons->addWidget(b);
        m_buttons << b;
    }
    buttons->addStretch();
    cl->addLayout(buttons);
    // The caption names the chart drawn; it follows each chart change and
    // each painting, so a chart changed elsewhere is named too.
    m_caption = new QLabel(chartTitle(m_state.AnalysisChart), this);
    m_caption->setObjectName(QStringLiteral("ChartCaption"));
    cl->addWidget(m_caption);
    m_chart = new ChartArea(m_state, a, this);
    m_chart->setObjectName(QStringLiteral("ChartArea"));
    m_chart->setAccessibleName(u("經絡虛實分析圖"));
    m_chart->onPaint = [this](const QString& title, const QString& status) {
        if (m_caption->text() != title) m_caption->setText(title);
        if (m_onStatus) m_onStatus(status);
    };
    cl->addWidget(m_chart, 1);
}

void ChartPage::setOnStatus(std::function<void(const QString&)> f)
{
    m_onStatus = std::move(f);
}

bool ChartPage::chooseChart(int chart)
{
    const bool changed = chart != m_state.AnalysisChart;
    if (changed) {
        m_state.AnalysisChart = chart;
        m_caption->setText(chartTitle(chart));
        m_chart->update();
    }
    for (QToolButton* b : m_buttons)
        b->setChecked(b->objectName() == QStringLiteral("ChartButton%1").arg(chart));
    return changed;
}

} // namespace lumo
