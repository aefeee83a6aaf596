#include "analysis/ui/programpage.h"

#include "records/programs.h"
#include "shell/sharedstate.h"
#include "shell/ui/launcher.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>

namespace lumo {
namespace {

QString u(const char* s)
{
    return QString::fromUtf8(s);
}

} // namespace

ProgramPage::ProgramPage(SharedState& state, const QStringList& names, RecordAppender toRecord,
                         QWidget* parent)
    : QWidget(parent), m_state(state), m_names(names)
{
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("UserProgramList"));
    m_text = new QPlainTextEdit(this);
    m_text->setObjectName(QStringLiteral("ProgramText"));
    m_text->setReadOnly(true);
    m_picture = new QLabel(this);
    m_picture->setObjectName(QStringLiteral("ProgramPicture"));
    m_picture->setFixedSize(240, 180);
    m_scaleCaption = new QLabel(this);
    auto* grid = new QGridLayout(this);
    grid->addWidget(new QLabel(u("療程項目"), this), 0, 0);
    grid->addWidget(m_list, 1, 0, 3, 1);
    grid->addWidget(new QLabel(u("療程說明"), this), 0, 1);
    grid->addWidget(m_text, 1, 1);
    grid->addWidget(m_picture, 1, 2);
    grid->addWidget(m_scaleCaption, 2, 2);
    auto* buttonRow = new QHBoxLayout;
    for (int i = 0; i < 4; ++i) {
        m_buttons[i] = new QPushButton(QStringLiteral("%1").arg(i + 1), this);
        m_buttons[i]->setEnabled(false);
        buttonRow->addWidget(m_buttons[i]);
        connect(m_buttons[i], &QPushButton::clicked, this, [this, i] { launch(i); });
    }
    grid->addLayout(buttonRow, 3, 1);
    m_copy = new CopyButtons(6, {m_text}, std::move(toRecord), this);
    grid->addLayout(m_copy->row(), 4, 1);

    // Without a matching program the page would be blank: a note over the
    // empty list says why. It is no text of the page's box, so 全選 and 貼上
    // leave it out of the treatment record.
    m_none = new QLabel(u("沒有符合條件的專家療程。"), this);
    m_none->setObjectName(QStringLiteral("NoProgramNote"));
    m_none->setContentsMargins(12, 12, 12, 12);
    grid->addWidget(m_none, 1, 0, 3, 1, Qt::AlignTop | Qt::AlignHCenter);
    m_none->setVisible(m_names.isEmpty());

    m_list->addItems(m_names);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* it) { showProgram(m_list->row(it)); });
    if (!m_names.isEmpty()) {
        m_list->setCurrentRow(0);
        showProgram(0);
    } else {
        m_picture->hide();
    }
}

void ProgramPage::launch(int button)
{
    if (m_list->currentRow() < 0 || !m_state.MainDatabase) return;
    if (auto p = ProgramStore(*m_state.MainDatabase).findByName(m_list->currentItem()->text()))
        launchAndReport(m_state.messages, p->ProPrg[size_t(button)].trimmed(),
                        p->ProParm[size_t(button)].trimmed());
}

void ProgramPage::showProgram(int row)
{
    if (!m_state.MainDatabase || row < 0) return;
    auto p = ProgramStore(*m_state.MainDatabase).findByName(m_names.value(row));
    if (!p) return;
    m_text->setPlainText(p->ProData);
    QPixmap pm;
    pm.loadFromData(p->ProPict);
    m_picture->setScaledContents(!p->ProScal);
    m_picture->setPixmap(pm);
    m_picture->setVisible(true);
    m_scaleCaption->setText(p->ProScal ? QStringLiteral("Scale") : QStringLiteral("Fit"));
    for (int i = 0; i < 4; ++i) {
        m_buttons[i]->setEnabled(i < p->ProFN.size() && p->ProFN.at(i) == QLatin1Char('1'));
        m_buttons[i]->setToolTip(p->ProScrp[size_t(i)]);
    }
}

} // namespace lumo
