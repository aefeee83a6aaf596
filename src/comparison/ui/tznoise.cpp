#include "comparison/ui/tznoise.h"

#include "shell/sharedstate.h"

#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

QTableWidgetItem* numberItem(const QString& text)
{
    auto* item = new QTableWidgetItem(text);
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

TZuNoise::TZuNoise(SharedState& state, QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TZuNoise"));
    setWindowTitle(u("量測誤差"));
    if (state.MainDatabase)
        m_figures = practiceNoise(*state.MainDatabase, state.compensation);
    else
        m_figures = publishedNoise();
    m_source = new QLabel(this);
    m_source->setObjectName(QStringLiteral("SourceText"));
    m_source->setWordWrap(true);
    auto* explain =
        new QLabel(u("同一位受測者在 30 分鐘內量測兩次即為一對重複量測（量測畫面的「重複量測模式」）。"
                     "兩次量測的差異在 MDC95 以內時，比對畫面顯示「變化在量測誤差內」。"),
                   this);
    explain->setWordWrap(true);
    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("NoiseTable"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setColumnCount(4);
    m_table->setHorizontalHeaderLabels({u("經絡／指標"), u("差值筆數"), u("SEM (%)"), u("MDC95 (%)")});
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(22); // the seventeen rows at once
    m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    auto* leave = new QPushButton(u("離  開"), this);
    leave->setObjectName(QStringLiteral("LeaveButton"));
    leave->setDefault(true);
    connect(leave, &QPushButton::clicked, this, &QDialog::accept);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_source);
    layout->addWidget(explain);
    layout->addWidget(m_table, 1);
    layout->addWidget(leave, 0, Qt::AlignRight);
    fill();
    resize(560, 620);
    leave->setFocus(); // nothing here to change: Enter or Esc closes it
}

void TZuNoise::fill()
{
    m_source->setText(m_figures.sourceText());
    m_table->setRowCount(MeridianCount + NoiseIndexCount);
    auto row = [this](int r, const QString& label, const NoiseFigure& f) {
        m_table->setItem(r, 0, new QTableWidgetItem(label));
        m_table->setItem(r, 1, numberItem(m_figures.fromPractice ? QString::number(f.differences) : u("—")));
        m_table->setItem(r, 2, numberItem(QString::number(f.semPct, 'f', 1)));
        m_table->setItem(r, 3, numberItem(QString::number(f.mdcPct, 'f', 1)));
    };
    for (int m = 0; m < MeridianCount; ++m)
        row(m, fullWidthName(Meridian(m)), m_figures.meridians[size_t(m)]);
    for (int i = 0; i < NoiseIndexCount; ++i)
        row(MeridianCount + i, noiseIndexLabel(NoiseIndex(i)), m_figures.indices[size_t(i)]);
}

} // namespace lumo
