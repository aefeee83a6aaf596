#pragma once
// Page 1 of the analysis screen: a button for each of the eight charts, and
// the chart kept in the shared state under a caption with its title.

#include "analysis/energy.h"

#include <QList>
#include <QWidget>
#include <functional>

class QLabel;
class QToolButton;

namespace lumo {

class ChartArea;
struct SharedState;

class ChartPage : public QWidget
{
public:
    ChartPage(SharedState& state, const EnergyAnalysis& a, QWidget* parent = nullptr);

    // Makes `chart` the shared state's chart; true when it changed.
    bool chooseChart(int chart);
    // Told the chart's status text after each painting and when a button
    // changes the chart.
    void setOnStatus(std::function<void(const QString&)> f);

private:
    SharedState& m_state;
    QLabel* m_caption;
    ChartArea* m_chart;
    QList<QToolButton*> m_buttons;
    std::function<void(const QString&)> m_onStatus;
};

} // namespace lumo
