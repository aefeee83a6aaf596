#include "comparison/ui/recordblockview.h"

#include "practice/masking.h"

#include "base/formats.h"

#include <QFormLayout>
#include <QLabel>

namespace lumo {

RecordBlockView::RecordBlockView(const QString& caption, const char* energyFormat,
                                 const QString& standardText, const QString& objectPrefix, QWidget* parent)
    : QGroupBox(caption, parent), m_energyFormat(energyFormat), m_standard(standardText)
{
    setObjectName(objectPrefix + QStringLiteral("Block"));
    auto* form = new QFormLayout(this);
    const char* captions[6] = {"編號:", "姓名:", "體能:", "電位:", "日期:", "時間:"};
    const char* names[6] = {"Number", "Name", "Energy", "Potential", "Date", "Time"};
    for (int i = 0; i < 6; ++i) {
        m_fields[i] = new QLabel(this);
        m_fields[i]->setObjectName(objectPrefix + QLatin1String(names[i]));
        m_fields[i]->setMinimumWidth(150);
        m_fields[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(QString::fromUtf8(captions[i]), m_fields[i]);
    }
}

void RecordBlockView::followMasking(const WaitingRoomDisplay& display)
{
    m_masking = &display;
    connect(&display, &WaitingRoomDisplay::changed, this, [this] { showRecord(m_shown); });
}

void RecordBlockView::showRecord(const std::optional<RecordBlock>& r)
{
    m_shown = r;
    if (!r) {
        for (QLabel* f : m_fields)
            f->clear();
        return;
    }
    const bool masked = m_masking && m_masking->on();
    m_fields[0]->setText(masked ? maskedNumber(r->number) : r->number);
    m_fields[1]->setText(masked ? maskedName(r->name) : r->name);
    m_fields[2]->setText(fmt(m_energyFormat, r->bodyEnergy));
    m_fields[3]->setText(r->high ? QString::fromUtf8("高電位") : m_standard);
    m_fields[3]->setStyleSheet(r->high ? QStringLiteral("color: rgb(255,0,0)")
                                       : QStringLiteral("color: rgb(0,128,0)"));
    m_fields[4]->setText(shortDateOfDay(r->takenAt));
    m_fields[5]->setText(longTimeOfDay(r->takenAt));
}

QStringList RecordBlockView::texts() const
{
    QStringList out;
    for (QLabel* f : m_fields)
        out << f->text();
    return out;
}

} // namespace lumo
