#include "widgets/valuegrid.h"

#include "measurement/catalogue.h"

#include <QBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QTableWidget>

namespace lumo {

ValueGridLabels measuringGridLabels()
{
    ValueGridLabels l;
    for (int m = 0; m < 12; ++m)
        l.columns << shortName(Meridian(m));
    l.rows = {rowLabel(1), rowLabel(2)};
    l.hands = QString::fromUtf8("手部");
    l.feet = QString::fromUtf8("足部");
    return l;
}

QTableWidget* addValueGrid(QBoxLayout* layout, QWidget* parent, const ValueGridLabels& labels, int alignment)
{
    auto* grid = new QTableWidget(2, 12, parent);
    grid->setHorizontalHeaderLabels(labels.columns);
    grid->setVerticalHeaderLabels(labels.rows);
    grid->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    grid->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    grid->setFixedHeight(grid->horizontalHeader()->sizeHint().height() + grid->rowHeight(0) +
                         grid->rowHeight(1) + 2 * grid->frameWidth());
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < 12; ++c) {
            auto* item = new QTableWidgetItem;
            item->setTextAlignment(Qt::Alignment(alignment));
            grid->setItem(r, c, item);
        }

    // The captions span the six hand and the six foot columns, right of the row labels.
    auto* captions = new QHBoxLayout;
    captions->setSpacing(0);
    captions->addSpacing(grid->verticalHeader()->sizeHint().width() + grid->frameWidth());
    for (const QString& caption : {labels.hands, labels.feet}) {
        auto* l = new QLabel(caption, parent);
        l->setAlignment(Qt::AlignCenter);
        l->setFrameShape(QFrame::StyledPanel);
        l->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
        captions->addWidget(l, 1);
    }
    auto* table = new QVBoxLayout;
    table->setSpacing(0);
    table->addLayout(captions);
    table->addWidget(grid);
    layout->addLayout(table);
    return grid;
}

void keepReadableWhenDisabled(QTableWidget* grid)
{
    QPalette p = grid->palette();
    for (auto role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText, QPalette::Base,
                      QPalette::Window, QPalette::Button, QPalette::Highlight, QPalette::HighlightedText})
        p.setColor(QPalette::Disabled, role, p.color(QPalette::Active, role));
    grid->setPalette(p);
    grid->horizontalHeader()->setPalette(p);
    grid->verticalHeader()->setPalette(p);
}

} // namespace lumo
