#include "widgets/columnfit.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QTableView>
#include <numeric>

namespace lumo {
namespace {

class ColumnFitter : public QObject
{
public:
    ColumnFitter(QTableView* view, QVector<int> natural)
        : QObject(view), m_view(view), m_natural(std::move(natural))
    {
        view->viewport()->installEventFilter(this);
        apply();
    }

    void apply()
    {
        const QVector<int> widths = fittedWidths(m_natural, m_view->viewport()->width());
        for (int c = 0; c < widths.size(); ++c)
            if (m_view->columnWidth(c) != widths[c]) m_view->setColumnWidth(c, widths[c]);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == m_view->viewport() && event->type() == QEvent::Resize) apply();
        return false;
    }

private:
    QTableView* m_view;
    QVector<int> m_natural;
};

} // namespace

QVector<int> fittedWidths(const QVector<int>& natural, int available)
{
    const int sum = std::accumulate(natural.begin(), natural.end(), 0);
    if (sum <= 0 || available <= sum) return natural;
    QVector<int> widths;
    int given = 0;
    for (int w : natural) {
        widths << int(qint64(w) * available / sum);
        given += widths.back();
    }
    // The pixels rounding left over go to the last column, so the columns end
    // exactly at the view's right edge.
    widths.back() += available - given;
    return widths;
}

QVector<int> naturalWidths(const QStringList& headings, const QStringList& samples, const QFont& heading,
                           const QFont& data, int padding)
{
    const QFontMetrics h(heading), d(data);
    QVector<int> widths;
    for (int c = 0; c < headings.size(); ++c)
        widths << std::max(h.horizontalAdvance(headings[c]), d.horizontalAdvance(samples.value(c))) + padding;
    return widths;
}

void fitColumns(QTableView* view, const QVector<int>& natural)
{
    view->horizontalHeader()->setStretchLastSection(false);
    new ColumnFitter(view, natural);
}

} // namespace lumo
