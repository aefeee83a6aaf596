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
    auto* explain = new QLabel(
        u("誤差帶表示以相同方式重複量測同一位受測者時的偶然差異：兩次量測的差異在 MDC95 "
          "以內，就無法與偶然區分。"
          "它不表示數值是否正確，也不代表任何身體狀況的判斷。只有以「重複量測模式」或 lumo-cli measure "
          "--repeat-of 標記的量測才算一對。尚無本診所資料時使用文獻預設值（每點 %1 %，Mist et al. 2011），"
          "本診所的重複量測依自由度與其合併；MDC 不低於儀器本身的重複性（%2 %）與解析度。")
            .arg(PublishedSemPct)
            .arg(FloorSemPct),
        this);
    explain->setObjectName(QStringLiteral("Explanation"));
    explain->setWordWrap(true);
    m_table = new QTableWidget(this);
    m_table->setObjectName(QStringLiteral("NoiseTable"));
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setColumnCount(5);
    m_table->setHorizontalHeaderLabels({u("經絡／指標"), u("同次 MDC95 (%)"), u("95 % 信賴區間"),
                                        u("不同日 MDC95 (%)"), u("95 % 信賴區間")});
    m_table->verticalHeader()->hide();
    m_table->verticalHeader()->setDefaultSectionSize(22); // the eighteen rows at once
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
    resize(720, 660);
    leave->setFocus(); // nothing here to change: Enter or Esc closes it
}

QString TZuNoise::countsText() const
{
    const NoiseFigures& f = m_figures;
    QString text = u("本診所重複量測：同次 %1 對、單點重測 %2 點；不同日 %3 對。")
                       .arg(f.within.pairs)
                       .arg(f.pointRepeats)
                       .arg(f.between.pairs);
    if (f.between.pairs == 0) text += u("沒有不同日的重複量測時，不同日的比對也使用同次的誤差。");
    const QString unkeyed = f.unkeyedText();
    return unkeyed.isEmpty() ? text : text + u("\n") + unkeyed + u("。");
}

void TZuNoise::fill()
{
    m_source->setText(countsText());
    m_table->setRowCount(MeridianCount + 1 + NoiseIndexCount);
    auto interval = [](const NoiseFigure& f) {
        return QStringLiteral("%1 – %2").arg(f.mdcInterval.low, 0, 'f', 1).arg(f.mdcInterval.high, 0, 'f', 1);
    };
    const bool between = m_figures.between.pairs > 0;
    auto row = [&](int r, const QString& label, const NoiseFigure& w, const NoiseFigure& b) {
        m_table->setItem(r, 0, new QTableWidgetItem(label));
        m_table->setItem(r, 1, numberItem(QString::number(w.mdcPct, 'f', 1)));
        m_table->setItem(r, 2, numberItem(interval(w)));
        m_table->setItem(r, 3, numberItem(between ? QString::number(b.mdcPct, 'f', 1) : u("—")));
        m_table->setItem(r, 4, numberItem(between ? interval(b) : u("—")));
    };
    const NoiseSet &w = m_figures.within, &b = m_figures.between;
    for (int m = 0; m < MeridianCount; ++m)
        row(m, fullWidthName(Meridian(m)), w.meridians[size_t(m)], b.meridians[size_t(m)]);
    row(MeridianCount, u("整體（24 點平均）"), w.shift, b.shift);
    for (int i = 0; i < NoiseIndexCount; ++i)
        row(MeridianCount + 1 + i, noiseIndexLabel(NoiseIndex(i)), w.indices[size_t(i)],
            b.indices[size_t(i)]);
}

} // namespace lumo
